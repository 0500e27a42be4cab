#include "archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <fcntl.h>
#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// A sanitizer's shadow memory and quarantine grow the resident memory with
// every allocation, freed or not: there, the reading is not bounded by it.
#if defined(__SANITIZE_ADDRESS__)
#define LABELGRADE_MEMORY_SHADOWED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LABELGRADE_MEMORY_SHADOWED 1
#endif
#endif

namespace {

constexpr std::size_t readSize = 64 * 1024;
// gzip inflates at most some 1,030 bytes a byte: 2 KiB read lets a header
// call build at most some 24 MB of a map between two checks.
constexpr std::size_t uploadReadSize = 2 * 1024;
constexpr std::size_t chunkSize = 64 * 1024;
// libarchive's ARCHIVE_ERRNO_FILE_FORMAT on Linux, which has no EFTYPE:
// at opening, it means that no format recognised the bytes.
constexpr int unrecognisedFormat = EILSEQ;
// The one compression a tar may have, over the bytes as read.
constexpr int mostFilters = 2;

struct LocaleScope {
    locale_t previous = static_cast<locale_t>(0);
    explicit LocaleScope(locale_t locale) : previous(locale ? uselocale(locale) : static_cast<locale_t>(0)) {}
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
    ~LocaleScope()
    {
        if (previous)
            uselocale(previous);
    }
};

// A regular file is read with pread from the layer's own offset, only as far
// as its size when it was opened, so that the zip reader can seek to the
// central directory; anything else (a pipe) is read as it comes.
// The process's resident memory, from /proc/self/statm open as `statm`.
std::uint64_t residentNow(int statm)
{
    char text[96] = {};
    ssize_t got = pread(statm, text, sizeof text - 1, 0);
    std::uint64_t pages = 0;
    ssize_t at = 0;
    while (at < got && text[at] != ' ')
        ++at;
    for (++at; at < got && text[at] >= '0' && text[at] <= '9'; ++at)
        pages = pages * 10 + static_cast<std::uint64_t>(text[at] - '0');
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

la_ssize_t readSource(archive* handle, void* data, const void** buffer) noexcept
{
    auto& source = *static_cast<ArchiveSource*>(data);
    if (source.residentCeiling != 0 && residentNow(source.statm.fd) > source.residentCeiling) {
        source.error = ENOMEM;
        archive_set_error(handle, ENOMEM, "reading it takes more memory than an upload may");
        return -1;
    }
    // The zip reader seeks to each entry's header, a few hundred bytes on
    // from the last: bytes the buffer holds already are not read again.
    if (source.seekable && source.offset >= source.bufferStart &&
        source.offset < source.bufferStart + source.buffered) {
        std::size_t skip = static_cast<std::size_t>(source.offset - source.bufferStart);
        std::size_t left = source.buffered - skip;
        *buffer = source.buffer.data() + skip;
        source.offset += left;
        return static_cast<la_ssize_t>(left);
    }
    std::size_t want = source.buffer.size();
    if (source.seekable)
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, source.size - source.offset));
    if (want == 0)
        return 0;
    ssize_t got;
    do
        got = source.seekable ? pread(source.fd, source.buffer.data(), want, static_cast<off_t>(source.base + source.offset))
                              : read(source.fd, source.buffer.data(), want);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        source.error = errno;
        archive_set_error(handle, source.error, "could not read the archive");
        return -1;
    }
    source.bufferStart = source.offset;
    source.buffered = static_cast<std::size_t>(got);
    source.offset += static_cast<std::uint64_t>(got);
    *buffer = source.buffer.data();
    return got;
}

la_int64_t seekSource(archive*, void* data, la_int64_t offset, int whence) noexcept
{
    auto& source = *static_cast<ArchiveSource*>(data);
    auto size = static_cast<la_int64_t>(source.size);
    la_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<la_int64_t>(source.offset) : size;
    if (offset > size || offset < -size)
        return ARCHIVE_FATAL;
    la_int64_t target = std::clamp<la_int64_t>(base + offset, 0, size);
    source.offset = static_cast<std::uint64_t>(target);
    return target;
}

