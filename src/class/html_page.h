// The class's results as one self-contained page: no script, nothing
// loaded from elsewhere, every text from a student escaped.
#ifndef LABELGRADE_HTML_PAGE_H
#define LABELGRADE_HTML_PAGE_H

#include "class.h"
#include "io/output.h"
#include "options.h"
#include "summary.h"

#include <string>
#include <vector>

// Writes the page, a row at a time.  `reportsLink`, when not empty, is the
// reports folder as a relative link from the page's folder, percent-encoded,
// ending in a slash; each score then links to its report.
void writeClassPage(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                    const std::vector<Student>& students, const std::string& reportsLink);

// The relative link from the folder the page goes in to the reports folder.
// False when either cannot be resolved.
bool reportsLinkFrom(const std::string& pagePath, const std::string& reportsDir, std::string& link);

#endif
