// The students of a class: a folder each in the submissions folder, and
// whoever the roster names.
#ifndef LABELGRADE_STUDENTS_H
#define LABELGRADE_STUDENTS_H

#include "class/intake/layout.h"
#include "class/model/class.h"

#include <string>
#include <utility>
#include <vector>

// The sites known, and the one asked for, or none: then the one the names
// read as.
struct LayoutChoice {
    std::vector<const SiteNames*> sites;
    bool given = false;
    std::size_t site = 0;  // in `sites`
};

// What listing the students found, and what is worth a warning.
struct Listing {
    std::size_t site = 0;  // the layout read, in the choice's sites
    std::vector<std::string> ignored;  // entries that are not folders
    // The one folder SUBMISSIONS held, a download wrapped in it, read from
    // inside; empty where SUBMISSIONS is read from its top.
    std::string within;
    // Entries passed over as what macOS adds beside files: __MACOSX, and
    // (in an archive, where they are listed) names that start with "._";
    // with nothing else, SUBMISSIONS holds no student.
    std::size_t litter = 0;
    // Entries that lead to a folder an earlier entry leads to: a link one
    // student's name makes to another's folder gets that student's grades.
    std::vector<std::pair<std::string, std::string>> sameFolder;
    // With links followed anywhere: each student's folder that is a link,
    // and the folder it leads to.
    std::vector<std::pair<std::string, std::string>> followed;
    // Entries whose names the download leaves two ways to read.
    std::vector<DoubtfulEntry> doubtful;
    // What the site said of entries as it read them.
    std::vector<EntryRemark> remarks;
    // Students' older submissions, set aside for their newest.
    std::vector<OlderSubmission> older;
};

// The students of `submissions`, in byte order of names, as the layout
// chosen (or the one its names read as) lays them out: a folder for each,
// or a learning system's download.  Names that start with a dot are no
// one's.  A link is a folder where it leads to a folder inside
// `submissions`; one that leads out makes its student's folder refused,
// unless `followLinks` (the instructor gathered the folders by links), and
// then where it led is kept.  False, with `error` saying why, when the
// folder cannot be read.
bool listStudents(const std::string& submissions, const LayoutChoice& choice, bool followLinks,
                  std::vector<Student>& students, Listing& listing, std::string& error);

#endif
