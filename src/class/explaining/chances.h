// Sorting the chances that the copy finder weighs: a class of hundreds of
// students on ten tests makes hundreds of thousands of them, one for each
// student and set of tests, and sorting them by comparison was half of what
// summarizing such a class cost.
#ifndef LABELGRADE_CHANCES_H
#define LABELGRADE_CHANCES_H

#include <vector>

// Sorts `chances`, each a number from 0 to 1, in ascending order.
void sortChances(std::vector<double>& chances);

#endif
