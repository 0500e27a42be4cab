// Reading a small file whole: a reference, a roster.
#ifndef LABELGRADE_WHOLE_FILE_H
#define LABELGRADE_WHOLE_FILE_H

#include <string>

// Appends the rest of the open file `fd` to `bytes`; false, with errno set,
// on a read error.
bool readWholeFile(int fd, std::string& bytes);

#endif
