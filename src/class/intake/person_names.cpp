#include "class/intake/person_names.h"

#include <cstdlib>
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
