// Opening a student's file on kernels without openat2 goes through /proc;
// no golden case can reach that path on a kernel that has openat2, so this
// test holds every way of opening (beneath the folder, through /proc, and
// by the folder's listing) to the same answers on one folder of what an
// archive can hold.
#include "class/intake/student_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Expected {
    const char* name;
    FileState state;
};

std::string makeClass()
{
    char scratch[] = "/tmp/labelgrade-student-files-XXXXXX";
    if (mkdtemp(scratch) == nullptr)
        std::abort();
    std::string top = scratch;
    std::string script = "cd '" + top + "' && mkdir -p references student/sub other && "
                         "echo '0000 A' > references/t1.sym && echo '0000 A' > student/answer && "
                         "echo '0000 A' > other/answer && "
                         "ln -s answer student/inside && ln -s sub/../answer student/inside-again && "
                         "ln -s ../other/answer student/other-student && ln -s ../references/t1.sym student/reference && "
                         "ln -s /etc/passwd student/absolute && ln references/t1.sym student/hard-link && "
                         "mkfifo student/fifo && mkdir student/folder && ln -s nowhere student/dangling";
    if (std::system(script.c_str()) != 0)
        std::abort();
    return top;
}

}  // namespace

TEST(StudentFiles, OpenedAlikeEveryWay)
{
    std::string top = makeClass();
    struct stat reference;
    if (stat((top + "/references/t1.sym").c_str(), &reference) != 0)
        std::abort();
    std::vector<FileId> references{FileId{reference.st_dev, reference.st_ino}};
    int folder = open((top + "/student").c_str(), O_RDONLY | O_DIRECTORY);
    StudentFolder listed;
    ASSERT_TRUE(openStudentFolder(AT_FDCWD, top + "/student", false, listed));

    const Expected cases[] = {
        {"answer", FileState::graded},
        {"inside", FileState::graded},
        {"inside-again", FileState::graded},
        {"other-student", FileState::refusedOutside},
        {"reference", FileState::refusedOutside},
        {"absolute", FileState::refusedOutside},
        {"hard-link", FileState::refusedOutside},
        {"fifo", FileState::refusedNotRegular},
        {"folder", FileState::refusedNotRegular},
        {"dangling", FileState::missing},
        {"absent", FileState::missing},
    };
    for (const Expected& expected : cases) {
        StudentFile beneath = openStudentFile(folder, expected.name, references);
        StudentFile byProc = openStudentFileByProc(folder, expected.name, references);
        StudentFile byListing = openListedFile(listed, expected.name, references);
        EXPECT_EQ(byListing.state, expected.state) << "listed " << expected.name;
        EXPECT_EQ(beneath.state, expected.state) << "openat2 on " << expected.name;
        EXPECT_EQ(byProc.state, expected.state) << "/proc on " << expected.name;
        EXPECT_EQ(byProc.file.fd >= 0, expected.state == FileState::graded)
            << "/proc leaves open only what it grades: " << expected.name;
    }
    close(folder);
    std::system(("rm -rf '" + top + "'").c_str());
}
