// A course site's own gradebook export, filled in: what every site's filler
// shares (the request, the grades' numbers, the warnings of who was not
// placed).
#ifndef LABELGRADE_EXPORT_FILLING_H
#define LABELGRADE_EXPORT_FILLING_H

#include "class/model/class.h"
#include "class/outputs/csv_records.h"
#include "class/sites/row_matching.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FillRequest {
    const CsvFile& file;
    std::string shownFile;  // the export's path, as messages name it
    const std::vector<Test>& tests;
    const std::vector<Student>& students;
    bool siteIds = false;         // the students' ids are the export's own site's
    std::string_view assignment;  // --assignment, where the export has a column per assignment
    bool scale = false;           // totals scaled to the site's maximum, where it differs
    bool forTerminal = false;
    bool utf8 = true;
};

struct Filled {
    std::string text;                   // the export, filled in
    std::vector<std::string> warnings;  // who and which rows were left alone, and why
    // Where the command line asks for what the export cannot take: nothing
    // is written, and the run ends with a bad command line's status.
    std::string problem;
};

// A number as a site wrote it: how many decimals, and the decimal mark.
struct NumberForm {
    int decimals = 0;
    char mark = '.';
};

NumberForm numberFormOf(std::string_view text);

// `text` as hundredths ("10", "10.00", "7,5"); false where it is no such
// number, or finer than hundredths.
bool readHundredths(std::string_view text, std::uint64_t& hundredths);

// A total as the site's cell takes it: as it is where `maximum` (in
// hundredths) is 0, else scaled from `possible` to it and rounded to
// hundredths, half up; written in `form`, with what decimals it needs
// besides.
std::string gradeText(std::uint64_t total, std::uint64_t possible, std::uint64_t maximum, NumberForm form);

// The status-1 words where the site's maximum is not the tests' total, or
// empty where they agree or --scale bridges them.
std::string maximumProblem(const FillRequest& request, std::string_view where, std::uint64_t maximum);

// The warnings for whoever `matches` left unplaced, each student's and row's
// text escaped as the summary escapes it.
std::vector<std::string> matchWarnings(const FillRequest& request, const std::vector<ExportRow>& rows,
                                       const RowMatches& matches);

// The header's cells, listed for a message.
std::string columnsRead(const FillRequest& request);

// A cell's text as a message quotes it: "Lab 3 (1234)", escaped.
std::string shownQuoted(std::string_view text, bool utf8);

#endif
