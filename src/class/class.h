// A class as labelgrade-class grades it: the tests, each with its reference,
// and the students, each with a result for every test.
#ifndef LABELGRADE_CLASS_H
#define LABELGRADE_CLASS_H

#include "diagnosis.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

// Which file a path led to, whatever the path.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

struct Test {
    std::string name;             // the reference's file name, and the students'
    std::int32_t number = 0;      // for the score line
    std::string text;             // the reference, read once and shared by the workers
    std::uint64_t lineCount = 0;
    FileId file;
};

// What became of one student's file for one test.
enum class FileState : std::uint8_t {
    graded,
    missing,
    refusedOutside,
    refusedNotRegular,
    refusedTooLarge,
    unreadable,
    outOfMemory,  // a line too long to hold in the memory the run has
    folderOutside,
    noSubmission,
};

// A student's file larger than this is refused unread: no symbol table
// comes near it, and a sparse file of terabytes, which costs its student
// nothing, would otherwise hold the run for hours.  A file is read only as
// far as its size when it was opened, so that one that keeps growing
// cannot hold the run either.
constexpr std::uint64_t largestStudentFile = 64 << 20;

struct TestResult {
    FileState state = FileState::missing;
    int error = 0;        // for a file that could not be read: why
    int reportError = 0;  // why its report could not be written, where it could not
    std::uint64_t score = 0;
    std::vector<Diagnosis> diagnoses;  // what explains a graded file's lost points
};

struct Student {
    std::string name;
    bool hasFolder = false;
    // The folder is a link that leads out of SUBMISSIONS: none of it is read.
    bool folderOutside = false;
    bool onRoster = false;
    std::vector<TestResult> results;  // one per test, in the tests' order
    // A note for each test whose file is one file with another student's.
    std::vector<std::pair<std::uint32_t, std::string>> sameFiles;
    // Where the student's reports go, in the reports folder: their name,
    // unless it is taken or refused there; empty where none could be made,
    // and then why.
    std::string reportFolder;
    int reportFolderError = 0;
};

// The sum of a student's scores.
std::uint64_t totalOf(const Student& student);

#endif
