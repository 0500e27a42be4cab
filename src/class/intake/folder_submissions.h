// What a student handed in, where SUBMISSIONS is a folder: the entries of
// the student's folders, their files at its top, and what each archive
// they uploaded holds; and the one chosen for a test, opened to be graded.
#ifndef LABELGRADE_FOLDER_SUBMISSIONS_H
#define LABELGRADE_FOLDER_SUBMISSIONS_H

#include "class/model/class.h"
#include "class/intake/handed_in.h"
#include "class/intake/student_files.h"

#include <vector>

// Where a student's files lie, open while the student is graded.
struct StudentPlaces {
    int submissions = -1;
    std::vector<StudentFolder> folders;  // each of the student's, in their order
    std::vector<bool> listed;            // which could be opened and listed
};

// Opens the student's folders (a link only where it stays in SUBMISSIONS,
// unless `followLinks`) and gathers what they handed in.  `error` is the
// errno of a folder that could not be opened.
Handed gatherHanded(int submissions, bool followLinks, const Student& student, const std::vector<FileId>& references,
                    StudentPlaces& places, int& error);

// Opens the handed-in file `file` to be graded, judged as a student's file
// is: read whole where it lies inside an upload.
StudentFile openHanded(const StudentPlaces& places, const Handed& handed, std::size_t file,
                       const std::vector<FileId>& references);

#endif
