// D2L Brightspace: an assignment's "Download" gives a folder for each
// submission, `<n1>-<n2> - <First Last> - <Mon D, YYYY hmm AM|PM>`, beside
// an index.html that lists them; before that layout, every file lay flat,
// named so and then ` - <file name>`.  The download names a student by their
// display name alone, so its grades go back only into the grades export,
// whose rows are matched by "First Last"; its feedback goes back in the
// download's own folders.
#include "class/sites/site.h"

#include "class/intake/person_names.h"
#include "class/model/ascii_case.h"
#include "class/outputs/feedback.h"
#include "io/visible_text.h"

#include <algorithm>
#include <array>
#include <compare>
#include <unordered_map>

namespace {

// Brightspace splits the parts of a name with this alone: a name's own
// hyphens ("Mary-Ann") have no blanks around them.
constexpr std::string_view dash = " - ";
constexpr std::string_view pointsGrade = " Points Grade";
constexpr std::string_view endOfLine = "End-of-Line Indicator";
constexpr std::string_view maxPointsWord = "MaxPoints:";

// When a submission was made, to the minute, as the name tells it.
struct Stamp {
    int year = 0;
    int month = 0;
    int day = 0;
    int minute = 0;  // of the day
    auto operator<=>(const Stamp&) const = default;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits from `at`, as many as there are; false where there are fewer than
// `least` or more than `most`.
bool readNumber(std::string_view text, std::size_t& at, std::size_t least, std::size_t most, int& value)
{
    std::size_t start = at;
    value = 0;
    while (at < text.size() && isDigit(text[at]) && at - start < most + 1) {
        value = value * 10 + (text[at] - '0');
        ++at;
    }
    return at - start >= least && at - start <= most;
}

int monthOf(std::string_view word)
{
    constexpr std::array<std::string_view, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                      "jul", "aug", "sep", "oct", "nov", "dec"};
    auto letter = [](char c) { return lowerAscii(c) >= 'a' && lowerAscii(c) <= 'z'; };
    if (word.size() < 3 || !std::all_of(word.begin(), word.end(), letter))
        return 0;
    for (std::size_t m = 0; m < months.size(); ++m)
        if (startsIgnoringCase(word, months[m]))
            return static_cast<int>(m) + 1;
    return 0;
}

// "Dec 1, 2026 100 AM": twelve-hour, no colon, no zone.
bool readStamp(std::string_view text, Stamp& stamp)
{
    std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos || (stamp.month = monthOf(text.substr(0, blank))) == 0)
        return false;
    std::size_t at = blank + 1;
    int time = 0;
    if (!readNumber(text, at, 1, 2, stamp.day) || text.substr(at, 2) != ", ")
        return false;
    at += 2;
    if (!readNumber(text, at, 4, 4, stamp.year) || text.substr(at, 1) != " ")
        return false;
    ++at;
    if (!readNumber(text, at, 3, 4, time) || (text.substr(at) != " AM" && text.substr(at) != " PM"))
        return false;
    int hour = time / 100;
    int minute = time % 100;
    if (stamp.day < 1 || stamp.day > 31 || hour < 1 || hour > 12 || minute > 59)
        return false;
    stamp.minute = (hour % 12 + (text.substr(at) == " PM" ? 12 : 0)) * 60 + minute;
    return true;
}

// "40001-96739": two numbers, neither of them a student's.
bool areIds(std::string_view text)
{
    std::size_t hyphen = text.find('-');
    return hyphen != std::string_view::npos && hyphen > 0 && allDigits(text.substr(0, hyphen)) &&
           hyphen + 1 < text.size() && allDigits(text.substr(hyphen + 1));
}

std::vector<std::string_view> chunksOf(std::string_view name)
{
    std::vector<std::string_view> chunks;
    for (std::size_t at = name.find(dash); at != std::string_view::npos; at = name.find(dash)) {
        chunks.push_back(name.substr(0, at));
        name.remove_prefix(at + dash.size());
    }
    chunks.push_back(name);
    return chunks;
}

