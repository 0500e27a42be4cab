// Archives that students upload among their files (the folder zipped
// instead of its files, lab3.zip holding lab3/t1.sym): read in place, one
// level deep, within the bounds the archive layer holds them to, and every
// entry judged as a file of a student's folder is: a link, a device or a
// FIFO, or a path that leaves the archive, is refused and never followed.
// A zip is read by its central directory, as unzip and the course sites
// read it: an entry it does not list is never graded.
#ifndef LABELGRADE_UPLOADS_H
#define LABELGRADE_UPLOADS_H

#include "class/model/class.h"
#include "io/archive.h"
#include "io/confined.h"
#include "class/intake/student_files.h"

#include <string>
#include <string_view>
#include <vector>

// Whether a student's file is named as an archive of theirs is: .zip, .tar,
// .tgz, .tar.gz, in any letter case.
bool looksLikeUpload(std::string_view name);

// An entry of an upload, as matching sees it.
struct UploadEntry {
    std::string path;  // as the archive names it
    std::string name;  // its last component
    FileState state = FileState::graded;  // graded: a regular file, to read; else why it is refused
};

// What an upload holds, but for a Mac's litter and folders; and, where it
// could not be read to its end, or at all, why.
struct UploadListing {
    std::vector<UploadEntry> entries;
    std::string problem;  // empty: read whole
    bool unread = false;  // not opened: its student's budget was spent
    // Stopped by what reading it cost (memory, time, the student's budget),
    // not for what it is.
    bool costly = false;
};

// What all of one student's uploads may cost, in every read of each: past
// it, an upload not yet read is that student's note, and no other
// student's loss.  Each upload is read in a child process (see confined.h)
// whose memory is bounded besides, so that no header, map or name a
// student sized can cost more, and whose time is what is left of theirs.
struct UploadBudget {
    std::uint64_t bytes = 0;    // decompressed: two full reads of one upload at its own bound
    std::uint64_t entries = 0;  // headers read
    std::uint64_t names = 0;    // bytes of the paths listed
    int milliseconds = 0;       // wall time of the children that read them
};

constexpr UploadBudget studentUploadBudget{256 * mebibyte, 20'000, 4 * mebibyte, 8'000};

// The memory a child that reads an upload may take beyond the run's own:
// libarchive's buffers, a zip's central directory, one header at a time.
constexpr std::uint64_t uploadReaderMemory = 64 * mebibyte;

// Where an upload's bytes lie: the `size` bytes of the regular file `fd`
// from `offset` on.
struct UploadPlace {
    int fd = -1;
    std::uint64_t offset = 0;
    std::uint64_t size = UINT64_MAX;
};

// The children that read a run's uploads, shared by its threads.
struct UploadReaders {
    ConfinedPool pool;
    UploadReaders();
};

// Lists the upload at `place`, charging what it costs to `left`.
UploadListing listUpload(UploadReaders& readers, const UploadPlace& place, UploadBudget& left);

// The trouble to note of an upload shown as `shown`, or nothing where it
// was read whole.
std::string uploadTrouble(const UploadListing& listing, const std::string& shown);

// A regular entry of an upload, read: its bytes, up to the largest file a
// student may hand in.  `state` is graded when they were read; else why
// not.
struct UploadFile {
    FileState state = FileState::missing;
    std::string bytes;
};

// Reads every path of `paths` of the upload at `place` in one pass, however
// many tests want them, charging what it costs to `left`.
std::vector<UploadFile> readUploadEntries(UploadReaders& readers, const UploadPlace& place,
                                          const std::vector<std::string_view>& paths, UploadBudget& left);

// Why an archive's entry is no file to grade: a link, a device or FIFO, or
// encrypted; graded for a regular file or a folder, which hold no danger.
FileState refusalOf(const ArchiveEntry& entry);

// What reading an entry's data leaves of the file: graded where it was
// read, else why not.
FileState stateOfRead(ArchiveStatus status);

#endif
