#include "class/intake/download_archive.h"

#include "io/archive.h"
#include "io/archive_path.h"
#include "io/folder.h"
#include "io/temporary_file.h"
#include "class/intake/layout.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

// While the first pass reads, it keeps the bytes of the files it meets, up
// to a bound, so that a class that fits needs no second pass: a
// compressed tar can only be read again by decompressing it all again.
constexpr std::uint64_t keptBound = 8 * mebibyte;

// The second pass may inflate an entry to pass it (its size after its
// data) only within the download's first half of its bound, so that
// entries as large as a student's file, one after another, cannot spend
// the bound it reads with.
constexpr std::uint64_t inflatedToPass = classDownloadLimits.bytes / 2;

bool fitsKept(const ArchiveReader& reader, const DownloadPlan& plan)
{
    const ArchiveEntry& entry = reader.entry;
    return entry.sizeKnown && entry.size <= largestStudentFile && plan.keptBytes + entry.size <= keptBound;
}

void keep(std::uint64_t index, std::string bytes, DownloadPlan& plan)
{
    plan.keptBytes += bytes.size();
    plan.kept.emplace(index, std::move(bytes));
}

// Copies an upload's bytes out of the download into the plan's store.
void storeUpload(ArchiveReader& download, std::uint64_t index, ListedEntry& entry, DownloadPlan& plan)
{
    StoredUpload stored{index, plan.stored, 0, {}};
    if (plan.store.fd < 0)
        plan.store = unnamedTemporaryFile();
    if (plan.store.fd < 0)
        stored.problem = std::string("it could not be set aside: ") + std::strerror(errno);
    for (std::string_view chunk; stored.problem.empty();) {
        ArchiveStatus read = readChunk(download, studentUploadLimits.bytes, chunk);
        if (read == ArchiveStatus::end)
            break;
        if (read != ArchiveStatus::ok) {
            stored.problem = read == ArchiveStatus::tooLarge ? "it is larger than " +
                                                                   std::to_string(studentUploadLimits.bytes / mebibyte) + " MiB"
                                                             : download.message;
            break;
        }
        if (!writeAt(plan.store.fd, chunk, plan.stored + stored.size))
            stored.problem = std::string("it could not be set aside: ") + std::strerror(errno);
        stored.size += chunk.size();
    }
    plan.stored += stored.size;
    entry.uploaded = static_cast<std::uint32_t>(plan.storedUploads.size());
    plan.storedUploads.push_back(std::move(stored));
}

// An entry's data, as the first pass meets it: an upload is set aside, to
// be listed once its student is known, a file kept where it fits.
void readData(ArchiveReader& download, std::uint64_t index, ListedEntry& entry, bool upload, DownloadPlan& plan)
{
    if (upload) {
        storeUpload(download, index, entry, plan);
        return;
    }
    if (!fitsKept(download, plan))
        return;
    std::string bytes;
    if (readEntry(download, largestStudentFile, bytes) == ArchiveStatus::ok)
        keep(index, std::move(bytes), plan);
}

// The texts a site reads (receipts) are held to this in all: past it, a
// download of hostile receipts is placed by its names alone.
constexpr std::uint64_t textsBound = 64 * mebibyte;

// Whether a site reads the entry's text: at the top, or in the one folder
// a download may be wrapped in.
bool wantsText(const LayoutChoice& choice, const std::vector<std::string_view>& components)
{
    if (components.size() > 2)
        return false;
    if (choice.given)
        return choice.sites[choice.site]->readsText != nullptr && choice.sites[choice.site]->readsText(components.back());
    return anySiteReadsText(choice.sites, components.back());
}

// The entry's first bytes, up to textRead and one more, within what all
// texts may hold.
void readText(ArchiveReader& download, std::uint64_t index, DownloadPlan& plan)
{
    if (plan.textBytes > textsBound)
        return;
    std::string text;
    for (std::string_view chunk; text.size() <= textRead;) {
        if (readChunk(download, largestStudentFile, chunk) != ArchiveStatus::ok)
            break;
        text.append(chunk.substr(0, textRead + 1 - text.size()));
    }
    plan.textBytes += text.size();
    if (plan.textBytes > textsBound)
        plan.warnings.push_back("holds more receipts' text than " + std::to_string(textsBound / mebibyte) +
                                " MiB: those past it are not read, and their files are placed by their names alone");
    plan.texts.emplace(index, std::move(text));
}

