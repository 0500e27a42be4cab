// Blackboard Learn: "Assignment File Download" lays every attempt's files
// out flat, `<Assignment>_<username>_attempt_<stamp>_<file>`, beside the
// attempt's receipt, `<Assignment>_<username>_attempt_<stamp>.txt`, which
// names the student and what they named each file.  Its Grade Center takes
// grades back by username, into the column whose id ends its title, with
// the feedback in Feedback to Learner; it takes no feedback files back.
#include "class/sites/site.h"

#include "class/model/ascii_case.h"
#include "class/outputs/csv.h"
#include "class/outputs/feedback.h"
#include "class/outputs/html_text.h"
#include "io/visible_text.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

constexpr std::string_view attemptWord = "_attempt_";
constexpr std::string_view receiptEnd = ".txt";
constexpr std::string_view stampShape = "0000-00-00-00-00-00";  // YYYY-MM-DD-HH-MM-SS
constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";

bool isStamp(std::string_view text)
{
    if (text.size() != stampShape.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (stampShape[i] == '-' ? text[i] != '-' : (text[i] < '0' || text[i] > '9'))
            return false;
    return true;
}

// A receipt's name, `<Assignment>_<username>_attempt_<stamp>.txt`, without
// its ".txt"; empty where the name is none.
std::string_view receiptFront(std::string_view name)
{
    std::size_t tail = attemptWord.size() + stampShape.size() + receiptEnd.size();
    if (name.size() <= tail || !name.ends_with(receiptEnd))
        return {};
    std::string_view front = name.substr(0, name.size() - receiptEnd.size());
    std::string_view word = front.substr(front.size() - stampShape.size() - attemptWord.size(), attemptWord.size());
    return word == attemptWord && isStamp(front.substr(front.size() - stampShape.size())) ? front : std::string_view();
}

bool isReceiptName(std::string_view name)
{
    return !receiptFront(name).empty();
}

// Where a file's name could end its attempt's part: each "_attempt_<stamp>_"
// with a name after it, as the place of its "_attempt_".
std::vector<std::size_t> attemptSplits(std::string_view name)
{
    std::vector<std::size_t> splits;
    for (std::size_t at = name.find(attemptWord); at != std::string_view::npos; at = name.find(attemptWord, at + 1)) {
        std::size_t stamp = at + attemptWord.size();
        std::size_t rest = stamp + stampShape.size() + 1;
        if (at > 0 && rest < name.size() && isStamp(name.substr(stamp, stampShape.size())) && name[rest - 1] == '_')
            splits.push_back(at);
    }
    return splits;
}

// A line's text without its CR and the blanks before it.
std::string_view trimmed(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// What a receipt says: who, and each stored file's name as the student
// gave it.  Only its first field line names the student and only its last
// "Files:" section names files: the comments and the text handed in before
// them are the student's own, and may hold lines like either.
struct Receipt {
    std::string name;
    std::string username;
    std::vector<std::pair<std::string, std::string>> files;  // stored, original
    bool cut = false;
};

bool fieldValue(std::string_view line, std::string_view field, std::string& value)
{
    line = trimmed(line);
    if (!line.starts_with(field))
        return false;
    value = std::string(trimmed(line.substr(field.size())));
    return true;
}

void readNameLine(std::string_view line, Receipt& receipt)
{
    std::string value;
    if (!fieldValue(line, "Name:", value) || value.empty() || value.back() != ')')
        return;
    std::size_t open = value.rfind('(');
    if (open == std::string::npos)
        return;
    receipt.username = std::string(trimmed(std::string_view(value).substr(open + 1, value.size() - open - 2)));
    receipt.name = std::string(trimmed(std::string_view(value).substr(0, open)));
    if (receipt.name.empty())
        receipt.name = receipt.username;
}

void readFilesSection(const std::vector<std::string_view>& lines, std::size_t from, Receipt& receipt)
{
    std::string stored;
    std::string original;
    auto endBlock = [&] {
        if (!stored.empty())
            receipt.files.emplace_back(stored, original);
        stored.clear();
        original.clear();
    };
    for (std::size_t i = from; i < lines.size(); ++i) {
        std::string value;
        if (trimmed(lines[i]).empty())
            endBlock();
        else if (fieldValue(lines[i], "Original filename:", value))
            original = value;
        else if (fieldValue(lines[i], "Filename:", value))
            stored = value;
    }
    endBlock();
}

Receipt readReceipt(std::string_view text)
{
    Receipt receipt;
    receipt.cut = text.size() > textRead;
    text = text.substr(0, textRead);
    if (text.starts_with(utf8Mark))
        text.remove_prefix(utf8Mark.size());
    std::vector<std::string_view> lines = linesOf(text);
    auto first = std::find_if(lines.begin(), lines.end(), [](std::string_view line) { return !trimmed(line).empty(); });
    if (first != lines.end())
        readNameLine(*first, receipt);
    for (std::size_t i = lines.size(); i-- > 0;)
        if (trimmed(lines[i]) == "Files:") {
            readFilesSection(lines, i + 1, receipt);
            break;
        }
    return receipt;
}

// One attempt: its receipt where it has one, read, and its files.
struct Attempt {
    std::string part;  // "<Assignment>_<username>_attempt_<stamp>"
    std::string username;
    std::string name;
    std::string stamp;
    std::size_t receipt = SIZE_MAX;  // the receipt's entry
    std::map<std::string, std::string, std::less<>> originals;  // stored name: the student's
    std::vector<std::size_t> files;
    bool cut = false;
};

// A file's own name where a receipt gave none that names a file: the
// name after its attempt's part.
bool usableName(std::string_view name)
{
    return !name.empty() && name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos &&
           name != "." && name != "..";
}

struct Reading {
    const std::vector<TopEntry>& entries;
    std::map<std::size_t, Placed> placed;
    std::map<std::string, Attempt, std::less<>> attempts;  // by the attempt's part, "<A>_<u>_attempt_<stamp>"
    std::string assignment;
    std::map<std::string, std::string> namesOf;  // username: the name a receipt gives
    std::set<std::size_t> receipts;              // the entries read as receipts
};

// A remark said after the entry's name: the first after a colon.
void addRemark(Placed& placed, std::string_view text, bool warns)
{
    placed.remark += (placed.remark.empty() ? ": " : "; ") + std::string(text);
    placed.warns = placed.warns || warns;
}

Placed ignoredWith(std::string_view remark, bool warns)
{
    Placed placed;
    addRemark(placed, remark, warns);
    return placed;
}

// The receipts, each read, where the one whose name an entry's starts
// with is that entry's: an entry `<A>_<u>_attempt_<stamp>_x_attempt_<stamp2>.txt`
// is a file named so by the student, not a receipt.
std::vector<std::size_t> receiptsOf(const std::vector<TopEntry>& entries)
{
    std::set<std::string, std::less<>> parts;
    for (const TopEntry& entry : entries)
        if (!entry.folder && isReceiptName(entry.name))
            parts.insert(std::string(receiptFront(entry.name)) + "_");
    std::vector<std::size_t> receipts;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string_view name = entries[i].name;
        if (entries[i].folder || !isReceiptName(name))
            continue;
        bool inside = false;
        for (std::size_t at = name.find('_'); at != std::string_view::npos && !inside; at = name.find('_', at + 1))
            inside = parts.contains(name.substr(0, at + 1));
        if (!inside)
            receipts.push_back(i);
    }
    return receipts;
}

// The receipts' assignment: the one most receipts name; "" where none can.
std::string assignmentOf(const std::vector<TopEntry>& entries, const std::vector<std::size_t>& receipts,
                         std::vector<Receipt>& read)
{
    std::map<std::string, std::size_t> counts;
    for (std::size_t r = 0; r < receipts.size(); ++r) {
        std::string_view front = receiptFront(entries[receipts[r]].name);
        std::string_view stamp = front.substr(front.size() - stampShape.size());
        std::string tail = "_" + read[r].username + std::string(attemptWord) + std::string(stamp);
        std::string_view ownTail = front.size() > tail.size() ? front.substr(front.size() - tail.size()) : "";
        if (read[r].username.empty() || !equalIgnoringCase(ownTail, tail)) {
            read[r].username.clear();
            continue;
        }
        ++counts[std::string(front.substr(0, front.size() - tail.size()))];
    }
    auto most = std::max_element(counts.begin(), counts.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts.end() ? std::string() : most->first;
}

void readReceipts(Reading& reading)
{
    const std::vector<TopEntry>& entries = reading.entries;
    std::vector<std::size_t> receipts = receiptsOf(entries);
    std::vector<Receipt> read;
    for (std::size_t i : receipts)
        read.push_back(readReceipt(entries[i].text));
    reading.assignment = assignmentOf(entries, receipts, read);
    for (std::size_t r = 0; r < receipts.size(); ++r) {
        std::size_t i = receipts[r];
        reading.receipts.insert(i);
        std::string_view front = receiptFront(entries[i].name);
        std::string assignmentPart = reading.assignment + "_";
        std::string_view username = front.size() > assignmentPart.size() + attemptWord.size() + stampShape.size()
                                        ? front.substr(assignmentPart.size(), front.size() - assignmentPart.size() -
                                                                                  attemptWord.size() - stampShape.size())
                                        : std::string_view();
        bool ours = !read[r].username.empty() && front.starts_with(assignmentPart) &&
                    equalIgnoringCase(username, read[r].username);
        if (!ours) {
            reading.placed[i] = ignoredWith(
                entries[i].text.empty() ? "a receipt that could not be read: its attempt's files are placed by "
                                          "their names"
                : read[r].username.empty()
                    ? "a receipt whose first line names no student as \"Name: First Last (username)\": its "
                      "attempt's files are placed by their names"
                    : "a receipt of another assignment than the download's, or of a student its name does not "
                      "hold: ignored, and its attempt's files placed by their names",
                true);
            continue;
        }
        Attempt& attempt = reading.attempts[std::string(front)];
        attempt.part = std::string(front);
        attempt.username = std::string(username);
        attempt.name = read[r].name;
        attempt.stamp = std::string(front.substr(front.size() - stampShape.size()));
        attempt.receipt = i;
        attempt.cut = read[r].cut;
        reading.namesOf.emplace(attempt.username, attempt.name);
        std::string own = std::string(front) + "_";
        for (auto& [stored, original] : read[r].files) {
            if (!stored.starts_with(own)) {
                addRemark(reading.placed[i], "it names a file of another attempt, " + stored + ": ignored", true);
                continue;
            }
            attempt.originals.emplace(stored, original);
        }
    }
}

// The attempt a file with no receipt is of, by its name's part before
// "_attempt_": where the download's assignment is known, the username is
// what follows it; else the name must split one way only.
std::string attemptByName(const Reading& reading, std::string_view name, std::string& username, std::string& problem)
{
    std::set<std::pair<std::string, std::string>> found;  // username, attempt part
    bool unclear = false;  // a way the name splits whose username it does not tell
    for (std::size_t at : attemptSplits(name)) {
        std::string_view before = name.substr(0, at);
        std::string_view user;
        if (!reading.assignment.empty()) {
            if (before.size() > reading.assignment.size() + 1 && before.starts_with(reading.assignment) &&
                before[reading.assignment.size()] == '_')
                user = before.substr(reading.assignment.size() + 1);
        } else if (std::size_t underscore = before.find('_');
                   underscore != std::string_view::npos && before.find('_', underscore + 1) == std::string_view::npos) {
            user = before.substr(underscore + 1);
        } else {
            unclear = true;
        }
        if (!user.empty())
            found.emplace(std::string(user), std::string(name.substr(0, at + attemptWord.size() + stampShape.size())));
    }
    if (found.size() == 1 && !unclear) {
        username = found.begin()->first;
        return found.begin()->second;
    }
    if (found.size() + (unclear ? 1 : 0) > 1) {
        std::string who;
        for (const auto& [user, part] : found)
            who += (who.empty() ? "" : " or ") + user;
        problem = "no receipt names it, and its name could be the file of " + who +
                  (unclear ? " or of a username it does not tell" : "") + ": not graded";
    }
    return {};
}

// Each file, given to the attempt whose receipt's part its name starts
// with, else to the attempt its name alone tells.
void placeFiles(Reading& reading)
{
    const std::vector<TopEntry>& entries = reading.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string_view name = entries[i].name;
        if (entries[i].folder || reading.receipts.contains(i))
            continue;
        std::string part;
        for (std::size_t at : attemptSplits(name)) {
            std::string_view candidate = name.substr(0, at + attemptWord.size() + stampShape.size());
            if (auto found = reading.attempts.find(candidate); found != reading.attempts.end() &&
                                                               found->second.receipt != SIZE_MAX) {
                part = std::string(candidate);
                break;
            }
        }
        std::string username;
        std::string problem;
        if (part.empty())
            part = attemptByName(reading, name, username, problem);
        if (!problem.empty())
            reading.placed[i] = ignoredWith(problem, true);
        if (part.empty())
            continue;
        Attempt& attempt = reading.attempts[part];
        if (attempt.part.empty()) {
            attempt.part = part;
            attempt.username = username;
            attempt.stamp = part.substr(part.size() - stampShape.size());
        }
        attempt.files.push_back(i);
    }
}

Placed placedFor(const Attempt& attempt, const std::string& name)
{
    Placed placed;
    placed.theirs = true;
    placed.key = attempt.username;
    placed.name = name;
    placed.siteId = attempt.username;
    return placed;
}

std::string who(const Attempt& attempt, const std::string& name)
{
    return name + " (" + attempt.username + ")";
}

// An attempt's files: the graded attempt's are the student's, named as the
// receipt names them; an earlier attempt's are passed over.
void placeAttemptFiles(Reading& reading, const Attempt& attempt, const std::string& name, bool graded)
{
    for (std::size_t file : attempt.files) {
        Placed placed = graded ? placedFor(attempt, name) : Placed();
        placed.quiet = !graded;
        std::string stored(reading.entries[file].name);
        auto original = attempt.originals.find(stored);
        bool given = original != attempt.originals.end() && usableName(original->second);
        placed.fileName = given ? original->second : stored.substr(attempt.part.size() + 1);
        reading.placed[file] = std::move(placed);
    }
}

// An attempt's receipt, no file of the student's: what it says of itself,
// after whether it is graded.
void placeReceipt(Reading& reading, const Attempt& attempt, const std::string& name, const Attempt& latest)
{
    Placed& receipt = reading.placed[attempt.receipt];
    Placed said = std::move(receipt);
    receipt = &attempt == &latest ? placedFor(attempt, name) : Placed();
    receipt.text = true;
    if (&attempt != &latest)
        addRemark(receipt, "an earlier attempt of " + who(attempt, name) + " than the one graded, of " +
                               latest.stamp + ": not graded", false);
    if (!said.remark.empty())
        addRemark(receipt, std::string_view(said.remark).substr(2), said.warns);
    if (attempt.cut)
        addRemark(receipt, "it is longer than " + std::to_string(textRead / 1024) +
                               " KiB and read no further: files it names past that are named as stored",
                  false);
}

// Each student's latest attempt is theirs; the earlier ones are said of
// and passed over.
void placeAttempts(Reading& reading)
{
    std::map<std::string, std::vector<const Attempt*>> byStudent;
    for (const auto& [part, attempt] : reading.attempts)
        if (!attempt.username.empty())
            byStudent[attempt.username].push_back(&attempt);
    for (auto& [username, attempts] : byStudent) {
        std::sort(attempts.begin(), attempts.end(), [](const Attempt* a, const Attempt* b) { return a->stamp < b->stamp; });
        auto named = reading.namesOf.find(username);
        std::string name = named == reading.namesOf.end() ? username : named->second;
        const Attempt& latest = *attempts.back();
        for (const Attempt* attempt : attempts) {
            placeAttemptFiles(reading, *attempt, name, attempt == &latest);
            if (attempt->receipt != SIZE_MAX)
                placeReceipt(reading, *attempt, name, latest);
        }
        if (attempts.size() < 2)
            continue;
        Placed& at = reading.placed[latest.receipt != SIZE_MAX ? latest.receipt : latest.files.front()];
        std::string said = std::exchange(at.remark, {});
        addRemark(at, "the latest of " + std::to_string(attempts.size()) + " attempts of " + who(latest, name) +
                          ", graded; the earlier are not", false);
        if (!said.empty())
            at.remark += "; " + said.substr(2);
    }
}

std::map<std::size_t, Placed> placeBlackboardEntries(const std::vector<TopEntry>& entries)
{
    Reading reading{entries, {}, {}, {}, {}, {}};
    readReceipts(reading);
    placeFiles(reading);
    placeAttempts(reading);
    // Every entry is read here: what is no attempt's is no one's.
    for (std::size_t i = 0; i < entries.size(); ++i)
        reading.placed.try_emplace(i);
    return std::move(reading.placed);
}

// An entry alone, as the layout is found: named as an attempt's.
Placed placeBlackboardEntry(const TopEntry& entry)
{
    if (entry.folder || (!isReceiptName(entry.name) && attemptSplits(entry.name).empty()))
        return {};
    Placed placed;
    placed.theirs = true;
    placed.key = std::string(entry.name.substr(0, entry.name.find(attemptWord)));
    placed.name = placed.key;
    placed.text = isReceiptName(entry.name);
    return placed;
}

std::string blackboardFileName(std::string_view entry, const Student& owner)
{
    auto found = std::lower_bound(owner.flatFiles.begin(), owner.flatFiles.end(), entry,
                                  [](const FlatFile& file, std::string_view name) { return file.entry < name; });
    return found != owner.flatFiles.end() && found->entry == entry ? found->fileName : std::string();
}

// The student's feedback, for the instructor to attach: named by username,
// which no two students share.
std::string blackboardFeedbackPath(const Student& student)
{
    return safePart((student.lmsId.empty() ? student.name : student.lmsId) + "_feedback.txt");
}

constexpr std::string_view newColumn = "labelgrade";

// --assignment as Blackboard's column: "Title|id" fills the column of that
// id, "Title" alone makes a new one; the id alone, or a header copied
// whole, "Lab 3 [Total Pts: 27 Score] |123456", is taken too.
struct ColumnTitle {
    std::string title;
    std::string id;
};

ColumnTitle columnTitleOf(std::string_view assignment)
{
    if (allDigits(assignment))
        return ColumnTitle{std::string(newColumn), std::string(assignment)};
    std::size_t bar = assignment.rfind('|');
    std::string_view title = trimmed(bar == std::string_view::npos ? assignment : assignment.substr(0, bar));
    std::string_view id = bar == std::string_view::npos ? std::string_view() : trimmed(assignment.substr(bar + 1));
    if (std::size_t points = title.rfind(" [Total Pts:"); points != std::string_view::npos && title.ends_with(']'))
        title = trimmed(title.substr(0, points));
    return ColumnTitle{std::string(title), std::string(id)};
}

bool blackboardAssignmentTitled(std::string_view assignment, std::string& problem)
{
    ColumnTitle column = columnTitleOf(assignment);
    bool idFits = std::none_of(column.id.begin(), column.id.end(), [](char c) { return c == ' ' || c == '"'; });
    if (!column.title.empty() && idFits && (assignment.find('|') == std::string_view::npos || !column.id.empty()))
        return true;
    problem = "--assignment is no title of Blackboard's Grade Center: \"Title|id\" fills the column of that id, as "
              "\"Lab 3|123456\", and \"Title\" alone makes a new column";
    return false;
}

std::string columnHeader(std::string_view assignment, std::uint64_t possible)
{
    ColumnTitle column = columnTitleOf(assignment.empty() ? newColumn : assignment);
    std::string header = column.title + " [Total Pts: " + std::to_string(possible) + " Score]";
    return column.id.empty() ? header : header + " |" + column.id;
}

// Blackboard's feedback is HTML: a student's "<b>" is text, a line break
// is one.
std::string feedbackHtml(std::string_view text)
{
    std::string html;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
            continue;
        if (text[at] == '\n' || text[at] == '\r')
            html += "<br>";
        else
            appendHtml(html, text.substr(at, 1));
    }
    return html;
}

