// Opening a student's file for a test, where the student controls what the
// folder holds: links, FIFOs, devices, anything an archive can carry.  Only
// a regular file that lies inside the student's own folder is opened for
// reading; nothing else is opened at all, so no FIFO can block the run and
// no device can be touched.
#ifndef LABELGRADE_STUDENT_FILES_H
#define LABELGRADE_STUDENT_FILES_H

#include "class/model/class.h"
#include "io/descriptor.h"
#include "io/folder.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// What the files read into memory and not yet graded hold, in all: the
// reading adds to it, and each file gives its share back when it is let go,
// by whichever thread grades it.
struct HeldMemory {
    std::atomic<std::uint64_t> bytes{0};
};

// One file's share of HeldMemory.
struct MemoryShare {
    std::shared_ptr<HeldMemory> held;
    std::uint64_t bytes = 0;

    MemoryShare() = default;
    MemoryShare(std::shared_ptr<HeldMemory> memory, std::uint64_t size);
    MemoryShare(MemoryShare&& other) noexcept;
    MemoryShare& operator=(MemoryShare&& other) noexcept;
    MemoryShare(const MemoryShare&) = delete;
    MemoryShare& operator=(const MemoryShare&) = delete;
    ~MemoryShare();
};

struct StudentFile {
    Descriptor file;  // open for reading when `state` is graded
    FileState state = FileState::missing;
    std::uint64_t size = 0;  // when it was judged: what is read of it
    int error = 0;           // why it could not be read, where it could not
    FileId id;               // which file it is, whatever its path
    bool hardLinked = false; // other names lead to it too
    // Read whole into memory, from inside an archive, instead of `file`.
    bool inMemory = false;
    std::string bytes;
    MemoryShare share;  // what `bytes` holds of the run's allowance, where counted
    // The path its report gives it, as the source of submissions names it.
    std::string shownPath;
    // The path as the student handed it in ("t1.sym", "lab3.zip/lab3/t1.sym"):
    // what their feedback names it by, with no path of the instructor's.
    std::string handedPath;
    // Set when the failure is the grader's, not the file's (no file
    // descriptor or memory left): then no student may be charged with it.
    int graderError = 0;
};

// Whether a failed call's error is the grader's own trouble.
bool isGraderTrouble(int error);

// A student's folder, open, and its entries as listed once.
struct StudentFolder {
    Descriptor fd;
    std::vector<FolderEntry> entries;
};

// Where a student's files lie, open while the student is graded.
struct StudentPlaces {
    int submissions = -1;
    std::vector<StudentFolder> folders;  // each of the student's, in their order
    std::vector<bool> listed;            // which could be opened and listed
};

// Opens `name` beneath `folder` with `flags`, following links only as far
// as they stay beneath it; one that leads out fails with EXDEV, as an
// absolute one does (an archive cannot know where it will be unpacked).
int openInside(int folder, const char* name, int flags);

// Where a student's folder that is a link leads.
enum class FolderLink { inside, outside, notFolder };

// Judges the link `name` of the submissions folder; gives, where it leads
// to a folder inside, which folder.
FolderLink judgeFolderLink(int submissions, const char* name, FileId& id);

// Opens and lists the student's folder `name` in the submissions folder: a
// link only where it leads inside it, unless `followLinks`; false, with
// errno set, when it cannot be.
bool openStudentFolder(int submissions, const std::string& name, bool followLinks, StudentFolder& folder);

// The file `name` of a listed student folder, judged as openStudentFile
// judges it.  A name the listing lacks is missing without a look, and one
// it shows as a regular file is opened at once, never through a link.
StudentFile openListedFile(const StudentFolder& folder, std::string_view name, const std::vector<FileId>& references);

// The file `name` of the open student folder `folder`.  A path that
// resolves outside the folder (a link to a reference, to another student's
// file, to /dev/zero) is refused, and so is a reference reached by a hard
// link, whatever its path.
StudentFile openStudentFile(int folder, const char* name, const std::vector<FileId>& references);

// A file at SUBMISSIONS's top, where a download lays every file out flat:
// no student has a folder there for a link to stay inside, so a link is
// refused, and what is not a regular file is not opened at all.
StudentFile openFlatFile(int submissions, const std::string& name, const std::vector<FileId>& references);

// The same, for kernels older than Linux 5.6, which lack openat2: the path
// is followed, and where it led is read back from /proc.  Absolute links are
// refused here as openat2 refuses them, but one that another link leads to
// is judged by where it ends.
StudentFile openStudentFileByProc(int folder, const char* name, const std::vector<FileId>& references);

#endif
