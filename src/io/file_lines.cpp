#include "file_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace {

// Twice the room, but never more than what is left of the file can fill:
// a long line of a file that is nearly all read costs its own size only.
bool makeRoom(ReadBuffer& buffer, std::size_t kept, std::uint64_t unread)
{
    if (kept < buffer.capacity)
        return true;
    std::uint64_t wanted = std::min<std::uint64_t>(std::uint64_t{buffer.capacity} * 2,
                                                   std::uint64_t{kept} + std::min<std::uint64_t>(unread, SIZE_MAX / 2) + 1);
    std::size_t capacity = std::max(static_cast<std::size_t>(wanted), buffer.firstCapacity);
    if (capacity <= buffer.capacity)
        return false;
    char* grown = static_cast<char*>(std::realloc(buffer.bytes.get(), capacity));
    if (grown == nullptr)
        return false;
    (void)buffer.bytes.release();
    buffer.bytes.reset(grown);
    buffer.capacity = capacity;
    return true;
}

}  // namespace

ReadStatus readMore(FileLines& file)
{
    ReadBuffer& buffer = *file.buffer;
    std::size_t kept = file.rest.size();
    if (kept > 0 && file.rest.data() != buffer.bytes.get())
        std::memmove(buffer.bytes.get(), file.rest.data(), kept);
    file.rest = {};
    if (!makeRoom(buffer, kept, file.unread))
        return ReadStatus::outOfMemory;
    std::size_t size = kept;
    while (size < buffer.capacity) {
        if (file.unread == 0) {
            file.final = true;
            break;
        }
        std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.capacity - size, file.unread));
        ssize_t got = read(file.fd, buffer.bytes.get() + size, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        // A read error is not the end of the file: a file cut short would
        // be graded as if the student had left the rest out.
        if (got < 0) {
            file.error = errno;
            return ReadStatus::readError;
        }
        if (got == 0) {
            file.final = true;
            break;
        }
        size += static_cast<std::size_t>(got);
        file.unread -= static_cast<std::uint64_t>(got);
    }
    file.rest = std::string_view(buffer.bytes.get(), size);
    return ReadStatus::read;
}
