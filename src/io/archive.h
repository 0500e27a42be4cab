// Reading the archives a class comes in, in place, through libarchive:
// nothing is ever extracted to disk.  Every byte, name and entry type of an
// archive is a student's, so the layer reads only zip and tar (gzip- or
// xz-compressed), hands out names as bytes, never lets an entry's data out
// past the caller's cap, and holds each archive to bounds of its own:
// bytes decompressed, entries, and how deep archives nest.
//
// Bounds are counted in bytes and entries, never in seconds, so that a
// class gets the same outcome on any machine.  What counts as decompressed:
// for a compressed tar, every byte that gzip or xz puts out (headers, data,
// and data skipped, which a compressed stream can only pass by
// decompressing it); for a zip or a plain tar, every byte of entry data read
// or drained.  A zip entry whose size its header does not give (a zip read
// as a stream, with the size after the data) is drained through the count
// before the next entry, since libarchive can find its end only by
// inflating it all.
#ifndef LABELGRADE_ARCHIVE_H
#define LABELGRADE_ARCHIVE_H

#include "io/descriptor.h"

#include <cstdint>
#include <locale.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct archive;

// What an archive is decides what is read in it and what it may cost.
enum class ArchiveKind {
    // SUBMISSIONS as a learning system's download: zip, tar, tar.gz or
    // tar.xz.
    classDownload,
    // One student's upload: zip, tar or tar.gz, nothing inside it opened.
    studentUpload,
};

struct ArchiveLimits {
    std::uint64_t bytes = 0;    // decompressed, see above
    std::uint64_t entries = 0;  // headers read, damaged ones included
};

// What reading a student's upload may add to the memory of the process
// that reads it, checked each time the archive's bytes are read: a header
// call may build a structure the student sized (a sparse file's map of
// millions of holes) before it counts a byte, and one that runs out of
// memory goes on failing quietly.  The reads are small, so that no read
// lets more be built than the bound again.
constexpr std::uint64_t uploadResidentBound = 24 * 1024 * 1024;

constexpr std::uint64_t mebibyte = 1024 * 1024;

