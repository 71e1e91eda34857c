// The pictures of the stock-taking report as inline SVG: no script, no file beside the
// report, and they scale to the page's width on screen and on paper.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "export/report_tally.h"

namespace varnotte {

struct ChartSeries {
    const std::map<MonthKey, long long>* counts = nullptr;
    std::string colour;  // CSS colour
};

// A bar per month from `first` to `last` (both included), the series stacked bottom up in
// their order, a scale on the left and the years below. `tip` ("%1: %2 versions") is each
// month's tooltip, %1 the month and %2 its total.
std::string MonthBarChart(const std::vector<ChartSeries>& series, MonthKey first, MonthKey last,
                          int height, const std::string& tip);

// A small line of the counts from `first` to `last`, in at most 48 steps, scaled to the
// largest of them.
std::string Sparkline(const std::map<MonthKey, long long>& counts, MonthKey first, MonthKey last);

// "2007-03".
std::string MonthText(MonthKey month);

// The colours of the busiest users, then of the others.
const std::vector<std::string>& UserColours();
const std::string& OthersColour();

}  // namespace varnotte
