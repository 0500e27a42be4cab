#include "progress.h"

#include <cstdio>
#include <unistd.h>

namespace {

// The rate means little before this much of the run has passed.
constexpr double minimumSecondsForRate = 0.5;

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
    int size;
    if (seconds < minimumSecondsForRate || done == 0) {
        size = std::snprintf(line, sizeof line, "\rgraded %llu of %llu files\033[K",
                             static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
    } else {
        double rate = static_cast<double>(done) / seconds;
        double left = static_cast<double>(total - done) / rate;
        size = std::snprintf(line, sizeof line, "\rgraded %llu of %llu files, %.0f files/s, %.0f s left\033[K",
                             static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                             rate, left);
    }
    writeText(progress.fd, line, size);
    progress.drawn = true;
}

void endProgress(Progress& progress)
{
    if (progress.drawn)
        writeText(progress.fd, "\r\033[K", 4);
    progress.drawn = false;
}