// A class of 20,000 students handing in 10 files of about 1 KB each is
// 200 MB in 200,000 entries (420,000 with a folder each and a student
// archive around each student's files); a download of a few hundred MB
// holds some 500 MB when unpacked.  2 GiB is four times that, and a bomb
// refused there has cost about 6 s of inflating on a slow core (3 s a GiB,
// measured) and no memory beyond libarchive's fixed buffers.  What students'
// uploads in it expand to is theirs, bounded per student, and never counts
// here: one student cannot spend what the class may decompress.
constexpr ArchiveLimits classDownloadLimits{2048 * mebibyte, 1'000'000};
// A student's upload holds their files, each read up to 64 MiB, and
// whatever else they packed.  128 MiB lets the largest file through with
// room to spare, and 10,000 entries a project folder; a bomb stops within
// half a second.
constexpr ArchiveLimits studentUploadLimits{128 * mebibyte, 10'000};

enum class ArchiveStatus {
    ok,
    end,         // no more entries, or no more data in the entry
    notArchive,  // the file is no zip or tar, compressed or not
    damaged,     // this entry, or a stretch before the next, cannot be read; the rest may be
    broken,      // corrupt or truncated past repair: nothing more can be read
    encrypted,   // the entry's data is encrypted, and no password is tried
    tooLarge,    // the entry is larger than the caller's cap
    overLimit,   // the archive's bounds are spent: nothing more is read
    readError,   // the file could not be read, or memory ran out: errno in `error`
};

enum class EntryKind { regular, folder, symbolicLink, hardLink, fifo, device, socket, other };

struct ArchiveEntry {
    // The name as the archive stores it, byte for byte.  libarchive gives a
    // name the archive marks as UTF-8 (a pax path, a zip name with the
    // UTF-8 flag) in Unicode's composed form (NFC); a name so marked that
    // is not UTF-8 cannot be given, and its entry is damaged.
    std::string path;
    std::string linkTarget;  // what a symbolic or hard link names
    EntryKind kind = EntryKind::other;
    bool sizeKnown = false;  // the header gives the size of the data
    std::uint64_t size = 0;
    bool encrypted = false;
};

// The source an archive is read from, as libarchive's callbacks see it.
struct ArchiveSource {
    int fd = -1;
    bool seekable = false;  // a regular file, read only as far as its size at opening
    std::uint64_t base = 0;  // of a regular file, where the archive starts in it
    // Where nonzero, the resident memory past which reading fails, and
    // where the process's is read.
    std::uint64_t residentCeiling = 0;
    Descriptor statm;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;  // from `base`
    int error = 0;  // errno of a failed read
    std::vector<char> buffer;
    // Of a regular file, where in it the buffer's bytes lie.
    std::uint64_t bufferStart = 0;
    std::size_t buffered = 0;
};

struct ArchiveDeleter {
    void operator()(archive* handle) const;
};

// The thread's locale while libarchive reads names, so that names marked
// as UTF-8 convert whatever the process's locale; none where the C library
// lacks a UTF-8 locale.
struct Utf8Locale {
    locale_t handle = static_cast<locale_t>(0);
    Utf8Locale();
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;
    ~Utf8Locale();
};

// An open archive: the layer's own state, read by the functions below.  It
// stays where it was opened (libarchive holds its address), and a student
// upload opened inside a download must be closed before the download is.
struct ArchiveReader {
    std::unique_ptr<archive, ArchiveDeleter> handle;
    ArchiveKind kind = ArchiveKind::classDownload;
    ArchiveLimits limits;
    std::unique_ptr<Utf8Locale> ownLocale;
    locale_t locale = static_cast<locale_t>(0);
    ArchiveSource source;
    bool compressed = false;  // gzip or xz around a tar
    bool zipIndexed = false;  // a zip, if it is one, read by its central directory
    std::uint64_t streamSeen = 0;
    std::uint64_t bytesUsed = 0;
    std::uint64_t entriesUsed = 0;
    bool inDamage = false;  // inside a run of damaged headers, reported once
    ArchiveStatus finished = ArchiveStatus::ok;  // set when nothing more can be read

    // The current entry.
    bool entryOpen = false;
    ArchiveStatus entryStatus = ArchiveStatus::ok;  // ok while its data may be read, else why not
    bool entryDecodable = false;  // neither encrypted nor compressed by a method not read
    bool entryDrains = false;  // read to its end before the next, see above
    std::string entryRefusal;  // why the entry's data is refused, where its header said
    std::uint64_t entryRead = 0;
    ArchiveEntry entry;

    std::string message;  // what went wrong, as libarchive or the layer says it
    int error = 0;        // errno, for readError
    std::vector<char> chunk;

    ArchiveReader() = default;
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
};

// How a class download that is a zip in a regular file is read: by its
// central directory, which alone tells a link from a file and every entry's
// size, and costs some 160 bytes an entry from the start; or by its local
// headers, whose memory does not grow with the entries (a link is then a
// file holding its target, and an entry whose size comes after its data is
// inflated to be passed).  A zip with no central directory to find (cut
// short) is read by its local headers either way.
enum class ZipIndex { centralDirectory, localHeaders };

// Opens the archive in the open file `fd`, which stays the caller's to
// close.  notArchive when no format is recognised; broken when one is but
// its first bytes are corrupt.
ArchiveStatus openArchive(int fd, ArchiveKind kind, ArchiveReader& reader,
                          ZipIndex zipIndex = ZipIndex::centralDirectory);

// Whether the open archive is a zip.
bool isZipArchive(const ArchiveReader& reader);

// Whether the current entry's data marks its own end, as deflate's does,
// so that the bytes it holds cannot pass for what comes after it.
bool endsByItself(const ArchiveReader& reader);

// Opens a student's upload: the `size` bytes of the regular file `fd` from
// `offset` on (a download's entry copied out, or a file of the student's
// folder), read with `limits`, its reading held to uploadResidentBound.  A
// zip is read by its central directory.
ArchiveStatus openUpload(int fd, std::uint64_t offset, std::uint64_t size, ArchiveLimits limits, ArchiveReader& reader);

// Goes to the next entry, leaving the rest of the current one unread, and
// describes it in `reader.entry`.  ok; damaged (with `reader.message`, and
// the entry as far as it is known): call again to go on; end; or, for good,
// broken, overLimit or readError.
//
// A zip read by its central directory has each entry's sizes and checksum
// twice, there and in the entry's local header: an entry whose two
// disagree is listed (ok) but its data refused as damaged, since what
// unzip and the course site show of it is not what its bytes hold.  A zip
// read by its local headers (one cut short) stops, broken, at an entry
// stored with its size after its data: only a scan for the next header's
// signature could find its end, and the student's own bytes can hold one.
ArchiveStatus nextEntry(ArchiveReader& reader);

// The next piece of the current entry's data, in `chunk` (valid until the
// next call): ok, or end when the data is all read.  tooLarge as soon as
// the entry is known to hold more than `cap` bytes, having decompressed at
// most `cap` and one piece more; encrypted; damaged when its data is
// corrupt; overLimit, broken or readError.
ArchiveStatus readChunk(ArchiveReader& reader, std::uint64_t cap, std::string_view& chunk);

// The rest of the current entry's data, appended to `bytes`: ok, or as
// readChunk.  Of a tooLarge entry, what was read stays in `bytes`.
ArchiveStatus readEntry(ArchiveReader& reader, std::uint64_t cap, std::string& bytes);

#endif
