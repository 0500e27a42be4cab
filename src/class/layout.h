// How SUBMISSIONS lays out the students' files: a folder per student, or as
// a learning system's download hands them out, found by looking at the
// names of what it holds at its top.
#ifndef LABELGRADE_LAYOUT_H
#define LABELGRADE_LAYOUT_H

#include "class.h"

#include <string>
#include <string_view>
#include <vector>

// What SUBMISSIONS holds at its top, a folder or an archive alike.
struct TopEntry {
    std::string name;
    bool folder = false;
};

// The layout the names read as: Canvas where most files are named as
// Canvas names them, Moodle where most folders (or, with its folders
// setting off, most files) are named as Moodle names them, else a folder
// per student.
Layout detectLayout(const std::vector<TopEntry>& entries);

std::string_view layoutName(Layout layout);

// The students that the top entries make in `layout`, in byte order of
// names (a Canvas user id or a Moodle participant id is one student,
// whatever files or folders hold them); `ignored` gets the entries that are
// no student's.
std::vector<Student> studentsOf(Layout layout, const std::vector<TopEntry>& entries, std::vector<std::string>& ignored);

#endif
