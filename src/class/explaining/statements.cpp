#include "class/explaining/statements.h"

#include "class/explaining/stack_room.h"
#include "class/model/addresses.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The conventions the explaining assumes, which the man page names: these
// directives, literals written =C'..' or =X'..' (or a number, a word) and
// placed at LTORG, and a `+` before an operation for format 4.
enum class Directive : std::uint8_t { none, start, end, byte, word, resb, resw, equ, org, ltorg, noSize };

struct DirectiveRow {
    std::string_view name;
    Directive directive;
};

constexpr DirectiveRow directiveRows[] = {
    {"START", Directive::start}, {"END", Directive::end},     {"BYTE", Directive::byte},
    {"WORD", Directive::word},   {"RESB", Directive::resb},   {"RESW", Directive::resw},
    {"EQU", Directive::equ},     {"ORG", Directive::org},     {"LTORG", Directive::ltorg},
    {"BASE", Directive::noSize}, {"NOBASE", Directive::noSize},
};

constexpr std::int64_t wordSize = 3;
constexpr std::int64_t formatFourSize = 4;
// No test program has near this many kinds of operation, or spans between
// labels to learn their sizes from; a file that does is no program, and
// teaches no more than this.
constexpr std::size_t mostUnknownSizes = 512;
constexpr std::size_t mostSpans = 4096;
// Offsets that a student's file gives beyond this are no assembler's.
constexpr std::int64_t largestOffset = std::int64_t{1} << 40;

char toUpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = toUpperAscii(c);
    return out;
}

Directive directiveOf(std::string_view operation)
{
    std::string name = upper(operation);
    for (const DirectiveRow& row : directiveRows)
        if (row.name == name)
            return row.directive;
    return Directive::none;
}

std::optional<std::int64_t> number(std::string_view text, int base)
{
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        int digit = hexDigitValue(c);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

// A constant's bytes: C'..' one a character, X'..' one for two digits.
std::optional<std::int64_t> constantSize(std::string_view operand, bool* character = nullptr)
{
    if (operand.size() < 3 || operand[1] != '\'' || operand.back() != '\'')
        return std::nullopt;
    std::int64_t inside = static_cast<std::int64_t>(operand.size()) - 3;
    char kind = toUpperAscii(operand[0]);
    if (character != nullptr)
        *character = kind == 'C';
    if (kind == 'C')
        return inside;
    if (kind == 'X')
        return (inside + 1) / 2;
    return std::nullopt;
}

std::int64_t literalSize(std::string_view literal)
{
    if (std::optional<std::int64_t> size = constantSize(literal.substr(1)))
        return *size;
    return wordSize;
}

struct Statement {
    Directive directive = Directive::none;
    std::string key;  // an operation's, as its size is learned: its name and prefix
    std::optional<std::int64_t> size;
    std::optional<std::int64_t> location;  // the reference's location counter at it
    // At LTORG, what its pool gives the BYTE mistakes: a student's
    // assembler sizes a literal as it sizes the constant it is written as.
    std::int64_t characterLiterals = 0;
    std::int64_t hexLiteralsExtra = 0;  // bytes a byte per digit adds
};

struct Program {
    const TestProgram& source;
    std::vector<Statement> statements;
    std::map<std::string, std::uint32_t, std::less<>> lineOfLabel;  // reference line of each label
    std::map<std::string, std::size_t, std::less<>> statementOfLabel;  // the statement each label is on
    std::vector<std::optional<std::int64_t>> wordSteps;  // see wordSteps()
    const std::vector<std::uint64_t>& values;
    const std::vector<std::uint8_t>& hasValue;
    bool literalsAlike = false;

    std::optional<std::int64_t> addressOf(std::string_view label) const
    {
        auto found = lineOfLabel.find(label);
        if (found == lineOfLabel.end() || !hasValue[found->second])
            return std::nullopt;
        return static_cast<std::int64_t>(values[found->second]);
    }
};

// The sizes a directive gives, and the pools of literals LTORG places.
void sizeDirectives(Program& program)
{
    std::vector<std::string> pool;
    for (std::size_t s = 0; s < program.statements.size(); ++s) {
        const SourceStatement& source = program.source[s];
        Statement& statement = program.statements[s];
        std::string_view operands = source.operands;
        if (!operands.empty() && operands.front() == '=' &&
            std::find(pool.begin(), pool.end(), operands) == pool.end())
            pool.emplace_back(operands);
        switch (statement.directive) {
        case Directive::none:
            break;
        case Directive::byte:
            statement.size = constantSize(operands);
            break;
        case Directive::word:
            statement.size = wordSize;
            break;
        case Directive::resb:
        case Directive::resw:
            if (std::optional<std::int64_t> count = number(operands, 10))
                statement.size = *count * (statement.directive == Directive::resw ? wordSize : 1);
            break;
        case Directive::ltorg:
            statement.size = 0;
            for (const std::string& literal : pool) {
                *statement.size += literalSize(literal);
                bool character = false;
                if (std::optional<std::int64_t> bytes = constantSize(std::string_view(literal).substr(1), &character))
                    (character ? statement.characterLiterals : statement.hexLiteralsExtra) +=
                        character ? 1 : static_cast<std::int64_t>(literal.size()) - 4 - *bytes;
            }
            pool.clear();
            break;
        default:
            statement.size = 0;
        }
    }
}

// Where the reference says the location counter stands: at each label that
// is not an EQU's, and at START.
std::optional<std::int64_t> anchorOf(const Program& program, std::size_t s)
{
    const Statement& statement = program.statements[s];
    if (statement.directive == Directive::equ)
        return std::nullopt;
    if (!program.source[s].label.empty())
        if (std::optional<std::int64_t> address = program.addressOf(program.source[s].label))
            return address;
    if (statement.directive == Directive::start)
        return number(program.source[s].operands, 16);
    return std::nullopt;
}

// Each segment between two anchors says what the statements in it take
// together: one equation over the operations' unknown sizes.
struct Equation {
    std::vector<double> counts;
    double bytes = 0;
};

std::vector<Equation> segmentEquations(const Program& program, const std::vector<std::size_t>& anchors,
                                       const std::vector<std::string>& keys)
{
    std::vector<Equation> equations;
    for (std::size_t a = 0; a + 1 < anchors.size() && equations.size() < mostSpans; ++a) {
        Equation equation{std::vector<double>(keys.size(), 0.0),
                          static_cast<double>(*anchorOf(program, anchors[a + 1]) - *anchorOf(program, anchors[a]))};
        bool usable = true;
        for (std::size_t s = anchors[a]; s < anchors[a + 1] && usable; ++s) {
            const Statement& statement = program.statements[s];
            if (statement.directive == Directive::org || (statement.directive == Directive::start && s != anchors[a]))
                usable = false;
            else if (statement.size)
                equation.bytes -= static_cast<double>(*statement.size);
            else if (statement.key.empty())
                usable = false;
            else
                equation.counts[static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), statement.key) - keys.begin())] += 1;
        }
        if (usable)
            equations.push_back(std::move(equation));
    }
    return equations;
}

