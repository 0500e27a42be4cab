// How SUBMISSIONS lays out the students' files: a folder per student, or as
// a learning system's download hands them out, found by looking at the
// names of what it holds at its top.
#ifndef LABELGRADE_LAYOUT_H
#define LABELGRADE_LAYOUT_H

#include "class/model/class.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What SUBMISSIONS holds at its top, a folder or an archive alike.
struct TopEntry {
    std::string_view name;
    bool folder = false;
};

// The layout the names read as: Canvas where most files are named as
// Canvas names them, Moodle where most folders (or, with its folders
// setting off, most files) are named as Moodle names them, else a folder
// per student.
Layout detectLayout(const std::vector<TopEntry>& entries);

std::string_view layoutName(Layout layout);

constexpr std::uint32_t noOwner = UINT32_MAX;

// The name the student gave a file that a download lays out flat, read
// out of the name the layout gave it; empty where the entry is none.
std::string flatFileName(Layout layout, std::string_view entry);

// The students that the top entries make in `layout`, in byte order of
// names (a Canvas user id or a Moodle participant id is one student,
// whatever files or folders hold them); `ignored` gets the entries that are
// no student's.  With `owners`, each entry's student is told there instead
// of kept as the student's file (but for their first), as a download of
// hundreds of thousands of files needs.
std::vector<Student> studentsOf(Layout layout, const std::vector<TopEntry>& entries, std::vector<std::string>& ignored,
                                std::vector<std::uint32_t>* owners = nullptr);

#endif
