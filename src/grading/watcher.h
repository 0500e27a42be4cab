// What a watcher of the grading core is told of a student's file as it is
// graded: every byte, as it is read, and every compared position's verdict.
// The class command learns through it what explains a grade; grading itself
// is untouched by it.
#ifndef LABELGRADE_WATCHER_H
#define LABELGRADE_WATCHER_H

#include "verdict.h"

#include <string_view>

struct GradingWatcher {
    virtual void studentBytes(std::string_view bytes) = 0;
    virtual void checked(const Verdict& verdict) = 0;

protected:
    ~GradingWatcher() = default;
};

#endif
