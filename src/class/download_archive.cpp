#include "download_archive.h"

#include "io/archive.h"
#include "io/archive_path.h"
#include "layout.h"
#include "uploads.h"

#include <algorithm>

namespace {

// An entry of the download as the first pass lists it.
struct Listed {
    std::uint64_t index = 0;
    std::vector<std::string> components;
    bool folder = false;
    FileState refused = FileState::graded;
    std::vector<UploadEntry> inside;  // for an upload: what it holds
};

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

// While the first pass reads, it keeps the bytes of the files it meets, up
// to a bound, so that a class that fits needs no second pass: a
// compressed tar can only be read again by decompressing it all again.
constexpr std::uint64_t keptBound = 8 * mebibyte;

bool fitsKept(const ArchiveReader& reader, const DownloadPlan& plan)
{
    const ArchiveEntry& entry = reader.entry;
    return entry.sizeKnown && entry.size <= largestStudentFile && plan.keptBytes + entry.size <= keptBound;
}

void keep(ArchiveReader& download, DownloadPlan& plan)
{
    if (!fitsKept(download, plan))
        return;
    std::string bytes;
    if (readEntry(download, largestStudentFile, bytes) != ArchiveStatus::ok)
        return;
    plan.keptBytes += bytes.size();
    plan.kept.emplace(plan.entries - 1, std::move(bytes));
}

// What an upload in the download holds, read out of it into memory.
void listInside(ArchiveReader& download, Listed& listed, DownloadPlan& plan)
{
    bool fits = fitsKept(download, plan);
    std::string bytes;
    if (readEntry(download, studentUploadLimits.bytes, bytes) != ArchiveStatus::ok) {
        plan.warnings.push_back(download.entry.path + ": could not read: " + download.message);
        return;
    }
    ArchiveReader upload;
    std::string problem;
    if (openArchiveInside(download, bytes, upload) != ArchiveStatus::ok || !listUpload(upload, listed.inside, problem))
        plan.warnings.push_back(download.entry.path + ": could not read: " + (problem.empty() ? upload.message : problem));
    if (fits) {
        plan.keptBytes += bytes.size();
        plan.kept.emplace(plan.entries - 1, std::move(bytes));
    }
}

// Lists every entry the download holds, but for a Mac's litter and paths
// that leave it; false where nothing at all can be read.
bool listEntries(int fd, std::vector<Listed>& listed, DownloadPlan& plan, std::string& error)
{
    ArchiveReader reader;
    ArchiveStatus status = openArchive(fd, ArchiveKind::classDownload, reader);
    if (status != ArchiveStatus::ok) {
        error = status == ArchiveStatus::notArchive ? "it is neither a folder nor a zip or tar archive"
                                                    : "it cannot be read as an archive: " + reader.message;
        return false;
    }
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
        EntryPath path = splitEntryPath(reader.entry.path);
        if (status == ArchiveStatus::damaged || path.problem != PathProblem::none || isMacLitter(path.components))
            continue;
        Listed entry;
        entry.index = index;
        for (std::string_view component : path.components)
            entry.components.emplace_back(component);
        entry.folder = reader.entry.kind == EntryKind::folder;
        entry.refused = refusalOf(reader.entry);
        if (entry.refused == FileState::graded && !entry.folder) {
            if (looksLikeUpload(entry.components.back()))
                listInside(reader, entry, plan);
            else
                keep(reader, plan);
        }
        listed.push_back(std::move(entry));
    }
    return true;
}

// A download whose every entry lies in one folder (a class zipped as its
// folder) is read from inside that folder.
std::string unwrap(std::vector<Listed>& listed)
{
    if (listed.empty())
        return {};
    const std::string& first = listed.front().components.front();
    for (const Listed& entry : listed)
        if (entry.components.front() != first || (entry.components.size() == 1 && !entry.folder))
            return {};
    std::vector<Listed> inner;
    for (Listed& entry : listed)
        if (entry.components.size() > 1) {
            entry.components.erase(entry.components.begin());
            inner.push_back(std::move(entry));
        }
    listed = std::move(inner);
    return first;
}