// One way to read an entry's name: a submission, whose name is its ids,
// the name between and its date.
struct Reading {
    std::string_view submission;  // "<ids> - <between> - <date>"
    std::string_view between;     // the display name, and a group's before it
    Stamp stamp;
    std::string_view fileName;    // for a file laid out flat
};

// A folder reads one way: its date is its last part.
bool readFolder(std::string_view name, Reading& reading)
{
    std::vector<std::string_view> chunks = chunksOf(name);
    if (chunks.size() < 3 || !areIds(chunks.front()) || !readStamp(chunks.back(), reading.stamp))
        return false;
    std::size_t begin = chunks.front().size() + dash.size();
    std::size_t end = name.size() - chunks.back().size() - dash.size();
    reading.submission = name;
    reading.between = name.substr(begin, end - begin);
    return !reading.between.empty();
}

// A flat file reads as many ways as there are dates after its ids with a
// name before them and a file name after: the name and the file name may
// each hold " - " and a date.  The first way has the shortest name.
std::vector<Reading> readFlat(std::string_view name)
{
    std::vector<Reading> readings;
    std::vector<std::string_view> chunks = chunksOf(name);
    if (chunks.size() < 4 || !areIds(chunks.front()))
        return readings;
    std::size_t begin = chunks.front().size() + dash.size();
    std::size_t at = begin;
    for (std::size_t c = 1; c + 1 < chunks.size(); ++c) {
        Reading reading;
        if (c >= 2 && readStamp(chunks[c], reading.stamp)) {
            reading.between = name.substr(begin, at - dash.size() - begin);
            reading.submission = name.substr(0, at + chunks[c].size());
            reading.fileName = name.substr(at + chunks[c].size() + dash.size());
            if (!reading.between.empty() && !reading.fileName.empty())
                readings.push_back(reading);
        }
        at += chunks[c].size() + dash.size();
    }
    return readings;
}

// The display name: all that lies between, but in a group's download, where
// the group's name goes first, what follows it.  A name that holds " - "
// is read whole, never as its last part: "Mallory - Ada Lovelace" is no
// one's but Mallory's.
std::string_view displayName(std::string_view between, bool groups)
{
    std::size_t first = between.find(dash);
    return groups && first != std::string_view::npos ? between.substr(first + dash.size()) : between;
}

Placed placedAs(const Reading& reading, bool folder, bool groups)
{
    // A student is all that lies between: a name that holds another's
    // after " - " is its own student, never the other.
    Placed placed;
    placed.theirs = true;
    placed.key = reading.between;
    placed.name = displayName(reading.between, groups);
    placed.folder = folder;
    placed.fileName = reading.fileName;
    return placed;
}

// An entry alone: a flat file's name read as the longest it can be, which
// no file name the student chose can make shorter.
// The download's own listing of its submissions, which the feedback zip
// carries back: expected in every download, and no one's.
constexpr std::string_view listingPage = "index.html";

Placed placeBrightspaceEntry(const TopEntry& entry)
{
    if (!entry.folder && entry.name == listingPage) {
        Placed page;
        page.quiet = true;
        return page;
    }
    Reading reading;
    if (entry.folder)
        return readFolder(entry.name, reading) ? placedAs(reading, true, false) : Placed{};
    std::vector<Reading> readings = readFlat(entry.name);
    return readings.empty() ? Placed{} : placedAs(readings.back(), false, false);
}

