// The layout read from the names at SUBMISSIONS's top, and the students
// the entries make, with the sites as the table holds them.
#include "class/intake/layout.h"

#include "class/sites/site.h"

#include <gtest/gtest.h>

namespace {

std::size_t siteIndex(std::string_view name)
{
    std::vector<const SiteNames*> sites = siteNames();
    for (std::size_t s = 0; s < sites.size(); ++s)
        if (sites[s]->name == name)
            return s;
    ADD_FAILURE() << "no site " << name;
    return 0;
}

std::string_view detected(const std::vector<TopEntry>& entries)
{
    std::vector<const SiteNames*> sites = siteNames();
    return sites[detectLayout(sites, entries)]->name;
}

const SiteNames& site(std::string_view name)
{
    return *siteNames()[siteIndex(name)];
}

}  // namespace

TEST(DetectLayout, ReadsEachSiteFromItsNames)
{
    EXPECT_EQ(detected({{"ada_12346_900001_t1.sym", false}, {"bo_12347_900002_t1.sym", false}}), "canvas");
    EXPECT_EQ(detected({{"Ada King_501_assignsubmission_file", true}, {"Bo Li_502_assignsubmission_file_", true}}),
              "moodle");
    // Moodle with its folders setting off lays the files out flat.
    EXPECT_EQ(detected({{"Ada King_501_assignsubmission_file_t1.sym", false}}), "moodle");
    EXPECT_EQ(detected({{"ada", true}, {"bo", true}, {"notes.txt", false}}), "folders");
    // Nothing at all is a class with no student yet, in folders.
    EXPECT_EQ(detected({}), "folders");
}

TEST(DetectLayout, TakesASiteOnlyWhereMostOfAKindAreItsNames)
{
    // A student folder named as Canvas names files is still a folder.
    EXPECT_EQ(detected({{"ada_12346_900001_t1.sym", true}, {"bo", true}}), "folders");
    // One Canvas name among plain files: half is not most.
    EXPECT_EQ(detected({{"ada_12346_900001_t1.sym", false}, {"readme.txt", false}}), "folders");
    EXPECT_EQ(detected({{"ada_12346_900001_t1.sym", false},
                        {"bo_12347_900002_t1.sym", false},
                        {"readme.txt", false}}),
              "canvas");
    // Most folders are plain students': a stray Moodle folder is one of them.
    EXPECT_EQ(detected({{"ada", true}, {"bo", true}, {"Cy Lo_503_assignsubmission_file", true}}), "folders");
}

TEST(DetectLayout, MixedTopsGoToTheSiteThatNamesMore)
{
    std::vector<TopEntry> canvasMost{{"ada_12346_900001_t1.sym", false},
                                     {"bo_12347_900002_t1.sym", false},
                                     {"Cy Lo_503_assignsubmission_file", true}};
    EXPECT_EQ(detected(canvasMost), "canvas");
    std::vector<TopEntry> moodleMost{{"ada_12346_900001_t1.sym", false},
                                     {"Cy Lo_503_assignsubmission_file", true},
                                     {"Di Ng_504_assignsubmission_file", true}};
    EXPECT_EQ(detected(moodleMost), "moodle");
    // On a tie the site listed first is taken.
    std::vector<TopEntry> tie{{"ada_12346_900001_t1.sym", false}, {"Cy Lo_503_assignsubmission_file", true}};
    EXPECT_EQ(detected(tie), "canvas");
}

TEST(StudentsOf, GathersASitesEntriesByItsIdForTheStudent)
{
    std::vector<std::string> ignored;
    std::vector<Student> students = studentsOf(site("canvas"),
                                               {{"bo_12347_900002_t1.sym", false},
                                                {"ada_12346_900001_t1.sym", false},
                                                {"ada_LATE_12346_900003_t2.sym", false},
                                                {"ada_12346_text.html", false},
                                                {"ada", true},
                                                {"readme.txt", false}},
                                               ignored);
    ASSERT_EQ(students.size(), 2u);
    EXPECT_EQ(students[0].name, "ada");
    EXPECT_EQ(students[0].lmsId, "12346");
    // A text handed in is the student's, but no file of theirs.
    ASSERT_EQ(students[0].flatFiles.size(), 2u);
    EXPECT_EQ(students[0].flatFiles[0].fileName, "t1.sym");
    EXPECT_EQ(students[0].flatFiles[0].attachmentId, "900001");
    EXPECT_EQ(students[0].flatFiles[1].fileName, "t2.sym");
    EXPECT_TRUE(students[0].hasFolder);
    EXPECT_EQ(students[1].name, "bo");
    EXPECT_EQ(ignored, (std::vector<std::string>{"ada", "readme.txt"}));
}

