#include "class/outputs/statement_words.h"

#include <cstdint>
#include <iterator>
#include <string_view>

namespace {

// A statement as the notes quote it: its operation and operands, and for
// an EQU its label too, which is what the mistake gives a value.
std::string quoted(const SourceStatement& statement, bool withLabel)
{
    std::string text(1, '`');
    if (withLabel && !statement.label.empty())
        text.append(statement.label).append(1, ' ');
    text.append(statement.operation);
    if (!statement.operands.empty())
        text.append(1, ' ').append(statement.operands);
    text.append(1, '`');
    return text;
}

std::string plural(std::uint64_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// "(`+JSUB RDREC`, source line 12, and 10 more)"
std::string listed(const FoundMistake& found, const TestProgram& program, bool withLabel = false)
{
    const SourceStatement& first = program[found.first];
    std::string text(1, '(');
    text.append(quoted(first, withLabel)).append(", source line ").append(std::to_string(first.line));
    if (found.statements > 1)
        text.append(", and ").append(std::to_string(found.statements - 1)).append(" more");
    text.append(1, ')');
    return text;
}

// "`RESB 4096` read as hexadecimal", and how many more statements alike.
std::string firstOf(const FoundMistake& found, const TestProgram& program, std::string_view says)
{
    std::string text = quoted(program[found.first], false) + std::string(says);
    if (found.statements > 1)
        text += " (and " + std::to_string(found.statements - 1) + " more like it)";
    return text;
}

std::string plusWords(const FoundMistake& found, const TestProgram& program)
{
    std::uint64_t off = static_cast<std::uint64_t>(found.amount < 0 ? -found.amount : found.amount);
    std::string text = plural(off, "byte", "bytes") + (found.amount < 0 ? " short" : " over") +
                       " at each `+` statement " + listed(found, program);
    if (found.size > 0 && found.size + found.amount > 0)
        text += ": counted as " + plural(static_cast<std::uint64_t>(found.size + found.amount), "byte", "bytes") +
                ", they take " + std::to_string(found.size);
    return text;
}

struct WordsRow {
    StatementMistake mistake;
    std::string (*words)(const FoundMistake& found, const TestProgram& program);
};

constexpr WordsRow wordsRows[] = {
    {StatementMistake::startDecimal,
     [](const FoundMistake& found, const TestProgram& program) { return firstOf(found, program, " read as decimal"); }},
    {StatementMistake::plusSize, plusWords},
    {StatementMistake::shortAsWord,
     [](const FoundMistake& found, const TestProgram& program) {
         std::string text = "operations of 1 or 2 bytes counted as 3 (up to source line " +
                            std::to_string(program[found.first].line);
         if (found.statements > 1)
             text += ", and " + std::to_string(found.statements - 1) + " more places";
         return text + ")";
     }},
    {StatementMistake::reswAsBytes,
     [](const FoundMistake& found, const TestProgram&) {
         return "`RESW n` reserves n bytes, not 3n (" + plural(found.statements, "statement", "statements") + ")";
     }},
    {StatementMistake::resbHex,
     [](const FoundMistake& found, const TestProgram& program) { return firstOf(found, program, " read as hexadecimal"); }},
    {StatementMistake::byteCharLonger,
     [](const FoundMistake& found, const TestProgram& program) { return firstOf(found, program, " one byte too long"); }},
    {StatementMistake::byteHexDigits,
     [](const FoundMistake& found, const TestProgram& program) {
         return firstOf(found, program, " given a byte for each digit");
     }},
    {StatementMistake::equLocation,
     [](const FoundMistake& found, const TestProgram& program) {
         return "EQU labels hold the location counter, not their value " + listed(found, program, true);
     }},
    {StatementMistake::ltorgMissing,
     [](const FoundMistake& found, const TestProgram& program) {
         return "the literals placed at `LTORG` are missing " + listed(found, program);
     }},
    {StatementMistake::orgIgnored,
     [](const FoundMistake& found, const TestProgram& program) { return "`ORG` ignored " + listed(found, program); }},
};
static_assert(std::size(wordsRows) == statementMistakeCount, "words for every mistake");

}  // namespace

std::string mistakeWords(const FoundMistake& found, const TestProgram& program)
{
    if (found.first >= program.size())
        return {};
    return wordsRows[static_cast<std::size_t>(found.mistake)].words(found, program);
}
