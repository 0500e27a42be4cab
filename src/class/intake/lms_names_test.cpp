// Names of learning systems' downloads, read back as their systems write
// them.
#include "class/intake/lms_names.h"

#include <gtest/gtest.h>

TEST(CanvasName, SplitsTheNameOffByTheIdsNotByTheLastUnderscore)
{
    CanvasName read;
    ASSERT_TRUE(readCanvasName("ada_12346_900001_t1.sym", read));
    EXPECT_EQ(read.name, "ada");
    EXPECT_EQ(read.userId, "12346");
    EXPECT_EQ(read.attachmentId, "900001");
    EXPECT_EQ(read.fileName, "t1.sym");
    EXPECT_FALSE(read.late);
    ASSERT_TRUE(readCanvasName("brook_LATE_12347_900003_my_lab_t1 (1).sym", read));
    EXPECT_EQ(read.name, "brook");
    EXPECT_TRUE(read.late);
    EXPECT_EQ(read.fileName, "my_lab_t1 (1).sym");
    ASSERT_TRUE(readCanvasName("o_brien_late_5_6_t1-1.sym", read));
    EXPECT_EQ(read.name, "o_brien");
    EXPECT_TRUE(read.late);
    EXPECT_EQ(read.fileName, "t1-1.sym");
}

TEST(CanvasName, ReadsAnonymousGradingAndTextEntries)
{
    CanvasName read;
    ASSERT_TRUE(readCanvasName("LATE_anon_xQ8zk_900007_t2.sym", read));
    EXPECT_EQ(read.name, "anon");
    EXPECT_EQ(read.userId, "xQ8zk");
    EXPECT_TRUE(read.late);
    EXPECT_EQ(read.fileName, "t2.sym");
    ASSERT_TRUE(readCanvasName("chen_12348_text.html", read));
    EXPECT_TRUE(isCanvasText(read));
    EXPECT_EQ(read.userId, "12348");
    ASSERT_TRUE(readCanvasName("chen_LATE_12348_link.html", read));
    EXPECT_TRUE(isCanvasText(read));
}

TEST(CanvasName, RefusesWhatCanvasDoesNotWrite)
{
    CanvasName read;
    for (const char* name : {"t1.sym", "ada_t1.sym", "ada_12_t1.sym", "_12_34_t1.sym", "ada_12_34_", "ada__12_34_t1.sym"})
        EXPECT_FALSE(readCanvasName(name, read)) << name;
}

TEST(MoodleName, ReadsFoldersOfEitherAgeAndFlatFiles)
{
    MoodleName read;
    ASSERT_TRUE(readMoodleFolder("Pat O'Brien_123456_assignsubmission_file", read));
    EXPECT_EQ(read.fullName, "Pat O'Brien");
    EXPECT_EQ(read.participantId, "123456");
    EXPECT_EQ(read.plugin, "file");
    ASSERT_TRUE(readMoodleFolder("Ada_Lovelace_7_assignsubmission_file_", read));
    EXPECT_EQ(read.fullName, "Ada_Lovelace");
    EXPECT_EQ(read.participantId, "7");
    ASSERT_TRUE(readMoodleFolder("Participant_42_assignsubmission_onlinetext", read));
    EXPECT_EQ(read.plugin, "onlinetext");
    ASSERT_TRUE(readMoodleFile("Pat O'Brien_123456_assignsubmission_file_t1 (1).sym", read));
    EXPECT_EQ(read.fileName, "t1 (1).sym");
    EXPECT_EQ(read.plugin, "file");
}

TEST(MoodleName, RefusesWhatMoodleDoesNotWrite)
{
    MoodleName read;
    for (const char* name : {"Pat_assignsubmission_file", "_12_assignsubmission_file", "Pat_x1_assignsubmission_file",
                             "Pat_12_assignsubmission_", "Pat_12_assignsubmission_file_t1.sym"})
        EXPECT_FALSE(readMoodleFolder(name, read)) << name;
    EXPECT_FALSE(readMoodleFile("Pat_12_assignsubmission_file", read));
    EXPECT_FALSE(readMoodleFile("Pat_12_assignsubmission_file_", read));
}

namespace {

// Each entry of a download as read beside the others: "name user attachment
// file", or "-" for none.
std::vector<std::string> readTogether(const std::vector<std::string_view>& entries)
{
    std::map<std::size_t, CanvasName> together = readCanvasDownload(entries);
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CanvasName read;
        if (auto found = together.find(i); found != together.end())
            read = found->second;
        else if (!readCanvasName(entries[i], read)) {
            shown.push_back("-");
            continue;
        }
        shown.push_back(read.name + " " + read.userId + " " + read.attachmentId + " " + read.fileName);
    }
    return shown;
}

}  // namespace

TEST(CanvasDownload, AStudentsEntriesShareTheirNameAndUserIdAndNoAttachmentIdIsTwoEntries)
{
    // Read alone, each is user 7 with attachment 12342.
    EXPECT_EQ(readTogether({"team_7_12342_900011_t1.sym", "team_7_12342_900012_t2.sym"}),
              (std::vector<std::string>{"team_7 12342 900011 t1.sym", "team_7 12342 900012 t2.sym"}));
}

