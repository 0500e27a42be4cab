// The progress line that a long class run draws on a terminal: files graded
// of all, the rate, and the time left.
#ifndef LABELGRADE_PROGRESS_H
#define LABELGRADE_PROGRESS_H

#include <chrono>
#include <cstdint>

struct Progress {
    int fd = -1;  // -1: standard error is not a terminal, and nothing is drawn
    std::chrono::steady_clock::time_point start;
    bool drawn = false;
};

Progress startProgress(int fd);

// Redraws the line in place.
void drawProgress(Progress& progress, std::uint64_t done, std::uint64_t total);

// Erases the line, leaving the cursor where the line began.
void endProgress(Progress& progress);

#endif
