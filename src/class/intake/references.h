// The tests of a class: the reference files of the references folder.
#ifndef LABELGRADE_REFERENCES_H
#define LABELGRADE_REFERENCES_H

#include "class/model/class.h"

#include <string>
#include <vector>

// A test's number, for the score line: the first run of decimal digits in
// its name (3.sym, t03.sym and prog3-loops.sym are test 3), 0 where there is
// none.
std::int32_t testNumberOf(std::string_view name);

// The numbers, from 1, of the lines of a reference that hold no whole
// symbol: no student can be right there.
std::vector<std::uint64_t> incompleteLines(std::string_view reference);

// Loads every regular file of the folder whose name does not start with a
// dot, ordered by test number, then by name; `skipped` names the entries
// that are neither regular files nor folders (a FIFO, a device), which are
// not read.  False,
// with `error` saying why, when the folder or a reference cannot be read,
// a link that leads nowhere included.
bool loadTests(const std::string& folder, std::vector<Test>& tests, std::vector<std::string>& skipped,
               std::string& error);

#endif
