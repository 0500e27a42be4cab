#include "class/outputs/html_page.h"

#include "class/outputs/charts.h"
#include "class/outputs/gradebook.h"
#include "class/outputs/html_text.h"
#include "io/paths.h"
#include "class/outputs/summary_text.h"
#include "class/outputs/summary_words.h"
#include "class/outputs/wording.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

constexpr const char* pageStyle = R"(
body { font: 15px/1.45 system-ui, sans-serif; margin: 1em auto; max-width: 72em; padding: 0 .75em; color: #222; }
h1 { font-size: 1.5em; margin-bottom: .2em; } h2 { font-size: 1.2em; margin-top: 1.8em; border-bottom: 1px solid #ddd; }
.wide { overflow-x: auto; max-width: 100%; }
table { border-collapse: collapse; margin: .5em 0; }
th, td { border: 1px solid #ddd; padding: .25em .5em; text-align: left; vertical-align: top; }
th { background: #f4f4f4; } td.n { text-align: right; font-variant-numeric: tabular-nums; }
td.notes { min-width: 14em; font-size: .9em; }
code { font: 13px ui-monospace, monospace; white-space: pre-wrap; word-break: break-all; }
svg { max-width: 100%; height: auto; }
.chart rect { fill: #4a7ab5; } .chart text, .heat text { font: 11px sans-serif; fill: #444; }
.heat text.in { font-size: 9px; } .heat text.dark { fill: #fff; }
.note { color: #555; } a { color: #1a55a0; }
@media (max-width: 600px) {
  table.students, table.students tbody { display: block; }
  table.students tr:first-child { display: none; }
  table.students tr { display: block; border-bottom: 1px solid #ddd; padding: .3em 0; }
  table.students td { display: inline-block; border: 0; padding: .1em .4em; }
  table.students td:first-child { display: block; font-weight: 600; }
  table.students td[data-label]::before { content: attr(data-label) " "; color: #777; }
  table.students td.notes { display: block; min-width: 0; }
}
)";

constexpr int totalsWidth = 640;
constexpr int totalsHeight = 180;
constexpr int smallSpreadWidth = 120;
constexpr int smallSpreadHeight = 28;

std::string cell(const std::string& html, bool numeric = false)
{
    return numeric ? "<td class=\"n\">" + html + "</td>" : "<td>" + html + "</td>";
}

std::string code(std::string_view text)
{
    return "<code>" + htmlText(text) + "</code>";
}

std::string plural(std::uint64_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

void appendTests(Output& out, const ClassSummary& summary, const std::vector<Test>& tests)
{
    put(out, "<h2>Tests</h2>\n<div class=\"wide\"><table>\n<tr><th>test</th><th>number</th><th>out of</th>"
             "<th>graded</th><th>not graded</th><th>mean</th><th>median</th><th>lowest</th><th>highest</th>"
             "<th>full marks</th><th>spread</th></tr>\n");
    for (std::size_t t = 0; t < tests.size(); ++t) {
        const TestStats& stats = summary.tests[t].stats;
        bool any = stats.graded > 0;
        put(out, "<tr>" + cell(htmlText(tests[t].name)) + cell(std::to_string(tests[t].number), true) +
                     cell(std::to_string(tests[t].lineCount), true) + cell(std::to_string(stats.graded), true) +
                     cell(std::to_string(stats.notGraded), true) + cell(any ? pointsText(stats.mean) : "", true) +
                     cell(any ? pointsText(stats.median) : "", true) +
                     cell(any ? std::to_string(stats.lowest) : "", true) +
                     cell(any ? std::to_string(stats.highest) : "", true) +
                     cell(std::to_string(stats.fullMarks), true) +
                     cell(spreadChart(stats.spread, tests[t].lineCount, smallSpreadWidth, smallSpreadHeight, false)) +
                     "</tr>\n");
    }
    put(out, "</table></div>\n");
}

void appendMissed(Output& out, const ClassSummary& summary, const std::vector<Test>& tests)
{
    put(out, "<h2>Where points were lost</h2>\n<p class=\"note\">A cell for each line of each test's reference, "
             "the darker the more graded students were wrong there; the number in it is that share, in per "
             "cent.</p>\n");
    put(out, heatMap(summary, tests) + "\n");
    put(out, "<h3>The lines most often wrong</h3>\n<div class=\"wide\"><table>\n<tr><th>test</th><th>line</th>"
             "<th>reference</th><th>wrong</th><th>most common wrong lines</th></tr>\n");
    for (std::size_t t = 0; t < tests.size(); ++t)
        for (const MissedLine& line : summary.tests[t].missed) {
            std::string common;
            for (const CommonWrongLine& wrong : line.common)
                common += std::to_string(wrong.count) + " \u00d7 " + code(wrong.text) + "<br>";
            put(out, "<tr>" + cell(htmlText(tests[t].name)) + cell(std::to_string(line.position + 1), true) +
                         cell(code(referenceLine(tests[t], line.position))) +
                         cell(std::to_string(line.wrong) + " of " + std::to_string(summary.tests[t].stats.graded),
                              true) +
                         cell(common) + "</tr>\n");
        }
    put(out, "</table></div>\n");
}

void appendKinds(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                 const std::vector<Student>& students)
{
    put(out, "<h2>What was found</h2>\n");
    if (summary.kinds.empty()) {
        put(out, "<p>Nothing: every file graded was right, or lost points for no cause that can be named.</p>\n");
        return;
    }
    put(out, "<p class=\"note\">Each kind of cause found in students' files, and why files were not graded, by the "
             "students it hit; each student's own are in the notes beside their scores, below.</p>\n"
             "<div class=\"wide\"><table>\n<tr><th>what was found</th><th>students</th><th>files</th>"
             "<th>tests</th></tr>\n");
    for (const WordedKind& worded : wordedKinds(summary, students)) {
        const FindingCount& kind = *worded.count;
        std::string names;
        for (std::uint32_t t : kind.tests)
            names += (names.empty() ? "" : ", ") + htmlText(tests[t].name);
        put(out, "<tr>" + cell(htmlText(worded.text)) + cell(std::to_string(kind.students), true) +
                     cell(std::to_string(kind.files), true) + cell(names) + "</tr>\n");
    }
    put(out, "</table></div>\n");
}

std::string chanceText(const ClassSummary& summary)
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2g", summary.copyThreshold.rate);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.2g", summary.copyThreshold.expectedHonest);
    std::uint64_t students = summary.studentsGraded;
    return "The threshold comes from the class: of its " +
           std::to_string(students * (students > 0 ? students - 1 : 0) / 2) + " pairs of graded students, a given "
           "one shares a rare piece by chance with probability " + std::string(rate) + ", so that at " +
           std::to_string(summary.copyThreshold.pieces) + " pieces chance alone would list about " + expected +
           " pairs.";
}

// ", or 2 that no other student holds", where fewer of those list a pair.
std::string ownText(const ClassSummary& summary)
{
    std::uint32_t own = summary.copyThreshold.ownPieces;
    std::string text = own < summary.copyThreshold.pieces ? ", or " + std::to_string(own) + " that no other student holds" : "";
    if (std::any_of(summary.pairs.begin(), summary.pairs.end(), [](const SuspectedPair& p) { return p.whole != UINT32_MAX; }))
        text += ", or 2 hand edits that are all one student made on the tests they share one on, where chance seldom "
                "makes that";
    return text;
}

std::string namesCell(const SuspectedPair& pair, const std::vector<Student>& students)
{
    std::vector<std::uint32_t> names = pair.members;
    if (names.empty())
        names = {pair.first, pair.second};
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + htmlText(students[names[i]].name);
    return cell(text);
}

void appendPairTable(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                     const std::vector<Student>& students, bool apart)
{
    put(out, "<div class=\"wide\"><table>\n<tr><th>students</th><th>pieces</th><th>what they share</th></tr>\n");
    for (const SuspectedPair& pair : summary.pairs)
        if (pair.apart == apart)
            put(out, "<tr>" + namesCell(pair, students) + cell(std::to_string(pair.pieces), true) +
                         cell(htmlText(sharedText(pair, tests, students))) + "</tr>\n");
    put(out, "</table></div>\n");
}

void appendPairs(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                 const std::vector<Student>& students)
{
    put(out, "<h2>Suspected copying</h2>\n<p class=\"note\">Pairs and groups to look at, not verdicts: students "
             "who share more than independent work explains, counted in facts. The set of mistakes a student's "
             "assembler makes (the causes found, but how a file was saved or printed) is one piece of evidence, "
             "however many lines it explains and on however many tests; so is an unusual order of lines; and so "
             "is each wrong line that is left once those causes are undone (a hand edit, a typo), compared by "
             "its fields whatever its blanks and line ends. What more than a few students share is a common bug, "
             "and counts for nothing. A pair is listed when it shares " +
                 std::to_string(summary.copyThreshold.pieces) +
                 " pieces or more" + ownText(summary) + ", and students every two of whom are listed are one group. " +
                 chanceText(summary) +
                 "</p>\n");
    bool anyApart = std::any_of(summary.pairs.begin(), summary.pairs.end(), [](const SuspectedPair& p) { return p.apart; });
    if (summary.pairs.empty() || summary.pairs.front().apart)
        put(out, "<p>No pair.</p>\n");
    else
        appendPairTable(out, summary, tests, students, false);
    if (!anyApart)
        return;
    put(out, "<h3>Sharing a set of assembler mistakes that no other student has</h3>\n<p class=\"note\">No "
             "reading of outputs tells two students whose assemblers make the same rare mistakes from a copy; "
             "these pairs share little else.</p>\n");
    appendPairTable(out, summary, tests, students, true);
}

void appendStudents(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                    const std::string& reportsLink)
{
    put(out, "<h2>Students</h2>\n");
    if (!reportsLink.empty())
        put(out, "<p class=\"note\">Each score links to its report.</p>\n");
    put(out, "<div class=\"wide\"><table class=\"students\">\n<tr><th>student</th>");
    for (const Test& test : tests)
        put(out, "<th>" + htmlText(test.name) + "</th>");
    put(out, "<th>total</th><th>notes</th></tr>\n");
    std::vector<std::string> testLabels;
    for (const Test& test : tests)
        testLabels.push_back(htmlText(test.name));
    std::string row;
    for (const Student& student : students) {
        row = "<tr><td>";
        appendHtml(row, student.name);
        row += "</td>";
        bool linked = !reportsLink.empty() && !student.reportFolder.empty();
        std::string folderLink = reportsLink + percentEncoded(student.reportFolder) + "/";
        for (std::size_t t = 0; t < tests.size(); ++t) {
            std::string score = std::to_string(student.results[t].score);
            // On a narrow screen each score stands with its test's name.
            row += "<td class=\"n\" data-label=\"" + testLabels[t] + "\">";
            if (linked && student.results[t].reportError == 0)
                row += "<a href=\"" + folderLink + percentEncoded(tests[t].name + ".txt") + "\">" + score + "</a>";
            else
                row += score;
            row += "</td>";
        }
        row += "<td class=\"n\" data-label=\"total\">" + std::to_string(totalOf(student)) + "</td><td class=\"notes\">";
        appendHtml(row, notesOf(tests, student));
        row += "</td></tr>\n";
        put(out, row);
    }
    put(out, "</table></div>\n");
}

}  // namespace

bool reportsLinkFrom(const std::string& pagePath, const std::string& reportsDir, std::string& link)
{
    std::string pageFolder = resolvedPath(folderOf(pagePath));
    std::string reports = resolvedPath(reportsDir);
    if (pageFolder.empty() || reports.empty())
        return false;
    std::vector<std::string_view> from = componentsOf(pageFolder);
    std::vector<std::string_view> to = componentsOf(reports);
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common])
        ++common;
    link.clear();
    for (std::size_t i = common; i < from.size(); ++i)
        link += "../";
    for (std::size_t i = common; i < to.size(); ++i)
        link += percentEncoded(to[i]) + "/";
    if (link.empty())
        link = "./";
    return true;
}

std::string runDate(const char* sourceDateEpoch)
{
    std::time_t when = std::time(nullptr);
    if (sourceDateEpoch != nullptr && *sourceDateEpoch != '\0') {
        char* end = nullptr;
        errno = 0;
        long long seconds = std::strtoll(sourceDateEpoch, &end, 10);
        if (errno == 0 && *end == '\0' && seconds >= 0)
            when = static_cast<std::time_t>(seconds);
    }
    std::tm parts{};
    char text[32] = "";
    if (gmtime_r(&when, &parts) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}

void writeClassPage(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                    const std::vector<Student>& students, const PageHeading& heading)
{
    std::string title = htmlText(heading.title.empty() ? std::string("Class results") : heading.title);
    put(out, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
             "style-src 'unsafe-inline'\">\n<title>" +
                 title + ", " + heading.date + "</title>\n<style>");
    put(out, pageStyle);
    put(out, "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n");
    put(out, "<p>Graded on " + heading.date + ": " + plural(students.size(), "student", "students") + ", " +
                 plural(tests.size(), "test", "tests") + "; " + plural(summary.graded, "file", "files") +
                 " graded, " + std::to_string(summary.notGraded) + " not graded.</p>\n");
    put(out, "<h2>Total scores, out of " + std::to_string(summary.possible) + "</h2>\n<p class=\"note\">How many "
             "students have each total; the number above each bar is that count.</p>\n");
    put(out, spreadChart(summary.totals, summary.possible, totalsWidth, totalsHeight, true) + "\n");
    appendTests(out, summary, tests);
    appendMissed(out, summary, tests);
    appendKinds(out, summary, tests, students);
    appendPairs(out, summary, tests, students);
    appendStudents(out, tests, students, heading.reportsLink);
    put(out, "</body>\n</html>\n");
}
