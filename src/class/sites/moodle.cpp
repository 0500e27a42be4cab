// Moodle: "Download all submissions" gives a folder per student and kind of
// submission, named with their participant id (or, with folders off, files
// named so); "Upload multiple feedback files in a zip" takes those folders'
// names back; its grading worksheet matches students by participant id.
#include "class/sites/site.h"

#include "class/intake/lms_names.h"
#include "class/outputs/csv.h"
#include "class/outputs/feedback.h"
#include "class/outputs/file_names.h"
#include "io/visible_text.h"

#include <algorithm>
#include <array>

namespace {

// The worksheet's columns as Moodle heads them in a site's language: its
// import finds them by these names alone.
struct WorksheetWords {
    std::string_view identifier;
    std::string_view grade;
    std::string_view lastModified;  // of the grade
    std::string_view feedback;
    std::string_view maximum;
    std::string_view fullName;
    std::string_view email;
    std::string_view group;
};

constexpr std::array<WorksheetWords, 4> worksheetLanguages{{
    {"Identifier", "Grade", "Last modified (grade)", "Feedback comments", "Maximum Grade", "Full name",
     "Email address", "Group"},
    {"ID", "Bewertung", "Zuletzt geändert (Bewertung)", "Feedback als Kommentar", "Bestwertung",
     "Vollständiger Name", "E-Mail-Adresse", "Gruppe"},
    {"Identifiant", "Note", "Dernière modification (note)", "Feedback par commentaires", "Note maximale",
     "Nom complet", "Adresse de courriel", "Groupe"},
    {"Identificador", "Calificación", "Última modificación (calificación)", "Comentarios de retroalimentación",
     "Calificación máxima", "Nombre completo", "Dirección de correo", "Grupo"},
}};

// Where each column is in a worksheet's header; SIZE_MAX where it is not.
struct WorksheetColumns {
    std::size_t identifier = SIZE_MAX;
    std::size_t grade = SIZE_MAX;
    std::size_t lastModified = SIZE_MAX;
    std::size_t feedback = SIZE_MAX;
    std::size_t maximum = SIZE_MAX;
    std::size_t fullName = SIZE_MAX;
    std::size_t email = SIZE_MAX;
    std::size_t group = SIZE_MAX;
};

std::size_t headed(const std::vector<std::string>& header, std::string_view name)
{
    auto found = std::find(header.begin(), header.end(), name);
    return found == header.end() ? SIZE_MAX : static_cast<std::size_t>(found - header.begin());
}

// The columns in the first language whose three that the import needs are
// all there; false where no language's are.
bool worksheetColumns(const CsvFile& file, WorksheetColumns& columns)
{
    if (file.records.empty())
        return false;
    std::vector<std::string> header;
    for (const CsvCell& cell : file.records.front().cells)
        header.push_back(cellValue(file, cell));
    for (const WorksheetWords& words : worksheetLanguages) {
        columns = {headed(header, words.identifier), headed(header, words.grade), headed(header, words.lastModified),
                   headed(header, words.feedback),   headed(header, words.maximum), headed(header, words.fullName),
                   headed(header, words.email),      headed(header, words.group)};
        if (columns.identifier != SIZE_MAX && columns.grade != SIZE_MAX && columns.lastModified != SIZE_MAX)
            return true;
    }
    return false;
}

bool isMoodleWorksheet(const CsvFile& file)
{
    WorksheetColumns columns;
    return worksheetColumns(file, columns);
}

// The participant number: the identifier's last digits, whatever word goes
// before them ("Participant 7", "Teilnehmer/in 7").
std::string participantOf(std::string_view identifier)
{
    while (!identifier.empty() && (identifier.back() == ' ' || identifier.back() == '\t'))
        identifier.remove_suffix(1);
    std::size_t start = identifier.size();
    while (start > 0 && identifier[start - 1] >= '0' && identifier[start - 1] <= '9')
        --start;
    std::string_view digits = identifier.substr(start);
    std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string(digits.empty() ? "" : "0") : std::string(digits.substr(first));
}

// Moodle keeps feedback comments as HTML: a student's "<i>x.txt" is text,
// and a line break is one.
std::string moodleHtml(std::string_view text)
{
    std::string html;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char c = text[at];
        if (c == '<')
            html += "&lt;";
        else if (c == '>')
            html += "&gt;";
        else if (c == '&')
            html += "&amp;";
        else if (c == '"')
            html += "&quot;";
        else if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
            continue;
        else if (c == '\n' || c == '\r')
            html += "<br>";
        else
            html += c;
    }
    return html;
}

