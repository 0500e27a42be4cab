#include "class/intake/roster.h"

#include "grading/line_walk.h"
#include "io/descriptor.h"
#include "io/whole_file.h"
#include "class/intake/person_names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>

bool readRoster(const std::string& path, std::vector<std::string>& names, std::string& error)
{
    // Opened without blocking, and read only if it is a file: a FIFO named
    // as the roster would hold the run for ever.
    Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    std::string text;
    if (file.fd < 0 || fstat(file.fd, &info) != 0) {
        error = "could not read the roster " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "the roster " + path + " is not a regular file";
        return false;
    }
    if (!readWholeFile(file.fd, text)) {
        error = "could not read the roster " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string_view rest = text;
    // A roster saved as "CSV UTF-8" starts with a byte-order mark.
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    while (!rest.empty()) {
        std::string_view name = trimmedName(nextLine(rest));
        if (!name.empty())
            names.emplace_back(name);
    }
    return true;
}

namespace {

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A name as Canvas folds it: lowercase letters, digits and "_", with
// letters outside ASCII kept; blanks and punctuation dropped.
std::string folded(std::string_view name)
{
    std::string fold;
    for (char c : nameKey(name)) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 'A' && byte <= 'Z')
            fold += static_cast<char>(byte - 'A' + 'a');
        else if (byte >= 0x80 || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || byte == '_')
            fold += c;
    }
    return fold;
}

// The forms a roster's line may name a site's student in, folded: as it
// is, "Last, First" turned to "First Last", and "First Last" turned to
// Canvas's "lastfirst" at each blank (a first or last name may hold one).
std::vector<std::string> nameForms(std::string_view line)
{
    line = trimmedName(line);
    std::vector<std::string> forms{folded(line)};
    if (std::size_t comma = line.find(','); comma != std::string_view::npos) {
        forms.push_back(folded(std::string(line.substr(comma + 1)) + std::string(line.substr(0, comma))));
        return forms;
    }
    for (std::size_t blank = line.find(' '); blank != std::string_view::npos; blank = line.find(' ', blank + 1))
        forms.push_back(folded(std::string(line.substr(blank + 1)) + std::string(line.substr(0, blank))));
    return forms;
}

// The students a roster's line names, by the first of these that names
// any: the site's id for them, exactly; their name as a person means it;
// for a site's student, any of the line's name forms; for a folder of
// one's own, an email's part before the "@", as a login.
struct RosterIndex {
    std::multimap<std::string, std::size_t> bySiteId;
    std::multimap<std::string, std::size_t> byName;
    std::multimap<std::string, std::size_t> byFolded;

    explicit RosterIndex(const std::vector<Student>& students)
    {
        for (std::size_t s = 0; s < students.size(); ++s) {
            byName.emplace(nameKey(students[s].name), s);
            if (!students[s].lmsId.empty() && !students[s].anonymous) {
                bySiteId.emplace(students[s].lmsId, s);
                byFolded.emplace(folded(students[s].name), s);
            }
        }
    }

    // Where the line's name is the name of look-alikes (see lookAlikes), it
    // names the one whose name it is byte for byte, else none of them, and
    // `lookAlike` holds them.
    std::vector<std::size_t> named(const std::vector<Student>& students, std::string_view line,
                                   std::vector<std::size_t>& lookAlike) const
    {
        std::vector<std::size_t> found;
        auto take = [&](const std::multimap<std::string, std::size_t>& index, const std::string& key) {
            for (auto [at, end] = index.equal_range(key); at != end; ++at)
                if (std::find(found.begin(), found.end(), at->second) == found.end())
                    found.push_back(at->second);
        };
        take(bySiteId, std::string(trimmedName(line)));
        if (found.empty())
            take(byName, nameKey(line));
        auto othersName = [&](std::size_t s) { return students[s].name != students[found.front()].name; };
        if (std::any_of(found.begin(), found.end(), othersName)) {
            lookAlike = found;
            std::erase_if(found, [&](std::size_t s) { return students[s].name != trimmedName(line); });
            return found;
        }
        if (found.empty())
            for (const std::string& form : nameForms(line))
                take(byFolded, form);
        if (std::size_t at = line.find('@'); found.empty() && at != std::string_view::npos && at > 0)
            take(byName, nameKey(line.substr(0, at)));
        return found;
    }
};

}  // namespace

