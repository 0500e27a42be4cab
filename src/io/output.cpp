#include "output.h"

#include "visible_text.h"

#include <cerrno>
#include <charconv>
#include <unistd.h>

namespace {

void writeAll(Output& out, const char* data, std::size_t size)
{
    out.flushed += size;
    if (out.kept != nullptr)
        out.kept->append(data, size);
    if (out.fd < 0)
        return;
    while (size > 0 && !out.failed) {
        ssize_t written = write(out.fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            out.failed = true;
            // A write that takes nothing without an error is a full device.
            out.error = written < 0 ? errno : ENOSPC;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void restartOutput(Output& out, int fd)
{
    if (out.kept != nullptr)
        out.kept->clear();
    out.fd = fd;
    out.failed = false;
    out.error = 0;
    out.flushed = 0;
    out.used = 0;
}

void flushAndPut(Output& out, std::string_view text)
{
    flushOutput(out);
    if (text.size() >= outputBufferSize) {
        writeAll(out, text.data(), text.size());
        return;
    }
    std::memcpy(out.buffer, text.data(), text.size());
    out.used = text.size();
}

bool flushOutput(Output& out)
{
    writeAll(out, out.buffer, out.used);
    out.used = 0;
    return !out.failed;
}

void putNumber(Output& out, std::uint64_t number)
{
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
    put(out, std::string_view(digits, static_cast<std::size_t>(end.ptr - digits)));
}

// Piece by piece, straight into the buffer: a line of any length needs no
// memory of its own to be shown.
void putVisible(Output& out, std::string_view fileText)
{
    char scratch[16];
    while (!fileText.empty()) {
        std::string_view shown;
        fileText.remove_prefix(nextVisiblePiece(fileText, out.utf8, scratch, shown));
        put(out, shown);
    }
}
