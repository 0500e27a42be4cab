#include "class/intake/folder_submissions.h"

#include "class/intake/uploads.h"

#include <cerrno>

namespace {

// Opens a file that lies in one of the student's folders, or at the top.
StudentFile openPlaced(const StudentPlaces& places, const FileSource& source,
                       const std::vector<FileId>& references)
{
    if (source.kind == SourceKind::flat)
        return openFlatFile(places.submissions, source.entry, references);
    if (!places.listed[source.container]) {
        StudentFile file;
        file.state = FileState::unreadable;
        return file;
    }
    return openListedFile(places.folders[source.container], source.entry, references);
}

// Adds what an upload holds to what the student handed in; an upload that
// cannot be read is a file like any other, and its trouble is noted.
void addUpload(const StudentPlaces& places, std::size_t upload, const std::vector<FileId>& references, Handed& handed)
{
    StudentFile file = openPlaced(places, handed.sources[upload], references);
    std::string shown = handed.files[upload].shown;
    if (file.state != FileState::graded) {
        handed.troubles.push_back(shown + ": " + std::string(reasonOf(file.state)));
        return;
    }
    ArchiveReader reader;
    UploadListing listing = listUpload(reader, openArchive(file.file.fd, ArchiveKind::studentUpload, reader));
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
                    StudentPlaces& places, int& error)
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
            addUpload(places, i, references, handed);
    return handed;
}

StudentFile openHanded(const StudentPlaces& places, const Handed& handed, std::size_t file,
                       const std::vector<FileId>& references)
{
    const FileSource& source = handed.sources[file];
    if (source.kind != SourceKind::inUpload)
        return openPlaced(places, source, references);
    StudentFile opened;
    if (source.refused != FileState::graded) {
        opened.state = source.refused;
        return opened;
    }
    StudentFile upload = openPlaced(places, handed.sources[source.container], references);
    if (upload.state != FileState::graded) {
        opened.state = upload.state;
        return opened;
    }
    return readFromUpload(upload.file.fd, source.entry);
}
