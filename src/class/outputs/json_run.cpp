#include "class/outputs/json_run.h"

#include "class/explaining/findings.h"
#include "class/model/hashing.h"
#include "class/outputs/statement_words.h"
#include "class/outputs/wording.h"
#include "io/visible_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
#include <unordered_map>

namespace {

// The bytes that stand in a JSON string as they are, looked up rather than
// compared four times: a class's JSON is tens of megabytes of them.
constexpr std::array<bool, 256> plainJsonBytes = [] {
    std::array<bool, 256> plain{};
    for (int byte = 0x20; byte < 0x7f; ++byte)
        plain[static_cast<std::size_t>(byte)] = byte != '"' && byte != '\\';
    return plain;
}();

constexpr bool plainJsonByte(unsigned char byte)
{
    return plainJsonBytes[byte];
}

// How many of `text`'s first bytes stand as they are: eight at a time while
// no byte of the eight is a control, DEL, non-ASCII, '"' or '\\', as most
// of a note's words are; byte by byte from the first that may be one.
std::size_t plainRun(std::string_view text)
{
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t highs = 0x8080808080808080;
    // Not 0 where some byte of the word is 0 (which bytes it marks may be
    // wrong past the first, but whether any is, never), as the bytes below
    // 0x20 are found by the same borrow.
    auto zeros = [](std::uint64_t word) { return (word - ones) & ~word & highs; };
    std::size_t at = 0;
    for (; at + sizeof(std::uint64_t) <= text.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        std::uint64_t special = (word & highs) | ((word - 0x20 * ones) & ~word & highs) | zeros(word ^ ('"' * ones)) |
                                zeros(word ^ ('\\' * ones)) | zeros(word ^ (0x7f * ones));
        if (special != 0)
            break;
    }
    while (at < text.size() && plainJsonByte(static_cast<unsigned char>(text[at])))
        ++at;
    return at;
}

void putJsonText(Output& out, std::string_view text);
void putJsonCause(Output& out, const Diagnosis& diagnosis, std::uint64_t lineCount, std::string_view words);

// The fields of one JSON object or array, written as they come, each after
// a comma but the first.
struct Fields {
    Output& out;
    bool first = true;

    Fields(Output& text, char open) : out(text) { put(out, open); }
    void next()
    {
        if (!first)
            put(out, ',');
        first = false;
    }
    // An object's field: its name, then the value the caller writes.
    void key(std::string_view name)
    {
        put(out, first ? std::string_view("\"") : std::string_view(",\""));
        first = false;
        put(out, name);
        put(out, "\":");
    }
    void number(std::string_view name, std::uint64_t value)
    {
        key(name);
        appendNumber(value);
    }
    // An array's element: a number.
    void element(std::uint64_t value)
    {
        next();
        appendNumber(value);
    }
    void appendNumber(std::uint64_t value)
    {
        putNumber(out, value);
    }
    void signedNumber(std::string_view name, std::uint64_t size, bool negative)
    {
        key(name);
        if (negative && size != 0)
            put(out, '-');
        putNumber(out, size);
    }
    void real(std::string_view name, double value)
    {
        key(name);
        char digits[32];
        put(out, std::string_view(digits, static_cast<std::size_t>(
                                              std::to_chars(digits, digits + sizeof digits, value).ptr - digits)));
    }
    void text(std::string_view name, std::string_view value)
    {
        key(name);
        putJsonText(out, value);
    }
    void boolean(std::string_view name, bool value)
    {
        key(name);
        put(out, value ? "true" : "false");
    }
    void null(std::string_view name)
    {
        key(name);
        put(out, "null");
    }
    // A line number, or null where 0 stands for none.
    void line(std::string_view name, std::uint64_t value)
    {
        if (value == 0)
            null(name);
        else
            number(name, value);
    }
};

// What a cause says beyond its kind: its parameters, and the reference
// lines it names, as ranges from 1; `covers` left unset where the run
// keeps how many lines, not which.
struct CauseData {
    Fields& parameters;
    const Diagnosis& diagnosis;
    std::uint64_t lineCount = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> covers;
    bool coversKnown = true;

