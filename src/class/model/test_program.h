// A test's program, as the instructor gives it beside the reference: its
// statements read as text, and what a student's assembler did wrong with
// them, as the explaining finds it.
#ifndef LABELGRADE_TEST_PROGRAM_H
#define LABELGRADE_TEST_PROGRAM_H

#include <cstdint>
#include <string>
#include <vector>

// One statement: an optional label, an operation (with its `+` for format
// 4) and what follows it, as written.
struct SourceStatement {
    std::uint32_t line = 0;  // in the program, from 1
    std::string label;
    std::string operation;
    std::string operands;
};

// The statements in order; none where no program was given.
using TestProgram = std::vector<SourceStatement>;

// What a student's assembler may do wrong with a kind of statement, in the
// order the notes tell them.  Each has a row in the explaining's table of
// effects and in the outputs' table of words.
enum class StatementMistake : std::uint8_t {
    startDecimal,    // START's operand read as decimal
    plusSize,        // each `+` statement counted `amount` bytes off
    shortAsWord,     // operations of 1 or 2 bytes counted as 3
    reswAsBytes,     // RESW n counted as n bytes
    resbHex,         // RESB's operand read as hexadecimal
    byteCharLonger,  // BYTE C'..' one byte too long
    byteHexDigits,   // BYTE X'..' a byte per digit
    equLocation,     // EQU labels given the location counter
    ltorgMissing,    // the literals placed at LTORG left out
    orgIgnored,      // ORG left the location counter where it was
    equLeftOut,      // EQU labels not printed
    nameLeftOut,     // the program's name (START's label) not printed
    nameDoubled,     // the program's name printed twice
    literalsInTable, // literals printed as symbols
    count,
};

constexpr std::size_t statementMistakeCount = static_cast<std::size_t>(StatementMistake::count);

// A mistake found in a student's file: the statements it concerns (the
// first of them, and how many), and its size where it has one.
struct FoundMistake {
    StatementMistake mistake = StatementMistake::count;
    std::int64_t amount = 0;      // plusSize: bytes each `+` statement is off
    std::uint32_t first = 0;      // the first statement it concerns, an index into the program
    std::uint32_t statements = 0;
    std::int64_t size = 0;        // what the first of them takes, where it is known
    bool operator==(const FoundMistake&) const = default;
};

#endif