la_int64_t skipSource(archive*, void* data, la_int64_t request) noexcept
{
    auto& source = *static_cast<ArchiveSource*>(data);
    std::uint64_t skipped = std::min(static_cast<std::uint64_t>(std::max<la_int64_t>(request, 0)),
                                     source.size - source.offset);
    source.offset += skipped;
    return static_cast<la_int64_t>(skipped);
}

// Only what the class command reads.  An archive in a regular file gets
// the zip reader that trusts the central directory, as the course sites and
// unzip read a zip: it alone tells a link from a file, an entry it does not
// list is never met, and it knows every entry's size, so that an entry is
// passed by a seek, never by inflating it, whatever its local header says.
// It holds some 160 bytes an entry from the start: a student's upload is
// read in a child whose memory is bounded (see confined.h).  A stream gets
// the reader that walks the local headers.  xz is read in the download
// alone: libarchive lets an xz stream's header size its dictionary (up to
// 1.5 GiB), which is the instructor's own choice there and would be a
// student's anywhere else.
archive* newHandle(ArchiveKind kind, bool centralDirectory)
{
    archive* handle = archive_read_new();
    if (handle == nullptr)
        return nullptr;
    if (centralDirectory)
        archive_read_support_format_zip_seekable(handle);
    else
        archive_read_support_format_zip_streamable(handle);
    archive_read_support_format_tar(handle);
    archive_read_support_filter_gzip(handle);
    if (kind == ArchiveKind::classDownload)
        archive_read_support_filter_xz(handle);
    return handle;
}

ArchiveStatus finish(ArchiveReader& reader, ArchiveStatus status)
{
    reader.finished = status;
    reader.entryOpen = false;
    return status;
}

ArchiveStatus finish(ArchiveReader& reader, ArchiveStatus status, std::string message)
{
    reader.message = std::move(message);
    return finish(reader, status);
}

// What libarchive said went wrong; a failed read of the file, or memory
// running out, is the grader's trouble, not the archive's.
ArchiveStatus libarchiveProblem(ArchiveReader& reader, ArchiveStatus status)
{
    const char* said = archive_error_string(reader.handle.get());
    reader.message = said ? said : "";
    int code = archive_errno(reader.handle.get());
    if (reader.source.error != 0 || code == ENOMEM) {
        reader.error = reader.source.error != 0 ? reader.source.error : ENOMEM;
        return ArchiveStatus::readError;
    }
    return status;
}

std::string limitMessage(const ArchiveReader& spent, bool bytes)
{
    std::string whose = spent.kind == ArchiveKind::classDownload ? "the class's archive" : "the student's archive";
    if (bytes)
        return whose + " holds more than " + std::to_string(spent.limits.bytes / mebibyte) +
               " MiB once decompressed";
    return whose + " holds more than " + std::to_string(spent.limits.entries) + " entries";
}

// The reader, or the download it lies in, whose bounds `more` bytes would
// pass; none when they fit.
const ArchiveReader* overBytes(const ArchiveReader& reader, std::uint64_t more)
{
    if (reader.bytesUsed > reader.limits.bytes || more > reader.limits.bytes - reader.bytesUsed)
        return &reader;
    return nullptr;
}

bool refuseOverBytes(ArchiveReader& reader, std::uint64_t more)
{
    const ArchiveReader* spent = overBytes(reader, more);
    if (spent == nullptr)
        return false;
    finish(reader, ArchiveStatus::overLimit, limitMessage(*spent, true));
    return true;
}

// Counts bytes decompressed toward the reader's bounds and its download's;
// false, the reader finished, once they are passed.
bool charge(ArchiveReader& reader, std::uint64_t bytes)
{
    reader.bytesUsed += bytes;
    return !refuseOverBytes(reader, 0);
}

