// A file a download holds at its top beside the students' (a site's list
// of the submissions), read as it is, so that what goes back to the site
// can carry it.
#ifndef LABELGRADE_TOP_FILE_H
#define LABELGRADE_TOP_FILE_H

#include <string>
#include <string_view>

// The file `name` at the top of SUBMISSIONS, open as `fd`: a folder (the
// one the students' folders lie in) or an archive, where they lie in the
// folder `within` (empty: its root).  False where it is not there, or is
// no regular file, or is larger than any such list.
bool readTopFile(int fd, bool archive, std::string_view within, std::string_view name, std::string& bytes);

#endif
