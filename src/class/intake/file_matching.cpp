#include "class/intake/file_matching.h"

#include "class/model/ascii_case.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace {

// The test's name split at its extension: "t1" and ".sym".
struct Parts {
    std::string_view stem;
    std::string_view extension;
};

Parts partsOf(std::string_view name)
{
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return Parts{name, {}};
    return Parts{name.substr(0, dot), name.substr(dot)};
}

// The number between `before` and `after` in `name`, where `name` is the
// test's stem, `before`, digits, `after` and the test's extension (in any
// letter case): t1-2.sym gives 2 with "-" and "".
bool numberBetween(std::string_view name, const Parts& test, std::string_view before, std::string_view after,
                   std::uint64_t& number)
{
    std::string_view start = test.stem;
    std::size_t head = start.size() + before.size();
    std::size_t tail = after.size() + test.extension.size();
    if (name.size() <= head + tail || !startsIgnoringCase(name, start) ||
        name.substr(start.size(), before.size()) != before || !endsIgnoringCase(name, test.extension) ||
        name.substr(name.size() - tail, after.size()) != after)
        return false;
    std::string_view digits = name.substr(head, name.size() - head - tail);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size();
}

// Whether `name` is the test's file by `rule`; `number` is the number a
// numbered rule found in it.
bool matchesRule(MatchRule rule, std::string_view name, std::string_view test, const Parts& parts,
                 std::uint64_t& number)
{
    switch (rule) {
    case MatchRule::name:
        return name == test;
    case MatchRule::letterCase:
        return equalIgnoringCase(name, test);
    case MatchRule::reupload:
        return numberBetween(name, parts, "-", "", number);
    case MatchRule::copyNumber:
        return numberBetween(name, parts, " (", ")", number);
    case MatchRule::addedTxt:
        return name.size() == test.size() + 4 && startsIgnoringCase(name, test) && endsIgnoringCase(name, ".txt");
    }
    return false;
}

// The files one rule finds among those of one place (the student's own, or
// inside uploads), by index; for the numbered rules, those of the highest
// number only.
std::vector<std::size_t> foundBy(MatchRule rule, std::string_view test, const std::vector<HandedIn>& files,
                                 bool inUpload)
{
    Parts parts = partsOf(test);
    bool numbered = rule == MatchRule::reupload || rule == MatchRule::copyNumber;
    std::vector<std::size_t> found;
    std::uint64_t highest = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::uint64_t number = 0;
        if (files[i].inUpload != inUpload || !matchesRule(rule, files[i].name, test, parts, number))
            continue;
        if (numbered && number < highest)
            continue;
        if (numbered && number > highest) {
            found.clear();
            highest = number;
        }
        found.push_back(i);
    }
    return found;
}

}  // namespace

Match matchTest(std::string_view testName, const std::vector<HandedIn>& files)
{
    constexpr MatchRule rules[] = {MatchRule::name, MatchRule::letterCase, MatchRule::reupload,
                                   MatchRule::copyNumber, MatchRule::addedTxt};
    Match match;
    for (bool inUpload : {false, true})
        for (MatchRule rule : rules) {
            match.found = foundBy(rule, testName, files, inUpload);
            if (!match.found.empty()) {
                match.rule = rule;
                match.inUpload = inUpload;
                return match;
            }
        }
    return match;
}
