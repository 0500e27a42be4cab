// SUBMISSIONS as an archive, a learning system's download as it comes (zip,
// tar, tar.gz, tar.xz), read in place and never extracted to disk, in two
// passes: the first lists what every student handed in (and what each
// archive they uploaded holds) and chooses each test's file, keeping the
// bytes of the files it meets up to a bound; the second reads the chosen
// files it did not keep, and each student is handed over to be graded as
// soon as all of theirs are read.  A download of hundreds of thousands of
// files costs a few dozen bytes a file: its paths are held once.  A zip is
// read by its central directory, so that a link is known as a link, and an
// entry is passed without being inflated, whatever its local header says:
// no entry can hide the students after it.
#ifndef LABELGRADE_DOWNLOAD_ARCHIVE_H
#define LABELGRADE_DOWNLOAD_ARCHIVE_H

#include "class/model/class.h"
#include "class/intake/handed_in.h"
#include "class/intake/student_files.h"
#include "class/intake/students.h"
#include "class/intake/uploads.h"
#include "io/descriptor.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// An entry the first pass listed: where its path lies among the paths, and
// what it is.
struct ListedEntry {
    std::uint64_t index = 0;  // its place in the archive
    std::uint32_t path = 0;   // where its path starts in DownloadPlan::paths
    std::uint32_t size = 0;   // the path's length
    std::uint32_t top = 0;    // the length of its first component
    std::uint32_t uploaded = UINT32_MAX;  // for an upload: where it was set aside, in DownloadPlan::storedUploads
    bool nested = false;      // its path has more than one component
    bool folder = false;
    FileState refused = FileState::graded;
};

// A file to read for a student's test: an entry of the download, or a path
// inside an upload that is one.
// Its paths lie in the plan's strings: a class of thousands wants hundreds
// of thousands of files, and a string each would cost more than their paths.
struct WantedFile {
    // The entry's place in the download, which holds at most a million:
    // a class of 20,000 wants 200,000 files, and each byte here is 200 KB.
    std::uint32_t entry = 0;
    std::uint32_t student = 0;
    std::uint32_t test = 0;
    std::uint32_t pathAt = 0;      // the entry's path, in DownloadPlan::paths
    std::uint32_t pathSize = 0;
    std::uint32_t insideAt = 0;    // the path inside the upload, in DownloadPlan::insidePaths;
    std::uint32_t insideSize = 0;  // empty for the entry itself
    // How much of the entry's path ends with the name the student gave
    // it; 0: the whole path.
    std::uint32_t handedSize = 0;
};

// Where an upload the download holds was set aside, in the plan's store,
// and why it could not be, where it could not.
struct StoredUpload {
    std::uint64_t entry = 0;  // its place in the download
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::string problem;
};

// The listing (`listed`) serves the first pass alone, and is let
// go once the files to read are chosen: a large class's is much of what a
// run would hold while it grades.
struct DownloadPlan {
    std::string paths;                  // every listed entry's path, one after another
    std::vector<ListedEntry> listed;
    // Every upload's bytes, copied out of the download as the first pass
    // meets them, so that each is read apart from the download and from
    // every other student's, within its own student's budget.
    Descriptor store;
    std::uint64_t stored = 0;
    std::vector<StoredUpload> storedUploads;  // by the entries' order
    std::vector<UploadBudget> budgets;        // per student, what their uploads may still cost
    std::unique_ptr<UploadReaders> readers = std::make_unique<UploadReaders>();
    std::uint32_t unwrapped = 0;        // the length of one folder all else lay in, read as the top
    std::string unwrappedFolder;        // that folder's name
    std::string insidePaths;            // wanted files' paths inside uploads, one after another
    std::vector<Student> students;      // taken by the class
    std::vector<std::vector<Choice>> choices;  // per student, per test
    std::vector<WantedFile> wanted;     // in the download's order
    std::vector<std::uint32_t> filesLeft;      // per student, files still to read
    std::map<std::uint64_t, std::string> kept; // entries' bytes the first pass kept, by entry
    std::uint64_t keptBytes = 0;
    // The first bytes of the entries whose text the site reads to place
    // the others, by entry: a receipt may come after the files it names.
    std::map<std::uint64_t, std::string> texts;
    std::uint64_t textBytes = 0;
    Listing listing;
    std::uint64_t entries = 0;          // entries read
    // Entries the second pass never inflates to pass, in order: larger
    // than a student's file, or past the first half of the download's
    // bound.
    std::vector<std::uint64_t> large;
    bool broken = false;                // the download could not be read to its end
    std::vector<std::string> warnings;  // of the download, as "<entry>: <what>" or "<what>"

    std::string_view pathOf(const ListedEntry& entry) const { return std::string_view(paths).substr(entry.path, entry.size); }
    std::string_view pathOf(const WantedFile& file) const
    {
        return std::string_view(paths).substr(file.pathAt, file.pathSize);
    }
    std::string_view insideOf(const WantedFile& file) const
    {
        return std::string_view(insidePaths).substr(file.insideAt, file.insideSize);
    }
    // The file's path as its student handed it in: "t1.sym",
    // "lab3.zip/lab3/t1.sym".
    std::string handedOf(const WantedFile& file) const
    {
        std::string_view path = pathOf(file);
        std::string handed(file.handedSize == 0 ? path : path.substr(path.size() - file.handedSize));
        if (file.insideSize != 0)
            handed.append("/").append(insideOf(file));
        return handed;
    }
};

// The first pass: the students and their chosen files.  False, with
// `error` saying why, where the archive cannot be read at all (no zip or
// tar, or broken from its start); a download that breaks further on is
// read as far as it goes, and a warning says so.
bool planDownload(int fd, const LayoutChoice& choice, const std::vector<Test>& tests, DownloadPlan& plan,
                  std::string& error);

// The second pass: reads each wanted file into `files` (per student, per
// test, each student's made when their first is read: the bytes, or why
// they could not be read; `shown` the path reports give, beneath `root`),
// and calls `ready` with each student once all their files are read, every
// student once.
void readDownload(int fd, std::string_view root, DownloadPlan& plan, std::vector<std::vector<StudentFile>>& files,
                  const std::function<void(std::uint32_t student)>& ready);

#endif
