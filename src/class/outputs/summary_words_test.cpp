// The kinds in words: a first file's own note, and kinds tied on the
// students they hit listed in the order of their words, as they always were.
#include "class/outputs/summary_words.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

FindingCount counted(FindingKind kind, std::uint64_t students, std::uint32_t firstStudent, Diagnosis first = {})
{
    return FindingCount{kind, first, firstStudent, 0, students, students, {0}};
}

FindingKind causeKind(const Diagnosis& diagnosis)
{
    return FindingKind{.of = FindingOf::cause, .cause = causeKindOf(diagnosis)};
}

}  // namespace

TEST(WordedKinds, OrderKindsTiedOnTheirStudentsAndFirstFileByTheirWords)
{
    std::vector<Student> students(2);
    students[0].notes.push_back(FileNote{0, NoteKind::why, "refused: a link to /etc/passwd"});
    Diagnosis byNine{Cause::addressOffset, 0, false, 4, 9};
    byNine.from = 7;
    Diagnosis byTen{Cause::addressOffset, 0, false, 4, 10};
    Diagnosis bom{Cause::byteOrderMark};
    ClassSummary summary;
    summary.kinds.push_back(counted(causeKind(bom), 3, 0, bom));
    summary.kinds.push_back(counted(causeKind(byNine), 3, 0, byNine));
    summary.kinds.push_back(counted(causeKind(byTen), 3, 0, byTen));
    summary.kinds.push_back(counted(FindingKind{.of = FindingOf::notGraded, .state = FileState::refusedOutside}, 1, 0));
    summary.kinds.push_back(counted(FindingKind{.of = FindingOf::noReport, .error = ENOSPC}, 1, 1));
    summary.kinds.push_back(counted(causeKind(bom), 5, 1, bom));
    std::vector<WordedKind> worded = wordedKinds(summary, students);
    ASSERT_EQ(worded.size(), 6u);
    EXPECT_EQ(worded[0].count, &summary.kinds[5]);
    EXPECT_EQ(worded[1].text, "addresses off by +10 (+0xA)");
    EXPECT_EQ(worded[2].text, "addresses off by +9");
    EXPECT_EQ(worded[2].firstText, "addresses off by +9 from reference line 7 on (4 lines)");
    EXPECT_EQ(worded[3].text, "starts with a UTF-8 byte-order mark");
    EXPECT_EQ(worded[4].text, "refused: outside the student's folder");
    EXPECT_EQ(worded[4].firstText, "refused: a link to /etc/passwd");
    EXPECT_EQ(worded[5].text, "report not written: No space left on device");
    EXPECT_EQ(worded[5].firstText, worded[5].text);
}
