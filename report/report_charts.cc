#include "report/report_charts.h"

#include <QLocale>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/report_texts.h"

namespace varnotte {
namespace {

constexpr double kWidth = 1000;
constexpr double kLeft = 56;  // room for the scale
constexpr double kRight = 8;
constexpr double kTop = 10;
constexpr double kBottom = 22;  // room for the years
// Bars of a month up to this many; beyond, of a quarter, and beyond three times as many,
// of a year: narrower bars could not be told apart on A4.
constexpr int kMonthlyBars = 180;
constexpr long long kScaleSteps = 5;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string result = text;
    if (result.size() > 2 && result.compare(result.size() - 2, 2, ".0") == 0) {
        result.resize(result.size() - 2);
    }
    return result;
}

// The step of the scale: the smallest of 1, 2 or 5 times a power of ten that reaches
// `largest` in at most kScaleSteps steps.
long long ScaleStep(long long largest) {
    for (long long power = 1;; power *= 10) {
        for (const long long step : {1LL, 2LL, 5LL}) {
            if (step * power * kScaleSteps >= largest) {
                return step * power;
            }
        }
    }
}

std::string Grouped(long long value) {
    return QLocale(QLocale::English).toString(value).toStdString();
}

}  // namespace

std::string MonthText(MonthKey month) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", month / 12, month % 12 + 1);
    return text;
}

const std::vector<std::string>& UserColours() {
    static const std::vector<std::string> colours = {"#2f6db5", "#e07b24", "#3a9b4a", "#c8403a",
                                                     "#8a63b8"};
    return colours;
}

const std::string& OthersColour() {
    static const std::string colour = "#a9b0b8";
    return colour;
}

int MonthsPerBar(MonthKey first, MonthKey last) {
    const int months = last - first + 1;
    return months <= kMonthlyBars ? 1 : months <= 3 * kMonthlyBars ? 3 : 12;
}

std::string PeriodText(MonthKey start, int monthsPerBar) {
    if (monthsPerBar == 1) {
        return MonthText(start);
    }
    const std::string year = std::to_string(start / 12);
    return monthsPerBar == 3 ? year + " Q" + std::to_string(start % 12 / 3 + 1) : year;
}