std::vector<TopEntry> topOf(const std::vector<Listed>& listed)
{
    std::map<std::string, bool> top;
    for (const Listed& entry : listed)
        top[entry.components.front()] = top[entry.components.front()] || entry.folder || entry.components.size() > 1;
    std::vector<TopEntry> entries;
    for (const auto& [name, folder] : top)
        entries.push_back(TopEntry{name, folder});
    return entries;
}

std::string joined(const std::vector<std::string>& components)
{
    std::string path;
    for (const std::string& component : components)
        path += (path.empty() ? "" : "/") + component;
    return path;
}

// Adds an entry, and what it holds if an upload, to what its student
// handed in; gives where the entry lies among the files.
void addHanded(Handed& handed, const Listed& entry, const std::string& name, const std::string& prefix,
               std::map<std::size_t, std::uint64_t>& entryOf)
{
    std::size_t own = handed.files.size();
    handed.files.push_back(HandedIn{name, name, false});
    handed.sources.push_back(FileSource{SourceKind::inDownload, 0, prefix + joined(entry.components), entry.refused});
    entryOf[own] = entry.index;
    for (const UploadEntry& inner : entry.inside) {
        handed.files.push_back(HandedIn{inner.name, name + "/" + inner.path, true});
        handed.sources.push_back(FileSource{SourceKind::inUpload, static_cast<std::uint32_t>(own), inner.path, inner.state});
    }
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

}  // namespace

bool planDownload(int fd, const LayoutChoice& choice, const std::vector<Test>& tests, DownloadPlan& plan,
                  std::string& error)
{
    std::vector<Listed> listed;
    if (!listEntries(fd, listed, plan, error))
        return false;
    plan.wrapper = unwrap(listed);
    std::string prefix = plan.wrapper.empty() ? std::string() : plan.wrapper + "/";
    std::vector<TopEntry> top = topOf(listed);
    plan.listing.layout = choice.given ? choice.layout : detectLayout(top);
    plan.students = studentsOf(plan.listing.layout, top, plan.listing.ignored);

    // Which student each top entry is: a folder of theirs, or a file.
    std::map<std::string, std::pair<std::uint32_t, std::string>> owner;  // top name: student, file name
    for (std::uint32_t s = 0; s < plan.students.size(); ++s) {
        for (const std::string& folder : plan.students[s].folders)
            owner[folder] = {s, {}};
        for (const FlatFile& flat : plan.students[s].flatFiles)
            owner[flat.entry] = {s, flat.fileName};
    }
    plan.handed.assign(plan.students.size(), Handed{});
    std::vector<std::map<std::size_t, std::uint64_t>> entryOf(plan.students.size());
    for (const Listed& entry : listed) {
        auto found = owner.find(entry.components.front());
        if (found == owner.end() || entry.folder)
            continue;
        auto [student, fileName] = found->second;
        bool flat = !fileName.empty() && entry.components.size() == 1;
        bool inFolder = fileName.empty() && entry.components.size() == 2;
        if (flat || inFolder)
            addHanded(plan.handed[student], entry, flat ? fileName : entry.components.back(), prefix, entryOf[student]);
    }

    // The student whose files the download broke off among: a file of
    // theirs not found may lie past the break.
    std::uint32_t lastRead = UINT32_MAX;
    if (plan.broken && !listed.empty()) {
        auto found = owner.find(listed.back().components.front());
        if (found != owner.end())
            lastRead = found->second.first;
    }
    plan.choices.resize(plan.students.size());
    plan.filesLeft.assign(plan.students.size(), 0);
    for (std::uint32_t s = 0; s < plan.students.size(); ++s) {
        plan.students[s].planIndex = s;
        plan.choices[s] = chooseFiles(tests, plan.handed[s], plan.students[s].notes);
        if (plan.broken && s == lastRead)
            markBrokenOff(plan.choices[s], plan.students[s]);
        for (std::uint32_t t = 0; t < tests.size(); ++t) {
            Choice& chosen = plan.choices[s][t];
            if (chosen.state != FileState::graded)
                continue;
            const FileSource& source = plan.handed[s].sources[chosen.file];
            bool inside = source.kind == SourceKind::inUpload;
            // A link, a device, an encrypted file: refused unread.
            FileState refused = inside ? plan.handed[s].sources[source.container].refused : FileState::graded;
            if (refused == FileState::graded)
                refused = source.refused;
            if (refused != FileState::graded) {
                chosen.state = refused;
                continue;
            }
            std::uint64_t entry = entryOf[s][inside ? source.container : chosen.file];
            plan.wanted[entry].push_back(WantedFile{s, t, inside ? source.entry : std::string()});
            ++plan.filesLeft[s];
        }
    }
    return true;
}

