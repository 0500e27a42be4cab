// A gradebook export that is UTF-16LE text (Blackboard's ".xls" download,
// tab-separated), read as UTF-8 and written back as it came.
#ifndef LABELGRADE_UTF16_TEXT_H
#define LABELGRADE_UTF16_TEXT_H

#include <string>
#include <string_view>

// Whether the bytes are UTF-16LE text: its byte-order mark, or an ASCII
// first character followed by a zero byte.
bool looksUtf16le(std::string_view bytes);

// The text as UTF-8, its byte-order mark kept as UTF-8's; false where a
// surrogate is unpaired or a byte is left over, which could not be written
// back as it was.
bool utf16leToUtf8(std::string_view bytes, std::string& text);

// UTF-8 text, as written by utf16leToUtf8 or edited since, as UTF-16LE.
std::string utf8ToUtf16le(std::string_view text);

#endif
