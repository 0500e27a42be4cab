// Text made safe for a page: no markup, no control bytes, and paths as
// links that no name can break.
#ifndef LABELGRADE_HTML_TEXT_H
#define LABELGRADE_HTML_TEXT_H

#include <string>
#include <string_view>

std::string htmlText(std::string_view text);
void appendHtml(std::string& out, std::string_view text);

// A path segment with every byte but the unreserved ones percent-encoded.
std::string percentEncoded(std::string_view segment);

#endif
