#include "html_page.h"

#include "charts.h"
#include "html_text.h"
#include "summary_text.h"
#include "wording.h"

#include <climits>
#include <cstdlib>
#include <memory>

namespace {

constexpr const char* pageStyle = R"(
body { font: 15px/1.45 system-ui, sans-serif; margin: 2em auto; max-width: 72em; padding: 0 1em; color: #222; }
h1 { font-size: 1.6em; } h2 { font-size: 1.25em; margin-top: 2em; border-bottom: 1px solid #ddd; }
table { border-collapse: collapse; margin: .5em 0; }
th, td { border: 1px solid #ddd; padding: .25em .6em; text-align: left; vertical-align: top; }
th { background: #f4f4f4; } td.n { text-align: right; font-variant-numeric: tabular-nums; }
code { font: 13px ui-monospace, monospace; white-space: pre-wrap; }
.chart rect { fill: #4a7ab5; } .chart text, .heat text { font: 11px sans-serif; fill: #444; }
.note { color: #555; } a { color: #1a55a0; }
)";

constexpr int totalsWidth = 640;
constexpr int totalsHeight = 160;
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

void appendTests(Output& out, const ClassSummary& summary, const std::vector<Test>& tests)
{
    put(out, "<h2>Tests</h2>\n<table>\n<tr><th>test</th><th>number</th><th>out of</th><th>graded</th>"
           "<th>not graded</th><th>mean</th><th>median</th><th>lowest</th><th>highest</th><th>full marks</th>"
           "<th>spread</th></tr>\n");
    for (std::size_t t = 0; t < tests.size(); ++t) {
        const TestStats& stats = summary.tests[t].stats;
        bool any = stats.graded > 0;
        put(out, "<tr>" + cell(htmlText(tests[t].name)) + cell(std::to_string(tests[t].number), true) +
               cell(std::to_string(tests[t].lineCount), true) + cell(std::to_string(stats.graded), true) +
               cell(std::to_string(stats.notGraded), true) + cell(any ? pointsText(stats.mean) : "", true) +
               cell(any ? pointsText(stats.median) : "", true) + cell(any ? std::to_string(stats.lowest) : "", true) +
               cell(any ? std::to_string(stats.highest) : "", true) + cell(std::to_string(stats.fullMarks), true) +
               cell(spreadChart(stats.spread, tests[t].lineCount, smallSpreadWidth, smallSpreadHeight, false)) +
               "</tr>\n");
    }
    put(out, "</table>\n");
}

void appendMissed(Output& out, const ClassSummary& summary, const std::vector<Test>& tests)
{
    put(out, "<h2>Where points were lost</h2>\n<p class=\"note\">A cell for each line of each test's reference, "
           "the darker the more graded students were wrong there.</p>\n");
    put(out, heatMap(summary, tests) + "\n");
    put(out, "<h3>The lines most often wrong</h3>\n<table>\n<tr><th>test</th><th>line</th><th>reference</th>"
           "<th>wrong</th><th>most common wrong lines</th></tr>\n");
    for (std::size_t t = 0; t < tests.size(); ++t)
        for (const MissedLine& line : summary.tests[t].missed) {
            std::string common;
            for (const CommonWrongLine& wrong : line.common)
                common += std::to_string(wrong.count) + " \u00d7 " + code(wrong.text) + "<br>";
            put(out, "<tr>" + cell(htmlText(tests[t].name)) + cell(std::to_string(line.position + 1), true) +
                   cell(code(referenceLine(tests[t], line.position))) +
                   cell(std::to_string(line.wrong) + " of " + std::to_string(summary.tests[t].stats.graded), true) +
                   cell(common) + "</tr>\n");
        }
    put(out, "</table>\n");
}

void appendDiagnoses(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                     const std::vector<Student>& students)
{
    put(out, "<h2>Diagnostics, and files not graded</h2>\n");
    if (summary.findings == 0) {
        put(out, "<p>None.</p>\n");
        return;
    }
    put(out, "<table>\n<tr><th>student</th><th>test</th><th>what was found</th></tr>\n");
    std::string row;
    for (const Student& student : students)
        forEachFindingOf(student, [&](std::size_t test, const std::string& text) {
            row = "<tr><td>";
            appendHtml(row, student.name);
            row += "</td><td>";
            appendHtml(row, tests[test].name);
            row += "</td><td>";
            appendHtml(row, text);
            row += "</td></tr>\n";
            put(out, row);
        });
    put(out, "</table>\n");
}

void appendPairs(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                 const std::vector<Student>& students)
{
    put(out, "<h2>Suspected copying</h2>\n<p class=\"note\">Pairs to look at, not verdicts: students who share wrong "
           "answers too rare to share by chance. A wrong line that only the two share weighs 1, one that k students "
           "share weighs 1/(k&#8722;1), an identical file that is not fully right the same; what more than a tenth of "
           "the class shares weighs nothing. Pairs whose shared answers weigh 3 or more are listed.</p>\n");
    if (summary.pairs.empty()) {
        put(out, "<p>No pair.</p>\n");
        return;
    }
    put(out, "<table>\n<tr><th>students</th><th>weight</th><th>what they share</th></tr>\n");
    for (const SuspectedPair& pair : summary.pairs)
        put(out, "<tr>" + cell(htmlText(students[pair.first].name) + " and " + htmlText(students[pair.second].name)) +
               cell(std::to_string(pair.pieces), true) + cell(htmlText(sharedText(pair, tests, students))) + "</tr>\n");
    put(out, "</table>\n");
}

void appendStudents(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                    const std::string& reportsLink)
{
    put(out, "<h2>Students</h2>\n<table>\n<tr><th>student</th>");
    for (const Test& test : tests)
        put(out, "<th>" + htmlText(test.name) + "</th>");
    put(out, "<th>total</th></tr>\n");
    std::string row;
    for (const Student& student : students) {
        row = "<tr><td>";
        appendHtml(row, student.name);
        row += "</td>";
        std::string folderLink = reportsLink + percentEncoded(student.name) + "/";
        for (std::size_t t = 0; t < tests.size(); ++t) {
            std::string score = std::to_string(student.results[t].score);
            row += "<td class=\"n\">";
            if (!reportsLink.empty() && student.hasFolder)
                row += "<a href=\"" + folderLink + percentEncoded(tests[t].name + ".txt") + "\">" + score + "</a>";
            else
                row += score;
            row += "</td>";
        }
        row += "<td class=\"n\">" + std::to_string(totalOf(student)) + "</td></tr>\n";
        put(out, row);
    }
    put(out, "</table>\n");
}

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool resolved(const std::string& path, std::string& real)
{
    std::unique_ptr<char, decltype(&std::free)> found(realpath(path.c_str(), nullptr), &std::free);
    if (!found)
        return false;
    real = found.get();
    return true;
}

std::vector<std::string> segmentsOf(const std::string& path)
{
    std::vector<std::string> segments;
    for (std::size_t at = 1; at <= path.size();) {
        std::size_t end = path.find('/', at);
        if (end == std::string::npos)
            end = path.size();
        if (end > at)
            segments.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return segments;
}

}  // namespace

bool reportsLinkFrom(const std::string& pagePath, const std::string& reportsDir, std::string& link)
{
    std::string pageFolder;
    std::string reports;
    if (!resolved(folderOf(pagePath), pageFolder) || !resolved(reportsDir, reports))
        return false;
    std::vector<std::string> from = segmentsOf(pageFolder);
    std::vector<std::string> to = segmentsOf(reports);
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

void writeClassPage(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                    const std::vector<Student>& students, const std::string& reportsLink)
{
    put(out, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
             "style-src 'unsafe-inline'\">\n<title>Class results</title>\n<style>");
    put(out, pageStyle);
    put(out, "</style>\n</head>\n<body>\n<h1>Class results</h1>\n");
    put(out, "<p>" + std::to_string(students.size()) + (students.size() == 1 ? " student, " : " students, ") +
           std::to_string(tests.size()) + (tests.size() == 1 ? " test; " : " tests; ") +
           std::to_string(summary.graded) + (summary.graded == 1 ? " file" : " files") + " graded, " +
           std::to_string(summary.notGraded) + " not graded.</p>\n");
    put(out, "<h2>Total scores, out of " + std::to_string(summary.possible) + "</h2>\n");
    put(out, spreadChart(summary.totals, summary.possible, totalsWidth, totalsHeight, true) + "\n");
    appendTests(out, summary, tests);
    appendMissed(out, summary, tests);
    appendDiagnoses(out, summary, tests, students);
    appendPairs(out, summary, tests, students);
    appendStudents(out, tests, students, reportsLink);
    put(out, "</body>\n</html>\n");
}
