// What a script reading --json counts on: strings that stay valid UTF-8
// JSON whatever a student's name or line holds, each cause's numbers and
// reference lines as its note tells them, and a document that stays whole
// when students go out one at a time.
#include "class/outputs/json_run.h"
#include "class/outputs/wording.h"

#include <gtest/gtest.h>

#include <set>

namespace {

Diagnosis offset(std::uint64_t by, bool below, std::uint32_t from, std::uint32_t to, std::uint32_t since)
{
    Diagnosis diagnosis{Cause::addressOffset, 0, below, 7, by};
    diagnosis.from = from;
    diagnosis.to = to;
    diagnosis.since = since;
    return diagnosis;
}

// The part of a cause's JSON after its words: its parameters and lines.
std::string dataOf(const Diagnosis& diagnosis, std::uint64_t lineCount = 20)
{
    std::string json = jsonCause(diagnosis, lineCount);
    return json.substr(json.find(",\"parameters\""));
}

// Three students, each with a graded file for each of two tests.
std::vector<Student> gradedStudents()
{
    std::vector<Student> students(3);
    for (Student& student : students) {
        student.results.resize(2);
        for (TestResult& result : student.results)
            result.state = FileState::graded;
    }
    return students;
}

// The run's JSON, with no summary to speak of.
std::string jsonOf(const std::vector<::Test>& tests, const std::vector<Student>& students)
{
    std::string text;
    auto out = std::make_unique<Output>();
    out->kept = &text;
    writeJsonRun(*out, ClassSummary{}, tests, students);
    EXPECT_TRUE(flushOutput(*out));
    return text;
}

std::size_t timesIn(const std::string& text, std::string_view part)
{
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != text.npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

}  // namespace

TEST(JsonText, EscapesWhatJsonNeedsAndKeepsTheRest)
{
    EXPECT_EQ(jsonText(R"(a"b\c)"), R"("a\"b\\c")");
    EXPECT_EQ(jsonText("\x1b[31m\n\t\x7f"), R"("\u001b[31m\u000a\u0009\u007f")");
    EXPECT_EQ(jsonText(std::string_view("a\0b", 3)), R"("a\u0000b")");
    EXPECT_EQ(jsonText("Zoë 山田 😀"), "\"Zoë 山田 😀\"");
    // Separators that end a line in a script the JSON is pasted into.
    EXPECT_EQ(jsonText("a\u2028b\u2029c"), R"("a\u2028b\u2029c")");
}

// Plain bytes go out in runs: an escape at either end of a run, or
// between two, must cut it in the right place.
TEST(JsonText, EscapesAtTheEdgesOfPlainRuns)
{
    EXPECT_EQ(jsonText(""), R"("")");
    EXPECT_EQ(jsonText("\"\"x\\"), R"("\"\"x\\")");
    std::string run(100, 'a');
    EXPECT_EQ(jsonText(run + "\n" + run + "\xff"), "\"" + run + "\\u000a" + run + "\\ufffd\"");
    std::string out = "[";
    appendJsonText(out, "y\t");
    EXPECT_EQ(out, R"(["y\u0009")");
    // Runs are read eight bytes at a time: every ASCII byte, those that
    // need an escape and those that do not, at each place of a word and of
    // the short tail after it.
    for (int byte = 0; byte < 0x80; ++byte) {
        bool plain = byte >= 0x20 && byte != 0x7f && byte != '"' && byte != '\\';
        std::string escaped = !plain && (byte == '"' || byte == '\\') ? std::string{'\\', static_cast<char>(byte)}
                              : !plain ? std::string("\\u00") + "0123456789abcdef"[byte >> 4] + "0123456789abcdef"[byte & 15]
                                       : std::string(1, static_cast<char>(byte));
        for (std::size_t at = 0; at < 19; ++at) {
            std::string text(19, '!');
            text[at] = static_cast<char>(byte);
            std::string want(1, '"');
            want.append(text, 0, at).append(escaped).append(text, at + 1).push_back('"');
            EXPECT_EQ(jsonText(text), want) << "byte " << byte << " at " << at;
        }
    }
}

TEST(JsonText, StandsEachByteThatIsNoUtf8AsAReplacement)
{
    EXPECT_EQ(jsonText("bad\xff\xfename"), R"("bad\ufffd\ufffdname")");
    // A character cut short at the end, an overlong form, a surrogate.
    EXPECT_EQ(jsonText("cut\xe5\xb1"), R"("cut\ufffd\ufffd")");
    EXPECT_EQ(jsonText("\xc0\x80"), R"("\ufffd\ufffd")");
    EXPECT_EQ(jsonText("\xed\xa0\x80"), R"("\ufffd\ufffd\ufffd")");
}

TEST(JsonCause, GivesAnOffsetSignedWithTheLinesItHoldsOn)
{
    EXPECT_EQ(jsonCause(offset(3, false, 4, 10, 0), 20),
              R"j({"kind":"addressOffset","text":"addresses off by +3 on reference lines 4 to 10 (7 lines)",)j"
              R"("parameters":{"lines":7,"offset":3,"from":4,"to":10,"since":4},)"
              R"("referenceLines":[{"from":4,"to":10}]})");
    // To the end of the file; where typos hide its start, from the first
    // line it may start at.
    EXPECT_EQ(dataOf(offset(2, true, 6, 0, 3)),
              R"(,"parameters":{"lines":7,"offset":-2,"from":6,"to":20,"since":3},)"
              R"("referenceLines":[{"from":3,"to":20}]})");
    // One that keeps changing has no size, and its lines are not kept.
    EXPECT_EQ(dataOf(offset(0, true, 0, 0, 0)), R"(,"parameters":{"lines":7,"offset":null},"referenceLines":null})");
}

TEST(JsonCause, GivesLinesLeftOutOrAddedAndMovedAsTheNotesTellThem)
{
    EXPECT_EQ(dataOf(Diagnosis{Cause::shiftedLines, 0, false, 3, 7}),
              R"(,"parameters":{"leftOut":3,"line":7},"referenceLines":[{"from":7,"to":9}]})");
    EXPECT_EQ(dataOf(Diagnosis{Cause::shiftedLines, 0, false, -2, 0}),
              R"(,"parameters":{"added":2,"line":null},"referenceLines":[]})");
    EXPECT_EQ(dataOf(Diagnosis{Cause::lastLinesLeftOut, 0, false, 2}),
              R"(,"parameters":{"lines":2},"referenceLines":[{"from":19,"to":20}]})");
    Diagnosis moved{Cause::movedLine, 0, false, 0, 5};
    moved.to = 1;
    EXPECT_EQ(dataOf(moved),
              R"(,"parameters":{"line":5,"after":null,"before":1},"referenceLines":[{"from":5,"to":5}]})");
    EXPECT_EQ(dataOf(Diagnosis{Cause::movedLine, 0, false, 12, 0}),
              R"(,"parameters":{"places":12},"referenceLines":null})");
}

TEST(JsonCause, GivesPatternsTheirCountAndValues)
{
    EXPECT_EQ(dataOf(Diagnosis{Cause::addressForm, prefixed | otherWidth, false, 4}),
              R"(,"parameters":{"lines":4,"forms":["prefixed","otherWidth"]},"referenceLines":null})");
    EXPECT_EQ(dataOf(Diagnosis{Cause::cutLabels, 0, false, 8, 6}),
              R"(,"parameters":{"lines":8,"kept":6},"referenceLines":null})");
    EXPECT_EQ(dataOf(Diagnosis{Cause::crlfLineEnds, 0, false, 3, 10}),
              R"(,"parameters":{"crLfLines":3,"lines":10},"referenceLines":[]})");
    EXPECT_EQ(dataOf(Diagnosis{Cause::byteOrderMark}), R"(,"parameters":{},"referenceLines":[]})");
}

TEST(JsonNames, AreDistinctAndPlainForEveryCauseAndState)
{
    std::set<std::string_view> names;
    for (std::size_t c = 0; c < causeCount; ++c)
        names.insert(causeName(static_cast<Cause>(c)));
    for (auto s = static_cast<std::size_t>(FileState::graded); s <= static_cast<std::size_t>(FileState::noSubmission); ++s)
        names.insert(stateName(static_cast<FileState>(s)));
    EXPECT_EQ(names.size(), causeCount + static_cast<std::size_t>(FileState::noSubmission) + 1);
    for (std::string_view name : names)
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"), name.npos) << name;
}

TEST(WriteJsonRun, KeepsTheDocumentWholeAcrossManyStudents)
{
    std::vector<::Test> tests{::Test{"t1.sym", 1, "0000 A\n", 1, {}, {}}};
    std::vector<Student> students(3000);
    for (std::size_t s = 0; s < students.size(); ++s) {
        students[s].name = "student \"" + std::to_string(s) + "\"";
        students[s].results.resize(1);
        students[s].results[0].state = FileState::graded;
        students[s].results[0].diagnoses.push_back(offset(1, false, 1, 0, 0));
    }
    // A name longer than the output's buffer, escaped whole across it.
    std::string longName(outputBufferSize + 100, 'x');
    students[1500].name = longName + "\"\xff";
    ClassSummary summary;
    summary.tests.resize(1);
    summary.pairs.push_back(SuspectedPair{0, 2, 2, 1.0, {SharedAnswer{Place{0, 0, true}, 2, 0, SharedKind::mistakes}}});
    summary.pairs.push_back(SuspectedPair{0, 1, 2, 1.0, {SharedAnswer{Place{0, 0, false}, 3, 0}}, {0, 1, 2}});
    std::string text;
    auto out = std::make_unique<Output>();
    out->kept = &text;
    writeJsonRun(*out, summary, tests, students);
    ASSERT_TRUE(flushOutput(*out));
    ASSERT_GT(text.size(), outputBufferSize);
    EXPECT_EQ(text.rfind("{\"labelgradeClassJson\":1,\"tests\":[{\"name\":\"t1.sym\",\"number\":1,\"maximum\":1}]", 0), 0u);
    EXPECT_NE(text.find("{\"name\":\"student \\\"2999\\\"\""), text.npos);
    EXPECT_NE(text.find("{\"name\":\"" + longName + "\\\"\\ufffd\","), text.npos);
    // A pair, and a group with all its students.
    EXPECT_NE(text.find("\"suspectedPairs\":[{\"students\":[0,2],\"shape\":\"pair\",\"pieces\":2,\"rarity\":1,"
                        "\"shared\":[{\"what\":\"mistakes\",\"sharers\":2,\"within\":2}]},{\"students\":[0,1,2],"
                        "\"shape\":\"group\",\"pieces\":2,\"rarity\":1,\"shared\":[{\"what\":\"line\",\"test\":\"t1.sym\","
                        "\"line\":1,\"sharers\":3,\"within\":2}]}]"),
              text.npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\n'), text.size() - 1);
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (inString && text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            inString = !inString;
        else if (!inString && (text[i] == '{' || text[i] == '['))
            ++depth;
        else if (!inString && (text[i] == '}' || text[i] == ']')) {
            --depth;
            EXPECT_GE(depth, 0);
        }
    }
    EXPECT_EQ(depth, 0);
}

// A mistake's JSON is made once for the words that name it: each file that
// shares those words gives the same object, and another test's or another
// count's mistake of the same kind its own.
TEST(WriteJsonRun, GivesEachMistakeItsOwnStatementWhereMistakesRepeat)
{
    TestProgram first{SourceStatement{3, "FIRST", "+JSUB", "RDREC"}};
    TestProgram second{SourceStatement{9, "SECOND", "+LDA", "#0"}};
    std::vector<::Test> tests{::Test{"t1.sym", 1, "0000 A\n", 1, {}, first}, ::Test{"t2.sym", 2, "0000 A\n", 1, {}, second}};
    auto named = [](std::int64_t bytes, std::string words) {
        return NamedMistake{FoundMistake{StatementMistake::plusSize, bytes, 0, 2, 4},
                            std::make_shared<const std::string>(std::move(words))};
    };
    NamedMistake one = named(-1, "one short");
    NamedMistake other = named(-1, "one short in t2");
    NamedMistake two = named(-2, "two short");
    std::vector<Student> students = gradedStudents();
    students[0].results[0].mistakes.push_back(one);
    students[0].results[1].mistakes.push_back(other);
    students[1].results[0].mistakes.push_back(two);
    students[2].results[0].mistakes.push_back(one);
    std::string text = jsonOf(tests, students);
    auto count = [&](std::string_view part) { return timesIn(text, part); };
    EXPECT_EQ(count("{\"kind\":\"plusSize\",\"text\":\"one short\",\"parameters\":{\"bytesOff\":-1,\"size\":4},"
                    "\"statements\":2,\"firstStatement\":{\"sourceLine\":3,\"label\":\"FIRST\""),
              2u);
    EXPECT_EQ(count("\"text\":\"one short in t2\",\"parameters\":{\"bytesOff\":-1,\"size\":4},\"statements\":2,"
                    "\"firstStatement\":{\"sourceLine\":9,\"label\":\"SECOND\""),
              1u);
    EXPECT_EQ(count("\"text\":\"two short\",\"parameters\":{\"bytesOff\":-2,"), 1u);
}

// A cause's note and object are made once for each test and what the cause
// holds: two causes that differ in any part, or the same cause in a test of
// another length, are each written as they are.
TEST(WriteJsonRun, WritesEachCauseAsItIsWhereCausesRepeat)
{
    std::vector<::Test> tests{::Test{"t1.sym", 1, "", 20, {}, {}}, ::Test{"t2.sym", 2, "", 30, {}, {}}};
    Diagnosis lastLines{Cause::lastLinesLeftOut, 0, false, 2};
    Diagnosis held = offset(3, false, 4, 9, 4);
    Diagnosis besides = held;
    besides.besides.push_back(6);
    std::vector<Student> students = gradedStudents();
    for (Student& student : students)
        for (TestResult& result : student.results)
            result.diagnoses.push_back(lastLines);
    students[0].results[0].diagnoses.push_back(held);
    students[1].results[0].diagnoses.push_back(besides);
    students[2].results[0].diagnoses.push_back(held);
    std::string text = jsonOf(tests, students);
    auto count = [&](const std::string& part) { return timesIn(text, part); };
    EXPECT_EQ(count(jsonCause(lastLines, 20)), 3u);
    EXPECT_EQ(count(jsonCause(lastLines, 30)), 3u);
    EXPECT_EQ(count(jsonCause(held, 20)), 2u);
    EXPECT_EQ(count(jsonCause(besides, 20)), 1u);
    EXPECT_EQ(count(jsonText(describe(besides))), 2u);
}
