#include "class/intake/person_names.h"

#include "io/visible_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <uninorm.h>

std::string_view trimmedName(std::string_view name)
{
    constexpr std::string_view blanks = " \t\r";
    std::size_t first = name.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return name.substr(first, name.find_last_not_of(blanks) - first + 1);
}

std::string nameKey(std::string_view name)
{
    std::string_view trimmed = trimmedName(name);
    std::size_t size = 0;
    std::unique_ptr<std::uint8_t, decltype(&std::free)> composed(
        u8_normalize(UNINORM_NFC, reinterpret_cast<const std::uint8_t*>(trimmed.data()), trimmed.size(), nullptr,
                     &size),
        &std::free);
    if (!composed)
        return std::string(trimmed);
    return std::string(reinterpret_cast<const char*>(composed.get()), size);
}

std::string spelledOut(std::string_view name)
{
    std::string spelled = "\"";
    while (!name.empty()) {
        std::uint32_t codePoint = static_cast<unsigned char>(name.front());
        std::size_t length = codePoint < 0x80 ? 1 : decodeUtf8(name, codePoint);
        char escape[16];
        if (length == 0)
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(name.front()));
        else if (codePoint == '"' || codePoint == '\\')
            std::snprintf(escape, sizeof escape, "\\%c", static_cast<char>(codePoint));
        else if (codePoint >= 0x20 && codePoint < 0x7F)
            std::snprintf(escape, sizeof escape, "%c", static_cast<char>(codePoint));
        else
            std::snprintf(escape, sizeof escape, "\\u{%X}", static_cast<unsigned>(codePoint));
        spelled += escape;
        name.remove_prefix(length == 0 ? 1 : length);
    }
    return spelled + "\"";
}

std::vector<std::vector<std::string>> lookAlikes(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::map<std::string, std::vector<std::string>> byKey;
    for (std::string& name : names)
        byKey[nameKey(name)].push_back(std::move(name));
    std::vector<std::vector<std::string>> alike;
    for (auto& [key, same] : byKey)
        if (same.size() > 1)
            alike.push_back(std::move(same));
    std::sort(alike.begin(), alike.end());
    return alike;
}
