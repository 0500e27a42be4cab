// The CSV reader that keeps a file's bytes: what it splits, what it reads a
// cell as, and the file written back with cells changed and nothing else.
#include "class/outputs/csv_records.h"

#include <gtest/gtest.h>

namespace {

CsvFile read(std::string text)
{
    CsvFile file;
    std::string problem;
    EXPECT_TRUE(readCsvRecords(std::move(text), file, problem)) << problem;
    return file;
}

std::vector<std::string> values(const CsvFile& file, std::size_t record)
{
    std::vector<std::string> cells;
    for (const CsvCell& cell : file.records[record].cells)
        cells.push_back(cellValue(file, cell));
    return cells;
}

}  // namespace

TEST(CsvRecords, SplitsQuotedCellsAndEveryLineEnd)
{
    CsvFile file = read("a,\"b,\"\"c\"\"\r\nd\",e\r\n\nf\rg,");
    ASSERT_EQ(file.records.size(), 4u);
    EXPECT_EQ(values(file, 0), (std::vector<std::string>{"a", "b,\"c\"\r\nd", "e"}));
    EXPECT_EQ(values(file, 1), (std::vector<std::string>{""}));
    EXPECT_EQ(values(file, 2), (std::vector<std::string>{"f"}));
    // A last record without a line end is a record still, its empty last
    // cell a cell.
    EXPECT_EQ(values(file, 3), (std::vector<std::string>{"g", ""}));
    EXPECT_EQ(cellValue(file, 9, 0), "");
}

TEST(CsvRecords, TakesTheDelimiterTheHeaderUsesAndSkipsTheBom)
{
    CsvFile semicolons = read("\xEF\xBB\xBFID;\"Name, full\";Grade\n7;Ada;7,00\n");
    EXPECT_EQ(semicolons.delimiter, ';');
    EXPECT_EQ(semicolons.start, 3u);
    EXPECT_EQ(values(semicolons, 0), (std::vector<std::string>{"ID", "Name, full", "Grade"}));
    EXPECT_EQ(values(semicolons, 1), (std::vector<std::string>{"7", "Ada", "7,00"}));
    EXPECT_EQ(read("a\tb,c\td\n").delimiter, '\t');
    EXPECT_EQ(read("one column\n").delimiter, ',');
}

TEST(CsvRecords, AnUnclosedQuoteIsRefused)
{
    CsvFile file;
    std::string problem;
    EXPECT_FALSE(readCsvRecords("a,b\n\"c,d\n", file, problem));
    EXPECT_EQ(problem, "record 2 opens a quote that never closes");
}

TEST(CsvRecords, EditsChangeTheirCellsAndNoOtherByte)
{
    std::string text = "\xEF\xBB\xBFStudent,ID,Grade,Note\r\n\"Lovelace, Ada\",1,,\"x\"\r\nHopper,2,5.00,y";
    CsvFile file = read(text);
    EXPECT_EQ(withEdits(file, {}), text);
    std::string edited = withEdits(file, {{2, 2, "17.00"}, {1, 2, "27"}, {1, 3, "a; b"}, {1, 9, "past the end"}});
    EXPECT_EQ(edited, "\xEF\xBB\xBFStudent,ID,Grade,Note\r\n\"Lovelace, Ada\",1,27,\"a; b\"\r\nHopper,2,17.00,y");
    // A quoted cell stays quoted; a value that needs quotes gets them, its
    // own doubled.
    EXPECT_EQ(withEdits(file, {{1, 3, "plain"}, {2, 3, "say \"hi\",\nthen"}}),
              "\xEF\xBB\xBFStudent,ID,Grade,Note\r\n\"Lovelace, Ada\",1,,\"plain\"\r\nHopper,2,5.00,\"say \"\"hi\"\",\nthen\"");
    // The separators a spreadsheet splits at are quoted in a file of any
    // delimiter.
    CsvFile tabs = read("a\tb\n1\t2\n");
    EXPECT_EQ(withEdits(tabs, {{1, 1, "7,5"}}), "a\tb\n1\t\"7,5\"\n");
}
