#include "class/intake/layout.h"

#include "class/intake/lms_names.h"

#include <algorithm>
#include <map>
#include <tuple>

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

// What one entry at the top is in a layout: whose, and what of theirs.
struct Placed {
    bool theirs = false;  // false: no student's, and ignored
    std::string key;      // who: a user id, a participant id, a folder's name
    std::string name;     // as shown
    bool folder = false;
    bool text = false;    // a text or a link handed in, which is no file
    std::string fileName;
    std::string attachmentId;
};

Placed place(Layout layout, const TopEntry& entry)
{
    Placed placed;
    CanvasName canvas;
    MoodleName moodle;
    switch (layout) {
    case Layout::canvas:
        if (entry.folder || !readCanvasName(entry.name, canvas))
            return placed;
        return Placed{true, canvas.userId, canvas.name, false, isCanvasText(canvas), canvas.fileName, canvas.attachmentId};
    case Layout::moodle:
        if (entry.folder ? !readMoodleFolder(entry.name, moodle) : !readMoodleFile(entry.name, moodle))
            return placed;
        return Placed{true, moodle.participantId, moodle.fullName, entry.folder, !entry.folder && moodle.plugin != "file",
                      moodle.fileName, {}};
    case Layout::folders:
        break;
    }
    if (!entry.folder)
        return placed;
    std::string name(entry.name);
    return Placed{true, name, name, true, false, {}, {}};
}

}  // namespace

std::vector<Student> studentsOf(Layout layout, const std::vector<TopEntry>& entries, std::vector<std::string>& ignored,
                                std::vector<std::uint32_t>* owners)
{
    std::vector<Student> students;
    std::map<std::string, std::uint32_t> byKey;
    if (owners != nullptr)
        owners->assign(entries.size(), noOwner);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Placed placed = place(layout, entries[i]);
        if (!placed.theirs) {
            ignored.emplace_back(entries[i].name);
            continue;
        }
        auto [found, added] = byKey.try_emplace(placed.key, static_cast<std::uint32_t>(students.size()));
        if (added) {
            Student student;
            student.name = placed.name;
            student.lmsId = layout == Layout::folders ? std::string() : placed.key;
            student.hasFolder = true;
            students.push_back(std::move(student));
        }
        Student& student = students[found->second];
        if (owners != nullptr)
            (*owners)[i] = found->second;
        if (placed.folder)
            student.folders.emplace_back(entries[i].name);
        // A download's files are found through `owners`: a student keeps
        // their first, which their feedback's name needs.
        else if (!placed.text && (owners == nullptr || student.flatFiles.empty()))
            student.flatFiles.push_back(FlatFile{std::string(entries[i].name), placed.fileName, placed.attachmentId});
    }
    // In byte order of names; a learning system's namesakes, by id.
    std::vector<std::uint32_t> order(students.size());
    for (std::uint32_t s = 0; s < order.size(); ++s)
        order[s] = s;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::tie(students[a].name, students[a].lmsId) < std::tie(students[b].name, students[b].lmsId);
    });
    std::vector<std::uint32_t> placeOf(students.size());
    std::vector<Student> ordered;
    ordered.reserve(students.size());
    for (std::uint32_t s : order) {
        placeOf[s] = static_cast<std::uint32_t>(ordered.size());
        ordered.push_back(std::move(students[s]));
    }
    if (owners != nullptr)
        for (std::uint32_t& owner : *owners)
            owner = owner == noOwner ? noOwner : placeOf[owner];
    return ordered;
}

std::string flatFileName(Layout layout, std::string_view entry)
{
    Placed placed = place(layout, TopEntry{entry, false});
    return placed.theirs && !placed.text ? placed.fileName : std::string();
}

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
