#include "layout.h"

#include "lms_names.h"

#include <algorithm>
#include <map>

namespace {

struct Counts {
    std::size_t files = 0;
    std::size_t folders = 0;
    std::size_t canvasFiles = 0;
    std::size_t moodleFolders = 0;
    std::size_t moodleFiles = 0;
};

Counts countNames(const std::vector<TopEntry>& entries)
{
    Counts counts;
    for (const TopEntry& entry : entries) {
        CanvasName canvas;
        MoodleName moodle;
        if (entry.folder) {
            ++counts.folders;
            counts.moodleFolders += readMoodleFolder(entry.name, moodle) ? 1 : 0;
        } else {
            ++counts.files;
            counts.canvasFiles += readCanvasName(entry.name, canvas) ? 1 : 0;
            counts.moodleFiles += readMoodleFile(entry.name, moodle) ? 1 : 0;
        }
    }
    return counts;
}

// Most: more than half, and at least one.
bool most(std::size_t part, std::size_t whole)
{
    return part > 0 && 2 * part > whole;
}

Student& studentFor(std::map<std::string, Student>& byId, const std::string& id, const std::string& name)
{
    Student& student = byId[id];
    if (student.lmsId.empty()) {
        student.lmsId = id;
        student.name = name;
        student.hasFolder = true;
    }
    return student;
}

std::vector<Student> inOrder(std::map<std::string, Student>& byId)
{
    std::vector<Student> students;
    for (auto& [id, student] : byId)
        students.push_back(std::move(student));
    std::stable_sort(students.begin(), students.end(),
                     [](const Student& a, const Student& b) { return a.name < b.name; });
    return students;
}

std::vector<Student> canvasStudents(const std::vector<TopEntry>& entries, std::vector<std::string>& ignored)
{
    std::map<std::string, Student> byId;
    for (const TopEntry& entry : entries) {
        CanvasName read;
        if (entry.folder || !readCanvasName(entry.name, read)) {
            ignored.push_back(entry.name);
            continue;
        }
        Student& student = studentFor(byId, read.userId, read.name);
        // A text or a link handed in is the student's, but no test's file.
        if (!isCanvasText(read))
            student.flatFiles.push_back(FlatFile{entry.name, read.fileName, read.attachmentId});
    }
    return inOrder(byId);
}

std::vector<Student> moodleStudents(const std::vector<TopEntry>& entries, std::vector<std::string>& ignored)
{
    std::map<std::string, Student> byId;
    for (const TopEntry& entry : entries) {
        MoodleName read;
        if (entry.folder ? !readMoodleFolder(entry.name, read) : !readMoodleFile(entry.name, read)) {
            ignored.push_back(entry.name);
            continue;
        }
        Student& student = studentFor(byId, read.participantId, read.fullName);
        if (entry.folder)
            student.folders.push_back(entry.name);
        else if (read.plugin == "file")
            student.flatFiles.push_back(FlatFile{entry.name, read.fileName, {}});
    }
    return inOrder(byId);
}

std::vector<Student> folderStudents(const std::vector<TopEntry>& entries, std::vector<std::string>& ignored)
{
    std::vector<Student> students;
    for (const TopEntry& entry : entries) {
        if (!entry.folder) {
            ignored.push_back(entry.name);
            continue;
        }
        Student student;
        student.name = entry.name;
        student.hasFolder = true;
        student.folders.push_back(entry.name);
        students.push_back(std::move(student));
    }
    std::sort(students.begin(), students.end(), [](const Student& a, const Student& b) { return a.name < b.name; });
    return students;
}

}  // namespace

Layout detectLayout(const std::vector<TopEntry>& entries)
{
    Counts counts = countNames(entries);
    if (most(counts.canvasFiles, counts.files) && counts.canvasFiles >= counts.moodleFolders)
        return Layout::canvas;
    if (most(counts.moodleFolders, counts.folders) || most(counts.moodleFiles, counts.files))
        return Layout::moodle;
    return Layout::folders;
}

std::string_view layoutName(Layout layout)
{
    switch (layout) {
    case Layout::folders:
        return "folders";
    case Layout::canvas:
        return "canvas";
    case Layout::moodle:
        return "moodle";
    }
    return "";
}

std::vector<Student> studentsOf(Layout layout, const std::vector<TopEntry>& entries, std::vector<std::string>& ignored)
{
    switch (layout) {
    case Layout::canvas:
        return canvasStudents(entries, ignored);
    case Layout::moodle:
        return moodleStudents(entries, ignored);
    case Layout::folders:
        break;
    }
    return folderStudents(entries, ignored);
}
