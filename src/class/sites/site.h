// A course site, whole: how its download is recognised and read, what it
// says of what it found and ignored, where its feedback goes and the
// gradebook it takes back.  Each site is one row of the table, in a file of
// its own; a folder per student is a row too, the one left where no site's
// names are found.
#ifndef LABELGRADE_SITE_H
#define LABELGRADE_SITE_H

#include "class/intake/layout.h"
#include "class/model/class.h"
#include "class/outputs/gradebook.h"
#include "class/sites/export_filling.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// The gradebook a site takes back, as --format names it.
struct SiteGradebook {
    std::string_view format;  // --format's name for it
    std::string_view gloss;   // what the usage says after its name, if anything
    GradebookWriter write = nullptr;
    // Where --assignment titles its one column, the total: the gradebook
    // as the message that asks for it says it ("Canvas's gradebook"); empty
    // where it has no such column.
    std::string_view assignmentColumnIn;
    // Whether a title is one the site's import takes for that column's
    // assignment, and else why not; none where any title is.
    bool (*assignmentTitled)(std::string_view title, std::string& problem) = nullptr;
    // The site's own gradebook export, as --into takes it: whether a file
    // is one (by its header), and the export filled in.  None where the
    // site has none.
    std::string_view exportName;  // "Canvas's gradebook export", as messages name it
    bool (*isExport)(const CsvFile& file) = nullptr;
    void (*fill)(const FillRequest& request, Filled& filled) = nullptr;
    // What the summary says where the gradebook is of the run's making and
    // the site's own export would serve better; empty where it would not.
    std::string_view ownMakingNote;
    // What the site finds a row's student by ("a user id"); empty for the
    // plain gradebook, which fits every layout.
    std::string_view matchesBy = {};
    // Whether the site also finds a student of a folder per student, by
    // the folder's name.
    bool namesFolders = false;
    // How an anonymous download's grades go back, where its ids name no
    // one in the gradebook; empty where the site's downloads are never so.
    std::string_view anonymousWay = {};
    // Where the run cannot write the gradebook of its own making, but only
    // fill the site's export, why: --format refuses it without --into.
    std::string_view exportNeeded = {};
};

struct CourseSite {
    SiteNames names;            // --layout's name, and how the download names what it holds
    std::string_view shownName; // "Canvas", as the usage lists the downloads read; empty for no site
    // Why an entry at the top is no student's, said after its name.
    std::string_view ignoredWhy;
    // What the summary says was found, with SOURCE where "a folder" or "an
    // archive" goes.
    std::string_view found;
    // Whether the summary says so even of a folder (else only of an archive).
    bool foundOfFolder = true;
    // Where a student's feedback goes in the zip; none where the site could
    // not take it.
    std::string (*feedbackPath)(const Student& student) = nullptr;
    SiteGradebook gradebook;
    // What the summary says of --feedback's zip where the site takes no
    // such zip back; empty where it does.
    std::string_view feedbackNote = {};
    // A file at the download's top that the feedback zip carries back as
    // it came, where the site needs it there; empty where none.
    std::string_view feedbackKeeps = {};
};

// Every site, in the order the usage lists them and the names are tried:
// the first is a folder per student, with the plain gradebook, the default
// of --layout and --format.
std::span<const CourseSite* const> courseSites();

// The sites as intake knows them, in the same order.
std::vector<const SiteNames*> siteNames();

// The site --layout names, or none.
const CourseSite* siteNamed(std::string_view name);

// The site whose gradebook --format names, or none.
const CourseSite* siteWithGradebook(std::string_view format);

// Why the gradebook `gradebook` names, matches no student of SUBMISSIONS read
// as `layout` lays it out (and `anonymous` where its ids are for grading
// anonymously), said after "--format NAME does not fit SUBMISSIONS"; empty
// where it fits.
std::string gradebookMisfit(const CourseSite& gradebook, const CourseSite& layout, bool anonymous);

// Names as a sentence lists them: "a, b or c", with `last` " or ".
std::string listed(const std::vector<std::string_view>& names, std::string_view last);

// The summary's words for a site found, as a folder or an archive.
std::string foundWords(const CourseSite& site, bool archive);

#endif
