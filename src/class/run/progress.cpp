#include "class/run/progress.h"

#include "io/visible_text.h"

#include <cstdio>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The rate means little before this much of the run has passed.
constexpr double minimumSecondsForRate = 0.5;

// A line wider than the terminal would wrap, and only its last row would be
// erased: it is cut to the terminal's width, less a column, between
// characters.
std::string fitted(int fd, std::string text)
{
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && text.size() >= size.ws_col)
        text.resize(characterPrefix(text, size.ws_col - 1u));
    return text;
}

void writeText(int fd, const char* text, int size)
{
    // A failed write of a progress line is no reason to stop grading.
    if (size > 0)
        (void)!write(fd, text, static_cast<std::size_t>(size));
}

}  // namespace

Progress startProgress(int fd)
{
    Progress progress;
    progress.fd = isatty(fd) ? fd : -1;
    progress.start = std::chrono::steady_clock::now();
    return progress;
}

void drawProgress(Progress& progress, std::uint64_t done, std::uint64_t total)
{
    if (progress.fd < 0)
        return;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
    char line[160];
    if (seconds < minimumSecondsForRate || done == 0) {
        std::snprintf(line, sizeof line, "graded %llu of %llu files", static_cast<unsigned long long>(done),
                      static_cast<unsigned long long>(total));
    } else {
        double rate = static_cast<double>(done) / seconds;
        double left = static_cast<double>(total - done) / rate;
        std::snprintf(line, sizeof line, "graded %llu of %llu files, %.0f files/s, %.0f s left",
                      static_cast<unsigned long long>(done), static_cast<unsigned long long>(total), rate, left);
    }
    std::string shown = "\r";
    shown += fitted(progress.fd, line);
    shown += "\033[K";
    writeText(progress.fd, shown.data(), static_cast<int>(shown.size()));
    progress.drawn = true;
}

void endProgress(Progress& progress)
{
    if (progress.drawn)
        writeText(progress.fd, "\r\033[K", 4);
    progress.drawn = false;
}
