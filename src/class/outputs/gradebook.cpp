#include "class/outputs/gradebook.h"

#include "class/outputs/csv.h"
#include "io/visible_text.h"
#include "class/outputs/wording.h"

namespace {

// RFC 4180 ends each record with a carriage return and a line feed.
constexpr std::string_view recordEnd = "\r\n";

}  // namespace

void GradebookRow::field(std::string_view value)
{
    if (!first)
        text += ',';
    first = false;
    appendCsvField(text, value);
}

void GradebookRow::end()
{
    text += recordEnd;
    put(out, text);
}

std::string Naming::raw(std::string_view text) const
{
    return forTerminal ? visibleText(text, utf8) : std::string(text);
}

std::string Naming::read(std::string_view text) const
{
    return guardedText(raw(text));
}

std::uint64_t possibleOf(const std::vector<Test>& tests)
{
    std::uint64_t possible = 0;
    for (const Test& test : tests)
        possible += test.lineCount;
    return possible;
}

void plainGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                    const GradebookShape& shape)
{
    Naming naming{shape.forTerminal, shape.utf8};
    GradebookRow header(out);
    header.field("student");
    for (const Test& test : tests)
        header.field(test.name);
    header.field("total");
    header.field("notes");
    header.end();

    GradebookRow outOf(out);
    outOf.field("out of");
    for (const Test& test : tests)
        outOf.number(test.lineCount);
    outOf.number(possibleOf(tests));
    outOf.field("");
    outOf.end();

    for (const Student& student : students) {
        GradebookRow row(out);
        row.field(naming.read(student.name));
        for (const TestResult& result : student.results)
            row.number(result.score);
        row.number(totalOf(student));
        row.field(naming.read(notesOf(tests, student)));
        row.end();
    }
}

std::string notesOf(const std::vector<Test>& tests, const Student& student)
{
    if (!student.hasFolder)
        return std::string(reasonOf(FileState::noSubmission));
    if (student.folderOutside)
        return std::string(reasonOf(FileState::folderOutside));
    std::string notes;
    forEachFindingOf(student, [&](std::size_t test, const std::string& text) {
        if (!notes.empty())
            notes += "; ";
        notes += tests[test].name + ": " + text;
    });
    return notes;
}

std::string feedbackComments(const std::vector<Test>& tests, const Student& student)
{
    std::vector<std::string> found(tests.size());
    forEachFindingOf(student, [&](std::size_t test, const std::string& text) {
        found[test] += (found[test].empty() ? "" : "; ") + text;
    });
    std::string comments;
    for (std::size_t t = 0; t < tests.size(); ++t) {
        comments += (t == 0 ? "" : "; ") + tests[t].name + ": " + std::to_string(student.results[t].score) + " / " +
                    std::to_string(tests[t].lineCount);
        if (!found[t].empty())
            comments += " (" + found[t] + ")";
    }
    return comments;
}