// Entries whose paths leave the folder they are unzipped in that a
// download's warnings name, one each; past them, one warning counts them.
constexpr std::uint64_t climbingNamed = 10;

// An entry whose path climbs out (`../x`) or starts at the root (`/x`) is
// never read, but the instructor is told: it may be a student's file that
// their name (a Canvas flat name ties no path to anyone) cannot place.
void noteClimbingEntry(DownloadPlan& plan, std::string_view path, std::uint64_t before)
{
    if (before < climbingNamed)
        plan.warnings.push_back(std::string(path) + ": its path leads out of the folder it is unpacked in: ignored");
    else if (before == climbingNamed)
        plan.warnings.push_back("more entries whose paths lead out of the folder they are unpacked in: ignored");
}

// Lists every entry the download holds, but for a Mac's litter and paths
// that leave it; false where nothing at all can be read.
bool listEntries(int fd, const LayoutChoice& choice, DownloadPlan& plan, std::string& error)
{
    ArchiveReader reader;
    ArchiveStatus status = openArchive(fd, ArchiveKind::classDownload, reader);
    if (status != ArchiveStatus::ok) {
        error = status == ArchiveStatus::notArchive ? "it is neither a folder nor a zip or tar archive"
                                                    : "it cannot be read as an archive: " + reader.message;
        return false;
    }
    std::uint64_t sizes = 0;
    std::uint64_t climbing = 0;
    for (std::uint64_t index = 0;; ++index) {
        status = nextEntry(reader);
        if (status == ArchiveStatus::end)
            break;
        if (status != ArchiveStatus::ok && status != ArchiveStatus::damaged) {
            plan.warnings.push_back("cannot be read past its entry " + std::to_string(index) + ": " + reader.message +
                                    "; students whose files lay after it are not graded");
            plan.broken = true;
            break;
        }
        plan.entries = index + 1;
        sizes += reader.entry.sizeKnown ? reader.entry.size : 0;
        if (reader.entry.sizeKnown && (reader.entry.size > largestStudentFile || sizes > inflatedToPass))
            plan.large.push_back(index);
        EntryPath path = splitEntryPath(reader.entry.path);
        bool climbs = path.problem == PathProblem::parent || path.problem == PathProblem::absolute;
        if (status != ArchiveStatus::damaged && climbs)
            noteClimbingEntry(plan, reader.entry.path, climbing++);
        if (status == ArchiveStatus::damaged || path.problem != PathProblem::none)
            continue;
        if (isMacLitter(path.components)) {
            ++plan.listing.litter;
            continue;
        }
        ListedEntry entry;
        entry.index = index;
        std::string joined = joinPath(path.components);
        entry.path = static_cast<std::uint32_t>(plan.paths.size());
        entry.size = static_cast<std::uint32_t>(joined.size());
        entry.top = static_cast<std::uint32_t>(path.components.front().size());
        entry.nested = path.components.size() > 1;
        entry.folder = reader.entry.kind == EntryKind::folder;
        entry.refused = refusalOf(reader.entry);
        // A local header that disagrees with the central directory: what
        // unzip and the site show of the entry is not what its bytes hold.
        if (!reader.entryRefusal.empty())
            entry.refused = FileState::unreadable;
        plan.paths += joined;
        if (entry.refused == FileState::graded && !entry.folder && wantsText(choice, path.components))
            readText(reader, index, plan);
        else if (entry.refused == FileState::graded && !entry.folder)
            readData(reader, index, entry, looksLikeUpload(path.components.back()), plan);
        plan.listed.push_back(entry);
    }
    return true;
}

std::string_view topOf(const DownloadPlan& plan, const ListedEntry& entry)
{
    return plan.pathOf(entry).substr(plan.unwrapped, entry.top - plan.unwrapped);
}

