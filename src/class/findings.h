// What a student's file for a test shows besides its score, found while the
// file is graded (grading itself is untouched): the causes that explain
// lost points, and the file's wrong lines, marked for the summary and for
// spotting copied work.
#ifndef LABELGRADE_FINDINGS_H
#define LABELGRADE_FINDINGS_H

#include "diagnosis.h"
#include "file_bytes.h"
#include "grading/score.h"
#include "grading/watcher.h"
#include "line_causes.h"
#include "shifts.h"
#include "tally.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Watches one file at a time through the grading core, and marks its wrong
// lines, and the file itself if it is not fully right, in the worker's
// tally.
struct FindingsWatcher final : GradingWatcher {
    void start(const ReferenceIndex& reference, const MarkPlaces& places, std::uint32_t test, std::uint32_t student,
               Tally& tally);
    void studentBytes(std::string_view bytes) override;
    void checked(const Verdict& verdict) override;
    // The causes found, once the file is graded and its line counts known.
    std::vector<Diagnosis> finish(const LineCounts& counts);

private:
    void markWrongLine(const Verdict& verdict);

    const ReferenceIndex* reference_ = nullptr;
    const MarkPlaces* places_ = nullptr;
    std::uint32_t test_ = 0;
    std::uint32_t student_ = 0;
    Tally* tally_ = nullptr;
    bool anyWrong_ = false;
    FileBytes bytes_;
    LineCauses lineCauses_;
    ShiftWatch shifts_;
};

#endif