    std::uint64_t amount() const { return static_cast<std::uint64_t>(diagnosis.amount); }
};

void noParameters(CauseData&) {}

void crlfData(CauseData& data)
{
    data.parameters.number("crLfLines", data.amount());
    data.parameters.number("lines", data.diagnosis.value);
}

void shiftData(CauseData& data)
{
    bool added = data.diagnosis.amount < 0;
    std::uint64_t by = added ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(data.diagnosis.amount))
                             : data.amount();
    data.parameters.number(added ? "added" : "leftOut", by);
    data.parameters.line("line", data.diagnosis.value);
    if (!added)
        data.covers.emplace_back(data.diagnosis.value, data.diagnosis.value + by - 1);
}

void movedData(CauseData& data)
{
    const Diagnosis& diagnosis = data.diagnosis;
    if (diagnosis.value == 0) {
        data.parameters.number("places", data.amount());
        data.coversKnown = false;
        return;
    }
    data.parameters.number("line", diagnosis.value);
    data.parameters.line("after", diagnosis.from);
    data.parameters.line("before", diagnosis.from != 0 ? 0 : diagnosis.to);
    data.covers.emplace_back(diagnosis.value, diagnosis.value);
}

void lastLinesData(CauseData& data)
{
    data.parameters.number("lines", data.amount());
    if (data.amount() <= data.lineCount && data.amount() != 0)
        data.covers.emplace_back(data.lineCount - data.amount() + 1, data.lineCount);
}

// A pattern in the file's lines: how many it explains, which the run
// does not keep.
void patternData(CauseData& data)
{
    data.parameters.number("lines", data.amount());
    data.coversKnown = false;
}

void formsData(CauseData& data)
{
    patternData(data);
    constexpr std::pair<AddressForm, std::string_view> formNames[] = {
        {prefixed, "prefixed"}, {lowercase, "lowercase"}, {otherWidth, "otherWidth"}};
    data.parameters.key("forms");
    Fields forms(data.parameters.out, '[');
    for (const auto& [form, name] : formNames)
        if (data.diagnosis.forms & form) {
            forms.next();
            putJsonText(forms.out, name);
        }
    put(forms.out, ']');
}

void offsetData(CauseData& data)
{
    patternData(data);
    const Diagnosis& diagnosis = data.diagnosis;
    if (diagnosis.value == 0) {
        data.parameters.null("offset");
        return;
    }
    data.parameters.signedNumber("offset", diagnosis.value, diagnosis.negative);
    std::uint64_t to = diagnosis.to != 0 ? diagnosis.to : data.lineCount;
    std::uint64_t since = diagnosis.since != 0 && diagnosis.since < diagnosis.from ? diagnosis.since : diagnosis.from;
    data.parameters.number("from", diagnosis.from);
    data.parameters.number("to", to);
    data.parameters.number("since", since);
    data.covers.emplace_back(since, to);
    data.coversKnown = true;
    if (!diagnosis.besides.empty()) {
        data.parameters.key("besides");
        Fields lines(data.parameters.out, '[');
        for (std::uint32_t line : diagnosis.besides)
            lines.element(line);
        put(lines.out, ']');
    }
    // An offset that grows: without its steps, `offset` (the last size)
    // would be read as holding on the whole range.
    if (diagnosis.steps.empty())
        return;
    data.parameters.key("steps");
    Fields steps(data.parameters.out, '[');
    for (const OffsetStep& step : diagnosis.steps) {
        steps.next();
        Fields one(steps.out, '{');
        one.number("line", step.line);
        auto offset = static_cast<std::int64_t>(step.offset);
        one.signedNumber("offset", offset < 0 ? 0 - step.offset : step.offset, offset < 0);
        put(one.out, '}');
    }
    put(steps.out, ']');
}

void neighbourData(CauseData& data)
{
    patternData(data);
    for (std::uint32_t line : data.diagnosis.besides)
        data.covers.emplace_back(line, line);
    data.coversKnown = true;
}

void cutData(CauseData& data)
{
    patternData(data);
    data.parameters.number("kept", data.diagnosis.value);
}

// Each kind's machine name and what it holds, a row each in Cause's order:
// names that scripts key on, never changed once given.
struct CauseJsonRow {
    Cause cause;
    std::string_view name;
    void (*data)(CauseData&);
};

