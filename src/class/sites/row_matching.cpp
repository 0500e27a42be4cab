#include "class/sites/row_matching.h"

#include "class/model/ascii_case.h"
#include "class/intake/person_names.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace {

bool isWordByte(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
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
        key += lowerAscii(c);
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

// The rows by each key a student is matched by, made once: a class and its
// export may each hold thousands.
using RowIndex = std::unordered_map<std::string, std::vector<std::size_t>>;

struct RowKeys {
    RowIndex ids;
    // By login, email, email's local part, name, folded name: the ways a
    // student is matched after the id, in order.
    std::vector<RowIndex> ways;
    RowIndex groups;
};

void indexed(RowIndex& index, const std::string& key, std::size_t row)
{
    if (key.empty())
        return;
    std::vector<std::size_t>& rows = index[key];
    if (rows.empty() || rows.back() != row)
        rows.push_back(row);
}

RowKeys keysOf(const std::vector<ExportRow>& rows)
{
    RowKeys keys;
    keys.ways.resize(5);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ExportRow& row = rows[r];
        indexed(keys.ids, row.id, r);
        indexed(keys.ways[0], keyOf(row.login), r);
        std::string email = keyOf(row.email);
        indexed(keys.ways[1], email, r);
        if (std::size_t at = email.find('@'); at != std::string::npos)
            indexed(keys.ways[2], email.substr(0, at), r);
        for (const std::string& name : row.names)
            indexed(keys.ways[3], keyOf(name), r);
        if (!row.names.empty())
            indexed(keys.ways[4], folded(row.names.front()), r);
        indexed(keys.groups, keyOf(row.group), r);
    }
    return keys;
}

std::vector<std::size_t> rowsBy(const RowIndex& index, const std::string& key)
{
    auto found = index.find(key);
    return found == index.end() ? std::vector<std::size_t>() : found->second;
}

struct StudentMatch {
    std::vector<std::size_t> rows;
    bool team = false;                  // the rows are a team's members'
    std::size_t refusedRow = SIZE_MAX;  // the row the id named, plainly another's
};

// The id's rows whose names could be the student's.
std::vector<std::size_t> rowsById(const Student& student, const std::vector<ExportRow>& rows, const RowKeys& keys,
                                  StudentMatch& match)
{
    std::vector<std::size_t> byId = rowsBy(keys.ids, idDigits(student.lmsId));
    std::erase_if(byId, [&](std::size_t r) {
        const std::vector<std::string>& names = rows[r].names;
        bool agrees = names.empty() || std::any_of(names.begin(), names.end(), [&](const std::string& name) {
                          return namesAgree(name, student.name);
                      });
        if (!agrees)
            match.refusedRow = r;
        return !agrees;
    });
    return byId;
}

StudentMatch matchStudent(const Student& student, bool siteIds, const std::vector<ExportRow>& rows,
                          const RowKeys& keys)
{
    StudentMatch match;
    if (siteIds && allDigits(student.lmsId)) {
        match.rows = rowsById(student, rows, keys, match);
        if (!match.rows.empty())
            return match;
    }
    std::string key = keyOf(student.name);
    if (key.empty())
        return match;
    std::string fold = folded(student.name);
    const std::string* wayKeys[] = {&key, &key, &key, &key, &fold};
    for (std::size_t way = 0; way < keys.ways.size(); ++way) {
        // An email's local part is matched only by a name that is no email.
        if (way == 2 && key.find('@') != std::string::npos)
            continue;
        match.rows = rowsBy(keys.ways[way], *wayKeys[way]);
        if (!match.rows.empty())
            return match;
    }
    match.rows = rowsBy(keys.groups, key);
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
            word += lowerAscii(c);
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
    RowKeys keys = keysOf(rows);
    for (std::size_t s = 0; s < students.size(); ++s) {
        if (!students[s].hasFolder)
            continue;
        StudentMatch match = matchStudent(students[s], siteIds, rows, keys);
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