namespace {

StudentFile refusedFile(FileState state)
{
    StudentFile file;
    file.state = state;
    return file;
}

StudentFile fileOfBytes(ArchiveStatus status, std::string bytes)
{
    StudentFile file;
    switch (status) {
    case ArchiveStatus::ok:
        file.state = FileState::graded;
        file.inMemory = true;
        file.size = bytes.size();
        file.bytes = std::move(bytes);
        break;
    case ArchiveStatus::tooLarge:
        file.state = FileState::refusedTooLarge;
        break;
    case ArchiveStatus::encrypted:
        file.state = FileState::encrypted;
        break;
    default:
        file.state = FileState::unreadable;
    }
    return file;
}

// The files wanted inside an upload, read out of its bytes.
void readInside(ArchiveReader& download, const std::string& bytes, const WantedFile& wanted, StudentFile& file)
{
    ArchiveReader upload;
    if (openArchiveInside(download, bytes, upload) != ArchiveStatus::ok) {
        file = refusedFile(FileState::unreadable);
        return;
    }
    UploadFile read = readUploadEntry(upload, wanted.inside);
    file = read.state == FileState::graded ? fileOfBytes(ArchiveStatus::ok, std::move(read.bytes)) : refusedFile(read.state);
}

}  // namespace

void readDownload(int fd, DownloadPlan& plan, std::vector<std::vector<StudentFile>>& files,
                  const std::function<void(std::uint32_t student)>& ready)
{
    files.clear();
    files.resize(plan.choices.size());
    for (std::uint32_t s = 0; s < plan.choices.size(); ++s) {
        files[s].resize(plan.choices[s].size());
        if (plan.filesLeft[s] == 0)
            ready(s);
    }
    ArchiveReader reader;
    bool opened = openArchive(fd, ArchiveKind::classDownload, reader) == ArchiveStatus::ok;
    // What an entry's bytes give each student who wants them.
    auto deliver = [&](const std::vector<WantedFile>& wanted, ArchiveStatus read, const std::string& bytes) {
        for (const WantedFile& want : wanted) {
            StudentFile& file = files[want.student][want.test];
            if (want.inside.empty())
                file = fileOfBytes(read, bytes);
            else if (read == ArchiveStatus::ok && opened)
                readInside(reader, bytes, want, file);
            else
                file = refusedFile(FileState::unreadable);
            if (--plan.filesLeft[want.student] == 0)
                ready(want.student);
        }
    };
    // What the first pass kept needs no second.
    std::vector<std::uint64_t> unkept;
    for (const auto& [entry, wanted] : plan.wanted) {
        auto kept = plan.kept.find(entry);
        if (kept == plan.kept.end()) {
            unkept.push_back(entry);
            continue;
        }
        deliver(wanted, ArchiveStatus::ok, kept->second);
        plan.kept.erase(kept);
    }
    auto next = unkept.begin();
    for (std::uint64_t index = 0; opened && next != unkept.end(); ++index) {
        ArchiveStatus status = nextEntry(reader);
        if (status != ArchiveStatus::ok && status != ArchiveStatus::damaged)
            break;
        if (index != *next)
            continue;
        std::vector<WantedFile>& wanted = plan.wanted[*next];
        ++next;
        bool whole = std::any_of(wanted.begin(), wanted.end(), [](const WantedFile& w) { return w.inside.empty(); });
        std::string bytes;
        ArchiveStatus read = status == ArchiveStatus::damaged
                                 ? status
                                 : readEntry(reader, whole ? largestStudentFile : studentUploadLimits.bytes, bytes);
        deliver(wanted, read, bytes);
    }
    // What the second pass could not reach could not be read.
    for (; next != unkept.end(); ++next)
        deliver(plan.wanted[*next], ArchiveStatus::broken, std::string());
}
