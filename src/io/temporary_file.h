// A file with no name, in TMPDIR (or /tmp), gone when its descriptor
// closes: bytes a run must set aside beyond what it holds in memory.
#ifndef LABELGRADE_TEMPORARY_FILE_H
#define LABELGRADE_TEMPORARY_FILE_H

#include "io/descriptor.h"

#include <cstdint>
#include <string_view>

// Open for reading and writing; fd -1 with errno set where none can be
// made.
Descriptor unnamedTemporaryFile();

// Writes all of `bytes` at offset `at` of `fd`; false, with errno set,
// where it could not.
bool writeAt(int fd, std::string_view bytes, std::uint64_t at);

#endif
