// How SUBMISSIONS lays out the students' files: a folder per student, or as
// a course site's download hands them out, found by looking at the names of
// what it holds at its top.  Intake knows a site only by how it names what
// it holds, which the sites give it.
#ifndef LABELGRADE_LAYOUT_H
#define LABELGRADE_LAYOUT_H

#include "class/model/class.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What SUBMISSIONS holds at its top, a folder or an archive alike.
struct TopEntry {
    std::string_view name;
    bool folder = false;
    // Where the site reads the entry's text to place the others (a
    // receipt), its first bytes: up to textRead, and one more where there
    // was more.
    std::string_view text{};
};

// How much of one entry's text a site may read: a receipt is a few hundred
// bytes, and one a student's comments swelled is read no further.
constexpr std::size_t textRead = 64 * 1024;

// What one entry at the top is as a site names it: whose, and what of theirs.
struct Placed {
    bool theirs = false;  // false: no student's, and ignored
    std::string key;      // who: the site's id for them, or a folder's name
    std::string name;     // as shown
    std::string siteId;   // the site's id for the student, kept for its gradebook; none for a folder of one's own
    bool folder = false;
    bool text = false;    // a text or a link handed in, which is no file
    std::string fileName;
    std::string fileId;   // the site's id for the file, which its feedback may name
    bool anonymous = false;  // siteId is an id for grading anonymously, which names no one
    // Where the download cannot tell whose the entry is, the other student
    // it could be, as the site names them; the entry is never theirs.
    std::string otherName{};
    std::string otherSiteId{};
    // What the summary says of the entry, besides its being theirs, or in
    // place of the site's words for an entry ignored: a notice, or where
    // `warns` a warning.  `quiet`: ignored without a word, another entry
    // (an earlier attempt's receipt) speaking for it.
    std::string remark{};
    bool warns = false;
    bool quiet = false;
    // Where the entry is one of the student's older submissions, set aside:
    // the entry of their newest, which alone is graded.
    std::string newest{};
};

// What the summary says of one entry at the top, as its site read it.
struct EntryRemark {
    std::string entry;
    std::string text;
    bool warns = false;
};

// An older submission of a student's, set aside for their newest.
struct OlderSubmission {
    std::string entry;
    std::string name;  // whose
    std::string newest;
};

// An entry at the top that could be another student's than the one it is
// graded as, for a warning.
struct DoubtfulEntry {
    std::string entry;
    std::string name;    // who it is graded as
    std::string siteId;
    std::string otherName{};
    std::string otherSiteId{};
};

// How a course site names what its download holds.
struct SiteNames {
    std::string_view name;  // as --layout takes it
    // Whether the names alone tell the site: false for the one layout that
    // is left where no site's names are found.
    bool recognised = true;
    Placed (*place)(const TopEntry& entry) = nullptr;
    // Where an entry's name is read rightly only beside the others', the
    // entries at the top read at once: those, by place, that read
    // otherwise than alone.
    std::map<std::size_t, Placed> (*placeTogether)(const std::vector<TopEntry>& entries) = nullptr;
    // The student's own name for a file laid out flat, read as the one of
    // `owner`'s that it is; else read alone.
    std::string (*fileNameOf)(std::string_view entry, const Student& owner) = nullptr;
    // The files at the top whose text the site reads to place the others,
    // by name: none where names alone tell.  A student then keeps each of
    // their files' names as the text gave it.
    bool (*readsText)(std::string_view name) = nullptr;
};

// The sites known, in the order their names are listed and tried.
using SiteList = std::span<const SiteNames* const>;

// The site the names read as: of the sites where most of the files, or
// most of the folders, are named as the site names them, the one that
// names the most entries (the first listed, on a tie); where there is none,
// the site that is not recognised by names.
std::size_t detectLayout(SiteList sites, const std::vector<TopEntry>& entries);

// Whether a folder is named as a site names one student's: a download of
// that one student, not a class.
bool namesOneStudent(SiteList sites, std::string_view folder);

// Whether what one folder holds reads as a class: a recognised site's
// download, or a folder for each student (folders and nothing else).  A
// download wrapped in that folder is read from inside it; a student's own
// folder, whose top holds their files, is not.
bool readsAsClass(SiteList sites, const std::vector<TopEntry>& entries);

constexpr std::uint32_t noOwner = UINT32_MAX;

// The name the student gave a file that a download lays out flat, read
// out of the name the site gave it as `owner`'s; empty where the entry is
// none.
std::string flatFileName(const SiteNames& site, std::string_view entry, const Student& owner);

// The students that the top entries make as `site` names them, in byte
// order of names (a site's id for a student is one student, whatever files
// or folders hold them); `ignored` gets the entries that are no student's.
// With `owners`, each entry's student is told there instead of kept as the
// student's file (but for their first), as a download of hundreds of
// thousands of files needs.  With `doubtful`, the entries that could be
// another student's are told there; with `older`, the older submissions
// set aside, which are no one's; with `remarks`, what the site says of
// entries.
std::vector<Student> studentsOf(const SiteNames& site, const std::vector<TopEntry>& entries,
                                std::vector<std::string>& ignored, std::vector<std::uint32_t>* owners = nullptr,
                                std::vector<DoubtfulEntry>* doubtful = nullptr,
                                std::vector<OlderSubmission>* older = nullptr,
                                std::vector<EntryRemark>* remarks = nullptr);

// Whether any of the sites reads the text of a file named `name`.
bool anySiteReadsText(SiteList sites, std::string_view name);

#endif