bool chargeEntry(ArchiveReader& reader)
{
    if (reader.entriesUsed >= reader.limits.entries) {
        finish(reader, ArchiveStatus::overLimit, limitMessage(reader, false));
        return false;
    }
    ++reader.entriesUsed;
    return true;
}

// Charges what a libarchive call cost: for a compressed tar, how far the
// decompressed stream moved, else the entry data it handed out.
bool account(ArchiveReader& reader, std::uint64_t delivered)
{
    if (!reader.compressed)
        return charge(reader, delivered);
    auto position = static_cast<std::uint64_t>(std::max<la_int64_t>(archive_filter_bytes(reader.handle.get(), 0), 0));
    std::uint64_t moved = position > reader.streamSeen ? position - reader.streamSeen : 0;
    reader.streamSeen = std::max(position, reader.streamSeen);
    return charge(reader, moved);
}

ArchiveStatus opened(ArchiveReader& reader, int result)
{
    if (result < ARCHIVE_WARN) {
        ArchiveStatus status = libarchiveProblem(reader, ArchiveStatus::broken);
        if (status != ArchiveStatus::readError && archive_errno(reader.handle.get()) == unrecognisedFormat)
            status = ArchiveStatus::notArchive;
        return finish(reader, status);
    }
    int filters = archive_filter_count(reader.handle.get());
    if (filters > mostFilters)
        return finish(reader, ArchiveStatus::notArchive, "compressed more than once");
    reader.compressed = filters > 1;
    reader.chunk.resize(chunkSize);
    return account(reader, 0) ? ArchiveStatus::ok : reader.finished;
}

EntryKind kindOf(archive_entry* header)
{
    if (archive_entry_hardlink(header) != nullptr)
        return EntryKind::hardLink;
    switch (archive_entry_filetype(header)) {
    case AE_IFREG:
        return EntryKind::regular;
    case AE_IFDIR:
        return EntryKind::folder;
    case AE_IFLNK:
        return EntryKind::symbolicLink;
    case AE_IFIFO:
        return EntryKind::fifo;
    case AE_IFCHR:
    case AE_IFBLK:
        return EntryKind::device;
    case AE_IFSOCK:
        return EntryKind::socket;
    default:
        return EntryKind::other;
    }
}