// The sizes the equations fix, by elimination: a size is learned where its
// row holds no other unknown, and is a whole number of bytes.
std::map<std::string, std::int64_t> solveSizes(std::vector<Equation> rows, const std::vector<std::string>& keys)
{
    constexpr double tiny = 1e-9;
    std::vector<std::size_t> pivotOf(rows.size(), keys.size());
    std::size_t rank = 0;
    for (std::size_t k = 0; k < keys.size() && rank < rows.size(); ++k) {
        std::size_t best = rank;
        for (std::size_t r = rank; r < rows.size(); ++r)
            if (std::abs(rows[r].counts[k]) > std::abs(rows[best].counts[k]))
                best = r;
        if (std::abs(rows[best].counts[k]) < tiny)
            continue;
        std::swap(rows[rank], rows[best]);
        double pivot = rows[rank].counts[k];
        for (double& count : rows[rank].counts)
            count /= pivot;
        rows[rank].bytes /= pivot;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            double factor = rows[r].counts[k];
            if (r == rank || std::abs(factor) < tiny)
                continue;
            for (std::size_t c = 0; c < keys.size(); ++c)
                rows[r].counts[c] -= factor * rows[rank].counts[c];
            rows[r].bytes -= factor * rows[rank].bytes;
        }
        pivotOf[rank++] = k;
    }
    std::map<std::string, std::int64_t> learned;
    for (std::size_t r = 0; r < rank; ++r) {
        std::size_t others = 0;
        for (std::size_t c = 0; c < keys.size(); ++c)
            others += c != pivotOf[r] && std::abs(rows[r].counts[c]) > tiny ? 1 : 0;
        double size = rows[r].bytes;
        if (others == 0 && size > -tiny && std::abs(size - std::round(size)) < tiny)
            learned[keys[pivotOf[r]]] = static_cast<std::int64_t>(std::llround(size));
    }
    return learned;
}

std::vector<std::size_t> anchorsOf(const Program& program)
{
    std::vector<std::size_t> anchors;
    for (std::size_t s = 0; s < program.statements.size(); ++s)
        if (anchorOf(program, s))
            anchors.push_back(s);
    return anchors;
}

