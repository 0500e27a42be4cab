// Where a run's students' files come from, whatever SUBMISSIONS is: a
// folder, a learning system's download, or one student's archive or folder
// (--student).  Each source gives, for a student, what they handed in and
// each test's choice, and then each chosen file ready to grade; grading
// does not know which source it reads.  Every source reads an archive a
// student uploaded once for all the tests that want files of it.
#ifndef LABELGRADE_SUBMISSION_SOURCE_H
#define LABELGRADE_SUBMISSION_SOURCE_H

#include "class/model/class.h"
#include "class/intake/handed_in.h"
#include "class/intake/student_files.h"
#include "class/intake/uploads.h"

#include <optional>
#include <string>
#include <vector>

// One student's submission, as a source gathered it, kept while the
// student is graded.
struct StudentSubmission {
    Handed handed;
    std::vector<Choice> choices;  // per test
    bool readable = true;         // some place of the student's could be read
    // The errno of a place of the student's that could not be opened for
    // the grader's own trouble (no descriptor left): the run stops.
    int graderError = 0;
    StudentPlaces places;  // where the student's files lie, for a folder
    // Files read ahead, per test: those of an upload or a download, read
    // together in one pass.
    std::vector<std::optional<StudentFile>> read;
    // What the student's uploads may still cost.
    UploadBudget uploads = studentUploadBudget;
};

// The interface every source gives.  A source is shared by the workers,
// each grading students of its own: all it keeps of a student is in their
// StudentSubmission.
struct SubmissionSource {
    virtual ~SubmissionSource() = default;

    // Gathers what the student handed in and chooses each test's file,
    // adding to the student's notes what the choice says.
    virtual void gather(Student& student, StudentSubmission& submission) const = 0;

    // The file chosen for test `test` (its choice graded), opened or read
    // to be graded, or why it cannot be; with the path its report names
    // it by, whatever became of it.
    virtual StudentFile open(const Student& student, StudentSubmission& submission, std::size_t test) const = 0;

    // The student is graded: what the source kept for them may go.
    virtual void release(const Student&) const {}
};

// The tests whose chosen file lies in one archive: in the upload that is
// handed-in file `container` (SourceKind::inUpload), or in the archive the
// whole submission is (SourceKind::inDownload, container 0).  A file the
// archive refuses (a link, a path out of it) is none of them: it is refused
// without the archive being opened.
std::vector<std::size_t> testsInArchive(const StudentSubmission& submission, SourceKind kind, std::uint32_t container);

// Reads the chosen file of each of `tests` out of the archive open on `fd`,
// in one pass, to be taken by takeRead: an upload is decompressed once,
// however many tests want files of it, and charged to the student.
void readAhead(UploadReaders& readers, int fd, StudentSubmission& submission, const std::vector<std::size_t>& tests);

// Where the archive cannot be opened: each of `tests` is given `state`.
void markRead(StudentSubmission& submission, const std::vector<std::size_t>& tests, FileState state);

// Whether `test`'s file was read ahead.
bool wasRead(const StudentSubmission& submission, std::size_t test);

// What reading ahead left for `test`, taken out of the submission.
StudentFile takeRead(StudentSubmission& submission, std::size_t test);

#endif
