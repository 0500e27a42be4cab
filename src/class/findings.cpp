#include "findings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

// The shifts looked for: a line or two added above (the student's lines sit
// below their place) or left out (they sit above it).
constexpr int shifts[4] = {-2, -1, 1, 2};

// A shift is named once it holds for this many lines, of which as many
// were wrong where they stood: one slip that cost the points after it.
constexpr std::uint64_t shiftEvidence = 2;

// A summary shows this much of a wrong line.
constexpr std::size_t shownTextSize = 72;

constexpr std::uint64_t fnvOffset = 0xcbf29ce484222325u;
constexpr std::uint64_t fnvPrime = 0x100000001b3u;

std::uint64_t hashMore(std::uint64_t hash, std::string_view text)
{
    for (char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * fnvPrime;
    return hash;
}

bool sameSymbol(const Symbol& a, const Symbol& b)
{
    return isComplete(a) && isComplete(b) && a.address == b.address && a.label == b.label;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// An address read as a number in `base`, where all of it is digits of that
// base (and, in base 16, after an optional 0x).
bool readAddress(std::string_view text, unsigned base, std::uint64_t& value, std::uint8_t& forms)
{
    forms = 0;
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        forms |= prefixed;
    }
    if (text.empty() || text.size() > 16)
        return false;
    value = 0;
    for (char c : text) {
        int digit = hexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return false;
        if (c >= 'a' && c <= 'f')
            forms |= lowercase;
        value = value * base + static_cast<unsigned>(digit);
    }
    return true;
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

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

std::uint64_t mixWord(std::uint64_t state, std::uint64_t word)
{
    state = (state ^ word) * 0xFF51AFD7ED558CCDu;
    return state ^ (state >> 29);
}

// Whether every byte is a blank, a tab or a carriage return.
bool allBlank(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), isBlankByte);
}

}  // namespace

void StreamHash::add(std::string_view bytes)
{
    while (carried != 0 && !bytes.empty()) {
        carry |= std::uint64_t{static_cast<unsigned char>(bytes[0])} << (8 * carried);
        bytes.remove_prefix(1);
        if (++carried == 8) {
            state = mixWord(state, carry);
            carry = 0;
            carried = 0;
        }
    }
    for (; bytes.size() >= 8; bytes.remove_prefix(8)) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data(), 8);
        state = mixWord(state, word);
    }
    for (char c : bytes)
        carry |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * carried++);
}

std::uint64_t StreamHash::finish(std::uint64_t size) const
{
    return mixWord(mixWord(state, carry), size);
}

std::uint64_t hashText(std::string_view text)
{
    return hashMore(fnvOffset, text);
}

std::string describe(const Diagnosis& diagnosis)
{
    // Written piece by piece into one string: a class's gradebook and page
    // describe hundreds of thousands.
    std::string out;
    out.reserve(96);
    auto number = [&](std::int64_t value) {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out.append(digits, static_cast<std::size_t>(end - digits));
    };
    auto lines = [&](std::int64_t count) {
        number(count);
        out += count == 1 ? " line" : " lines";
    };
    auto counted = [&](std::string_view text) {
        out += text;
        out += " (";
        lines(diagnosis.amount);
        out += ')';
    };
    switch (diagnosis.cause) {
    case Cause::crlfLineEnds:
        out += "CR LF line ends";
        if (diagnosis.amount != diagnosis.value) {
            out += " on ";
            number(diagnosis.amount);
            out += " of ";
            lines(diagnosis.value);
        }
        break;
    case Cause::byteOrderMark:
        out += "starts with a UTF-8 byte-order mark";
        break;
    case Cause::zeroBytes:
        out += "holds zero bytes";
        break;
    case Cause::emptyFile:
        out += "empty file";
        break;
    case Cause::trailingEmptyLine:
        out += "a trailing empty line";
        break;
    case Cause::shiftedLines: {
        bool added = diagnosis.amount < 0;
        std::int64_t by = added ? -std::int64_t{diagnosis.amount} : diagnosis.amount;
        out += "from line ";
        number(diagnosis.value);
        out += " on, each line is the reference's ";
        if (by == 1) {
            out += added ? "line before" : "next line";
        } else {
            out += "line ";
            number(by);
            out += added ? " before" : " further on";
        }
        out += " (";
        lines(by);
        out += added ? " added)" : " left out)";
        break;
    }
    case Cause::addressForm:
        counted("addresses right as numbers but written with " + formsText(diagnosis.forms));
        break;
    case Cause::addressOffset:
        out += "addresses off by ";
        if (diagnosis.value > 0)
            out += '+';
        number(diagnosis.value);
        out += " (";
        lines(diagnosis.amount);
        out += ')';
        break;
    case Cause::decimalAddresses:
        counted("addresses in decimal");
        break;
    case Cause::labelCase:
        counted("labels right but for letter case");
        break;
    case Cause::swappedColumns:
        counted("address and label swapped");
        break;
    }
    return out;
}