void learnSizes(Program& program)
{
    std::vector<std::size_t> anchors = anchorsOf(program);
    std::vector<std::string> keys;
    for (std::size_t s = 0; s < program.statements.size(); ++s) {
        if (!program.statements[s].size && !program.statements[s].key.empty())
            keys.push_back(program.statements[s].key);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (keys.size() > mostUnknownSizes)
        return;
    std::map<std::string, std::int64_t> learned = solveSizes(segmentEquations(program, anchors, keys), keys);
    for (Statement& statement : program.statements)
        if (!statement.size)
            if (auto known = learned.find(statement.key); known != learned.end())
                statement.size = known->second;
}

// The value of ORG's operand: a label, a hexadecimal number, or either
// with a number added or taken away.
std::optional<std::int64_t> orgValue(const Program& program, std::string_view operand)
{
    std::size_t sign = operand.find_first_of("+-", 1);
    std::string_view head = operand.substr(0, sign);
    std::optional<std::int64_t> value = program.addressOf(head);
    if (!value)
        value = number(head, 16);
    if (!value || sign == std::string_view::npos)
        return value;
    std::optional<std::int64_t> moved = number(operand.substr(sign + 1), 10);
    if (!moved)
        return std::nullopt;
    return operand[sign] == '+' ? *value + *moved : *value - *moved;
}

// The reference's location counter at each statement, where the sizes
// before it since the last anchor are known.
void locate(Program& program)
{
    std::optional<std::int64_t> location;
    std::optional<std::int64_t> saved;
    for (std::size_t s = 0; s < program.statements.size(); ++s) {
        Statement& statement = program.statements[s];
        if (std::optional<std::int64_t> anchor = anchorOf(program, s))
            location = anchor;
        statement.location = location;
        if (statement.directive == Directive::org) {
            std::string_view operand = program.source[s].operands;
            if (operand.empty()) {
                location = saved;
            } else {
                saved = location;
                location = orgValue(program, operand);
            }
        } else if (location && statement.size) {
            *location += *statement.size;
        } else {
            location.reset();
        }
    }
}

// What the mistake makes of one statement: how much further (or less far)
// the student's location counter is after it; none where it cannot be told.
using Step = std::optional<std::int64_t> (*)(const Program& program, std::size_t s, std::optional<std::int64_t>& saved);

std::optional<std::int64_t> plusStep(const Program& program, std::size_t s, std::optional<std::int64_t>&)
{
    return program.source[s].operation.starts_with('+') ? 1 : 0;
}

bool isOperation(const Program& program, std::size_t s)
{
    return program.statements[s].directive == Directive::none && !program.source[s].operation.starts_with('+');
}

// A mistake in what is printed, not in where: it moves no address.
std::optional<std::int64_t> noStep(const Program&, std::size_t, std::optional<std::int64_t>&)
{
    return 0;
}

// What counting every operation but format 4's as a word adds, span by
// span between anchors, at the span's last operation: a word for each
// operation, less what the reference says they take together, which needs
// no operation's own size.  Where a span says nothing (ORG in it), its
// operations' learned sizes do; where neither, the mistake cannot be told.
std::vector<std::optional<std::int64_t>> wordSteps(const Program& program, const std::vector<std::size_t>& anchors)
{
    std::vector<std::optional<std::int64_t>> steps(program.statements.size(), std::int64_t{0});
    for (std::size_t a = 0; a + 1 < anchors.size(); ++a) {
        std::int64_t rest = *anchorOf(program, anchors[a + 1]) - *anchorOf(program, anchors[a]);
        bool spanSays = true;
        std::int64_t learned = 0;
        bool allLearned = true;
        std::int64_t operations = 0;
        std::size_t last = anchors[a];
        for (std::size_t s = anchors[a]; s < anchors[a + 1]; ++s) {
            const Statement& statement = program.statements[s];
            bool moves = statement.directive == Directive::org || (statement.directive == Directive::start && s != anchors[a]);
            if (isOperation(program, s)) {
                ++operations;
                last = s;
                allLearned = allLearned && statement.size.has_value();
                learned += wordSize - statement.size.value_or(wordSize);
            } else if (statement.size && !moves) {
                rest -= *statement.size;
            } else if (program.source[s].operation.starts_with('+')) {
                // Where the reference does not teach it, format 4 takes
                // what it is named for: the mistake counts the others.
                rest -= formatFourSize;
            } else {
                spanSays = false;
            }
        }
        if (operations == 0)
            continue;
        if (spanSays)
            steps[last] = wordSize * operations - rest;
        else if (allLearned)
            steps[last] = learned;
        else
            steps[last].reset();
    }
    return steps;
}

constexpr struct StepRow {
    StatementMistake mistake;
    Step step;
} stepRows[] = {
    {StatementMistake::startDecimal,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>&) -> std::optional<std::int64_t> {
         if (program.statements[s].directive != Directive::start)
             return 0;
         std::optional<std::int64_t> decimal = number(program.source[s].operands, 10);
         std::optional<std::int64_t> hex = number(program.source[s].operands, 16);
         return decimal && hex ? *decimal - *hex : 0;
     }},
    {StatementMistake::plusSize, plusStep},
    {StatementMistake::shortAsWord,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>&) { return program.wordSteps[s]; }},
    {StatementMistake::reswAsBytes,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>&) -> std::optional<std::int64_t> {
         const Statement& statement = program.statements[s];
         return statement.directive == Directive::resw && statement.size ? -*statement.size / wordSize * 2 : 0;
     }},
    {StatementMistake::resbHex,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>&) -> std::optional<std::int64_t> {
         if (program.statements[s].directive != Directive::resb)
             return 0;
         std::optional<std::int64_t> decimal = number(program.source[s].operands, 10);
         std::optional<std::int64_t> hex = number(program.source[s].operands, 16);
         return decimal && hex ? *hex - *decimal : 0;
     }},
    {StatementMistake::byteCharLonger,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>&) -> std::optional<std::int64_t> {
         bool character = false;
         if (program.statements[s].directive == Directive::ltorg)
             return program.literalsAlike ? program.statements[s].characterLiterals : 0;
         bool hit = program.statements[s].directive == Directive::byte &&
                    constantSize(program.source[s].operands, &character) && character;
         return hit ? 1 : 0;
     }},
    {StatementMistake::byteHexDigits,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>&) -> std::optional<std::int64_t> {
         bool character = true;
         const Statement& statement = program.statements[s];
         if (statement.directive == Directive::ltorg)
             return program.literalsAlike ? statement.hexLiteralsExtra : 0;
         if (statement.directive != Directive::byte || !constantSize(program.source[s].operands, &character) || character)
             return 0;
         return static_cast<std::int64_t>(program.source[s].operands.size()) - 3 - *statement.size;
     }},
    {StatementMistake::equLocation, [](const Program&, std::size_t, std::optional<std::int64_t>&) -> std::optional<std::int64_t> { return 0; }},
    {StatementMistake::ltorgMissing,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>&) -> std::optional<std::int64_t> {
         const Statement& statement = program.statements[s];
         return statement.directive == Directive::ltorg && statement.size ? -*statement.size : 0;
     }},
    {StatementMistake::orgIgnored,
     [](const Program& program, std::size_t s, std::optional<std::int64_t>& saved) -> std::optional<std::int64_t> {
         const Statement& statement = program.statements[s];
         if (statement.directive != Directive::org)
             return 0;
         std::string_view operand = program.source[s].operands;
         std::optional<std::int64_t> to = operand.empty() ? saved : orgValue(program, operand);
         if (!operand.empty())
             saved = statement.location;
         if (!to || !statement.location)
             return std::nullopt;
         return *statement.location - *to;
     }},
    {StatementMistake::equLeftOut, noStep},
    {StatementMistake::nameLeftOut, noStep},
    {StatementMistake::nameDoubled, noStep},
    {StatementMistake::literalsInTable, noStep},
};
static_assert(std::size(stepRows) == statementMistakeCount, "a row for every mistake");

