// The feedback zip holds every student's feedback in the students' order,
// whatever order they are graded in, and whether what waits for the
// students before it is held in memory or written out of it.
#include "class/outputs/feedback.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::size_t students = 30;
// Together several times what may wait in memory.
constexpr std::size_t textSize = 100'000;

struct Written {
    std::string zip;
    std::vector<std::size_t> skipped;
    std::vector<std::pair<std::size_t, std::string>> renamed;
};

// Each student's feedback: one with no place on the course site, and two
// whose names a case-blind system takes for one, so that which is renamed
// shows the order they went in.
std::string pathOf(std::size_t student)
{
    if (student == 3)
        return {};
    if (student == 7 || student == 8)
        return (student == 7 ? "ann" : "ANN") + std::string("/feedback.txt");
    return std::string("s").append(std::to_string(student)).append("/feedback.txt");
}

std::string textOf(std::size_t student)
{
    return std::string(textSize, static_cast<char>('a' + student % 26)) + std::to_string(student) + "\n";
}

Written writeInOrder(const std::vector<std::size_t>& order)
{
    Descriptor file(memfd_create("feedback", 0));
    FeedbackZip feedback;
    EXPECT_TRUE(openZipWriter(file.fd, feedback.zip));
    for (std::size_t student : order)
        addFeedback(feedback, student, pathOf(student), textOf(student));
    writeWaitingFeedback(feedback);
    EXPECT_FALSE(feedback.failed);
    EXPECT_TRUE(closeZipWriter(feedback.zip));
    EXPECT_TRUE(feedback.waiting.empty());
    std::string bytes(static_cast<std::size_t>(lseek(file.fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(pread(file.fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    return Written{bytes, feedback.skipped, feedback.renamed};
}

void expectSame(const Written& written, const Written& expected)
{
    EXPECT_TRUE(written.zip == expected.zip);
    EXPECT_EQ(written.skipped, expected.skipped);
    EXPECT_EQ(written.renamed, expected.renamed);
}

// TMPDIR, set for the test's span.
struct TemporaryFolder {
    std::optional<std::string> was;
    explicit TemporaryFolder(const char* folder)
    {
        if (const char* old = std::getenv("TMPDIR"))
            was = old;
        setenv("TMPDIR", folder, 1);
    }
    ~TemporaryFolder()
    {
        if (was)
            setenv("TMPDIR", was->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
};

std::vector<std::size_t> order(bool reversed)
{
    std::vector<std::size_t> students(::students);
    for (std::size_t s = 0; s < students.size(); ++s)
        students[s] = reversed ? students.size() - 1 - s : s;
    return students;
}

TEST(FeedbackZip, TheStudentsOrderWhateverOrderTheyFinishIn)
{
    Written inOrder = writeInOrder(order(false));
    ASSERT_EQ(inOrder.skipped, std::vector<std::size_t>{3});
    ASSERT_EQ(inOrder.renamed.size(), 1u);
    EXPECT_EQ(inOrder.renamed[0].first, 8u);

    // The first student last: all the others wait, most of them spilled.
    expectSame(writeInOrder(order(true)), inOrder);
    // Pairs swapped: each waits for one student only.
    std::vector<std::size_t> swapped = order(false);
    for (std::size_t s = 0; s + 1 < swapped.size(); s += 2)
        std::swap(swapped[s], swapped[s + 1]);
    expectSame(writeInOrder(swapped), inOrder);
}

TEST(FeedbackZip, HeldInMemoryWhereNoSpillCanBeWritten)
{
    Written inOrder = writeInOrder(order(false));
    TemporaryFolder nowhere("/nonexistent-folder");
    expectSame(writeInOrder(order(true)), inOrder);
}

}  // namespace
