#include "report_files.h"

#include "io/folder.h"
#include "io/visible_text.h"
#include "wording.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

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

std::string shownFolder(const ReportFolders& folders, const Student& student)
{
    return pathInFolder(folders.rootPath, visibleText(student.name, folders.utf8));
}

// Whether a folder can be named so.
bool canNameFolder(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

}  // namespace

bool openReportFolders(const std::string& path, bool utf8, ReportFolders& folders, Descriptor& root,
                       std::string& error)
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

bool hasReportFolder(const Student& student)
{
    return canNameFolder(student.name);
}

Descriptor openStudentReports(const ReportFolders& folders, const Student& student, std::string& error)
{
    if (folders.root < 0 || !canNameFolder(student.name))
        return Descriptor();
    const char* name = student.name.c_str();
    if (mkdirat(folders.root, name, 0777) != 0 && errno != EEXIST) {
        error = "could not make " + shownFolder(folders, student) + ": " + std::strerror(errno);
        return Descriptor();
    }
    Descriptor folder(openat(folders.root, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.fd < 0)
        error = "could not write to " + shownFolder(folders, student) + ": " + std::strerror(errno);
    return folder;
}

Descriptor openReportFile(const ReportFolders& folders, int studentFolder, const Student& student,
                          const Test& test, std::string& error)
{
    if (studentFolder < 0)
        return Descriptor();
    std::string name = test.name + ".txt";
    Descriptor report(openat(studentFolder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (report.fd < 0)
        error = "could not write " + shownReportPath(folders, student, test) + ": " + std::strerror(errno);
    return report;
}

std::string shownReportPath(const ReportFolders& folders, const Student& student, const Test& test)
{
    return pathInFolder(shownFolder(folders, student), test.name + ".txt");
}

void printNotGraded(Output& out, const Test& test, FileState state)
{
    put(out, test.name);
    put(out, ": ");
    put(out, reasonOf(state));
    put(out, "\n");
}