std::string cellOr(const CsvFile& file, std::size_t record, std::size_t column)
{
    return column == SIZE_MAX ? std::string() : cellValue(file, record, column);
}

// The rows that name someone, with each row's maximum in hundredths (0
// where it says none); false, with `problem` said, where one is not the
// tests' total.
bool readWorksheetRows(const FillRequest& request, const WorksheetColumns& columns, std::vector<ExportRow>& rows,
                       std::vector<std::uint64_t>& maximums, std::string& problem)
{
    const CsvFile& file = request.file;
    for (std::size_t r = 1; r < file.records.size(); ++r) {
        std::string identifier = cellOr(file, r, columns.identifier);
        std::string name = cellOr(file, r, columns.fullName);
        if (identifier.empty() && name.empty())
            continue;
        std::uint64_t maximum = 0;
        if (readHundredths(cellOr(file, r, columns.maximum), maximum)) {
            problem = maximumProblem(
                request, "the maximum grade in row " + std::to_string(r + 1) + " of " + request.shownFile, maximum);
            if (!problem.empty())
                return false;
        }
        maximums.push_back(maximum);
        rows.push_back(ExportRow{r, participantOf(identifier), {}, cellOr(file, r, columns.email), {name},
                                 cellOr(file, r, columns.group)});
    }
    return true;
}

void fillMoodleWorksheet(const FillRequest& request, Filled& filled)
{
    const CsvFile& file = request.file;
    WorksheetColumns columns;
    if (!worksheetColumns(file, columns)) {
        filled.problem = request.shownFile + " is not Moodle's grading worksheet: no identifier, grade and last "
                         "modified columns among its columns, " + columnsRead(request);
        return;
    }
    std::vector<ExportRow> rows;
    std::vector<std::uint64_t> maximums;
    if (!readWorksheetRows(request, columns, rows, maximums, filled.problem))
        return;
    RowMatches matches = matchRows(request.students, request.siteIds, rows);
    filled.warnings = matchWarnings(request, rows, matches);
    Naming naming{request.forTerminal, request.utf8};
    std::uint64_t possible = possibleOf(request.tests);
    std::vector<CellEdit> edits;
    for (std::size_t s = 0; s < request.students.size(); ++s) {
        const Student& student = request.students[s];
        std::string comments = guardedText(moodleHtml(naming.raw(feedbackComments(request.tests, student))));
        for (std::size_t r : matches.rowsOf[s]) {
            std::size_t record = rows[r].record;
            std::string now = cellValue(file, record, columns.grade);
            NumberForm form = numberFormOf(now.empty() ? cellOr(file, record, columns.maximum) : now);
            std::uint64_t scaleTo = maximums[r] == possible * 100 ? 0 : maximums[r];
            edits.push_back(CellEdit{record, columns.grade, gradeText(totalOf(student), possible, scaleTo, form)});
            if (columns.feedback != SIZE_MAX)
                edits.push_back(CellEdit{record, columns.feedback, comments});
        }
    }
    filled.text = withEdits(file, std::move(edits));
}

// A team assignment's download puts the students in no team in this
// folder, with no number: it is theirs, graded as one, and tells that the
// other folders' numbers are teams', not participants'.
constexpr std::string_view noTeamFolder = "Default group_assignsubmission_file";
constexpr std::string_view noTeamName = "Default group";

// The students in no team, as a folder (with or without the trailing "_"
// of Moodle 3.1 to 4.0) or, with folders off, files named after it.
Placed placeNoTeam(const TopEntry& entry)
{
    std::string_view name = entry.name;
    if (!name.starts_with(noTeamFolder))
        return {};
    name.remove_prefix(noTeamFolder.size());
    if (entry.folder && (name.empty() || name == "_"))
        return Placed{true, std::string(noTeamName), std::string(noTeamName), {}, true, false, {}, {}};
    if (!entry.folder && name.size() > 1 && name.front() == '_')
        return Placed{true, std::string(noTeamName), std::string(noTeamName), {}, false, false,
                      std::string(name.substr(1)), {}};
    return {};
}

// Whether a student is the one a team assignment's download puts the
// students in no team under.
bool isNoTeam(const Student& student)
{
    auto underIt = [](std::string_view name) { return name.starts_with(noTeamFolder); };
    return std::any_of(student.folders.begin(), student.folders.end(), underIt) ||
           std::any_of(student.flatFiles.begin(), student.flatFiles.end(),
                       [&](const FlatFile& file) { return underIt(file.entry); });
}

