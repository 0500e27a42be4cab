#include "paths.h"

#include "archive_path.h"

#include <cstdlib>
#include <memory>

namespace {

bool realPath(const std::string& path, std::string& real)
{
    std::unique_ptr<char, decltype(&std::free)> found(realpath(path.c_str(), nullptr), &std::free);
    if (!found)
        return false;
    real = found.get();
    return true;
}

std::string joined(const std::vector<std::string>& components)
{
    std::string path;
    for (const std::string& component : components)
        path += "/" + component;
    return path.empty() ? "/" : path;
}

}  // namespace

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::vector<std::string_view> componentsOf(std::string_view path)
{
    std::vector<std::string_view> components;
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > at)
            components.emplace_back(path.substr(at, end - at));
        at = end + 1;
    }
    return components;
}

std::string resolvedPath(const std::string& path)
{
    // The longest part of the path that exists is resolved by the kernel;
    // what follows it is folded as written.
    std::string existing = path.empty() ? std::string(".") : path;
    std::vector<std::string> rest;
    std::string real;
    while (!realPath(existing, real)) {
        std::size_t slash = existing.find_last_of('/');
        if (slash == std::string::npos) {
            // A bare name: what exists is the working folder, or nothing.
            if (existing == ".")
                return {};
            rest.insert(rest.begin(), std::move(existing));
            existing = std::string(".");
            continue;
        }
        rest.insert(rest.begin(), existing.substr(slash + 1));
        existing = slash == 0 ? std::string("/") : existing.substr(0, slash);
    }
    std::vector<std::string> components;
    for (std::string_view component : componentsOf(real))
        components.emplace_back(component);
    for (const std::string& component : rest) {
        if (component == ".." && !components.empty())
            components.pop_back();
        else if (!component.empty() && component != "." && component != "..")
            components.push_back(component);
    }
    return joined(components);
}

std::string firstComponentWithin(const std::string& outer, const std::string& inner)
{
    std::vector<std::string_view> outside = componentsOf(outer);
    std::vector<std::string_view> inside = componentsOf(inner);
    if (inside.size() <= outside.size() || !isInside(inside, outside))
        return {};
    return std::string(inside[outside.size()]);
}

bool liesWithin(const std::string& outer, const std::string& inner)
{
    return isInside(componentsOf(inner), componentsOf(outer));
}
