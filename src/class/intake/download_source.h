// SUBMISSIONS as a download, as the workers take its students: each
// student's choices as the first pass made them, and their files as the
// second pass read them, every upload among them in one pass.
#ifndef LABELGRADE_DOWNLOAD_SOURCE_H
#define LABELGRADE_DOWNLOAD_SOURCE_H

#include "class/intake/download_archive.h"
#include "class/intake/submission_source.h"

#include <memory>
#include <vector>

// `files` is what readDownload fills, per student of the plan and per test:
// a student is gathered only once it has handed them over.
std::unique_ptr<SubmissionSource> downloadSource(DownloadPlan& plan, std::vector<std::vector<StudentFile>>& files,
                                                 std::size_t tests);

#endif
