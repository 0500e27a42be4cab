// What a student handed in, where SUBMISSIONS is a folder: the entries of
// the student's folders, their files at its top, and what each archive
// they uploaded holds; and the one chosen for a test, opened to be graded.
// The source of submissions that a folder SUBMISSIONS is.
#ifndef LABELGRADE_FOLDER_SUBMISSIONS_H
#define LABELGRADE_FOLDER_SUBMISSIONS_H

#include "class/model/class.h"
#include "class/intake/handed_in.h"
#include "class/intake/student_files.h"
#include "class/intake/submission_source.h"

#include <memory>
#include <string>
#include <vector>

// Opens the student's folders (a link only where it stays in SUBMISSIONS,
// unless `followLinks`) and gathers what they handed in.  `error` is the
// errno of a folder that could not be opened.  Listing the uploads among
// them is charged to `budget`.
Handed gatherHanded(int submissions, bool followLinks, const Student& student, const std::vector<FileId>& references,
                    StudentPlaces& places, UploadReaders& readers, UploadBudget& budget, int& error);

// Opens test `test`'s chosen file (its choice graded) to be graded,
// judged as a student's file is.  One that lies inside an upload is read
// whole, with every other test's file there, in one pass over the upload
// the first time one is wanted.
StudentFile openHanded(const StudentPlaces& places, StudentSubmission& submission, std::size_t test,
                       const std::vector<FileId>& references, UploadReaders& readers);

// SUBMISSIONS as a folder, open on `submissions` and named `root` in the
// reports: each student's folders (a link only where it stays inside,
// unless `followLinks`) and their files at its top.
std::unique_ptr<SubmissionSource> folderSource(int submissions, std::string root, bool followLinks,
                                               const std::vector<Test>& tests);

#endif
