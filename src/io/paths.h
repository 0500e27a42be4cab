// Paths as the kernel resolves them, compared by whole components, so that
// /tmp/out-evil is never taken to lie inside /tmp/out.
#ifndef LABELGRADE_PATHS_H
#define LABELGRADE_PATHS_H

#include <string>
#include <string_view>
#include <vector>

// The folder a path names a file in: "." for a bare name.
std::string folderOf(const std::string& path);

// The absolute path that `path` leads to: its links resolved as far as it
// exists, the rest (what a run is yet to make) taken as written, "." and
// ".." folded.  Empty where not even the working folder can be found.
std::string resolvedPath(const std::string& path);

// The components of a path, viewing it: "/a//b/" is a, b.
std::vector<std::string_view> componentsOf(std::string_view path);

// Where `inner` lies inside `outer` (both resolved), the first component
// below `outer` that leads to it; empty where it does not lie inside, or is
// `outer` itself.
std::string firstComponentWithin(const std::string& outer, const std::string& inner);

// Whether `inner` (resolved) is `outer` or lies inside it.
bool liesWithin(const std::string& outer, const std::string& inner);

#endif
