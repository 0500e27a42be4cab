#include "reference_index.h"

#include "addresses.h"
#include "grading/line_walk.h"
#include "hashing.h"

#include <algorithm>

std::uint64_t foldedHash(std::string_view text)
{
    StreamHash hash;
    char folded[64];
    while (!text.empty()) {
        std::size_t size = std::min(text.size(), sizeof folded);
        std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size), folded, lowerAscii);
        hash.add(std::string_view(folded, size));
        text.remove_prefix(size);
    }
    return hash.finish(0);
}

ReferenceIndex indexReference(std::string_view text)
{
    ReferenceIndex index;
    while (!text.empty())
        index.symbols.push_back(splitEntry(nextLine(text)));
    for (std::uint32_t line = 0; line < index.symbols.size(); ++line) {
        const Symbol& symbol = index.symbols[line];
        ReadAddress read;
        bool known = readAddress(symbol.address, 16, read);
        index.values.push_back(read.value);
        index.hasValue.push_back(known ? 1 : 0);
        index.widths.push_back(read.digits);
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
