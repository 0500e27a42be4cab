// The platforms' results files at their edges: any bytes in, valid JSON
// out; a report longer than PrairieLearn takes, cut to fit, the score kept.
#include "class/outputs/platform_results.h"

#include <gtest/gtest.h>

namespace {

// Whether a JSON text holds no raw control byte and is well-formed UTF-8,
// as a JSON parser needs.
bool validJsonBytes(std::string_view json)
{
    for (std::size_t at = 0; at < json.size();) {
        auto byte = static_cast<unsigned char>(json[at]);
        if (byte < 0x20 && byte != '\n')
            return false;
        std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
        if (length == 0 || at + length > json.size())
            return false;
        for (std::size_t i = 1; i < length; ++i)
            if ((static_cast<unsigned char>(json[at + i]) & 0xC0) != 0x80)
                return false;
        at += length;
    }
    return true;
}

StudentOutcome oneTest(std::string report, std::uint64_t score = 1, std::uint64_t outOf = 2)
{
    StudentOutcome outcome;
    outcome.tests.push_back(TestOutcome{"t1.sym", 1, score, outOf, {"CR LF line ends"}, std::move(report)});
    return outcome;
}

}  // namespace

TEST(PlatformResults, StayValidJsonWhateverTheStudentsBytes)
{
    std::string hostile("Checking: \x1b[2J\"\\ \xff\xfe \xe2\x80\xae\r\0x\n", 26);
    for (const std::string& json : {gradescopeResults(oneTest(hostile), "visible"), prairieLearnResults(oneTest(hostile))}) {
        EXPECT_TRUE(validJsonBytes(json)) << json;
        EXPECT_NE(json.find("\\\\x1b[2J\\\"\\\\\\\\ \\\\xff\\\\xfe \\\\u{202E}\\\\r\\\\x00x\\n"), std::string::npos) << json;
    }
}

TEST(PlatformResults, TellPassedOnlyAtFullMarks)
{
    EXPECT_NE(gradescopeResults(oneTest("", 2, 2), "hidden").find("\"status\": \"passed\""), std::string::npos);
    EXPECT_NE(gradescopeResults(oneTest("", 1, 2), "hidden").find("\"status\": \"failed\""), std::string::npos);
    EXPECT_NE(prairieLearnResults(oneTest("", 1, 2)).find("\"score\": 0.5"), std::string::npos);
}

TEST(PlatformResults, CutAReportTooLongForPrairieLearnAndKeepTheScore)
{
    std::string report;
    while (report.size() < 3'000'000)
        report += "Checking: 0000 START\n  Address is 0000 but should be 0001.\n";
    std::string json = prairieLearnResults(oneTest(report, 1, 2));
    EXPECT_LE(json.size(), prairieLearnLimit);
    EXPECT_NE(json.find("The report is cut here"), std::string::npos);
    EXPECT_NE(json.find("\"points\": 1, \"max_points\": 2"), std::string::npos);

    // Many tests, each with a long report and causes that JSON writes six
    // bytes a byte: the room left for reports is what the rest leaves.
    StudentOutcome many;
    for (std::int32_t t = 1; t <= 40; ++t) {
        TestOutcome test{std::string("t").append(std::to_string(t)), t, 0, 2, {std::string(2000, '\x01')}, report};
        many.tests.push_back(std::move(test));
    }
    EXPECT_LE(prairieLearnResults(many).size(), prairieLearnLimit);
}

TEST(PlatformResults, CutALineOfWideCharactersBetweenThem)
{
    // One line, no newline to cut at, of characters of two, three and four
    // bytes: wherever the bound falls, the cut falls between characters.
    for (std::string_view character : {"\u00e9", "\u20ac", "\U0001F600"}) {
        std::string line = "Comparing ";
        while (line.size() < 200'000)
            line += character;
        for (std::size_t limit : {std::size_t{40'001}, std::size_t{40'002}, std::size_t{40'003}}) {
            std::string prairie = prairieLearnResults(oneTest(line), limit);
            std::string gradescope = gradescopeResults(oneTest(line), "visible", limit);
            EXPECT_TRUE(validJsonBytes(prairie) && validJsonBytes(gradescope)) << character << " " << limit;
            EXPECT_NE(prairie.find("The report is cut here"), std::string::npos);
        }
    }
}

TEST(PlatformResults, GradescopeReadsTextAndWithinItsBound)
{
    // A file name is markup where Gradescope renders HTML: text it is, at
    // the top and in every test.
    StudentOutcome named = oneTest("Comparing <img src=x>.sym to t1.sym:\n");
    std::string json = gradescopeResults(named, "visible");
    EXPECT_NE(json.find("\"output_format\": \"text\""), std::string::npos);
    EXPECT_NE(json.find("\"test_output_format\": \"text\""), std::string::npos);
    EXPECT_NE(json.find("<img src=x>"), std::string::npos);

    std::string report;
    while (report.size() < 3'000'000)
        report += "Checking: 0000 <b>START</b>\n  Address is 0000 but should be 0001.\n";
    StudentOutcome many;
    for (std::int32_t t = 1; t <= 4; ++t)
        many.tests.push_back(TestOutcome{std::string("t").append(std::to_string(t)), t, 1, 2,
                                        {std::string(200'000, '\x01')}, report});
    std::string big = gradescopeResults(many, "hidden");
    EXPECT_LE(big.size(), gradescopeLimit);
    EXPECT_NE(big.find("The report is cut here"), std::string::npos);
    EXPECT_NE(big.find("\"score\": 4,"), std::string::npos);
    EXPECT_NE(big.find("\"score\": 1, \"max_score\": 2"), std::string::npos);
}

TEST(PlatformResults, SayWhyAStudentCouldNotBeGraded)
{
    StudentOutcome outcome;
    outcome.gradable = false;
    outcome.why = "could not read REFERENCES";
    EXPECT_NE(prairieLearnResults(outcome).find("\"gradable\": false"), std::string::npos);
    EXPECT_EQ(textResults(oneTest("", 1, 2)), "t1.sym: 1 / 2  (CR LF line ends)\ntotal: 1 / 2\n");
}