// Where a correct ORG puts the student's location counter, as what a
// mistake adds there: what it adds to the label ORG names, or nothing to
// a number, which is where it is whatever came before.
std::optional<std::int64_t> orgAdds(const Program& program, std::string_view operand,
                                    const std::vector<std::int64_t>& before, std::size_t s, std::size_t m)
{
    std::string_view head = operand.substr(0, operand.find_first_of("+-", 1));
    auto found = program.statementOfLabel.find(head);
    if (found != program.statementOfLabel.end() && found->second < s)
        return before[found->second * statementMistakeCount + m];
    if (number(head, 16))
        return 0;
    return std::nullopt;
}

// Where a BYTE mistake shows only in the pools of literals, the statements
// it concerns are those that use a literal of its form, which the student's
// assembler sizes as that constant.
void nameLiterals(const Program& program, StatementModel& model, StatementMistake mistake)
{
    auto m = static_cast<std::size_t>(mistake);
    char form = mistake == StatementMistake::byteCharLonger ? 'C' : 'X';
    for (std::size_t s = 0; s < program.statements.size(); ++s) {
        std::string_view operands = program.source[s].operands;
        bool character = false;
        std::optional<std::int64_t> bytes = operands.starts_with('=') ? constantSize(operands.substr(1), &character)
                                                                       : std::nullopt;
        bool grows = bytes && (form == 'C' ? character : !character && static_cast<std::int64_t>(operands.size()) - 4 > *bytes);
        if (grows && model.statements[m]++ == 0)
            model.first[m] = static_cast<std::uint32_t>(s);
    }
}

// What each mistake adds to the location counter before each statement;
// START's own is before it, since its label is where it starts.  A correct
// ORG moves the student's counter as it moves the reference's, and an ORG
// without operand takes it back to where it was.  A mistake that cannot
// be told is left out whole.
std::vector<std::int64_t> addsBefore(const Program& program, StatementModel& model, bool orgIgnored)
{
    std::size_t count = program.statements.size();
    std::vector<std::int64_t> before(count * statementMistakeCount, 0);
    for (const StepRow& row : stepRows) {
        auto m = static_cast<std::size_t>(row.mistake);
        std::optional<std::int64_t> saved;
        std::optional<std::int64_t> savedAdds;
        std::int64_t sum = 0;
        bool told = true;
        bool pooled = false;
        for (std::size_t s = 0; s < count && told; ++s) {
            std::optional<std::int64_t> step = row.step(program, s, saved);
            told = step.has_value();
            std::int64_t add = step.value_or(0);
            // A pool of literals moves the counter for a BYTE mistake but is
            // none of the statements it names.
            bool named = program.statements[s].directive != Directive::ltorg || row.mistake == StatementMistake::ltorgMissing;
            if (add != 0 && named && model.statements[m]++ == 0)
                model.first[m] = static_cast<std::uint32_t>(s);
            pooled = pooled || (add != 0 && !named);
            bool startsHere = row.mistake == StatementMistake::startDecimal;
            before[s * statementMistakeCount + m] = sum + (startsHere ? add : 0);
            sum += add;
            if (program.statements[s].directive != Directive::org || orgIgnored ||
                row.mistake == StatementMistake::orgIgnored)
                continue;
            std::string_view operand = program.source[s].operands;
            if (operand.empty()) {
                told = savedAdds.has_value();
                sum = savedAdds.value_or(0);
                continue;
            }
            savedAdds = sum;
            std::optional<std::int64_t> moved = orgAdds(program, operand, before, s, m);
            told = moved.has_value();
            sum = moved.value_or(0);
        }
        if (told && pooled && model.statements[m] == 0)
            nameLiterals(program, model, row.mistake);
        if (!told) {
            model.statements[m] = 0;
            for (std::size_t s = 0; s < count; ++s)
                before[s * statementMistakeCount + m] = 0;
        }
    }
    return before;
}

