#include "class/outputs/feedback.h"

#include "io/temporary_file.h"
#include "io/visible_text.h"
#include "class/outputs/file_names.h"
#include "class/outputs/statement_words.h"
#include "class/outputs/wording.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <utility>
#include <unicase.h>
#include <unistd.h>

// A part of a path in the zip as every unzipping system takes it: the
// names of files the run makes follow one rule.
std::string safePart(std::string_view part)
{
    return portableName(part);
}

namespace {

// How a case-blind file system (Windows', a Mac's) compares names: two
// that differ only in case or in how their accents are composed are one.
std::string foldedKey(std::string_view path)
{
    std::size_t size = 0;
    std::unique_ptr<std::uint8_t, decltype(&std::free)> folded(
        u8_casefold(reinterpret_cast<const std::uint8_t*>(path.data()), path.size(), nullptr, UNINORM_NFC, nullptr,
                    &size),
        &std::free);
    if (!folded)
        return std::string(path);
    return std::string(reinterpret_cast<const char*>(folded.get()), size);
}

// The path, or, where a case-blind system would take it for one written
// before, the path with its first part told apart ("ann_2/feedback.txt").
std::string toldApart(const std::string& path, std::set<std::string>& used)
{
    std::size_t slash = path.find('/');
    std::size_t cut = slash != std::string::npos ? slash : path.rfind('.');
    if (cut == std::string::npos)
        cut = path.size();
    std::string chosen = path;
    for (int attempt = 2; !used.insert(foldedKey(chosen)).second; ++attempt)
        chosen = path.substr(0, cut) + "_" + std::to_string(attempt) + path.substr(cut);
    return chosen;
}

std::string scoreLine(const Test& test, const TestResult& result)
{
    return test.name + ": " + std::to_string(result.score) + " / " + std::to_string(test.lineCount) + "\n";
}

// What the student's assembler should do otherwise, each once, with the
// tests whose files show it: "count a `+` (format 4) statement as 4 bytes
// (t1.sym, t3.sym)".  The mistakes that a test's program names come
// first: they say what the causes of the same file only show.
std::string fixesText(const std::vector<Test>& tests, const Student& student)
{
    std::vector<std::pair<std::string_view, std::vector<std::size_t>>> fixes;
    auto add = [&](std::string_view fix, std::size_t test) {
        if (fix.empty())
            return;
        auto found = std::find_if(fixes.begin(), fixes.end(), [&](const auto& known) { return known.first == fix; });
        if (found == fixes.end())
            found = fixes.insert(fixes.end(), {fix, {}});
        if (found->second.empty() || found->second.back() != test)
            found->second.push_back(test);
    };
    for (std::size_t t = 0; t < tests.size() && t < student.results.size(); ++t)
        for (const NamedMistake& mistake : student.results[t].mistakes)
            add(mistakeFix(mistake.found.mistake), t);
    for (std::size_t t = 0; t < tests.size() && t < student.results.size(); ++t)
        for (const Diagnosis& diagnosis : student.results[t].diagnoses)
            add(causeFix(diagnosis.cause), t);
    if (fixes.empty())
        return {};
    std::string text = "\nWhat to fix in your assembler:\n";
    for (const auto& [fix, shown] : fixes) {
        text += "  ";
        text += fix;
        text += " (";
        for (std::size_t i = 0; i < shown.size(); ++i)
            text += (i > 0 ? ", " : "") + tests[shown[i]].name;
        text += ")\n";
    }
    return text;
}

}  // namespace

std::string feedbackText(const std::vector<Test>& tests, const Student& student, const std::vector<std::string>& reports)
{
    // A student reads it as text, where a carriage return or a control byte
    // of theirs would show as nothing: all of it is shown as on a terminal,
    // and a newline in a name or a cause starts no line of its own.
    std::vector<std::string> found(tests.size());
    forEachFindingOf(student, [&](std::size_t test, const std::string& text) {
        found[test] += "  " + visibleText(text, true) + "\n";
    });
    std::string text = "Feedback for " + visibleText(student.name, true) + "\n\n";
    // Room for the reports from the start: a class's feedback is mostly
    // them, and a string that doubles as it goes copies each several times.
    std::size_t room = text.size() + 64;
    for (std::size_t t = 0; t < tests.size(); ++t)
        room += found[t].size() + 2 * tests[t].name.size() + 48 + (t < reports.size() ? reports[t].size() : 0);
    text.reserve(room);
    std::uint64_t possible = 0;
    for (std::size_t t = 0; t < tests.size(); ++t) {
        text += visibleLines(scoreLine(tests[t], student.results[t]), true) + found[t];
        possible += tests[t].lineCount;
    }
    text += "\nTotal: " + std::to_string(totalOf(student)) + " / " + std::to_string(possible) + "\n";
    text += visibleLines(fixesText(tests, student), true);
    for (std::size_t t = 0; t < tests.size() && t < reports.size(); ++t) {
        text += "\n--- ";
        text += tests[t].name;
        text += " ---\n";
        text += visibleLines(reports[t], true);
    }
    return text;
}

