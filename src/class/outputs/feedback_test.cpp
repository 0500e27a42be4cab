// The feedback zip as a course site and an unzipping system take it: each
// student's file where the site looks for it, no name that unzips outside
// its folder, over another's on a case-blind disk, or shows a student's
// control bytes; and the same zip whatever order the workers finish in.
#include "class/outputs/feedback.h"
#include "class/sites/site.h"

#include "io/archive.h"
#include "io/descriptor.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <thread>

namespace {

// GCC 12 warns, wrongly, of overlapping copies in `"s" + std::to_string(n)`.
std::string numbered(std::string_view before, std::size_t number, std::string_view after = {})
{
    return std::string(before).append(std::to_string(number)).append(after);
}

Student named(std::string name, std::string lmsId = {})
{
    Student student;
    student.name = std::move(name);
    student.lmsId = std::move(lmsId);
    student.hasFolder = true;
    return student;
}

std::string folderPath(std::string name)
{
    return siteNamed("folders")->feedbackPath(named(std::move(name)));
}

struct ZipEntry {
    std::string path;
    std::string bytes;
};

// The zip's entries in order, read back as any download is read.
std::vector<ZipEntry> entriesOf(int fd)
{
    std::vector<ZipEntry> entries;
    ArchiveReader reader;
    EXPECT_EQ(openArchive(fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    while (nextEntry(reader) == ArchiveStatus::ok) {
        ZipEntry entry{reader.entry.path, {}};
        EXPECT_EQ(readEntry(reader, 1 << 20, entry.bytes), ArchiveStatus::ok);
        entries.push_back(std::move(entry));
    }
    return entries;
}

// A feedback zip in memory, written to its end.
struct ZipInMemory {
    Descriptor file{memfd_create("feedback", 0)};
    FeedbackZip feedback;
    ZipInMemory() { EXPECT_TRUE(openZipWriter(file.fd, feedback.zip)); }
    std::vector<ZipEntry> finish()
    {
        writeWaitingFeedback(feedback);
        EXPECT_TRUE(closeZipWriter(feedback.zip)) << feedback.zip.message;
        return entriesOf(file.fd);
    }
};

}  // namespace

TEST(Feedback, AFolderPerStudentKeepsEveryNameInsideItsFolder)
{
    EXPECT_EQ(folderPath("ann"), "ann/feedback.txt");
    EXPECT_EQ(folderPath("Jos\xc3\xa9 Mar\xc3\xad" "a"), "Jos\xc3\xa9 Mar\xc3\xad" "a/feedback.txt");
    // Nothing a name holds climbs, hides or splits the path.
    EXPECT_EQ(folderPath("../../etc"), ".._.._etc/feedback.txt");
    EXPECT_EQ(folderPath(".."), "._/feedback.txt");
    EXPECT_EQ(folderPath("."), "_/feedback.txt");
    EXPECT_EQ(folderPath(""), "_/feedback.txt");
    EXPECT_EQ(folderPath("/abs"), "_abs/feedback.txt");
    EXPECT_EQ(folderPath("a\\b:c*d?e\"f<g>h|i"), "a_b_c_d_e_f_g_h_i/feedback.txt");
    EXPECT_EQ(folderPath("esc\x1b[2J\x7f"), "esc_[2J_/feedback.txt");
    EXPECT_EQ(folderPath("new\nline\ttab"), "new_line_tab/feedback.txt");
    // A byte that is no UTF-8, and a character that reverses what follows
    // or is not there at all, each leave one mark.
    EXPECT_EQ(folderPath("bad\xff\xfe"), "bad__/feedback.txt");
    EXPECT_EQ(folderPath("cod\xe2\x80\xae" "exe.txt"), "cod_exe.txt/feedback.txt");
    EXPECT_EQ(folderPath("zero\xe2\x80\x8bwidth\xef\xbb\xbf"), "zero_width_/feedback.txt");
    EXPECT_EQ(folderPath("cut \xc3"), "cut _/feedback.txt");
}

TEST(Feedback, CanvasNamesCarryTheIdsItMatchesBy)
{
    Student student = named("o_brien_pat", "4321");
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(student), "") << "no file handed in to attach it to";
    student.flatFiles.push_back(FlatFile{"obrienpat_4321_text.html", "text.html", ""});
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(student), "") << "a text handed in takes no feedback";
    student.flatFiles.push_back(FlatFile{"obrienpat_4321_998_t1.sym", "t1.sym", "998"});
    student.flatFiles.push_back(FlatFile{"obrienpat_4321_999_t2.sym", "t2.sym", "999"});
    // Canvas reads the first all-digit parts as the ids: the name before
    // them keeps no underscore, and is never itself all digits.
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(student), "obrienpat_4321_998_feedback.txt");
    student.name = "2024_007";
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(student), "student2024007_4321_998_feedback.txt");
    student.name = "";
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(student), "student_4321_998_feedback.txt");
    student.name = "a/b";
    EXPECT_EQ(siteNamed("canvas")->feedbackPath(student), "ab_4321_998_feedback.txt");
}