// An EQU's operand as a sum of labels, numbers and `*`: what each
// mistake adds to it, from what it adds to the labels; false where it is
// no such sum or names a label that has no slot yet.
bool equAdds(const Program& program, const StatementModel& model, const std::vector<std::int64_t>& slotAdds,
             std::size_t s, const std::vector<std::int64_t>& before, std::int64_t* adds)
{
    std::string_view rest = program.source[s].operands;
    int sign = 1;
    while (!rest.empty()) {
        std::size_t end = rest.find_first_of("+-", 1);
        std::string_view term = rest.substr(0, end);
        if (term == "*") {
            for (std::size_t m = 0; m < statementMistakeCount; ++m)
                adds[m] += sign * before[s * statementMistakeCount + m];
        } else if (!number(term, 10)) {
            auto found = program.lineOfLabel.find(term);
            if (found == program.lineOfLabel.end() || model.slotOfLine[found->second] == noSlot)
                return false;
            std::size_t slot = model.slotOfLine[found->second];
            for (std::size_t m = 0; m < statementMistakeCount; ++m)
                adds[m] += sign * slotAdds[slot * statementMistakeCount + m];
        }
        if (end == std::string_view::npos)
            break;
        sign = rest[end] == '-' ? -1 : 1;
        rest.remove_prefix(end + 1);
    }
    return true;
}

void addSlot(const Program& program, StatementModel& model, std::size_t s, std::uint32_t line,
             const std::array<std::vector<std::int64_t>, 2>& before)
{
    const Statement& statement = program.statements[s];
    std::size_t slot = model.equValue.size();
    bool equ = statement.directive == Directive::equ && program.source[s].operands != "*";
    for (std::size_t v = 0; v < before.size(); ++v) {
        const std::int64_t* here = &before[v][s * statementMistakeCount];
        SlotAdds& rows = model.rows[v];
        rows.adds.insert(rows.adds.end(), here, here + statementMistakeCount);
        rows.addsAsLocation.insert(rows.addsAsLocation.end(), here, here + statementMistakeCount);
        if (!equ)
            continue;
        std::fill(rows.adds.begin() + static_cast<std::ptrdiff_t>(slot * statementMistakeCount), rows.adds.end(), 0);
        if (!equAdds(program, model, rows.adds, s, before[v], &rows.adds[slot * statementMistakeCount])) {
            for (SlotAdds& taken : model.rows) {
                taken.adds.resize(slot * statementMistakeCount);
                taken.addsAsLocation.resize(slot * statementMistakeCount);
            }
            return;
        }
    }
    std::int64_t value = static_cast<std::int64_t>(program.values[line]);
    model.equValue.push_back(equ ? 1 : 0);
    model.located.push_back(statement.location ? 1 : 0);
    model.locationOffset.push_back(equ && statement.location ? *statement.location - value : 0);
    if (equ && statement.location && *statement.location != value && model.statements[static_cast<std::size_t>(StatementMistake::equLocation)]++ == 0)
        model.first[static_cast<std::size_t>(StatementMistake::equLocation)] = static_cast<std::uint32_t>(s);
    model.slotOfLine[line] = static_cast<std::uint32_t>(slot);
}

// The reference lines whose leaving out a statement's kind names: each
// EQU's label, and the program's name on START; and the statements that
// use a literal, which an assembler may print as a symbol.
void markLeftOutLines(const Program& program, StatementModel& model)
{
    model.leftOutAs.assign(model.slotOfLine.size(), StatementMistake::count);
    constexpr auto literals = static_cast<std::size_t>(StatementMistake::literalsInTable);
    for (std::size_t s = 0; s < program.statements.size(); ++s) {
        if (program.source[s].operands.starts_with('=') && model.statements[literals]++ == 0)
            model.first[literals] = static_cast<std::uint32_t>(s);
        Directive directive = program.statements[s].directive;
        auto found = program.lineOfLabel.find(program.source[s].label);
        if (program.source[s].label.empty() || found == program.lineOfLabel.end() ||
            (directive != Directive::equ && directive != Directive::start) ||
            model.leftOutAs[found->second] != StatementMistake::count)
            continue;
        StatementMistake mistake = directive == Directive::equ ? StatementMistake::equLeftOut : StatementMistake::nameLeftOut;
        model.leftOutAs[found->second] = mistake;
        if (mistake == StatementMistake::nameLeftOut)
            model.nameLine = found->second;
        if (model.statements[static_cast<std::size_t>(mistake)]++ == 0)
            model.first[static_cast<std::size_t>(mistake)] = static_cast<std::uint32_t>(s);
    }
}

