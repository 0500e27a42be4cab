// SUBMISSIONS as an archive, a learning system's download as it comes (zip,
// tar, tar.gz, tar.xz), read in place and never extracted to disk, in two
// passes: the first lists what every student handed in (and what each
// archive they uploaded holds) and chooses each test's file; the second
// reads the chosen files' bytes, and hands each student to be graded as
// soon as all of theirs are read.
#ifndef LABELGRADE_DOWNLOAD_ARCHIVE_H
#define LABELGRADE_DOWNLOAD_ARCHIVE_H

#include "class.h"
#include "handed_in.h"
#include "student_files.h"
#include "students.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A file to read in the second pass, for a student's test: an entry of the
// download, or a path inside an upload that is one.
struct WantedFile {
    std::uint32_t student = 0;
    std::uint32_t test = 0;
    std::string inside;  // the path inside the upload; empty for the entry itself
};

struct DownloadPlan {
    std::vector<Student> students;             // taken by the class; the rest stays
    std::vector<Handed> handed;                // per student
    std::vector<std::vector<Choice>> choices;  // per student, per test
    std::map<std::uint64_t, std::vector<WantedFile>> wanted;  // by entry, in the download's order
    std::map<std::uint64_t, std::string> kept;  // entries' bytes the first pass kept, by entry
    std::uint64_t keptBytes = 0;
    std::vector<std::uint32_t> filesLeft;      // per student, files still to read
    Listing listing;
    std::uint64_t entries = 0;      // entries listed
    bool broken = false;            // the download could not be read to its end
    std::string wrapper;            // one folder all else lay in, read as the top
    std::vector<std::string> warnings;  // of the download, as "<entry>: <what>" or "<what>"
};

// The first pass: the students and their chosen files.  False, with
// `error` saying why, where the archive cannot be read at all (no zip or
// tar, or broken from its start); a download that breaks further on is
// read as far as it goes, and a warning says so.
bool planDownload(int fd, const LayoutChoice& choice, const std::vector<Test>& tests, DownloadPlan& plan,
                  std::string& error);

// The second pass: reads each wanted file into `files` (per student, per
// test: its bytes, or why they could not be read), and calls `ready` with
// each student once all their files are read, every student once.
void readDownload(int fd, DownloadPlan& plan, std::vector<std::vector<StudentFile>>& files,
                  const std::function<void(std::uint32_t student)>& ready);

#endif
