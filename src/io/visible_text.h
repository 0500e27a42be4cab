// Text from a student's file, made safe to show on a terminal: no byte of it
// can act as a control sequence there.
//
//   control bytes (but tab) and DEL    \r, \n, else \xHH      (\x1b, \x00, \x7f)
//   a backslash                        \\                     (so every escape is ours)
//   bytes that are not UTF-8           \xHH                   (a lone 0x9b is CSI to some terminals)
//   C1 controls, the byte-order mark
//   and the bidirectional controls     <U+XXXX>               (<U+009B>, <U+FEFF>, <U+202E>)
//
// Everything else, tab and valid UTF-8 included, stays as it is.
#ifndef LABELGRADE_VISIBLE_TEXT_H
#define LABELGRADE_VISIBLE_TEXT_H

#include <string>
#include <string_view>

std::string visibleText(std::string_view text);

#endif
