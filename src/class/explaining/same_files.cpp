#include "class/explaining/same_files.h"

#include "io/visible_text.h"

#include <algorithm>
#include <tuple>

namespace {

std::string ownedName(const Student& student, const Test& test)
{
    return student.name + "'s " + test.name;
}

// "the same file as bob's t1.sym and cid's t1.sym (a hard link)"
std::string noteFor(const std::vector<LinkedFile>& group, std::size_t self, const std::vector<Student>& students,
                    const std::vector<Test>& tests)
{
    std::string note = "the same file as ";
    bool first = true;
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (group[i].student == group[self].student)
            continue;
        note += first ? "" : " and ";
        note += ownedName(students[group[i].student], tests[group[i].test]);
        first = false;
    }
    return note + " (a hard link)";
}

bool manyStudents(const std::vector<LinkedFile>& group)
{
    return std::any_of(group.begin(), group.end(),
                       [&](const LinkedFile& file) { return file.student != group.front().student; });
}

}  // namespace

void noteSameFiles(std::vector<LinkedFile> linked, std::vector<Student>& students, const std::vector<Test>& tests,
                   bool utf8, std::vector<std::string>& notices)
{
    std::sort(linked.begin(), linked.end(), [](const LinkedFile& a, const LinkedFile& b) {
        return std::tie(a.file.device, a.file.inode, a.student, a.test) <
               std::tie(b.file.device, b.file.inode, b.student, b.test);
    });
    for (std::size_t at = 0; at < linked.size();) {
        std::size_t end = at;
        while (end < linked.size() && linked[end].file == linked[at].file)
            ++end;
        std::vector<LinkedFile> group(linked.begin() + static_cast<std::ptrdiff_t>(at),
                                      linked.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
        // One student's own files may share a file: that is theirs alone.
        if (!manyStudents(group))
            continue;
        std::string notice;
        for (std::size_t i = 0; i < group.size(); ++i) {
            const LinkedFile& file = group[i];
            students[file.student].notes.push_back(
                FileNote{file.test, NoteKind::sameFile, noteFor(group, i, students, tests)});
            notice += (i == 0 ? "" : i + 1 == group.size() ? " and " : ", ") +
                      visibleText(ownedName(students[file.student], tests[file.test]), utf8);
        }
        notices.push_back(notice + " are one file (a hard link): graded for each, and no evidence of copying");
    }
    // Notes read in the order of the tests.
    for (Student& student : students)
        std::sort(student.notes.begin(), student.notes.end());
}
