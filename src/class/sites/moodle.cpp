// Moodle: "Download all submissions" gives a folder per student and kind of
// submission, named with their participant id (or, with folders off, files
// named so); "Upload multiple feedback files in a zip" takes those folders'
// names back; its grading worksheet matches students by participant id.
#include "class/sites/site.h"

#include "class/intake/lms_names.h"
#include "class/outputs/feedback.h"

#include <algorithm>

namespace {

Placed placeMoodleEntry(const TopEntry& entry)
{
    MoodleName moodle;
    if (entry.folder ? !readMoodleFolder(entry.name, moodle) : !readMoodleFile(entry.name, moodle))
        return {};
    return Placed{true, moodle.participantId, moodle.fullName, moodle.participantId, entry.folder,
                  !entry.folder && moodle.plugin != "file", moodle.fileName, {}};
}

// Where Moodle's download put the student's files, which its feedback
// upload reads back.
std::string moodleFeedbackPath(const Student& student)
{
    for (const std::string& folder : student.folders)
        if (folder.find("_assignsubmission_file") != std::string::npos) {
            std::string name = folder;
            if (name.back() == '_')
                name.pop_back();
            return safePart(name) + "/feedback.txt";
        }
    // Moodle ignores what comes before the first underscore: the name must
    // hold none.
    std::string name(siteName(student));
    std::replace(name.begin(), name.end(), '_', ' ');
    return safePart(name + "_" + student.lmsId + "_assignsubmission_file") + "/feedback.txt";
}

// Moodle's grading worksheet, as its assignment takes it back: a row names
// its student by participant id, and a row that names none is passed over,
// so there is no out of row.
void moodleGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                     const GradebookShape& shape)
{
    Naming naming{shape.forTerminal, shape.utf8};
    GradebookRow header(out);
    for (std::string_view column :
         {"Identifier", "Full name", "Grade", "Maximum Grade", "Last modified (grade)", "Feedback comments"})
        header.field(column);
    header.end();
    std::uint64_t possible = possibleOf(tests);
    for (const Student& student : students) {
        GradebookRow row(out);
        bool moodleIds = shape.siteIds && !student.lmsId.empty();
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

extern constinit const CourseSite moodleSite{
    .names = {.name = "moodle", .recognised = true, .place = placeMoodleEntry},
    .shownName = "Moodle",
    .ignoredWhy = " is not named as Moodle names a student's submission: ignored",
    .found = "SUBMISSIONS is Moodle's download, as SOURCE: each student's files named with their participant id",
    .foundOfFolder = true,
    .feedbackPath = moodleFeedbackPath,
    .gradebook = {.format = "moodle", .gloss = "(Moodle's grading worksheet)", .write = moodleGradebook,
                  .assignmentColumnIn = {}, .matchesBy = "a participant id"},
};
