// One student graded for an autograding platform (labelgrade-class
// --student): every test's file found in the student's folder or archive
// as a class run finds it, with the same refusals, and written as the
// platform's results file or as a few lines for a person.
#ifndef LABELGRADE_STUDENT_RUN_H
#define LABELGRADE_STUDENT_RUN_H

#include "class/run/options.h"

// Grades the student; gives the exit status: 0 when the student was
// graded, 2 when REFERENCES or the submission cannot be read (PrairieLearn's
// results file then says it could not grade, and why).
int runStudent(const ClassOptions& options);

#endif
