#include "summary_text.h"

#include "io/visible_text.h"
#include "wording.h"

#include <cstdio>

namespace {

// Eighths of a block, for a spread drawn in one line of text.
constexpr const char* blockLevels[] = {"\u2581", "\u2582", "\u2583", "\u2584", "\u2585", "\u2586", "\u2587", "\u2588"};

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

void appendTest(std::string& out, const Test& test, const TestSummary& summary, bool utf8)
{
    // A test's part is small: gathered whole, then written.
    const TestStats& stats = summary.stats;
    out += test.name + " (test " + std::to_string(test.number) + ", out of " + std::to_string(test.lineCount) +
           "): " + std::to_string(stats.graded) + " graded, " + std::to_string(stats.notGraded) +
           " not graded\n";
    if (stats.graded == 0)
        return;
    out += "  mean " + pointsText(stats.mean) + ", median " + pointsText(stats.median) + ", lowest " +
           std::to_string(stats.lowest) + ", highest " + std::to_string(stats.highest) + ", full marks " +
           std::to_string(stats.fullMarks) + "\n";
    out += "  spread " + spreadLine(stats.spread, test.lineCount) + "\n";
    if (summary.missed.empty())
        return;
    out += "  most often wrong:\n";
    for (const MissedLine& line : summary.missed) {
        out += "    line " + std::to_string(line.position + 1) + " (" +
               visibleText(referenceLine(test, line.position), utf8) + "): " + std::to_string(line.wrong) + " of " +
               std::to_string(stats.graded) + " wrong, " + percent(line.wrong, stats.graded) + "\n";
        for (const CommonWrongLine& wrong : line.common)
            out += "      " + std::to_string(wrong.count) + " x " + visibleText(wrong.text, utf8) + "\n";
    }
}

}  // namespace

std::string pointsText(double points)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", points);
    std::string shown = text;
    if (shown.size() > 2 && shown.compare(shown.size() - 2, 2, ".0") == 0)
        shown.resize(shown.size() - 2);
    return shown;
}

std::string sharedText(const SuspectedPair& pair, const std::vector<Test>& tests)
{
    std::string text;
    for (std::size_t i = 0; i < pair.shared.size();) {
        const SharedAnswer& first = pair.shared[i];
        const std::string& testName = tests[first.place.test].name;
        if (!text.empty())
            text += "; ";
        if (first.place.wholeFile) {
            text += "identical " + testName;
            if (first.sharers > 2)
                text += " (" + std::to_string(first.sharers - 2) + (first.sharers == 3 ? " other)" : " others)");
            ++i;
            continue;
        }
        // Lines of one test shared by as many students go together.
        std::size_t end = i;
        std::string positions;
        while (end < pair.shared.size() && pair.shared[end].place.test == first.place.test &&
               !pair.shared[end].place.wholeFile && pair.shared[end].sharers == first.sharers) {
            positions += (end > i ? ", " : "") + std::to_string(pair.shared[end].place.line + 1);
            ++end;
        }
        text += testName + (end - i > 1 ? " lines " : " line ") + positions;
        std::uint32_t others = first.sharers - 2;
        text += others == 0 ? " (no one else)" : " (" + std::to_string(others) + (others == 1 ? " other)" : " others)");
        i = end;
    }
    return text;
}

namespace {

void writeFindings(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                   const std::vector<Student>& students, bool utf8)
{
    if (summary.findings == 0) {
        put(out, "Diagnostics: none.\n");
        return;
    }
    put(out, "Diagnostics, and files not graded:\n");
    std::uint64_t listed = 0;
    for (std::size_t s = 0; s < students.size() && listed < findingsListed; ++s)
        forEachFindingOf(students[s], [&](std::size_t test, const std::string& text) {
            if (listed++ < findingsListed)
                put(out, "  " + visibleText(students[s].name, utf8) + ", " + tests[test].name + ": " +
                             visibleText(text, utf8) + "\n");
        });
    if (summary.findings > findingsListed)
        put(out, "  and " + std::to_string(summary.findings - findingsListed) +
                     " more: every one is in the gradebook's notes, and on the page.\n");
}

}  // namespace

void writeSummary(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                  const std::vector<Student>& students, const SummaryNotes& notes, bool utf8)
{
    put(out, "\nClass summary: " + counted(students.size(), "student", "students") + ", " +
                 counted(tests.size(), "test", "tests") + "; " + counted(summary.graded, "file", "files") +
                 " graded, " + std::to_string(summary.notGraded) + " not graded.\n");
    for (const std::string& line : notes.about)
        put(out, line + "\n");
    if (!notes.notices.empty()) {
        put(out, "First, look at these:\n");
        for (const std::string& notice : notes.notices)
            put(out, "  " + notice + "\n");
    }
    put(out, "Totals, out of " + std::to_string(summary.possible) + ": " +
                 spreadLine(summary.totals, summary.possible) + "\n\n");
    for (std::size_t t = 0; t < tests.size(); ++t) {
        std::string part;
        appendTest(part, tests[t], summary.tests[t], utf8);
        put(out, part + "\n");
    }
    writeFindings(out, summary, tests, students, utf8);
    put(out, "\n");
    if (summary.pairs.empty()) {
        put(out, "Suspected copying: no pair shares rare wrong answers weighing 3 or more.\n");
        return;
    }
    put(out, "Suspected copying: pairs to look at, not verdicts (shared rare wrong answers, weighing 3 or more):\n");
    for (const SuspectedPair& pair : summary.pairs)
        put(out, "  " + visibleText(students[pair.first].name, utf8) + " and " +
                     visibleText(students[pair.second].name, utf8) + ", weight " + pointsText(pair.weight) + ": " +
                     sharedText(pair, tests) + "\n");
}
