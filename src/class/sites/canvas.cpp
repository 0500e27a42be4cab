// Canvas: "Download Submissions" lays every file out flat, named with the
// student's user id and the file's attachment id; "Re-upload submissions"
// takes feedback named so back; its gradebook import matches students by
// user id.
#include "class/sites/site.h"

#include "class/intake/lms_names.h"
#include "class/outputs/feedback.h"

#include <algorithm>

namespace {

Placed placeCanvasFile(const TopEntry& entry)
{
    CanvasName canvas;
    if (entry.folder || !readCanvasName(entry.name, canvas))
        return {};
    return Placed{true, canvas.userId, canvas.name, canvas.userId, false, isCanvasText(canvas), canvas.fileName,
                  canvas.attachmentId};
}

// Canvas reads the first two all-digit parts between underscores as the
// user id and the attachment id: the name before them holds no underscore,
// and is never all digits.
std::string canvasNamePart(std::string_view name)
{
    std::string kept = safePart(name);
    std::erase(kept, '_');
    bool allDigits = std::all_of(kept.begin(), kept.end(), [](char c) { return c >= '0' && c <= '9'; });
    return allDigits ? "student" + kept : kept;
}

// Each name keeps the student's user id and one of their attachments' ids:
// a student who handed in no file has nothing to attach feedback to.
std::string canvasFeedbackPath(const Student& student)
{
    for (const FlatFile& file : student.flatFiles)
        if (!file.attachmentId.empty())
            return canvasNamePart(student.name) + "_" + safePart(student.lmsId) + "_" + safePart(file.attachmentId) +
                   "_feedback.txt";
    return {};
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
        row.field(shape.siteIds ? naming.raw(student.lmsId) : std::string());
        row.field("");
        row.field(shape.siteIds ? std::string() : naming.raw(student.name));
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
    .names = {.name = "canvas", .recognised = true, .place = placeCanvasFile},
    .shownName = "Canvas",
    .ignoredWhy = " is not named as Canvas names a student's file: ignored",
    .found = "SUBMISSIONS is Canvas's download, as SOURCE: each student's files named with their user id",
    .foundOfFolder = true,
    .feedbackPath = canvasFeedbackPath,
    .gradebook = {.format = "canvas", .gloss = {}, .write = canvasGradebook,
                  .assignmentColumnIn = "Canvas's gradebook"},
};
