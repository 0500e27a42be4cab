#include "class/outputs/summary_text.h"

#include "class/explaining/findings.h"
#include "io/visible_text.h"
#include "class/outputs/summary_words.h"
#include "class/outputs/wording.h"

#include <cstdio>

namespace {

// Eighths of a block, for a spread drawn in one line of text.
constexpr const char* blockLevels[] = {"\u2581", "\u2582", "\u2583", "\u2584", "\u2585", "\u2586", "\u2587", "\u2588"};
constexpr std::string_view ellipsis = "\u2026";

std::string spreadLine(const Spread& spread, std::uint64_t outOf)
{
    std::uint64_t most = 0;
    for (std::uint64_t count : spread.bins)
        most = std::max(most, count);
    std::string line = "0 |";
    for (std::uint64_t count : spread.bins) {
        if (count == 0) {
            line += ' ';
            continue;
        }
        std::uint64_t level = (count * 8 + most - 1) / most;  // 1 to 8
        line += blockLevels[level - 1];
    }
    return line + "| " + std::to_string(outOf);
}

std::string counted(std::uint64_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string percent(std::uint64_t part, std::uint64_t whole)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.0f%%", whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

// The code point a UTF-8 sequence starts, and its length; a stray byte is
// one column, as visibleText shows it.
char32_t codePointAt(std::string_view text, std::size_t at, std::size_t& length)
{
    auto byte = static_cast<unsigned char>(text[at]);
    length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    if (at + length > text.size())
        length = 1;
    if (length == 1)
        return byte;
    char32_t point = byte & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        point = point << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return point;
}

bool wide(char32_t point)
{
    return (point >= 0x1100 && point <= 0x115F) || (point >= 0x2E80 && point <= 0xA4CF) ||
           (point >= 0xAC00 && point <= 0xD7A3) || (point >= 0xF900 && point <= 0xFAFF) ||
           (point >= 0xFE30 && point <= 0xFE4F) || (point >= 0xFF00 && point <= 0xFF60) ||
           (point >= 0xFFE0 && point <= 0xFFE6) || (point >= 0x1F300 && point <= 0x1FAFF) ||
           (point >= 0x20000 && point <= 0x3FFFD);
}

void put80(Output& out, std::string_view line)
{
    put(out, fitted(line, summaryColumns) + "\n");
}

// A notice must be read whole: it is wrapped at its blanks, not cut, its
// lines after the first indented two columns more than `lead`; only a word
// wider than a line is cut.
void putWrapped(Output& out, const std::string& lead, std::string_view text)
{
    const std::string indent = lead + "  ";
    std::string line = lead;
    bool empty = true;
    while (!text.empty()) {
        std::size_t blank = text.find(' ');
        std::string_view word = text.substr(0, blank);
        text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
        if (!empty && columnsOf(line) + 1 + columnsOf(word) > summaryColumns) {
            put80(out, line);
            line = indent;
            empty = true;
        }
        line += std::string(empty ? "" : " ") + std::string(word);
        empty = false;
    }
    put80(out, line);
}

void writeTestInFull(Output& out, const Test& test, const TestSummary& summary, bool utf8)
{
    const TestStats& stats = summary.stats;
    put80(out, visibleText(test.name, utf8) + " (test " + std::to_string(test.number) + ", out of " +
                   std::to_string(test.lineCount) + "): " + std::to_string(stats.graded) + " graded, " +
                   std::to_string(stats.notGraded) + " not graded");
    if (stats.graded == 0)
        return;
    put80(out, "  mean " + pointsText(stats.mean) + ", median " + pointsText(stats.median) + ", lowest " +
                   std::to_string(stats.lowest) + ", highest " + std::to_string(stats.highest) + ", full marks " +
                   std::to_string(stats.fullMarks));
    put80(out, "  spread " + spreadLine(stats.spread, test.lineCount));
    if (summary.missed.empty())
        return;
    const MissedLine& line = summary.missed.front();
    std::string most = "  most often wrong: line " + std::to_string(line.position + 1) + " (" +
                       visibleText(referenceLine(test, line.position), utf8) + "), " + std::to_string(line.wrong) +
                       " of " + std::to_string(stats.graded) + " (" + percent(line.wrong, stats.graded) + ")";
    if (!line.common.empty())
        most += "; " + std::to_string(line.common.front().count) + " x " + visibleText(line.common.front().text, utf8);
    put80(out, most);
}

void writeTestInLine(Output& out, const Test& test, const TestStats& stats, bool utf8)
{
    std::string line = "  " + visibleText(test.name, utf8) + ": " + std::to_string(stats.graded) + " graded";
    if (stats.graded > 0)
        line += ", mean " + pointsText(stats.mean) + " of " + std::to_string(test.lineCount) + ", median " +
                pointsText(stats.median) + ", full marks " + std::to_string(stats.fullMarks);
    put80(out, line);
}

void writeTests(Output& out, const ClassSummary& summary, const std::vector<Test>& tests, bool utf8)
{
    if (tests.size() <= testsInFull) {
        for (std::size_t t = 0; t < tests.size(); ++t) {
            writeTestInFull(out, tests[t], summary.tests[t], utf8);
            put(out, "\n");
        }
        return;
    }
    put(out, "Tests:\n");
    for (std::size_t t = 0; t < tests.size() && t < testsListed; ++t)
        writeTestInLine(out, tests[t], summary.tests[t].stats, utf8);
    if (tests.size() > testsListed)
        put(out, "  and " + std::to_string(tests.size() - testsListed) + " more tests\n");
    put(out, "\n");
}

// The tests a kind of cause shows in: named when two or fewer.
std::string testNames(const FindingCount& kind, const std::vector<Test>& tests, bool utf8)
{
    if (kind.tests.size() > 2)
        return std::to_string(kind.tests.size()) + " tests";
    std::string names;
    for (std::size_t i = 0; i < kind.tests.size(); ++i)
        names += (i > 0 ? ", " : "") + visibleText(tests[kind.tests[i]].name, utf8);
    return names;
}

void writeKind(Output& out, const WordedKind& worded, const std::vector<Test>& tests,
               const std::vector<Student>& students, bool utf8)
{
    const FindingCount& kind = *worded.count;
    if (kind.files == 1) {
        put80(out, "  " + visibleText(students[kind.firstStudent].name, utf8) + ", " +
                       visibleText(tests[kind.firstTest].name, utf8) + ": " + visibleText(worded.firstText, utf8));
        return;
    }
    put80(out, "  " + counted(kind.students, "student", "students") + ", " + counted(kind.files, "file", "files") +
                   ": " + visibleText(worded.text, utf8) + " (" + testNames(kind, tests, utf8) + ")");
}

void writePair(Output& out, const SuspectedPair& pair, const std::vector<Test>& tests,
               const std::vector<Student>& students, bool utf8)
{
    put80(out, "  " + studentsText(pair, students, utf8) + ", " + std::to_string(pair.pieces) + " shared: " +
                   sharedText(pair, tests, students));
}

// Where every finding is: causes in the gradebook's notes always, causes
// and pairs on the page when one was written.
std::string whereTheRestIs(const std::string& page)
{
    return page.empty() ? "More in the gradebook's notes, and on the page that --html FILE writes."
                        : "More in the gradebook's notes, and on the page that --html wrote.";
}

void writeFindings(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                   const std::vector<Student>& students, bool utf8, const std::string& page)
{
    std::size_t pairs = std::min(summary.pairs.size(), pairsListed);
    std::size_t kinds = std::min(summary.kinds.size(), findingsListed - pairs);
    pairs = std::min(summary.pairs.size(), findingsListed - kinds);
    if (summary.kinds.empty()) {
        put(out, "Causes found: none.\n");
    } else {
        put80(out, "Causes found, by the students they hit:");
        std::vector<WordedKind> worded = wordedKinds(summary, students);
        for (std::size_t k = 0; k < kinds; ++k)
            writeKind(out, worded[k], tests, students, utf8);
        if (kinds < summary.kinds.size())
            put80(out, "  and " + counted(summary.kinds.size() - kinds, "more kind", "more kinds"));
    }
    put(out, "\n");
    std::string least = std::to_string(summary.copyThreshold.pieces) + " or more rare pieces of evidence";
    if (summary.copyThreshold.ownPieces < summary.copyThreshold.pieces)
        least += ", or " + std::to_string(summary.copyThreshold.ownPieces) + " no one else holds";
    if (std::any_of(summary.pairs.begin(), summary.pairs.end(), [](const SuspectedPair& p) { return p.whole != UINT32_MAX; }))
        least += ", or 2 hand edits that are all one student made on those tests, where chance seldom makes that";
    auto apart = static_cast<std::size_t>(
        std::count_if(summary.pairs.begin(), summary.pairs.end(), [](const SuspectedPair& pair) { return pair.apart; }));
    std::size_t suspected = summary.pairs.size() - apart;
    if (suspected == 0) {
        put80(out, "Suspected copying: no pair shares " + least + ".");
    } else {
        put80(out, "Suspected copying, to look at, not verdicts (" + least + "):");
        for (std::size_t p = 0; p < std::min(pairs, suspected); ++p)
            writePair(out, summary.pairs[p], tests, students, utf8);
        if (pairs < suspected)
            put80(out, "  and " + counted(suspected - pairs, "more", "more"));
    }
    if (apart > 0) {
        put80(out, "Sharing a set of assembler mistakes that no other student has (no output tells these from a "
                   "copy):");
        std::size_t shown = pairs > suspected ? pairs - suspected : 0;
        for (std::size_t p = suspected; p < suspected + std::min(shown, apart); ++p)
            writePair(out, summary.pairs[p], tests, students, utf8);
        if (shown == 0)
            put80(out, "  " + counted(apart, "pair", "pairs") + ", on the page and in --json");
        else if (shown < apart)
            put80(out, "  and " + counted(apart - shown, "more pair", "more pairs"));
    }
    if (summary.findings > 0 || !summary.pairs.empty())
        put80(out, whereTheRestIs(page));
}

}  // namespace

std::size_t columnsOf(std::string_view text)
{
    std::size_t columns = 0;
    for (std::size_t at = 0, length = 0; at < text.size(); at += length)
        columns += wide(codePointAt(text, at, length)) ? 2 : 1;
    return columns;
}

std::string fitted(std::string_view text, std::size_t columns)
{
    if (columnsOf(text) <= columns)
        return std::string(text);
    std::string out;
    std::size_t used = 0;
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        std::size_t width = wide(codePointAt(text, at, length)) ? 2 : 1;
        if (used + width + 1 > columns)
            break;
        out.append(text.substr(at, length));
        used += width;
    }
    return out + std::string(ellipsis);
}

