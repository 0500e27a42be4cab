#include "class/intake/uploads.h"

#include "class/model/ascii_case.h"

#include "io/archive_path.h"
#include "io/confined.h"
#include "io/records.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

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

namespace {

// The child's answer: records of a tag, numbers and texts, with the costs
// and an end mark last, so that an answer cut short is known as one.
enum Tag : char { entryTag = 'E', fileTag = 'F', problemTag = 'P', costTag = 'C', endTag = 'Z' };

// Why a listing stopped, after its problem's tag.
enum Stop : char { forWhatItIs = 'W', forItsCost = 'B', forItsNames = 'N' };

// The answer's end: what reading cost, then the end mark.
bool finishAnswer(RecordWriter& out, const ArchiveReader& reader)
{
    out.tag(costTag);
    out.number(reader.bytesUsed);
    out.number(reader.entriesUsed);
    out.tag(endTag);
    out.flushPast(0);
    return !out.failed;
}

// What the student's uploads may still cost, as the bounds of one
// archive: its own, or what is left of the student's, whichever is less.
ArchiveLimits limitsLeft(const UploadBudget& left)
{
    return ArchiveLimits{std::min(studentUploadLimits.bytes, left.bytes),
                         std::min(studentUploadLimits.entries, left.entries)};
}

// Why a bound stopped the reading: the upload's own words, or the
// student's budget's where that was the lesser.
std::string overLimitMessage(const ArchiveReader& reader)
{
    bool bytes = reader.bytesUsed >= reader.limits.bytes;
    if (bytes && reader.limits.bytes < studentUploadLimits.bytes)
        return "this student's uploads hold more than " + std::to_string(studentUploadBudget.bytes / mebibyte) +
               " MiB once decompressed, in all";
    if (!bytes && reader.limits.entries < studentUploadLimits.entries)
        return "this student's uploads hold more than " + std::to_string(studentUploadBudget.entries) +
               " entries, in all";
    return reader.message;
}

std::string problemOf(const ArchiveReader& reader, ArchiveStatus status)
{
    return status == ArchiveStatus::overLimit ? overLimitMessage(reader) : reader.message;
}

// In the child: lists the upload, each entry's path, state and name, with
// no more bytes of names than the student has left.
bool listInChild(const UploadPlace& place, const UploadBudget& left, int answer)
{
    RecordWriter out;
    out.fd = answer;
    ArchiveReader reader;
    ArchiveStatus status = openUpload(place.fd, place.offset, place.size, limitsLeft(left), reader);
    std::uint64_t names = 0;
    while (status == ArchiveStatus::ok || status == ArchiveStatus::damaged) {
        status = nextEntry(reader);
        if (status == ArchiveStatus::damaged)
            continue;
        if (status != ArchiveStatus::ok)
            break;
        const ArchiveEntry& entry = reader.entry;
        EntryPath path = splitEntryPath(entry.path);
        if (entry.kind == EntryKind::folder || (path.problem == PathProblem::none && isMacLitter(path.components)))
            continue;
        names += entry.path.size();
        if (names > left.names) {
            out.tag(problemTag);
            out.tag(forItsNames);
            out.text("this student's uploads name more than " + std::to_string(studentUploadBudget.names / mebibyte) +
                     " MiB of paths, in all");
            return finishAnswer(out, reader);
        }
        out.tag(entryTag);
        out.tag(static_cast<char>(judgeEntry(entry, path)));
        out.text(entry.path);
    }
    if (reader.error == ENOMEM)
        _exit(confinedOutOfMemory);
    if (status != ArchiveStatus::end) {
        out.tag(problemTag);
        out.tag(status == ArchiveStatus::overLimit ? forItsCost : forWhatItIs);
        out.text(problemOf(reader, status));
    }
    return finishAnswer(out, reader);
}

// In the child: reads the entries `paths` name, each once, however many
// of them name it.
bool readInChild(const UploadPlace& place, const std::vector<std::string_view>& paths, const UploadBudget& left,
                 int answer)
{
    RecordWriter out;
    out.fd = answer;
    ArchiveReader reader;
    ArchiveStatus status = openUpload(place.fd, place.offset, place.size, limitsLeft(left), reader);
    std::vector<bool> read(paths.size(), false);
    std::vector<std::string_view> distinct(paths);
    std::sort(distinct.begin(), distinct.end());
    std::size_t wantedCount = static_cast<std::size_t>(std::unique(distinct.begin(), distinct.end()) - distinct.begin());
    for (std::size_t found = 0; found < wantedCount && (status == ArchiveStatus::ok || status == ArchiveStatus::damaged);) {
        status = nextEntry(reader);
        if (status != ArchiveStatus::ok || reader.entry.kind != EntryKind::regular)
            continue;
        auto wanted = std::find(paths.begin(), paths.end(), reader.entry.path);
        if (wanted == paths.end() || read[static_cast<std::size_t>(wanted - paths.begin())])
            continue;
        std::string bytes;
        FileState state = stateOfRead(readEntry(reader, largestStudentFile, bytes));
        if (reader.error == ENOMEM)
            _exit(confinedOutOfMemory);
        out.tag(fileTag);
        out.number(static_cast<std::uint64_t>(wanted - paths.begin()));
        out.tag(static_cast<char>(state));
        out.text(state == FileState::graded ? std::string_view(bytes) : std::string_view());
        read[static_cast<std::size_t>(wanted - paths.begin())] = true;
        ++found;
    }
    return finishAnswer(out, reader);
}

// What a child that did not answer whole leaves of its reading.
std::string endProblem(const Confined& run)
{
    switch (run.end) {
    case ConfinedEnd::outOfMemory:
        return "reading it needs more than the " + std::to_string(uploadResidentBound / mebibyte) +
               " MiB of memory an upload may take";
    case ConfinedEnd::outOfTime:
        return "this student's uploads take longer than " + std::to_string(studentUploadBudget.milliseconds / 1000) +
               " s to read, in all";
    case ConfinedEnd::notStarted:
        return std::string("it could not be read: ") + std::strerror(run.error);
    default:
        return "the archive reader failed on it";
    }
}

// Why nothing more of a student's uploads is read, where their budget is
// spent; empty where it is not.
std::string budgetSpent(const UploadBudget& left)
{
    if (left.bytes == 0)
        return "this student's uploads hold more than " + std::to_string(studentUploadBudget.bytes / mebibyte) +
               " MiB once decompressed, in all";
    if (left.entries == 0)
        return "this student's uploads hold more than " + std::to_string(studentUploadBudget.entries) +
               " entries, in all";
    if (left.names == 0)
        return "this student's uploads name more than " + std::to_string(studentUploadBudget.names / mebibyte) +
               " MiB of paths, in all";
    if (left.milliseconds <= 0)
        return "this student's uploads take longer than " +
               std::to_string(studentUploadBudget.milliseconds / 1000) + " s to read, in all";
    return {};
}

// A request to a reader: what to do, where the upload lies in the
// descriptor that comes with it, what the student has left, and the paths
// to read.
enum RequestKind : char { listRequest = 'L', readRequest = 'R' };

std::string requestOf(RequestKind kind, const UploadPlace& place, const UploadBudget& left,
                      const std::vector<std::string_view>& paths)
{
    RecordWriter request;
    request.tag(kind);
    for (std::uint64_t value : {place.offset, place.size, left.bytes, left.entries, left.names, std::uint64_t{paths.size()}})
        request.number(value);
    for (std::string_view path : paths)
        request.text(path);
    return request.pending;
}

// In the child: does what a request asks of the upload in `fd`.
bool serveRequest(std::string_view request, int fd, int answer)
{
    RecordReader in{request};
    char kind = in.tag(listRequest);
    UploadPlace place{fd, in.number(), in.number()};
    UploadBudget left{in.number(), in.number(), in.number(), 0};
    std::vector<std::string_view> paths(std::min<std::uint64_t>(in.number(), request.size()));
    for (std::string_view& path : paths)
        path = in.text();
    if (in.broken)
        return false;
    return kind == listRequest ? listInChild(place, left, answer) : readInChild(place, paths, left, answer);
}

Confined askReader(UploadReaders& readers, const std::string& request, const UploadPlace& place,
                   std::uint64_t answerBound, const UploadBudget& left)
{
    return askConfined(readers.pool, request, place.fd, ConfinedBounds{answerBound, left.milliseconds});
}

// Charges a child's run to the student: its time, and what its answer says
// it decompressed and read.
void charge(UploadBudget& left, const Confined& run, RecordReader& costs)
{
    left.milliseconds -= run.milliseconds;
    std::uint64_t bytes = costs.number();
    std::uint64_t entries = costs.number();
    left.bytes -= std::min(left.bytes, bytes);
    left.entries -= std::min(left.entries, entries);
}

// The answer's records but its costs, and where they start.
RecordReader recordsOf(const Confined& run)
{
    return RecordReader{run.end == ConfinedEnd::answered ? std::string_view(run.answer) : std::string_view()};
}

}  // namespace