// A name at the top that starts with a dot (.DS_Store) is no one's, as in
// a folder.
bool hidden(const DownloadPlan& plan, const ListedEntry& entry)
{
    return plan.pathOf(entry).substr(plan.unwrapped).starts_with('.');
}

// What the one folder `first` holds at its top, each once.
std::vector<TopEntry> insideOf(const DownloadPlan& plan, std::string_view first)
{
    std::map<std::string_view, bool> inside;
    for (const ListedEntry& entry : plan.listed) {
        std::string_view rest = plan.pathOf(entry).substr(std::min<std::size_t>(first.size() + 1, entry.size));
        if (!entry.nested || rest.starts_with('.'))
            continue;
        std::size_t slash = rest.find('/');
        bool& folder = inside[rest.substr(0, slash)];
        folder = folder || entry.folder || slash != std::string_view::npos;
    }
    std::vector<TopEntry> top;
    for (const auto& [name, folder] : inside)
        top.push_back(TopEntry{name, folder});
    return top;
}

// A download whose every entry lies in one folder (a class zipped as its
// folder, a site's download unzipped and zipped again, beside a Mac's
// litter) is read from inside that folder, where what it holds reads as a
// class; but not a download of one student, whose folder is named as a
// site names a student's, or holds their files: its student's subfolders
// must not pass for students.
void unwrap(DownloadPlan& plan, SiteList sites)
{
    auto first = std::find_if(plan.listed.begin(), plan.listed.end(),
                              [&](const ListedEntry& entry) { return !hidden(plan, entry); });
    if (first == plan.listed.end())
        return;
    std::string_view folder = plan.pathOf(*first).substr(0, first->top);
    if (namesOneStudent(sites, folder))
        return;
    for (const ListedEntry& entry : plan.listed)
        if (!hidden(plan, entry) && (plan.pathOf(entry).substr(0, entry.top) != folder || (!entry.nested && !entry.folder)))
            return;
    if (!readsAsClass(sites, insideOf(plan, folder)))
        return;
    std::erase_if(plan.listed, [](const ListedEntry& entry) { return !entry.nested; });
    std::uint32_t cut = static_cast<std::uint32_t>(folder.size()) + 1;
    for (ListedEntry& entry : plan.listed) {
        std::string_view rest = plan.pathOf(entry).substr(cut);
        entry.top = cut + static_cast<std::uint32_t>(std::min(rest.find('/'), rest.size()));
        entry.nested = rest.find('/') != std::string_view::npos;
    }
    plan.unwrapped = cut;
}

// The entries at the top, each once, and for each listed entry which.
std::vector<TopEntry> topEntries(const DownloadPlan& plan, std::vector<std::uint32_t>& topOfEntry)
{
    std::map<std::string_view, std::uint32_t> index;
    std::vector<TopEntry> top;
    topOfEntry.reserve(plan.listed.size());
    for (const ListedEntry& entry : plan.listed) {
        auto [found, added] = index.try_emplace(topOf(plan, entry), static_cast<std::uint32_t>(top.size()));
        if (added)
            top.push_back(TopEntry{found->first, false});
        if (auto text = plan.texts.find(entry.index); text != plan.texts.end() && !entry.nested)
            top[found->second].text = text->second;
        top[found->second].folder = top[found->second].folder || entry.folder || entry.nested;
        topOfEntry.push_back(found->second);
    }
    return top;
}

// What one student handed in, gathered from their entries: files at the
// top, or right in a folder of theirs, and what their uploads hold.
// What an upload the first pass set aside holds, listed within what its
// student's uploads may still cost.
UploadListing listStored(DownloadPlan& plan, std::uint32_t upload, UploadBudget& budget)
{
    const StoredUpload& stored = plan.storedUploads[upload];
    if (!stored.problem.empty())
        return UploadListing{{}, stored.problem, false};
    return listUpload(*plan.readers, UploadPlace{plan.store.fd, stored.offset, stored.size}, budget);
}