TEST(CanvasDownload, ATextEntryShowsWhoIsThere)
{
    EXPECT_EQ(readTogether({"lab_2_31_text.html", "lab_2_31_44_t1.sym"}),
              (std::vector<std::string>{"lab_2 31  text.html", "lab_2 31 44 t1.sym"}));
}

TEST(CanvasDownload, IdsRunAsLongAsTheRestOfTheDownloads)
{
    EXPECT_EQ(readTogether({"ada_12342_900011_t1.sym", "bo_12343_900021_t1.sym", "grp_5_12348_900071_t1.sym"})[2],
              "grp_5 12348 900071 t1.sym");
    // A file name that starts with digits stays the student's.
    EXPECT_EQ(readTogether({"ada_12342_900011_t1.sym", "kim_12345_900041_1_2_t1.sym"})[1],
              "kim 12345 900041 1_2_t1.sym");
}

TEST(CanvasDownload, WhereNothingTellsTheLongestNameIsTakenTheOtherKeptAndTheUnreadAreNone)
{
    std::vector<std::string_view> entries{"mo_12_34_56_t1.sym", "notes.txt", "anon_Fg5H6_900001_t1.sym"};
    EXPECT_EQ(readTogether(entries), (std::vector<std::string>{"mo_12 34 56 t1.sym", "-", "anon Fg5H6 900001 t1.sym"}));
    CanvasName read = readCanvasDownload(entries).at(0);
    EXPECT_EQ(read.otherName, "mo");
    EXPECT_EQ(read.otherUserId, "12");
}

TEST(CanvasDownload, ANameThatHoldsAnothersIdsNeverMakesTheirFileIts)
{
    // 12342 is the victim's, named so by entries that split one way only.
    std::vector<std::string_view> entries{"victim_12342_900011_t1.sym", "aaa_12342_1_13000_900099_t2.sym",
                                          "lee_12343_900021_t1.sym"};
    EXPECT_EQ(readTogether(entries)[1], "aaa_12342_1 13000 900099 t2.sym");
    EXPECT_TRUE(readCanvasDownload(entries).at(1).otherUserId.empty());
    // Alone, nothing tells: the name that holds the ids takes the file.
    EXPECT_EQ(readTogether({"aaa_12342_1_13000_900099_t2.sym"})[0], "aaa_12342_1 13000 900099 t2.sym");
    // Two entries share attachment id 1 where the ids would be the victim's.
    EXPECT_EQ(readTogether({"aaa_12342_1_13000_900099_t2.sym", "aaa_12342_1_13000_900098_t1.sym"})[0],
              "aaa_12342_1 13000 900099 t2.sym");
}

TEST(CanvasDownload, AnonIsANameWhereAnyoneIsNamed)
{
    std::vector<std::string> read = readTogether(
        {"anon_LATE_12342_900011_t1.sym", "anon_12343_900021_t1.sym", "lee_12344_900031_t1.sym"});
    EXPECT_EQ(read, (std::vector<std::string>{"anon 12342 900011 t1.sym", "anon 12343 900021 t1.sym",
                                              "lee 12344 900031 t1.sym"}));
    std::map<std::size_t, CanvasName> together =
        readCanvasDownload({"anon_LATE_12342_900011_t1.sym", "anon_12343_900021_t1.sym"});
    EXPECT_FALSE(together.at(1).anonymous);
    CanvasName alone;
    ASSERT_TRUE(readCanvasName("anon_LATE_12342_900011_t1.sym", alone));
    EXPECT_FALSE(alone.anonymous);
    EXPECT_TRUE(alone.late);
    // A download of anonymous ids alone, a text among them, stays one.
    together = readCanvasDownload({"anon_40017_900031_t1.sym", "LATE_anon_12aYq_900021_t1.sym",
                                   "anon_40017_text.html"});
    EXPECT_FALSE(together.contains(0));
}

TEST(CanvasName, ReadAsAKnownStudentsSplitsWhereTheirNameAndIdAre)
{
    CanvasName read;
    ASSERT_TRUE(readCanvasNameAs("team_7_12342_900011_t1.sym", "team_7", "12342", read));
    EXPECT_EQ(read.attachmentId, "900011");
    EXPECT_EQ(read.fileName, "t1.sym");
    EXPECT_FALSE(readCanvasNameAs("team_7_12342_900011_t1.sym", "team", "99", read));
}

TEST(CanvasName, AnAnonymousEntryIsKnownAsOne)
{
    CanvasName read;
    ASSERT_TRUE(readCanvasName("anon_12aYq_900007_t2.sym", read));
    EXPECT_TRUE(read.anonymous);
    ASSERT_TRUE(readCanvasName("ada_12_900007_t2.sym", read));
    EXPECT_FALSE(read.anonymous);
}

TEST(CanvasDownload, LateIsNeverPartOfAName)
{
    std::map<std::size_t, CanvasName> together = readCanvasDownload({"mo_LATE_12346_900051_t1.sym"});
    EXPECT_TRUE(together.empty());  // it splits one way only
}