// The entries together: a flat file is read the way the most of the
// download's files share its submission (the longest name on a tie); the
// download is a group assignment's where every submission's name holds a
// group's before it; and of each student's submissions, the newest alone is
// theirs (submissions of the same minute all are).
std::map<std::size_t, Placed> placeBrightspaceEntries(const std::vector<TopEntry>& entries)
{
    std::vector<std::vector<Reading>> readings(entries.size());
    std::unordered_map<std::string_view, std::size_t> shared;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Reading folder;
        if (entries[i].folder && readFolder(entries[i].name, folder))
            readings[i].push_back(folder);
        else if (!entries[i].folder)
            readings[i] = readFlat(entries[i].name);
        for (const Reading& reading : readings[i])
            ++shared[reading.submission];
    }
    std::vector<const Reading*> chosen(entries.size(), nullptr);
    bool groups = true;
    std::unordered_map<std::string_view, const Reading*> newest;  // by student
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (const Reading& reading : readings[i])
            if (chosen[i] == nullptr || shared[reading.submission] >= shared[chosen[i]->submission])
                chosen[i] = &reading;
        if (chosen[i] == nullptr)
            continue;
        groups = groups && chosen[i]->between.find(dash) != std::string_view::npos;
        const Reading*& latest = newest[chosen[i]->between];
        if (latest == nullptr || latest->stamp < chosen[i]->stamp)
            latest = chosen[i];
    }
    std::map<std::size_t, Placed> placed;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (chosen[i] == nullptr)
            continue;
        Placed entry = placedAs(*chosen[i], entries[i].folder, groups);
        if (const Reading* latest = newest[chosen[i]->between]; latest->stamp != chosen[i]->stamp)
            entry.newest = std::string(latest->submission);
        placed.emplace(i, std::move(entry));
    }
    return placed;
}

// A flat file's name as the student gave it, read as the one of `owner`'s
// that it is.
std::string brightspaceFileName(std::string_view entry, const Student& owner)
{
    std::vector<Reading> readings = readFlat(entry);
    for (auto reading = readings.rbegin(); reading != readings.rend(); ++reading)
        if (reading->between == owner.name || displayName(reading->between, true) == owner.name)
            return std::string(reading->fileName);
    return readings.empty() ? std::string() : std::string(readings.back().fileName);
}

// Brightspace takes feedback back in the download's own folders, matched
// by their names byte for byte: a name that a zip cannot carry as it is
// would reach no one.  A flat download's feedback is a file named as the
// submission's files are, at the top.
std::string brightspaceFeedbackPath(const Student& student)
{
    std::string path;
    if (!student.folders.empty()) {
        path = student.folders.front();
        if (safePart(path) != path)
            return {};
        return path + "/feedback.txt";
    }
    if (student.flatFiles.empty())
        return {};
    const FlatFile& file = student.flatFiles.front();
    path = file.entry.substr(0, file.entry.size() - file.fileName.size()) + "feedback.txt";
    return safePart(path) == path ? path : std::string();
}

// The grades export's columns that say who a row is, and where the item's
// grade goes.
struct ExportColumns {
    std::size_t orgDefinedId = SIZE_MAX;
    std::size_t username = SIZE_MAX;
    std::size_t lastName = SIZE_MAX;
    std::size_t firstName = SIZE_MAX;
    std::size_t email = SIZE_MAX;
    std::size_t endOfLine = SIZE_MAX;
};

ExportColumns exportColumns(const CsvFile& file)
{
    ExportColumns columns;
    if (file.records.empty())
        return columns;
    const std::vector<CsvCell>& header = file.records.front().cells;
    for (std::size_t c = 0; c < header.size(); ++c) {
        std::string title = cellValue(file, header[c]);
        std::size_t* column = title == "OrgDefinedId" ? &columns.orgDefinedId
                              : title == "Username"   ? &columns.username
                              : title == "Last Name"  ? &columns.lastName
                              : title == "First Name" ? &columns.firstName
                              : title == "Email"      ? &columns.email
                              : title == endOfLine    ? &columns.endOfLine
                                                      : nullptr;
        if (column != nullptr && *column == SIZE_MAX)
            *column = c;
    }
    return columns;
}

bool isBrightspaceExport(const CsvFile& file)
{
    ExportColumns columns = exportColumns(file);
    return columns.endOfLine != SIZE_MAX && (columns.orgDefinedId != SIZE_MAX || columns.username != SIZE_MAX);
}

// The item a column grades in points, "Lab 3" of "Lab 3 Points Grade
// <Numeric MaxPoints:27 ...>"; empty where it is no such column.
std::string_view itemOf(std::string_view title)
{
    std::size_t at = title.find(pointsGrade);
    if (at == std::string_view::npos || at == 0)
        return {};
    std::string_view after = title.substr(at + pointsGrade.size());
    return after.empty() || after.starts_with(" <") ? title.substr(0, at) : std::string_view();
}