std::string pointsText(double points)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", points);
    std::string shown = text;
    if (shown.size() > 2 && shown.compare(shown.size() - 2, 2, ".0") == 0)
        shown.resize(shown.size() - 2);
    return shown;
}

std::string studentsText(const SuspectedPair& pair, const std::vector<Student>& students, bool utf8)
{
    if (pair.members.empty())
        return visibleText(students[pair.first].name, utf8) + " and " + visibleText(students[pair.second].name, utf8);
    std::string names;
    for (std::size_t i = 0; i < pair.members.size(); ++i)
        names += (i == 0 ? "" : i + 1 == pair.members.size() ? " and " : ", ") +
                 visibleText(students[pair.members[i]].name, utf8);
    return names;
}

namespace {

// ", which no other student has", ", which 2 other students have"
std::string othersHave(const SharedAnswer& answer)
{
    std::uint32_t others = answer.sharers - answer.within;
    return others == 0   ? ", which no other student has"
           : others == 1 ? ", which 1 other student has"
                         : ", which " + std::to_string(others) + " other students have";
}

// "4 and 8", "2, 4 and 8"
std::string numbersText(const std::vector<std::uint64_t>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : i + 1 == lines.size() ? " and " : ", ") + std::to_string(lines[i]);
    return text;
}