ReferenceIndex indexReference(std::string_view text)
{
    ReferenceIndex index;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        index.symbols.push_back(splitEntry(text.substr(0, end)));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    auto count = static_cast<std::int64_t>(index.symbols.size());
    index.sameAsNeighbour.assign(index.symbols.size(), 0);
    for (std::int64_t line = 0; line < count; ++line)
        for (int k = 0; k < 4; ++k) {
            std::int64_t other = line + shifts[k];
            if (other >= 0 && other < count &&
                sameSymbol(index.symbols[static_cast<std::size_t>(line)], index.symbols[static_cast<std::size_t>(other)]))
                index.sameAsNeighbour[static_cast<std::size_t>(line)] |= static_cast<std::uint8_t>(1u << k);
        }
    return index;
}

void FindingsWatcher::start(const ReferenceIndex& reference, std::uint32_t test, std::uint32_t student, Tally& tally)
{
    *this = FindingsWatcher();
    reference_ = &reference;
    test_ = test;
    student_ = student;
    tally_ = &tally;
}

void FindingsWatcher::studentBytes(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size() && size_ + i < sizeof first_; ++i)
        first_[size_ + i] = static_cast<unsigned char>(bytes[i]);
    size_ += bytes.size();
    fileHash_.add(bytes);
    if (bytes.empty())
        return;
    if (!zeroBytes_ && std::memchr(bytes.data(), '\0', bytes.size()) != nullptr)
        zeroBytes_ = true;
    // Line ends are found with memchr: only the lines around the last one
    // are looked at byte by byte.
    std::size_t lastNewline = std::string_view::npos;
    std::size_t previousNewline = std::string_view::npos;
    for (std::size_t offset = 0;; ++offset) {
        const void* newline = std::memchr(bytes.data() + offset, '\n', bytes.size() - offset);
        if (newline == nullptr)
            break;
        offset = static_cast<std::size_t>(static_cast<const char*>(newline) - bytes.data());
        ++newlines_;
        if (offset == 0 ? previous_ == '\r' : bytes[offset - 1] == '\r')
            ++crlfLines_;
        previousNewline = lastNewline;
        lastNewline = offset;
    }
    if (lastNewline == std::string_view::npos) {
        lineBlank_ = lineBlank_ && allBlank(bytes);
    } else {
        std::size_t lineStart = previousNewline == std::string_view::npos ? 0 : previousNewline + 1;
        bool carriedBlank = previousNewline == std::string_view::npos ? lineBlank_ : true;
        lastLineBlank_ = carriedBlank && allBlank(bytes.substr(lineStart, lastNewline - lineStart));
        lineBlank_ = allBlank(bytes.substr(lastNewline + 1));
    }
    previous_ = bytes.back();
}

void FindingsWatcher::checked(std::uint64_t position, std::string_view studentEntry, std::string_view referenceEntry,
                              bool right)
{
    if (right) {
        watchShifts(position, nullptr, true);
        return;
    }
    Symbol student = splitEntry(studentEntry);
    watchShifts(position, &student, false);
    watchWrongLine(position, studentEntry);
    Symbol reference = splitEntry(referenceEntry);
    if (!isComplete(student) || !isComplete(reference))
        return;
    // An address is judged as a number only beside its own label (in any
    // case): a shifted line's address may read as another's by chance.
    if (student.address != reference.address && equalIgnoringCase(student.label, reference.label)) {
        std::uint64_t studentValue = 0;
        std::uint64_t referenceValue = 0;
        std::uint8_t studentForms = 0;
        std::uint8_t referenceForms = 0;
        if (readAddress(reference.address, 16, referenceValue, referenceForms)) {
            if (readAddress(student.address, 16, studentValue, studentForms) && studentValue == referenceValue) {
                ++addressForm_;
                forms_ |= studentForms & ~referenceForms;
                auto digits = [](std::string_view address, std::uint8_t forms) {
                    return address.size() - (forms & prefixed ? 2 : 0);
                };
                if (digits(student.address, studentForms) != digits(reference.address, referenceForms))
                    forms_ |= otherWidth;
            } else if (readAddress(student.address, 10, studentValue, studentForms) && studentValue == referenceValue) {
                ++decimal_;
            } else if (readAddress(student.address, 16, studentValue, studentForms)) {
                offsets_.push_back(static_cast<std::int64_t>(studentValue - referenceValue));
            }
        }
    }
    if (student.label != reference.label && equalIgnoringCase(student.label, reference.label))
        ++labelCase_;
    if (student.address == reference.label && student.label == reference.address)
        ++swapped_;
}

