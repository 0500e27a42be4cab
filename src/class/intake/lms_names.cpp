#include "class/intake/lms_names.h"

#include "class/model/ascii_case.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace {

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

// `anon_<id>_<attachment id>_<file name>`, after an optional LATE_.  An
// anonymous download marks a late entry before "anon": `anon_LATE_...` is
// a student whose folded name is "anon", never an anonymous id "LATE".
bool readAnonymous(const std::vector<std::string_view>& tokens, CanvasName& read)
{
    std::size_t at = isLate(tokens[0]) ? 1 : 0;
    if (tokens.size() < at + 4 || tokens[at] != "anon" || !isAnonymousId(tokens[at + 1]) ||
        isLate(tokens[at + 1]) || !allDigits(tokens[at + 2]))
        return false;
    read = CanvasName{"anon", std::string(tokens[at + 1]), std::string(tokens[at + 2]),
                      joined(tokens, at + 3, tokens.size()), at == 1, true};
    return !read.fileName.empty();
}

// Every way the name splits into a name, the ids and a file name, the name
// shortest first, as a student's who is named.
std::vector<CanvasName> namedReadingsOf(const std::vector<std::string_view>& tokens)
{
    std::vector<CanvasName> readings;
    for (std::size_t at = 1; at + 1 < tokens.size(); ++at) {
        if (tokens[at - 1].empty())
            break;
        bool late = isLate(tokens[at]);
        std::size_t user = late ? at + 1 : at;
        // Canvas lowercases a name: "LATE" is never part of one.
        if (user + 1 >= tokens.size() || !allDigits(tokens[user]) || tokens[at - 1] == "LATE")
            continue;
        std::string name = joined(tokens, 0, at);
        std::string rest = joined(tokens, user + 1, tokens.size());
        if (rest == "text.html" || rest == "link.html")
            readings.push_back(CanvasName{name, std::string(tokens[user]), {}, rest, late});
        else if (user + 2 < tokens.size() && allDigits(tokens[user + 1])) {
            CanvasName file{name, std::string(tokens[user]), std::string(tokens[user + 1]),
                            joined(tokens, user + 2, tokens.size()), late};
            if (!file.fileName.empty())
                readings.push_back(std::move(file));
        }
    }
    return readings;
}

// Whether a download is one for grading anonymously is told by all of it
// (see readCanvasDownload); an entry read alone is taken as anonymous
// where it reads so.
enum class DownloadForm { unknown, named };

// Every way the entry splits, as the download's form allows.  An anonymous
// entry reads one way only; in a download of named students, an entry
// named "anon" is a student's of that name, unless its id could be no
// user id.
std::vector<CanvasName> readingsOf(std::string_view entry, DownloadForm form = DownloadForm::unknown)
{
    std::vector<std::string_view> tokens = tokensOf(entry);
    CanvasName anonymous;
    bool readsAnonymous = tokens.size() >= 4 && readAnonymous(tokens, anonymous);
    std::vector<CanvasName> named;
    if (!readsAnonymous || form == DownloadForm::named)
        named = namedReadingsOf(tokens);
    if (readsAnonymous && named.empty())
        named.push_back(std::move(anonymous));
    return named;
}

// Whether the entry reads as anonymous alone but as a named student's in
// a download of named students.
bool namedOtherwise(std::string_view entry)
{
    std::vector<std::string_view> tokens = tokensOf(entry);
    CanvasName anonymous;
    return tokens.size() >= 4 && readAnonymous(tokens, anonymous) && !namedReadingsOf(tokens).empty();
}

}  // namespace

bool readCanvasName(std::string_view entry, CanvasName& read)
{
    std::vector<CanvasName> readings = readingsOf(entry);
    if (readings.empty())
        return false;
    read = std::move(readings.front());
    return true;
}

bool readCanvasNameAs(std::string_view entry, std::string_view name, std::string_view userId, CanvasName& read)
{
    std::vector<CanvasName> readings = readingsOf(entry);
    if (namedOtherwise(entry))
        readings = readingsOf(entry, DownloadForm::named);
    for (CanvasName& reading : readings)
        if (reading.name == name && reading.userId == userId) {
            read = std::move(reading);
            return true;
        }
    return false;
}

