#include "class/outputs/platform_results.h"

#include "io/visible_text.h"

#include <algorithm>
#include <cstdio>

namespace {

std::uint64_t totalOf(const StudentOutcome& outcome)
{
    std::uint64_t total = 0;
    for (const TestOutcome& test : outcome.tests)
        total += test.score;
    return total;
}

std::uint64_t possibleOf(const StudentOutcome& outcome)
{
    std::uint64_t possible = 0;
    for (const TestOutcome& test : outcome.tests)
        possible += test.outOf;
    return possible;
}

// The causes, a line each, shown as on a terminal: a newline in a file's
// name that a cause tells is no line of its own.
std::string causesText(const TestOutcome& test)
{
    std::string text;
    for (const std::string& cause : test.causes)
        text += visibleText(cause, true) + "\n";
    return text;
}

// A test's output, shown as on a terminal: its report, then the causes
// found, in plain words.
std::string outputOf(const TestOutcome& test)
{
    std::string report = visibleLines(test.report, true);
    std::string causes = causesText(test);
    return causes.empty() ? report : report + "\n" + causes;
}

// An output cut to `room` bytes, with a line that says so, at a line's end,
// or, in a line longer than the room, between two characters: JSON is
// UTF-8 and a platform refuses the whole file for one broken character.
std::string cutTo(std::string output, std::size_t room)
{
    if (output.size() <= room)
        return output;
    std::string said = "\n(The report is cut here: it was " + std::to_string(output.size()) +
                       " bytes, more than the results file may hold. The score counts every line.)\n";
    std::size_t keep = room > said.size() ? room - said.size() : 0;
    std::size_t lineEnd = output.rfind('\n', keep);
    output.resize(lineEnd == std::string::npos ? characterPrefix(output, keep) : lineEnd);
    return output + said;
}

// An output whose JSON string takes at most `room` bytes: cut, where it
// must be, in proportion to what its escapes add, until it fits.
std::string jsonFitted(const std::string& output, std::size_t room);

std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

std::string jsonString(std::string_view text)
{
    return jsonEscaped(visibleLines(text, true));
}

std::string jsonEscaped(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string gradescopeResults(const StudentOutcome& outcome, std::string_view visibility, std::size_t limit)
{
    // Gradescope shows the top output as HTML unless told it is text, and
    // it names the student's files: text it is, and so is each test's.
    std::string output = outcome.gradable ? textResults(outcome) : "could not grade: " + visibleText(outcome.why, true);
    std::string head = "{\n  \"score\": " + std::to_string(totalOf(outcome)) + ",\n  \"output\": " +
                       jsonEscaped(jsonFitted(output, limit / 8)) +
                       ",\n  \"output_format\": \"text\",\n  \"test_output_format\": \"text\",\n  \"visibility\": " +
                       jsonString(visibility) + ",\n  \"tests\": [";
    std::vector<std::string> entries;
    std::size_t fixed = head.size() + sizeof "\n  ]\n}\n";
    for (std::size_t t = 0; t < outcome.tests.size(); ++t) {
        const TestOutcome& test = outcome.tests[t];
        entries.push_back(std::string(t == 0 ? "\n" : ",\n") + "    {\"name\": " + jsonString(test.name) +
                          ", \"number\": " + jsonString(std::to_string(test.number)) +
                          ", \"score\": " + std::to_string(test.score) + ", \"max_score\": " +
                          std::to_string(test.outOf) +
                          ", \"status\": " + (test.score == test.outOf ? "\"passed\"" : "\"failed\"") +
                          ", \"visibility\": " + jsonString(visibility) + ", \"output\": ");
        fixed += entries.back().size() + sizeof "\"\"}";
    }
    std::size_t share = outcome.tests.empty() || limit <= fixed ? 0 : (limit - fixed) / outcome.tests.size();
    std::string json = head;
    for (std::size_t t = 0; t < outcome.tests.size(); ++t)
        json += entries[t] + jsonEscaped(jsonFitted(outputOf(outcome.tests[t]), share)) + "}";
    return json + (outcome.tests.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string prairieLearnResults(const StudentOutcome& outcome, std::size_t limit)
{
    if (!outcome.gradable)
        return "{\n  \"gradable\": false,\n  \"message\": " + jsonString("could not grade: " + outcome.why) +
               ",\n  \"tests\": []\n}\n";
    std::uint64_t possible = possibleOf(outcome);
    double score = possible == 0 ? 1.0 : static_cast<double>(totalOf(outcome)) / static_cast<double>(possible);
    // The score's words take at most an eighth of the file, twice over, and
    // the tests' causes a quarter between them: a student names files, and
    // the causes say their names.
    std::string summary = jsonEscaped(jsonFitted(textResults(outcome), limit / 8));
    std::size_t causesRoom = outcome.tests.empty() ? 0 : limit / 4 / outcome.tests.size();
    std::string head = "{\n  \"gradable\": true,\n  \"score\": " + numberText(score) + ",\n  \"message\": " + summary +
                       ",\n  \"output\": " + summary + ",\n  \"tests\": [";
    // Each test's entry but its output, as it is written; the outputs share
    // evenly what room the file has left.
    std::vector<std::string> entries;
    std::size_t fixed = head.size() + sizeof "\n  ]\n}\n";
    for (std::size_t t = 0; t < outcome.tests.size(); ++t) {
        const TestOutcome& test = outcome.tests[t];
        entries.push_back(std::string(t == 0 ? "\n" : ",\n") + "    {\"name\": " + jsonString(test.name) +
                          ", \"points\": " + std::to_string(test.score) + ", \"max_points\": " +
                          std::to_string(test.outOf) + ", \"message\": " + jsonEscaped(jsonFitted(causesText(test), causesRoom)) +
                          ", \"output\": ");
        fixed += entries.back().size() + sizeof "\"\"}";
    }
    std::size_t share = outcome.tests.empty() || limit <= fixed ? 0 : (limit - fixed) / outcome.tests.size();
    std::string json = head;
    for (std::size_t t = 0; t < outcome.tests.size(); ++t)
        json += entries[t] + jsonEscaped(jsonFitted(outputOf(outcome.tests[t]), share)) + "}";
    return json + (outcome.tests.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

namespace {

std::string jsonFitted(const std::string& output, std::size_t room)
{
    // A few rounds: each cuts by what the escapes of the last one added.
    constexpr int mostRounds = 16;
    std::string fitted = output;
    for (int round = 0; round < mostRounds && !fitted.empty(); ++round) {
        std::size_t escaped = jsonEscaped(fitted).size();
        if (escaped <= room)
            return fitted;
        std::size_t keep = fitted.size() * room / escaped;
        fitted = cutTo(output, std::min(keep, fitted.size() - 1));
    }
    return {};
}

}  // namespace

std::string textResults(const StudentOutcome& outcome, bool utf8)
{
    if (!outcome.gradable)
        return "could not grade: " + visibleText(outcome.why, utf8) + "\n";
    std::string text;
    for (const TestOutcome& test : outcome.tests) {
        text += visibleText(test.name, utf8) + ": " + std::to_string(test.score) + " / " + std::to_string(test.outOf);
        for (std::size_t c = 0; c < test.causes.size(); ++c)
            text += (c == 0 ? "  (" : "; ") + visibleText(test.causes[c], utf8) + (c + 1 == test.causes.size() ? ")" : "");
        text += "\n";
    }
    return text + "total: " + std::to_string(totalOf(outcome)) + " / " + std::to_string(possibleOf(outcome)) + "\n";
}