void FindingsWatcher::watchWrongLine(std::uint64_t position, std::string_view studentEntry)
{
    anyWrong_ = true;
    if (test_ >= mostMarkedTests)
        return;
    auto at = static_cast<std::uint16_t>(std::min<std::uint64_t>(position, lastMarkedPosition));
    Mark mark{hashText(studentEntry), student_, static_cast<std::uint16_t>(test_), at};
    tally_->marks.push_back(mark);
    TextKey key{test_, at, mark.hash};
    if (tally_->texts.find(key) == tally_->texts.end())
        tally_->texts.emplace(key, std::string(studentEntry.substr(0, shownTextSize)));
}

void FindingsWatcher::watchShifts(std::uint64_t position, const Symbol* student, bool right)
{
    const std::vector<Symbol>& symbols = reference_->symbols;
    for (int k = 0; k < 4; ++k) {
        auto other = static_cast<std::int64_t>(position) + shifts[k];
        if (other < 0 || other >= static_cast<std::int64_t>(symbols.size()))
            continue;
        bool same = right ? (reference_->sameAsNeighbour[position] >> k & 1) != 0
                          : sameSymbol(*student, symbols[static_cast<std::size_t>(other)]);
        ShiftRun& run = shifts_[k];
        if (!same) {
            run = ShiftRun{position + 1, 0, 0};
            continue;
        }
        ++run.defined;
        if (!right)
            ++run.wrong;
    }
}

std::vector<Diagnosis> FindingsWatcher::diagnose(std::uint64_t studentCount, std::uint64_t referenceCount) const
{
    std::vector<Diagnosis> found;
    if (size_ == 0) {
        found.push_back(Diagnosis{Cause::emptyFile});
        return found;
    }
    auto count = [](std::uint64_t lines) { return static_cast<std::int32_t>(std::min<std::uint64_t>(lines, INT32_MAX)); };
    std::uint64_t lineCount = newlines_ + (previous_ != '\n' ? 1 : 0);
    if (crlfLines_ > 0)
        found.push_back(Diagnosis{Cause::crlfLineEnds, 0, count(crlfLines_), static_cast<std::int64_t>(lineCount)});
    if (size_ >= 3 && first_[0] == 0xEF && first_[1] == 0xBB && first_[2] == 0xBF)
        found.push_back(Diagnosis{Cause::byteOrderMark});
    if (zeroBytes_)
        found.push_back(Diagnosis{Cause::zeroBytes});
    bool lastBlank = previous_ == '\n' ? lastLineBlank_ : lineBlank_;
    if (lastBlank && studentCount > referenceCount)
        found.push_back(Diagnosis{Cause::trailingEmptyLine});

    const ShiftRun* best = nullptr;
    int bestShift = 0;
    for (int k : {1, 2, 0, 3}) {  // one line before two, when both runs start alike
        const ShiftRun& run = shifts_[k];
        if (run.defined >= shiftEvidence && run.wrong >= shiftEvidence && (best == nullptr || run.start < best->start)) {
            best = &run;
            bestShift = shifts[k];
        }
    }
    if (best != nullptr) {
        std::uint64_t first = std::max<std::uint64_t>(best->start, bestShift < 0 ? static_cast<std::uint64_t>(-bestShift) : 0);
        found.push_back(Diagnosis{Cause::shiftedLines, 0, bestShift, static_cast<std::int64_t>(first + 1)});
    }
    if (addressForm_ > 0)
        found.push_back(Diagnosis{Cause::addressForm, forms_, count(addressForm_)});
    if (decimal_ > 0)
        found.push_back(Diagnosis{Cause::decimalAddresses, 0, count(decimal_)});
    if (!offsets_.empty()) {
        // The offset most lines share; of offsets as common, the smallest.
        std::vector<std::int64_t> offsets = offsets_;
        std::sort(offsets.begin(), offsets.end(), [](std::int64_t a, std::int64_t b) {
            return std::abs(a) != std::abs(b) ? std::abs(a) < std::abs(b) : a < b;
        });
        std::int64_t best = offsets.front();
        std::uint64_t bestCount = 0;
        for (std::size_t at = 0; at < offsets.size();) {
            std::size_t end = at;
            while (end < offsets.size() && offsets[end] == offsets[at])
                ++end;
            if (end - at > bestCount) {
                best = offsets[at];
                bestCount = end - at;
            }
            at = end;
        }
        found.push_back(Diagnosis{Cause::addressOffset, 0, count(bestCount), best});
    }
    if (labelCase_ > 0)
        found.push_back(Diagnosis{Cause::labelCase, 0, count(labelCase_)});
    if (swapped_ > 0)
        found.push_back(Diagnosis{Cause::swappedColumns, 0, count(swapped_)});
    return found;
}

std::vector<Diagnosis> FindingsWatcher::finish(std::uint64_t studentCount, std::uint64_t referenceCount)
{
    if ((anyWrong_ || studentCount != referenceCount) && test_ < mostMarkedTests)
        tally_->marks.push_back(
            Mark{fileHash_.finish(size_), student_, static_cast<std::uint16_t>(test_),
                 static_cast<std::uint16_t>(wholeFile)});
    return diagnose(studentCount, referenceCount);
}
