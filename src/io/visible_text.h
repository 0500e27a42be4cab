// Text from a student's file, made safe to show on a terminal: no byte of it
// can act as a control there, and no character can hide or pass for another.
//
//   control bytes (but tab) and DEL    \r, \n, else \xHH      (\x1b, \x00, \x7f)
//   a backslash                        \\                     (so every escape is ours)
//   bytes that are not UTF-8           \xHH                   (a lone 0x9b is CSI to some terminals)
//   invisible and steering characters  \u{XXXX}               (\u{9B}, \u{FEFF}, \u{202E}, \u{200B})
//
// The invisible and steering characters are the C1 controls, the format
// characters (the byte-order mark, zero-width and bidirectional controls,
// tags), the variation selectors, the line and paragraph separators, the
// spaces other than the blank, and the characters that draw a blank
// (Braille blank, Hangul fillers).  On a terminal whose locale is not UTF-8, a
// byte above 0x7F may itself be a C1 control, so every such byte shows as
// \xHH.  Everything else, tab included, stays as it is.
#ifndef LABELGRADE_VISIBLE_TEXT_H
#define LABELGRADE_VISIBLE_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Whether the terminal reads UTF-8, as the locale (LC_ALL, LC_CTYPE, LANG)
// tells; without a locale that names UTF-8, it is taken not to.
bool terminalReadsUtf8();

// The first piece of `text` as it is to be shown: `shown` is a part of
// `text` or of `scratch`; gives how many bytes of `text` it stands for.
std::size_t nextVisiblePiece(std::string_view text, bool utf8, char (&scratch)[16], std::string_view& shown);

std::string visibleText(std::string_view text, bool utf8);

// The length of the well-formed UTF-8 sequence at the start of `text`, and
// its code point; 0 when the first byte does not start one.
std::size_t decodeUtf8(std::string_view text, std::uint32_t& codePoint);

// Whether the character is one of the invisible and steering ones above.
bool isInvisible(std::uint32_t codePoint);

// The most bytes of `text` that can be kept within `most`: a text is cut
// between characters, never inside a UTF-8 sequence.
std::size_t characterPrefix(std::string_view text, std::size_t most);

// Whether every byte of `text` belongs to a well-formed UTF-8 sequence.
bool wellFormedUtf8(std::string_view text);

// A text of lines made visible line by line: its newlines stay newlines.
std::string visibleLines(std::string_view text, bool utf8);

#endif
