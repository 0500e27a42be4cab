// Finding a test's file among what a student handed in, as students and
// learning systems name files: the test's own name first; where there is
// none, the same name in another letter case, a learning system's rename of
// a re-upload (t1-1.sym, t1-2.sym: the highest), a browser's copy number
// (t1 (1).sym: the highest), an added .txt; and only then the same, in turn,
// inside an archive the student uploaded.  Two files that the rules cannot
// order are both named, and neither is graded: a grade never rests on a
// guess.
#ifndef LABELGRADE_FILE_MATCHING_H
#define LABELGRADE_FILE_MATCHING_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A file a student handed in.
struct HandedIn {
    std::string name;       // its own name, the last component of its path
    std::string shown;      // how a note names it: "T1-1.SYM", "lab3.zip/lab3/t1.sym"
    bool inUpload = false;  // it lies inside an archive the student uploaded
};

// The rules, in the order they are tried.
enum class MatchRule { name, letterCase, reupload, copyNumber, addedTxt };

struct Match {
    // The files handed in that the first rule to find any found, by index:
    // one where it is the test's file, two or more where the rule cannot
    // tell them apart, none where no rule found any.
    std::vector<std::size_t> found;
    MatchRule rule = MatchRule::name;
    bool inUpload = false;
};

Match matchTest(std::string_view testName, const std::vector<HandedIn>& files);

#endif
