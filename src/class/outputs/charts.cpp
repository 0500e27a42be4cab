#include "class/outputs/charts.h"

#include "class/outputs/html_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int heatCell = 24;
constexpr int heatRow = 18;
constexpr int heatLabelWidth = 44;
constexpr int heatHeaderHeight = 84;
constexpr int heatLegendWidth = 150;
constexpr int heatLegendSteps = 5;

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string binLabel(const Spread& spread, std::size_t bin, std::uint64_t outOf)
{
    std::uint64_t low = bin * spread.binWidth;
    std::uint64_t high = std::min(outOf, low + spread.binWidth - 1);
    return low == high ? std::to_string(low) : std::to_string(low) + "\u2013" + std::to_string(high);
}

// White for none wrong, deep red for all; the curve lifts small shares,
// which are most of what a class shows, off the white.
std::string shade(double share)
{
    double lifted = std::pow(share, 0.6);
    auto mix = [&](int from, int to) { return static_cast<int>(from + (to - from) * lifted + 0.5); };
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%02x%02x%02x", mix(0xff, 0x9e), mix(0xff, 0x10), mix(0xff, 0x1e));
    return colour;
}

std::string heatLegend(int x, int y)
{
    std::string svg;
    int step = heatLegendWidth / heatLegendSteps;
    for (int i = 0; i < heatLegendSteps; ++i) {
        double share = static_cast<double>(i) / (heatLegendSteps - 1);
        svg += "<rect x=\"" + std::to_string(x + i * step) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
               std::to_string(step - 1) + "\" height=\"" + std::to_string(heatRow - 1) + "\" fill=\"" + shade(share) +
               "\" stroke=\"#ccc\"/>";
    }
    svg += "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y + heatRow + 12) + "\">none wrong</text>";
    svg += "<text x=\"" + std::to_string(x + heatLegendSteps * step) + "\" y=\"" + std::to_string(y + heatRow + 12) +
           "\" text-anchor=\"end\">all wrong</text>";
    return svg;
}

}  // namespace

// An SVG that scales down to fit a narrow screen, and never up.
std::string svgOpen(const char* kind, int width, int height)
{
    return "<svg class=\"" + std::string(kind) + "\" width=\"" + std::to_string(width) + "\" height=\"" +
           std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\" role=\"img\">";
}

std::string spreadChart(const Spread& spread, std::uint64_t outOf, int width, int height, bool labelled)
{
    std::uint64_t most = 1;
    for (std::uint64_t count : spread.bins)
        most = std::max(most, count);
    // A labelled chart tells each bar's count above it, and its scores below.
    int labelHeight = labelled ? 16 : 0;
    int countHeight = labelled ? 14 : 0;
    int barsHeight = height - labelHeight;
    double barWidth = static_cast<double>(width) / static_cast<double>(std::max<std::size_t>(spread.bins.size(), 1));
    std::string svg = svgOpen("chart", width, height);
    for (std::size_t bin = 0; bin < spread.bins.size(); ++bin) {
        double barHeight = static_cast<double>(barsHeight - 2 - countHeight) * static_cast<double>(spread.bins[bin]) /
                           static_cast<double>(most);
        double x = barWidth * static_cast<double>(bin);
        std::string label = binLabel(spread, bin, outOf);
        std::string count = std::to_string(spread.bins[bin]);
        svg += "<rect x=\"" + number(x + 1) + "\" y=\"" + number(barsHeight - barHeight) + "\" width=\"" +
               number(std::max(barWidth - 2, 1.0)) + "\" height=\"" + number(barHeight) + "\"><title>" + label + ": " +
               count + "</title></rect>";
        if (!labelled)
            continue;
        svg += "<text x=\"" + number(x + barWidth / 2) + "\" y=\"" + number(barsHeight - barHeight - 3) +
               "\" text-anchor=\"middle\">" + count + "</text>";
        svg += "<text x=\"" + number(x + barWidth / 2) + "\" y=\"" + std::to_string(height - 3) +
               "\" text-anchor=\"middle\">" + label + "</text>";
    }
    return svg + "</svg>";
}

std::string heatMap(const ClassSummary& summary, const std::vector<Test>& tests)
{
    std::uint64_t lines = 0;
    for (const Test& test : tests)
        lines = std::max(lines, test.lineCount);
    int mapWidth = heatLabelWidth + heatCell * static_cast<int>(tests.size());
    int width = mapWidth + 24 + heatLegendWidth;
    auto height = static_cast<int>(heatHeaderHeight + heatRow * static_cast<int>(lines) + 4);
    height = std::max(height, heatHeaderHeight + heatRow + 20);
    std::string svg = svgOpen("heat", width, height);
    for (std::size_t t = 0; t < tests.size(); ++t) {
        int x = heatLabelWidth + heatCell * static_cast<int>(t) + heatCell / 2 + 4;
        svg += "<text transform=\"translate(" + std::to_string(x) + "," + std::to_string(heatHeaderHeight - 4) +
               ") rotate(-60)\">" + htmlText(tests[t].name) + "</text>";
    }
    for (std::uint64_t line = 0; line < lines; ++line) {
        int y = heatHeaderHeight + heatRow * static_cast<int>(line);
        if (line == 0 || (line + 1) % 5 == 0)
            svg += "<text x=\"" + std::to_string(heatLabelWidth - 4) + "\" y=\"" + std::to_string(y + heatRow - 4) +
                   "\" text-anchor=\"end\">" + std::to_string(line + 1) + "</text>";
        for (std::size_t t = 0; t < tests.size(); ++t) {
            if (line >= tests[t].lineCount)
                continue;
            std::uint64_t graded = summary.tests[t].stats.graded;
            std::uint64_t wrong = summary.tests[t].wrongAt[line];
            double share = graded == 0 ? 0.0 : static_cast<double>(wrong) / static_cast<double>(graded);
            int x = heatLabelWidth + heatCell * static_cast<int>(t);
            svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                   std::to_string(heatCell - 1) + "\" height=\"" + std::to_string(heatRow - 1) + "\" fill=\"" +
                   shade(share) + "\"><title>" + htmlText(tests[t].name) + " line " + std::to_string(line + 1) +
                   ": " + std::to_string(wrong) + " of " + std::to_string(graded) + " wrong</title></rect>";
            if (wrong > 0)
                svg += "<text class=\"in" + std::string(share > 0.5 ? " dark" : "") + "\" x=\"" +
                       std::to_string(x + heatCell / 2) + "\" y=\"" + std::to_string(y + heatRow - 5) +
                       "\" text-anchor=\"middle\">" + std::to_string(static_cast<int>(share * 100 + 0.5)) + "</text>";
        }
    }
    svg += heatLegend(mapWidth + 24, heatHeaderHeight);
    return svg + "</svg>";
}
