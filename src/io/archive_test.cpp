// The archive layer on what students hand in: every entry type, hostile
// names, damaged and truncated archives, encryption, bombs, archives in
// archives.  Archives the layer's own writer cannot make come from
// make_test_archives.py: CTest makes them all once, in the folder named by
// LABELGRADE_TEST_ARCHIVES, and a test run by hand makes those it needs.
#include "archive.h"
#include "archive_path.h"
#include "descriptor.h"
#include "memory_files_for_tests.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::uint64_t fileCap = 64 * mebibyte;
constexpr std::size_t chunkAtMost = 64 * 1024;

struct Scratch {
    std::string folder;
    Scratch()
    {
        char made[] = "/tmp/labelgrade-archive-test-XXXXXX";
        if (mkdtemp(made) == nullptr)
            std::abort();
        folder = made;
    }
    ~Scratch() { std::system(("rm -rf '" + folder + "'").c_str()); }
};

const std::string& samplesFolder()
{
    static const char* made = std::getenv("LABELGRADE_TEST_ARCHIVES");
    if (made != nullptr) {
        static const std::string folder = made;
        return folder;
    }
    static const Scratch scratch;
    return scratch.folder;
}

Descriptor sample(const std::string& name)
{
    std::string path = samplesFolder() + "/" + name;
    if (access(path.c_str(), F_OK) != 0 &&
        std::system(("python3 '" LABELGRADE_MAKE_ARCHIVES "' '" + samplesFolder() + "' '" + name + "'").c_str()) != 0)
        std::abort();
    return Descriptor(open(path.c_str(), O_RDONLY));
}

struct Seen {
    ArchiveStatus header;
    std::string path;
    EntryKind kind;
    ArchiveStatus data;
    std::string bytes;
};

struct Walk {
    std::vector<Seen> entries;
    ArchiveStatus last;
    std::string message;
};

// Every entry and its data, as the class command will read them.
Walk walk(ArchiveReader& reader, std::uint64_t cap = fileCap)
{
    Walk seen;
    for (;;) {
        ArchiveStatus header = nextEntry(reader);
        if (header != ArchiveStatus::ok && header != ArchiveStatus::damaged) {
            seen.last = header;
            seen.message = reader.message;
            return seen;
        }
        Seen entry{header, reader.entry.path, reader.entry.kind, ArchiveStatus::ok, {}};
        if (reader.entryOpen)
            entry.data = readEntry(reader, cap, entry.bytes);
        seen.entries.push_back(std::move(entry));
    }
}

Walk walkSample(const std::string& name, ArchiveKind kind = ArchiveKind::classDownload)
{
    Descriptor file = sample(name);
    ArchiveReader reader;
    EXPECT_EQ(openArchive(file.fd, kind, reader), ArchiveStatus::ok) << name << ": " << reader.message;
    return walk(reader);
}

// A student's upload, opened from a file of its own.
struct UploadInside {
    Descriptor file;
    ArchiveReader upload;
};

ArchiveStatus openUpload(UploadInside& at, const std::string& upload)
{
    at.file = memoryFile(upload);
    return openUpload(at.file.fd, 0, UINT64_MAX, studentUploadLimits, at.upload);
}

// A stream that is fed from a thread, for an archive read as a stream: a
// socket, whose writer is told, not signalled, when the reader stops early.
struct FedPipe {
    Descriptor readEnd;
    std::thread feeder;
    explicit FedPipe(std::string bytes)
    {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
            std::abort();
        readEnd.fd = ends[0];
        feeder = std::thread([writeEnd = ends[1], bytes = std::move(bytes)] {
            for (std::size_t at = 0; at < bytes.size();) {
                ssize_t put = send(writeEnd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
                if (put <= 0)
                    break;
                at += static_cast<std::size_t>(put);
            }
            close(writeEnd);
        });
    }
    ~FedPipe()
    {
        readEnd = Descriptor();
        feeder.join();
    }
};

}  // namespace