Placed placeMoodleEntry(const TopEntry& entry)
{
    if (Placed noTeam = placeNoTeam(entry); noTeam.theirs)
        return noTeam;
    MoodleName moodle;
    if (entry.folder ? !readMoodleFolder(entry.name, moodle) : !readMoodleFile(entry.name, moodle))
        return {};
    return Placed{true, moodle.participantId, moodle.fullName, moodle.participantId, entry.folder,
                  !entry.folder && moodle.plugin != "file", moodle.fileName, {}};
}

// A folder's name that a file system takes: Moodle reads the id and the
// plugin after the first "_", so only the name before it is shortened.
std::string fittedFolder(const std::string& folder)
{
    constexpr std::size_t leastNameKept = 16;
    std::size_t underscore = folder.find('_');
    if (folder.size() <= longestNamePart || underscore == 0 || underscore == std::string::npos)
        return folder;
    std::size_t rest = folder.size() - underscore;
    std::size_t room = longestNamePart > rest + leastNameKept ? longestNamePart - rest : leastNameKept;
    return shortenedName(std::string_view(folder).substr(0, underscore), room) + folder.substr(underscore);
}

// Where Moodle's download put the student's files, which its feedback
// upload reads back.
std::string moodleFeedbackPath(const Student& student)
{
    // Moodle's feedback upload takes a number after the first "_": the
    // students in no team have none, and theirs would reach no one.
    if (isNoTeam(student))
        return {};
    for (const std::string& folder : student.folders)
        if (folder.find("_assignsubmission_file") != std::string::npos) {
            std::string name = folder;
            if (name.back() == '_')
                name.pop_back();
            return safePart(fittedFolder(name)) + "/feedback.txt";
        }
    // Moodle ignores what comes before the first underscore: the name must
    // hold none.
    std::string name(siteName(student));
    std::replace(name.begin(), name.end(), '_', ' ');
    return safePart(fittedFolder(name + "_" + student.lmsId + "_assignsubmission_file")) + "/feedback.txt";
}

// Moodle's grading worksheet, as its assignment takes it back: a row names
// its student by participant id, and a row that names none is passed over,
// so there is no out of row.
void moodleGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                     const GradebookShape& shape)
{
    Naming naming{shape.forTerminal, shape.utf8};
    bool teams = std::any_of(students.begin(), students.end(), isNoTeam);
    GradebookRow header(out);
    for (std::string_view column :
         {"Identifier", "Full name", "Grade", "Maximum Grade", "Last modified (grade)", "Feedback comments"})
        header.field(column);
    header.end();
    std::uint64_t possible = possibleOf(tests);
    for (const Student& student : students) {
        GradebookRow row(out);
        // A team's number is no participant's: its row is left to name no one.
        bool moodleIds = shape.siteIds && !student.lmsId.empty() && !teams;
        row.field(moodleIds ? "Participant " + naming.raw(student.lmsId) : std::string());
        row.field(naming.read(student.name));
        row.number(totalOf(student));
        row.number(possible);
        row.field(shape.when);
        row.field(guardedText(moodleHtml(naming.raw(feedbackComments(tests, student)))));
        row.end();
    }
}

}  // namespace

extern constinit const CourseSite moodleSite{
    .names = {.name = "moodle", .recognised = true, .place = placeMoodleEntry},
    .shownName = "Moodle",
    .ignoredWhy = " is not named as Moodle names a student's submission: ignored",
    .found = "SUBMISSIONS is Moodle's download, as SOURCE: each student's files named with their participant id",
    .foundOfFolder = true,
    .feedbackPath = moodleFeedbackPath,
    .gradebook = {.format = "moodle", .gloss = "(Moodle's grading worksheet)", .write = moodleGradebook,
                  .assignmentColumnIn = {}, .assignmentTitled = nullptr,
                  .exportName = "Moodle's grading worksheet", .isExport = isMoodleWorksheet,
                  .fill = fillMoodleWorksheet,
                  .ownMakingNote = "This worksheet is the run's own: it overwrites a grade changed on Moodle since the "
                                   "download, and places no team's grade; --into with Moodle's own worksheet keeps "
                                   "the one and places the other",
                  .matchesBy = "a participant id"},
};
