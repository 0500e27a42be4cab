#include "class/outputs/wording.h"

#include <charconv>
#include <cstring>
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

void describeShift(Words& words, const Diagnosis& diagnosis)
{
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
        words.out += by == 1 ? "line " : "lines ";
        words.number(diagnosis.value);
        if (by > 1) {
            words.out += by == 2 ? " and " : " to ";
            words.number(diagnosis.value + by - 1);
        }
        words.out += " left out";
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
        words.out += "lines out of the reference's order in ";
        words.number(static_cast<std::uint64_t>(diagnosis.amount));
        words.out += " places";
        return;
    }
    words.out += "line ";
    words.number(diagnosis.value);
    words.out += diagnosis.from != 0 ? " printed after line " : " printed before line ";
    words.number(diagnosis.from != 0 ? diagnosis.from : diagnosis.to);
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
    }
}

// The causes told with the lines they explain.
bool countsLines(Cause cause)
{
    return cause == Cause::addressForm || cause == Cause::decimalAddresses || cause == Cause::addressOffset ||
           cause == Cause::labelCase || cause == Cause::cutLabels || cause == Cause::swappedColumns;
}

}  // namespace

std::string reportNotWritten(int error)
{
    return std::string("report not written: ") + std::strerror(error);
}

std::string describe(const Diagnosis& diagnosis)
{
    // The kind of cause, then what this file shows of it.
    Words words;
    words.out.reserve(96);
    auto amount = static_cast<std::uint64_t>(diagnosis.amount);
    switch (diagnosis.cause) {
    case Cause::shiftedLines:
        describeShift(words, diagnosis);
        return words.out;
    case Cause::movedLine:
        describeMoved(words, diagnosis);
        return words.out;
    case Cause::lastLinesLeftOut:
        if (amount == 1)
            return "the reference's last line left out";
        words.out += "the reference's last ";
        words.lines(amount);
        words.out += " left out";
        return words.out;
    default:
        break;
    }
    words.out += kindOf(diagnosis);
    if (diagnosis.cause == Cause::crlfLineEnds && amount != diagnosis.value) {
        words.out += " on ";
        words.number(amount);
        words.out += " of ";
        words.lines(diagnosis.value);
    }
    if (diagnosis.cause == Cause::addressOffset && diagnosis.value != 0)
        describeRange(words, diagnosis);
    if (countsLines(diagnosis.cause)) {
        words.out += " (";
        words.lines(amount);
        words.out += ')';
    }
    return words.out;
}

std::string kindOf(const Diagnosis& diagnosis)
{
    Words words;
    switch (diagnosis.cause) {
    case Cause::shiftedLines:
        return diagnosis.amount > 0 ? "lines left out, putting the rest out of place" : "lines added, putting the rest out of place";
    case Cause::movedLine:
        return "a line printed out of order";
    case Cause::addressForm:
        return "addresses written with " + formsText(diagnosis.forms);
    case Cause::addressOffset:
        if (diagnosis.value == 0)
            return "addresses off by amounts that keep changing";
        words.out += "addresses off by ";
        words.out += diagnosis.negative ? '-' : '+';
        words.number(diagnosis.value);
        return words.out;
    case Cause::cutLabels:
        words.out += "labels cut to ";
        words.number(diagnosis.value);
        words.out += diagnosis.value == 1 ? " character" : " characters";
        return words.out;
    case Cause::crlfLineEnds:
        return "CR LF line ends";
    case Cause::decimalAddresses:
        return "addresses in decimal";
    case Cause::labelCase:
        return "labels right but for letter case";
    case Cause::swappedColumns:
        return "address and label swapped";
    case Cause::byteOrderMark:
        return "starts with a UTF-8 byte-order mark";
    case Cause::zeroBytes:
        return "holds zero bytes";
    case Cause::emptyFile:
        return "empty file";
    case Cause::trailingEmptyLine:
        return "a trailing empty line";
    case Cause::lastLinesLeftOut:
        return diagnosis.amount == 1 ? "the reference's last line left out" : "the reference's last lines left out";
    }
    return "";
}