TEST(ArchivePath, SplitsIntoComponents)
{
    using V = std::vector<std::string_view>;
    EXPECT_EQ(splitEntryPath("a//./b/").components, (V{"a", "b"}));
    EXPECT_EQ(splitEntryPath("..a/b../...").components, (V{"..a", "b..", "..."}));
    EXPECT_EQ(splitEntryPath("a\\..\\b").components, (V{"a\\..\\b"}));
    const std::pair<std::string_view, PathProblem> refused[] = {
        {"", PathProblem::empty},
        {"././/", PathProblem::empty},
        {"/etc/passwd", PathProblem::absolute},
        {"//x", PathProblem::absolute},
        {"..", PathProblem::parent},
        {"s/../../x", PathProblem::parent},
        {"s/..", PathProblem::parent},
        {std::string_view("t1.sym\0/../x", 12), PathProblem::zeroByte},
    };
    for (const auto& [path, problem] : refused) {
        EntryPath split = splitEntryPath(path);
        EXPECT_EQ(split.problem, problem) << path;
        EXPECT_TRUE(split.components.empty()) << path;
    }
}

TEST(ArchivePath, InsideByComponentsNotPrefixes)
{
    EntryPath out = splitEntryPath("tmp/out");
    EXPECT_TRUE(isInside(splitEntryPath("tmp/out/a").components, out.components));
    EXPECT_TRUE(isInside(splitEntryPath("tmp//out/").components, out.components));
    EXPECT_FALSE(isInside(splitEntryPath("tmp/out-evil/a").components, out.components));
    EXPECT_FALSE(isInside(splitEntryPath("tmp").components, out.components));
    EXPECT_EQ(joinPath(splitEntryPath("./a//b/").components), "a/b");
}

TEST(ArchivePath, MacLitter)
{
    for (std::string_view litter : {"__MACOSX/s/._t1.sym", "s/__MACOSX/t1.sym", "s/._t1.sym", "._s"})
        EXPECT_TRUE(isMacLitter(splitEntryPath(litter).components)) << litter;
    for (std::string_view file : {"s/t1.sym", "s/__MACOSX.sym", "s/_.t1", "._s/t1.sym"})
        EXPECT_FALSE(isMacLitter(splitEntryPath(file).components)) << file;
}

TEST(ArchiveReading, EveryFormatGivesTheSameEntries)
{
    Walk gz = walkSample("class.tar.gz");
    ASSERT_EQ(gz.last, ArchiveStatus::end);
    ASSERT_EQ(gz.entries.size(), 200u);
    Files files;
    for (const Seen& entry : gz.entries) {
        EXPECT_EQ(entry.data, ArchiveStatus::ok);
        EXPECT_EQ(entry.bytes.size(), 3000u);
        files.emplace_back(entry.path, entry.bytes);
    }
    auto same = [&](const Walk& other, const char* what) {
        ASSERT_EQ(other.last, ArchiveStatus::end) << what << ": " << other.message;
        ASSERT_EQ(other.entries.size(), files.size()) << what;
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(other.entries[i].path, files[i].first) << what;
            EXPECT_EQ(other.entries[i].bytes, files[i].second) << what;
        }
    };
    same(walkSample("class.tar.xz"), "tar.xz");
    Descriptor zip = memoryFile(zipOf(files));
    ArchiveReader zipReader;
    ASSERT_EQ(openArchive(zip.fd, ArchiveKind::classDownload, zipReader), ArchiveStatus::ok);
    same(walk(zipReader), "zip written by the layer");
    // A download read from a pipe cannot seek: the zip is read as it streams.
    FedPipe pipe(fileBytes(zip.fd));
    ArchiveReader piped;
    ASSERT_EQ(openArchive(pipe.readEnd.fd, ArchiveKind::classDownload, piped), ArchiveStatus::ok);
    same(walk(piped), "zip from a pipe");
}

