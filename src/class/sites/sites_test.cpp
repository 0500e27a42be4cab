// The table of course sites: every row whole, every name told apart, and
// what each row says where a student's feedback goes and whose ids its
// gradebook writes.
#include "class/sites/site.h"

#include "class/outputs/file_names.h"
#include "io/output.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

TEST(CourseSites, EveryRowHasEveryPart)
{
    for (const CourseSite* site : courseSites()) {
        SCOPED_TRACE(site->names.name);
        EXPECT_FALSE(site->names.name.empty());
        EXPECT_NE(site->names.place, nullptr);
        EXPECT_FALSE(site->ignoredWhy.empty());
        EXPECT_NE(site->found.find("SOURCE"), std::string_view::npos);
        EXPECT_NE(site->feedbackPath, nullptr);
        EXPECT_FALSE(site->gradebook.format.empty());
        // A gradebook is of the run's making, or the site's export filled.
        EXPECT_NE(site->gradebook.write == nullptr, site->gradebook.exportNeeded.empty());
        EXPECT_TRUE(site->gradebook.write != nullptr || site->gradebook.fill != nullptr);
        // A site recognised by its names is one a download comes from, and
        // the usage names it.
        EXPECT_EQ(site->names.recognised, !site->shownName.empty());
    }
}

TEST(CourseSites, NamesAreUniqueAndTheFirstRowIsTheDefault)
{
    std::set<std::string_view> layouts{"auto"};
    std::set<std::string_view> formats{"gradescope", "prairielearn"};
    std::size_t unrecognised = 0;
    for (const CourseSite* site : courseSites()) {
        EXPECT_TRUE(layouts.insert(site->names.name).second) << site->names.name;
        EXPECT_TRUE(formats.insert(site->gradebook.format).second) << site->gradebook.format;
        unrecognised += site->names.recognised ? 0 : 1;
        EXPECT_EQ(siteNamed(site->names.name), site);
        EXPECT_EQ(siteWithGradebook(site->gradebook.format), site);
    }
    // The layout left where no site's names are found, and the plain gradebook.
    EXPECT_EQ(unrecognised, 1u);
    EXPECT_FALSE(courseSites().front()->names.recognised);
    EXPECT_EQ(courseSites().front()->gradebook.format, "csv");
    EXPECT_EQ(siteNamed("auto"), nullptr);
}

TEST(CourseSites, FoundWordsSayFolderOrArchive)
{
    EXPECT_EQ(foundWords(*siteNamed("folders"), true), "SUBMISSIONS is an archive of a folder for each student");
    EXPECT_EQ(foundWords(*siteNamed("canvas"), false),
              "SUBMISSIONS is Canvas's download, as a folder: each student's files named with their user id");
    EXPECT_EQ(listed({"a", "b", "c"}, " or "), "a, b or c");
    EXPECT_EQ(listed({"a"}, " and "), "a");
}

TEST(FeedbackPath, IsWhereEachSiteTakesFeedbackBack)
{
    Student ada;
    ada.name = "o_brien";
    ada.lmsId = "12346";
    // Canvas attaches feedback to a file the student handed in: none, none.
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(ada), "");
    ada.flatFiles.push_back(FlatFile{"o_brien_12346_text.html", "text.html", ""});
    ada.flatFiles.push_back(FlatFile{"o_brien_12346_900001_t1.sym", "t1.sym", "900001"});
    // Canvas reads ids from the first all-digit parts: the name keeps no "_".
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(ada), "obrien_12346_900001_feedback.txt");
    ada.name = "2024";
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(ada), "student2024_12346_900001_feedback.txt");
    // A namesake's feedback keeps the name the site gave them.
    ada.name = "2024 (12346)";
    ada.namesake = true;
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(ada), "student2024_12346_900001_feedback.txt");
    // An anonymous student's is named as the download names them.
    ada.anonymous = true;
    ada.lmsId = "12aYq";
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(ada), "anon_12aYq_900001_feedback.txt");

    Student pat;
    pat.name = "Pat O_Brien";
    pat.lmsId = "501";
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(pat), "Pat O Brien_501_assignsubmission_file/feedback.txt");
    pat.folders = {"Pat O_Brien_501_assignsubmission_onlinetext_", "Pat O_Brien_501_assignsubmission_file_"};
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(pat), "Pat O_Brien_501_assignsubmission_file/feedback.txt");

    Student dot;
    dot.name = "..";
    EXPECT_EQ(siteNamed("folders")->feedbackPath(dot), "._/feedback.txt");

    // A name too long for a file system is shortened; Moodle's id and
    // plugin after it are kept whole, Canvas's ids too.
    Student longName;
    longName.name = std::string(300, 'm');
    longName.lmsId = "502";
    std::string moodle = siteNamed("moodle")->feedbackPath(longName);
    EXPECT_LE(moodle.find('/'), longestNamePart);
    EXPECT_TRUE(moodle.ends_with("_502_assignsubmission_file/feedback.txt")) << moodle;
    longName.folders = {std::string(300, 'm') + "_502_assignsubmission_file"};
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(longName), moodle);
    longName.flatFiles.push_back(FlatFile{});
    longName.flatFiles.back().attachmentId = "900011";
    std::string canvas = siteNamed("canvas")->feedbackPath(longName);
    EXPECT_LE(canvas.size(), 255u);
    EXPECT_TRUE(canvas.ends_with("_502_900011_feedback.txt")) << canvas;
}