// First and last names out of the one name a receipt gives: the last word
// is the last name, the rest the first (Blackboard matches by username
// alone).
std::pair<std::string, std::string> firstAndLast(std::string_view name)
{
    name = trimmed(name);
    std::size_t space = name.rfind(' ');
    if (space == std::string_view::npos)
        return {std::string(), std::string(name)};
    return {std::string(trimmed(name.substr(0, space))), std::string(name.substr(space + 1))};
}

// Every field quoted, as Blackboard's own downloads write them.
void quotedRow(Output& out, const std::vector<std::string>& fields)
{
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += i == 0 ? "\"" : ",\"";
        for (char c : fields[i])
            text += c == '"' ? std::string("\"\"") : std::string(1, c);
        text += '"';
    }
    text += "\r\n";
    put(out, text);
}

// The upload file of Blackboard's Grade Center: UTF-8 with a byte-order
// mark, every field quoted, a row by username.
void blackboardGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                         const GradebookShape& shape)
{
    Naming naming{shape.forTerminal, shape.utf8};
    std::uint64_t possible = possibleOf(tests);
    put(out, utf8Mark);
    quotedRow(out, {"Last Name", "First Name", "Username", columnHeader(shape.assignment, possible),
                    "Feedback to Learner", "Feedback Format"});
    for (const Student& student : students) {
        auto [first, last] = firstAndLast(siteName(student));
        std::string username = shape.siteIds ? naming.raw(student.lmsId)
                               : student.lmsId.empty() ? naming.read(student.name)
                                                       : std::string();
        quotedRow(out, {naming.read(last), naming.read(first), username, std::to_string(totalOf(student)),
                        guardedText(feedbackHtml(naming.raw(feedbackComments(tests, student)))), "HTML"});
    }
}