TEST(ArchiveReading, EntryKindsAndLinkTargets)
{
    Descriptor file = sample("kinds.tar");
    ArchiveReader reader;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::studentUpload, reader), ArchiveStatus::ok);
    const std::pair<EntryKind, std::string_view> expected[] = {
        {EntryKind::folder, ""},   {EntryKind::regular, ""},         {EntryKind::symbolicLink, "t1.sym"},
        {EntryKind::symbolicLink, "/etc/passwd"}, {EntryKind::hardLink, "s/t1.sym"}, {EntryKind::fifo, ""},
        {EntryKind::device, ""},   {EntryKind::device, ""},          {EntryKind::regular, ""},
    };
    for (const auto& [kind, target] : expected) {
        ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
        EXPECT_EQ(reader.entry.kind, kind) << reader.entry.path;
        EXPECT_EQ(reader.entry.linkTarget, target) << reader.entry.path;
        std::string bytes;
        EXPECT_EQ(readEntry(reader, fileCap, bytes), ArchiveStatus::ok) << reader.entry.path;
        EXPECT_EQ(bytes.empty(), kind != EntryKind::regular) << reader.entry.path;
    }
    EXPECT_EQ(nextEntry(reader), ArchiveStatus::end);
}

TEST(ArchiveReading, ZipLinksAreLinksOnlyWhereTheCentralDirectoryIsRead)
{
    Walk seekable = walkSample("links.zip");
    ASSERT_EQ(seekable.entries.size(), 3u);
    EXPECT_EQ(seekable.entries[1].kind, EntryKind::symbolicLink);
    EXPECT_EQ(seekable.entries[2].kind, EntryKind::symbolicLink);
    // A student's upload is read by its central directory too.
    UploadInside inside;
    ASSERT_EQ(openUpload(inside, fileBytes(sample("links.zip").fd)), ArchiveStatus::ok);
    Walk upload = walk(inside.upload);
    ASSERT_EQ(upload.entries.size(), 3u);
    EXPECT_EQ(upload.entries[2].kind, EntryKind::symbolicLink);
    // Read as a stream, by its local headers, a link is a file holding its
    // target, and reads nothing else.
    FedPipe fed(fileBytes(sample("links.zip").fd));
    ArchiveReader piped;
    ASSERT_EQ(openArchive(fed.readEnd.fd, ArchiveKind::studentUpload, piped), ArchiveStatus::ok);
    Walk streamed = walk(piped);
    ASSERT_EQ(streamed.entries.size(), 3u);
    EXPECT_EQ(streamed.entries[2].kind, EntryKind::regular);
    EXPECT_EQ(streamed.entries[2].bytes, "/etc/passwd");
}

TEST(ArchiveReading, AZipDownloadIsPassedByItsCentralDirectoryNotInflated)
{
    // Its sizes come after its data: only the central directory gives them
    // before the data is inflated.
    Descriptor file = sample("bomb-streamed.zip");
    ArchiveReader reader;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
    EXPECT_TRUE(isZipArchive(reader));
    EXPECT_TRUE(reader.entry.sizeKnown);
    EXPECT_EQ(reader.entry.size, 1024 * mebibyte);
    ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
    EXPECT_EQ(reader.entry.path, "after.sym");
    EXPECT_LT(reader.bytesUsed, mebibyte);

    ArchiveReader local;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, local, ZipIndex::localHeaders), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(local), ArchiveStatus::ok);
    EXPECT_FALSE(local.entry.sizeKnown);
}

TEST(ArchiveReading, AZipEntryWhoseLocalHeaderLiesCostsOnlyItself)
{
    std::string bytes = zipOf({{"ada/t1.sym", "0000 A\n0003 B\n"}, {"bo/t1.sym", "0000 C\n"}});
    // The first local header's compressed and uncompressed sizes.
    bytes.replace(18, 8, std::string("\3\0\0\0\5\0\0\0", 8));
    Descriptor file = memoryFile(bytes);
    ArchiveReader reader;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    Walk seen = walk(reader);
    EXPECT_EQ(seen.last, ArchiveStatus::end) << seen.message;
    ASSERT_EQ(seen.entries.size(), 2u);
    // Listed, as the central directory lists it, but not read by the
    // local header's word.
    EXPECT_EQ(seen.entries[0].header, ArchiveStatus::ok);
    EXPECT_EQ(seen.entries[0].data, ArchiveStatus::damaged);
    EXPECT_EQ(seen.entries[0].bytes, "");
    EXPECT_EQ(seen.entries[1].path, "bo/t1.sym");
    EXPECT_EQ(seen.entries[1].data, ArchiveStatus::ok);
    EXPECT_EQ(seen.entries[1].bytes, "0000 C\n");
}

