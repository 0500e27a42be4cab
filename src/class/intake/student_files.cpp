#include "class/intake/student_files.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Opened only once the path is known to lead to a regular file; the flags
// keep even a file swapped in meanwhile from blocking or taking a terminal.
constexpr int readFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// openat2 retries a resolution that a rename elsewhere raced with; so do we,
// a few times.
constexpr int raceRetries = 4;

int openBeneath(int folder, const char* name, std::uint64_t flags)
{
    open_how how{};
    how.flags = flags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0;; ++attempt) {
        long fd = syscall(SYS_openat2, folder, name, &how, sizeof how);
        if (fd >= 0 || errno != EAGAIN || attempt == raceRetries)
            return static_cast<int>(fd);
    }
}

StudentFile failed(FileState state, int error = 0)
{
    StudentFile file;
    file.state = state;
    file.error = error;
    if (isGraderTrouble(error))
        file.graderError = error;
    return file;
}

FileState stateOfFailedOpen(int error)
{
    if (error == ENOENT)
        return FileState::missing;
    if (error == EXDEV)
        return FileState::refusedOutside;
    return FileState::unreadable;
}

bool sameFile(const struct stat& info, FileId file)
{
    return info.st_dev == file.device && info.st_ino == file.inode;
}

// What the path found is, before it is opened to be read.
FileState judgeFound(int found, const std::vector<FileId>& references, struct stat& info)
{
    if (fstat(found, &info) != 0)
        return FileState::unreadable;
    if (!S_ISREG(info.st_mode))
        return FileState::refusedNotRegular;
    if (static_cast<std::uint64_t>(info.st_size) > largestStudentFile)
        return FileState::refusedTooLarge;
    FileId id{info.st_dev, info.st_ino};
    if (std::find(references.begin(), references.end(), id) != references.end())
        return FileState::refusedOutside;
    return FileState::graded;
}

// A file to grade, open, as it was judged.
StudentFile toGrade(Descriptor file, const struct stat& judged)
{
    StudentFile student;
    student.file = std::move(file);
    student.state = FileState::graded;
    student.size = static_cast<std::uint64_t>(judged.st_size);
    student.id = FileId{judged.st_dev, judged.st_ino};
    student.hardLinked = judged.st_nlink > 1;
    return student;
}

// The file opened to be read must be the one judged.
StudentFile opened(Descriptor file, const struct stat& judged)
{
    struct stat info;
    if (file.fd < 0 || fstat(file.fd, &info) != 0)
        return failed(FileState::unreadable, errno);
    if (!S_ISREG(info.st_mode) || !sameFile(info, FileId{judged.st_dev, judged.st_ino}))
        return failed(FileState::unreadable);
    return toGrade(std::move(file), judged);
}

// A file opened to be read, judged: what it is decides whether it is read.
StudentFile judgedOpen(Descriptor file, const std::vector<FileId>& references)
{
    if (file.fd < 0)
        return failed(errno == ELOOP ? FileState::refusedOutside : stateOfFailedOpen(errno), errno);
    struct stat info;
    FileState state = judgeFound(file.fd, references, info);
    if (state != FileState::graded)
        return failed(state, state == FileState::unreadable ? errno : 0);
    return toGrade(std::move(file), info);
}

std::string procPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

bool whereOpen(int fd, std::string& path)
{
    char buffer[4096];
    ssize_t size = readlink(procPath(fd).c_str(), buffer, sizeof buffer);
    if (size <= 0 || static_cast<std::size_t>(size) == sizeof buffer)
        return false;
    path.assign(buffer, static_cast<std::size_t>(size));
    return true;
}

bool isAbsoluteLink(int folder, const char* name)
{
    char target[2];
    return readlinkat(folder, name, target, sizeof target) > 0 && target[0] == '/';
}

// Whether the path `inner` names something inside the folder `outer`, both
// as the kernel tells where they lead: compared by whole components, so
// that /tmp/out-evil is not inside /tmp/out.
bool liesInside(std::string outer, const std::string& inner)
{
    if (outer != "/")
        outer += '/';
    return inner.compare(0, outer.size(), outer) == 0;
}

// openInside for kernels and sandboxes without openat2: the path is
// followed, and where it led is read back from /proc.
int openInsideByProc(int folder, const char* name, int flags)
{
    if (isAbsoluteLink(folder, name)) {
        errno = EXDEV;
        return -1;
    }
    Descriptor found(openat(folder, name, O_PATH | O_CLOEXEC | (flags & O_DIRECTORY)));
    std::string folderPath;
    std::string foundPath;
    if (found.fd < 0)
        return -1;
    if (!whereOpen(folder, folderPath) || !whereOpen(found.fd, foundPath))
        return -1;
    if (!liesInside(folderPath, foundPath)) {
        errno = EXDEV;
        return -1;
    }
    if (flags & O_PATH)
        return std::exchange(found.fd, -1);
    return open(procPath(found.fd).c_str(), flags);
}

}  // namespace

int openInside(int folder, const char* name, int flags)
{
    int fd = openBeneath(folder, name, static_cast<std::uint64_t>(flags));
    if (fd < 0 && (errno == ENOSYS || errno == EPERM))
        return openInsideByProc(folder, name, flags);
    return fd;
}