// The item's maximum, in hundredths, as its title says it; 0 where it does
// not.
std::uint64_t maxPointsOf(std::string_view title)
{
    std::size_t at = title.find(maxPointsWord);
    if (at == std::string_view::npos)
        return 0;
    std::string_view rest = title.substr(at + maxPointsWord.size());
    std::uint64_t maximum = 0;
    return readHundredths(rest.substr(0, rest.find_first_of(" >")), maximum) ? maximum : 0;
}

// The item --assignment names (its name, or its column's whole title),
// or the one item of an export that has one; else, in `problem`, why none.
std::size_t itemColumn(const FillRequest& request, std::string& problem)
{
    const CsvFile& file = request.file;
    std::vector<std::size_t> items;
    std::string list;
    const std::vector<CsvCell>& header = file.records.front().cells;
    for (std::size_t c = 0; c < header.size(); ++c) {
        std::string title = cellValue(file, header[c]);
        std::string_view item = itemOf(title);
        if (item.empty())
            continue;
        if (!request.assignment.empty() && (item == request.assignment || title == request.assignment))
            return c;
        items.push_back(c);
        list += (list.empty() ? "" : ", ") + shownQuoted(item, request.utf8);
    }
    if (request.assignment.empty() && items.size() == 1)
        return items.front();
    std::string found = items.empty() ? "it has no item graded in points" : "its items graded in points: " + list;
    problem = request.assignment.empty()
                  ? "--into " + request.shownFile + " needs --assignment, the name of the grade item to fill; " + found
                  : request.shownFile + " has no item " + shownQuoted(request.assignment, request.utf8) +
                        " graded in points (a column \"<item> Points Grade\"); " + found;
    return SIZE_MAX;
}

std::string cellOr(const CsvFile& file, std::size_t record, std::size_t column)
{
    return column == SIZE_MAX ? std::string() : cellValue(file, record, column);
}

// What a name is matched by where no row has it exactly: composed,
// lowercased, each run of blanks one blank.
std::string looseKey(std::string_view name)
{
    std::string key;
    for (char c : nameKey(name)) {
        bool blank = c == ' ' || c == '\t';
        if (blank && (key.empty() || key.back() == ' '))
            continue;
        key += blank ? ' ' : lowerAscii(c);
    }
    if (!key.empty() && key.back() == ' ')
        key.pop_back();
    return key;
}

// Some sites end a display name with the student's number, "Ada Lovelace
// 101234567": the rows whose OrgDefinedId is that number and whose name is
// the rest.
std::vector<std::size_t> rowsByNumber(std::string_view name, const std::vector<ExportRow>& rows,
                                      const std::vector<bool>& takenExactly)
{
    std::vector<std::size_t> found;
    std::size_t blank = name.rfind(' ');
    if (blank == std::string_view::npos || !allDigits(name.substr(blank + 1)))
        return found;
    std::string_view number = name.substr(blank + 1);
    std::string rest = looseKey(name.substr(0, blank));
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!takenExactly[r] && rows[r].id == number && looseKey(rows[r].names.front()) == rest)
            found.push_back(r);
    return found;
}

// A row by its "First Last" as the download writes it, byte for byte; a
// student no row names so, by the name as people mean it, among the rows no
// other student's name is exactly, or by the number that ends their name.
// Two names for one row place neither.
RowMatches matchByDisplayName(const std::vector<Student>& students, const std::vector<ExportRow>& rows)
{
    std::unordered_map<std::string, std::vector<std::size_t>> exact;
    std::unordered_map<std::string, std::vector<std::size_t>> loose;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        exact[rows[r].names.front()].push_back(r);
        loose[looseKey(rows[r].names.front())].push_back(r);
    }
    std::vector<bool> takenExactly(rows.size(), false);
    for (const Student& student : students)
        if (auto found = exact.find(student.name); student.hasFolder && found != exact.end())
            for (std::size_t r : found->second)
                takenExactly[r] = true;
    RowMatches matches;
    matches.rowsOf.resize(students.size());
    std::map<std::size_t, std::vector<std::size_t>> claims;
    for (std::size_t s = 0; s < students.size(); ++s) {
        if (!students[s].hasFolder)
            continue;
        std::vector<std::size_t> found;
        if (auto same = exact.find(students[s].name); same != exact.end())
            found = same->second;
        else if (auto alike = loose.find(looseKey(students[s].name)); alike != loose.end())
            std::copy_if(alike->second.begin(), alike->second.end(), std::back_inserter(found),
                         [&](std::size_t r) { return !takenExactly[r]; });
        if (found.empty())
            found = rowsByNumber(students[s].name, rows, takenExactly);
        if (found.empty())
            matches.unmatched.push_back(s);
        else if (found.size() > 1)
            matches.manyRows.emplace_back(s, found);
        else
            claims[found.front()].push_back(s);
    }
    std::vector<bool> graded(rows.size(), false);
    for (const auto& [row, claimants] : claims) {
        if (claimants.size() > 1) {
            matches.sharedRow.emplace_back(row, claimants);
            continue;
        }
        matches.rowsOf[claimants.front()] = {row};
        graded[row] = true;
    }
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!graded[r])
            matches.ungraded.push_back(r);
    return matches;
}

