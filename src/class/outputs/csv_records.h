// A CSV file as another program wrote it, read so that it can be written
// back with a few cells changed and every other byte as it was: its BOM,
// its delimiter, its quoting and its line ends.
#ifndef LABELGRADE_CSV_RECORDS_H
#define LABELGRADE_CSV_RECORDS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A cell's bytes in the file, quotes and all.
struct CsvCell {
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct CsvRecord {
    std::vector<CsvCell> cells;
};

struct CsvFile {
    std::string text;       // the whole file, as read
    std::size_t start = 0;  // past a UTF-8 byte-order mark
    char delimiter = ',';
    std::vector<CsvRecord> records;
};

// Reads `text` into records.  The delimiter is the one of comma, semicolon
// and tab found most often outside quotes in the first record.  False, with
// `problem` said, where a quoted cell never ends.
bool readCsvRecords(std::string text, CsvFile& file, std::string& problem);

// What a cell holds: its quotes taken off and doubled ones made single.
std::string cellValue(const CsvFile& file, const CsvCell& cell);
std::string cellValue(const CsvFile& file, std::size_t record, std::size_t column);

// A cell's new value, in place of the old one.
struct CellEdit {
    std::size_t record = 0;
    std::size_t column = 0;
    std::string value;
};

// The file with each edited cell's bytes replaced by its new value, quoted
// where the old one was or where the value needs it; a cell the record does
// not reach is left alone.
std::string withEdits(const CsvFile& file, std::vector<CellEdit> edits);

#endif