TEST(ArchiveReading, ALocalHeaderThatDisagreesIsSaidWhy)
{
    std::string bytes = zipOf({{"ada/t1.sym", "0000 A\n"}});
    bytes.replace(14, 4, std::string("\1\2\3\4", 4));  // the local header's checksum
    Descriptor file = memoryFile(bytes);
    ArchiveReader reader;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
    std::string data;
    EXPECT_EQ(readEntry(reader, fileCap, data), ArchiveStatus::damaged);
    EXPECT_NE(reader.message.find("local header disagrees with the central directory"), std::string::npos)
        << reader.message;
    EXPECT_EQ(nextEntry(reader), ArchiveStatus::end);
}

TEST(ArchiveReading, StoredBytesCarryNoEntryOfTheirOwn)
{
    // ann's stored file holds a data descriptor and a local header for
    // bob/t1.sym: the central directory lists ann's whole file and cy's.
    Walk listed = walkSample("stored-streamed.zip");
    EXPECT_EQ(listed.last, ArchiveStatus::end) << listed.message;
    ASSERT_EQ(listed.entries.size(), 2u);
    EXPECT_EQ(listed.entries[0].path, "ann/t1.sym");
    EXPECT_EQ(listed.entries[0].bytes.size(), 70u);
    EXPECT_EQ(listed.entries[1].path, "cy/t1.sym");
    EXPECT_EQ(listed.entries[1].data, ArchiveStatus::ok);

    // By its local headers (a zip from a pipe, or cut short), where ann's
    // entry ends cannot be told: nothing after it is read, and no bob.
    Descriptor file = sample("stored-streamed.zip");
    ArchiveReader local;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, local, ZipIndex::localHeaders), ArchiveStatus::ok);
    Walk walked = walk(local);
    ASSERT_EQ(walked.entries.size(), 1u);
    EXPECT_EQ(walked.entries[0].path, "ann/t1.sym");
    EXPECT_EQ(walked.entries[0].data, ArchiveStatus::damaged);
    EXPECT_EQ(walked.last, ArchiveStatus::broken);
}

TEST(ArchiveReading, AZipCutShortIsReadByItsLocalHeaders)
{
    // No central directory is left to find: the entries before the cut
    // are read all the same.
    Walk seen = walkSample("truncated.zip");
    EXPECT_FALSE(seen.entries.empty());
    EXPECT_EQ(seen.entries.front().path, "s000/t1.sym");
    EXPECT_EQ(seen.entries.front().data, ArchiveStatus::ok);
}

// The test process runs in the C locale, where libarchive alone could not
// give a name marked UTF-8 at all.
TEST(ArchiveReading, NamesAreTheStoredBytes)
{
    Walk tar = walkSample("names.tar");
    ASSERT_EQ(tar.last, ArchiveStatus::end);
    std::vector<std::string> paths;
    for (const Seen& entry : tar.entries) {
        EXPECT_EQ(entry.header, ArchiveStatus::ok) << entry.path;
        paths.push_back(entry.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/etc/passwd", "../escape.sym", "s/../../escape.sym",
                                               "M\xfcller/t1.sym", "s/./t1.sym", "m\xc3\xbcller/t1.sym",
                                               "m\xc3\xbcller/t2.sym"}));
    EXPECT_EQ(splitEntryPath(paths[0]).problem, PathProblem::absolute);
    EXPECT_EQ(splitEntryPath(paths[2]).problem, PathProblem::parent);

    Walk zip = walkSample("names.zip");
    ASSERT_EQ(zip.last, ArchiveStatus::end);
    ASSERT_EQ(zip.entries.size(), 4u);
    EXPECT_EQ(zip.entries[0].path, "M\xfcller/t1.sym");
    EXPECT_EQ(zip.entries[1].path, "\xc3\xa9t\xc3\xa9/t1.sym");
    EXPECT_EQ(zip.entries[2].header, ArchiveStatus::damaged) << "marked UTF-8, and not UTF-8";
    EXPECT_EQ(zip.entries[3].path, "after.sym");
    EXPECT_EQ(zip.entries[3].data, ArchiveStatus::ok);
}

