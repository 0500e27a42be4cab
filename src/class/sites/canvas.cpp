// Canvas: "Download Submissions" lays every file out flat, named with the
// student's user id and the file's attachment id; "Re-upload submissions"
// takes feedback named so back; its gradebook import matches students by
// user id.
#include "class/sites/site.h"

#include "class/intake/lms_names.h"
#include "class/model/ascii_case.h"
#include "class/outputs/feedback.h"
#include "io/visible_text.h"

#include <algorithm>

namespace {

constexpr std::string_view pointsPossible = "Points Possible";

bool isRubySpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The assignment id of a column titled as Canvas's import takes an existing
// assignment's, `/\A(.*)\s\((\d+)\)\z/`: one blank before the
// parenthesis, and no line break in the title; empty where it is not.
std::string titledId(std::string_view title)
{
    std::size_t open = title.rfind('(');
    if (title.size() < 4 || title.back() != ')' || open == std::string_view::npos || open < 1)
        return {};
    std::string_view id = title.substr(open + 1, title.size() - open - 2);
    bool lineBreak = title.substr(0, open - 1).find('\n') != std::string_view::npos;
    if (!allDigits(id) || !isRubySpace(title[open - 1]) || lineBreak)
        return {};
    return std::string(id);
}

bool canvasAssignmentTitled(std::string_view title, std::string& problem)
{
    if (!titledId(title).empty())
        return true;
    problem = "--assignment is a title Canvas's import takes for a new assignment: an existing one's column is "
              "titled \"Title (id)\", one blank before the parenthesis, as \"Lab 3 (1234)\"";
    return false;
}

// Ruby's to_i, as Canvas reads the ID column: the digits after any blanks
// and a sign, none where there are none ("12aYq" is 12, "Fg5H6" is 0).
std::string userIdOf(std::string_view cell)
{
    std::size_t at = cell.find_first_not_of(" \t\r\n\f\v");
    if (at == std::string_view::npos)
        return {};
    if (cell[at] == '+')
        ++at;
    std::size_t end = at;
    while (end < cell.size() && cell[end] >= '0' && cell[end] <= '9')
        ++end;
    std::string_view digits = cell.substr(at, end - at);
    std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string() : std::string(digits.substr(first));
}

bool isCanvasExport(const CsvFile& file)
{
    if (file.records.empty() || file.records.front().cells.size() < 4)
        return false;
    return cellValue(file, 0, 0).find("Student") != std::string::npos &&
           cellValue(file, 0, 1).find("ID") != std::string::npos;
}

std::size_t columnNamed(const CsvFile& file, std::string_view name)
{
    const std::vector<CsvCell>& header = file.records.front().cells;
    for (std::size_t c = 0; c < header.size(); ++c)
        if (cellValue(file, header[c]) == name)
            return c;
    return SIZE_MAX;
}

// "Last, First" as "First Last" too, so that either form of a name matches.
std::vector<std::string> canvasNames(const std::string& sortable)
{
    std::size_t comma = sortable.find(", ");
    if (comma == std::string::npos)
        return {sortable};
    return {sortable, sortable.substr(comma + 2) + " " + sortable.substr(0, comma)};
}

bool isPointsPossible(const CsvFile& file, std::size_t record)
{
    return cellValue(file, record, 0).find(pointsPossible) != std::string::npos;
}

// The column of the assignment --assignment names, by its id; or, in
// `problem`, why there is none.
std::size_t assignmentColumn(const FillRequest& request, std::string& problem)
{
    const CsvFile& file = request.file;
    std::string wanted =
        allDigits(request.assignment) ? std::string(request.assignment) : titledId(request.assignment);
    std::vector<std::string> found;
    const std::vector<CsvCell>& header = file.records.front().cells;
    for (std::size_t c = 0; c < header.size(); ++c) {
        std::string title = cellValue(file, header[c]);
        std::string id = titledId(title);
        if (id.empty())
            continue;
        if (!wanted.empty() && id == wanted)
            return c;
        found.push_back(shownQuoted(title, request.utf8));
    }
    std::string list;
    for (std::size_t i = 0; i < found.size(); ++i)
        list += (i == 0 ? "" : ", ") + found[i];
    std::string columns = found.empty() ? "it has no assignment's column" : "its assignments' columns: " + list;
    if (request.assignment.empty())
        problem = "--into " + request.shownFile + " needs --assignment, the id or \"Title (id)\" of the column to "
                  "fill; " + columns;
    else if (wanted.empty())
        problem = "--assignment names no assignment's id (\"Title (id)\", or the id alone); " + request.shownFile +
                  ": " + columns;
    else
        problem = request.shownFile + " has no column of assignment " + wanted + "; " + columns;
    return SIZE_MAX;
}

// What the export says of the column: its points possible, in hundredths
// (0 where it says none), and the number form its grades share.
struct ColumnPoints {
    std::uint64_t maximum = 0;
    NumberForm form;
};

// The rows that name a student, and the column's points possible; false,
// with `problem` said, where those are not the tests' total.
bool readCanvasRows(const FillRequest& request, std::size_t column, std::vector<ExportRow>& rows,
                    ColumnPoints& points, std::string& problem)
{
    const CsvFile& file = request.file;
    std::size_t idColumn = columnNamed(file, "ID");
    std::size_t loginColumn = columnNamed(file, "SIS Login ID");
    for (std::size_t r = 1; r < file.records.size(); ++r) {
        if (isPointsPossible(file, r)) {
            std::string cell = cellValue(file, r, column);
            points.form = numberFormOf(cell);
            if (!readHundredths(cell, points.maximum)) {
                points.maximum = 0;
                continue;
            }
            std::string title = visibleText(cellValue(file, 0, column), request.utf8);
            problem = maximumProblem(request, "the points possible of \"" + title + "\" in " + request.shownFile,
                                     points.maximum);
            if (!problem.empty())
                return false;
            continue;
        }
        std::string student = cellValue(file, r, 0);
        std::string id = idColumn == SIZE_MAX ? std::string() : cellValue(file, r, idColumn);
        // A row that names no one, as the line Canvas adds under the points
        // possible, is no student's.
        if (student.empty() && id.empty())
            continue;
        std::string login = loginColumn == SIZE_MAX ? std::string() : cellValue(file, r, loginColumn);
        rows.push_back(ExportRow{r, userIdOf(id), login, {}, canvasNames(student), {}});
    }
    return true;
}

void fillCanvasExport(const FillRequest& request, Filled& filled)
{
    std::size_t column = assignmentColumn(request, filled.problem);
    std::vector<ExportRow> rows;
    ColumnPoints points;
    if (column == SIZE_MAX || !readCanvasRows(request, column, rows, points, filled.problem))
        return;
    RowMatches matches = matchRows(request.students, request.siteIds, rows);
    filled.warnings = matchWarnings(request, rows, matches);
    std::uint64_t possible = possibleOf(request.tests);
    std::uint64_t scaleTo = points.maximum == possible * 100 ? 0 : points.maximum;
    std::vector<CellEdit> edits;
    for (std::size_t s = 0; s < request.students.size(); ++s)
        for (std::size_t r : matches.rowsOf[s])
            edits.push_back(CellEdit{rows[r].record, column,
                                     gradeText(totalOf(request.students[s]), possible, scaleTo, points.form)});
    filled.text = withEdits(request.file, std::move(edits));
}

Placed placedAs(const CanvasName& canvas)
{
    // An anonymous id is no user id, and may be some other student's read
    // as one: the key keeps the two apart.
    std::string key = canvas.anonymous ? "anon_" + canvas.userId : canvas.userId;
    return Placed{true, key, canvas.name, canvas.userId, false, isCanvasText(canvas), canvas.fileName,
                  canvas.attachmentId, canvas.anonymous, canvas.otherName, canvas.otherUserId};
}

Placed placeCanvasFile(const TopEntry& entry)
{
    CanvasName canvas;
    if (entry.folder || !readCanvasName(entry.name, canvas))
        return {};
    return placedAs(canvas);
}

// The files are read together, since one name alone may split more than
// one way.
std::map<std::size_t, Placed> placeCanvasFiles(const std::vector<TopEntry>& entries)
{
    std::vector<std::string_view> files;
    for (const TopEntry& entry : entries)
        files.push_back(entry.folder ? std::string_view() : entry.name);
    std::map<std::size_t, Placed> placed;
    for (const auto& [entry, canvas] : readCanvasDownload(files))
        placed.emplace(entry, placedAs(canvas));
    return placed;
}

std::string canvasFileName(std::string_view entry, const Student& owner)
{
    CanvasName canvas;
    if (!readCanvasNameAs(entry, owner.name, owner.lmsId, canvas) && !readCanvasName(entry, canvas))
        return {};
    return isCanvasText(canvas) ? std::string() : canvas.fileName;
}

// Canvas reads the first two all-digit parts between underscores as the
// user id and the attachment id, but after a first part "anon" the next two
// as an anonymous id and an attachment id: the name before them holds no
// underscore, and is never empty, all digits or "anon" (a student's name).
std::string canvasNamePart(std::string_view name)
{
    std::string kept = safePart(name);
    std::erase(kept, '_');
    return kept.empty() || allDigits(kept) || equalIgnoringCase(kept, "anon") ? "student" + kept : kept;
}

// Each name keeps the student's user id and one of their attachments' ids:
// a student who handed in no file has nothing to attach feedback to.  An
// anonymous student's is named as the download names them, which Canvas
// reads back as theirs.
std::string canvasFeedbackPath(const Student& student)
{
    for (const FlatFile& file : student.flatFiles) {
        if (file.attachmentId.empty())
            continue;
        std::string who = student.anonymous ? "anon" : canvasNamePart(siteName(student));
        return who + "_" + safePart(student.lmsId) + "_" + safePart(file.attachmentId) + "_feedback.txt";
    }
    return {};
}

// What SIS Login ID holds where the students' ids are not Canvas's: a
// folder's name, which an instructor names by login, guarded as any text a
// person reads is (no login starts as a formula does); but nothing where
// another site's download named the student (the name they chose), which
// no login is, and Canvas matches the row by its Student column instead.
std::string sisLoginCell(const Student& student, const Naming& naming)
{
    return student.lmsId.empty() ? naming.read(student.name) : std::string();
}

// Canvas matches a row to a student by ID, its user id, where the download
// gave one; else by SIS Login ID, the folder's name.  With an assignment's
// title, the one column it fills holds the total.
void canvasGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                     const GradebookShape& shape)
{
    Naming naming{shape.forTerminal, shape.utf8};
    bool oneColumn = !shape.assignment.empty();
    GradebookRow header(out);
    for (std::string_view column : {"Student", "ID", "SIS User ID", "SIS Login ID", "Section"})
        header.field(column);
    if (oneColumn)
        header.field(shape.assignment);
    else
        for (const Test& test : tests)
            header.field(test.name);
    header.end();

    GradebookRow possible(out);
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
        GradebookRow row(out);
        row.field(naming.read(student.name));
        row.field(shape.siteIds && !student.anonymous ? naming.raw(student.lmsId) : std::string());
        row.field("");
        row.field(shape.siteIds ? std::string() : sisLoginCell(student, naming));
        row.field("");
        if (oneColumn)
            row.number(totalOf(student));
        else
            for (const TestResult& result : student.results)
                row.number(result.score);
        row.end();
    }
}

}  // namespace

extern constinit const CourseSite canvasSite{
    .names = {.name = "canvas", .recognised = true, .place = placeCanvasFile, .placeTogether = placeCanvasFiles,
              .fileNameOf = canvasFileName},
    .shownName = "Canvas",
    .ignoredWhy = " is not named as Canvas names a student's file: ignored",
    .found = "SUBMISSIONS is Canvas's download, as SOURCE: each student's files named with their user id",
    .foundOfFolder = true,
    .feedbackPath = canvasFeedbackPath,
    .gradebook = {.format = "canvas", .gloss = {}, .write = canvasGradebook,
                  .assignmentColumnIn = "Canvas's gradebook", .assignmentTitled = canvasAssignmentTitled,
                  .exportName = "Canvas's gradebook export", .isExport = isCanvasExport, .fill = fillCanvasExport,
                  .ownMakingNote = {}, .matchesBy = "a user id", .namesFolders = true,
                  .anonymousWay = "Enter the grades in SpeedGrader, or download the submissions again once "
                                  "anonymity is off and the grades posted; --feedback's zip goes back as it is"},
};
