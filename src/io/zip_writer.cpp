#include "zip_writer.h"

#include "archive_path.h"
#include "visible_text.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int fileMode = 0644;

bool failed(ZipWriter& zip, int error, std::string message)
{
    zip.error = error;
    zip.message = std::move(message);
    return false;
}

bool libarchiveFailed(ZipWriter& zip)
{
    int code = archive_errno(zip.handle.get());
    const char* said = archive_error_string(zip.handle.get());
    return failed(zip, code > 0 ? code : EIO, said ? said : "could not write the zip");
}

struct EntryDeleter {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

}  // namespace

void ZipWriterDeleter::operator()(archive* handle) const
{
    archive_write_free(handle);
}

std::time_t zipTime(const char* sourceDateEpoch)
{
    if (sourceDateEpoch == nullptr || *sourceDateEpoch == '\0')
        return fixedZipTime;
    std::time_t seconds = 0;
    const char* end = sourceDateEpoch + std::strlen(sourceDateEpoch);
    auto [stop, problem] = std::from_chars(sourceDateEpoch, end, seconds);
    if (problem != std::errc() || stop != end || seconds < 0)
        return fixedZipTime;
    return seconds;
}

bool openZipWriter(int fd, ZipWriter& zip)
{
    zip.time = zipTime(std::getenv("SOURCE_DATE_EPOCH"));
    zip.handle.reset(archive_write_new());
    archive* handle = zip.handle.get();
    if (handle == nullptr)
        return failed(zip, ENOMEM, "out of memory");
    // No padding after the last byte: a zip is not a tape.  Deflate's
    // fastest level: text such as feedback shrinks nearly as much, at a
    // fifth of the time, and the zip is written by one thread for a class.
    if (archive_write_set_format_zip(handle) != ARCHIVE_OK ||
        archive_write_zip_set_compression_deflate(handle) != ARCHIVE_OK ||
        archive_write_set_format_option(handle, "zip", "compression-level", "1") != ARCHIVE_OK ||
        archive_write_set_format_option(handle, "zip", "hdrcharset", "UTF-8") != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(handle, 1) != ARCHIVE_OK || archive_write_open_fd(handle, fd) != ARCHIVE_OK)
        return libarchiveFailed(zip);
    return true;
}

bool addZipFile(ZipWriter& zip, std::string_view path, std::string_view bytes)
{
    EntryPath split = splitEntryPath(path);
    if (split.problem != PathProblem::none)
        return failed(zip, EINVAL, "refused a name that is not a path inside the zip: " + std::string(path));
    if (!wellFormedUtf8(path))
        return failed(zip, EINVAL, "refused a name that is not UTF-8");
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    if (!entry)
        return failed(zip, ENOMEM, "out of memory");
    std::string name = joinPath(split.components);
    // Names are written as UTF-8, and the zip says so: an unzipping system
    // then reads "é" as "é", not as two characters of its own code page.
    archive_entry_set_pathname_utf8(entry.get(), name.c_str());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), fileMode);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
    archive_entry_set_mtime(entry.get(), zip.time, 0);
    archive_entry_set_uid(entry.get(), 0);
    archive_entry_set_gid(entry.get(), 0);
    archive* handle = zip.handle.get();
    if (archive_write_header(handle, entry.get()) != ARCHIVE_OK)
        return libarchiveFailed(zip);
    if (!bytes.empty() && archive_write_data(handle, bytes.data(), bytes.size()) != static_cast<la_ssize_t>(bytes.size()))
        return libarchiveFailed(zip);
    if (archive_write_finish_entry(handle) != ARCHIVE_OK)
        return libarchiveFailed(zip);
    return true;
}

bool closeZipWriter(ZipWriter& zip)
{
    if (archive_write_close(zip.handle.get()) != ARCHIVE_OK)
        return libarchiveFailed(zip);
    return true;
}
