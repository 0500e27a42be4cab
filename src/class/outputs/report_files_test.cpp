// Report files and folders as a run that is not the first finds them: a
// report made new and one written over are both the new report alone, what
// is not a plain file of the student's is never written, and a folder made
// in this run is no second student's.
#include "class/outputs/report_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ScratchFolder {
    std::string path;
    ScratchFolder()
    {
        std::string pattern = (std::getenv("TMPDIR") != nullptr ? std::string(std::getenv("TMPDIR")) : "/tmp") +
                              "/labelgrade-reports-XXXXXX";
        path = mkdtemp(pattern.data()) != nullptr ? pattern : "";
    }
    ~ScratchFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
};

Test testNamed(std::string name)
{
    Test test;
    test.name = std::move(name);
    return test;
}

Student named(std::string name)
{
    Student student;
    student.name = std::move(name);
    student.hasFolder = true;
    return student;
}

std::string contents(const std::string& path)
{
    std::string text;
    Descriptor file(open(path.c_str(), O_RDONLY));
    char buffer[256];
    for (ssize_t got; file.fd >= 0 && (got = read(file.fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

void writeFile(const std::string& path, std::string_view text)
{
    Descriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    ASSERT_EQ(write(file.fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

struct Reports {
    ScratchFolder scratch;
    ReportFolders folders;
    Descriptor root;

    Reports()
    {
        std::string error;
        EXPECT_TRUE(openReportsRoot(scratch.path + "/reports", true, folders, root, error)) << error;
    }
    std::string path(std::string_view name) const { return folders.rootPath + "/" + std::string(name); }
};

TEST(ReportFiles, ANewReportAndOneWrittenOverHoldOnlyWhatIsWrittenNow)
{
    Reports reports;
    ASSERT_EQ(mkdir(reports.path("ann").c_str(), 0755), 0);
    writeFile(reports.path("ann/t2.sym.txt"), "a longer report from an earlier run\n");
    Descriptor folder(open(reports.path("ann").c_str(), O_RDONLY | O_DIRECTORY));
    for (const char* name : {"t1.sym", "t2.sym"}) {
        Descriptor report = openReportFile(reports.folders, folder.fd, testNamed(name));
        ASSERT_GE(report.fd, 0) << name;
        ASSERT_EQ(write(report.fd, "new\n", 4), 4);
    }
    EXPECT_EQ(contents(reports.path("ann/t1.sym.txt")), "new\n");
    EXPECT_EQ(contents(reports.path("ann/t2.sym.txt")), "new\n");
}

TEST(ReportFiles, NoReportGoesThroughALinkAFifoOrAnotherOutput)
{
    Reports reports;
    ASSERT_EQ(mkdir(reports.path("ann").c_str(), 0755), 0);
    writeFile(reports.scratch.path + "/elsewhere.txt", "kept\n");
    ASSERT_EQ(symlink("../../elsewhere.txt", reports.path("ann/link.sym.txt").c_str()), 0);
    ASSERT_EQ(symlink("../../nowhere.txt", reports.path("ann/dangling.sym.txt").c_str()), 0);
    ASSERT_EQ(mkfifo(reports.path("ann/fifo.sym.txt").c_str(), 0644), 0);
    writeFile(reports.path("ann/page.sym.txt"), "the page\n");
    struct stat page;
    ASSERT_EQ(stat(reports.path("ann/page.sym.txt").c_str(), &page), 0);
    reports.folders.outputs.push_back(FileId{page.st_dev, page.st_ino});
    Descriptor folder(open(reports.path("ann").c_str(), O_RDONLY | O_DIRECTORY));
    for (const char* name : {"link.sym", "dangling.sym", "fifo.sym", "page.sym"})
        EXPECT_LT(openReportFile(reports.folders, folder.fd, testNamed(name)).fd, 0) << name;
    EXPECT_EQ(contents(reports.scratch.path + "/elsewhere.txt"), "kept\n");
    EXPECT_EQ(access((reports.scratch.path + "/nowhere.txt").c_str(), F_OK), -1);
    EXPECT_EQ(contents(reports.path("ann/page.sym.txt")), "the page\n");
    EXPECT_LT(openReportFile(reports.folders, -1, testNamed("t1.sym")).fd, 0);
}

TEST(ReportFolders, AFolderMadeInThisRunIsOneStudentsAndAnEarlierRunsIsTakenAgain)
{
    Reports reports;
    // From an earlier run: ann's folder, and a file where bob's would go.
    ASSERT_EQ(mkdir(reports.path("ann").c_str(), 0755), 0);
    writeFile(reports.path("bob"), "not a folder\n");
    std::vector<Student> students{named("ann"), named("ann"), named("bob"), named("cy"), named("cy")};
    std::vector<std::string> notices, troubles;
    chooseReportFolders(reports.folders, {}, students, notices, troubles);
    std::vector<std::string> chosen;
    for (const Student& student : students)
        chosen.push_back(student.reportFolder);
    EXPECT_EQ(chosen, (std::vector<std::string>{"ann", "ann (2)", "bob (2)", "cy", "cy (2)"}));
    EXPECT_TRUE(troubles.empty());
    EXPECT_EQ(notices.size(), 3u);
    struct stat info;
    for (const std::string& folder : chosen)
        EXPECT_TRUE(stat(reports.path(folder).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) << folder;
}

TEST(ReportFolders, NoStudentTakesAFolderTheRunReads)
{
    Reports reports;
    ASSERT_EQ(mkdir(reports.path("submissions").c_str(), 0755), 0);
    std::vector<Student> students{named("submissions")};
    std::vector<std::string> notices, troubles;
    chooseReportFolders(reports.folders, {reports.path("submissions/ann")}, students, notices, troubles);
    EXPECT_EQ(students[0].reportFolder, "submissions (2)");
}

}  // namespace