bool isZip(archive* handle)
{
    return (archive_format(handle) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
}

// Whether the current entry is a zip's, stored as it is.
bool zipStored(archive* handle)
{
    const char* name = archive_format_name(handle);
    return isZip(handle) && name != nullptr && std::string_view(name).ends_with("(uncompressed)");
}

// Zip entries are read only when stored or deflated, as every common zip
// tool writes them: the other methods' decoders (bzip2, LZMA, xz, zstd,
// PPMd) are more code for a student to aim at, and an LZMA dictionary is
// sized by the archive, up to gigabytes.  libarchive names the method only
// in the entry's format name.
bool zipMethodRead(archive* handle)
{
    if ((archive_format(handle) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP)
        return true;
    std::string_view name = archive_format_name(handle) ? archive_format_name(handle) : "";
    return name.ends_with("(deflation)") || name.ends_with("(uncompressed)");
}

void describe(ArchiveReader& reader, archive_entry* header)
{
    ArchiveEntry& entry = reader.entry;
    const char* path = archive_entry_pathname(header);
    entry.path = path ? path : "";
    const char* target = archive_entry_hardlink(header) ? archive_entry_hardlink(header) : archive_entry_symlink(header);
    entry.linkTarget = target ? target : "";
    entry.kind = kindOf(header);
    entry.sizeKnown = archive_entry_size_is_set(header) && archive_entry_size(header) >= 0;
    entry.size = entry.sizeKnown ? static_cast<std::uint64_t>(archive_entry_size(header)) : 0;
    entry.encrypted = archive_entry_is_encrypted(header);
    reader.entryOpen = true;
    reader.entryRead = 0;
    reader.entryDecodable = !entry.encrypted && zipMethodRead(reader.handle.get());
    reader.entryStatus = entry.encrypted             ? ArchiveStatus::encrypted
                         : !reader.entryDecodable ? ArchiveStatus::damaged
                                                   : ArchiveStatus::ok;
    bool zip = (archive_format(reader.handle.get()) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
    reader.entryDrains = zip && !entry.sizeKnown;
    reader.entryRefusal.clear();
    // Stored data with its size after it ends wherever the next header's
    // signature is found in it: a student's file could hold a header of
    // its own, for another student's file.
    if (reader.entryDrains && zipStored(reader.handle.get())) {
        reader.entryDecodable = false;
        reader.entryStatus = ArchiveStatus::damaged;
        reader.entryRefusal = "stored with its size after its data, so that where it ends cannot be told";
    }
}

// libarchive checks an entry's local header against the central directory
// for its sizes and checksum, and says so in a warning that begins thus;
// it reads the data by the local header's word all the same.
constexpr std::string_view disagreement = "Inconsistent";

// Refuses the data of an entry whose local header disagrees with the
// central directory that the entry was found by.
void judgeAgreement(ArchiveReader& reader, int result)
{
    if (result != ARCHIVE_WARN || !reader.zipIndexed || !isZip(reader.handle.get()))
        return;
    const char* said = archive_error_string(reader.handle.get());
    if (said == nullptr || !std::string_view(said).starts_with(disagreement))
        return;
    reader.entryStatus = ArchiveStatus::damaged;
    reader.entryRefusal = std::string("its local header disagrees with the central directory: ") + said;
}

// Reads the rest of the current entry through the count, to its end or to
// an error, which the next header then meets.
bool drain(ArchiveReader& reader)
{
    for (;;) {
        if (refuseOverBytes(reader, 0))
            return false;
        la_ssize_t got = archive_read_data(reader.handle.get(), reader.chunk.data(), reader.chunk.size());
        if (!account(reader, got > 0 ? static_cast<std::uint64_t>(got) : 0))
            return false;
        if (got <= 0)
            return true;
    }
}

// Leaves the current entry so that libarchive's skipping of its data costs
// no decompression that the bounds do not see.
bool passEntry(ArchiveReader& reader)
{
    if (!reader.entryOpen)
        return true;
    reader.entryOpen = false;
    if (reader.entryDrains) {
        if (reader.entryDecodable)
            return drain(reader);
        finish(reader, ArchiveStatus::broken,
               "an entry that cannot be read hides where the next begins (its size comes after its data)");
        return false;
    }
    const ArchiveEntry& entry = reader.entry;
    std::uint64_t rest = entry.sizeKnown && entry.size > reader.entryRead ? entry.size - reader.entryRead : 0;
    return !(reader.compressed && refuseOverBytes(reader, rest));
}

ArchiveStatus refusedData(ArchiveReader& reader)
{
    switch (reader.entryStatus) {
    case ArchiveStatus::encrypted:
        reader.message = "the entry is encrypted";
        break;
    case ArchiveStatus::tooLarge:
        reader.message = "the entry is larger than the cap";
        break;
    case ArchiveStatus::damaged:
        if (!reader.entryRefusal.empty())
            reader.message = reader.entryRefusal;
        else if (!zipMethodRead(reader.handle.get()))
            reader.message = std::string("compressed by a method not read here: ") +
                             archive_format_name(reader.handle.get());
        break;
    default:
        break;
    }
    return reader.entryStatus;
}

}  // namespace

void ArchiveDeleter::operator()(archive* handle) const
{
    archive_read_free(handle);
}

Utf8Locale::Utf8Locale() : handle(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))) {}

Utf8Locale::~Utf8Locale()
{
    if (handle)
        freelocale(handle);
}

