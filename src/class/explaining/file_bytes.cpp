#include "class/explaining/file_bytes.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Whether every byte is a blank, a tab or a carriage return.
bool allBlank(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), isBlankByte);
}

}  // namespace

void FileBytes::add(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size() && size_ + i < sizeof first_; ++i)
        first_[size_ + i] = static_cast<unsigned char>(bytes[i]);
    size_ += bytes.size();
    lines_.add(bytes);
    if (bytes.empty())
        return;
    if (!zeroBytes_ && std::memchr(bytes.data(), '\0', bytes.size()) != nullptr)
        zeroBytes_ = true;
    // Line ends are found with memchr: only the lines around the last one
    // are looked at byte by byte.
    std::size_t lastNewline = std::string_view::npos;
    std::size_t previousNewline = std::string_view::npos;
    for (std::size_t offset = 0;; ++offset) {
        const void* newline = std::memchr(bytes.data() + offset, '\n', bytes.size() - offset);
        if (newline == nullptr)
            break;
        offset = static_cast<std::size_t>(static_cast<const char*>(newline) - bytes.data());
        if (offset == 0 ? previous_ == '\r' : bytes[offset - 1] == '\r')
            ++crlfLines_;
        previousNewline = lastNewline;
        lastNewline = offset;
    }
    if (lastNewline == std::string_view::npos) {
        lineBlank_ = lineBlank_ && allBlank(bytes);
    } else {
        std::size_t lineStart = previousNewline == std::string_view::npos ? 0 : previousNewline + 1;
        bool carriedBlank = previousNewline == std::string_view::npos ? lineBlank_ : true;
        lastLineBlank_ = carriedBlank && allBlank(bytes.substr(lineStart, lastNewline - lineStart));
        lineBlank_ = allBlank(bytes.substr(lastNewline + 1));
    }
    previous_ = bytes.back();
}

void FileBytes::diagnose(std::vector<Diagnosis>& found, const LineCounts& counts, bool crCosts, bool bomCosts) const
{
    auto count = [](std::uint64_t lines) { return static_cast<std::int32_t>(std::min<std::uint64_t>(lines, INT32_MAX)); };
    // Of the lines that end at all: a last line without a newline has no
    // line end to be CR LF.
    if (crlfLines_ > 0 && crCosts)
        found.push_back(Diagnosis{Cause::crlfLineEnds, 0, false, count(crlfLines_), lines_.newlines});
    if (bomCosts && byteOrderMark())
        found.push_back(Diagnosis{Cause::byteOrderMark});
    if (zeroBytes_)
        found.push_back(Diagnosis{Cause::zeroBytes});
    // A blank last line costs a point wherever it stands: a line too many,
    // or a line without a symbol where the reference has one.
    bool lastBlank = previous_ == '\n' ? lastLineBlank_ : lineBlank_;
    if (lastBlank && counts.student >= 2)
        found.push_back(Diagnosis{Cause::trailingEmptyLine});
}
