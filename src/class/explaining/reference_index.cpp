#include "class/explaining/reference_index.h"

#include "class/model/addresses.h"
#include "grading/line_walk.h"
#include "class/model/hashing.h"

#include <algorithm>

ReferenceIndex indexReference(std::string_view text)
{
    ReferenceIndex index;
    while (!text.empty())
        index.symbols.push_back(splitEntry(nextLine(text)));
    std::uint64_t highest = 0;  // of the addresses so far
    for (std::uint32_t line = 0; line < index.symbols.size(); ++line) {
        const Symbol& symbol = index.symbols[line];
        ReadAddress read;
        bool known = readAddress(symbol.address, 16, read);
        index.values.push_back(read.value);
        index.hasValue.push_back(known ? 1 : 0);
        index.behind.push_back(known && read.value < highest ? 1 : 0);
        highest = known ? std::max(highest, read.value) : highest;
        index.widths.push_back(read.digits);
        index.forms.push_back(read.forms);
        if (known)
            index.byValue.emplace_back(read.value, line);
        if (!isComplete(symbol))
            continue;
        index.byLabel.emplace_back(hashText(symbol.label), line);
        index.byFoldedLabel.emplace_back(foldedHash(symbol.label), line);
    }
    for (LineKeys* keys : {&index.byLabel, &index.byFoldedLabel, &index.byValue})
        std::sort(keys->begin(), keys->end());
    return index;
}