UploadReaders::UploadReaders() : pool(serveRequest, uploadReaderMemory) {}

UploadListing listUpload(UploadReaders& readers, const UploadPlace& place, UploadBudget& left)
{
    UploadListing listing;
    listing.problem = budgetSpent(left);
    listing.unread = !listing.problem.empty();
    listing.costly = listing.unread;
    if (listing.unread)
        return listing;
    // Paths within the names left, and a few bytes of each record.
    std::uint64_t bound = left.names + left.entries * 32 + 4096;
    Confined run = askReader(readers, requestOf(listRequest, place, left, {}), place, bound, left);
    RecordReader answer = recordsOf(run);
    for (char tag = answer.tag(endTag); !answer.broken && tag != endTag; tag = answer.tag(endTag)) {
        if (tag == entryTag) {
            auto state = static_cast<FileState>(answer.tag(endTag));
            std::string path(answer.text());
            std::string_view last = path;
            if (std::size_t slash = last.find_last_of('/'); slash != std::string_view::npos)
                last.remove_prefix(slash + 1);
            left.names -= std::min<std::uint64_t>(left.names, path.size());
            listing.entries.push_back(UploadEntry{path, std::string(last), state});
        } else if (tag == problemTag) {
            char stop = answer.tag(endTag);
            listing.problem = answer.text();
            listing.costly = stop != forWhatItIs;
            if (stop == forItsNames)
                left.names = 0;
        } else if (tag == costTag) {
            charge(left, run, answer);
        } else {
            answer.broken = true;
        }
    }
    if (answer.broken) {
        left.milliseconds -= run.milliseconds;
        listing.entries.clear();
        listing.problem = endProblem(run);
        listing.costly = run.end != ConfinedEnd::notStarted;
    }
    return listing;
}

