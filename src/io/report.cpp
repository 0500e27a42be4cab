#include "report.h"

#include "visible_text.h"

#include <cerrno>
#include <charconv>
#include <unistd.h>

namespace {

void writeAll(Report& report, const char* data, std::size_t size)
{
    if (report.kept != nullptr) {
        report.kept->append(data, size);
        return;
    }
    if (report.fd < 0)
        return;
    while (size > 0 && !report.failed) {
        ssize_t written = write(report.fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            report.failed = true;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void flushAndPut(Report& report, std::string_view text)
{
    flushReport(report);
    if (text.size() >= reportBufferSize) {
        writeAll(report, text.data(), text.size());
        return;
    }
    std::memcpy(report.buffer, text.data(), text.size());
    report.used = text.size();
}

bool flushReport(Report& report)
{
    writeAll(report, report.buffer, report.used);
    report.used = 0;
    return !report.failed;
}

void putNumber(Report& report, std::uint64_t number)
{
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
    put(report, std::string_view(digits, static_cast<std::size_t>(end.ptr - digits)));
}

// Piece by piece, straight into the buffer: a line of any length needs no
// memory of its own to be shown.
void putVisible(Report& report, std::string_view fileText)
{
    char scratch[16];
    while (!fileText.empty()) {
        std::string_view shown;
        fileText.remove_prefix(nextVisiblePiece(fileText, report.utf8, scratch, shown));
        put(report, shown);
    }
}
