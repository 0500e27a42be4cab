#include "class/outputs/report_files.h"

#include "io/folder.h"
#include "io/paths.h"
#include "io/visible_text.h"
#include "class/outputs/file_names.h"
#include "class/outputs/wording.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace {

// Told apart as "ann (2)", "ann (3)"...: far more than any class needs.
constexpr int mostTries = 100;

bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

std::string shownFolder(const ReportFolders& folders, const std::string& name)
{
    return pathInFolder(folders.rootPath, visibleText(name, folders.utf8));
}

// Whether a folder can be named so at all.
bool canNameFolder(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

// The names a student's folder may have, in turn.
std::string candidate(const std::string& name, int attempt)
{
    // A name that Windows refuses, that shows nothing where it holds
    // something, or that is too long for a file system, is made portable
    // from the start, as the feedback's names are.
    bool asItIs = canNameFolder(name) && !refusedByWindows(name) && !holdsUnseen(name) && name.size() <= longestNamePart;
    std::string base = attempt == 0 && asItIs ? name : portableName(name);
    int number = attempt == 0 ? 1 : attempt;
    return number == 1 ? base : base + " (" + std::to_string(number) + ")";
}

// What each taken path makes of the reports folder: the entry right below
// it that leads to the path, where the path lies inside.
std::vector<FileId> takenBelow(const ReportFolders& folders, const std::vector<std::string>& taken)
{
    std::vector<FileId> ids = folders.outputs;
    std::string root = resolvedPath(folders.rootPath);
    for (const std::string& path : taken) {
        std::string below = firstComponentWithin(root, resolvedPath(path));
        struct stat info;
        if (!below.empty() && fstatat(folders.root, below.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
            ids.push_back(FileId{info.st_dev, info.st_ino});
    }
    return ids;
}

// Whether a folder could not be made for its name alone: exFAT refuses
// `"*:<>?\|` with ENOENT, others with EINVAL or EILSEQ.
bool isRefusedName(int error)
{
    return error == EINVAL || error == EILSEQ || error == ENAMETOOLONG || error == ENOENT;
}

enum class Claim { made, taken, refused };

// What the reports folder holds, and what of it this run has claimed.  A
// file system that tells no case apart (exFAT, FAT, NTFS, macOS's) takes
// "ann" for the "Ann" it holds: a name that exists, but not as it is
// written, is another's.  Names are compared as the folder lists them, as
// well as by which folder they lead to, since some file systems (exFAT
// through FUSE) number one folder anew for each spelling of its name.
struct Claims {
    std::set<std::string> names;    // in the reports folder, as listed or made
    std::set<std::string> claimed;  // by a student of this run
    std::vector<FileId> taken;      // folders of this run's students, and what the run reads or writes
};

// Makes (or finds, from an earlier run) the folder `name`, and claims it
// where no one else has.
Claim claimFolder(const ReportFolders& folders, const std::string& name, Claims& claims, int& error)
{
    if (mkdirat(folders.root, name.c_str(), 0777) == 0) {
        // A folder just made is no one else's, and no other name the
        // folder listed leads to it (that name would have made this one
        // fail): nothing to open and compare, in the part of the run that
        // no other thread shares.
        claims.names.insert(name);
        claims.claimed.insert(name);
        return Claim::made;
    }
    if (errno != EEXIST) {
        error = errno;
        return Claim::refused;
    }
    if (claims.names.count(name) == 0 || claims.claimed.count(name) != 0)
        return Claim::taken;
    Descriptor folder(openat(folders.root, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info;
    // A file named so (the page, say), or a link: not a folder of ours.
    if (folder.fd < 0 || fstat(folder.fd, &info) != 0)
        return Claim::taken;
    FileId id{info.st_dev, info.st_ino};
    if (std::find(claims.taken.begin(), claims.taken.end(), id) != claims.taken.end())
        return Claim::taken;
    claims.taken.push_back(id);
    claims.claimed.insert(name);
    return Claim::made;
}

}  // namespace

bool openReportsRoot(const std::string& path, bool utf8, ReportFolders& folders, Descriptor& root, std::string& error)
{
    if (!makeFolders(path) || (root = Descriptor(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))).fd < 0) {
        error = "could not make the folder " + path + ": " + std::strerror(errno);
        return false;
    }
    folders.root = root.fd;
    folders.rootPath = path;
    folders.utf8 = utf8;
    return true;
}

void chooseReportFolders(ReportFolders& folders, const std::vector<std::string>& taken,
                         std::vector<Student>& students, std::vector<std::string>& notices,
                         std::vector<std::string>& troubles)
{
    Claims claims;
    claims.taken = takenBelow(folders, taken);
    std::vector<FolderEntry> entries;
    if (readFolder(folders.root, entries))
        for (FolderEntry& entry : entries)
            claims.names.insert(std::move(entry.name));
    for (Student& student : students) {
        int error = 0;
        // A learning system's students may share a name: their ids tell them
        // apart.
        std::string wanted =
            student.lmsId.empty() ? student.name : std::string(siteName(student)) + "_" + student.lmsId;
        for (int attempt = 0; attempt < mostTries && student.reportFolder.empty(); ++attempt) {
            std::string name = candidate(wanted, attempt);
            Claim claim = claimFolder(folders, name, claims, error);
            if (claim == Claim::made)
                student.reportFolder = name;
            // A file system that refuses a name refuses it again: on to a
            // portable one, but no further where the trouble is not the name.
            if (claim == Claim::refused && !isRefusedName(error))
                break;
        }
        if (student.reportFolder.empty()) {
            student.reportFolderError = error != 0 ? error : EEXIST;
            troubles.push_back("could not make a folder for the reports of " + visibleText(student.name, folders.utf8) +
                               " in " + folders.rootPath + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
        } else if (student.reportFolder != wanted) {
            notices.push_back(visibleText(student.name, folders.utf8) + "'s reports are in " +
                              shownFolder(folders, student.reportFolder));
        }
    }
}

Descriptor openStudentReports(const ReportFolders& folders, const Student& student)
{
    if (folders.root < 0 || student.reportFolder.empty())
        return Descriptor();
    return Descriptor(openat(folders.root, student.reportFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

Descriptor openReportFile(const ReportFolders& folders, int studentFolder, const Test& test)
{
    if (studentFolder < 0)
        return Descriptor();
    std::string name = test.name + ".txt";
    // A file this call made is empty and no one else's: two system calls a
    // report fewer than checking and emptying one that was there.
    Descriptor made(openat(studentFolder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (made.fd >= 0 || errno != EEXIST)
        return made;
    // Not emptied until it is known to be a file of its own.
    Descriptor report(openat(studentFolder, name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    struct stat info;
    if (report.fd < 0 || fstat(report.fd, &info) != 0)
        return Descriptor();
    FileId id{info.st_dev, info.st_ino};
    if (!S_ISREG(info.st_mode) || std::find(folders.outputs.begin(), folders.outputs.end(), id) != folders.outputs.end()) {
        errno = EEXIST;
        return Descriptor();
    }
    if (ftruncate(report.fd, 0) != 0)
        return Descriptor();
    return report;
}

std::string shownReportPath(const ReportFolders& folders, const Student& student, const Test& test)
{
    return pathInFolder(shownFolder(folders, student.reportFolder), test.name + ".txt");
}

void printNotGraded(Output& out, const Test& test, FileState state)
{
    put(out, test.name);
    put(out, ": ");
    put(out, reasonOf(state));
    put(out, "\n");
}