Handed handedBy(DownloadPlan& plan, const SiteNames& site, const Student& owner,
                const std::vector<std::uint32_t>& entries, std::vector<std::uint32_t>& entryOf, UploadBudget& budget)
{
    Handed handed;
    for (std::uint32_t e : entries) {
        const ListedEntry& entry = plan.listed[e];
        std::string_view path = plan.pathOf(entry).substr(plan.unwrapped);
        std::string_view rest = path.substr(std::min<std::size_t>(path.size(), entry.top - plan.unwrapped + 1));
        bool flat = !entry.nested;
        if (entry.folder || (!flat && rest.find('/') != std::string_view::npos))
            continue;
        // A site's flat names hold the student's own file name after their
        // ids.
        std::string name = flat ? flatFileName(site, path, owner) : std::string(rest);
        if (name.empty())
            continue;
        std::size_t own = handed.files.size();
        handed.files.push_back(HandedIn{name, name, false});
        handed.sources.push_back(FileSource{SourceKind::inDownload, 0, std::string(plan.pathOf(entry)), entry.refused});
        entryOf.push_back(e);
        if (entry.uploaded == UINT32_MAX)
            continue;
        UploadListing upload = listStored(plan, entry.uploaded, budget);
        if (std::string trouble = uploadTrouble(upload, name); !trouble.empty())
            handed.troubles.push_back(trouble);
        for (const UploadEntry& inner : upload.entries) {
            handed.files.push_back(HandedIn{inner.name, name + "/" + inner.path, true});
            handed.sources.push_back(
                FileSource{SourceKind::inUpload, static_cast<std::uint32_t>(own), inner.path, inner.state});
            entryOf.push_back(e);
        }
    }
    return handed;
}

void markBrokenOff(std::vector<Choice>& choices, Student& student)
{
    for (std::uint32_t t = 0; t < choices.size(); ++t) {
        if (choices[t].state != FileState::missing)
            continue;
        choices[t].state = FileState::unreadable;
        std::erase_if(student.notes, [&](const FileNote& note) { return note.test == t && note.kind == NoteKind::why; });
        student.notes.push_back(FileNote{t, NoteKind::why, "could not read: the archive breaks off among this student's files"});
    }
}

// Chooses a student's files, and notes which to read for them.
void chooseFor(DownloadPlan& plan, const SiteNames& site, const std::vector<Test>& tests, std::uint32_t s,
               const std::vector<std::uint32_t>& entries)
{
    Student& student = plan.students[s];
    std::vector<std::uint32_t> entryOf;
    Handed handed = handedBy(plan, site, student, entries, entryOf, plan.budgets[s]);
    plan.choices[s] = chooseFiles(tests, handed, student.notes);
    for (std::uint32_t t = 0; t < tests.size(); ++t) {
        Choice& chosen = plan.choices[s][t];
        if (chosen.state != FileState::graded)
            continue;
        const FileSource& source = handed.sources[chosen.file];
        bool inside = source.kind == SourceKind::inUpload;
        // A link, a device, an encrypted file: refused unread.
        FileState refused = inside ? handed.sources[source.container].refused : FileState::graded;
        if (refused == FileState::graded)
            refused = source.refused;
        if (refused != FileState::graded) {
            chosen.state = refused;
            continue;
        }
        const ListedEntry& entry = plan.listed[entryOf[chosen.file]];
        WantedFile wanted{static_cast<std::uint32_t>(entry.index), s, t, entry.path, entry.size};
        // The name the student gave it ends the entry's path (after the
        // ids a site's flat name puts first): its length is all to keep.
        std::string_view handedName = handed.files[inside ? source.container : chosen.file].shown;
        if (plan.pathOf(entry).ends_with(handedName))
            wanted.handedSize = static_cast<std::uint32_t>(handedName.size());
        if (inside) {
            wanted.insideAt = static_cast<std::uint32_t>(plan.insidePaths.size());
            wanted.insideSize = static_cast<std::uint32_t>(source.entry.size());
            plan.insidePaths += source.entry;
        }
        plan.wanted.push_back(wanted);
        ++plan.filesLeft[s];
    }
}

}  // namespace