namespace {

using Person = std::pair<std::string, std::string>;  // name, user id

// The length most of `lengths` have, or 0 where none is known.
std::size_t usualLength(const std::map<std::size_t, std::size_t>& lengths)
{
    std::size_t usual = 0;
    std::size_t most = 0;
    for (auto [length, count] : lengths)
        if (count > most) {
            usual = length;
            most = count;
        }
    return usual;
}

// What the rest of the download says of the ways the entries that split
// more than one way could be read; only what those ways ask is kept, since
// a download may hold hundreds of thousands of entries.
struct Evidence {
    std::set<Person> known;             // read from entries that split one way only
    std::set<std::string> attachments;  // held by such entries
    // The names such entries give the user ids asked about: every file of
    // a user id shares its name.
    std::map<std::string, std::set<std::string>> namesOfUser;
    std::map<Person, std::size_t> entriesOf;  // how many entries could be each person's
    std::map<std::pair<Person, std::string>, std::size_t> sameAttachment;
    std::size_t userLength = 0;
    std::size_t attachmentLength = 0;
};

using Unsettled = std::map<std::size_t, std::vector<CanvasName>>;  // by entry

Evidence evidenceOf(const std::vector<std::string_view>& entries, const Unsettled& unsettled, DownloadForm form)
{
    Evidence evidence;
    std::set<std::string> asked;
    for (const auto& [entry, ways] : unsettled) {
        std::set<Person> people;
        for (const CanvasName& way : ways) {
            people.emplace(way.name, way.userId);
            evidence.namesOfUser.try_emplace(way.userId);
            if (!way.attachmentId.empty()) {
                ++evidence.sameAttachment[{Person{way.name, way.userId}, way.attachmentId}];
                asked.insert(way.attachmentId);
            }
        }
        for (const Person& person : people)
            ++evidence.entriesOf[person];
    }
    std::map<std::size_t, std::size_t> userLengths;
    std::map<std::size_t, std::size_t> attachmentLengths;
    // The entries that split one way only are read again rather than kept.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::vector<CanvasName> ways =
            unsettled.contains(i) ? std::vector<CanvasName>() : readingsOf(entries[i], form);
        const CanvasName* read = ways.size() == 1 ? &ways.front() : nullptr;
        if (read == nullptr || read->anonymous)
            continue;
        Person person{read->name, read->userId};
        ++userLengths[read->userId.size()];
        if (auto found = evidence.entriesOf.find(person); found != evidence.entriesOf.end()) {
            ++found->second;
            evidence.known.insert(person);
        }
        if (auto names = evidence.namesOfUser.find(read->userId); names != evidence.namesOfUser.end())
            names->second.insert(read->name);
        if (read->attachmentId.empty())
            continue;
        ++attachmentLengths[read->attachmentId.size()];
        if (asked.contains(read->attachmentId))
            evidence.attachments.insert(read->attachmentId);
    }
    evidence.userLength = usualLength(userLengths);
    evidence.attachmentLength = usualLength(attachmentLengths);
    return evidence;
}

// How well a way of reading an entry agrees with the rest of the download;
// the ways are compared in this order.
std::tuple<bool, bool, bool, std::size_t, int> agreement(const Evidence& evidence, const CanvasName& way)
{
    Person person{way.name, way.userId};
    // A user id whose files the download names otherwise is not this
    // entry's: a name that holds another's id takes none of their place.
    const std::set<std::string>& names = evidence.namesOfUser.at(way.userId);
    bool userFree = names.empty() || (names.size() == 1 && names.contains(way.name));
    // An attachment id is one entry's: one that another entry could hold
    // in the same place, or that an entry splitting one way only holds, is
    // no id.
    bool attachmentFree =
        way.attachmentId.empty() || (!evidence.attachments.contains(way.attachmentId) &&
                                     evidence.sameAttachment.at({person, way.attachmentId}) == 1);
    int usual = (way.userId.size() == evidence.userLength ? 1 : 0) +
                (!way.attachmentId.empty() && way.attachmentId.size() == evidence.attachmentLength ? 1 : 0);
    return {userFree, attachmentFree, evidence.known.contains(person), evidence.entriesOf.at(person), usual};
}

// The way the rest of the download agrees with best.  Where it leaves two,
// the longer name is taken, and the other kept as a doubt: the name then
// holds the other's ids, so no one's chosen name can make a file another
// student's.
CanvasName bestWay(const Evidence& evidence, std::vector<CanvasName>& ways)
{
    std::size_t best = 0;
    for (std::size_t way = 1; way < ways.size(); ++way)  // shortest name first
        if (agreement(evidence, ways[way]) >= agreement(evidence, ways[best]))
            best = way;
    auto tied = std::find_if(ways.begin(), ways.begin() + static_cast<std::ptrdiff_t>(best),
                             [&](const CanvasName& way) { return agreement(evidence, way) == agreement(evidence, ways[best]); });
    // Ways that differ only in where the name ends and a lowercase late mark
    // starts are one student's: the mark is taken as one.
    if (tied != ways.begin() + static_cast<std::ptrdiff_t>(best) && tied->userId == ways[best].userId)
        return std::move(*tied);
    CanvasName read = std::move(ways[best]);
    if (tied != ways.begin() + static_cast<std::ptrdiff_t>(best)) {
        read.otherName = tied->name;
        read.otherUserId = tied->userId;
    }
    return read;
}

// Whether an entry shows a download of named students.  A text handed in
// for grading anonymously may read as a student named "anon", or as one
// whose name starts with the late mark, which no folded name does.
bool isNamedStudents(const CanvasName& read)
{
    return !read.anonymous && (read.name != "anon" || read.late) && !read.name.starts_with("LATE_");
}

}  // namespace

std::map<std::size_t, CanvasName> readCanvasDownload(const std::vector<std::string_view>& entries)
{
    Unsettled unsettled;
    std::map<std::size_t, CanvasName> read;
    // A download for grading anonymously names no student: one entry of a
    // named student's makes every "anon_" a student's name.
    bool named = false;
    std::vector<std::size_t> anonymousAlone;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::vector<CanvasName> ways = readingsOf(entries[i]);
        named = named || (!ways.empty() && isNamedStudents(ways.front()));
        if (ways.size() > 1)
            unsettled.emplace(i, std::move(ways));
        else if (!ways.empty() && ways.front().anonymous && namedOtherwise(entries[i]))
            anonymousAlone.push_back(i);
    }
    DownloadForm form = named ? DownloadForm::named : DownloadForm::unknown;
    for (std::size_t i : named ? anonymousAlone : std::vector<std::size_t>()) {
        std::vector<CanvasName> ways = readingsOf(entries[i], form);
        if (ways.size() > 1)
            unsettled.emplace(i, std::move(ways));
        else
            read.emplace(i, std::move(ways.front()));
    }
    if (unsettled.empty())
        return read;
    Evidence evidence = evidenceOf(entries, unsettled, form);
    for (auto& [entry, ways] : unsettled)
        read.emplace(entry, bestWay(evidence, ways));
    return read;
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
