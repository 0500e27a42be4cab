#include "feedback.h"

#include "io/visible_text.h"
#include "wording.h"

#include <cerrno>

namespace {

std::string scoreLine(const Test& test, const TestResult& result)
{
    return test.name + ": " + std::to_string(result.score) + " / " + std::to_string(test.lineCount) + "\n";
}

// Where Moodle's download put the student's files, which its feedback
// upload reads back.
std::string moodleFolder(const Student& student)
{
    for (const std::string& folder : student.folders)
        if (folder.find("_assignsubmission_file") != std::string::npos) {
            std::string name = folder;
            if (name.back() == '_')
                name.pop_back();
            return name;
        }
    return student.name + "_" + student.lmsId + "_assignsubmission_file";
}

}  // namespace

std::string feedbackPath(Layout layout, const Student& student)
{
    switch (layout) {
    case Layout::canvas:
        for (const FlatFile& file : student.flatFiles)
            if (!file.attachmentId.empty())
                return student.name + "_" + student.lmsId + "_" + file.attachmentId + "_feedback.txt";
        return {};
    case Layout::moodle:
        return moodleFolder(student) + "/feedback.txt";
    case Layout::folders:
        break;
    }
    return student.name + "/feedback.txt";
}

std::string feedbackText(const std::vector<Test>& tests, const Student& student, const std::vector<std::string>& reports)
{
    std::vector<std::string> found(tests.size());
    forEachFindingOf(student, [&](std::size_t test, const std::string& text) { found[test] += "  " + text + "\n"; });
    std::string head = "Feedback for " + student.name + "\n\n";
    std::uint64_t possible = 0;
    for (std::size_t t = 0; t < tests.size(); ++t) {
        head += scoreLine(tests[t], student.results[t]) + found[t];
        possible += tests[t].lineCount;
    }
    head += "\nTotal: " + std::to_string(totalOf(student)) + " / " + std::to_string(possible) + "\n";
    // A student reads it as text, where a carriage return or a control byte
    // of theirs would show as nothing: all of it is shown as on a terminal.
    std::string text = visibleLines(head, true);
    for (std::size_t t = 0; t < tests.size() && t < reports.size(); ++t)
        text += "\n--- " + tests[t].name + " ---\n" + visibleLines(reports[t], true);
    return text;
}

void addFeedback(FeedbackZip& feedback, std::size_t student, std::string path, std::string text)
{
    std::lock_guard lock(feedback.mutex);
    feedback.waiting.emplace(student, std::make_pair(std::move(path), std::move(text)));
    for (auto ready = feedback.waiting.find(feedback.next); ready != feedback.waiting.end();
         ready = feedback.waiting.find(feedback.next)) {
        auto& [readyPath, readyText] = ready->second;
        // A name the zip refuses (it would land outside the folder it is
        // unzipped in) is that student's; any other failure, the zip's.
        bool added = !readyPath.empty() && !feedback.failed && addZipFile(feedback.zip, readyPath, readyText);
        if (!added && (readyPath.empty() || feedback.zip.error == EINVAL))
            feedback.skipped.push_back(ready->first);
        else if (!added)
            feedback.failed = true;
        feedback.waiting.erase(ready);
        ++feedback.next;
    }
}
