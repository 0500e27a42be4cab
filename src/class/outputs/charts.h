// The page's pictures, as inline SVG: no script, nothing loaded.
#ifndef LABELGRADE_CHARTS_H
#define LABELGRADE_CHARTS_H

#include "class/explaining/summary.h"

#include <string>
#include <vector>

// Bars of a spread of scores, labelled with the scores each bar holds.
std::string spreadChart(const Spread& spread, std::uint64_t outOf, int width, int height, bool labelled);

// A cell per reference line (down) and test (across), shaded by the share
// of graded students wrong there.
std::string heatMap(const ClassSummary& summary, const std::vector<Test>& tests);

#endif