TEST(ArchiveReading, NotAnArchiveIsToldFromABrokenOne)
{
    for (const char* name : {"garbage.bin", "empty.bin", "text.sym.gz", "class.tar.gz.gz"}) {
        Descriptor file = sample(name);
        ArchiveReader reader;
        EXPECT_EQ(openArchive(file.fd, ArchiveKind::classDownload, reader), ArchiveStatus::notArchive) << name;
    }
    for (const char* name : {"truncated.tar.gz", "truncated.zip"}) {
        Walk seen = walkSample(name);
        EXPECT_EQ(seen.last, ArchiveStatus::broken) << name;
        EXPECT_GE(seen.entries.size(), 3u) << name << ": read as far as it goes";
        EXPECT_FALSE(seen.message.empty()) << name;
    }
}

TEST(ArchiveReading, GoesOnPastDamage)
{
    // A gzip stream corrupt halfway: libarchive resynchronises header by
    // header through the garbage, which is one damage to the caller.
    Walk gz = walkSample("corrupt-midway.tar.gz");
    std::size_t good = 0;
    std::size_t damaged = 0;
    for (const Seen& entry : gz.entries) {
        good += entry.header == ArchiveStatus::ok && entry.data == ArchiveStatus::ok && entry.bytes.size() == 3000;
        damaged += entry.header == ArchiveStatus::damaged;
    }
    EXPECT_GE(good, 90u);
    EXPECT_LE(damaged, 3u);

    // A zip member's data corrupt: its neighbours are intact.
    Walk zip = walkSample("corrupt-member.zip");
    ASSERT_EQ(zip.last, ArchiveStatus::end);
    ASSERT_EQ(zip.entries.size(), 10u);
    for (std::size_t i = 0; i < zip.entries.size(); ++i)
        EXPECT_EQ(zip.entries[i].data, i == 4 ? ArchiveStatus::damaged : ArchiveStatus::ok) << i;
}

TEST(ArchiveReading, EncryptedAndUnusualMethodsAreNotRead)
{
    Walk encrypted = walkSample("encrypted.zip");
    ASSERT_EQ(encrypted.entries.size(), 2u);
    EXPECT_EQ(encrypted.entries[0].data, ArchiveStatus::encrypted);
    EXPECT_EQ(encrypted.entries[1].data, ArchiveStatus::ok);
    EXPECT_EQ(encrypted.entries[1].bytes, "0000 START\n0003 INIT\n");

    Walk lzma = walkSample("lzma.zip");
    EXPECT_EQ(lzma.last, ArchiveStatus::end);
    ASSERT_EQ(lzma.entries.size(), 2u);
    for (const Seen& entry : lzma.entries)
        EXPECT_EQ(entry.data, ArchiveStatus::damaged) << entry.path;
}

