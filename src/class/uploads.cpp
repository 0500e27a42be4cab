#include "uploads.h"

#include "ascii_case.h"

#include "io/archive_path.h"

#include <algorithm>

namespace {

// Why an entry of an upload is no file to grade, where it is none.
FileState judgeEntry(const ArchiveEntry& entry, const EntryPath& path)
{
    if (path.problem != PathProblem::none)
        return FileState::refusedArchivePath;
    return entry.kind == EntryKind::folder ? FileState::refusedNotRegular : refusalOf(entry);
}

}  // namespace

FileState refusalOf(const ArchiveEntry& entry)
{
    switch (entry.kind) {
    case EntryKind::regular:
        return entry.encrypted ? FileState::encrypted : FileState::graded;
    case EntryKind::symbolicLink:
    case EntryKind::hardLink:
        return FileState::refusedArchiveLink;
    case EntryKind::folder:
        return FileState::graded;
    default:
        return FileState::refusedNotRegular;
    }
}

bool looksLikeUpload(std::string_view name)
{
    for (std::string_view extension : {".zip", ".tar", ".tgz", ".tar.gz"})
        if (name.size() > extension.size() && endsIgnoringCase(name, extension))
            return true;
    return false;
}

UploadListing listUpload(ArchiveReader& reader, ArchiveStatus opened)
{
    UploadListing listing;
    if (opened != ArchiveStatus::ok) {
        listing.problem = reader.message;
        return listing;
    }
    for (;;) {
        ArchiveStatus status = nextEntry(reader);
        if (status == ArchiveStatus::end)
            return listing;
        if (status == ArchiveStatus::damaged)
            continue;
        if (status != ArchiveStatus::ok) {
            listing.problem = reader.message;
            return listing;
        }
        const ArchiveEntry& entry = reader.entry;
        EntryPath path = splitEntryPath(entry.path);
        if (entry.kind == EntryKind::folder || (path.problem == PathProblem::none && isMacLitter(path.components)))
            continue;
        std::string_view last = entry.path;
        if (std::size_t slash = last.find_last_of('/'); slash != std::string_view::npos)
            last.remove_prefix(slash + 1);
        listing.entries.push_back(UploadEntry{entry.path, std::string(last), judgeEntry(entry, path)});
    }
}

std::string uploadTrouble(const UploadListing& listing, const std::string& shown)
{
    if (listing.problem.empty())
        return {};
    return (listing.entries.empty() ? "could not read " : "could not read all of ") + shown + ": " + listing.problem;
}

UploadFile readUploadEntry(ArchiveReader& reader, std::string_view path)
{
    UploadFile file;
    for (;;) {
        ArchiveStatus status = nextEntry(reader);
        if (status == ArchiveStatus::damaged)
            continue;
        if (status != ArchiveStatus::ok) {
            file.state = status == ArchiveStatus::end ? FileState::missing : FileState::unreadable;
            return file;
        }
        if (reader.entry.path != path || reader.entry.kind != EntryKind::regular)
            continue;
        file.state = stateOfRead(readEntry(reader, largestStudentFile, file.bytes));
        if (file.state != FileState::graded)
            file.bytes.clear();
        return file;
    }
}

FileState stateOfRead(ArchiveStatus status)
{
    switch (status) {
    case ArchiveStatus::ok:
    case ArchiveStatus::end:
        return FileState::graded;
    case ArchiveStatus::tooLarge:
        return FileState::refusedTooLarge;
    case ArchiveStatus::encrypted:
        return FileState::encrypted;
    default:
        return FileState::unreadable;
    }
}

StudentFile readFromUpload(int fd, std::string_view path)
{
    StudentFile opened;
    ArchiveReader reader;
    if (openArchive(fd, ArchiveKind::studentUpload, reader) != ArchiveStatus::ok) {
        opened.state = FileState::unreadable;
        return opened;
    }
    UploadFile read = readUploadEntry(reader, path);
    opened.state = read.state;
    opened.inMemory = true;
    opened.size = read.bytes.size();
    opened.bytes = std::move(read.bytes);
    return opened;
}
