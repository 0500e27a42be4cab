// The tests of a class: the reference files of the references folder.
#ifndef LABELGRADE_REFERENCES_H
#define LABELGRADE_REFERENCES_H

#include "class/model/class.h"

#include <string>
#include <string_view>
#include <vector>

// A test's number, for the score line: the first run of decimal digits in
// its name (3.sym, t03.sym and prog3-loops.sym are test 3), 0 where there is
// none.
std::int32_t testNumberOf(std::string_view name);

// The numbers, from 1, of the lines of a reference that hold no whole
// symbol: no student can be right there.
std::vector<std::uint64_t> incompleteLines(std::string_view reference);

// A name's extension, in lower case: what follows its last dot, none for
// a name without one or whose only dot starts it.
std::string extensionOf(std::string_view name);

// The references folder, read.
struct ReferenceFolder {
    std::vector<Test> tests;             // ordered by test number, then by name
    std::vector<std::string> skipped;    // neither regular files nor folders (a FIFO, a device): not read
    std::vector<std::string> notTests;   // files whose extension is not the tests': not read
};

// Loads the tests: the regular files of the folder whose name does not
// start with a dot and whose extension is the tests'.  The tests' extension
// is the one most of the files have; where two or more have as many, the
// one more of whose names hold a digit; where that ties too, each of them.
// A name without an extension counts as an extension of its own.  False,
// with `error` saying why, when the folder or a reference cannot be read,
// a link that leads nowhere included.
bool loadTests(const std::string& folder, ReferenceFolder& loaded, std::string& error);

// What a warning says of the tests' extensions: "the tests' names end in
// .sym", "... have no extension".
std::string testExtensionWords(const std::vector<Test>& tests);

// Why REFERENCES and SUBMISSIONS seem given the wrong way round, where
// they do: REFERENCES a file (a site's download) or a folder of folders
// alone, and SUBMISSIONS (named `operand` in the words) a folder of files.
// Empty where they do not.  The names it quotes are students' and are
// escaped, for a terminal that reads UTF-8 or not.
std::string swappedFolders(const std::string& references, const std::string& submissions, bool utf8,
                           std::string_view operand = "SUBMISSIONS");

#endif
