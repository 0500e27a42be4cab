// What a student handed in, and which of it is each test's file: the
// choice, and the notes a reader must have where a file was graded under
// another name, where two could be it, and where none was found.
#ifndef LABELGRADE_HANDED_IN_H
#define LABELGRADE_HANDED_IN_H

#include "class/model/class.h"
#include "class/intake/file_matching.h"

#include <cstdint>
#include <string>
#include <vector>

// Where a file a student handed in is read from.
enum class SourceKind : std::uint8_t {
    inFolder,  // an entry of one of the student's folders
    flat,      // an entry at SUBMISSIONS's top
    inUpload,  // an entry of an archive the student uploaded
    inDownload,  // an entry of SUBMISSIONS as an archive, by its path there
};

struct FileSource {
    SourceKind kind = SourceKind::inFolder;
    std::uint32_t container = 0;  // the student's folder, or the upload's own index among the files
    std::string entry;            // the name there, or the path inside the upload
    // Inside an upload, an entry that is no file to read (a link, a device,
    // a path out of the archive) is refused for what it is.
    FileState refused = FileState::graded;
};

struct Handed {
    std::vector<HandedIn> files;     // what matching sees
    std::vector<FileSource> sources; // where each is
    // Why an upload among the files could not be read, where one could not.
    std::vector<std::string> troubles;
};

// Each test's file: graded (the file chosen), missing or ambiguous.
struct Choice {
    FileState state = FileState::missing;
    std::size_t file = 0;
};

// Chooses each test's file among what the student handed in, and adds to
// `notes` what the reports and the notes say of the choice.
std::vector<Choice> chooseFiles(const std::vector<Test>& tests, const Handed& handed, std::vector<FileNote>& notes);

#endif