TEST(Feedback, MoodleGetsBackTheFolderItsDownloadMade)
{
    Student student = named("Ann_Lee", "1234567");
    student.folders = {"Ann_Lee_1234567_assignsubmission_onlinetext_", "Ann_Lee_1234567_assignsubmission_file_"};
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(student), "Ann_Lee_1234567_assignsubmission_file/feedback.txt");
    student.folders = {"Ann_Lee_1234567_assignsubmission_file"};
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(student), "Ann_Lee_1234567_assignsubmission_file/feedback.txt");
    // Files laid out flat: the folder is made, and Moodle, which ignores
    // what comes before the first underscore, must find the id after it.
    student.folders.clear();
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(student), "Ann Lee_1234567_assignsubmission_file/feedback.txt");
    student.name = "a/b\\c";
    EXPECT_EQ(siteNamed("moodle")->feedbackPath(student), "a_b_c_1234567_assignsubmission_file/feedback.txt");
}

TEST(Feedback, NamesThatOneDiskWouldTakeForOneAreToldApart)
{
    ZipInMemory zip;
    std::vector<std::string> paths{"ann/feedback.txt", "Ann/feedback.txt", "ANN/feedback.txt", "ann_2/feedback.txt",
                                   "Jos\xc3\xa9/feedback.txt", "Jose\xcc\x81/feedback.txt",
                                   "x_1_2_feedback.txt", "X_1_2_FEEDBACK.TXT"};
    for (std::size_t s = 0; s < paths.size(); ++s)
        addFeedback(zip.feedback, s, paths[s], numbered("feedback ", s));
    std::vector<ZipEntry> entries = zip.finish();
    std::vector<std::string> written;
    for (const ZipEntry& entry : entries)
        written.push_back(entry.path);
    // The reader gives every name composed, as a Mac's disk would see them:
    // the decomposed José is told apart all the same.
    EXPECT_EQ(written, (std::vector<std::string>{"ann/feedback.txt", "Ann_2/feedback.txt", "ANN_3/feedback.txt",
                                                 "ann_2_2/feedback.txt", "Jos\xc3\xa9/feedback.txt",
                                                 "Jos\xc3\xa9_2/feedback.txt", "x_1_2_feedback.txt",
                                                 "X_1_2_FEEDBACK_2.TXT"}));
    ASSERT_EQ(entries.size(), paths.size());
    for (std::size_t s = 0; s < entries.size(); ++s)
        EXPECT_EQ(entries[s].bytes, numbered("feedback ", s));
    EXPECT_EQ(zip.feedback.renamed,
              (std::vector<std::pair<std::size_t, std::string>>{{1, "Ann_2/feedback.txt"},
                                                                {2, "ANN_3/feedback.txt"},
                                                                {3, "ann_2_2/feedback.txt"},
                                                                {5, "Jose\xcc\x81_2/feedback.txt"},
                                                                {7, "X_1_2_FEEDBACK_2.TXT"}}));
    EXPECT_TRUE(zip.feedback.skipped.empty());
}