// Which mistakes show at each slot, and which move it: a file's fit
// reads these for each line it gives, not each mistake's rows.
void markMoves(StatementModel& model)
{
    constexpr auto equ = static_cast<std::size_t>(StatementMistake::equLocation);
    constexpr auto org = static_cast<std::size_t>(StatementMistake::orgIgnored);
    const std::array<SlotAdds, 2>& rows = model.rows;
    // A mistake no statement of the program concerns shows nowhere.
    std::uint32_t mentioned = 0;
    for (std::size_t m = 0; m < statementMistakeCount; ++m)
        mentioned |= model.statements[m] > 0 ? 1u << m : 0;
    for (std::size_t slot = 0; slot < model.equValue.size(); ++slot) {
        std::size_t from = slot * statementMistakeCount;
        std::uint32_t shown = 0;
        std::uint32_t moved = 0;
        for (std::size_t m = 0; m < statementMistakeCount; ++m) {
            bool adds = rows[0].adds[from + m] != 0 || rows[1].adds[from + m] != 0;
            bool asLocation = rows[0].addsAsLocation[from + m] != 0 || rows[1].addsAsLocation[from + m] != 0;
            shown |= (m == equ ? model.equValue[slot] && model.located[slot] && model.locationOffset[slot] != 0 : adds)
                         ? 1u << m
                         : 0;
            moved |= adds || asLocation || (m == equ && model.equValue[slot]) ? 1u << m : 0;
        }
        auto row = [&](const std::vector<std::int64_t>& adds) {
            return std::span<const std::int64_t>(adds).subspan(from, statementMistakeCount);
        };
        bool orgMoves = !std::ranges::equal(row(rows[0].adds), row(rows[1].adds)) ||
                        !std::ranges::equal(row(rows[0].addsAsLocation), row(rows[1].addsAsLocation));
        model.shownAt.push_back(shown & mentioned);
        model.movedAt.push_back(moved | (orgMoves ? 1u << org : 0));
    }
}

}  // namespace

StatementModel learnStatements(const TestProgram& source, const std::vector<Symbol>& symbols,
                               const std::vector<std::uint64_t>& values, const std::vector<std::uint8_t>& hasValue,
                               bool literalsAlike)
{
    StatementModel model;
    if (source.empty())
        return model;
    Program program{source, {}, {}, {}, {}, values, hasValue, literalsAlike};
    for (std::uint32_t line = 0; line < symbols.size(); ++line)
        program.lineOfLabel.emplace(std::string(symbols[line].label), line);
    for (const SourceStatement& statement : source) {
        if (!statement.label.empty())
            program.statementOfLabel.emplace(statement.label, program.statements.size());
        Directive directive = directiveOf(statement.operation);
        // Every `+` statement is format 4, which takes one size whatever
        // its operation; any other operation's size is its own.
        std::string key = statement.operation.starts_with('+') ? "+" : upper(statement.operation);
        program.statements.push_back(Statement{directive, directive == Directive::none ? key : "", {}, {}});
    }
    sizeDirectives(program);
    model.literalPools = std::any_of(program.statements.begin(), program.statements.end(), [](const Statement& statement) {
        return statement.characterLiterals != 0 || statement.hexLiteralsExtra != 0;
    });
    learnSizes(program);
    locate(program);
    program.wordSteps = wordSteps(program, anchorsOf(program));
    // What the mistakes add where ORG moves the counter as it should, and
    // where the student's assembler ignores it; only the first counts the
    // statements each mistake concerns.
    StatementModel ignoring;
    std::array<std::vector<std::int64_t>, 2> before{addsBefore(program, model, false), addsBefore(program, ignoring, true)};
    model.slotOfLine.assign(symbols.size(), noSlot);
    for (std::size_t s = 0; s < program.statements.size(); ++s) {
        auto found = program.lineOfLabel.find(source[s].label);
        if (source[s].label.empty() || found == program.lineOfLabel.end() || !hasValue[found->second] ||
            model.slotOfLine[found->second] != noSlot)
            continue;
        addSlot(program, model, s, found->second, before);
    }
    markLeftOutLines(program, model);
    markMoves(model);
    for (std::size_t m = 0; m < statementMistakeCount; ++m)
        if (model.statements[m] > 0)
            model.size[m] = program.statements[model.first[m]].size.value_or(0);
    return model;
}

