#include "class/intake/submission_source.h"

#include "class/intake/uploads.h"

namespace {

void keepRead(StudentSubmission& submission, std::size_t test, StudentFile file)
{
    if (submission.read.size() < submission.choices.size())
        submission.read.resize(submission.choices.size());
    submission.read[test] = std::move(file);
}

}  // namespace

std::vector<std::size_t> testsInArchive(const StudentSubmission& submission, SourceKind kind, std::uint32_t container)
{
    std::vector<std::size_t> tests;
    for (std::size_t t = 0; t < submission.choices.size(); ++t) {
        if (submission.choices[t].state != FileState::graded)
            continue;
        const FileSource& source = submission.handed.sources[submission.choices[t].file];
        // A refused entry is refused without opening its archive.
        if (source.kind == kind && source.container == container && source.refused == FileState::graded)
            tests.push_back(t);
    }
    return tests;
}

void readAhead(UploadReaders& readers, int fd, StudentSubmission& submission, const std::vector<std::size_t>& tests)
{
    std::vector<std::string_view> paths;
    for (std::size_t t : tests)
        paths.push_back(submission.handed.sources[submission.choices[t].file].entry);
    std::vector<UploadFile> files = readUploadEntries(readers, UploadPlace{fd}, paths, submission.uploads);
    for (std::size_t i = 0; i < tests.size(); ++i) {
        StudentFile file;
        file.state = files[i].state;
        file.inMemory = true;
        file.size = files[i].bytes.size();
        file.bytes = std::move(files[i].bytes);
        keepRead(submission, tests[i], std::move(file));
    }
}

void markRead(StudentSubmission& submission, const std::vector<std::size_t>& tests, FileState state)
{
    for (std::size_t t : tests) {
        StudentFile file;
        file.state = state;
        keepRead(submission, t, std::move(file));
    }
}

bool wasRead(const StudentSubmission& submission, std::size_t test)
{
    return test < submission.read.size() && submission.read[test].has_value();
}

StudentFile takeRead(StudentSubmission& submission, std::size_t test)
{
    return std::move(*submission.read[test]);
}