bool planDownload(int fd, const LayoutChoice& choice, const std::vector<Test>& tests, DownloadPlan& plan,
                  std::string& error)
{
    if (!listEntries(fd, choice, plan, error))
        return false;
    unwrap(plan, choice.sites);
    plan.listing.litter += std::erase_if(plan.listed, [&](const ListedEntry& entry) { return hidden(plan, entry); });
    std::vector<std::uint32_t> topOfEntry;
    std::vector<TopEntry> top = topEntries(plan, topOfEntry);
    plan.listing.site = choice.given ? choice.site : detectLayout(choice.sites, top);
    std::vector<std::uint32_t> owners;
    plan.students = studentsOf(*choice.sites[plan.listing.site], top, plan.listing.ignored, &owners,
                               &plan.listing.doubtful, &plan.listing.older, &plan.listing.remarks);
    std::vector<TopEntry>().swap(top);
    std::map<std::uint64_t, std::string>().swap(plan.texts);

    // Each student's entries, in the download's order.
    std::vector<std::vector<std::uint32_t>> entriesOf(plan.students.size());
    for (std::uint32_t e = 0; e < plan.listed.size(); ++e)
        if (std::uint32_t owner = owners[topOfEntry[e]]; owner != noOwner)
            entriesOf[owner].push_back(e);
    // The student whose files the download broke off among: a file of
    // theirs not found may lie past the break.
    std::uint32_t lastRead = plan.broken && !plan.listed.empty() ? owners[topOfEntry.back()] : noOwner;
    std::vector<std::uint32_t>().swap(topOfEntry);
    plan.choices.resize(plan.students.size());
    plan.budgets.assign(plan.students.size(), studentUploadBudget);
    plan.filesLeft.assign(plan.students.size(), 0);
    plan.wanted.reserve(std::min(plan.listed.size(), plan.students.size() * tests.size()));
    for (std::uint32_t s = 0; s < plan.students.size(); ++s) {
        plan.students[s].sourceIndex = s;
        chooseFor(plan, *choice.sites[plan.listing.site], tests, s, entriesOf[s]);
        if (s == lastRead)
            markBrokenOff(plan.choices[s], plan.students[s]);
        std::vector<std::uint32_t>().swap(entriesOf[s]);
    }
    std::stable_sort(plan.wanted.begin(), plan.wanted.end(),
                     [](const WantedFile& a, const WantedFile& b) { return a.entry < b.entry; });
    if (plan.unwrapped != 0)
        plan.unwrappedFolder = plan.paths.substr(0, plan.unwrapped - 1);
    plan.listing.within = plan.unwrappedFolder;
    std::vector<ListedEntry>().swap(plan.listed);
    plan.wanted.shrink_to_fit();
    plan.paths.shrink_to_fit();
    return true;
}