TEST(ArchiveBounds, ABombIsCappedNotInflated)
{
    // Its header tells the size: refused without inflating a byte.
    Descriptor file = sample("bomb.zip");
    ArchiveReader reader;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
    std::string bytes;
    EXPECT_EQ(readEntry(reader, fileCap, bytes), ArchiveStatus::tooLarge);
    EXPECT_TRUE(bytes.empty());
    ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
    EXPECT_EQ(readEntry(reader, fileCap, bytes), ArchiveStatus::ok);
    EXPECT_EQ(bytes, "0000 START\n0003 INIT\n");
    EXPECT_LT(reader.bytesUsed, mebibyte);

    // A student's upload whose sizes come after the data is passed by its
    // central directory too.
    UploadInside upload;
    ASSERT_EQ(openUpload(upload, fileBytes(sample("bomb-streamed.zip").fd)), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(upload.upload), ArchiveStatus::ok);
    EXPECT_TRUE(upload.upload.entry.sizeKnown);
    bytes.clear();
    EXPECT_EQ(readEntry(upload.upload, fileCap, bytes), ArchiveStatus::tooLarge);
    EXPECT_EQ(nextEntry(upload.upload), ArchiveStatus::ok);
    EXPECT_LT(upload.upload.bytesUsed, mebibyte);

    // Streamed, its size comes after the data: read up to the cap, then
    // drained through the upload's bound.
    FedPipe fed(fileBytes(sample("bomb-streamed.zip").fd));
    ArchiveReader inside;
    ASSERT_EQ(openArchive(fed.readEnd.fd, ArchiveKind::studentUpload, inside), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(inside), ArchiveStatus::ok);
    EXPECT_FALSE(inside.entry.sizeKnown);
    bytes.clear();
    EXPECT_EQ(readEntry(inside, fileCap, bytes), ArchiveStatus::tooLarge);
    EXPECT_EQ(bytes.size(), fileCap);
    EXPECT_LE(inside.entryRead, fileCap + chunkAtMost);
    EXPECT_EQ(nextEntry(inside), ArchiveStatus::overLimit);
    EXPECT_NE(inside.message.find("128 MiB"), std::string::npos) << inside.message;
    EXPECT_LE(inside.bytesUsed, studentUploadLimits.bytes + mebibyte);
}