constexpr CauseJsonRow causeJsonRows[] = {
    {Cause::crlfLineEnds, "crlfLineEnds", crlfData},
    {Cause::byteOrderMark, "byteOrderMark", noParameters},
    {Cause::zeroBytes, "zeroBytes", noParameters},
    {Cause::emptyFile, "emptyFile", noParameters},
    {Cause::trailingEmptyLine, "trailingEmptyLine", noParameters},
    {Cause::shiftedLines, "shiftedLines", shiftData},
    {Cause::movedLine, "movedLine", movedData},
    {Cause::lastLinesLeftOut, "lastLinesLeftOut", lastLinesData},
    {Cause::addressForm, "addressForm", formsData},
    {Cause::decimalAddresses, "decimalAddresses", patternData},
    {Cause::addressOffset, "addressOffset", offsetData},
    {Cause::neighbourAddress, "neighbourAddress", neighbourData},
    {Cause::labelCase, "labelCase", patternData},
    {Cause::cutLabels, "cutLabels", cutData},
    {Cause::swappedColumns, "swappedColumns", patternData},
};

constexpr bool causeRowsInOrder()
{
    for (std::size_t i = 0; i < std::size(causeJsonRows); ++i)
        if (static_cast<std::size_t>(causeJsonRows[i].cause) != i || causeJsonRows[i].name.empty())
            return false;
    return true;
}
static_assert(std::size(causeJsonRows) == causeCount, "a machine name for every kind of cause");
static_assert(causeRowsInOrder(), "rows in Cause's order, each named");

// Each file state's machine name, in FileState's order, whose last is
// noSubmission.
constexpr std::string_view stateNames[] = {
    "graded",        "missing",       "refusedOutside",     "refusedNotRegular",  "refusedTooLarge",
    "unreadable",    "outOfMemory",   "folderOutside",      "ambiguous",          "refusedArchiveLink",
    "refusedArchivePath", "encrypted", "noSubmission",
};
static_assert(std::size(stateNames) == static_cast<std::size_t>(FileState::noSubmission) + 1,
              "a machine name for every file state");

void spreadInto(Fields& fields, std::string_view name, const Spread& spread)
{
    fields.key(name);
    Fields object(fields.out, '{');
    object.number("binWidth", spread.binWidth);
    object.key("bins");
    Fields bins(fields.out, '[');
    for (std::uint64_t bin : spread.bins)
        bins.element(bin);
    put(fields.out, "]}");
}

void testInto(Output& out, const Test& test)
{
    Fields fields(out, '{');
    fields.text("name", test.name);
    fields.number("number", static_cast<std::uint64_t>(test.number));
    fields.number("maximum", test.lineCount);
    put(out, '}');
}

// A mistake of the student's assembler: what it is, by how much where it
// has a size, and the statements of the test's program it concerns.
void mistakeInto(Output& out, const NamedMistake& mistake, const TestProgram& program)
{
    const FoundMistake& found = mistake.found;
    Fields fields(out, '{');
    fields.text("kind", mistakeName(found.mistake));
    fields.text("text", mistake.words());
    fields.key("parameters");
    Fields parameters(out, '{');
    if (found.mistake == StatementMistake::plusSize)
        parameters.signedNumber("bytesOff",
                                found.amount < 0 ? 0 - static_cast<std::uint64_t>(found.amount)
                                                 : static_cast<std::uint64_t>(found.amount),
                                found.amount < 0);
    if (found.size > 0)
        parameters.number("size", static_cast<std::uint64_t>(found.size));
    put(out, '}');
    fields.number("statements", found.statements);
    fields.key("firstStatement");
    if (found.first >= program.size()) {
        put(out, "null}");
        return;
    }
    const SourceStatement& first = program[found.first];
    Fields statement(out, '{');
    statement.number("sourceLine", first.line);
    statement.text("label", first.label);
    statement.text("operation", first.operation);
    statement.text("operands", first.operands);
    put(out, "}}");
}