namespace {

StudentFile refusedFile(FileState state)
{
    StudentFile file;
    file.state = state;
    return file;
}

// Files read from the download wait for their student's turn (the rest of
// the student's files, then a worker) in memory up to this, in all; past
// it, each waits in an unnamed temporary file, which the grading reads as
// it reads a folder's file.  A student's ten largest files then cost the
// run one file's memory, not ten.
constexpr std::uint64_t heldInMemory = 64 * mebibyte;

// What the files read and waiting hold in memory.
struct Waiting {
    std::shared_ptr<HeldMemory> held = std::make_shared<HeldMemory>();
};

// Only the reading adds to what is held, and the workers only give back,
// so a file that fits now still fits when it is added.
bool fitsInMemory(const Waiting& waiting, std::uint64_t size)
{
    std::uint64_t now = waiting.held->bytes;
    return now <= heldInMemory && size <= heldInMemory - now;
}

// A temporary file that cannot be made or written is the grader's
// trouble: no student may lose a test to a full disk.
StudentFile graderTrouble(int error)
{
    StudentFile file = refusedFile(FileState::unreadable);
    file.graderError = error != 0 ? error : EIO;
    return file;
}

// The `size` bytes of `spilled`, to be graded from its start.
StudentFile spilledFile(Descriptor spilled, std::uint64_t size)
{
    StudentFile file;
    file.state = FileState::graded;
    file.size = size;
    file.file = std::move(spilled);
    return file;
}

// A file read whole: held in memory where it fits what waits there, else
// written to an unnamed file.
StudentFile heldFile(Waiting& waiting, std::string bytes)
{
    if (!fitsInMemory(waiting, bytes.size())) {
        Descriptor spilled = unnamedTemporaryFile();
        if (spilled.fd < 0 || !writeAt(spilled.fd, bytes, 0))
            return graderTrouble(errno);
        return spilledFile(std::move(spilled), bytes.size());
    }
    StudentFile file;
    file.state = FileState::graded;
    file.inMemory = true;
    file.size = bytes.size();
    file.share = MemoryShare(waiting.held, bytes.size());
    file.bytes = std::move(bytes);
    return file;
}

StudentFile fileOfBytes(Waiting& waiting, ArchiveStatus status, std::string bytes)
{
    FileState state = stateOfRead(status);
    return state == FileState::graded ? heldFile(waiting, std::move(bytes)) : refusedFile(state);
}

// The current entry, too large for what may wait in memory, read straight
// into an unnamed file, and a file of it for each of `count` tests that
// want it: each its own open file, since the grading reads from where the
// file stands.
std::vector<StudentFile> spillEntry(ArchiveReader& reader, std::size_t count)
{
    std::vector<StudentFile> files(count);
    Descriptor spilled = unnamedTemporaryFile();
    std::uint64_t size = 0;
    ArchiveStatus status = spilled.fd < 0 ? ArchiveStatus::readError : ArchiveStatus::ok;
    int error = errno;
    for (std::string_view chunk; status == ArchiveStatus::ok; size += chunk.size()) {
        status = readChunk(reader, largestStudentFile, chunk);
        if (status == ArchiveStatus::ok && !writeAt(spilled.fd, chunk, size)) {
            status = ArchiveStatus::readError;
            error = errno;
        }
    }
    std::string again = "/proc/self/fd/" + std::to_string(spilled.fd);
    for (StudentFile& file : files) {
        if (status == ArchiveStatus::readError) {
            file = graderTrouble(error);
        } else if (status != ArchiveStatus::end) {
            file = refusedFile(stateOfRead(status));
        } else {
            Descriptor own(&file == &files.back() ? std::exchange(spilled.fd, -1) : open(again.c_str(), O_RDONLY | O_CLOEXEC));
            file = own.fd < 0 ? graderTrouble(errno) : spilledFile(std::move(own), size);
        }
    }
    return files;
}

std::vector<StudentFile> unreadableFiles(std::size_t count)
{
    std::vector<StudentFile> files;
    for (std::size_t i = 0; i < count; ++i)
        files.push_back(refusedFile(FileState::unreadable));
    return files;
}

// The files wanted inside an upload, read in one pass out of where the
// first pass set it aside, charged to its student.
std::vector<StudentFile> readStored(DownloadPlan& plan, std::uint64_t entry, std::uint32_t student,
                                    const std::vector<std::string_view>& inside, Waiting& waiting)
{
    std::vector<StudentFile> files;
    if (inside.empty())
        return files;
    auto stored = std::lower_bound(plan.storedUploads.begin(), plan.storedUploads.end(), entry,
                                   [](const StoredUpload& upload, std::uint64_t index) { return upload.entry < index; });
    if (stored == plan.storedUploads.end() || stored->entry != entry || !stored->problem.empty())
        return unreadableFiles(inside.size());
    UploadPlace place{plan.store.fd, stored->offset, stored->size};
    for (UploadFile& read : readUploadEntries(*plan.readers, place, inside, plan.budgets[student]))
        files.push_back(read.state == FileState::graded ? heldFile(waiting, std::move(read.bytes))
                                                        : refusedFile(read.state));
    return files;
}

// The second pass's reader.  A zip is read by its local headers, whose
// memory does not grow with the entries (the central directory of a class
// of 20,000 is some 30 MB in libarchive), as long as they lead from one
// entry to the next: an entry whose size comes after its data is passed by
// inflating it where it is deflated (its data marks its own end) and the
// first pass found it small.  Where they cannot (a large entry; a stored
// one, whose bytes could pass for the entries after it; damage; an entry
// that is not the one the first pass listed there), the reading goes on by
// the central directory, as the first pass read it.
struct SecondPass {
    int fd = -1;
    std::unique_ptr<ArchiveReader> reader;
    bool indexed = false;
    bool opened = false;
};

void openSecond(SecondPass& pass, ZipIndex index)
{
    pass.reader = std::make_unique<ArchiveReader>();
    pass.indexed = index == ZipIndex::centralDirectory;
    pass.opened = openArchive(pass.fd, ArchiveKind::classDownload, *pass.reader, index) == ArchiveStatus::ok;
}

// Whether the local headers can be trusted to have led to entry `index`,
// listed as `listed` (empty: an entry not wanted), and past it.
bool trusted(const SecondPass& pass, const DownloadPlan& plan, std::uint64_t index, ArchiveStatus status,
             std::string_view listed)
{
    if (pass.indexed || !isZipArchive(*pass.reader))
        return true;
    const ArchiveEntry& entry = pass.reader->entry;
    bool passable = entry.sizeKnown || (endsByItself(*pass.reader) &&
                                        !std::binary_search(plan.large.begin(), plan.large.end(), index));
    return status == ArchiveStatus::ok && passable &&
           (listed.empty() || joinPath(splitEntryPath(entry.path).components) == listed);
}

// Entry `index`, read by the central directory, the entries before it
// passed unread.
ArchiveStatus reopenIndexed(SecondPass& pass, std::uint64_t index)
{
    openSecond(pass, ZipIndex::centralDirectory);
    if (!pass.opened)
        return pass.reader->finished;
    for (std::uint64_t before = 0; before < index; ++before)
        if (ArchiveStatus status = nextEntry(*pass.reader); status != ArchiveStatus::ok && status != ArchiveStatus::damaged)
            return status;
    return nextEntry(*pass.reader);
}

}  // namespace

