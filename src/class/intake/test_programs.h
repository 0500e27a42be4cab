// The tests' programs, which --sources names: one beside each reference,
// named as it is with another extension (t1.asm for t1.sym).
#ifndef LABELGRADE_TEST_PROGRAMS_H
#define LABELGRADE_TEST_PROGRAMS_H

#include "class/model/class.h"
#include "class/model/test_program.h"

#include <string>
#include <string_view>
#include <vector>

// A program's statements: free-form columns, a label where a line starts
// with a non-blank, an operation, and its operands as one field (quotes
// keep their blanks); whatever follows is a comment, as are lines that
// start with a dot, and blank lines are skipped.
TestProgram readProgram(std::string_view text);

// Gives each test its program from `folder`, where one is; `missing` names
// the tests that have none, and `several` those that have more than one
// (the first by name is read).  False, with `error` saying why, when the
// folder or a program cannot be read.
bool loadTestPrograms(const std::string& folder, std::vector<Test>& tests, std::vector<std::string>& missing,
                      std::vector<std::string>& several, std::string& error);

#endif
