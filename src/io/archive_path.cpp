#include "archive_path.h"

#include <algorithm>

namespace {

constexpr std::string_view macFolder = "__MACOSX";
constexpr std::string_view appleDoublePrefix = "._";

}  // namespace

EntryPath splitEntryPath(std::string_view path)
{
    EntryPath split;
    if (path.find('\0') != std::string_view::npos) {
        split.problem = PathProblem::zeroByte;
        return split;
    }
    if (path.starts_with('/')) {
        split.problem = PathProblem::absolute;
        return split;
    }
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        std::string_view component = path.substr(0, slash);
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
        if (component == "..") {
            split.components.clear();
            split.problem = PathProblem::parent;
            return split;
        }
        if (!component.empty() && component != ".")
            split.components.push_back(component);
    }
    if (split.components.empty())
        split.problem = PathProblem::empty;
    return split;
}

bool isInside(std::span<const std::string_view> path, std::span<const std::string_view> folder)
{
    return folder.size() <= path.size() && std::equal(folder.begin(), folder.end(), path.begin());
}

bool isMacLitter(std::span<const std::string_view> components)
{
    if (components.empty())
        return false;
    return std::find(components.begin(), components.end(), macFolder) != components.end() ||
           components.back().starts_with(appleDoublePrefix);
}

std::string joinPath(std::span<const std::string_view> components)
{
    std::string path;
    for (std::string_view component : components) {
        if (!path.empty())
            path += '/';
        path += component;
    }
    return path;
}