TEST(Feedback, AStudentTheZipCannotTakeIsSkippedNotTheClass)
{
    ZipInMemory zip;
    addFeedback(zip.feedback, 2, "ok/feedback.txt", "2");
    addFeedback(zip.feedback, 0, "", "0");
    addFeedback(zip.feedback, 1, "../out/feedback.txt", "1");
    addFeedback(zip.feedback, 3, "bad\xff/feedback.txt", "3");
    addFeedback(zip.feedback, 4, "last/feedback.txt", "4");
    std::vector<ZipEntry> entries = zip.finish();
    EXPECT_FALSE(zip.feedback.failed);
    EXPECT_EQ(zip.feedback.skipped, (std::vector<std::size_t>{0, 1, 3}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "ok/feedback.txt");
    EXPECT_EQ(entries[1].path, "last/feedback.txt");
}

TEST(Feedback, TheZipIsTheSameWhateverOrderWorkersFinishIn)
{
    constexpr std::size_t students = 300;
    constexpr std::size_t workers = 4;
    ZipInMemory zip;
    std::vector<std::thread> threads;
    // Each worker finishes its students last first, so that most wait for
    // one another's and some wait past what may be held.
    for (std::size_t w = 0; w < workers; ++w)
        threads.emplace_back([&, w] {
            for (std::size_t s = students; s-- > 0;)
                if (s % workers == w)
                    addFeedback(zip.feedback, s, numbered("s", s, "/feedback.txt"), std::to_string(s));
        });
    for (std::thread& thread : threads)
        thread.join();
    std::vector<ZipEntry> entries = zip.finish();
    ASSERT_EQ(entries.size(), students);
    for (std::size_t s = 0; s < students; ++s) {
        EXPECT_EQ(entries[s].path, numbered("s", s, "/feedback.txt"));
        EXPECT_EQ(entries[s].bytes, std::to_string(s));
    }
    EXPECT_TRUE(zip.feedback.waiting.empty());
}

TEST(Feedback, TextShowsAStudentsBytesAndStartsNoLineOfTheirs)
{
    std::vector<::Test> tests(2);
    tests[0].name = "t1.sym";
    tests[0].lineCount = 3;
    tests[1].name = "t2.sym";
    tests[1].lineCount = 2;
    Student student = named("new\nline \x1b[2J");
    student.results.resize(2);
    student.results[0].state = FileState::graded;
    student.results[0].score = 2;
    student.results[1].state = FileState::missing;
    student.notes.push_back(FileNote{0, NoteKind::sameFile, "one file with\rsomeone"});
    std::string text = feedbackText(tests, student, {"Checking: 0000 A\r\n", "t2.sym: missing\n"});
    EXPECT_EQ(text, "Feedback for new\\nline \\x1b[2J\n\n"
                    "t1.sym: 2 / 3\n  one file with\\rsomeone\n"
                    "t2.sym: 0 / 2\n  missing\n"
                    "\nTotal: 2 / 5\n"
                    "\n--- t1.sym ---\nChecking: 0000 A\\r\n"
                    "\n--- t2.sym ---\nt2.sym: missing\n");
}

TEST(Feedback, SaysWhatToFixOnceWithEveryTestThatShowsIt)
{
    std::vector<::Test> tests(3);
    for (std::size_t t = 0; t < tests.size(); ++t) {
        tests[t].name = numbered("t", t + 1, ".sym");
        tests[t].lineCount = 4;
    }
    Student student = named("ann");
    student.results.resize(3);
    for (TestResult& result : student.results)
        result.state = FileState::graded;
    Diagnosis swapped{.cause = Cause::swappedColumns, .amount = 4};
    Diagnosis offset{.cause = Cause::addressOffset, .amount = 2, .value = 3};
    student.results[0].diagnoses = {swapped, offset};
    student.results[2].diagnoses = {swapped};
    FoundMistake resw{.mistake = StatementMistake::reswAsBytes, .statements = 2};
    auto words = std::make_shared<const std::string>("RESW");
    student.results[1].mistakes.push_back(NamedMistake{resw, words});
    student.results[2].mistakes.push_back(NamedMistake{resw, words});
    std::string text = feedbackText(tests, student, {});
    // The assembler's mistake before what the files alone show; an offset
    // says nothing of what to change, and a fix shown by two tests is one.
    std::size_t fixes = text.find("What to fix in your assembler:\n");
    ASSERT_NE(fixes, std::string::npos);
    EXPECT_EQ(text.substr(fixes), "What to fix in your assembler:\n"
                                  "  reserve 3 bytes for each word of `RESW n` (t2.sym, t3.sym)\n"
                                  "  print the address first, then the label (t1.sym, t3.sym)\n");

    Student right = named("bo");
    right.results.resize(3);
    right.results[0].diagnoses = {offset};
    EXPECT_EQ(feedbackText(tests, right, {}).find("What to fix"), std::string::npos);
}
