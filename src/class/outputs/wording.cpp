#include "class/outputs/wording.h"

#include <charconv>
#include <cstring>
#include <iterator>
#include <vector>

// The note below names the size.
static_assert(largestStudentFile == 64u << 20, "the refusal's note says 64 MiB");

namespace {

std::string formsText(std::uint8_t forms)
{
    std::vector<std::string_view> named;
    if (forms & prefixed)
        named.push_back("a 0x prefix");
    if (forms & lowercase)
        named.push_back("lowercase digits");
    if (forms & otherWidth)
        named.push_back("another width");
    std::string text;
    for (std::size_t i = 0; i < named.size(); ++i) {
        if (i > 0)
            text += i + 1 == named.size() ? " and " : ", ";
        text += named[i];
    }
    return text;
}

// Written piece by piece into one string: a class's gradebook and page
// describe hundreds of thousands.
struct Words {
    std::string out;

    void number(std::uint64_t value)
    {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out.append(digits, static_cast<std::size_t>(end - digits));
    }
    void lines(std::uint64_t count)
    {
        number(count);
        out += count == 1 ? " line" : " lines";
    }
};

// What a reordered file's order is called, by LineOrder: as the summary
// counts students by it, and as a note says it.
struct OrderWords {
    std::string_view kind;
    std::string_view note;
};
constexpr OrderWords orderWords[] = {
    {"a line printed out of order", "lines out of the reference's order in "},
    {"lines sorted by label", "lines sorted by label, not in the reference's order"},
    {"lines in reverse order", "lines in the reference's reverse order"},
    {"lines in no order found", "lines in no order found, out of the reference's order in "},
};
static_assert(std::size(orderWords) == static_cast<std::size_t>(LineOrder::noneFound) + 1, "words for every order");

const OrderWords& wordsOf(LineOrder order)
{
    return orderWords[static_cast<std::size_t>(order)];
}

// In a reordered file a line's place says nothing, and what follows it is
// no earlier or later for it.
// "line 4 left out", "lines 4 and 5 left out", "lines 4 to 9 left out".
void describeLeftOut(Words& words, std::uint64_t first, std::uint64_t count)
{
    words.out += count == 1 ? "line " : "lines ";
    words.number(first);
    if (count > 1) {
        words.out += count == 2 ? " and " : " to ";
        words.number(first + count - 1);
    }
    words.out += " left out";
}

void describeReorderedShift(Words& words, const Diagnosis& diagnosis)
{
    if (diagnosis.amount < 0) {
        words.out += "line ";
        words.number(diagnosis.value);
        words.out += " printed twice";
        return;
    }
    describeLeftOut(words, diagnosis.value, static_cast<std::uint64_t>(diagnosis.amount));
}

void describeShift(Words& words, const Diagnosis& diagnosis)
{
    if (diagnosis.order != LineOrder::reference) {
        describeReorderedShift(words, diagnosis);
        return;
    }
    bool added = diagnosis.amount < 0;
    std::uint64_t by = added ? -static_cast<std::int64_t>(diagnosis.amount) : diagnosis.amount;
    if (added) {
        if (by == 1)
            words.out += "a line";
        else
            words.lines(by);
        words.out += " added";
        if (diagnosis.value == 0) {
            words.out += " at the end";
            return;
        }
        words.out += " before line ";
        words.number(diagnosis.value);
    } else {
        describeLeftOut(words, diagnosis.value, by);
    }
    words.out += " (what follows is ";
    if (by == 1)
        words.out += "a line";
    else
        words.lines(by);
    words.out += added ? " late)" : " early)";
}

void describeMoved(Words& words, const Diagnosis& diagnosis)
{
    if (diagnosis.value == 0) {
        LineOrder order = diagnosis.order;
        words.out += wordsOf(order).note;
        if (order == LineOrder::reference || order == LineOrder::noneFound) {
            words.number(static_cast<std::uint64_t>(diagnosis.amount));
            words.out += " places";
        }
        return;
    }
    words.out += "line ";
    words.number(diagnosis.value);
    words.out += diagnosis.from != 0 ? " printed after line " : " printed before line ";
    words.number(diagnosis.from != 0 ? diagnosis.from : diagnosis.to);
}

// Lines by number, "3, 5 and 9", after the words for one or for several;
// past a few, how many, after the words for many, so that a note stays a
// note whatever a file holds (--json lists them all).
struct ListWords {
    std::string_view one;
    std::string_view several;
    std::string_view many;
};

void lineList(Words& words, const RareVector<std::uint32_t>& lines, ListWords list)
{
    constexpr std::size_t mostNamed = 8;
    std::size_t count = lines.size();
    if (count > mostNamed) {
        words.out += list.many;
        words.lines(count);
        return;
    }
    for (std::size_t k = 0; k < count; ++k) {
        words.out += k == 0 ? (count == 1 ? list.one : list.several) : k + 1 == count ? " and " : ", ";
        words.number(lines[k]);
    }
}

// The lines within an offset's range that lie otherwise: a range is not
// told as holding where it does not.
void describeBesides(Words& words, const Diagnosis& diagnosis)
{
    lineList(words, diagnosis.besides, {", but line ", ", but lines ", ", but "});
}

// The reference lines an offset holds on; where typos hide the line it
// starts at, every line it may start at.
void describeRange(Words& words, const Diagnosis& diagnosis)
{
    auto start = [&] {
        if (diagnosis.since != 0 && diagnosis.since < diagnosis.from) {
            words.number(diagnosis.since);
            words.out += diagnosis.since + 1 == diagnosis.from ? " or " : " to ";
        }
        words.number(diagnosis.from);
    };
    if (diagnosis.to != 0) {
        words.out += " on reference lines ";
        start();
        words.out += " to ";
        words.number(diagnosis.to);
    } else if (diagnosis.from > 1) {
        words.out += " from reference line ";
        start();
        words.out += " on";
    } else if (!diagnosis.besides.empty()) {
        words.out += " on every reference line";
    }
    describeBesides(words, diagnosis);
}

// An offset's size as the student's addresses lie, and in hexadecimal
// too where that reads otherwise: `+12438 (+0x3096)` points at a hex
// operand read as decimal at once.
void signedOffset(Words& words, bool negative, std::uint64_t value)
{
    constexpr std::uint64_t firstOtherInHex = 10;
    char sign = negative ? '-' : '+';
    words.out += sign;
    words.number(value);
    if (value < firstOtherInHex)
        return;
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    for (char* c = digits; c != end; ++c)
        *c = *c >= 'a' && *c <= 'f' ? static_cast<char>(*c - 'a' + 'A') : *c;
    words.out += " (";
    words.out += sign;
    words.out += "0x";
    words.out.append(digits, static_cast<std::size_t>(end - digits));
    words.out += ')';
}

void offsetFrom(Words& words, std::uint64_t offset)
{
    bool negative = offset > (UINT64_MAX >> 1) + 1;
    signedOffset(words, negative, negative ? 0 - offset : offset);
}

// An offset that grows: the lines it grows at, by how much (once, where
// every step is the same), and what it grows to.
void describeGrowing(Words& words, const Diagnosis& diagnosis)
{
    if (diagnosis.steps.front().offset != 0) {
        words.out += " from ";
        offsetFrom(words, diagnosis.steps.front().offset);
    }
    std::uint64_t common = commonStep(diagnosis);
    std::size_t steps = diagnosis.steps.size();
    for (std::size_t step = 1; step < steps; ++step) {
        if (step > 1)
            words.out += step + 1 == steps ? " and " : ", ";
        if (step == 1 || common == 0) {
            words.out += step == 1 ? " by " : "by ";
            words.number(stepSize(diagnosis, step));
            words.out += " at ";
        }
        if (step == 1)
            words.out += common != 0 && steps > 2 ? "reference lines " : "reference line ";
        words.number(diagnosis.steps[step].line);
    }
    words.out += ", to ";
    offsetFrom(words, diagnosis.steps.back().offset);
    describeBesides(words, diagnosis);
}

void describeLastLines(Words& words, const Diagnosis& diagnosis)
{
    auto amount = static_cast<std::uint64_t>(diagnosis.amount);
    if (amount == 1) {
        words.out += "the reference's last line left out";
        return;
    }
    words.out += "the reference's last ";
    words.lines(amount);
    words.out += " left out";
}

// Only where not every line ends so.
void describeCrLf(Words& words, const Diagnosis& diagnosis)
{
    auto amount = static_cast<std::uint64_t>(diagnosis.amount);
    if (amount == diagnosis.value)
        return;
    words.out += " on ";
    words.number(amount);
    words.out += " of ";
    words.lines(diagnosis.value);
}

void describeNeighbours(Words& words, const Diagnosis& diagnosis)
{
    lineList(words, diagnosis.besides, {" on reference line ", " on reference lines ", " on "});
}

void describeOffset(Words& words, const Diagnosis& diagnosis)
{
    if (!diagnosis.steps.empty())
        describeGrowing(words, diagnosis);
    else if (diagnosis.value != 0)
        describeRange(words, diagnosis);
}

void movedKind(Words& words, const CauseKind& kind)
{
    words.out += wordsOf(kind.order).kind;
}

void shiftKind(Words& words, const CauseKind& kind)
{
    if (kind.order != LineOrder::reference) {
        words.out += kind.negative ? "a line printed twice in a reordered file" : "lines left out of a reordered file";
        return;
    }
    words.out += kind.negative ? "lines added, putting the rest out of place"
                               : "lines left out, putting the rest out of place";
}

void lastLinesKind(Words& words, const CauseKind& kind)
{
    words.out += kind.single ? "the reference's last line left out" : "the reference's last lines left out";
}

void formKind(Words& words, const CauseKind& kind)
{
    words.out += "addresses written with ";
    words.out += formsText(kind.forms);
}

void offsetKind(Words& words, const CauseKind& kind)
{
    if (kind.grows) {
        words.out += kind.negative ? "addresses below the reference's by an amount that grows"
                                   : "addresses above the reference's by an amount that grows";
        return;
    }
    if (kind.value == 0) {
        words.out += "addresses off by amounts that keep changing";
        return;
    }
    words.out += "addresses off by ";
    signedOffset(words, kind.negative, kind.value);
}

void cutKind(Words& words, const CauseKind& kind)
{
    words.out += "labels cut to ";
    words.number(kind.value);
    words.out += kind.value == 1 ? " character" : " characters";
}

// Each kind's words, a row each in Cause's order: the kind's, fixed or made
// from what the summary keeps of it; and what one file's note says
// besides, after them or in their place.  A line cause's note ends with the
// lines it explains.
struct CauseWords {
    Cause cause;
    std::string_view words;                              // the kind's, where nothing it keeps changes them
    void (*kind)(Words&, const CauseKind&) = nullptr;    // else, from what it keeps
    void (*more)(Words&, const Diagnosis&) = nullptr;    // a note's words after the kind's
    void (*whole)(Words&, const Diagnosis&) = nullptr;   // a note's words in place of the kind's
    // What the student changes in their assembler, as their feedback says
    // it; none where the file alone cannot tell (lines left out, an offset).
    std::string_view fix = {};
};

constexpr CauseWords causeWords[] = {
    {Cause::crlfLineEnds, "CR LF line ends", nullptr, describeCrLf, nullptr, "end each line with LF alone, not CR LF"},
    {Cause::byteOrderMark, "starts with a UTF-8 byte-order mark", nullptr, nullptr, nullptr,
     "write no byte-order mark before the first line"},
    {Cause::zeroBytes, "holds zero bytes", nullptr, nullptr, nullptr, "write no zero bytes into the file"},
    {Cause::emptyFile, "empty file"},
    {Cause::trailingEmptyLine, "a trailing empty line", nullptr, nullptr, nullptr,
     "end the file with its last symbol's line, with no empty line after it"},
    {Cause::shiftedLines, "", shiftKind, nullptr, describeShift},
    {Cause::movedLine, "", movedKind, nullptr, describeMoved, "print the symbols in the order the program defines them"},
    {Cause::lastLinesLeftOut, "", lastLinesKind, nullptr, describeLastLines},
    {Cause::addressForm, "", formKind, nullptr, nullptr,
     "write each address as the reference does: the same digits, letter case and width"},
    {Cause::decimalAddresses, "addresses in decimal", nullptr, nullptr, nullptr, "write addresses in hexadecimal"},
    {Cause::addressOffset, "", offsetKind, describeOffset},
    {Cause::neighbourAddress, "addresses equal to a line's beside them", nullptr, describeNeighbours, nullptr,
     "give a symbol that EQU defines its operand's value, not the location counter"},
    {Cause::labelCase, "labels right but for letter case", nullptr, nullptr, nullptr,
     "keep each label's letter case as the program writes it"},
    {Cause::cutLabels, "", cutKind, nullptr, nullptr, "print each label whole"},
    {Cause::swappedColumns, "address and label swapped", nullptr, nullptr, nullptr,
     "print the address first, then the label"},
};

constexpr bool wordsForEveryKind()
{
    for (std::size_t i = 0; i < std::size(causeWords); ++i) {
        const CauseWords& row = causeWords[i];
        if (static_cast<std::size_t>(row.cause) != i || row.words.empty() == (row.kind == nullptr))
            return false;
    }
    return true;
}
static_assert(std::size(causeWords) == causeCount, "words for every kind of cause");
static_assert(wordsForEveryKind(), "rows in Cause's order, each with its kind's words, fixed or made");

const CauseWords& wordsOf(Cause cause)
{
    return causeWords[static_cast<std::size_t>(cause)];
}

void kindInto(Words& words, const CauseKind& kind)
{
    const CauseWords& row = wordsOf(kind.cause);
    if (row.kind != nullptr)
        row.kind(words, kind);
    else
        words.out += row.words;
}

}  // namespace

std::string_view causeFix(Cause cause)
{
    return wordsOf(cause).fix;
}

std::string reportNotWritten(int error)
{
    return std::string("report not written: ") + std::strerror(error);
}

std::string describe(const Diagnosis& diagnosis)
{
    // The kind of cause, then what this file shows of it.
    Words words;
    words.out.reserve(96);
    const CauseWords& row = wordsOf(diagnosis.cause);
    if (row.whole != nullptr) {
        row.whole(words, diagnosis);
        return words.out;
    }
    kindInto(words, causeKindOf(diagnosis));
    if (row.more != nullptr)
        row.more(words, diagnosis);
    if (isLineCause(diagnosis.cause)) {
        words.out += " (";
        words.lines(static_cast<std::uint64_t>(diagnosis.amount));
        words.out += ')';
    }
    return words.out;
}

std::string kindWords(const CauseKind& kind)
{
    Words words;
    kindInto(words, kind);
    return words.out;
}

std::string kindOf(const Diagnosis& diagnosis)
{
    return kindWords(causeKindOf(diagnosis));
}
