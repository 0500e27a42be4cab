#include "class/intake/download_source.h"

namespace {

struct DownloadSource final : SubmissionSource {
    DownloadPlan& plan;
    std::vector<std::vector<StudentFile>>& files;
    std::size_t tests = 0;

    DownloadSource(DownloadPlan& plan, std::vector<std::vector<StudentFile>>& files, std::size_t tests)
        : plan(plan), files(files), tests(tests)
    {
    }

    void gather(Student& student, StudentSubmission& submission) const override
    {
        submission.choices.assign(tests, Choice{});
        if (student.hasFolder && !student.folderOutside)
            submission.choices = std::move(plan.choices[student.sourceIndex]);
    }

    StudentFile open(const Student& student, StudentSubmission&, std::size_t test) const override
    {
        return std::move(files[student.sourceIndex][test]);
    }

    // A class's files are let go as each student is graded, not held to
    // the end of the run.
    void release(const Student& student) const override
    {
        if (student.sourceIndex != UINT32_MAX)
            std::vector<StudentFile>().swap(files[student.sourceIndex]);
    }
};

}  // namespace

std::unique_ptr<SubmissionSource> downloadSource(DownloadPlan& plan, std::vector<std::vector<StudentFile>>& files,
                                                 std::size_t tests)
{
    return std::make_unique<DownloadSource>(plan, files, tests);
}
