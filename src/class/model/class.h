// A class as labelgrade-class grades it: the tests, each with its reference,
// and the students, each with a result for every test.
#ifndef LABELGRADE_CLASS_H
#define LABELGRADE_CLASS_H

#include "class/model/diagnosis.h"
#include "class/model/rare_vector.h"
#include "class/model/test_program.h"

#include <cstdint>
#include <memory>
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
    TestProgram program;          // --sources's program for the test; none without
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
    ambiguous,           // two files could be it, and no rule orders them
    refusedArchiveLink,  // an archive's entry that is a link
    refusedArchivePath,  // an archive's entry whose path is absolute or climbs out
    encrypted,
    noSubmission,
};

// The words for a state, as every note, report and gradebook says them.
std::string_view reasonOf(FileState state);

// A student's file larger than this is refused unread: no symbol table
// comes near it, and a sparse file of terabytes, which costs its student
// nothing, would otherwise hold the run for hours.  A file is read only as
// far as its size when it was opened, so that one that keeps growing
// cannot hold the run either.
constexpr std::uint64_t largestStudentFile = 64 << 20;

// A mistake of the student's assembler, as found and as told.  The words
// are held once for every file that makes the same mistake, as most of a
// class's files that make one do: held per file, they were most of what
// --sources adds to a run's memory.
struct NamedMistake {
    FoundMistake found;
    std::shared_ptr<const std::string> told;

    const std::string& words() const
    {
        static const std::string none;
        return told ? *told : none;
    }
};

struct TestResult {
    FileState state = FileState::missing;
    int error = 0;        // for a file that could not be read: why
    int reportError = 0;  // why its report could not be written, where it could not
    std::uint64_t score = 0;
    std::vector<Diagnosis> diagnoses;  // what explains a graded file's lost points
    // The student's assembler's mistakes, named by the test program's
    // statements, which explain the addresses in place of their offsets.
    RareVector<NamedMistake> mistakes;
};

// A note on one of a student's files, besides its state and its causes.
enum class NoteKind : std::uint8_t {
    sameFile,  // one file with another student's
    gradedAs,  // chosen under a name other than the test's: the text is that name
    why,       // why it was not graded, said in place of its state's words
};

struct FileNote {
    std::uint32_t test = 0;
    NoteKind kind = NoteKind::why;
    std::string text;
    auto operator<=>(const FileNote&) const = default;
};

// A file of a student's at SUBMISSIONS's top, where a download lays every
// file out flat: the entry's name, and the name the student gave the file.
struct FlatFile {
    std::string entry;
    std::string fileName;
    std::string attachmentId;  // the course site's id for the file, which its feedback may name
};

struct Student {
    std::string name;   // as shown: the folder's name, or the name the course site gives
    std::string lmsId;  // the course site's id for the student; none for a folder of one's own
    bool anonymous = false;  // lmsId is an id for grading anonymously, which names no one in a gradebook
    bool namesake = false;   // another student has the name: " (lmsId)" is added to it
    // Where the student's files are in SUBMISSIONS: folders of theirs (one,
    // or a site's for each kind of submission), and files at its top.
    std::vector<std::string> folders;
    std::vector<FlatFile> flatFiles;
    bool hasFolder = false;  // handed something in: SUBMISSIONS holds a place of theirs
    // The student's place in what their source of submissions listed, which
    // the source finds their files by; none for a student on the roster alone.
    std::uint32_t sourceIndex = UINT32_MAX;
    // The folder is a link that leads out of SUBMISSIONS: none of it is read.
    bool folderOutside = false;
    bool onRoster = false;
    std::vector<TestResult> results;  // one per test, in the tests' order
    std::vector<FileNote> notes;  // in the order of the tests
    // Where the student's reports go, in the reports folder: their name,
    // unless it is taken or refused there; empty where none could be made,
    // and then why.
    std::string reportFolder;
    int reportFolderError = 0;
};

// The sum of a student's scores.
std::uint64_t totalOf(const Student& student);

// The student's name as the course site gives it, without the id that
// tells namesakes apart.
std::string_view siteName(const Student& student);

#endif