namespace {

// Opens the file from its start with the readers `newHandle` gives.
ArchiveStatus openHandle(ArchiveReader& reader, bool centralDirectory)
{
    ArchiveSource& source = reader.source;
    source.offset = 0;
    source.bufferStart = 0;
    source.buffered = 0;
    reader.finished = ArchiveStatus::ok;
    reader.handle.reset(newHandle(reader.kind, centralDirectory));
    archive* handle = reader.handle.get();
    if (handle == nullptr) {
        reader.error = ENOMEM;
        return finish(reader, ArchiveStatus::readError, "out of memory");
    }
    archive_read_set_callback_data(handle, &source);
    archive_read_set_read_callback(handle, readSource);
    if (source.seekable) {
        archive_read_set_seek_callback(handle, seekSource);
        archive_read_set_skip_callback(handle, skipSource);
    }
    LocaleScope scope(reader.locale);
    return opened(reader, archive_read_open1(handle));
}

}  // namespace

namespace {

// Opens the archive that `fd` holds from `offset` on, `size` bytes of it
// where it is a regular file, with bounds `limits`.
ArchiveStatus openSource(int fd, std::uint64_t offset, std::uint64_t size, ArchiveKind kind, ArchiveLimits limits,
                         ArchiveReader& reader, ZipIndex zipIndex)
{
    struct stat info;
    if (fstat(fd, &info) != 0) {
        reader.error = errno;
        return finish(reader, ArchiveStatus::readError, "could not read the archive");
    }
    ArchiveSource& source = reader.source;
    source.fd = fd;
    source.seekable = S_ISREG(info.st_mode);
    std::uint64_t length = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    source.base = source.seekable ? std::min(offset, length) : 0;
    source.size = source.seekable ? std::min(size, length - source.base) : 0;
    if (source.buffer.empty())
        source.buffer.resize(readSize);
    reader.kind = kind;
    reader.limits = limits;
    reader.ownLocale = std::make_unique<Utf8Locale>();
    reader.locale = reader.ownLocale->handle;
    bool centralDirectory = source.seekable && zipIndex == ZipIndex::centralDirectory;
    ArchiveStatus status = openHandle(reader, centralDirectory);
    // A zip cut short has no central directory to find: its local headers
    // are walked instead, as far as they go.
    if (status == ArchiveStatus::notArchive && centralDirectory) {
        centralDirectory = false;
        status = openHandle(reader, false);
    }
    reader.zipIndexed = centralDirectory;
    return status;
}

}  // namespace

ArchiveStatus openArchive(int fd, ArchiveKind kind, ArchiveReader& reader, ZipIndex zipIndex)
{
    ArchiveLimits limits = kind == ArchiveKind::classDownload ? classDownloadLimits : studentUploadLimits;
    return openSource(fd, 0, UINT64_MAX, kind, limits, reader, zipIndex);
}

ArchiveStatus openUpload(int fd, std::uint64_t offset, std::uint64_t size, ArchiveLimits limits, ArchiveReader& reader)
{
    ArchiveSource& source = reader.source;
#ifndef LABELGRADE_MEMORY_SHADOWED
    source.statm = Descriptor(open("/proc/self/statm", O_RDONLY | O_CLOEXEC));
    if (source.statm.fd >= 0)
        source.residentCeiling = residentNow(source.statm.fd) + uploadResidentBound;
#endif
    source.buffer.resize(uploadReadSize);
    return openSource(fd, offset, size, ArchiveKind::studentUpload, limits, reader, ZipIndex::centralDirectory);
}

bool isZipArchive(const ArchiveReader& reader)
{
    return reader.handle != nullptr && isZip(reader.handle.get());
}

bool endsByItself(const ArchiveReader& reader)
{
    const char* name = reader.handle ? archive_format_name(reader.handle.get()) : nullptr;
    return !isZipArchive(reader) || (name != nullptr && std::string_view(name).ends_with("(deflation)"));
}