namespace {

// Past this many students' feedback waiting, a worker that finishes a
// student waits to write rather than go back to grading: what waits is
// held in memory.
constexpr std::size_t mostWaiting = 64;

// Past this many bytes of feedback held waiting, more goes to the spill:
// a few dozen students' worth, small beside what grading a class holds.
constexpr std::size_t mostHeldBytes = 1 << 20;

// False, with errno set, where the whole could not be read back.
bool readAt(int fd, std::string& bytes, std::uint64_t at)
{
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t got = pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            errno = got == 0 ? EIO : errno;
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Writes the text to the spill, where the bound is passed; where no spill
// can be written it stays held.  The caller holds `mutex`.
void spillPast(FeedbackZip& feedback, WaitingFeedback& entry)
{
    if (feedback.heldBytes + entry.text.size() <= mostHeldBytes || feedback.spillRefused)
        return;
    if (feedback.spill.fd < 0)
        feedback.spill = unnamedTemporaryFile();
    if (feedback.spill.fd < 0 || !writeAt(feedback.spill.fd, entry.text, feedback.spillEnd)) {
        feedback.spillRefused = true;
        return;
    }
    entry.spilled = true;
    entry.spilledAt = feedback.spillEnd;
    entry.spilledSize = entry.text.size();
    feedback.spillEnd += entry.text.size();
    std::string().swap(entry.text);
}

void writeOne(FeedbackZip& feedback, std::size_t student, const std::string& given, const std::string& text)
{
    // A name the zip refuses (it would land outside the folder it is
    // unzipped in) is that student's; any other failure, the zip's.
    std::string path = given.empty() ? given : toldApart(given, feedback.used);
    if (path != given)
        feedback.renamed.emplace_back(student, path);
    bool added = !path.empty() && !feedback.failed && addZipFile(feedback.zip, path, text);
    if (!added && (given.empty() || feedback.zip.error == EINVAL))
        feedback.skipped.push_back(student);
    else if (!added)
        feedback.failed = true;
}

// A spilled text, read back; the zip fails where it cannot be.
void readBack(FeedbackZip& feedback, WaitingFeedback& entry)
{
    entry.text.resize(entry.spilledSize);
    if (!readAt(feedback.spill.fd, entry.text, entry.spilledAt) && !feedback.failed) {
        feedback.failed = true;
        feedback.zip.error = errno;
    }
}

// Writes the feedback next in the students' order for as long as it is
// there; the caller holds `writing`.
void writeReady(FeedbackZip& feedback)
{
    for (;;) {
        std::size_t student = 0;
        WaitingFeedback entry;
        {
            std::lock_guard lock(feedback.mutex);
            auto ready = feedback.waiting.find(feedback.next);
            if (ready == feedback.waiting.end())
                return;
            student = ready->first;
            entry = std::move(ready->second);
            feedback.heldBytes -= entry.text.size();
            feedback.waiting.erase(ready);
            ++feedback.next;
        }
        // The spill is only appended to past what was spilled: read
        // without the lock.
        if (entry.spilled)
            readBack(feedback, entry);
        writeOne(feedback, student, entry.path, entry.text);
    }
}

}  // namespace

void addFeedback(FeedbackZip& feedback, std::size_t student, std::string path, std::string text)
{
    bool crowded = false;
    {
        std::lock_guard lock(feedback.mutex);
        WaitingFeedback entry{std::move(path), std::move(text)};
        // The next student's is written at once: it need not wait.
        if (student != feedback.next)
            spillPast(feedback, entry);
        feedback.heldBytes += entry.text.size();
        feedback.waiting.emplace(student, std::move(entry));
        crowded = feedback.waiting.size() > mostWaiting;
    }
    std::unique_lock writer(feedback.writing, std::defer_lock);
    if (crowded)
        writer.lock();
    else if (!writer.try_lock())
        return;
    writeReady(feedback);
}

void writeWaitingFeedback(FeedbackZip& feedback)
{
    std::lock_guard writer(feedback.writing);
    writeReady(feedback);
}
