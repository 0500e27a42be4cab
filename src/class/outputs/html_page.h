// The class's results as one self-contained page: no script, nothing
// loaded from elsewhere, every text from a student escaped.
#ifndef LABELGRADE_HTML_PAGE_H
#define LABELGRADE_HTML_PAGE_H

#include "class/model/class.h"
#include "io/output.h"
#include "class/explaining/summary.h"

#include <string>
#include <vector>

// What the page says of the run besides the class.
struct PageHeading {
    std::string title;        // the instructor's; empty: a plain one
    std::string date;         // the run's, as YYYY-MM-DD
    // The reports folder as a relative link from the page's folder,
    // percent-encoded, ending in a slash; each score then links to its
    // report.  Empty: no reports.
    std::string reportsLink;
};

// Writes the page, a row at a time.
void writeClassPage(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                    const std::vector<Student>& students, const PageHeading& heading);

// The date of a run, as YYYY-MM-DD in UTC: SOURCE_DATE_EPOCH's when that is
// set to a number of seconds (so that a run can be made again to the byte),
// else today's.
std::string runDate(const char* sourceDateEpoch);

// The relative link from the folder the page goes in to the reports folder.
// False when either cannot be resolved.
bool reportsLinkFrom(const std::string& pagePath, const std::string& reportsDir, std::string& link);

#endif