// "3 identical hand edits: t3.sym lines 4 and 8, t5.sym line 2"
std::string handEditsText(const std::vector<const SharedAnswer*>& lines, const std::vector<Test>& tests)
{
    std::string text = lines.size() == 1 ? "an identical hand edit: "
                                         : std::to_string(lines.size()) + " identical hand edits: ";
    std::size_t heldElsewhere = 0;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t end = i;
        std::vector<std::uint64_t> numbers;
        for (; end < lines.size() && lines[end]->place.test == lines[i]->place.test; ++end) {
            numbers.push_back(lines[end]->place.line + 1);
            heldElsewhere += lines[end]->sharers > lines[end]->within ? 1 : 0;
        }
        text += (i == 0 ? "" : ", ") + tests[lines[i]->place.test].name + (numbers.size() == 1 ? " line " : " lines ") +
                numbersText(numbers);
        i = end;
    }
    if (heldElsewhere > 0)
        text += heldElsewhere == lines.size() ? (lines.size() == 1 ? " (another student's too)" : " (each another student's too)")
                                              : " (" + std::to_string(heldElsewhere) + " of them another student's too)";
    return text;
}

}  // namespace

std::string sharedText(const SuspectedPair& pair, const std::vector<Test>& tests, const std::vector<Student>&)
{
    std::vector<std::string> parts;
    std::vector<const SharedAnswer*> lines;
    for (const SharedAnswer& answer : pair.shared) {
        if (answer.kind == SharedKind::mistakes)
            parts.insert(parts.begin(), "the same set of assembler mistakes" + othersHave(answer));
        else if (answer.kind == SharedKind::order)
            parts.push_back("the same unusual order of lines (" + tests[answer.place.test].name + ")" + othersHave(answer));
        else
            lines.push_back(&answer);
    }
    if (!lines.empty())
        parts.push_back(handEditsText(lines, tests));
    if (pair.whole != UINT32_MAX)
        parts.push_back("all the hand edits one of them made on those tests");
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}

void writeSummary(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                  const std::vector<Student>& students, const SummaryNotes& notes, bool utf8)
{
    put(out, "\n");
    put80(out, "Class summary: " + counted(students.size(), "student", "students") + ", " +
                   counted(tests.size(), "test", "tests") + "; " + counted(summary.graded, "file", "files") +
                   " graded, " + std::to_string(summary.notGraded) + " not graded.");
    for (const std::string& line : notes.about)
        putWrapped(out, "", line);
    if (!notes.notices.empty()) {
        put80(out, "First, look at these:");
        for (const std::string& notice : notes.notices)
            putWrapped(out, "  ", notice);
    }
    put80(out, "Totals, out of " + std::to_string(summary.possible) + ": " + spreadLine(summary.totals, summary.possible));
    put(out, "\n");
    writeTests(out, summary, tests, utf8);
    writeFindings(out, summary, tests, students, utf8, notes.page);
}