namespace {

constexpr auto plusIndex = static_cast<std::size_t>(StatementMistake::plusSize);
constexpr auto equIndex = static_cast<std::size_t>(StatementMistake::equLocation);
constexpr auto orgIndex = static_cast<std::size_t>(StatementMistake::orgIgnored);
// A file gives this many addresses for each line of them that may be a
// typo no mistake explains, and at most this many typos: a typo changes
// one digit of a wrong line, which a set's false addresses seldom do.  A
// file of this many lines may leave one to a typo of any kind.
constexpr std::size_t linesForEachSlip = 4;
constexpr std::size_t mostSlipsInAFile = 2;
constexpr std::size_t leastLinesForAnySlip = 8;
// Nor where more mistakes than this combine: the more a set holds, the
// likelier a typo is fitted by chance.
constexpr std::size_t mostWithASlip = 3;
constexpr std::size_t leastWrongBesideASlip = 1;

// Not set where made in bulk (StackRoom): each is written before it is read.
struct Observed {
    std::size_t slot;
    std::int64_t offset;
    std::int64_t written;
    std::uint8_t base;
};

// What the mistakes in `set` give a slot's address: what all but `+` add,
// and what `+` adds for each byte it is off; none where the slot cannot
// tell.
struct SetAdds {
    std::int64_t others = 0;
    std::int64_t perPlusByte = 0;
};

inline std::optional<SetAdds> addsOf(const StatementModel& model, std::size_t slot, std::uint32_t set)
{
    bool asLocation = (set >> equIndex & 1) != 0 && model.equValue[slot];
    if (asLocation && !model.located[slot])
        return std::nullopt;
    const SlotAdds& rows = model.rows[set >> orgIndex & 1];
    const std::int64_t* adds = &(asLocation ? rows.addsAsLocation : rows.adds)[slot * statementMistakeCount];
    SetAdds sum{asLocation ? model.locationOffset[slot] : 0, (set >> plusIndex & 1) != 0 ? adds[plusIndex] : 0};
    for (std::uint32_t rest = set & ~(1u << plusIndex); rest != 0; rest &= rest - 1)
        sum.others += adds[std::countr_zero(rest)];
    return sum;
}

// The same with `plus` bytes for each `+` statement.
std::optional<std::int64_t> predicted(const StatementModel& model, std::size_t slot, std::uint32_t set, std::int64_t plus)
{
    std::optional<SetAdds> adds = addsOf(model, slot, set);
    if (!adds)
        return std::nullopt;
    return adds->others + adds->perPlusByte * plus;
}

// Whether two addresses differ in one digit as the file writes them, as a
// typo leaves an address: an offset no mistake gives that differs in more
// is more likely a mistake the set leaves out than a slip of the hand.
bool oneDigitApart(const Observed& at, std::int64_t offset)
{
    std::int64_t a = at.written - at.offset + offset;
    std::int64_t b = at.written;
    if (at.base == 0)
        return true;
    if (a < 0 || b < 0 || a == b)
        return false;
    return digitsDiffering(static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(b), at.base, 2) == 1;
}

// Whether the set gives every observed address but at most `slips`, each a
// line the file gives wrong (a typo makes a line wrong, never right); past
// one, or in a file of few lines, each a digit from what the set gives.  A
// set that leaves a line to a typo must give wrong addresses of its own
// that the file shows, or it explains nothing but fits by leaving out
// the one wrong line (a typo on an EQU's line fitted the EQU's mistake).
bool fits(const StatementModel& model, std::span<const Observed> observed, std::uint32_t set, std::int64_t plus,
          int slips)
{
    bool slipped = false;
    int slipsLeft = slips;
    bool onlyDigits = true;
    std::size_t shownWrong = 0;
    for (const Observed& at : observed) {
        std::optional<std::int64_t> offset = predicted(model, at.slot, set, plus);
        if (offset && *offset != at.offset) {
            slipped = true;
            if (--slipsLeft < 0 || at.offset == 0)
                return false;
            onlyDigits = onlyDigits && oneDigitApart(at, *offset);
        } else if (offset && at.offset != 0) {
            ++shownWrong;
        }
    }
    if (!onlyDigits && (slips - slipsLeft > 1 || observed.size() < leastLinesForAnySlip))
        return false;
    return !slipped || shownWrong >= leastWrongBesideASlip;
}

// Whether the `+` statements, `plus` bytes off, are counted shorter than
// they are, and as something: format 4 is the longest form, which an
// assembler miscounts as a shorter one it knows; an offset that fits as
// more bytes is some other mistake's (a pool of literals sized wrong).
bool countedShorter(const StatementModel& model, std::uint32_t set, std::int64_t plus)
{
    std::int64_t size = model.size[plusIndex];
    return (set >> plusIndex & 1) == 0 || (plus < 0 && (size <= 0 || size + plus > 0));
}

// The sets of mistakes that give a file's addresses, found line by line in
// the file's order: each candidate is taken or not where the first line it
// moves comes, and a choice that gives a line wrong is dropped there,
// unless the line may be a typo.  Most lines leave one choice standing;
// trying every set of the candidates instead cost thousands of tries for
// each file that no set fits, the commonest kind: a file with typos.  Of
// the sets that fit, those of the fewest mistakes are kept, and one is told
// only where it is the only one of its size, with one count of bytes for
// `+`.
class SetSearch {
public:
    SetSearch(const StatementModel& model, std::span<const Observed> lines, std::uint32_t candidates)
        : model_(model), lines_(lines)
    {
        std::uint32_t left = candidates;
        for (std::size_t line = 0; line <= lines.size() && left != 0; ++line) {
            std::uint32_t moved = line < lines.size() ? model.movedAt[lines[line].slot] & left : left;
            left &= ~moved;
            // A candidate no line moves is decided at the end.
            for (; moved != 0; moved &= moved - 1)
                order_[count_++] = {line, static_cast<std::size_t>(std::countr_zero(moved))};
        }
    }

    // The sets of at most `most` mistakes that fit with at most `slips`
    // lines left to typos.
    void search(int slips, std::size_t most)
    {
        slips_ = slips;
        most_ = most;
        walk(0, 0, 0, 0, std::nullopt, slips);
    }

