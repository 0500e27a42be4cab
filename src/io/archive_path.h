// The names of an archive's entries, taken apart.  A name is whatever bytes
// a student's archive tool wrote, so it is judged by its components, never
// by string prefixes: `/tmp/out-evil` starts with `/tmp/out` and is not in
// it.  A backslash is an ordinary byte here, as it is in a Linux file name.
#ifndef LABELGRADE_ARCHIVE_PATH_H
#define LABELGRADE_ARCHIVE_PATH_H

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Why a name cannot stand for a place inside the archive.
enum class PathProblem {
    none,
    empty,     // nothing left once empty and `.` components are dropped
    absolute,  // starts with `/`: it names a place outside any folder
    parent,    // has a `..` component, which could climb out
    zeroByte,  // holds a NUL, which no file name can
};

struct EntryPath {
    PathProblem problem = PathProblem::none;
    // Set only when there is no problem: the components in order, without
    // the empty and `.` ones (`a//./b/` is a, b).  They view the name given.
    std::vector<std::string_view> components;
};

EntryPath splitEntryPath(std::string_view path);

// Whether `path` lies in `folder` (or is it): `folder`'s components begin
// `path`'s, each equal byte for byte.
bool isInside(std::span<const std::string_view> path, std::span<const std::string_view> folder);

// Whether the entry is what macOS adds to an archive beside the files it
// was asked for: anything in a `__MACOSX` folder, at any depth, and the
// AppleDouble `._name` files that hold another file's metadata.
bool isMacLitter(std::span<const std::string_view> components);

// The components joined by single slashes.
std::string joinPath(std::span<const std::string_view> components);

#endif
