#include "gradebook.h"

#include "csv.h"
#include "io/visible_text.h"
#include "wording.h"

namespace {

// RFC 4180 ends each record with a carriage return and a line feed.
constexpr std::string_view recordEnd = "\r\n";

// A record, gathered whole and then written.
struct Row {
    explicit Row(Output& out) : out(out) {}

    Output& out;
    std::string text;
    bool first = true;

    void field(std::string_view value)
    {
        if (!first)
            text += ',';
        first = false;
        appendCsvField(text, value);
    }
    void number(std::uint64_t value) { field(std::to_string(value)); }
    void end()
    {
        text += recordEnd;
        put(out, text);
    }
};

// How a name is written: as it is, or made safe for a terminal; and never
// as a formula.
struct Naming {
    bool forTerminal;
    bool utf8;
    std::string operator()(const Student& student) const
    {
        return guardedText(forTerminal ? visibleText(student.name, utf8) : student.name);
    }
};

void plainGradebook(const std::vector<Test>& tests, const std::vector<Student>& students, Naming shownName,
                    Output& out)
{
    Row header(out);
    header.field("student");
    for (const Test& test : tests)
        header.field(test.name);
    header.field("total");
    header.field("notes");
    header.end();

    Row outOf(out);
    outOf.field("out of");
    std::uint64_t possible = 0;
    for (const Test& test : tests) {
        outOf.number(test.lineCount);
        possible += test.lineCount;
    }
    outOf.number(possible);
    outOf.field("");
    outOf.end();

    for (const Student& student : students) {
        Row row(out);
        row.field(shownName(student));
        for (const TestResult& result : student.results)
            row.number(result.score);
        row.number(totalOf(student));
        row.field(guardedText(notesOf(tests, student)));
        row.end();
    }
}

void canvasGradebook(const std::vector<Test>& tests, const std::vector<Student>& students, Naming shownName,
                     Output& out)
{
    Row header(out);
    for (std::string_view column : {"Student", "ID", "SIS User ID", "SIS Login ID", "Section"})
        header.field(column);
    for (const Test& test : tests)
        header.field(test.name);
    header.end();

    Row possible(out);
    possible.field("Points Possible");
    for (int column = 0; column < 4; ++column)
        possible.field("");
    for (const Test& test : tests)
        possible.number(test.lineCount);
    possible.end();

    for (const Student& student : students) {
        Row row(out);
        std::string name = shownName(student);
        row.field(name);
        row.field("");
        row.field("");
        row.field(name);
        row.field("");
        for (const TestResult& result : student.results)
            row.number(result.score);
        row.end();
    }
}

}  // namespace

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

void writeGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                    GradebookFormat format, bool forTerminal, bool utf8)
{
    Naming naming{forTerminal, utf8};
    if (format == GradebookFormat::canvas)
        canvasGradebook(tests, students, naming, out);
    else
        plainGradebook(tests, students, naming, out);
}
