#include "class/explaining/kept_lines.h"

#include "grading/fields.h"
#include "class/model/hashing.h"

#include <algorithm>

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool sameFields(const Symbol& a, const Symbol& b)
{
    return a.address == b.address && a.label == b.label;
}

}  // namespace

NormalFields normalFields(std::string_view line, const Symbol& graded, bool firstLine)
{
    NormalFields fields;
    Symbol symbol = graded;
    std::string_view rest = line;
    if (firstLine && rest.starts_with(byteOrderMark)) {
        rest.remove_prefix(byteOrderMark.size());
        Symbol stripped = splitEntry(rest);
        fields.bomCosts = !sameFields(symbol, stripped);
        symbol = stripped;
    }
    if (rest.ends_with('\r')) {
        rest.remove_suffix(1);
        Symbol stripped = splitEntry(rest);
        fields.crCosts = !sameFields(symbol, stripped);
        symbol = stripped;
    }
    fields.first = symbol.address;
    fields.second = symbol.label;
    return fields;
}

NormalFields normalFields(std::string_view line, bool firstLine)
{
    return normalFields(line, splitEntry(line), firstLine);
}

void KeptLines::clear()
{
    // What a large file grew is given back, not held for the rest of the run.
    if (lines.capacity() > mostKeptLines / 8)
        lines = std::vector<KeptLine>();
    if (text.capacity() > mostKeptText / 8)
        text = std::string();
    lines.clear();
    tail.clear();
    compared = 0;
    wholeTail = true;
    text.clear();
    overflow = false;
}

void KeptLines::addTail(std::string_view line)
{
    if (tail.size() >= mostTailLines) {
        wholeTail = false;
        return;
    }
    std::swap(lines, tail);
    addWrong(line, false);
    std::swap(lines, tail);
}

void KeptLines::joinTail()
{
    compared = lines.size();
    lines.insert(lines.end(), tail.begin(), tail.end());
    tail.clear();
}

void KeptLines::addRight()
{
    if (overflow)
        return;
    if (lines.size() >= mostKeptLines) {
        overflow = true;
        return;
    }
    KeptLine kept;
    kept.right = true;
    lines.push_back(kept);
}

void KeptLines::addWrong(std::string_view line, bool firstLine)
{
    addWrong(line, splitEntry(line), firstLine);
}

void KeptLines::addWrong(std::string_view line, const Symbol& graded, bool firstLine)
{
    if (overflow)
        return;
    if (lines.size() + tail.size() >= mostKeptLines) {
        overflow = true;
        return;
    }
    NormalFields fields = normalFields(line, graded, firstLine);
    if (text.size() + 2 * mostKeptFieldSize > mostKeptText) {
        overflow = true;
        return;
    }
    KeptLine kept;
    kept.crCosts = fields.crCosts;
    kept.bomCosts = fields.bomCosts;
    kept.hash = hashText(fields.first) * 0x9E3779B97F4A7C15u ^ hashText(fields.second);
    auto keep = [&](std::string_view field, std::uint32_t& at, std::uint32_t& size) {
        if (field.size() > mostKeptFieldSize) {
            field = field.substr(0, mostKeptFieldSize);
            kept.clipped = true;
        }
        at = static_cast<std::uint32_t>(text.size());
        size = static_cast<std::uint32_t>(field.size());
        text.append(field);
    };
    keep(fields.first, kept.first, kept.firstSize);
    keep(fields.second, kept.second, kept.secondSize);
    lines.push_back(kept);
}
