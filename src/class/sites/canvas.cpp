// Canvas: "Download Submissions" lays every file out flat, named with the
// student's user id and the file's attachment id; "Re-upload submissions"
// takes feedback named so back; its gradebook import matches students by
// user id.
#include "class/sites/site.h"

#include "class/intake/lms_names.h"
#include "class/outputs/feedback.h"

#include <algorithm>

namespace {

Placed placedAs(const CanvasName& canvas)
{
    // An anonymous id is no user id, and may be some other student's read
    // as one: the key keeps the two apart.
    std::string key = canvas.anonymous ? "anon_" + canvas.userId : canvas.userId;
    return Placed{true, key, canvas.name, canvas.userId, false, isCanvasText(canvas), canvas.fileName,
                  canvas.attachmentId, canvas.anonymous};
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
    .names = {.name = "canvas", .recognised = true, .place = placeCanvasFile, .placeTogether = placeCanvasFiles,
              .fileNameOf = canvasFileName},
    .shownName = "Canvas",
    .ignoredWhy = " is not named as Canvas names a student's file: ignored",
    .found = "SUBMISSIONS is Canvas's download, as SOURCE: each student's files named with their user id",
    .foundOfFolder = true,
    .feedbackPath = canvasFeedbackPath,
    .gradebook = {.format = "canvas", .gloss = {}, .write = canvasGradebook,
                  .assignmentColumnIn = "Canvas's gradebook", .matchesBy = "a user id", .namesFolders = true,
                  .anonymousWay = "Enter the grades in SpeedGrader, or download the submissions again once "
                                  "anonymity is off and the grades posted; --feedback's zip goes back as it is"},
};