// The Grade Center's download: its students' rows by username.
bool isBlackboardExport(const CsvFile& file)
{
    if (file.records.empty())
        return false;
    bool username = false;
    bool lastName = false;
    // Brightspace's export has both too, beside columns of its own.
    bool brightspace = false;
    for (const CsvCell& cell : file.records.front().cells) {
        std::string value = cellValue(file, cell);
        username = username || value == "Username";
        lastName = lastName || value == "Last Name";
        brightspace = brightspace || value == "OrgDefinedId" || value == "End-of-Line Indicator";
    }
    return username && lastName && !brightspace;
}

// Where the download's columns are; SIZE_MAX where it has none.
struct CenterColumns {
    std::size_t username = SIZE_MAX;
    std::size_t lastName = SIZE_MAX;
    std::size_t firstName = SIZE_MAX;
    std::size_t grade = SIZE_MAX;
    std::size_t feedback = SIZE_MAX;  // Feedback to Learner, after the grade's
    std::size_t format = SIZE_MAX;    // Feedback Format, after that
    std::uint64_t maximum = 0;        // the grade column's Total Pts, in hundredths; 0 where it says none
};

// A grade column's parts: "Lab 3 [Total Pts: 27 Score] |123456".
struct HeaderParts {
    std::string title;
    std::string id;
    std::string points;
};

