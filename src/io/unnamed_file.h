// A temporary file that no one else can open: it has no name, or loses it
// at once, and is gone when its descriptor is closed, however the run ends.
#ifndef LABELGRADE_UNNAMED_FILE_H
#define LABELGRADE_UNNAMED_FILE_H

#include "io/descriptor.h"

#include <string>

// The folder for temporary files: TMPDIR where it is set, else /tmp.
std::string temporaryFolder();

// A new file in `folder`, open for reading and writing; a descriptor of -1,
// with `error` set to errno, where none can be made.
Descriptor unnamedFile(const std::string& folder, int& error);

#endif