namespace {

// Names as a sentence lists them, spelled out: "a", "a and b", "a, b and c".
std::string spelledList(const std::vector<std::string>& names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + spelledOut(names[i]);
    return list;
}

constexpr std::string_view oneNameBut = " are one name but for how Unicode writes its letters or blanks around it";

// The roster's lines that name look-alikes, and its own lines that are.
void warnOfLookAlikes(const std::vector<std::string>& roster,
                      const std::vector<std::pair<std::string, std::vector<std::string>>>& namingNone,
                      std::vector<std::string>& warnings)
{
    for (const auto& [line, names] : namingNone)
        warnings.push_back("the roster's " + spelledOut(line) + " is the name of " + spelledList(names) +
                           ", which" + std::string(oneNameBut) +
                           ", and none of them exactly: it names none of them");
    for (const std::vector<std::string>& lines : lookAlikes(roster))
        warnings.push_back("the roster's lines " + spelledList(lines) + std::string(oneNameBut) +
                           ": each names the student whose name it is exactly, else they name one student");
}

}  // namespace

std::vector<std::string> lookAlikeStudents(const std::vector<Student>& students)
{
    std::vector<std::string> names;
    for (const Student& student : students)
        names.push_back(student.name);
    std::vector<std::string> warnings;
    for (const std::vector<std::string>& alike : lookAlikes(std::move(names)))
        warnings.push_back("the students " + spelledList(alike) + std::string(oneNameBut) +
                           ": each is graded as a student of their own");
    return warnings;
}

std::vector<std::string> applyRoster(std::vector<Student>& students, std::vector<std::string> roster,
                                     std::vector<std::string>* warnings)
{
    if (warnings != nullptr)
        warnOfLookAlikes(roster, {}, *warnings);
    RosterIndex index(students);
    // Each enrolled student without a place of theirs, by the key their
    // name is matched by; the first line that names them is the name shown.
    std::map<std::string, std::string> absent;
    bool siteIds = false;  // lines of digits named students by the site's id
    for (std::string& line : roster) {
        std::vector<std::size_t> lookAlike;
        std::vector<std::size_t> found = index.named(students, line, lookAlike);
        for (std::size_t s : found)
            students[s].onRoster = true;
        siteIds = siteIds || (!found.empty() && isDigits(line) && students[found.front()].lmsId == line);
        if (found.empty() && !lookAlike.empty() && warnings != nullptr) {
            std::vector<std::string> names;
            for (std::size_t s : lookAlike)
                names.push_back(students[s].name);
            std::sort(names.begin(), names.end());
            warnOfLookAlikes({}, {{line, std::move(names)}}, *warnings);
        }
        if (found.empty() && lookAlike.empty())
            absent.try_emplace(nameKey(line), std::move(line));
    }
    std::vector<std::string> unlisted;
    for (const Student& student : students)
        if (!student.onRoster)
            unlisted.push_back(student.name);
    std::size_t folders = students.size();
    for (auto& [key, name] : absent) {
        Student student;
        // A roster of the site's ids gives an absent student's id, which
        // the site's gradebook finds them by.
        if (siteIds && isDigits(name))
            student.lmsId = name;
        student.name = std::move(name);
        student.onRoster = true;
        students.push_back(std::move(student));
    }
    std::sort(students.begin() + static_cast<std::ptrdiff_t>(folders), students.end(),
              [](const Student& a, const Student& b) { return a.name < b.name; });
    std::inplace_merge(students.begin(), students.begin() + static_cast<std::ptrdiff_t>(folders), students.end(),
                       [](const Student& a, const Student& b) { return a.name < b.name; });
    return unlisted;
}

void nameNamesakesApart(std::vector<Student>& students)
{
    std::vector<std::string> keys;
    std::map<std::string, std::size_t> count;
    for (const Student& student : students)
        ++count[keys.emplace_back(nameKey(student.name))];
    for (std::size_t s = 0; s < students.size(); ++s)
        if (Student& student = students[s]; count[keys[s]] > 1 && !student.lmsId.empty()) {
            student.name += " (" + student.lmsId + ")";
            student.namesake = true;
        }
}
