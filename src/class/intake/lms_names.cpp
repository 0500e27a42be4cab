#include "class/intake/lms_names.h"

#include <algorithm>
#include <vector>

namespace {

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isAnonymousId(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

bool isLate(std::string_view token)
{
    return token == "LATE" || token == "late";
}

std::vector<std::string_view> tokensOf(std::string_view text)
{
    std::vector<std::string_view> tokens;
    for (std::size_t at = 0;;) {
        std::size_t end = text.find('_', at);
        tokens.push_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        if (end == std::string_view::npos)
            return tokens;
        at = end + 1;
    }
}

std::string joined(const std::vector<std::string_view>& tokens, std::size_t from, std::size_t to)
{
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (i > from)
            text += '_';
        text += tokens[i];
    }
    return text;
}

// `anon_<id>_<attachment id>_<file name>`, after an optional LATE_.
bool readAnonymous(const std::vector<std::string_view>& tokens, CanvasName& read)
{
    std::size_t at = isLate(tokens[0]) ? 1 : 0;
    if (tokens.size() < at + 4 || tokens[at] != "anon" || !isAnonymousId(tokens[at + 1]) ||
        !allDigits(tokens[at + 2]))
        return false;
    read = CanvasName{"anon", std::string(tokens[at + 1]), std::string(tokens[at + 2]),
                      joined(tokens, at + 3, tokens.size()), at == 1};
    return !read.fileName.empty();
}

}  // namespace

bool readCanvasName(std::string_view entry, CanvasName& read)
{
    std::vector<std::string_view> tokens = tokensOf(entry);
    if (tokens.size() >= 4 && readAnonymous(tokens, read))
        return true;
    // The name is split off by the ids, never by the last "_": a file name
    // keeps its own.  The first place the ids fit is taken.
    for (std::size_t at = 1; at + 1 < tokens.size(); ++at) {
        if (tokens[at - 1].empty())
            return false;
        bool late = isLate(tokens[at]);
        std::size_t user = late ? at + 1 : at;
        if (user + 1 >= tokens.size() || !allDigits(tokens[user]))
            continue;
        std::string name = joined(tokens, 0, at);
        std::string rest = joined(tokens, user + 1, tokens.size());
        if (rest == "text.html" || rest == "link.html") {
            read = CanvasName{name, std::string(tokens[user]), {}, rest, late};
            return true;
        }
        if (user + 2 < tokens.size() && allDigits(tokens[user + 1])) {
            read = CanvasName{name, std::string(tokens[user]), std::string(tokens[user + 1]),
                              joined(tokens, user + 2, tokens.size()), late};
            return !read.fileName.empty();
        }
    }
    return false;
}

namespace {

constexpr std::string_view moodleMark = "_assignsubmission_";

// `<Full Name>_<participant id>_assignsubmission_<rest>`: the name and id,
// and what follows the mark.
bool readMoodle(std::string_view entry, MoodleName& read, std::string_view& rest)
{
    std::size_t mark = entry.find(moodleMark);
    if (mark == std::string_view::npos)
        return false;
    std::string_view before = entry.substr(0, mark);
    std::size_t idStart = before.rfind('_');
    if (idStart == std::string_view::npos || idStart == 0 || !allDigits(before.substr(idStart + 1)))
        return false;
    read.fullName = std::string(before.substr(0, idStart));
    read.participantId = std::string(before.substr(idStart + 1));
    rest = entry.substr(mark + moodleMark.size());
    return true;
}

}  // namespace

bool readMoodleFolder(std::string_view entry, MoodleName& read)
{
    std::string_view rest;
    if (!readMoodle(entry, read, rest))
        return false;
    if (!rest.empty() && rest.back() == '_')
        rest.remove_suffix(1);
    if (rest.empty() || rest.find('_') != std::string_view::npos)
        return false;
    read.plugin = std::string(rest);
    read.fileName.clear();
    return true;
}

bool readMoodleFile(std::string_view entry, MoodleName& read)
{
    std::string_view rest;
    if (!readMoodle(entry, read, rest))
        return false;
    std::size_t end = rest.find('_');
    if (end == std::string_view::npos || end == 0 || end + 1 == rest.size())
        return false;
    read.plugin = std::string(rest.substr(0, end));
    read.fileName = std::string(rest.substr(end + 1));
    return true;
}
