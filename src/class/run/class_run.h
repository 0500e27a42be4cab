// A class run from start to end: the tests and the students loaded, the
// class graded, the gradebook written beside the summary and the page.
#ifndef LABELGRADE_CLASS_RUN_H
#define LABELGRADE_CLASS_RUN_H

#include "class/run/exit_status.h"
#include "class/run/options.h"
#include "class/model/class.h"

#include <string>
#include <vector>

// Runs the class that `options` describe; gives the exit status, having
// told on standard error what went wrong.
int runClass(const ClassOptions& options);

// Gives the tests their programs from --sources, where it names a folder,
// warning of each test that has none; false, with `error` saying why, when
// the folder or a program cannot be read.
bool loadSources(const ClassOptions& options, std::vector<Test>& tests, std::string& error);

#endif
