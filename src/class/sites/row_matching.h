// Which row of a course site's own gradebook export is which student's: by
// the site's id for them, else by login, email or name; never a row whose
// name plainly says it is someone else's, and never one two students claim.
#ifndef LABELGRADE_ROW_MATCHING_H
#define LABELGRADE_ROW_MATCHING_H

#include "class/model/class.h"

#include <cstddef>
#include <string>
#include <vector>

// Who a row names, as the export has it.
struct ExportRow {
    std::size_t record = 0;  // the row's place in the file
    std::string id;          // the site's id for the student, as digits; empty where none
    std::string login;
    std::string email;
    std::vector<std::string> names;  // the name as written, and in the other order where the site writes "Last, First"
    std::string group;               // the team's name, where the export has such a column
};

struct RowMatches {
    // For each student, the rows their grade goes to: one, or a team's
    // members' rows; none where they are not placed.
    std::vector<std::vector<std::size_t>> rowsOf;
    std::vector<std::size_t> unmatched;  // students no row names
    // Students whose id names a row that is plainly someone else's: a
    // team's submission where there is no team to find it in.
    std::vector<std::pair<std::size_t, std::size_t>> refusedId;  // student, row
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> manyRows;        // student, the rows
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> sharedRow;       // row, the students
    std::vector<std::size_t> ungraded;  // rows no student's grade reaches
};

// `siteIds`: the students' ids are the export's own site's.  Students who
// handed nothing in are no row's.
RowMatches matchRows(const std::vector<Student>& students, bool siteIds, const std::vector<ExportRow>& rows);

// Whether two names could be one person's: a word in common, or the same
// letters and digits (as Canvas folds a name into a download's).
bool namesAgree(std::string_view one, std::string_view other);

// The words of a name, lowercased (ASCII), split at whatever is not a
// letter or a digit; bytes past ASCII are letters.
std::vector<std::string> nameWords(std::string_view name);

#endif