// What writes JSON to an output, adding it to a string instead, through
// `scratch`, an output kept for it: a new one is 64 KiB to make.
template <typename Write>
void intoString(std::string& text, Output& scratch, Write&& write)
{
    scratch.kept = &text;
    write(scratch);
    flushOutput(scratch);
}

template <typename Write>
void intoString(std::string& text, Write&& write)
{
    auto out = std::make_unique<Output>();
    intoString(text, *out, write);
}

// Each mistake's JSON, made once and copied after: a class's files name
// the same few mistakes of a test thousands of times, each with the words
// its worker made once for it, which stand for the mistake and its test.
struct MistakesMade {
    // Past this many (a class whose files each make a mistake of their
    // own), they start over: a few hundred kilobytes.
    static constexpr std::size_t mostKept = std::size_t{1} << 11;
    Output& scratch;
    std::unordered_map<const std::string*, std::string> made;

    void into(Output& out, const NamedMistake& mistake, const TestProgram& program)
    {
        const std::string* words = mistake.told.get();
        if (words == nullptr) {
            mistakeInto(out, mistake, program);
            return;
        }
        if (made.size() >= mostKept && !made.contains(words))
            made.clear();
        auto [at, added] = made.try_emplace(words);
        if (added)
            intoString(at->second, scratch, [&](Output& into) { mistakeInto(into, mistake, program); });
        put(out, at->second);
    }
};

// A student's notes, test by test in order, each where it lies in one
// text that the writer keeps from student to student: a class's notes are
// hundreds of thousands of short strings, each otherwise allocated and
// freed.  `cause` holds, for a note that words a cause, the note and the
// cause as made once for every file that tells it, in the causes' order.
struct StudentNotes {
    // A cause's note and object, made once for every file that tells it.
    struct Made {
        std::string note;   // as a JSON string
        std::string cause;  // the whole object
    };
    struct Note {
        std::size_t test = 0;
        std::size_t begin = 0;
        std::size_t end = 0;
        const Made* cause = nullptr;  // where the note words a cause
    };
    std::string text;
    std::vector<Note> notes;

    void add(std::size_t test, std::string_view words)
    {
        notes.push_back(Note{test, text.size(), text.size() + words.size(), nullptr});
        text.append(words);
    }
    void addCause(std::size_t test, const Made& made) { notes.push_back(Note{test, 0, 0, &made}); }
    std::string_view words(const Note& note) const
    {
        return std::string_view(text).substr(note.begin, note.end - note.begin);
    }
};

// Each cause's note and object for each test, made once: a class's files
// tell a few hundred distinct causes tens of thousands of times, each
// otherwise worded and written anew.
struct CausesMade {
    struct Key {
        std::size_t test = 0;
        Diagnosis diagnosis;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const
        {
            const Diagnosis& d = key.diagnosis;
            std::uint64_t h = mixWord(key.test, static_cast<std::uint64_t>(d.cause) << 40 | std::uint64_t{d.forms} << 32 |
                                                    static_cast<std::uint32_t>(d.amount));
            h = mixWord(mixWord(h, d.value), std::uint64_t{d.from} << 32 | d.to);
            h = mixWord(h, std::uint64_t{d.since} << 8 | static_cast<std::uint64_t>(d.order) << 1 | (d.negative ? 1 : 0));
            for (const OffsetStep& step : d.steps)
                h = mixWord(mixWord(h, step.line), step.offset);
            for (std::uint32_t line : d.besides)
                h = mixWord(h, line);
            return static_cast<std::size_t>(h);
        }
    };
    // Past this many (a class whose files each tell causes of their own),
    // they start over, between two students: a megabyte or two.
    static constexpr std::size_t mostKept = std::size_t{1} << 12;
    Output& scratch;
    std::unordered_map<Key, StudentNotes::Made, KeyHash> made;

    const StudentNotes::Made& of(std::size_t test, const Diagnosis& diagnosis, std::uint64_t lineCount)
    {
        auto [at, added] = made.try_emplace(Key{test, diagnosis});
        if (added) {
            std::string words = describe(diagnosis);
            intoString(at->second.note, scratch, [&](Output& into) { putJsonText(into, words); });
            intoString(at->second.cause, scratch, [&](Output& into) { putJsonCause(into, diagnosis, lineCount, words); });
        }
        return at->second;
    }
};