HeaderParts headerParts(std::string_view header)
{
    HeaderParts parts;
    std::size_t bar = header.rfind('|');
    if (bar != std::string_view::npos)
        parts.id = std::string(trimmed(header.substr(bar + 1)));
    std::string_view title = trimmed(header.substr(0, bar == std::string_view::npos ? header.size() : bar));
    std::size_t points = title.rfind(" [Total Pts:");
    if (points != std::string_view::npos && title.ends_with(']')) {
        std::string_view inside = trimmed(title.substr(points + 12, title.size() - points - 13));
        parts.points = std::string(inside.substr(0, inside.find(' ')));
        title = trimmed(title.substr(0, points));
    }
    parts.title = std::string(title);
    return parts;
}

bool isGradeColumn(const HeaderParts& parts)
{
    return !parts.id.empty() || !parts.points.empty();
}

std::size_t gradeColumn(const FillRequest& request, std::string& problem)
{
    const CsvFile& file = request.file;
    ColumnTitle wanted = columnTitleOf(request.assignment);
    std::vector<std::size_t> found;
    std::vector<std::string> columns;
    const std::vector<CsvCell>& header = file.records.front().cells;
    for (std::size_t c = 0; c < header.size(); ++c) {
        std::string text = cellValue(file, header[c]);
        HeaderParts parts = headerParts(text);
        if (!isGradeColumn(parts))
            continue;
        columns.push_back(shownQuoted(text, request.utf8));
        bool chosen = request.assignment.empty() || (!wanted.id.empty() ? parts.id == wanted.id
                                                                         : parts.title == wanted.title);
        if (chosen)
            found.push_back(c);
    }
    if (found.size() == 1)
        return found.front();
    std::string list;
    for (std::size_t i = 0; i < columns.size(); ++i)
        list += (i == 0 ? "" : ", ") + columns[i];
    std::string listed = columns.empty() ? "it has no grade column" : "its grade columns: " + list;
    if (request.assignment.empty())
        problem = "--into " + request.shownFile + " needs --assignment, \"Title|id\" of the column to fill; " + listed;
    else
        problem = request.shownFile + (found.empty() ? " has no column " : " has more than one column ") +
                  shownQuoted(request.assignment, request.utf8) + "; " + listed;
    return SIZE_MAX;
}

