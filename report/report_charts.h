// The pictures of the stock-taking report as inline SVG: no script, no file beside the
// report, and they scale to the page's width on screen and on paper.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "report/report_tally.h"

namespace varnotte {

struct ChartSeries {
    const std::map<MonthKey, long long>* counts = nullptr;
    std::string colour;  // CSS colour
};

// A bar per month from `first` to `last` (both included), or per quarter or year when
// there would be too many to tell apart (MonthsPerBar); the series stacked bottom up in
// their order, a scale on the left and the years below. `tip` ("%1: %2 version|%1: %2
// versions", see CountedText) is each bar's tooltip, %1 its period ("2007-03", "2007 Q1",
// "2007") and %2 its total.
std::string MonthBarChart(const std::vector<ChartSeries>& series, MonthKey first, MonthKey last,
                          int height, const std::string& tip);

// 1, 3 or 12.
int MonthsPerBar(MonthKey first, MonthKey last);

// A small line of the counts from `first` to `last`, in at most 48 steps, scaled to the
// largest of them.
std::string Sparkline(const std::map<MonthKey, long long>& counts, MonthKey first, MonthKey last);

// "2007-03".
std::string MonthText(MonthKey month);

// The colours of the busiest users, then of the others.
const std::vector<std::string>& UserColours();
const std::string& OthersColour();

}  // namespace varnotte