void resultInto(Output& out, const Test& test, const TestResult& result, const StudentNotes& kept,
                std::span<const StudentNotes::Note> notes, MistakesMade& made)
{
    Fields fields(out, '{');
    fields.text("test", test.name);
    fields.text("state", stateName(result.state));
    fields.number("score", result.score);
    fields.key("notes");
    Fields noteList(out, '[');
    for (const StudentNotes::Note& note : notes) {
        noteList.next();
        if (note.cause != nullptr)
            put(out, note.cause->note);
        else
            putJsonText(out, kept.words(note));
    }
    put(out, ']');
    fields.key("causes");
    Fields causes(out, '[');
    for (const StudentNotes::Note& note : notes)
        if (note.cause != nullptr) {
            causes.next();
            put(out, note.cause->cause);
        }
    put(out, ']');
    fields.key("mistakes");
    Fields mistakes(out, '[');
    for (const NamedMistake& mistake : result.mistakes) {
        mistakes.next();
        made.into(out, mistake, test.program);
    }
    put(out, "]}");
}

void studentInto(Output& out, const std::vector<Test>& tests, const Student& student, StudentNotes& kept,
                 MistakesMade& made, CausesMade& causes)
{
    kept.text.clear();
    kept.notes.clear();
    if (causes.made.size() >= CausesMade::mostKept)
        causes.made.clear();
    forEachFindingOf(
        student, [&](std::size_t test, std::string_view text) { kept.add(test, text); },
        [&](std::size_t test, const Diagnosis& diagnosis) {
            std::uint64_t lineCount = test < tests.size() ? tests[test].lineCount : 0;
            kept.addCause(test, causes.of(test, diagnosis, lineCount));
        });
    Fields fields(out, '{');
    fields.text("name", student.name);
    fields.text("siteName", siteName(student));
    if (student.lmsId.empty())
        fields.null("siteId");
    else
        fields.text("siteId", student.lmsId);
    fields.boolean("anonymous", student.anonymous);
    fields.boolean("onRoster", student.onRoster);
    fields.number("total", totalOf(student));
    fields.key("tests");
    Fields results(out, '[');
    std::span<const StudentNotes::Note> notes(kept.notes);
    for (std::size_t t = 0; t < tests.size() && t < student.results.size(); ++t) {
        results.next();
        std::size_t from = 0;
        while (from < notes.size() && notes[from].test < t)
            ++from;
        std::size_t to = from;
        while (to < notes.size() && notes[to].test == t)
            ++to;
        resultInto(out, tests[t], student.results[t], kept, notes.subspan(from, to - from), made);
        notes = notes.subspan(to);
    }
    put(out, "]}");
}

// What a pair or group shares: the set of its assembler's mistakes, an
// unusual order of a test's lines, or a reference line's wrong answer.
void sharedInto(Output& out, const SharedAnswer& answer, const std::vector<Test>& tests)
{
    constexpr std::string_view kinds[] = {"line", "mistakes", "order"};
    Fields fields(out, '{');
    fields.text("what", kinds[static_cast<std::size_t>(answer.kind)]);
    if (answer.kind != SharedKind::mistakes)
        fields.text("test", tests[answer.place.test].name);
    if (answer.kind == SharedKind::line)
        fields.number("line", answer.place.line + 1);
    fields.number("sharers", answer.sharers);
    fields.number("within", answer.within);
    put(out, '}');
}

void pairInto(Output& out, const SuspectedPair& pair, const std::vector<Test>& tests)
{
    Fields fields(out, '{');
    fields.key("students");
    std::vector<std::uint32_t> students = pair.members;
    if (students.empty())
        students = {pair.first, pair.second};
    Fields names(out, '[');
    for (std::uint32_t student : students)
        names.element(student);
    put(out, ']');
    fields.text("shape", !pair.members.empty() ? "group" : pair.apart ? "rare mistakes" : "pair");
    fields.number("pieces", pair.pieces);
    fields.real("rarity", pair.rarity);
    fields.key("shared");
    Fields shared(out, '[');
    for (const SharedAnswer& answer : pair.shared) {
        shared.next();
        sharedInto(out, answer, tests);
    }
    put(out, "]}");
}