// A team assignment's download puts the students in no team under one name
// with no number, a folder or, with folders off, files: one student, whose
// number is none.
TEST(MoodleNames, TheStudentsInNoTeamAreOne)
{
    auto place = siteNamed("moodle")->names.place;
    for (std::string_view folder : {"Default group_assignsubmission_file", "Default group_assignsubmission_file_"}) {
        Placed placed = place(TopEntry{folder, true});
        EXPECT_TRUE(placed.theirs) << folder;
        EXPECT_EQ(placed.name, "Default group");
        EXPECT_EQ(placed.siteId, "");
    }
    Placed flat = place(TopEntry{"Default group_assignsubmission_file_t1.sym", false});
    EXPECT_TRUE(flat.theirs);
    EXPECT_EQ(flat.fileName, "t1.sym");
    EXPECT_FALSE(place(TopEntry{"Default group_assignsubmission_file_", false}).theirs);
    EXPECT_FALSE(place(TopEntry{"Default group_assignsubmission_filex", true}).theirs);
    Placed team = place(TopEntry{"Red team_7_assignsubmission_file", true});
    EXPECT_EQ(team.siteId, "7");
    Student noTeam;
    noTeam.name = "Default group";
    noTeam.folders = {"Default group_assignsubmission_file"};
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(noTeam), "");
}

namespace {

// The gradebook a site writes, as text.
std::string gradebookOf(const CourseSite& site, bool siteIds)
{
    std::vector<Test> tests(1);
    tests[0].name = "t1.sym";
    tests[0].lineCount = 4;
    std::vector<Student> students(1);
    students[0].name = "ada";
    students[0].lmsId = "12346";
    students[0].hasFolder = true;
    students[0].results.resize(1);
    students[0].results[0].state = FileState::graded;
    students[0].results[0].score = 3;
    std::string text;
    auto out = std::make_unique<Output>();
    out->kept = &text;
    site.gradebook.write(*out, tests, students, GradebookShape{siteIds, {}, "2026-12-09 14:05", false, true});
    flushOutput(*out);
    return text;
}

}  // namespace

TEST(SiteGradebook, WritesTheSitesIdsOnlyWhereTheStudentsCameFromIt)
{
    EXPECT_NE(gradebookOf(*siteNamed("canvas"), true).find("ada,12346,,,"), std::string::npos);
    // Another site's student: their name there is no Canvas login.
    EXPECT_NE(gradebookOf(*siteNamed("canvas"), false).find("ada,,,,"), std::string::npos);
    EXPECT_NE(gradebookOf(*siteNamed("moodle"), true).find("Participant 12346,ada,3,4"), std::string::npos);
    EXPECT_NE(gradebookOf(*siteNamed("moodle"), false).find("\r\n,ada,3,4"), std::string::npos);
    EXPECT_EQ(gradebookOf(*siteNamed("folders"), true), "student,t1.sym,total,notes\r\nout of,4,4,\r\nada,3,3,\r\n");
}

TEST(SiteGradebook, AnAnonymousIdIsNoUserId)
{
    std::vector<::Test> tests(1);
    std::vector<Student> students(1);
    students[0].name = "anon";
    students[0].lmsId = "12aYq";
    students[0].anonymous = true;
    students[0].results.resize(1);
    std::string text;
    auto out = std::make_unique<Output>();
    out->kept = &text;
    siteNamed("canvas")->gradebook.write(*out, tests, students, GradebookShape{true, {}, "", false, true});
    flushOutput(*out);
    EXPECT_NE(text.find("\r\nanon,,,,,0"), std::string::npos) << text;
}

TEST(GradebookMisfit, AGradebookFitsItsOwnSitesDownloadAndThePlainOneFitsAny)
{
    const CourseSite& folders = *siteNamed("folders");
    const CourseSite& canvas = *siteNamed("canvas");
    const CourseSite& moodle = *siteNamed("moodle");
    for (const CourseSite* layout : {&folders, &canvas, &moodle})
        EXPECT_EQ(gradebookMisfit(folders, *layout, true), "");
    EXPECT_EQ(gradebookMisfit(canvas, canvas, false), "");
    EXPECT_EQ(gradebookMisfit(moodle, moodle, true), "");
    // Canvas finds a folder's student by login, the folder's name.
    EXPECT_EQ(gradebookMisfit(canvas, folders, false), "");
    EXPECT_NE(gradebookMisfit(moodle, canvas, false).find("use --format canvas"), std::string::npos);
    EXPECT_NE(gradebookMisfit(canvas, moodle, false).find("use --format moodle"), std::string::npos);
    EXPECT_NE(gradebookMisfit(moodle, folders, false).find("--into FILE"), std::string::npos);
    EXPECT_NE(gradebookMisfit(canvas, canvas, true).find("SpeedGrader"), std::string::npos);
}