void readDownload(int fd, std::string_view root, DownloadPlan& plan, std::vector<std::vector<StudentFile>>& files,
                  const std::function<void(std::uint32_t student)>& ready)
{
    files.clear();
    files.resize(plan.choices.size());
    for (std::uint32_t s = 0; s < plan.choices.size(); ++s)
        if (plan.filesLeft[s] == 0)
            ready(s);
    Waiting waiting;
    SecondPass pass;
    pass.fd = fd;
    openSecond(pass, ZipIndex::localHeaders);
    // What an entry's bytes give each student who wants them.
    auto filesOf = [&](std::size_t from, std::size_t to, ArchiveStatus read, std::string& bytes) {
        std::vector<std::string_view> inside;
        for (std::size_t w = from; w < to; ++w)
            if (plan.wanted[w].insideSize != 0)
                inside.push_back(plan.insideOf(plan.wanted[w]));
        std::vector<StudentFile> insideFiles = readStored(plan, plan.wanted[from].entry, plan.wanted[from].student, inside, waiting);
        std::vector<StudentFile> made;
        std::size_t nextInside = 0;
        std::size_t lastWhole = to;
        for (std::size_t w = from; w < to; ++w)
            lastWhole = plan.wanted[w].insideSize == 0 ? w : lastWhole;
        // The bytes go to the last test that wants them, copied only for
        // the others: a file of 64 MiB is not held twice.
        for (std::size_t w = from; w < to; ++w) {
            if (plan.wanted[w].insideSize != 0)
                made.push_back(std::move(insideFiles[nextInside++]));
            else
                made.push_back(fileOfBytes(waiting, read, w == lastWhole ? std::move(bytes) : std::string(bytes)));
        }
        return made;
    };
    // A file too large for the memory the run has is its student's note,
    // as it is when read from a folder.
    auto outOfMemory = [](std::size_t count) {
        std::vector<StudentFile> files(count);
        for (StudentFile& file : files)
            file.state = FileState::outOfMemory;
        return files;
    };
    auto deliverFiles = [&](std::size_t from, std::size_t to, std::vector<StudentFile> made) {
        for (std::size_t w = from; w < to; ++w) {
            const WantedFile& want = plan.wanted[w];
            std::vector<StudentFile>& theirs = files[want.student];
            if (theirs.empty())
                theirs.resize(plan.choices[want.student].size());
            StudentFile& file = theirs[want.test];
            file = std::move(made[w - from]);
            file.shownPath = pathInFolder(root, plan.pathOf(want));
            if (want.insideSize != 0)
                file.shownPath.append("/").append(plan.insideOf(want));
            file.handedPath = plan.handedOf(want);
            if (--plan.filesLeft[want.student] == 0)
                ready(want.student);
        }
    };
    auto deliver = [&](std::size_t from, std::size_t to, ArchiveStatus read, std::string bytes) {
        std::vector<StudentFile> made;
        try {
            made = filesOf(from, to, read, bytes);
        } catch (const std::bad_alloc&) {
            made = outOfMemory(to - from);
        }
        deliverFiles(from, to, std::move(made));
    };
    // The wanted files of one entry lie together: [from, to).
    auto span = [&](std::size_t from) {
        std::size_t to = from;
        while (to < plan.wanted.size() && plan.wanted[to].entry == plan.wanted[from].entry)
            ++to;
        return to;
    };
    auto wantsInside = [&](std::size_t from, std::size_t to) {
        return std::any_of(plan.wanted.begin() + static_cast<std::ptrdiff_t>(from),
                           plan.wanted.begin() + static_cast<std::ptrdiff_t>(to),
                           [](const WantedFile& w) { return w.insideSize != 0; });
    };
    auto wantsWhole = [&](std::size_t from, std::size_t to) {
        return std::any_of(plan.wanted.begin() + static_cast<std::ptrdiff_t>(from),
                           plan.wanted.begin() + static_cast<std::ptrdiff_t>(to),
                           [](const WantedFile& w) { return w.insideSize == 0; });
    };
    // What the first pass kept or set aside needs no second.
    std::vector<std::size_t> unkept;
    for (std::size_t from = 0; from < plan.wanted.size();) {
        std::size_t to = span(from);
        auto kept = plan.kept.find(plan.wanted[from].entry);
        if (!wantsWhole(from, to)) {
            deliver(from, to, ArchiveStatus::ok, std::string());
        } else if (kept == plan.kept.end()) {
            unkept.push_back(from);
        } else {
            deliver(from, to, ArchiveStatus::ok, std::move(kept->second));
            plan.kept.erase(kept);
        }
        from = to;
    }
    auto next = unkept.begin();
    for (std::uint64_t index = 0; pass.opened && next != unkept.end(); ++index) {
        ArchiveStatus status = nextEntry(*pass.reader);
        std::uint64_t entry = plan.wanted[*next].entry;
        if (!trusted(pass, plan, index, status, index == entry ? plan.pathOf(plan.wanted[*next]) : std::string_view()))
            status = reopenIndexed(pass, index);
        if (status != ArchiveStatus::ok && status != ArchiveStatus::damaged)
            break;
        if (index != entry)
            continue;
        ArchiveReader& reader = *pass.reader;
        std::size_t from = *next++;
        std::size_t to = span(from);
        std::string bytes;
        // The entry must be the one the first pass listed there.
        bool listed = status == ArchiveStatus::ok &&
                      joinPath(splitEntryPath(reader.entry.path).components) == plan.pathOf(plan.wanted[from]);
        if (listed && reader.entry.sizeKnown && reader.entry.size <= largestStudentFile &&
            !fitsInMemory(waiting, reader.entry.size) && !wantsInside(from, to)) {
            deliverFiles(from, to, spillEntry(reader, to - from));
            continue;
        }
        ArchiveStatus read = status == ArchiveStatus::damaged ? status : ArchiveStatus::broken;
        try {
            if (listed)
                read = readEntry(reader, largestStudentFile, bytes);
        } catch (const std::bad_alloc&) {
            std::string().swap(bytes);
            deliverFiles(from, to, outOfMemory(to - from));
            continue;
        }
        deliver(from, to, read, std::move(bytes));
    }
    // What the second pass could not reach could not be read.
    for (; next != unkept.end(); ++next)
        deliver(*next, span(*next), ArchiveStatus::broken, std::string());
}
