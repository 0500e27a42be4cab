// What labelgrade-class's exit status says, for the class run and for
// --student alike.
#ifndef LABELGRADE_CLASS_EXIT_STATUS_H
#define LABELGRADE_CLASS_EXIT_STATUS_H

#include <string>

constexpr int statusGraded = 0;
constexpr int statusUsage = 1;
constexpr int statusTrouble = 2;

// Tells `message` on standard error as the run's error; gives statusTrouble.
int trouble(const std::string& message);

#endif