std::string MonthBarChart(const std::vector<ChartSeries>& series, MonthKey first, MonthKey last,
                          int height, const std::string& tip) {
    last = std::max(first, last);
    const int monthsPerBar = MonthsPerBar(first, last);
    const MonthKey start = first - first % monthsPerBar;  // a calendar quarter or year
    const int bars = (last - start) / monthsPerBar + 1;
    // Each series' count per bar, and the bars' totals.
    std::vector<std::vector<long long>> counts(series.size(),
                                               std::vector<long long>(std::size_t(bars)));
    std::vector<long long> totals(static_cast<std::size_t>(bars));
    for (std::size_t s = 0; s < series.size(); ++s) {
        for (const auto& [month, count] : *series[s].counts) {
            if (month >= first && month <= last) {
                const auto bar = static_cast<std::size_t>((month - start) / monthsPerBar);
                counts[s][bar] += count;
                totals[bar] += count;
            }
        }
    }
    const long long largest = std::max(1LL, *std::max_element(totals.begin(), totals.end()));
    const long long scaleStep = ScaleStep(largest);
    const long long steps = (largest + scaleStep - 1) / scaleStep;
    const long long top = steps * scaleStep;
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = height - kTop - kBottom;
    const double step = plotWidth / bars;
    const double barWidth = step > 3 ? step * 0.8 : step;
    const auto y = [&](double value) { return kTop + plotHeight * (1 - value / double(top)); };

    std::string svg = "<svg class=\"chart\" viewBox=\"0 0 " + Number(kWidth) + " " +
                      std::to_string(height) +
                      "\" role=\"img\" preserveAspectRatio=\"xMidYMid meet\">";
    // The scale, in whole round steps up to the largest bar or just above it.
    for (long long i = 0; i <= steps; ++i) {
        const double value = double(i * scaleStep);
        const std::string lineY = Number(y(value));
        svg += "<line class=\"grid\" x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kWidth - kRight) +
               "\" y1=\"" + lineY + "\" y2=\"" + lineY + "\"/>";
        svg += "<text class=\"scale\" x=\"" + Number(kLeft - 6) + "\" y=\"" + Number(y(value) + 4) +
               "\">" + Grouped(static_cast<long long>(std::llround(value))) + "</text>";
    }
    // The years, as many as fit side by side.
    const double yearWidth = step * 12 / monthsPerBar;
    const int yearStep = std::max(1, static_cast<int>(std::ceil(44 / yearWidth)));
    for (int year = (first + 11) / 12; year * 12 <= last; ++year) {
        if (year % yearStep != 0) {
            continue;
        }
        const double x = kLeft + double(year * 12 - start) / monthsPerBar * step;
        svg += "<line class=\"tick\" x1=\"" + Number(x) + "\" x2=\"" + Number(x) + "\" y1=\"" +
               Number(kTop + plotHeight) + "\" y2=\"" + Number(kTop + plotHeight + 5) + "\"/>";
        svg += "<text class=\"year\" x=\"" + Number(x) + "\" y=\"" + std::to_string(height - 4) +
               "\">" + std::to_string(year) + "</text>";
    }
    // A group per bar that has anything: its tooltip, then its pieces bottom up.
    for (int i = 0; i < bars; ++i) {
        const auto bar = static_cast<std::size_t>(i);
        if (totals[bar] == 0) {
            continue;
        }
        const std::string period = PeriodText(start + i * monthsPerBar, monthsPerBar);
        const std::string title =
            CountedText(tip.c_str(), totals[bar])
                .arg(QString::fromStdString(period), QString::fromStdString(Grouped(totals[bar])))
                .toHtmlEscaped()
                .toStdString();
        svg += "<g data-period=\"" + period + "\" data-count=\"" + std::to_string(totals[bar]) +
               "\"><title>" + title + "</title>";
        long long below = 0;
        const std::string x = Number(kLeft + i * step + (step - barWidth) / 2);
        for (std::size_t s = 0; s < series.size(); ++s) {
            if (counts[s][bar] == 0) {
                continue;
            }
            const double bottom = y(double(below));
            below += counts[s][bar];
            const double barTop = y(double(below));
            svg += "<rect x=\"" + x + "\" y=\"" + Number(barTop) + "\" width=\"" +
                   Number(barWidth) + "\" height=\"" + Number(bottom - barTop) + "\" fill=\"" +
                   series[s].colour + "\"/>";
        }
        svg += "</g>";
    }
    return svg + "</svg>";
}

std::string Sparkline(const std::map<MonthKey, long long>& counts, MonthKey first, MonthKey last) {
    constexpr double kSparkWidth = 120;
    constexpr double kSparkHeight = 24;
    const int months = std::max(1, last - first + 1);
    const int steps = std::min(months, 48);
    std::vector<long long> sums(static_cast<std::size_t>(steps));
    for (const auto& [month, count] : counts) {
        if (month >= first && month <= last) {
            sums[static_cast<std::size_t>(static_cast<long long>(month - first) * steps /
                                          months)] += count;
        }
    }
    const long long top = std::max(1LL, *std::max_element(sums.begin(), sums.end()));
    std::string points = "0," + Number(kSparkHeight);
    for (int i = 0; i < steps; ++i) {
        const double x = steps == 1 ? kSparkWidth / 2 : kSparkWidth * i / (steps - 1);
        const double yValue =
            kSparkHeight - 1 - (kSparkHeight - 2) * double(sums[std::size_t(i)]) / double(top);
        points += " " + Number(x) + "," + Number(yValue);
    }
    points += " " + Number(kSparkWidth) + "," + Number(kSparkHeight);
    return "<svg class=\"spark\" viewBox=\"0 0 " + Number(kSparkWidth) + " " +
           Number(kSparkHeight) + "\"><polygon points=\"" + points + "\"/></svg>";
}

}  // namespace varnotte