TEST(ArchiveBounds, CompressedTarSkipsOnlyWhatTheBoundAllows)
{
    // Passing an entry of a tar.gz decompresses it: one that says it holds
    // 3 GiB is refused before a byte of it is.
    Descriptor huge = sample("huge-entry.tar.gz");
    ArchiveReader reader;
    ASSERT_EQ(openArchive(huge.fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
    EXPECT_EQ(reader.entry.size, 3ull << 30);
    std::string bytes;
    EXPECT_EQ(readEntry(reader, fileCap, bytes), ArchiveStatus::tooLarge);
    EXPECT_EQ(nextEntry(reader), ArchiveStatus::overLimit) << reader.message;
    EXPECT_LT(reader.bytesUsed, 2 * mebibyte);

    // Entries each under the cap, together over a student upload's bound.
    Walk bomb = walkSample("bomb.tar.gz", ArchiveKind::studentUpload);
    EXPECT_EQ(bomb.last, ArchiveStatus::overLimit);
    ASSERT_GE(bomb.entries.size(), 1u);
    EXPECT_EQ(bomb.entries[0].data, ArchiveStatus::ok);
    EXPECT_EQ(bomb.entries[0].bytes.size(), 60 * mebibyte);
}

TEST(ArchiveBounds, Entries)
{
    Files empty;
    for (int i = 0; i < 100'000; ++i)
        empty.emplace_back(std::to_string(i), "");
    std::string many = zipOf(empty);
    Descriptor file = memoryFile(many);
    ArchiveReader download;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, download), ArchiveStatus::ok);
    std::size_t count = 0;
    while (nextEntry(download) == ArchiveStatus::ok)
        ++count;
    EXPECT_EQ(count, 100'000u);
    EXPECT_EQ(download.finished, ArchiveStatus::end);

    // A student's upload past its entries, whose central directory its
    // reader can hold.
    empty.resize(2 * studentUploadLimits.entries);
    UploadInside crowded;
    ASSERT_EQ(openUpload(crowded, zipOf(empty)), ArchiveStatus::ok);
    Walk seen = walk(crowded.upload);
    EXPECT_EQ(seen.last, ArchiveStatus::overLimit);
    EXPECT_EQ(seen.entries.size(), studentUploadLimits.entries);
    EXPECT_NE(seen.message.find("10000 entries"), std::string::npos) << seen.message;
}

TEST(ArchiveReading, AnUploadIsReadWhereItLiesInALargerFile)
{
    // A download's uploads are set aside one after another in one file.
    std::string upload = zipOf({{"lab/t1.sym", "0000 A\n"}, {"lab/t2.sym", "0003 B\n"}});
    Descriptor file = memoryFile("junk before" + upload + "junk after");
    ArchiveReader reader;
    ASSERT_EQ(openUpload(file.fd, 11, upload.size(), studentUploadLimits, reader), ArchiveStatus::ok) << reader.message;
    Walk seen = walk(reader);
    ASSERT_EQ(seen.entries.size(), 2u);
    EXPECT_EQ(seen.entries[1].path, "lab/t2.sym");
    EXPECT_EQ(seen.entries[1].bytes, "0003 B\n");
    EXPECT_EQ(seen.last, ArchiveStatus::end);
}

TEST(ArchiveBounds, StudentUploadsReadNoXz)
{
    UploadInside xz;
    EXPECT_EQ(openUpload(xz, fileBytes(sample("class.tar.xz").fd)), ArchiveStatus::notArchive);
    UploadInside gz;
    EXPECT_EQ(openUpload(gz, fileBytes(sample("class.tar.gz").fd)), ArchiveStatus::ok);
}

TEST(ZipWriting, SameBytesInEveryTimeZone)
{
    EXPECT_EQ(zipTime(nullptr), fixedZipTime);
    EXPECT_EQ(zipTime("1700000000"), 1700000000);
    for (const char* bad : {"", "12abc", "-5", " 1"})
        EXPECT_EQ(zipTime(bad), fixedZipTime) << bad;

    Files files{{"s/t1.sym.txt", "Comparing...\n"}, {"s/t2.sym.txt", std::string(100'000, 'x')}, {"empty", ""}};
    unsetenv("SOURCE_DATE_EPOCH");
    std::vector<std::string> zips;
    for (const char* zone : {"UTC", "Pacific/Kiritimati", "Etc/GMT+12"}) {
        setenv("TZ", zone, 1);
        tzset();
        zips.push_back(zipOf(files));
    }
    unsetenv("TZ");
    tzset();
    EXPECT_EQ(zips[0], zips[1]);
    EXPECT_EQ(zips[0], zips[2]);

    Descriptor file = memoryFile(zips[0]);
    ArchiveReader reader;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    Walk seen = walk(reader);
    ASSERT_EQ(seen.entries.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(seen.entries[i].path, files[i].first);
        EXPECT_EQ(seen.entries[i].bytes, files[i].second);
    }
    std::string path = "/tmp/labelgrade-zip-" + std::to_string(getpid()) + ".zip";
    Descriptor copy(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
    ASSERT_EQ(write(copy.fd, zips[0].data(), zips[0].size()), static_cast<ssize_t>(zips[0].size()));
    EXPECT_EQ(std::system(("unzip -tq " + path + " > /dev/null").c_str()), 0) << "unzip finds the zip whole";
    unlink(path.c_str());
}

TEST(ZipWriting, RefusesNamesThatLeaveTheFolderAndReportsWriteErrors)
{
    Descriptor file(memfd_create("zip", 0));
    ZipWriter zip;
    ASSERT_TRUE(openZipWriter(file.fd, zip));
    const std::string_view refused[] = {"/etc/passwd", "../x", "s/../../x", "", "./", std::string_view("a\0b", 3)};
    for (std::string_view bad : refused) {
        EXPECT_FALSE(addZipFile(zip, bad, "x")) << bad;
        EXPECT_EQ(zip.error, EINVAL);
    }
    ASSERT_TRUE(addZipFile(zip, "s//./t1.sym", "x"));
    ASSERT_TRUE(closeZipWriter(zip));
    ArchiveReader reader;
    ASSERT_EQ(openArchive(file.fd, ArchiveKind::classDownload, reader), ArchiveStatus::ok);
    ASSERT_EQ(nextEntry(reader), ArchiveStatus::ok);
    EXPECT_EQ(reader.entry.path, "s/t1.sym");

    Descriptor full(open("/dev/full", O_WRONLY));
    ZipWriter failing;
    ASSERT_TRUE(openZipWriter(full.fd, failing));
    bool written = addZipFile(failing, "a", std::string(200'000, 'x')) && closeZipWriter(failing);
    EXPECT_FALSE(written);
    EXPECT_EQ(failing.error, ENOSPC) << failing.message;
}
