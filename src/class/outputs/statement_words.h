// The words for a student's assembler's mistakes, named by the statements
// of the test's program they concern.
#ifndef LABELGRADE_STATEMENT_WORDS_H
#define LABELGRADE_STATEMENT_WORDS_H

#include "class/model/test_program.h"

#include <string>

// "`RESB 4096` read as hexadecimal", "1 byte short at each `+` statement
// (`+JSUB RDREC`, source line 12, and 10 more): counted as 3 bytes, they
// take 4".
std::string mistakeWords(const FoundMistake& found, const TestProgram& program);

#endif