bool centerColumns(const FillRequest& request, CenterColumns& columns, std::string& problem)
{
    const CsvFile& file = request.file;
    columns.grade = gradeColumn(request, problem);
    if (columns.grade == SIZE_MAX)
        return false;
    const std::vector<CsvCell>& header = file.records.front().cells;
    // The feedback's columns are the grade column's where they follow it.
    const std::pair<std::string_view, std::size_t*> named[] = {
        {"Username", &columns.username},          {"Last Name", &columns.lastName},
        {"First Name", &columns.firstName},       {"Feedback to Learner", &columns.feedback},
        {"Feedback Format", &columns.format}};
    for (std::size_t c = 0; c < header.size(); ++c) {
        std::string text = cellValue(file, header[c]);
        for (const auto& [name, column] : named)
            if (text == name && *column == SIZE_MAX && (!name.starts_with("Feedback") || c > columns.grade))
                *column = c;
    }
    HeaderParts parts = headerParts(cellValue(file, 0, columns.grade));
    std::uint64_t maximum = 0;
    if (readHundredths(parts.points, maximum)) {
        problem = maximumProblem(request, "the Total Pts of " + shownQuoted(cellValue(file, 0, columns.grade), request.utf8) +
                                              " in " + request.shownFile, maximum);
        columns.maximum = maximum;
    }
    return problem.empty();
}

