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

// A BYTE mistake's first statement, or the literal it names where that
// is one: "`=C'EOF'` one byte too long", not the operation that uses it.
std::string constantOf(const FoundMistake& found, const TestProgram& program, std::string_view says)
{
    const SourceStatement& first = program[found.first];
    if (!first.operands.starts_with('='))
        return firstOf(found, program, says);
    std::string text = "`" + first.operands + "`" + std::string(says) + " (source line " + std::to_string(first.line);
    if (found.statements > 1)
        text += ", and " + std::to_string(found.statements - 1) + " more";
    return text + ")";
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

// A mistake's words: a file's note, naming its statements; the kind's, as
// the summary counts students by it; and what the student fixes in their
// assembler, as their feedback says it; and its name in --json, which
// scripts key on and is never changed once given.
struct WordsRow {
    StatementMistake mistake;
    std::string_view name;
    std::string (*words)(const FoundMistake& found, const TestProgram& program);
    std::string_view kind;
    std::string_view fix;
};

constexpr WordsRow wordsRows[] = {
    {StatementMistake::startDecimal, "startDecimal",
     [](const FoundMistake& found, const TestProgram& program) { return firstOf(found, program, " read as decimal"); },
     "START's operand read as decimal", "read START's operand as hexadecimal"},
    {StatementMistake::plusSize, "plusSize", plusWords, "`+` statements counted at the wrong size",
     "count a `+` (format 4) statement as 4 bytes"},
    {StatementMistake::shortAsWord, "shortAsWord",
     [](const FoundMistake& found, const TestProgram& program) {
         std::string text = "operations of 1 or 2 bytes counted as 3 (up to source line " +
                            std::to_string(program[found.first].line);
         if (found.statements > 1)
             text += ", and " + std::to_string(found.statements - 1) + (found.statements == 2 ? " more place" : " more places");
         return text + ")";
     },
     "operations of 1 or 2 bytes counted as 3", "count a format 1 operation as 1 byte and a format 2 one as 2"},
    {StatementMistake::reswAsBytes, "reswAsBytes",
     [](const FoundMistake& found, const TestProgram&) {
         return "`RESW n` reserves n bytes, not 3n (" + plural(found.statements, "statement", "statements") + ")";
     },
     "`RESW n` counted as n bytes", "reserve 3 bytes for each word of `RESW n`"},
    {StatementMistake::resbHex, "resbHex",
     [](const FoundMistake& found, const TestProgram& program) { return firstOf(found, program, " read as hexadecimal"); },
     "RESB's operand read as hexadecimal", "read RESB's operand as decimal"},
    {StatementMistake::byteCharLonger, "byteCharLonger",
     [](const FoundMistake& found, const TestProgram& program) { return constantOf(found, program, " one byte too long"); },
     "`BYTE C'..'` a byte too long", "give `BYTE C'..'` one byte per character between the quotes"},
    {StatementMistake::byteHexDigits, "byteHexDigits",
     [](const FoundMistake& found, const TestProgram& program) {
         return constantOf(found, program, " given a byte for each digit");
     },
     "`BYTE X'..'` given a byte per digit", "give `BYTE X'..'` one byte per two hexadecimal digits"},
    {StatementMistake::equLocation, "equLocation",
     [](const FoundMistake& found, const TestProgram& program) {
         return "EQU labels hold the location counter, not their value " + listed(found, program, true);
     },
     "EQU labels given the location counter", "give an EQU label the value of its expression"},
    {StatementMistake::ltorgMissing, "ltorgMissing",
     [](const FoundMistake& found, const TestProgram& program) {
         return "the literals placed at `LTORG` are missing " + listed(found, program);
     },
     "the literals placed at `LTORG` missing", "place the literals used so far at each `LTORG`, and count their bytes"},
    {StatementMistake::orgIgnored, "orgIgnored",
     [](const FoundMistake& found, const TestProgram& program) { return "`ORG` ignored " + listed(found, program); },
     "`ORG` ignored", "set the location counter to `ORG`'s operand"},
    {StatementMistake::equLeftOut, "equLeftOut",
     [](const FoundMistake& found, const TestProgram& program) {
         return "EQU labels left out of the table " + listed(found, program, true);
     },
     "EQU labels left out", "print each EQU label in the symbol table, with its value"},
    {StatementMistake::nameLeftOut, "nameLeftOut",
     [](const FoundMistake& found, const TestProgram& program) {
         return "the program's name left out of the table " + listed(found, program, true);
     },
     "the program's name left out", "print the program's name (START's label) in the symbol table"},
    {StatementMistake::nameDoubled, "nameDoubled",
     [](const FoundMistake& found, const TestProgram& program) {
         return "the program's name printed twice " + listed(found, program, true);
     },
     "the program's name printed twice", "print the program's name (START's label) once"},
    {StatementMistake::literalsInTable, "literalsInTable",
     [](const FoundMistake& found, const TestProgram& program) {
         return "literals printed in the table as symbols " + listed(found, program);
     },
     "literals printed as symbols", "leave the literals out of the symbol table"},
};
static_assert(std::size(wordsRows) == statementMistakeCount, "words for every mistake");

constexpr bool rowsInOrder()
{
    for (std::size_t i = 0; i < std::size(wordsRows); ++i)
        if (static_cast<std::size_t>(wordsRows[i].mistake) != i || wordsRows[i].kind.empty() || wordsRows[i].fix.empty() ||
            wordsRows[i].name.empty())
            return false;
    return true;
}
static_assert(rowsInOrder(), "rows in the mistakes' order, each with its kind's words and its fix");

}  // namespace

std::string mistakeWords(const FoundMistake& found, const TestProgram& program)
{
    auto kind = static_cast<std::size_t>(found.mistake);
    if (found.first >= program.size() || kind >= std::size(wordsRows))
        return {};
    return wordsRows[kind].words(found, program);
}

std::shared_ptr<const std::string> mistakeWordsOnce(WordedMistakes& worded, std::uint32_t test,
                                                    const FoundMistake& found, const TestProgram& program)
{
    // A worker keeps the words of this many mistakes of one kind; a class
    // whose files give more (`+` off by every count of bytes) has the rest
    // made anew.
    constexpr std::size_t mostKept = 64;
    auto kind = static_cast<std::size_t>(found.mistake);
    if (kind >= worded.kinds.size())
        return std::make_shared<const std::string>();
    std::vector<WordedMistakes::Worded>& kept = worded.kinds[kind];
    for (const WordedMistakes::Worded& words : kept)
        if (words.test == test && words.found == found)
            return words.words;
    if (kept.size() == mostKept)
        kept.clear();
    auto words = std::make_shared<const std::string>(mistakeWords(found, program));
    return kept.emplace_back(WordedMistakes::Worded{test, found, std::move(words)}).words;
}

std::string_view mistakeKindWords(StatementMistake mistake)
{
    return wordsRows[static_cast<std::size_t>(mistake)].kind;
}

std::string_view mistakeFix(StatementMistake mistake)
{
    return wordsRows[static_cast<std::size_t>(mistake)].fix;
}

std::string_view mistakeName(StatementMistake mistake)
{
    return wordsRows[static_cast<std::size_t>(mistake)].name;
}
