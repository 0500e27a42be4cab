#include "class/explaining/findings.h"

#include "class/explaining/explanation.h"
#include "class/explaining/stack_room.h"
#include "class/model/addresses.h"
#include "class/model/ascii_case.h"
#include "class/model/hashing.h"
#include "io/visible_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <span>

namespace {

// A summary shows this much of a wrong line.
constexpr std::size_t shownTextSize = 72;

// Set in the hash of a line that holds no reference line, so that it is
// never taken for one that does at the same number.
constexpr std::uint64_t unalignedLine = 0x8000000000000000u;

// Mixed into an address's distance from where the causes put it, so that
// it is never taken for the hash of an address's text.
constexpr std::uint64_t addressDistanceTag = 0xA55E55ED0FF5E7u;

// What a cause says that copies share whatever their typos: the sizes of
// a slip, but not the lines a pattern explains.
std::uint64_t sizeOf(const Diagnosis& diagnosis)
{
    bool sized = diagnosis.cause == Cause::shiftedLines || diagnosis.cause == Cause::lastLinesLeftOut;
    return sized ? static_cast<std::uint64_t>(static_cast<std::int64_t>(diagnosis.amount)) : 0;
}

// A student's address as an assembler writes it: hexadecimal, in either
// case, with or without a 0x.
std::optional<std::int64_t> hexAddress(std::string_view text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    constexpr std::size_t mostDigits = 15;
    if (text.empty() || text.size() > mostDigits)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::optional<std::int64_t> decimalAddress(std::string_view text)
{
    constexpr std::size_t mostDigits = 18;
    if (text.empty() || text.size() > mostDigits)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// What the told offsets put between a reference line's address (from 1)
// and the reference's; none where an offset is told that changes too often
// to say.
std::optional<std::int64_t> offsetTold(const std::vector<Diagnosis>& found, std::uint32_t line)
{
    std::int64_t offset = 0;
    for (const Diagnosis& d : found) {
        if (d.cause != Cause::addressOffset)
            continue;
        if (d.value == 0)
            return std::nullopt;
        if (std::find(d.besides.begin(), d.besides.end(), line) != d.besides.end())
            continue;  // told as lying otherwise
        if (!d.steps.empty()) {
            for (const OffsetStep& step : d.steps)
                if (step.line <= line)
                    offset = static_cast<std::int64_t>(step.offset);
            continue;
        }
        if (d.from <= line && (d.to == 0 || line <= d.to))
            offset += d.negative ? -static_cast<std::int64_t>(d.value) : static_cast<std::int64_t>(d.value);
    }
    return offset;
}

// Causes that tell how a file was saved or printed, not what its assembler
// computed: a copy re-saved or re-padded changes them, and so may a copier
// who prints a classmate's table in a form of their own.
bool cosmetic(Cause cause)
{
    switch (cause) {
    case Cause::crlfLineEnds:
    case Cause::byteOrderMark:
    case Cause::zeroBytes:
    case Cause::emptyFile:
    case Cause::trailingEmptyLine:
    case Cause::addressForm:
    case Cause::swappedColumns:
        return true;
    default:
        return false;
    }
}

}  // namespace

// How a file's lines are written, as its causes say: an address is read
// and a label found as the file writes them, so that a cosmetic mistake
// hides no assembler's.
struct WrittenAs {
    bool decimal = false;
    bool swapped = false;
    bool anyCase = false;
    std::uint64_t cut = 0;  // the characters labels are cut to; 0: whole

    explicit WrittenAs(const std::vector<Diagnosis>& found)
    {
        for (const Diagnosis& diagnosis : found) {
            decimal = decimal || diagnosis.cause == Cause::decimalAddresses;
            swapped = swapped || diagnosis.cause == Cause::swappedColumns;
            anyCase = anyCase || diagnosis.cause == Cause::labelCase;
            if (diagnosis.cause == Cause::cutLabels)
                cut = diagnosis.value;
        }
    }

    bool plain() const { return !anyCase && cut == 0; }
    std::uint8_t base() const
    {
        constexpr std::uint8_t decimalBase = 10;
        constexpr std::uint8_t hexBase = 16;
        return decimal ? decimalBase : hexBase;
    }

    bool sameLabel(std::string_view reference, std::string_view student) const
    {
        if (cut > 0 && reference.size() > cut)
            reference = reference.substr(0, cut);
        return anyCase ? equalIgnoringCase(reference, student) : reference == student;
    }
};

namespace {

// Past a line added or left out, a wrong line's label is mostly a line or
// two from where it stands: the lines that near it that `holds`, the
// nearest, the earlier of two as near; UINT32_MAX where none does.
template <typename Holds>
std::uint32_t lineAround(std::size_t near, std::size_t lines, Holds&& holds)
{
    constexpr std::size_t looked = 2;
    for (std::size_t distance = 0; distance <= looked; ++distance) {
        if (distance <= near && near - distance < lines && holds(near - distance))
            return static_cast<std::uint32_t>(near - distance);
        if (distance > 0 && near + distance < lines && holds(near + distance))
            return static_cast<std::uint32_t>(near + distance);
    }
    return UINT32_MAX;
}

// The reference line whose label a file's line at `near` writes as it
// writes labels: the nearest, or none where a cut label is more than one.
// `keys()` gives every reference line's label as the file writes it, in
// lower case.
template <typename Keys>
std::uint32_t lineWritten(const ReferenceIndex& reference, Keys&& keys, const WrittenAs& as, std::string_view label,
                          std::size_t near)
{
    // Where labels are not cut, no other line's sharing the label
    // matters, and the nearest lines are looked at first.
    if (as.cut == 0) {
        std::uint32_t around = lineAround(near, reference.symbols.size(), [&](std::size_t line) {
            return as.sameLabel(reference.symbols[line].label, label);
        });
        if (around != UINT32_MAX)
            return around;
    }
    std::uint32_t best = UINT32_MAX;
    std::size_t bestDistance = SIZE_MAX;
    bool shared = false;
    std::uint64_t hash = foldedHash(label);
    const LineKeys& written = keys();
    auto from = std::partition_point(written.begin(), written.end(), [&](const auto& key) { return key.first < hash; });
    for (auto at = from; at != written.end() && at->first == hash; ++at) {
        std::uint32_t line = at->second;
        if (!as.sameLabel(reference.symbols[line].label, label))
            continue;
        std::size_t distance = line > near ? line - near : near - line;
        shared = shared || best != UINT32_MAX;
        if (distance < bestDistance) {
            best = line;
            bestDistance = distance;
        }
    }
    return shared && as.cut > 0 ? UINT32_MAX : best;
}

// The reference line whose label a file's line at `near` writes as the
// reference does: the nearest, the earlier of two as near.  A wrong line
// mostly holds the label of a line near where it stands, found with no
// hash looked up.
std::uint32_t linePlainlyWritten(const ReferenceIndex& reference, std::string_view label, std::size_t near)
{
    std::uint32_t around = lineAround(near, reference.symbols.size(), [&](std::size_t line) {
        return isComplete(reference.symbols[line]) && reference.symbols[line].label == label;
    });
    if (around != UINT32_MAX)
        return around;
    return nearestLine(reference.byLabel, hashText(label), static_cast<std::int64_t>(near),
                       [&](std::uint32_t l) { return reference.symbols[l].label == label; });
}

}  // namespace

std::uint64_t mistakesKey(const std::vector<Diagnosis>& found, const std::vector<FoundMistake>& mistakes)
{
    // A file's causes and mistakes are a few: their keys are sorted on the
    // stack, as it is called for every file, twice.
    constexpr std::size_t keysOnStack = 16;
    StackRoom<std::uint64_t, keysOnStack> kept(found.size() + mistakes.size());
    std::span<std::uint64_t> room = kept.room();
    std::size_t count = 0;
    for (const Diagnosis& diagnosis : found)
        if (!cosmetic(diagnosis.cause))
            room[count++] = mixWord(causeKey(diagnosis), static_cast<std::uint64_t>(diagnosis.order));
    for (const FoundMistake& m : mistakes)
        room[count++] = mixWord(mixWord(mixWord(static_cast<std::uint64_t>(m.mistake) + 1, static_cast<std::uint64_t>(m.amount)),
                                        m.first),
                                m.statements);
    if (count == 0)
        return 0;
    std::span<std::uint64_t> keys = room.first(count);
    std::sort(keys.begin(), keys.end());
    std::uint64_t key = 0;
    for (std::uint64_t part : keys)
        key = mixWord(key, part);
    return key & ~orderTag;
}

std::uint64_t causeKey(const Diagnosis& diagnosis)
{
    std::uint64_t kind = mixWord(static_cast<std::uint64_t>(diagnosis.cause) + 1, diagnosis.forms);
    kind = mixWord(kind, sizeOf(diagnosis));
    if (diagnosis.cause == Cause::addressOffset || diagnosis.cause == Cause::cutLabels)
        kind = mixWord(kind, diagnosis.value * 2 + (diagnosis.negative ? 1 : 0));
    std::uint64_t whole = mixWord(mixWord(kind, diagnosis.value), std::uint64_t{diagnosis.from} << 32 | diagnosis.to);
    return (kind << 32) | (whole & 0xFFFFFFFFu);
}

void FindingsWatcher::start(const ReferenceIndex& reference, const MarkPlaces& places, std::uint32_t test,
                            std::uint32_t student, Tally& tally)
{
    reference_ = &reference;
    places_ = &places;
    test_ = test;
    student_ = student;
    tally_ = &tally;
    marksBefore_ = tally.marks.size();
    bytes_ = FileBytes();
    kept_.clear();
    wrongPlaces_.clear();
    wrongLines_.clear();
    mistakes_.clear();
    tailLine_.clear();
    // What a large file grew is given back, as its kept lines are.
    if (observed_.capacity() > mostKeptLines / 8)
        observed_ = std::vector<ObservedAddress>();
    if (strays_.capacity() > mostKeptLines / 8)
        strays_ = std::vector<std::string_view>();
    if (tally.wrongAt.size() < places.count())
        tally.wrongAt.resize(places.count(), 0);
}

void FindingsWatcher::studentBytes(std::string_view bytes)
{
    std::uint64_t before = bytes_.newlines();
    bytes_.add(bytes);
    // Only files longer than the reference have lines past its end.
    if (bytes_.newlines() >= reference_->symbols.size() && kept_.wholeTail)
        keepTail(bytes, before);
}

void FindingsWatcher::keepTail(std::string_view bytes, std::uint64_t line)
{
    std::uint64_t end = reference_->symbols.size();
    while (!bytes.empty() && kept_.wholeTail) {
        const void* newline = std::memchr(bytes.data(), '\n', bytes.size());
        std::size_t size = newline == nullptr ? bytes.size() : static_cast<const char*>(newline) - bytes.data();
        if (line >= end && tailLine_.size() < 2 * mostKeptFieldSize + 2)
            tailLine_.append(bytes.substr(0, std::min(size, 2 * mostKeptFieldSize + 2 - tailLine_.size())));
        if (newline == nullptr)
            return;
        if (line >= end) {
            kept_.addTail(tailLine_);
            tailLine_.clear();
        }
        ++line;
        bytes.remove_prefix(size + 1);
    }
}

void FindingsWatcher::checked(const Verdict& verdict)
{
    if (verdict.right()) {
        kept_.addRight();
        return;
    }
    kept_.addWrong(verdict.studentLine, verdict.student, verdict.position == 0);
    countWrongLine(verdict);
}

void FindingsWatcher::countWrongLine(const Verdict& verdict)
{
    if (!places_->marked(test_))
        return;
    std::uint32_t place = places_->lineOf(test_, verdict.position);
    ++tally_->wrongAt[place];
    wrongPlaces_.push_back(place);
    wrongLines_.push_back(
        tally_->wrongLines.add(place, hashText(verdict.studentLine), verdict.studentLine.substr(0, characterPrefix(verdict.studentLine, shownTextSize))));
}

void FindingsWatcher::forget()
{
    for (std::uint32_t place : wrongPlaces_)
        --tally_->wrongAt[place];
    for (std::uint32_t line : wrongLines_)
        --tally_->wrongLines.lines[line].count;
    tally_->marks.resize(marksBefore_);
}

std::vector<Diagnosis> FindingsWatcher::finish(const LineCounts& counts)
{
    std::vector<Diagnosis> found;
    if (bytes_.size() == 0) {
        found.push_back(Diagnosis{Cause::emptyFile});
        return found;
    }
    if (!tailLine_.empty())
        kept_.addTail(tailLine_);
    kept_.joinTail();
    Explanation explanation = explainLines(*reference_, kept_, counts, BytesTold{bytes_.crlf(), bytes_.byteOrderMark()},
                                           reference_->statements.usable() ? &readings_ : nullptr);
    bool whole = kept_.usable();
    bytes_.diagnose(found, counts, !whole || explanation.crCosts, !whole || explanation.bomCosts);
    found.insert(found.end(), explanation.causes.begin(), explanation.causes.end());
    if (whole)
        explainByStatements(found, explanation);
    if (!places_->marked(test_))
        return found;
    // Labels cut on too few lines for the cut to be told are still one
    // mistake of the assembler's, not a hand edit on each line: they join
    // the set, as a told cut would, and leave no line behind.
    WrittenAs as(found);
    std::uint64_t cut = untoldCut(explanation.unexplained, as);
    if (cut != 0)
        as.cut = cut;
    for (const UnexplainedLine& line : explanation.unexplained) {
        std::uint64_t left = leftOver(line, found, as);
        if (left != 0)
            tally_->marks.push_back(Mark{left, student_, places_->lineOf(test_, line.line)});
    }
    if (cut != 0)
        found.push_back(Diagnosis{Cause::cutLabels, 0, false, 0, cut});
    std::uint64_t mistakes = mistakesKey(found, mistakes_);
    if (cut != 0)
        found.pop_back();
    if (mistakes != 0)
        tally_->marks.push_back(Mark{mistakes, student_, places_->causesOf(test_)});
    std::uint64_t order = whole ? orderKey(found) : 0;
    if (order != 0)
        tally_->marks.push_back(Mark{order, student_, places_->causesOf(test_)});
    return found;
}

// A wrong line as what is left of it once the told causes are undone: its
// label where they do not give the reference's, and its address's distance
// from where they put it.  A lowercased label with a typo in its address is
// the typo; a line the causes give whole is no mark (0).
std::uint64_t FindingsWatcher::leftOver(const UnexplainedLine& line, const std::vector<Diagnosis>& found,
                                        const WrittenAs& as) const
{
    const ReferenceIndex& reference = *reference_;
    const KeptLine* kept = line.position < kept_.lines.size() ? &kept_.lines[line.position] : nullptr;
    if (!line.aligned || kept == nullptr || !kept->complete() || line.line >= reference.symbols.size())
        return line.aligned ? line.hash : line.hash ^ unalignedLine;
    std::string_view address = as.swapped ? kept_.second(*kept) : kept_.first(*kept);
    std::string_view label = as.swapped ? kept_.first(*kept) : kept_.second(*kept);
    std::uint64_t labelLeft = as.sameLabel(reference.symbols[line.line].label, label) ? 0 : hashText(label);

    std::optional<std::int64_t> value = as.decimal ? decimalAddress(address) : hexAddress(address);
    std::uint64_t addressLeft = hashText(address);
    if (value && reference.hasValue[line.line]) {
        std::int64_t distance = *value - static_cast<std::int64_t>(reference.values[line.line]);
        std::optional<std::int64_t> given = mistakes_.empty() ? offsetTold(found, line.line + 1)
                                                              : mistakesOffset(reference.statements, mistakes_, line.line);
        addressLeft = given && *given == distance ? 0 : mixWord(addressDistanceTag, static_cast<std::uint64_t>(distance - given.value_or(0)));
    }
    if (labelLeft == 0 && addressLeft == 0)
        return 0;
    return mixWord(mixWord(addressLeft, labelLeft), line.line);
}

// The width that two or more of a file's wrong lines cut their labels to,
// where no cut is told: each such label the reference's cut short, the
// most lines at one width; 0 where none is.  Whether their addresses are
// right is left to leftOver, which then finds nothing left of them.
std::uint64_t FindingsWatcher::untoldCut(const std::vector<UnexplainedLine>& lines, const WrittenAs& as) const
{
    constexpr std::size_t leastLinesCut = 2;
    if (as.cut != 0)
        return 0;
    std::map<std::size_t, std::size_t> widths;
    for (const UnexplainedLine& line : lines) {
        if (!line.aligned || line.position >= kept_.lines.size() || line.line >= reference_->symbols.size())
            continue;
        const KeptLine& kept = kept_.lines[line.position];
        if (!kept.complete())
            continue;
        std::string_view label = as.swapped ? kept_.first(kept) : kept_.second(kept);
        std::string_view expected = reference_->symbols[line.line].label;
        if (!label.empty() && label.size() < expected.size() && as.sameLabel(expected.substr(0, label.size()), label))
            ++widths[label.size()];
    }
    auto most = std::max_element(widths.begin(), widths.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    return most != widths.end() && most->second >= leastLinesCut ? most->first : 0;
}

// The order a reordered file's lines are in, where no order is found that
// many would share (not sorted, not reversed: a hash table's, say), as the
// reference lines in the order the file gives them; 0 for any other file.
std::uint64_t FindingsWatcher::orderKey(const std::vector<Diagnosis>& found) const
{
    bool unusual = std::any_of(found.begin(), found.end(), [](const Diagnosis& d) {
        return d.cause == Cause::movedLine && d.value == 0 && d.order == LineOrder::noneFound;
    });
    if (!unusual)
        return 0;
    const ReferenceIndex& reference = *reference_;
    std::uint64_t order = 0;
    for (std::size_t p = 0; p < kept_.lines.size(); ++p) {
        const KeptLine& line = kept_.lines[p];
        std::uint32_t at = static_cast<std::uint32_t>(p);
        if (!line.right) {
            std::string_view label = line.complete() ? kept_.second(line) : std::string_view();
            at = nearestLine(reference.byFoldedLabel, foldedHash(label), static_cast<std::int64_t>(p),
                             [&](std::uint32_t l) { return equalIgnoringCase(reference.symbols[l].label, label); });
        }
        order = mixWord(order, at);
    }
    return order | orderTag;
}

// Every reference line's label in lower case, cut to `cut` characters, by
// hash: a file that cuts labels finds its lines in these, not by reading
// every label; one that only changes their case, in the reference's own.
const LineKeys& FindingsWatcher::labelsWritten(std::uint64_t cut)
{
    if (cut == 0)
        return reference_->byFoldedLabel;
    for (const LabelsWritten& built : labelsWritten_)
        if (built.reference == reference_ && built.cut == cut)
            return built.keys;
    // A class whose files cut labels at every length keeps a few.
    constexpr std::size_t mostKept = 16;
    if (labelsWritten_.size() >= mostKept)
        labelsWritten_.clear();
    LabelsWritten& built = labelsWritten_.emplace_back(LabelsWritten{reference_, cut, {}});
    const std::vector<Symbol>& symbols = reference_->symbols;
    for (std::uint32_t line = 0; line < symbols.size(); ++line) {
        std::string_view label = symbols[line].label;
        if (isComplete(symbols[line]))
            built.keys.emplace_back(foldedHash(label.substr(0, cut)), line);
    }
    std::sort(built.keys.begin(), built.keys.end());
    return built.keys;
}

// Each reference line the file gives an address for: a right line where it
// stands, a wrong one where the alignment's `readings` found it printing
// the line's label (or, with none, wherever its label is the line's).  The
// same reading tells, for the names of statements left out or printed,
// which reference lines' labels the file prints and which lines are
// literals.
void FindingsWatcher::observedAddresses(const WrittenAs& as, const std::vector<LineReading>* readings)
{
    const ReferenceIndex& reference = *reference_;
    observed_.resize(kept_.lines.size());
    std::size_t observedCount = 0;
    // Where labels are cut, two may be alike: no label is told printed.
    printed_.assign(as.cut > 0 ? 0 : reference.symbols.size(), 0);
    strays_.clear();
    literalLines_ = 0;
    std::uint8_t base = as.base();
    auto reading = readings != nullptr ? readings->cbegin() : std::vector<LineReading>::const_iterator();
    for (std::size_t p = 0; p < kept_.lines.size(); ++p) {
        const KeptLine& line = kept_.lines[p];
        if (line.right) {
            if (p < printed_.size())
                printed_[p] = 1;
            // A right line of a file in decimal reads as decimal too: its
            // address is the reference's text, which means another number.
            std::optional<std::int64_t> address = !as.decimal || p >= reference.symbols.size()
                                                      ? std::nullopt
                                                      : decimalAddress(reference.symbols[p].address);
            if (p < reference.symbols.size() && (!as.decimal || address))
                observed_[observedCount++] = ObservedAddress{
                    static_cast<std::uint32_t>(p),
                    as.decimal ? *address - static_cast<std::int64_t>(reference.values[p]) : 0,
                    as.decimal ? *address : static_cast<std::int64_t>(reference.values[p]), base};
            continue;
        }
        if (!line.complete())
            continue;
        std::string_view label = as.swapped ? kept_.first(line) : kept_.second(line);
        bool literal = label.starts_with('=');
        literalLines_ += literal ? 1 : 0;
        std::string_view address = as.swapped ? kept_.second(line) : kept_.first(line);
        auto keys = [&]() -> const LineKeys& { return labelsWritten(as.cut); };
        std::uint32_t at = UINT32_MAX;
        if (readings != nullptr) {
            while (reading != readings->cend() && reading->position < p)
                ++reading;
            bool read = reading != readings->cend() && reading->position == p;
            if (read) {
                auto offset = static_cast<std::int64_t>(reading->offset);
                observed_[observedCount++] = ObservedAddress{
                    reading->line, offset, static_cast<std::int64_t>(reference.values[reading->line]) + offset, base};
            }
            if (as.cut > 0 || literal)
                continue;
            // The label printed is the line's the alignment found, mostly;
            // looked up only where it is not.
            if (!read && !(as.decimal ? decimalAddress(address) : hexAddress(address)))
                continue;
            at = read && as.sameLabel(reference.symbols[reading->line].label, label) ? reading->line
                 : as.plain() ? linePlainlyWritten(reference, label, p)
                              : lineWritten(reference, keys, as, label, p);
        } else {
            std::optional<std::int64_t> value = as.decimal ? decimalAddress(address) : hexAddress(address);
            if (!value)
                continue;
            at = as.plain() ? linePlainlyWritten(reference, label, p) : lineWritten(reference, keys, as, label, p);
            if (at != UINT32_MAX && reference.hasValue[at])
                observed_[observedCount++] =
                    ObservedAddress{at, *value - static_cast<std::int64_t>(reference.values[at]), *value, base};
            if (as.cut > 0 || literal)
                continue;
        }
        if (at < printed_.size())
            printed_[at] = 1;
        else
            strays_.push_back(label);
    }
    observed_.resize(observedCount);
}

// Where the test's program names the mistakes behind every address the
// file gives, they are told in place of the offsets they make.
void FindingsWatcher::explainByStatements(std::vector<Diagnosis>& found, const Explanation& explanation)
{
    if (!reference_->statements.usable())
        return;
    WrittenAs as(found);
    // The alignment has read each wrong line's address already, where it
    // read them in the base the causes tell.
    observedAddresses(as, explanation.base == as.base() ? &readings_ : nullptr);
    bool slipped = fitStatements(observed_);
    if ((mistakes_.empty() || slipped) && !as.decimal && mayBeDecimal(as))
        readInDecimal(found, as);
    // EQU labels given the location counter, named, are what the addresses
    // equal to a neighbour's showed.
    bool equNamed = std::any_of(mistakes_.begin(), mistakes_.end(), [](const FoundMistake& mistake) {
        return mistake.mistake == StatementMistake::equLocation;
    });
    if (!mistakes_.empty())
        std::erase_if(found, [&](const Diagnosis& diagnosis) {
            return diagnosis.cause == Cause::addressOffset || (equNamed && diagnosis.cause == Cause::neighbourAddress);
        });
    namePrintedLines(found);
    nameLiteralLines(found);
}

// The mistakes that give the observed addresses, kept; whether they leave
// a line to a typo.  With `typos` false, only a set that gives every one.
bool FindingsWatcher::fitStatements(const std::vector<ObservedAddress>& observed, bool typos)
{
    // A file whose every address is right has nothing to fit, in either way
    // of sizing literals.
    mistakes_.clear();
    if (std::none_of(observed.begin(), observed.end(), [](const ObservedAddress& at) { return at.offset != 0; }))
        return false;
    bool slipped = false;
    mistakes_ = fitMistakes(reference_->statements, observed, &slipped, typos);
    // Literals sized apart first, so that a file that way explains is told
    // as before; alike where apart explains nothing, or leaves a typo.  Of
    // the two, the set that leaves no typo, then the smaller, is told, and
    // where each explains the file as well but not alike, neither is.
    if (reference_->literalsAlike.usable() && (mistakes_.empty() || slipped)) {
        bool alikeSlipped = false;
        std::vector<FoundMistake> alike = fitMistakes(reference_->literalsAlike, observed, &alikeSlipped, typos);
        auto rank = [](const std::vector<FoundMistake>& set, bool slips) { return std::pair(slips, set.size()); };
        if (mistakes_.empty() || (!alike.empty() && rank(alike, alikeSlipped) < rank(mistakes_, slipped))) {
            mistakes_ = std::move(alike);
            slipped = alikeSlipped;
        } else if (!alike.empty() && rank(alike, alikeSlipped) == rank(mistakes_, slipped) && alike != mistakes_) {
            mistakes_.clear();
        }
    }
    return !mistakes_.empty() && slipped;
}

// A file whose addresses the grade read in the reference's base, where no
// mistake gives them so, or only with a typo, may be written in decimal:
// an address of two decimal digits reads as another value in hexadecimal
// all the same, and a file of small addresses and a small offset holds
// as many lines either way (0021 for 0016 is 11 off, or 22 written one
// short).  Where every address reads as decimal and the mistakes give them
// all, with no typo, read so, the file is told in decimal.
void FindingsWatcher::readInDecimal(std::vector<Diagnosis>& found, const WrittenAs& as)
{
    // What the reference's base gave, kept in case decimal gives nothing.
    std::vector<FoundMistake> inBase = std::move(mistakes_);
    mistakes_.clear();
    std::vector<ObservedAddress> observedInBase = observed_;
    std::vector<std::uint8_t> printedInBase = printed_;
    std::vector<std::string_view> straysInBase = strays_;
    WrittenAs decimal = as;
    decimal.decimal = true;
    // Every address reads as decimal (mayBeDecimal): none is left out.
    observedAddresses(decimal, nullptr);
    fitStatements(observed_, false);
    if (!mistakes_.empty()) {
        Diagnosis told{Cause::decimalAddresses, 0, false, static_cast<std::int32_t>(linesInDecimal(as))};
        // What the other base made of the addresses no longer stands.
        std::erase_if(found, [](const Diagnosis& d) { return d.cause == Cause::neighbourAddress; });
        auto at = std::upper_bound(found.begin(), found.end(), told,
                                   [](const Diagnosis& a, const Diagnosis& b) { return a.cause < b.cause; });
        found.insert(at, told);
        return;
    }
    mistakes_ = std::move(inBase);
    observed_ = std::move(observedInBase);
    printed_ = std::move(printedInBase);
    strays_ = std::move(straysInBase);
}

// Whether the file may be written in decimal where the reference's base
// found it wrong: some address is off, and every address, the right
// lines' included, reads as decimal.
bool FindingsWatcher::mayBeDecimal(const WrittenAs& as) const
{
    if (std::none_of(observed_.begin(), observed_.end(), [](const ObservedAddress& at) { return at.offset != 0; }))
        return false;
    const std::vector<Symbol>& symbols = reference_->symbols;
    for (std::size_t p = 0; p < kept_.lines.size(); ++p) {
        const KeptLine& line = kept_.lines[p];
        if (line.right ? p < symbols.size() && !decimalAddress(symbols[p].address)
                       : line.complete() && !decimalAddress(as.swapped ? kept_.second(line) : kept_.first(line)))
            return false;
    }
    return true;
}

// The wrong lines whose address, read as decimal, has two digits or more:
// those a file in decimal writes otherwise than the reference, as a told
// pattern counts them.
std::size_t FindingsWatcher::linesInDecimal(const WrittenAs& as) const
{
    constexpr std::int64_t leastTwoDigits = 10;
    return static_cast<std::size_t>(std::count_if(kept_.lines.begin(), kept_.lines.end(), [&](const KeptLine& line) {
        if (line.right || !line.complete())
            return false;
        std::optional<std::int64_t> address = decimalAddress(as.swapped ? kept_.second(line) : kept_.first(line));
        return address && *address >= leastTwoDigits;
    }));
}

namespace {

// The reference lines (from 0, end excluded) a cause says are left out,
// in a file in any order; none for any other cause.
std::pair<std::uint32_t, std::uint32_t> leftOutBy(const Diagnosis& diagnosis, std::uint32_t lines)
{
    if (diagnosis.amount <= 0)
        return {0, 0};
    auto amount = static_cast<std::uint32_t>(diagnosis.amount);
    if (diagnosis.cause == Cause::shiftedLines && diagnosis.value > 0 && diagnosis.value - 1 + amount <= lines)
        return {static_cast<std::uint32_t>(diagnosis.value - 1), static_cast<std::uint32_t>(diagnosis.value - 1 + amount)};
    if (diagnosis.cause == Cause::lastLinesLeftOut && diagnosis.order == LineOrder::reference && amount <= lines)
        return {lines - amount, lines};
    return {0, 0};
}

}  // namespace

namespace {

// Whether a label a file writes may be the reference's, in any case, cut
// short or not, with at most one character mistyped, left out or added.
bool mayBeLabel(std::string_view reference, std::string_view label)
{
    if (label.empty())
        return false;
    if (label.size() < reference.size()) {
        std::size_t differing = 0;
        for (std::size_t c = 0; c < label.size(); ++c)
            differing += equalIgnoringCase(reference.substr(c, 1), label.substr(c, 1)) ? 0 : 1;
        if (differing <= 1)
            return true;
    }
    std::string_view longer = reference.size() >= label.size() ? reference : label;
    std::string_view shorter = reference.size() >= label.size() ? label : reference;
    if (longer.size() - shorter.size() > 1)
        return false;
    std::size_t head = 0;
    while (head < shorter.size() && equalIgnoringCase(longer.substr(head, 1), shorter.substr(head, 1)))
        ++head;
    std::size_t skip = longer.size() == shorter.size() ? 1 : 0;
    // What follows the first difference is alike, past the character
    // mistyped, or left out of the shorter.
    return head == shorter.size() ||
           equalIgnoringCase(longer.substr(head + 1), shorter.substr(std::min(head + skip, shorter.size())));
}

}  // namespace

// Where a file leaves out every line of one kind of statement (each EQU's
// label, the program's name), that is named in place of the lines left
// out; a line of another kind left out beside them keeps its cause.
void FindingsWatcher::namePrintedLines(std::vector<Diagnosis>& found)
{
    const StatementModel& model = reference_->statements;
    auto lines = static_cast<std::uint32_t>(model.leftOutAs.size());
    std::vector<std::uint8_t>& leftOut = leftOut_;
    leftOut.assign(lines, 0);
    for (const Diagnosis& diagnosis : found) {
        auto [first, end] = leftOutBy(diagnosis, lines);
        std::fill(leftOut.begin() + first, leftOut.begin() + end, 1);
    }
    // A line whose label the file prints nowhere is left out too, where
    // lines added elsewhere hide it from the line counts; unless a line
    // prints a label of no reference line's that may be its label's typo.
    // A file whose every line is right leaves out no more than it is told.
    bool rightThrough = std::all_of(kept_.lines.begin(), kept_.lines.end(), [](const KeptLine& kept) { return kept.right; });
    std::array<bool, statementMistakeCount> named{};
    for (StatementMistake mistake : {StatementMistake::equLeftOut, StatementMistake::nameLeftOut}) {
        auto m = static_cast<std::size_t>(mistake);
        if (model.statements[m] == 0)
            continue;
        auto missing = [&](std::uint32_t line) {
            if (leftOut[line] || rightThrough)
                return leftOut[line] != 0;
            return line < printed_.size() && !printed_[line] &&
                   std::none_of(strays_.begin(), strays_.end(), [&](std::string_view stray) {
                       return mayBeLabel(reference_->symbols[line].label, stray);
                   });
        };
        bool all = true;
        for (std::uint32_t line = 0; line < lines && all; ++line)
            all = model.leftOutAs[line] != mistake || missing(line);
        if (!all)
            continue;
        named[m] = true;
        mistakes_.push_back(FoundMistake{mistake, 0, model.first[m], model.statements[m], 0});
    }
    std::erase_if(found, [&](const Diagnosis& diagnosis) {
        auto [first, end] = leftOutBy(diagnosis, lines);
        if (first == end)
            return false;
        for (std::uint32_t line = first; line < end; ++line)
            if (model.leftOutAs[line] == StatementMistake::count || !named[static_cast<std::size_t>(model.leftOutAs[line])])
                return false;
        return true;
    });
    auto doubled = std::find_if(found.begin(), found.end(), [&](const Diagnosis& d) { return nameDoubled(d, found); });
    auto name = static_cast<std::size_t>(StatementMistake::nameLeftOut);
    if (doubled == found.end() || named[name])
        return;
    // The name told, what else was added there keeps its cause.
    if (doubled->amount < -1)
        ++doubled->amount;
    else
        found.erase(doubled);
    mistakes_.push_back(FoundMistake{StatementMistake::nameDoubled, 0, model.first[name], 1, 0});
}

// Lines whose label is a literal (no symbol starts with `=`): the file
// prints the pools, which is told in place of the lines added where they
// are all the lines added.
void FindingsWatcher::nameLiteralLines(std::vector<Diagnosis>& found)
{
    const StatementModel& model = reference_->statements;
    constexpr auto m = static_cast<std::size_t>(StatementMistake::literalsInTable);
    if (model.statements[m] == 0)
        return;
    auto literals = static_cast<std::int64_t>(literalLines_);
    if (literals == 0)
        return;
    mistakes_.push_back(FoundMistake{StatementMistake::literalsInTable, 0, model.first[m], model.statements[m], 0});
    auto added = [](const Diagnosis& d) {
        return d.cause == Cause::shiftedLines && d.amount < 0 && d.order == LineOrder::reference;
    };
    std::int64_t addedLines = 0;
    for (const Diagnosis& diagnosis : found)
        addedLines -= added(diagnosis) ? diagnosis.amount : 0;
    if (addedLines == literals)
        std::erase_if(found, added);
}

// A line added beside the program's name that holds the name again, as
// the file writes labels (a header may be added there too, so the name
// must be there twice, once maybe with a typo); in a reordered file, or
// one whose lines are moved, the name's line printed twice anywhere.
bool FindingsWatcher::nameDoubled(const Diagnosis& diagnosis, const std::vector<Diagnosis>& found) const
{
    std::uint32_t line = reference_->statements.nameLine;
    if (line == noSlot || diagnosis.cause != Cause::shiftedLines || diagnosis.amount >= 0)
        return false;
    bool reordered = diagnosis.order != LineOrder::reference;
    if (reordered ? diagnosis.amount != -1 || diagnosis.value != line + 1
                  : diagnosis.value != line + 1 && diagnosis.value != line + 2)
        return false;
    bool anywhere = reordered || std::any_of(found.begin(), found.end(), [](const Diagnosis& d) {
        return d.cause == Cause::movedLine;
    });
    WrittenAs as(found);
    std::string_view name = reference_->symbols[line].label;
    std::size_t end = std::min<std::size_t>(line + 2 + static_cast<std::size_t>(-diagnosis.amount), kept_.lines.size());
    int copies = 0;
    int mistyped = 0;
    for (std::size_t p = anywhere ? 0 : line; p < (anywhere ? kept_.lines.size() : end); ++p) {
        const KeptLine& kept = kept_.lines[p];
        std::string_view label = kept.complete() ? (as.swapped ? kept_.first(kept) : kept_.second(kept)) : std::string_view();
        // A right line keeps no fields: it is the reference's line there.
        if (kept.right)
            copies += p < reference_->symbols.size() && reference_->symbols[p].label == name ? 1 : 0;
        else if (as.sameLabel(name, label))
            ++copies;
        else if (!anywhere && as.cut == 0 && mayBeLabel(name, label))
            ++mistyped;
    }
    return copies >= 2 || (copies == 1 && mistyped == 1);
}