    int fitting() const { return fitting_; }
    std::uint32_t found() const { return found_; }
    std::int64_t foundPlus() const { return foundPlus_; }

private:
    // `taken`: the mistakes in `set`.
    void walk(std::size_t line, std::size_t decided, std::uint32_t set, std::size_t taken,
              std::optional<std::int64_t> plus, int slipsLeft)
    {
        for (;;) {
            if (taken > std::min(fewest_, most_))
                return;
            // Each mistake left out first, then taken: the fewest first.
            if (decided < count_ && order_[decided].first <= line) {
                walk(line, decided + 1, set, taken, plus, slipsLeft);
                set |= 1u << order_[decided++].second;
                ++taken;
                continue;
            }
            // With every mistake chosen and `+`'s bytes known, the set is
            // what it is: the lines left are read once, as it is fitted.
            if (line == lines_.size() || (decided == count_ && (plus || (set >> plusIndex & 1) == 0))) {
                fitted(set, taken, plus);
                return;
            }
            const Observed& at = lines_[line++];
            std::optional<SetAdds> adds = addsOf(model_, at.slot, set);
            if (!adds)
                continue;
            bool mayBeTypo = slipsLeft > 0 && at.offset != 0;
            if (adds->perPlusByte != 0 && !plus) {
                // The first line `+` moves tells its bytes, unless it is a
                // typo; a `+` counted right is no mistake.
                std::int64_t left = at.offset - adds->others;
                if (left != 0 && left % adds->perPlusByte == 0)
                    walk(line, decided, set, taken, left / adds->perPlusByte, slipsLeft);
            } else if (adds->others + adds->perPlusByte * plus.value_or(0) == at.offset) {
                continue;
            }
            if (!mayBeTypo)
                return;
            --slipsLeft;
        }
    }

    // A whole set the walk kept, counted where it fits as the fit's rule
    // asks, the typos it leaves included.
    void fitted(std::uint32_t set, std::size_t size, std::optional<std::int64_t> plus)
    {
        bool plusIn = (set >> plusIndex & 1) != 0;
        if (set == 0 || (plusIn && !plus))
            return;
        std::int64_t bytes = plusIn ? *plus : 0;
        if (!countedShorter(model_, set, bytes) || !fits(model_, lines_, set, bytes, slips_))
            return;
        if (size < fewest_) {
            fewest_ = size;
            fitting_ = 0;
        }
        if (fitting_ == 0) {
            found_ = set;
            foundPlus_ = bytes;
            fitting_ = 1;
        } else if (set != found_ || bytes != foundPlus_) {
            fitting_ = 2;
        }
    }

    const StatementModel& model_;
    std::span<const Observed> lines_;
    // The candidates, in the order they are taken or not, each with the
    // first line it may move.
    std::array<std::pair<std::size_t, std::size_t>, statementMistakeCount> order_{};
    std::size_t count_ = 0;
    int slips_ = 0;
    std::size_t most_ = 0;
    std::size_t fewest_ = SIZE_MAX;
    int fitting_ = 0;
    std::uint32_t found_ = 0;
    std::int64_t foundPlus_ = 0;
};

}  // namespace

std::vector<FoundMistake> fitMistakes(const StatementModel& model, std::span<const ObservedAddress> observedLines,
                                      bool* slipped, bool typos)
{
    // A file's lines fit on the stack, but for a long file's: most files
    // are fitted with no memory of their own.
    constexpr std::size_t linesOnStack = 64;
    StackRoom<Observed, linesOnStack> kept(observedLines.size());
    std::span<Observed> room = kept.room();
    std::size_t count = 0;
    std::size_t wrong = 0;
    for (const ObservedAddress& at : observedLines) {
        if (at.line >= model.slotOfLine.size() || model.slotOfLine[at.line] == noSlot || at.offset > largestOffset ||
            at.offset < -largestOffset)
            continue;
        room[count++] = Observed{model.slotOfLine[at.line], at.offset, at.written, at.base};
        wrong += at.offset != 0 ? 1 : 0;
    }
    if (wrong == 0)
        return {};
    std::span<const Observed> observed = room.first(count);
    std::uint32_t candidates = 0;
    for (const Observed& at : observed)
        candidates |= model.shownAt[at.slot];
    // The fewest mistakes that give every address are told, if one set
    // alone of that size does.  Where none does, a set may leave a line or
    // two to typos, which stay wrong lines.
    SetSearch search(model, observed, candidates);
    search.search(0, statementMistakeCount);
    // Each typo is a wrong line, and a set that leaves any must give one
    // wrong line more of its own: a file of one wrong line, the commonest
    // that no set fits, leaves no set a typo to try.
    std::size_t slipsWrongAllows = wrong > leastWrongBesideASlip ? wrong - leastWrongBesideASlip : 0;
    int mostSlips = static_cast<int>(
        std::min({mostSlipsInAFile, observed.size() / linesForEachSlip, slipsWrongAllows}));
    int slips = 0;
    while (typos && search.fitting() == 0 && slips < mostSlips)
        search.search(++slips, mostWithASlip);
    std::vector<FoundMistake> told;
    if (search.fitting() != 1)
        return told;
    if (slipped != nullptr)
        *slipped = slips > 0;
    for (std::size_t m = 0; m < statementMistakeCount; ++m)
        if (search.found() >> m & 1)
            told.push_back(FoundMistake{static_cast<StatementMistake>(m), m == plusIndex ? search.foundPlus() : 0,
                                        model.first[m], model.statements[m], model.size[m]});
    return told;
}

std::optional<std::int64_t> mistakesOffset(const StatementModel& model, std::span<const FoundMistake> mistakes,
                                           std::uint32_t line)
{
    if (mistakes.empty() || line >= model.slotOfLine.size() || model.slotOfLine[line] == noSlot)
        return std::nullopt;
    std::uint32_t set = 0;
    std::int64_t plus = 0;
    for (const FoundMistake& found : mistakes) {
        set |= 1u << static_cast<std::size_t>(found.mistake);
        plus = found.mistake == StatementMistake::plusSize ? found.amount : plus;
    }
    return predicted(model, model.slotOfLine[line], set, plus);
}