std::string cellOr(const CsvFile& file, std::size_t record, std::size_t column)
{
    return column == SIZE_MAX ? std::string() : cellValue(file, record, column);
}

// Each student's rows by username alone, as Blackboard's upload matches
// them: a username no row holds, or more than one does, places no grade.
RowMatches matchByUsername(const FillRequest& request, const std::vector<ExportRow>& rows)
{
    std::map<std::string, std::vector<std::size_t>> byUsername;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!rows[r].login.empty())
            byUsername[rows[r].login].push_back(r);
    RowMatches matches;
    matches.rowsOf.resize(request.students.size());
    std::vector<bool> reached(rows.size(), false);
    for (std::size_t s = 0; s < request.students.size(); ++s) {
        const Student& student = request.students[s];
        if (!student.hasFolder)
            continue;
        std::string username = request.siteIds ? student.lmsId : student.lmsId.empty() ? student.name : "";
        std::string key;
        for (char c : username)
            key += lowerAscii(c);
        auto found = byUsername.find(key);
        if (found == byUsername.end() || key.empty())
            matches.unmatched.push_back(s);
        else if (found->second.size() > 1)
            matches.manyRows.emplace_back(s, found->second);
        else
            matches.rowsOf[s] = found->second;
        if (found != byUsername.end())
            for (std::size_t r : found->second)
                reached[r] = true;
    }
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!reached[r])
            matches.ungraded.push_back(r);
    return matches;
}

