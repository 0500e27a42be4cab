#include "class/sites/export_filling.h"

#include "class/outputs/gradebook.h"
#include "io/visible_text.h"

#include <algorithm>

namespace {

constexpr std::uint64_t hundred = 100;
// A maximum beyond this is no site's, and would overflow the scaling.
constexpr std::uint64_t largestHundredths = std::uint64_t{1} << 40;

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string hundredthsText(std::uint64_t hundredths)
{
    std::string whole = std::to_string(hundredths / hundred);
    std::uint64_t part = hundredths % hundred;
    if (part == 0)
        return whole;
    return whole + "." + (part < 10 ? "0" : "") + std::to_string(part);
}

std::string rowLabel(const FillRequest& request, const std::vector<ExportRow>& rows, std::size_t r)
{
    const ExportRow& row = rows[r];
    std::string label = "row " + std::to_string(row.record + 1) + " of " + request.shownFile;
    if (!row.names.empty() && !row.names.front().empty())
        label += " (" + visibleText(row.names.front(), request.utf8) + ")";
    return label;
}

std::string rowsLabel(const FillRequest& request, const std::vector<ExportRow>& rows,
                      const std::vector<std::size_t>& which)
{
    std::string label;
    for (std::size_t i = 0; i < which.size(); ++i)
        label += (i == 0 ? "" : i + 1 == which.size() ? " and " : ", ") + rowLabel(request, rows, which[i]);
    return label;
}

std::string studentLabel(const FillRequest& request, std::size_t s)
{
    return visibleText(request.students[s].name, request.utf8);
}

}  // namespace

NumberForm numberFormOf(std::string_view text)
{
    text = trimmed(text);
    std::size_t mark = text.find_first_of(".,");
    if (mark == std::string_view::npos)
        return {};
    return NumberForm{static_cast<int>(text.size() - mark - 1), text[mark]};
}

bool readHundredths(std::string_view text, std::uint64_t& hundredths)
{
    text = trimmed(text);
    std::size_t mark = text.find_first_of(".,");
    std::string_view whole = text.substr(0, mark);
    std::string_view part = mark == std::string_view::npos ? std::string_view() : text.substr(mark + 1);
    if (whole.empty() || whole.size() > 12 || !std::all_of(whole.begin(), whole.end(), isDigit) ||
        !std::all_of(part.begin(), part.end(), isDigit) || (mark != std::string_view::npos && part.empty()))
        return false;
    // "7.500" is 7.5: zeros past the hundredths change nothing.
    while (part.size() > 2 && part.back() == '0')
        part.remove_suffix(1);
    if (part.size() > 2)
        return false;
    std::uint64_t value = std::stoull(std::string(whole)) * hundred;
    if (!part.empty())
        value += std::stoull(std::string(part)) * (part.size() == 1 ? 10 : 1);
    hundredths = value;
    return true;
}

std::string gradeText(std::uint64_t total, std::uint64_t possible, std::uint64_t maximum, NumberForm form)
{
    std::uint64_t hundredths = total * hundred;
    if (maximum != 0 && possible != 0)
        hundredths = (2 * total * maximum + possible) / (2 * possible);
    std::string text = hundredthsText(hundredths);
    std::size_t mark = text.find('.');
    int decimals = mark == std::string::npos ? 0 : static_cast<int>(text.size() - mark - 1);
    if (form.decimals > decimals) {
        if (mark == std::string::npos)
            text += '.';
        text.append(static_cast<std::size_t>(form.decimals - decimals), '0');
    }
    if (std::size_t at = text.find('.'); at != std::string::npos)
        text[at] = form.mark;
    return text;
}

std::string maximumProblem(const FillRequest& request, std::string_view where, std::uint64_t maximum)
{
    std::uint64_t possible = possibleOf(request.tests);
    if (maximum == possible * hundred || request.scale)
        return {};
    if (maximum > largestHundredths)
        return std::string(where) + " is " + hundredthsText(maximum) + ", more than any grade this run writes";
    return std::string(where) + " is " + hundredthsText(maximum) + ", the tests' total " + std::to_string(possible) +
           ": --scale writes each total scaled to " + hundredthsText(maximum) +
           " (to hundredths, half up), or the site's maximum can be set to " + std::to_string(possible);
}

std::vector<std::string> matchWarnings(const FillRequest& request, const std::vector<ExportRow>& rows,
                                       const RowMatches& matches)
{
    std::vector<std::string> warnings;
    for (std::size_t s : matches.unmatched)
        warnings.push_back(studentLabel(request, s) + " is named by no row of " + request.shownFile +
                           ": their grade is written nowhere");
    for (const auto& [s, r] : matches.refusedId)
        warnings.push_back(studentLabel(request, s) + "'s number names " + rowLabel(request, rows, r) +
                           ", plainly someone else: a team's grade is placed only where the export has a column "
                           "of teams; written nowhere");
    for (const auto& [s, which] : matches.manyRows)
        warnings.push_back(studentLabel(request, s) + " could be " + rowsLabel(request, rows, which) +
                           ": their grade is written in none of them");
    for (const auto& [r, who] : matches.sharedRow) {
        std::string names;
        for (std::size_t i = 0; i < who.size(); ++i)
            names += (i == 0 ? "" : i + 1 == who.size() ? " and " : ", ") + studentLabel(request, who[i]);
        warnings.push_back(names + " all match " + rowLabel(request, rows, r) + ": none of their grades is written");
    }
    for (std::size_t r : matches.ungraded)
        if (std::none_of(matches.sharedRow.begin(), matches.sharedRow.end(),
                         [&](const auto& shared) { return shared.first == r; }))
            warnings.push_back(rowLabel(request, rows, r) + " matches no student graded: its grade is left as it was");
    return warnings;
}

std::string shownQuoted(std::string_view text, bool utf8)
{
    std::string shown = "\"";
    shown += visibleText(text, utf8);
    shown += '"';
    return shown;
}

std::string columnsRead(const FillRequest& request)
{
    std::vector<std::string> names;
    if (!request.file.records.empty())
        for (const CsvCell& cell : request.file.records.front().cells)
            names.push_back(shownQuoted(cellValue(request.file, cell), request.utf8));
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : ", ") + names[i];
    return list.empty() ? "none" : list;
}