void missedInto(Output& out, const MissedLine& missed)
{
    Fields fields(out, '{');
    fields.number("line", missed.position + 1);
    fields.number("wrong", missed.wrong);
    fields.key("common");
    Fields common(out, '[');
    for (const CommonWrongLine& line : missed.common) {
        common.next();
        Fields wrong(out, '{');
        wrong.text("text", line.text);
        wrong.number("files", line.count);
        put(out, '}');
    }
    put(out, "]}");
}

void testSummaryInto(Output& out, const Test& test, const TestSummary& summary)
{
    const TestStats& stats = summary.stats;
    Fields fields(out, '{');
    fields.text("test", test.name);
    fields.number("graded", stats.graded);
    fields.number("notGraded", stats.notGraded);
    fields.real("mean", stats.mean);
    fields.real("median", stats.median);
    fields.number("lowest", stats.lowest);
    fields.number("highest", stats.highest);
    fields.number("fullMarks", stats.fullMarks);
    spreadInto(fields, "spread", stats.spread);
    fields.key("mostMissed");
    Fields missed(out, '[');
    for (const MissedLine& line : summary.missed) {
        missed.next();
        missedInto(out, line);
    }
    put(out, "]}");
}

void findingInto(Output& out, const FindingCount& finding, const std::vector<Test>& tests)
{
    constexpr std::string_view findingNames[] = {"notGraded", "cause", "noReport", "mistake"};
    const FindingKind& kind = finding.kind;
    Fields fields(out, '{');
    fields.text("of", findingNames[static_cast<std::size_t>(kind.of)]);
    if (kind.of == FindingOf::cause) {
        fields.text("kind", causeName(kind.cause.cause));
        fields.text("text", kindWords(kind.cause));
    } else if (kind.of == FindingOf::mistake) {
        fields.text("kind", mistakeName(kind.mistake));
        fields.text("text", mistakeKindWords(kind.mistake));
    } else if (kind.of == FindingOf::notGraded) {
        fields.text("state", stateName(kind.state));
        fields.text("text", reasonOf(kind.state));
    } else {
        fields.text("text", reportNotWritten(kind.error));
    }
    fields.number("students", finding.students);
    fields.number("files", finding.files);
    fields.key("tests");
    Fields names(out, '[');
    for (std::uint32_t test : finding.tests) {
        names.next();
        putJsonText(out, tests[test].name);
    }
    put(out, "]}");
}

void summaryInto(Output& out, const ClassSummary& summary, const std::vector<Test>& tests)
{
    Fields fields(out, '{');
    fields.number("studentsGraded", summary.studentsGraded);
    fields.number("graded", summary.graded);
    fields.number("notGraded", summary.notGraded);
    fields.number("possible", summary.possible);
    spreadInto(fields, "totals", summary.totals);
    fields.key("tests");
    Fields perTest(out, '[');
    for (std::size_t t = 0; t < tests.size() && t < summary.tests.size(); ++t) {
        perTest.next();
        testSummaryInto(out, tests[t], summary.tests[t]);
    }
    put(out, ']');
    fields.key("findings");
    Fields findings(out, '[');
    for (const FindingCount& finding : summary.kinds) {
        findings.next();
        findingInto(out, finding, tests);
    }
    put(out, ']');
    fields.key("copyThreshold");
    Fields threshold(out, '{');
    threshold.number("pieces", summary.copyThreshold.pieces);
    threshold.number("ownPieces", summary.copyThreshold.ownPieces);
    threshold.real("rate", summary.copyThreshold.rate);
    threshold.real("expectedHonest", summary.copyThreshold.expectedHonest);
    put(out, "}}");
}

// Students go out one at a time, straight into the output: a large
// class's whole JSON would be hundreds of megabytes held at once.
template <typename Each>
void putList(Output& out, std::string_view name, std::size_t count, Each&& each)
{
    put(out, ",\"");
    put(out, name);
    put(out, "\":[");
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            put(out, ',');
        each(i);
    }
    put(out, "]");
}

}  // namespace

