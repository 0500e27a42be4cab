// The names that learning systems give what they hand out, read back: who a
// file or folder of a download is, and what the student named it.
#ifndef LABELGRADE_LMS_NAMES_H
#define LABELGRADE_LMS_NAMES_H

#include <string>
#include <string_view>

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
};

bool readCanvasName(std::string_view entry, CanvasName& read);

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
