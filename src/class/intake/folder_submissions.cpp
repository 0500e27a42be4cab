#include "class/intake/folder_submissions.h"

#include "class/intake/uploads.h"
#include "io/folder.h"

#include <cerrno>

namespace {

StudentFile refusedAs(FileState state)
{
    StudentFile file;
    file.state = state;
    return file;
}

// Opens a file that lies in one of the student's folders, or at the top.
StudentFile openPlaced(const StudentPlaces& places, const FileSource& source,
                       const std::vector<FileId>& references)
{
    if (source.kind == SourceKind::flat)
        return openFlatFile(places.submissions, source.entry, references);
    if (!places.listed[source.container])
        return refusedAs(FileState::unreadable);
    return openListedFile(places.folders[source.container], source.entry, references);
}

// Adds what an upload holds to what the student handed in; an upload that
// cannot be read is a file like any other, and its trouble is noted.
void addUpload(const StudentPlaces& places, std::size_t upload, const std::vector<FileId>& references, Handed& handed,
               UploadReaders& readers, UploadBudget& budget)
{
    StudentFile file = openPlaced(places, handed.sources[upload], references);
    std::string shown = handed.files[upload].shown;
    if (file.state != FileState::graded) {
        handed.troubles.push_back(shown + ": " + std::string(reasonOf(file.state)));
        return;
    }
    UploadListing listing = listUpload(readers, UploadPlace{file.file.fd}, budget);
    if (std::string trouble = uploadTrouble(listing, shown); !trouble.empty())
        handed.troubles.push_back(trouble);
    for (UploadEntry& entry : listing.entries) {
        handed.files.push_back(HandedIn{entry.name, shown + "/" + entry.path, true});
        handed.sources.push_back(
            FileSource{SourceKind::inUpload, static_cast<std::uint32_t>(upload), entry.path, entry.state});
    }
}

}  // namespace

Handed gatherHanded(int submissions, bool followLinks, const Student& student, const std::vector<FileId>& references,
                    StudentPlaces& places, UploadReaders& readers, UploadBudget& budget, int& error)
{
    Handed handed;
    places.submissions = submissions;
    places.folders.resize(student.folders.size());
    places.listed.assign(student.folders.size(), false);
    error = 0;
    for (std::size_t f = 0; f < student.folders.size(); ++f) {
        places.listed[f] = openStudentFolder(submissions, student.folders[f], followLinks, places.folders[f]);
        if (!places.listed[f]) {
            error = errno;
            continue;
        }
        for (const FolderEntry& entry : places.folders[f].entries) {
            handed.files.push_back(HandedIn{entry.name, entry.name, false});
            handed.sources.push_back(FileSource{SourceKind::inFolder, static_cast<std::uint32_t>(f), entry.name, FileState::graded});
        }
    }
    for (const FlatFile& flat : student.flatFiles) {
        handed.files.push_back(HandedIn{flat.fileName, flat.fileName, false});
        handed.sources.push_back(FileSource{SourceKind::flat, 0, flat.entry, FileState::graded});
    }
    std::size_t own = handed.files.size();
    for (std::size_t i = 0; i < own; ++i)
        if (looksLikeUpload(handed.files[i].name))
            addUpload(places, i, references, handed, readers, budget);
    return handed;
}

StudentFile openHanded(const StudentPlaces& places, StudentSubmission& submission, std::size_t test,
                       const std::vector<FileId>& references, UploadReaders& readers)
{
    const Handed& handed = submission.handed;
    const FileSource& source = handed.sources[submission.choices[test].file];
    if (source.kind != SourceKind::inUpload)
        return openPlaced(places, source, references);
    if (source.refused != FileState::graded)
        return refusedAs(source.refused);
    if (!wasRead(submission, test)) {
        std::vector<std::size_t> tests = testsInArchive(submission, SourceKind::inUpload, source.container);
        StudentFile upload = openPlaced(places, handed.sources[source.container], references);
        if (upload.state != FileState::graded)
            markRead(submission, tests, upload.state);
        else
            readAhead(readers, upload.file.fd, submission, tests);
    }
    return takeRead(submission, test);
}

namespace {

// Where a handed-in file lies, as its report names it: the path an
// instructor would give labelgrade, the upload's own path before the path
// inside it.
std::string pathOfHanded(const std::string& root, const Student& student, const Handed& handed, std::size_t file)
{
    const FileSource& source = handed.sources[file];
    switch (source.kind) {
    case SourceKind::inFolder:
        return pathInFolder(pathInFolder(root, student.folders[source.container]), source.entry);
    case SourceKind::flat:
    case SourceKind::inDownload:
        return pathInFolder(root, source.entry);
    case SourceKind::inUpload:
        return pathOfHanded(root, student, handed, source.container) + "/" + source.entry;
    }
    return {};
}

struct FolderSource final : SubmissionSource {
    int submissions = -1;
    std::string root;
    bool followLinks = false;
    const std::vector<Test>& tests;
    std::vector<FileId> references;
    mutable UploadReaders readers;

    FolderSource(int submissions, std::string root, bool followLinks, const std::vector<Test>& tests)
        : submissions(submissions), root(std::move(root)), followLinks(followLinks), tests(tests)
    {
        for (const Test& test : tests)
            references.push_back(test.file);
    }

    void gather(Student& student, StudentSubmission& submission) const override
    {
        submission.choices.assign(tests.size(), Choice{});
        if (!student.hasFolder || student.folderOutside)
            return;
        int error = 0;
        submission.handed = gatherHanded(submissions, followLinks, student, references, submission.places, readers,
                                         submission.uploads, error);
        if (isGraderTrouble(error)) {
            submission.graderError = error;
            return;
        }
        submission.readable = error == 0 || !submission.handed.files.empty();
        submission.choices = chooseFiles(tests, submission.handed, student.notes);
    }

    StudentFile open(const Student& student, StudentSubmission& submission, std::size_t test) const override
    {
        StudentFile file = openHanded(submission.places, submission, test, references, readers);
        file.shownPath = pathOfHanded(root, student, submission.handed, submission.choices[test].file);
        file.handedPath = submission.handed.files[submission.choices[test].file].shown;
        return file;
    }
};

}  // namespace

std::unique_ptr<SubmissionSource> folderSource(int submissions, std::string root, bool followLinks,
                                               const std::vector<Test>& tests)
{
    return std::make_unique<FolderSource>(submissions, std::move(root), followLinks, tests);
}
