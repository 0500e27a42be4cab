#include "class/outputs/csv_records.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::array<char, 3> delimiters{',', ';', '\t'};

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// The delimiter most used outside quotes before the first line end; a comma
// where there is none, as a file of one column has.
char sniffDelimiter(std::string_view text)
{
    std::array<std::size_t, delimiters.size()> counts{};
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && isLineEnd(c))
            break;
        else if (!quoted)
            for (std::size_t d = 0; d < delimiters.size(); ++d)
                counts[d] += c == delimiters[d];
    }
    auto most = std::max_element(counts.begin(), counts.end());
    return *most == 0 ? ',' : delimiters[static_cast<std::size_t>(most - counts.begin())];
}

// Past a quoted cell's closing quote, or npos where it has none.
std::size_t pastQuoted(std::string_view text, std::size_t at)
{
    for (++at; at < text.size(); ++at)
        if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"')
                ++at;
            else
                return at + 1;
        }
    return std::string_view::npos;
}

// Besides what the file's own reader needs, the separators a spreadsheet's
// import offers are quoted, as the gradebooks of the run's making quote them.
bool needsQuotes(std::string_view value, char delimiter)
{
    return std::any_of(value.begin(), value.end(), [&](char c) {
        return c == delimiter || c == '"' || isLineEnd(c) ||
               std::find(delimiters.begin(), delimiters.end(), c) != delimiters.end();
    });
}

std::string quoted(std::string_view value)
{
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

}  // namespace

bool readCsvRecords(std::string text, CsvFile& file, std::string& problem)
{
    file = CsvFile{};
    file.text = std::move(text);
    std::string_view all = file.text;
    if (all.starts_with(byteOrderMark))
        file.start = byteOrderMark.size();
    file.delimiter = sniffDelimiter(all.substr(file.start));
    std::size_t at = file.start;
    while (at < all.size()) {
        CsvRecord& record = file.records.emplace_back();
        for (;;) {
            CsvCell cell{at, at};
            if (at < all.size() && all[at] == '"') {
                at = pastQuoted(all, at);
                if (at == std::string_view::npos) {
                    problem = "record " + std::to_string(file.records.size()) + " opens a quote that never closes";
                    return false;
                }
            }
            while (at < all.size() && all[at] != file.delimiter && !isLineEnd(all[at]))
                ++at;
            cell.end = at;
            record.cells.push_back(cell);
            if (at < all.size() && all[at] == file.delimiter) {
                ++at;
                continue;
            }
            break;
        }
        // "\r\n", "\n" or a lone "\r" ends a record.
        if (at < all.size() && all[at] == '\r')
            ++at;
        if (at < all.size() && all[at] == '\n')
            ++at;
    }
    return true;
}

std::string cellValue(const CsvFile& file, const CsvCell& cell)
{
    std::string_view raw = std::string_view(file.text).substr(cell.begin, cell.end - cell.begin);
    if (raw.empty() || raw.front() != '"')
        return std::string(raw);
    std::string value;
    std::size_t at = 1;
    for (; at < raw.size(); ++at) {
        if (raw[at] == '"') {
            if (at + 1 < raw.size() && raw[at + 1] == '"') {
                value += '"';
                ++at;
                continue;
            }
            break;
        }
        value += raw[at];
    }
    // Whatever follows the closing quote is the cell's too, as a lenient
    // reader takes it.
    if (at + 1 < raw.size())
        value += raw.substr(at + 1);
    return value;
}

std::string cellValue(const CsvFile& file, std::size_t record, std::size_t column)
{
    if (record >= file.records.size() || column >= file.records[record].cells.size())
        return {};
    return cellValue(file, file.records[record].cells[column]);
}

std::string withEdits(const CsvFile& file, std::vector<CellEdit> edits)
{
    std::erase_if(edits, [&](const CellEdit& edit) {
        return edit.record >= file.records.size() || edit.column >= file.records[edit.record].cells.size();
    });
    std::sort(edits.begin(), edits.end(), [](const CellEdit& a, const CellEdit& b) {
        return a.record != b.record ? a.record < b.record : a.column < b.column;
    });
    std::string out;
    out.reserve(file.text.size() + edits.size() * 8);
    std::size_t copied = 0;
    for (const CellEdit& edit : edits) {
        const CsvCell& cell = file.records[edit.record].cells[edit.column];
        if (cell.begin < copied)
            continue;  // the same cell twice: the first edit stands
        out.append(file.text, copied, cell.begin - copied);
        bool wasQuoted = cell.end > cell.begin && file.text[cell.begin] == '"';
        out += wasQuoted || needsQuotes(edit.value, file.delimiter) ? quoted(edit.value) : edit.value;
        copied = cell.end;
    }
    out.append(file.text, copied);
    return out;
}
