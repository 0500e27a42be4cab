// The names of the files and folders the run makes for students (report
// folders, feedback entries), as every file system and unzipping system
// takes them, whatever a student is named: one place for what Windows
// refuses, what shows nothing, and how long a name may be.
#ifndef LABELGRADE_FILE_NAMES_H
#define LABELGRADE_FILE_NAMES_H

#include <cstddef>
#include <string>
#include <string_view>

// A student's part of a name takes at most this many bytes: a file system
// takes 255 a name, and the run appends ids, "_feedback.txt" or " (2)".
constexpr std::size_t longestNamePart = 192;

// Whether Windows refuses the name whole: a device's (CON, PRN, AUX, NUL,
// COM1 to COM9, LPT1 to LPT9, in any case, with any extension), or one that
// ends with a dot or a blank, which Windows drops.
bool refusedByWindows(std::string_view name);

// Whether a character of the name is a control, not UTF-8, or shows
// nothing (a blank other than the space, a zero-width or steering one).
bool holdsUnseen(std::string_view name);

// The name, or its first bytes cut between characters and a short hash of
// the whole: two long names alike at the start stay apart.
std::string shortenedName(std::string_view name, std::size_t most = longestNamePart);

// The name as any file system takes it: what is unseen, a control, or a
// byte that Windows refuses in a name ("*/:<>?\|) made '_', a device's
// name or a last dot or blank told apart, an empty name or "." made "_",
// and a long one shortened.
std::string portableName(std::string_view name);

#endif
