// Students' files that are one file: a hard link from one student's folder
// to another's (an archive's hard-link member, or a copy that shares the
// classmate's file).  Each is graded as it stands, for each student, but
// never as if it were each one's own work without a word: both rows say
// so, the summary names it first, and it is no evidence of copying.
#ifndef LABELGRADE_SAME_FILES_H
#define LABELGRADE_SAME_FILES_H

#include "class/model/class.h"

#include <cstdint>
#include <string>
#include <vector>

// A graded file that other names lead to too.
struct LinkedFile {
    FileId file;
    std::uint32_t student = 0;
    std::uint32_t test = 0;
};

// Notes, on each student's row, the graded files that are one file with
// another student's, and adds a notice for each such file (names shown as
// on a terminal, `utf8` as it reads).
void noteSameFiles(std::vector<LinkedFile> linked, std::vector<Student>& students, const std::vector<Test>& tests,
                   bool utf8, std::vector<std::string>& notices);

#endif
