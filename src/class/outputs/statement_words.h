// The words for a student's assembler's mistakes, named by the statements
// of the test's program they concern.
#ifndef LABELGRADE_STATEMENT_WORDS_H
#define LABELGRADE_STATEMENT_WORDS_H

#include "class/model/test_program.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// "`RESB 4096` read as hexadecimal", "1 byte short at each `+` statement
// (`+JSUB RDREC`, source line 12, and 10 more): counted as 3 bytes, they
// take 4".
std::string mistakeWords(const FoundMistake& found, const TestProgram& program);

// The words of the mistakes a worker has worded, by kind of mistake: every
// student whose assembler makes the same mistake in a test is told it in
// the same words, which are made once.
struct WordedMistakes {
    struct Worded {
        std::uint32_t test = 0;
        FoundMistake found;
        std::shared_ptr<const std::string> words;
    };
    std::array<std::vector<Worded>, statementMistakeCount> kinds;
};

// mistakeWords, for the test numbered `test` (from 0) whose program is
// `program`, made once and shared.
std::shared_ptr<const std::string> mistakeWordsOnce(WordedMistakes& worded, std::uint32_t test,
                                                    const FoundMistake& found, const TestProgram& program);

// A kind of mistake as the summary counts students by it, whatever its
// test: "`RESW n` counted as n bytes".
std::string_view mistakeKindWords(StatementMistake mistake);

// What the student changes in their assembler: "reserve 3 bytes for each
// word of `RESW n`".
std::string_view mistakeFix(StatementMistake mistake);

// A kind of mistake's name in --json: "reswAsBytes".
std::string_view mistakeName(StatementMistake mistake);

#endif