void fillBlackboardExport(const FillRequest& request, Filled& filled)
{
    const CsvFile& file = request.file;
    CenterColumns columns;
    if (!centerColumns(request, columns, filled.problem))
        return;
    std::vector<ExportRow> rows;
    for (std::size_t r = 1; r < file.records.size(); ++r) {
        std::string username;
        for (char c : std::string(trimmed(cellOr(file, r, columns.username))))
            username += lowerAscii(c);
        std::string first = cellOr(file, r, columns.firstName);
        std::string last = cellOr(file, r, columns.lastName);
        std::string name = first.empty() || last.empty() ? first + last : first + " " + last;
        if (username.empty() && name.empty())
            continue;
        rows.push_back(ExportRow{r, {}, username, {}, {name}, {}});
    }
    RowMatches matches = matchByUsername(request, rows);
    filled.warnings = matchWarnings(request, rows, matches);
    Naming naming{request.forTerminal, request.utf8};
    std::uint64_t possible = possibleOf(request.tests);
    std::uint64_t scaleTo = columns.maximum == possible * 100 ? 0 : columns.maximum;
    std::vector<CellEdit> edits;
    for (std::size_t s = 0; s < request.students.size(); ++s) {
        const Student& student = request.students[s];
        for (std::size_t r : matches.rowsOf[s]) {
            std::size_t record = rows[r].record;
            NumberForm form = numberFormOf(cellValue(file, record, columns.grade));
            edits.push_back(CellEdit{record, columns.grade, gradeText(totalOf(student), possible, scaleTo, form)});
            if (columns.feedback == SIZE_MAX)
                continue;
            edits.push_back(CellEdit{record, columns.feedback,
                                     guardedText(feedbackHtml(naming.raw(feedbackComments(request.tests, student))))});
            if (columns.format != SIZE_MAX)
                edits.push_back(CellEdit{record, columns.format, "HTML"});
        }
    }
    filled.text = withEdits(file, std::move(edits));
}

}  // namespace

extern constinit const CourseSite blackboardSite{
    .names = {.name = "blackboard", .recognised = true, .place = placeBlackboardEntry,
              .placeTogether = placeBlackboardEntries, .fileNameOf = blackboardFileName,
              .readsText = isReceiptName},
    .shownName = "Blackboard",
    .ignoredWhy = " is not named as Blackboard names an attempt's file or receipt: ignored",
    .found = "SUBMISSIONS is Blackboard's download, as SOURCE: each attempt's files named by its receipt",
    .foundOfFolder = true,
    .feedbackPath = blackboardFeedbackPath,
    .gradebook = {.format = "blackboard", .gloss = {}, .write = blackboardGradebook,
                  .assignmentColumnIn = "Blackboard's Grade Center", .assignmentTitled = blackboardAssignmentTitled,
                  .exportName = "Blackboard's Grade Center download", .isExport = isBlackboardExport,
                  .fill = fillBlackboardExport,
                  .ownMakingNote = {}, .matchesBy = "a username", .namesFolders = true},
    .feedbackNote = " holds each student's feedback as a file named by their username, for you to attach: "
                    "Blackboard takes no such zip back, but takes the same text in the Feedback to Learner "
                    "column of --format blackboard's file",
};