ArchiveStatus nextEntry(ArchiveReader& reader)
{
    if (reader.finished != ArchiveStatus::ok)
        return reader.finished;
    if (!passEntry(reader))
        return reader.finished;
    for (;;) {
        if (refuseOverBytes(reader, 0))
            return reader.finished;
        archive_entry* header = nullptr;
        int result;
        {
            LocaleScope scope(reader.locale);
            result = archive_read_next_header(reader.handle.get(), &header);
        }
        if (!account(reader, 0))
            return reader.finished;
        if (result == ARCHIVE_EOF)
            return finish(reader, ArchiveStatus::end, "");
        // Each header read is an entry, damaged or not; the archive's end
        // is none.
        if (!chargeEntry(reader))
            return reader.finished;
        if (result == ARCHIVE_FATAL)
            return finish(reader, libarchiveProblem(reader, ArchiveStatus::broken));
        // libarchive steps over a damaged stretch one header at a time;
        // the run is one damage to the caller, each step one entry to the
        // bounds.
        if (result == ARCHIVE_RETRY) {
            if (reader.inDamage)
                continue;
            reader.inDamage = true;
            return libarchiveProblem(reader, ArchiveStatus::damaged);
        }
        reader.inDamage = false;
        describe(reader, header);
        judgeAgreement(reader, result);
        if (result == ARCHIVE_FAILED || archive_entry_pathname(header) == nullptr) {
            if (reader.entryStatus == ArchiveStatus::ok)
                reader.entryStatus = ArchiveStatus::damaged;
            return libarchiveProblem(reader, ArchiveStatus::damaged);
        }
        reader.message.clear();
        return ArchiveStatus::ok;
    }
}

ArchiveStatus readChunk(ArchiveReader& reader, std::uint64_t cap, std::string_view& chunk)
{
    chunk = {};
    if (reader.finished != ArchiveStatus::ok)
        return reader.finished;
    if (!reader.entryOpen)
        return ArchiveStatus::end;
    if (reader.entryStatus == ArchiveStatus::ok && reader.entry.sizeKnown && reader.entry.size > cap)
        reader.entryStatus = ArchiveStatus::tooLarge;
    if (reader.entryStatus != ArchiveStatus::ok)
        return refusedData(reader);
    if (refuseOverBytes(reader, 0))
        return reader.finished;
    la_ssize_t got = archive_read_data(reader.handle.get(), reader.chunk.data(), reader.chunk.size());
    if (!account(reader, got > 0 ? static_cast<std::uint64_t>(got) : 0))
        return reader.finished;
    if (got < 0) {
        // The central directory finds the next entry however this one's
        // data breaks: only a read of the file itself ends the archive.
        bool entryAlone = reader.zipIndexed && isZip(reader.handle.get());
        if (got == ARCHIVE_FATAL && !entryAlone)
            return finish(reader, libarchiveProblem(reader, ArchiveStatus::broken));
        reader.entryStatus = libarchiveProblem(reader, ArchiveStatus::damaged);
        return reader.entryStatus == ArchiveStatus::readError ? finish(reader, ArchiveStatus::readError)
                                                              : reader.entryStatus;
    }
    if (got == 0) {
        reader.entryOpen = false;
        return ArchiveStatus::end;
    }
    reader.entryRead += static_cast<std::uint64_t>(got);
    if (reader.entryRead > cap) {
        reader.entryStatus = ArchiveStatus::tooLarge;
        return refusedData(reader);
    }
    chunk = std::string_view(reader.chunk.data(), static_cast<std::size_t>(got));
    return ArchiveStatus::ok;
}

ArchiveStatus readEntry(ArchiveReader& reader, std::uint64_t cap, std::string& bytes)
{
    if (reader.entryOpen && reader.entry.sizeKnown && reader.entry.size <= cap)
        bytes.reserve(bytes.size() + static_cast<std::size_t>(reader.entry.size));
    for (;;) {
        std::string_view chunk;
        ArchiveStatus status = readChunk(reader, cap, chunk);
        if (status == ArchiveStatus::end)
            return ArchiveStatus::ok;
        if (status != ArchiveStatus::ok)
            return status;
        bytes += chunk;
    }
}
