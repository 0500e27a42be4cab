// The names that learning systems give what they hand out, read back: who a
// file or folder of a download is, and what the student named it.
#ifndef LABELGRADE_LMS_NAMES_H
#define LABELGRADE_LMS_NAMES_H

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Canvas's "Download Submissions": every file at the zip's root, named
// `<name>[_LATE]_<user id>_<attachment id>_<file name>`, or for anonymous
// grading `[LATE_]anon_<anonymous id>_<attachment id>_<file name>`; a text or
// a link handed in is `<name>[_LATE]_<user id>_text.html` or `_link.html`.
struct CanvasName {
    std::string name;          // Canvas's folded name ("obrienpat"), or "anon"
    std::string userId;        // the user id, or the anonymous id
    std::string attachmentId;  // empty for a text or a link
    std::string fileName;      // what the student named the file
    bool late = false;
    bool anonymous = false;    // the id is an anonymous id, which names no user
    // Where the rest of the download cannot tell how the entry splits, the
    // other student it could be; empty where it tells.
    std::string otherName{};
    std::string otherUserId{};
};

// One entry read alone: where its name could split more than one way
// (`team_7_12342_900011_t1.sym`), the shortest name is taken.
bool readCanvasName(std::string_view entry, CanvasName& read);

// The entries of one download read together, which tells most names that
// one entry alone does not: a student's entries share their name and user
// id, an attachment id is one entry's, and an entry that splits one way
// only (a text, a link) shows who is there and how long the ids run.  Of
// the ways an entry splits, the one taken is, in this order: the one whose
// user id no entry that splits one way only gives another name; whose
// attachment id no other entry holds; whose name and user id an entry that
// splits one way only shows; that the most entries could be; whose ids are
// as long as most such entries' are.  Where two ways are left, the longer
// name is taken, the other kept in `otherName` and `otherUserId`: that name
// holds the other's ids, so a name chosen to hold another student's ids
// never makes a file theirs.  The download is one for grading anonymously
// only where no entry is a named student's: else an entry `anon_...` is
// the file of a student whose folded name is "anon".  Gives the reading of
// each entry, by its place, that reads otherwise together than alone.
std::map<std::size_t, CanvasName> readCanvasDownload(const std::vector<std::string_view>& entries);

// An entry read as the student's whose name and user id are known.
bool readCanvasNameAs(std::string_view entry, std::string_view name, std::string_view userId, CanvasName& read);

// Whether a Canvas entry is a text or a link handed in, which is no file of
// any test.
inline bool isCanvasText(const CanvasName& read)
{
    return read.attachmentId.empty();
}

// Moodle's "Download all submissions": a folder
// `<Full Name>_<participant id>_assignsubmission_file` (with a trailing "_"
// from Moodle 3.1 to 4.0) for each student, or with folders off, files
// `<Full Name>_<participant id>_assignsubmission_file_<file name>`; online
// text goes to `..._assignsubmission_onlinetext`.
struct MoodleName {
    std::string fullName;
    std::string participantId;
    std::string plugin;    // "file", "onlinetext"
    std::string fileName;  // for a file named flat, what the student named it
};

bool readMoodleFolder(std::string_view entry, MoodleName& read);
bool readMoodleFile(std::string_view entry, MoodleName& read);

#endif