std::string uploadTrouble(const UploadListing& listing, const std::string& shown)
{
    if (listing.problem.empty())
        return {};
    std::string_view what = listing.unread          ? "did not read "
                            : listing.entries.empty() ? "could not read "
                                                      : "could not read all of ";
    return std::string(what) + shown + ": " + listing.problem;
}

std::vector<UploadFile> readUploadEntries(UploadReaders& readers, const UploadPlace& place,
                                          const std::vector<std::string_view>& paths, UploadBudget& left)
{
    std::vector<UploadFile> files(paths.size());
    if (paths.empty() || !budgetSpent(left).empty()) {
        for (UploadFile& file : files)
            file.state = FileState::unreadable;
        return files;
    }
    std::uint64_t bound = std::min<std::uint64_t>(left.bytes, paths.size() * largestStudentFile) + paths.size() * 32 + 4096;
    Confined run = askReader(readers, requestOf(readRequest, place, left, paths), place, bound, left);
    RecordReader answer = recordsOf(run);
    for (char tag = answer.tag(endTag); !answer.broken && tag != endTag; tag = answer.tag(endTag)) {
        if (tag == fileTag) {
            std::uint64_t index = answer.number();
            auto state = static_cast<FileState>(answer.tag(endTag));
            std::string_view bytes = answer.text();
            if (index >= paths.size())
                break;
            // The same entry may be every test's that names it.
            for (std::size_t i = 0; i < paths.size(); ++i)
                if (paths[i] == paths[index]) {
                    files[i].state = state;
                    files[i].bytes = bytes;
                }
        } else if (tag == costTag) {
            charge(left, run, answer);
        } else {
            answer.broken = true;
        }
    }
    if (answer.broken)
        left.milliseconds -= run.milliseconds;
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (answer.broken && files[i].state == FileState::missing)
            files[i].state = FileState::unreadable;
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
