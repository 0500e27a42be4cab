#include "class/outputs/gradebook.h"

#include "class/outputs/csv.h"
#include "io/visible_text.h"
#include "class/outputs/wording.h"

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

// How text from students is written: as it is, or made safe for a
// terminal; in a column a person reads, never as a formula.
struct Naming {
    bool forTerminal;
    bool utf8;
    std::string raw(std::string_view text) const { return forTerminal ? visibleText(text, utf8) : std::string(text); }
    std::string read(std::string_view text) const { return guardedText(raw(text)); }
};

std::uint64_t possibleOf(const std::vector<Test>& tests)
{
    std::uint64_t possible = 0;
    for (const Test& test : tests)
        possible += test.lineCount;
    return possible;
}

void plainGradebook(const std::vector<Test>& tests, const std::vector<Student>& students, const Naming& naming,
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
    for (const Test& test : tests)
        outOf.number(test.lineCount);
    outOf.number(possibleOf(tests));
    outOf.field("");
    outOf.end();

    for (const Student& student : students) {
        Row row(out);
        row.field(naming.read(student.name));
        for (const TestResult& result : student.results)
            row.number(result.score);
        row.number(totalOf(student));
        row.field(naming.read(notesOf(tests, student)));
        row.end();
    }
}

// Canvas matches a row to a student by ID, its user id, where the download
// gave one; else by SIS Login ID, the folder's name.  With an assignment's
// title, the one column it fills holds the total.
void canvasGradebook(const std::vector<Test>& tests, const std::vector<Student>& students,
                     const GradebookShape& shape, const Naming& naming, Output& out)
{
    bool oneColumn = !shape.assignment.empty();
    Row header(out);
    for (std::string_view column : {"Student", "ID", "SIS User ID", "SIS Login ID", "Section"})
        header.field(column);
    if (oneColumn)
        header.field(shape.assignment);
    else
        for (const Test& test : tests)
            header.field(test.name);
    header.end();

    Row possible(out);
    possible.field("Points Possible");
    for (int column = 0; column < 4; ++column)
        possible.field("");
    if (oneColumn)
        possible.number(possibleOf(tests));
    else
        for (const Test& test : tests)
            possible.number(test.lineCount);
    possible.end();

    for (const Student& student : students) {
        Row row(out);
        row.field(naming.read(student.name));
        bool canvasIds = shape.layout == Layout::canvas;
        row.field(canvasIds ? naming.raw(student.lmsId) : std::string());
        row.field("");
        row.field(canvasIds ? std::string() : naming.raw(student.name));
        row.field("");
        if (oneColumn)
            row.number(totalOf(student));
        else
            for (const TestResult& result : student.results)
                row.number(result.score);
        row.end();
    }
}

// Each test's score, and what was found of it, for a student to read.
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

// Moodle's grading worksheet, as its assignment takes it back: a row names
// its student by participant id, and a row that names none is passed over,
// so there is no out of row.
void moodleGradebook(const std::vector<Test>& tests, const std::vector<Student>& students,
                     const GradebookShape& shape, const Naming& naming, Output& out)
{
    Row header(out);
    for (std::string_view column :
         {"Identifier", "Full name", "Grade", "Maximum Grade", "Last modified (grade)", "Feedback comments"})
        header.field(column);
    header.end();
    std::uint64_t possible = possibleOf(tests);
    for (const Student& student : students) {
        Row row(out);
        bool moodleIds = shape.layout == Layout::moodle && !student.lmsId.empty();
        row.field(moodleIds ? "Participant " + naming.raw(student.lmsId) : std::string());
        row.field(naming.read(student.name));
        row.number(totalOf(student));
        row.number(possible);
        row.field(shape.when);
        row.field(naming.read(feedbackComments(tests, student)));
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
                    const GradebookShape& shape)
{
    Naming naming{shape.forTerminal, shape.utf8};
    switch (shape.format) {
    case GradebookFormat::canvas:
        canvasGradebook(tests, students, shape, naming, out);
        return;
    case GradebookFormat::moodle:
        moodleGradebook(tests, students, shape, naming, out);
        return;
    case GradebookFormat::plain:
        break;
    }
    plainGradebook(tests, students, naming, out);
}
