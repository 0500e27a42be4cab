#include "class/intake/one_student.h"

#include "class/intake/folder_submissions.h"
#include "class/intake/uploads.h"
#include "io/archive.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct OneStudent final : SubmissionSource {
    std::string root;
    const std::vector<Test>& tests;
    std::vector<FileId> references;
    Descriptor fd;
    bool archive = false;
    StudentPlaces places;  // for a folder
    Handed handed;
    UploadBudget uploads = studentUploadBudget;  // what gathering left
    mutable UploadReaders readers;

    OneStudent(std::string root, const std::vector<Test>& tests) : root(std::move(root)), tests(tests)
    {
        for (const Test& test : tests)
            references.push_back(test.file);
    }

    void gather(Student& student, StudentSubmission& submission) const override
    {
        submission.handed = handed;
        submission.uploads = uploads;
        submission.choices = chooseFiles(tests, submission.handed, student.notes);
    }

    StudentFile open(const Student&, StudentSubmission& submission, std::size_t test) const override
    {
        StudentFile file = archive ? openInArchive(submission, test) : openHanded(places, submission, test, references, readers);
        file.shownPath = pathInFolder(root, submission.handed.files[submission.choices[test].file].shown);
        file.handedPath = submission.handed.files[submission.choices[test].file].shown;
        return file;
    }

    StudentFile openInArchive(StudentSubmission& submission, std::size_t test) const
    {
        const FileSource& source = submission.handed.sources[submission.choices[test].file];
        if (source.refused != FileState::graded) {
            StudentFile refused;
            refused.state = source.refused;
            return refused;
        }
        if (!wasRead(submission, test))
            readAhead(readers, fd.fd, submission, testsInArchive(submission, SourceKind::inDownload, 0));
        return takeRead(submission, test);
    }
};

std::string nameOf(const std::string& path)
{
    std::vector<std::string_view> components = componentsOf(path);
    return components.empty() ? path : std::string(components.back());
}

// An archive's regular files, at any depth, are the student's own.  One
// that cannot be read to its end is named as a class names an upload.
bool gatherArchive(OneStudent& submission, std::string& why)
{
    UploadListing listing = listUpload(submission.readers, UploadPlace{submission.fd.fd}, submission.uploads);
    // What it costs to read is the student's note, as in a class; what it
    // is (no archive at all) is the run's trouble.
    if (listing.entries.empty() && !listing.problem.empty() && !listing.costly) {
        why = "it cannot be read as an archive: " + listing.problem;
        return false;
    }
    if (std::string trouble = uploadTrouble(listing, nameOf(submission.root)); !trouble.empty())
        submission.handed.troubles.push_back(trouble);
    for (UploadEntry& entry : listing.entries) {
        submission.handed.files.push_back(HandedIn{entry.name, entry.path, false});
        submission.handed.sources.push_back(FileSource{SourceKind::inDownload, 0, entry.path, entry.state});
    }
    return true;
}

bool gatherFolder(OneStudent& submission, std::string& why)
{
    Student student;
    student.folders.push_back(".");
    int error = 0;
    submission.handed = gatherHanded(submission.fd.fd, false, student, submission.references, submission.places,
                                      submission.readers, submission.uploads, error);
    if (error != 0) {
        why = std::strerror(error);
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<SubmissionSource> oneStudentSource(const std::string& path, const std::vector<Test>& tests,
                                                   std::string& why)
{
    auto submission = std::make_unique<OneStudent>(path, tests);
    submission->fd = Descriptor(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (submission->fd.fd < 0 || fstat(submission->fd.fd, &info) != 0) {
        why = std::strerror(errno);
        return nullptr;
    }
    if (S_ISREG(info.st_mode)) {
        submission->archive = true;
        if (!gatherArchive(*submission, why))
            return nullptr;
    } else if (!S_ISDIR(info.st_mode)) {
        why = "it is neither a folder nor an archive";
        return nullptr;
    } else if (!gatherFolder(*submission, why)) {
        return nullptr;
    }
    return submission;
}
