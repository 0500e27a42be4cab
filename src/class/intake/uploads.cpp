#include "class/intake/uploads.h"

#include "class/model/ascii_case.h"

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

std::vector<UploadFile> readUploadEntries(ArchiveReader& reader, const std::vector<std::string_view>& paths)
{
    std::vector<UploadFile> files(paths.size());
    std::vector<bool> read(paths.size(), false);
    for (std::size_t left = paths.size(); left > 0;) {
        ArchiveStatus status = nextEntry(reader);
        if (status == ArchiveStatus::damaged)
            continue;
        if (status != ArchiveStatus::ok) {
            for (std::size_t i = 0; i < files.size(); ++i)
                if (!read[i])
                    files[i].state = status == ArchiveStatus::end ? FileState::missing : FileState::unreadable;
            break;
        }
        if (reader.entry.kind != EntryKind::regular)
            continue;
        std::string bytes;
        FileState state = FileState::missing;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (read[i] || reader.entry.path != paths[i])
                continue;
            // Read once, however many tests want it.
            if (state == FileState::missing)
                state = stateOfRead(readEntry(reader, largestStudentFile, bytes));
            files[i].state = state;
            if (state == FileState::graded)
                files[i].bytes = bytes;
            read[i] = true;
            --left;
        }
    }
    return files;
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
