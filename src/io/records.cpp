#include "io/records.h"

#include <cerrno>
#include <unistd.h>

namespace {

constexpr std::size_t writtenPast = 64 * 1024;
constexpr std::size_t numberSize = 8;

}  // namespace

void RecordWriter::number(std::uint64_t value)
{
    for (std::size_t byte = 0; byte < numberSize; ++byte)
        pending += static_cast<char>((value >> (8 * byte)) & 0xff);
}

void RecordWriter::text(std::string_view bytes)
{
    number(bytes.size());
    pending += bytes;
    flushPast(writtenPast);
}

void RecordWriter::flushPast(std::size_t size)
{
    if (pending.size() < size || fd < 0)
        return;
    for (std::size_t at = 0; at < pending.size() && !failed;) {
        ssize_t put = write(fd, pending.data() + at, pending.size() - at);
        if (put < 0 && errno == EINTR)
            continue;
        failed = put <= 0;
        at += put > 0 ? static_cast<std::size_t>(put) : 0;
    }
    pending.clear();
}

char RecordReader::tag(char atEnd)
{
    if (rest.empty()) {
        broken = true;
        return atEnd;
    }
    char got = rest.front();
    rest.remove_prefix(1);
    return got;
}

std::uint64_t RecordReader::number()
{
    if (rest.size() < numberSize) {
        broken = true;
        rest = {};
        return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t byte = numberSize; byte-- > 0;)
        value = value << 8 | static_cast<unsigned char>(rest[byte]);
    rest.remove_prefix(numberSize);
    return value;
}

std::string_view RecordReader::text()
{
    std::uint64_t size = number();
    if (size > rest.size()) {
        broken = true;
        rest = {};
        return {};
    }
    std::string_view got = rest.substr(0, static_cast<std::size_t>(size));
    rest.remove_prefix(static_cast<std::size_t>(size));
    return got;
}
