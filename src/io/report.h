// The report's output buffer: text is gathered in one buffer and leaves in
// one write per buffer, not one per line.
#ifndef LABELGRADE_REPORT_H
#define LABELGRADE_REPORT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

constexpr std::size_t reportBufferSize = 64 * 1024;

// Where the text goes: the file `fd`, else the string `kept`, else nowhere.
// A failed write is remembered and everything after it is dropped;
// flushReport tells whether all went out.  With `showControls` set (a
// terminal reads the report), text that comes from the graded files shows
// its control bytes as visible escapes; `utf8` says whether the terminal
// reads UTF-8.
struct Report {
    int fd = -1;
    std::string* kept = nullptr;
    bool showControls = false;
    bool utf8 = true;
    bool failed = false;
    std::size_t used = 0;
    char buffer[reportBufferSize];
};

void flushAndPut(Report& report, std::string_view text);
bool flushReport(Report& report);
void putNumber(Report& report, std::uint64_t number);
void putVisible(Report& report, std::string_view fileText);

inline void put(Report& report, std::string_view text)
{
    if (text.size() > reportBufferSize - report.used) {
        flushAndPut(report, text);
        return;
    }
    if (!text.empty())
        std::memcpy(report.buffer + report.used, text.data(), text.size());
    report.used += text.size();
}

// Text from a graded file: a line or a field of one.
inline void putFileText(Report& report, std::string_view text)
{
    if (report.showControls)
        putVisible(report, text);
    else
        put(report, text);
}

#endif
