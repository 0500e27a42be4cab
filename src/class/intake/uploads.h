// Archives that students upload among their files (the folder zipped
// instead of its files, lab3.zip holding lab3/t1.sym): read in place, one
// level deep, within the bounds the archive layer holds them to, and every
// entry judged as a file of a student's folder is: a link, a device or a
// FIFO, or a path that leaves the archive, is refused and never followed.
#ifndef LABELGRADE_UPLOADS_H
#define LABELGRADE_UPLOADS_H

#include "class/model/class.h"
#include "io/archive.h"
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
};

// Lists the upload in `reader`, which the caller opened with `opened`.
UploadListing listUpload(ArchiveReader& reader, ArchiveStatus opened);

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

// Reads every path of `paths` of the upload in `reader`, opened anew by the
// caller, in one pass: each pass decompresses it again, against the bounds
// of the download it lies in, if any.
std::vector<UploadFile> readUploadEntries(ArchiveReader& reader, const std::vector<std::string_view>& paths);

// Why an archive's entry is no file to grade: a link, a device or FIFO, or
// encrypted; graded for a regular file or a folder, which hold no danger.
FileState refusalOf(const ArchiveEntry& entry);

// What reading an entry's data leaves of the file: graded where it was
// read, else why not.
FileState stateOfRead(ArchiveStatus status);

#endif