namespace {

void putJsonText(Output& out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    put(out, '"');
    for (std::size_t at = 0; at < text.size();) {
        // Most text is plain ASCII: it goes in runs, not a byte at a time.
        std::size_t plain = plainRun(text.substr(at));
        put(out, text.substr(at, plain));
        at += plain;
        if (at == text.size())
            break;
        auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80) {
            std::uint32_t codePoint = 0;
            std::size_t length = decodeUtf8(text.substr(at), codePoint);
            // The line and paragraph separators end a line in a script
            // that embeds the JSON; everything else passes as it is.
            if (length == 0)
                put(out, "\\ufffd");
            else if (codePoint == 0x2028 || codePoint == 0x2029)
                put(out, codePoint == 0x2028 ? "\\u2028" : "\\u2029");
            else
                put(out, text.substr(at, length));
            at += length == 0 ? 1 : length;
            continue;
        }
        if (byte == '"' || byte == '\\') {
            put(out, '\\');
            put(out, static_cast<char>(byte));
        } else {
            put(out, "\\u00");
            put(out, hex[byte >> 4]);
            put(out, hex[byte & 15]);
        }
        ++at;
    }
    put(out, '"');
}

}  // namespace

void appendJsonText(std::string& out, std::string_view text)
{
    intoString(out, [&](Output& into) { putJsonText(into, text); });
}

std::string jsonText(std::string_view text)
{
    std::string out;
    appendJsonText(out, text);
    return out;
}

std::string_view causeName(Cause cause)
{
    return causeJsonRows[static_cast<std::size_t>(cause)].name;
}

std::string_view stateName(FileState state)
{
    return stateNames[static_cast<std::size_t>(state)];
}

namespace {

// Where a cause's fields are made: a field that every kind has goes here,
// one of a kind's own into its row's `data`.
void putJsonCause(Output& out, const Diagnosis& diagnosis, std::uint64_t lineCount, std::string_view words)
{
    Fields fields(out, '{');
    fields.text("kind", causeName(diagnosis.cause));
    fields.text("text", words);
    fields.key("parameters");
    Fields parameters(out, '{');
    CauseData data{parameters, diagnosis, lineCount, {}, true};
    causeJsonRows[static_cast<std::size_t>(diagnosis.cause)].data(data);
    put(out, '}');
    fields.key("referenceLines");
    if (!data.coversKnown) {
        put(out, "null");
    } else {
        Fields ranges(out, '[');
        for (const auto& [from, to] : data.covers) {
            ranges.next();
            Fields range(out, '{');
            range.number("from", from);
            range.number("to", to);
            put(out, '}');
        }
        put(out, ']');
    }
    put(out, '}');
}

}  // namespace

void appendJsonCause(std::string& out, const Diagnosis& diagnosis, std::uint64_t lineCount, std::string_view words)
{
    intoString(out, [&](Output& into) { putJsonCause(into, diagnosis, lineCount, words); });
}

std::string jsonCause(const Diagnosis& diagnosis, std::uint64_t lineCount)
{
    std::string out;
    appendJsonCause(out, diagnosis, lineCount, describe(diagnosis));
    return out;
}

void writeJsonStudents(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students)
{
    put(out, "{\"labelgradeClassJson\":");
    putNumber(out, jsonSchemaVersion);
    putList(out, "tests", tests.size(), [&](std::size_t t) { testInto(out, tests[t]); });
    StudentNotes notes;
    // Each mistake and cause is made once, through one output kept for it.
    auto scratch = std::make_unique<Output>();
    MistakesMade made{*scratch, {}};
    CausesMade causes{*scratch, {}};
    putList(out, "students", students.size(),
            [&](std::size_t s) { studentInto(out, tests, students[s], notes, made, causes); });
}

void writeJsonSummary(Output& out, const ClassSummary& summary, const std::vector<Test>& tests)
{
    putList(out, "suspectedPairs", summary.pairs.size(),
            [&](std::size_t p) { pairInto(out, summary.pairs[p], tests); });
    put(out, ",\"summary\":");
    summaryInto(out, summary, tests);
    put(out, "}\n");
}

void writeJsonRun(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                  const std::vector<Student>& students)
{
    writeJsonStudents(out, tests, students);
    writeJsonSummary(out, summary, tests);
}
