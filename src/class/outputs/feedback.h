// Feedback for each student, in one zip laid out as the course site takes
// it back (where each student's goes, each site says).  A student's feedback says, in plain words, each test's
// score and every cause found for it, then each test's report.
#ifndef LABELGRADE_FEEDBACK_H
#define LABELGRADE_FEEDBACK_H

#include "class/model/class.h"
#include "io/descriptor.h"
#include "io/zip_writer.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// A part of a path in the zip as every unzipping system takes it (see
// portableName): a byte a file system refuses in a name, or one a terminal
// would act on or that shows nothing, is "_"; a name Windows refuses is
// told apart; a long one is shortened.
std::string safePart(std::string_view part);

// The feedback, once the student is graded: `reports` holds each test's
// report, in the tests' order.
std::string feedbackText(const std::vector<Test>& tests, const Student& student, const std::vector<std::string>& reports);

// A student's feedback that waits for the students before it: its text
// held, or written to the spill.
struct WaitingFeedback {
    std::string path;
    std::string text;
    bool spilled = false;
    std::uint64_t spilledAt = 0;  // where its text lies in the spill
    std::uint64_t spilledSize = 0;
};

// The zip, written by whichever worker finds it free when it finishes a
// student, while the others go back to grading: students' files go in in
// the students' order, whatever order they finish in, so that a run gives
// the same bytes whatever the number of workers.  A download lists its
// students in any order, and one in reverse hands the first student over
// last: past a bound, what waits goes to an unnamed file of its own (the
// spill), so that memory holds a few students' feedback, not the class's.
struct FeedbackZip {
    ZipWriter zip;
    std::mutex mutex;    // guards `next`, `waiting` and the spill's fields
    std::mutex writing;  // held by the worker that writes the zip; guards `zip` and what follows
    std::size_t next = 0;
    std::map<std::size_t, WaitingFeedback> waiting;  // by student
    std::size_t heldBytes = 0;   // the texts `waiting` holds
    Descriptor spill;            // opened when first wanted
    std::uint64_t spillEnd = 0;
    bool spillRefused = false;   // no spill can be written: what waits is held
    std::set<std::string> used;         // names written, as a case-blind system compares them
    bool failed = false;                // the zip cannot be written: `zip` says why
    std::vector<std::size_t> skipped;   // students whose feedback the site could not take
    std::vector<std::pair<std::size_t, std::string>> renamed;  // students' feedback told apart from another's
};

// Adds the student's feedback (an empty path: none), writing what is ready
// where no other worker is writing, or where many students' feedback waits.
void addFeedback(FeedbackZip& feedback, std::size_t student, std::string path, std::string text);

// Writes what still waits, once every student's feedback is added.
void writeWaitingFeedback(FeedbackZip& feedback);

#endif
