// One student's results as the autograding platforms read them: the
// results file Gradescope reads (results.json: a score, and a test each,
// passed or failed, with its output and its visibility), the one
// PrairieLearn reads (gradable, a score from 0 to 1, a test each with its
// points), or a few lines for a person.  Whatever bytes the student's files
// hold, the JSON is valid: every text is shown as on a terminal (control
// bytes and bytes that are not UTF-8 as visible escapes) before it is
// escaped as JSON needs.
#ifndef LABELGRADE_PLATFORM_RESULTS_H
#define LABELGRADE_PLATFORM_RESULTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One test's result for the platform: its report, and the causes found,
// in plain words.
struct TestOutcome {
    std::string name;
    std::int32_t number = 0;
    std::uint64_t score = 0;
    std::uint64_t outOf = 0;
    std::vector<std::string> causes;  // why not graded, what was found
    std::string report;               // as labelgrade writes it
};

struct StudentOutcome {
    bool gradable = true;
    std::string why;  // where not gradable
    std::vector<TestOutcome> tests;
};

// How one student's results are written: a few lines for a person, or the
// results file of a platform.
enum class PlatformFormat : std::uint8_t { text, gradescope, prairielearn };

// PrairieLearn takes a results file of at most 1 MB; Gradescope's is held
// as small, since a student's lines are echoed in its reports.
constexpr std::size_t prairieLearnLimit = 1000 * 1000;
constexpr std::size_t gradescopeLimit = 1000 * 1000;

std::string gradescopeResults(const StudentOutcome& outcome, std::string_view visibility,
                              std::size_t limit = gradescopeLimit);
std::string prairieLearnResults(const StudentOutcome& outcome, std::size_t limit = prairieLearnLimit);
// A line per test for a person, then the total, shown as on a terminal
// (`utf8`: one that reads UTF-8): a name's newline starts no line.
std::string textResults(const StudentOutcome& outcome, bool utf8 = true);

// A text as a JSON string, quotes included: shown as on a terminal, then
// escaped.
std::string jsonString(std::string_view text);

// A text already shown as on a terminal, as a JSON string.
std::string jsonEscaped(std::string_view text);

#endif
