// One student's submission, graded alone (labelgrade-class --student): a
// folder, read as a class's student folder is, or an archive whose regular
// files, at any depth, are the student's own.
#ifndef LABELGRADE_ONE_STUDENT_H
#define LABELGRADE_ONE_STUDENT_H

#include "class/model/class.h"
#include "class/intake/submission_source.h"

#include <memory>
#include <string>
#include <vector>

// Opens and lists the submission at `path`, which its reports name it by;
// none, with `why`, where it cannot be read at all.
std::unique_ptr<SubmissionSource> oneStudentSource(const std::string& path, const std::vector<Test>& tests,
                                                   std::string& why);

#endif
