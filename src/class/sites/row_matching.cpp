#include "class/sites/row_matching.h"

#include "class/intake/person_names.h"

#include <algorithm>
#include <functional>
#include <map>

namespace {

bool isWordByte(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// What a login, an email or a name is compared by: composed, trimmed,
// lowercased, each run of blanks one blank.
std::string keyOf(std::string_view text)
{
    std::string key;
    for (char c : nameKey(text)) {
        if (c == ' ' || c == '\t') {
            if (!key.empty() && key.back() != ' ')
                key += ' ';
            continue;
        }
        key += lowered(c);
    }
    return key;
}

std::string folded(std::string_view name)
{
    std::string fold;
    for (const std::string& word : nameWords(name))
        fold += word;
    return fold;
}

// An id as a number's digits, without the zeros before it.
std::string idDigits(std::string_view id)
{
    std::size_t first = id.find_first_not_of('0');
    return first == std::string_view::npos ? std::string(id.empty() ? "" : "0") : std::string(id.substr(first));
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

using RowTest = std::function<bool(const ExportRow&)>;

std::vector<std::size_t> rowsWhere(const std::vector<ExportRow>& rows, const RowTest& test)
{
    std::vector<std::size_t> found;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (test(rows[r]))
            found.push_back(r);
    return found;
}

struct StudentMatch {
    std::vector<std::size_t> rows;
    bool team = false;             // the rows are a team's members'
    std::size_t refusedRow = SIZE_MAX;  // the row the id named, plainly another's
};

StudentMatch matchStudent(const Student& student, bool siteIds, const std::vector<ExportRow>& rows)
{
    StudentMatch match;
    if (siteIds && allDigits(student.lmsId)) {
        std::string id = idDigits(student.lmsId);
        std::vector<std::size_t> byId = rowsWhere(rows, [&](const ExportRow& row) { return row.id == id; });
        std::erase_if(byId, [&](std::size_t r) {
            bool agrees = rows[r].names.empty() || std::any_of(rows[r].names.begin(), rows[r].names.end(),
                                                                [&](const std::string& name) {
                                                                    return namesAgree(name, student.name);
                                                                });
            if (!agrees)
                match.refusedRow = r;
            return !agrees;
        });
        if (!byId.empty()) {
            match.rows = byId;
            return match;
        }
    }
    std::string key = keyOf(student.name);
    std::string fold = folded(student.name);
    if (key.empty())
        return match;
    const std::vector<RowTest> ways{
        [&](const ExportRow& row) { return keyOf(row.login) == key; },
        [&](const ExportRow& row) { return keyOf(row.email) == key; },
        [&](const ExportRow& row) {
            std::string email = keyOf(row.email);
            return key.find('@') == std::string::npos && email.substr(0, email.find('@')) == key;
        },
        [&](const ExportRow& row) {
            return std::any_of(row.names.begin(), row.names.end(),
                               [&](const std::string& name) { return keyOf(name) == key; });
        },
        [&](const ExportRow& row) { return !fold.empty() && !row.names.empty() && folded(row.names.front()) == fold; },
    };
    for (const RowTest& way : ways) {
        match.rows = rowsWhere(rows, way);
        if (!match.rows.empty())
            return match;
    }
    match.rows = rowsWhere(rows, [&](const ExportRow& row) { return !row.group.empty() && keyOf(row.group) == key; });
    match.team = true;
    return match;
}

}  // namespace

std::vector<std::string> nameWords(std::string_view name)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : name) {
        if (isWordByte(static_cast<unsigned char>(c))) {
            word += lowered(c);
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

bool namesAgree(std::string_view one, std::string_view other)
{
    std::vector<std::string> a = nameWords(one);
    std::vector<std::string> b = nameWords(other);
    if (a.empty() || b.empty())
        return true;
    if (folded(one) == folded(other))
        return true;
    return std::any_of(a.begin(), a.end(), [&](const std::string& word) {
        return std::find(b.begin(), b.end(), word) != b.end();
    });
}

RowMatches matchRows(const std::vector<Student>& students, bool siteIds, const std::vector<ExportRow>& rows)
{
    RowMatches matches;
    matches.rowsOf.resize(students.size());
    std::map<std::size_t, std::vector<std::size_t>> claims;  // row -> students
    for (std::size_t s = 0; s < students.size(); ++s) {
        if (!students[s].hasFolder)
            continue;
        StudentMatch match = matchStudent(students[s], siteIds, rows);
        if (match.rows.empty()) {
            if (match.refusedRow != SIZE_MAX)
                matches.refusedId.emplace_back(s, match.refusedRow);
            else
                matches.unmatched.push_back(s);
            continue;
        }
        if (match.rows.size() > 1 && !match.team) {
            matches.manyRows.emplace_back(s, match.rows);
            continue;
        }
        for (std::size_t r : match.rows)
            claims[r].push_back(s);
        matches.rowsOf[s] = std::move(match.rows);
    }
    for (const auto& [row, claimants] : claims) {
        if (claimants.size() < 2)
            continue;
        matches.sharedRow.emplace_back(row, claimants);
        for (std::size_t s : claimants)
            matches.rowsOf[s].clear();
    }
    std::vector<bool> graded(rows.size(), false);
    for (const std::vector<std::size_t>& placed : matches.rowsOf)
        for (std::size_t r : placed)
            graded[r] = true;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!graded[r])
            matches.ungraded.push_back(r);
    return matches;
}