void fillBrightspaceExport(const FillRequest& request, Filled& filled)
{
    const CsvFile& file = request.file;
    std::size_t column = itemColumn(request, filled.problem);
    if (column == SIZE_MAX)
        return;
    std::string title = cellValue(file, 0, column);
    std::uint64_t maximum = maxPointsOf(title);
    if (maximum != 0) {
        filled.problem = maximumProblem(request, "the maximum points of " + shownQuoted(itemOf(title), request.utf8) +
                                                     " in " + request.shownFile, maximum);
        if (!filled.problem.empty())
            return;
    }
    ExportColumns columns = exportColumns(file);
    std::vector<ExportRow> rows;
    for (std::size_t r = 1; r < file.records.size(); ++r) {
        std::string first = cellOr(file, r, columns.firstName);
        std::string last = cellOr(file, r, columns.lastName);
        if (first.empty() && last.empty())
            continue;
        std::string id = cellOr(file, r, columns.orgDefinedId);
        if (id.starts_with('#'))
            id.erase(0, 1);
        rows.push_back(ExportRow{r, id, cellOr(file, r, columns.username), cellOr(file, r, columns.email),
                                 {first + " " + last}, {}});
    }
    RowMatches matches = matchByDisplayName(request.students, rows);
    filled.warnings = matchWarnings(request, rows, matches);
    std::uint64_t possible = possibleOf(request.tests);
    std::uint64_t scaleTo = maximum == possible * 100 ? 0 : maximum;
    std::vector<CellEdit> edits;
    for (std::size_t s = 0; s < request.students.size(); ++s)
        for (std::size_t r : matches.rowsOf[s]) {
            NumberForm form = numberFormOf(cellValue(file, rows[r].record, column));
            edits.push_back(
                CellEdit{rows[r].record, column, gradeText(totalOf(request.students[s]), possible, scaleTo, form)});
        }
    filled.text = withEdits(file, std::move(edits));
}

}  // namespace

extern constinit const CourseSite brightspaceSite{
    .names = {.name = "brightspace", .recognised = true, .place = placeBrightspaceEntry,
              .placeTogether = placeBrightspaceEntries, .fileNameOf = brightspaceFileName},
    .shownName = "Brightspace",
    .ignoredWhy = " is not named as Brightspace names a submission: ignored",
    .found = "SUBMISSIONS is Brightspace's download, as SOURCE: each submission named with the student's display "
             "name and its date",
    .foundOfFolder = true,
    .feedbackPath = brightspaceFeedbackPath,
    .gradebook = {.format = "brightspace", .gloss = "(fills Brightspace's grades export: needs --into)",
                  .write = nullptr, .assignmentColumnIn = "Brightspace's grades export", .assignmentTitled = nullptr,
                  .exportName = "Brightspace's grades export", .isExport = isBrightspaceExport,
                  .fill = fillBrightspaceExport, .ownMakingNote = {},
                  .exportNeeded = "Brightspace's download names no OrgDefinedId or Username, only a display name, "
                                  "and its grades export holds both: export the grades (Grades, Export) and fill "
                                  "that file"},
    .feedbackKeeps = listingPage,
};