TEST(StudentsOf, KeepsNamesakesApartAndFoldersOfOneStudentTogether)
{
    std::vector<std::string> ignored;
    std::vector<std::uint32_t> owners;
    std::vector<Student> students = studentsOf(site("moodle"),
                                               {{"Ann Lee_602_assignsubmission_file", true},
                                                {"Ann Lee_601_assignsubmission_onlinetext_", true},
                                                {"Ann Lee_601_assignsubmission_file_", true},
                                                {"stray", true}},
                                               ignored, &owners);
    ASSERT_EQ(students.size(), 2u);
    // Namesakes in the order of their ids, whatever the download's order.
    EXPECT_EQ(students[0].lmsId, "601");
    EXPECT_EQ(students[0].folders.size(), 2u);
    EXPECT_EQ(students[1].lmsId, "602");
    EXPECT_EQ(owners, (std::vector<std::uint32_t>{1, 0, 0, noOwner}));
    EXPECT_EQ(ignored, (std::vector<std::string>{"stray"}));
}

TEST(StudentsOf, AFolderPerStudentHasNoSiteIdAndFilesAreNoOnes)
{
    std::vector<std::string> ignored;
    std::vector<Student> students =
        studentsOf(site("folders"), {{"ada_12346_900001_t1.sym", false}, {"bo", true}}, ignored);
    ASSERT_EQ(students.size(), 1u);
    EXPECT_EQ(students[0].name, "bo");
    EXPECT_TRUE(students[0].lmsId.empty());
    EXPECT_EQ(students[0].folders, (std::vector<std::string>{"bo"}));
    EXPECT_EQ(ignored, (std::vector<std::string>{"ada_12346_900001_t1.sym"}));
}

TEST(StudentsOf, AnOlderSubmissionIsNoOnesAndItsFilesReachNoOne)
{
    std::vector<std::string> ignored;
    std::vector<std::uint32_t> owners;
    std::vector<OlderSubmission> older;
    std::vector<Student> students = studentsOf(site("brightspace"),
                                               {{"1-2 - Ada Lovelace - Dec 2, 2026 100 AM", true},
                                                {"1-1 - Ada Lovelace - Dec 1, 2026 100 AM", true},
                                                {"index.html", false}},
                                               ignored, &owners, nullptr, &older);
    ASSERT_EQ(students.size(), 1u);
    EXPECT_EQ(students[0].folders, (std::vector<std::string>{"1-2 - Ada Lovelace - Dec 2, 2026 100 AM"}));
    EXPECT_EQ(owners, (std::vector<std::uint32_t>{0, noOwner, noOwner}));
    ASSERT_EQ(older.size(), 1u);
    EXPECT_EQ(older[0].entry, "1-1 - Ada Lovelace - Dec 1, 2026 100 AM");
    EXPECT_EQ(older[0].name, "Ada Lovelace");
    EXPECT_EQ(older[0].newest, "1-2 - Ada Lovelace - Dec 2, 2026 100 AM");
    // The download's own listing is no one's, and passed over without a word.
    EXPECT_TRUE(ignored.empty());
    EXPECT_EQ(detected({{"1-1 - Ada Lovelace - Dec 1, 2026 100 AM", true}, {"index.html", false}}), "brightspace");
}

TEST(FlatFileName, IsTheStudentsOwnNameOnlyForASitesFile)
{
    Student ada;
    ada.name = "ada";
    ada.lmsId = "12346";
    EXPECT_EQ(flatFileName(site("canvas"), "ada_12346_900001_my_t1.sym", ada), "my_t1.sym");
    EXPECT_EQ(flatFileName(site("canvas"), "ada_12346_text.html", ada), "");
    EXPECT_EQ(flatFileName(site("moodle"), "Ada King_501_assignsubmission_file_t1.sym", Student{}), "t1.sym");
    EXPECT_EQ(flatFileName(site("moodle"), "Ada King_501_assignsubmission_onlinetext_x.html", Student{}), "");
    EXPECT_EQ(flatFileName(site("folders"), "t1.sym", Student{}), "");
    // Whose the entry is settles how its name splits.
    Student team;
    team.name = "team_7";
    team.lmsId = "12342";
    EXPECT_EQ(flatFileName(site("canvas"), "team_7_12342_900011_2_t1.sym", team), "2_t1.sym");
}

TEST(NamesOneStudent, OnlyAFolderASiteNamesAsAStudents)
{
    std::vector<const SiteNames*> sites = siteNames();
    EXPECT_TRUE(namesOneStudent(sites, "Ada King_501_assignsubmission_file"));
    // Any plain folder reads as a student's in folders: that is no sign.
    EXPECT_FALSE(namesOneStudent(sites, "class"));
    EXPECT_FALSE(namesOneStudent(sites, "ada_12346_900001_t1.sym"));
}

TEST(Layout, WhatOneFolderHoldsReadsAsAClassOrAsOneStudent)
{
    std::vector<const SiteNames*> sites = siteNames();
    EXPECT_TRUE(readsAsClass(sites, {{"ada", true}, {"bo", true}}));
    EXPECT_TRUE(readsAsClass(sites, {{"ada_12_901_t1.sym", false}, {"bo_13_902_t1.sym", false}}));
    EXPECT_TRUE(readsAsClass(sites, {{"Ann Lee_42_assignsubmission_file_t1.sym", false}}));
    EXPECT_FALSE(readsAsClass(sites, {{"t1.sym", false}, {"t2.sym", false}}));
    EXPECT_FALSE(readsAsClass(sites, {{"t1.sym", false}, {"drafts", true}}));
    EXPECT_FALSE(readsAsClass(sites, {}));
}