FolderLink judgeFolderLink(int submissions, const char* name, FileId& id)
{
    Descriptor found(openInside(submissions, name, O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat info;
    if (found.fd < 0)
        return errno == EXDEV ? FolderLink::outside : FolderLink::notFolder;
    if (fstat(found.fd, &info) != 0)
        return FolderLink::notFolder;
    id = FileId{info.st_dev, info.st_ino};
    return FolderLink::inside;
}

bool openStudentFolder(int submissions, const std::string& name, bool followLinks, StudentFolder& folder)
{
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    const char* path = name.c_str();
    if (followLinks) {
        folder.fd = Descriptor(openat(submissions, path, flags));
    } else {
        // Most students' folders are folders: opened at once, never through
        // a link (which refuses it with ELOOP, or ENOTDIR as a folder was
        // asked for); one that is a link is followed only beneath SUBMISSIONS.
        folder.fd = Descriptor(openat(submissions, path, flags | O_NOFOLLOW));
        if (folder.fd.fd < 0 && (errno == ELOOP || errno == ENOTDIR))
            folder.fd = Descriptor(openInside(submissions, path, flags));
    }
    return folder.fd.fd >= 0 && readFolder(folder.fd.fd, folder.entries);
}

StudentFile openListedFile(const StudentFolder& folder, std::string_view name, const std::vector<FileId>& references)
{
    const FolderEntry* entry = findEntry(folder.entries, name);
    if (entry == nullptr)
        return failed(FileState::missing);
    std::string path(name);
    if (entry->type != DT_REG)
        return openStudentFile(folder.fd.fd, path.c_str(), references);
    // Listed as a regular file, it is opened for reading at once: two system
    // calls fewer for each of a class's files.  Should it have been swapped
    // since for a link, it is not followed; for a FIFO, it does not block,
    // and is then refused as what it is.  Only a device would be touched,
    // and no student who can make one needs to race a grader.
    Descriptor file(openat(folder.fd.fd, path.c_str(), readFlags | O_NOFOLLOW));
    if (file.fd < 0 && errno == ELOOP)
        return openStudentFile(folder.fd.fd, path.c_str(), references);
    return judgedOpen(std::move(file), references);
}

StudentFile openFlatFile(int submissions, const std::string& name, const std::vector<FileId>& references)
{
    struct stat info;
    if (fstatat(submissions, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(stateOfFailedOpen(errno), errno);
    if (S_ISLNK(info.st_mode))
        return failed(FileState::refusedOutside);
    if (!S_ISREG(info.st_mode))
        return failed(FileState::refusedNotRegular);
    return judgedOpen(Descriptor(openat(submissions, name.c_str(), readFlags | O_NOFOLLOW)), references);
}

MemoryShare::MemoryShare(std::shared_ptr<HeldMemory> memory, std::uint64_t size) : held(std::move(memory)), bytes(size)
{
    if (held != nullptr)
        held->bytes += bytes;
}

MemoryShare::MemoryShare(MemoryShare&& other) noexcept
    : held(std::move(other.held)), bytes(std::exchange(other.bytes, 0))
{
}

MemoryShare& MemoryShare::operator=(MemoryShare&& other) noexcept
{
    std::swap(held, other.held);
    std::swap(bytes, other.bytes);
    return *this;
}

MemoryShare::~MemoryShare()
{
    if (held != nullptr)
        held->bytes -= bytes;
}

bool isGraderTrouble(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOMEM || error == ENOBUFS;
}

StudentFile openStudentFile(int folder, const char* name, const std::vector<FileId>& references)
{
    Descriptor found(openBeneath(folder, name, O_PATH | O_CLOEXEC));
    if (found.fd < 0) {
        // A kernel before Linux 5.6 lacks openat2, and a sandbox whose
        // rules predate it may deny it: either way, /proc tells where a
        // path leads.
        if (errno == ENOSYS || errno == EPERM)
            return openStudentFileByProc(folder, name, references);
        return failed(stateOfFailedOpen(errno), errno);
    }
    struct stat info;
    FileState state = judgeFound(found.fd, references, info);
    if (state != FileState::graded)
        return failed(state, state == FileState::unreadable ? errno : 0);
    return opened(Descriptor(openBeneath(folder, name, readFlags)), info);
}

StudentFile openStudentFileByProc(int folder, const char* name, const std::vector<FileId>& references)
{
    if (isAbsoluteLink(folder, name))
        return failed(FileState::refusedOutside);
    Descriptor found(openat(folder, name, O_PATH | O_CLOEXEC));
    if (found.fd < 0)
        return failed(errno == ENOENT ? FileState::missing : FileState::unreadable, errno);
    std::string folderPath;
    std::string filePath;
    if (!whereOpen(folder, folderPath) || !whereOpen(found.fd, filePath))
        return failed(FileState::unreadable, errno);
    if (folderPath != "/")
        folderPath += '/';
    if (filePath.compare(0, folderPath.size(), folderPath) != 0)
        return failed(FileState::refusedOutside);
    struct stat info;
    FileState state = judgeFound(found.fd, references, info);
    if (state != FileState::graded)
        return failed(state, state == FileState::unreadable ? errno : 0);
    // Reopened through the descriptor itself, not the path: the same file.
    return opened(Descriptor(open(procPath(found.fd).c_str(), readFlags)), info);
}
