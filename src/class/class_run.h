// A class run from start to end: the tests and the students loaded, the
// class graded, the gradebook written beside the summary and the page.
#ifndef LABELGRADE_CLASS_RUN_H
#define LABELGRADE_CLASS_RUN_H

#include "options.h"

// Runs the class that `options` describe; gives the exit status, having
// told on standard error what went wrong.
int runClass(const ClassOptions& options);

constexpr int statusGraded = 0;
constexpr int statusUsage = 1;
constexpr int statusTrouble = 2;

// Tells `message` on standard error as the run's error; gives statusTrouble.
int trouble(const std::string& message);

#endif
