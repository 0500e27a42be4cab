// The whole run as JSON, for scripts and dashboards that take the class's
// explanations without parsing its words: the tests, each student's states,
// scores, notes and causes as data, the suspected pairs and the summary's
// figures.  The man page's SCHEMA says what each field holds.
#ifndef LABELGRADE_JSON_RUN_H
#define LABELGRADE_JSON_RUN_H

#include "class/explaining/summary.h"
#include "class/model/class.h"
#include "io/output.h"

#include <string>
#include <string_view>
#include <vector>

// Raised when a field changes meaning or goes away; fields added leave it.
constexpr int jsonSchemaVersion = 1;

// `text` as a JSON string, quotes included: valid UTF-8 whatever it holds,
// each byte that is no part of a UTF-8 character standing as U+FFFD.
std::string jsonText(std::string_view text);
// The same, added to `out`.
void appendJsonText(std::string& out, std::string_view text);

// A cause's stable machine name ("addressOffset").
std::string_view causeName(Cause cause);
// A file's state's ("graded", "missing").
std::string_view stateName(FileState state);

// One cause as a JSON object, `lineCount` the reference's lines.
std::string jsonCause(const Diagnosis& diagnosis, std::uint64_t lineCount);
// The same, added to `out`, with the words its note tells it in.
void appendJsonCause(std::string& out, const Diagnosis& diagnosis, std::uint64_t lineCount, std::string_view words);

void writeJsonRun(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                  const std::vector<Student>& students);
// writeJsonRun in two parts, the first of which needs no summary: a large
// class's students are written while the class is summarized.
void writeJsonStudents(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students);
void writeJsonSummary(Output& out, const ClassSummary& summary, const std::vector<Test>& tests);

#endif
