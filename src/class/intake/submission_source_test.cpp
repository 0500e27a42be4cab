// Every source of submissions reads an upload once for all the tests that
// want files of it: once a first file is taken, the upload is cut to
// nothing on disk, and the others must still come whole.
#include "class/intake/folder_submissions.h"
#include "class/intake/one_student.h"
#include "class/intake/submission_source.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A class folder whose one student, amy, uploaded lab.zip: t1 and t2, t3
// on a path that climbs out, t4 not there at all; removed when the test ends.
struct Scratch {
    std::string top;
    Scratch();
    ~Scratch()
    {
        if (std::system(("rm -rf '" + top + "'").c_str()) != 0)
            std::abort();
    }
};

Scratch::Scratch()
{
    char scratch[] = "/tmp/labelgrade-sources-XXXXXX";
    if (mkdtemp(scratch) == nullptr)
        std::abort();
    top = scratch;
    std::string script = "cd '" + top + "' && mkdir -p submissions/amy && python3 - <<'PYTHON'\n"
                         "import zipfile\n"
                         "with zipfile.ZipFile('submissions/amy/lab.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                         "    z.writestr('lab/t1.sym', '0000 A\\n')\n"
                         "    z.writestr('lab/t2.sym', '0000 B\\n')\n"
                         "    z.writestr('../t3.sym', '0000 C\\n')\n"
                         "PYTHON\n";
    if (std::system(script.c_str()) != 0)
        std::abort();
}

std::vector<::Test> fourTests()
{
    std::vector<::Test> tests;
    for (const char* name : {"t1.sym", "t2.sym", "t3.sym", "t4.sym"})
        tests.push_back(::Test{name, static_cast<std::int32_t>(tests.size() + 1), {}, 1, {}, {}});
    return tests;
}

// Gathers amy's files from `source`, takes t1, cuts `upload` to nothing,
// and takes the rest.
std::vector<StudentFile> takeAll(const SubmissionSource& source, Student& student, const std::string& upload)
{
    StudentSubmission submission;
    source.gather(student, submission);
    std::vector<StudentFile> files;
    for (std::size_t t = 0; t < submission.choices.size(); ++t) {
        if (submission.choices[t].state != FileState::graded) {
            files.push_back(StudentFile{});
            files.back().state = submission.choices[t].state;
            continue;
        }
        files.push_back(source.open(student, submission, t));
        if (t == 0 && truncate(upload.c_str(), 0) != 0)
            std::abort();
    }
    return files;
}

void expectReadOnce(const std::vector<StudentFile>& files, const std::string& shownT1)
{
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].state, FileState::graded);
    EXPECT_EQ(files[0].bytes, "0000 A\n");
    EXPECT_EQ(files[0].shownPath, shownT1);
    EXPECT_EQ(files[1].state, FileState::graded);
    EXPECT_EQ(files[1].bytes, "0000 B\n");
    EXPECT_EQ(files[2].state, FileState::refusedArchivePath);
    EXPECT_EQ(files[3].state, FileState::missing);
}

}  // namespace

TEST(SubmissionSources, ReadAClassFoldersUploadOnce)
{
    Scratch scratch;
    const std::string& top = scratch.top;
    std::vector<::Test> tests = fourTests();
    int submissions = open((top + "/submissions").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(submissions, 0);
    std::unique_ptr<SubmissionSource> source = folderSource(submissions, "SUB", false, tests);
    Student amy;
    amy.name = "amy";
    amy.folders.push_back("amy");
    amy.hasFolder = true;
    expectReadOnce(takeAll(*source, amy, top + "/submissions/amy/lab.zip"), "SUB/amy/lab.zip/lab/t1.sym");
    close(submissions);
}

TEST(SubmissionSources, ReadOneStudentsUploadOnceInTheirFolder)
{
    Scratch scratch;
    const std::string& top = scratch.top;
    std::vector<::Test> tests = fourTests();
    std::string why;
    std::unique_ptr<SubmissionSource> source = oneStudentSource(top + "/submissions/amy", tests, why);
    ASSERT_NE(source, nullptr) << why;
    Student amy;
    amy.hasFolder = true;
    expectReadOnce(takeAll(*source, amy, top + "/submissions/amy/lab.zip"),
                   top + "/submissions/amy/lab.zip/lab/t1.sym");
}

TEST(SubmissionSources, ReadOneStudentsArchiveOnce)
{
    Scratch scratch;
    const std::string& top = scratch.top;
    std::vector<::Test> tests = fourTests();
    std::string why;
    std::string archive = top + "/submissions/amy/lab.zip";
    std::unique_ptr<SubmissionSource> source = oneStudentSource(archive, tests, why);
    ASSERT_NE(source, nullptr) << why;
    Student amy;
    amy.hasFolder = true;
    expectReadOnce(takeAll(*source, amy, archive), archive + "/lab/t1.sym");
}

TEST(SubmissionSources, RefuseWhatCannotBeOneStudentsSubmission)
{
    Scratch scratch;
    const std::string& top = scratch.top;
    std::vector<::Test> tests = fourTests();
    std::string why;
    EXPECT_EQ(oneStudentSource(top + "/nowhere", tests, why), nullptr);
    EXPECT_EQ(why, "No such file or directory");
    std::string notArchive = top + "/notes.txt";
    if (std::system(("echo notes > '" + notArchive + "'").c_str()) != 0)
        std::abort();
    EXPECT_EQ(oneStudentSource(notArchive, tests, why), nullptr);
    EXPECT_EQ(why.rfind("it cannot be read as an archive: ", 0), 0u) << why;
}
