// The report's bar chart as a reader sees it: a bar per month with anything in it, its
// pieces as tall as their counts against a scale of whole round steps, stacked in the
// series' order.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>

#include <map>
#include <string>
#include <vector>

#include "report/report_charts.h"

namespace {

using varnotte::MonthKey;

struct Rect {
    double y;
    double height;
    std::string fill;
};

std::vector<Rect> Rects(const std::string& svg) {
    static const QRegularExpression pattern(
        R"re(<rect x="[\d.]+" y="([\d.]+)" width="[\d.]+" height="([\d.]+)" fill="([^"]+)"/>)re");
    std::vector<Rect> rects;
    auto matches = pattern.globalMatch(QString::fromStdString(svg));
    while (matches.hasNext()) {
        const auto match = matches.next();
        rects.push_back({match.captured(1).toDouble(), match.captured(2).toDouble(),
                         match.captured(3).toStdString()});
    }
    return rects;
}

constexpr MonthKey kJanuary2007 = 2007 * 12;
constexpr double kPlotHeight = 260 - 10 - 22;  // the chart's height less its margins

TEST(ReportChart, BarsStackTheirCountsAgainstARoundScale) {
    // January: 6 by one user, 2 by another; February nothing; March 4; and a count
    // outside the months shown, which must not show.
    const std::map<MonthKey, long long> first = {
        {kJanuary2007, 6}, {kJanuary2007 + 2, 4}, {kJanuary2007 + 5, 100}};
    const std::map<MonthKey, long long> second = {{kJanuary2007, 2}};
    const std::string svg =
        varnotte::MonthBarChart({{&first, "#111"}, {&second, "#222"}}, kJanuary2007,
                                kJanuary2007 + 2, 260, "%1: %2 versions");
    const std::vector<Rect> rects = Rects(svg);
    ASSERT_EQ(rects.size(), 3u) << svg;
    // The scale runs to the largest month, 8, in steps of 2.
    for (const char* label : {">0</text>", ">2</text>", ">4</text>", ">6</text>", ">8</text>"}) {
        EXPECT_NE(svg.find(label), std::string::npos) << label;
    }
    EXPECT_EQ(svg.find(">10</text>"), std::string::npos);
    EXPECT_NEAR(rects[0].height, kPlotHeight * 6 / 8, 0.1);
    EXPECT_EQ(rects[0].fill, "#111");
    EXPECT_NEAR(rects[1].height, kPlotHeight * 2 / 8, 0.1);
    EXPECT_EQ(rects[1].fill, "#222");
    EXPECT_NEAR(rects[1].y + rects[1].height, rects[0].y, 0.1) << "stacked on the first";
    EXPECT_NEAR(rects[2].height, kPlotHeight * 4 / 8, 0.1);
    EXPECT_NE(svg.find("<title>2007-01: 8 versions</title>"), std::string::npos);
    EXPECT_EQ(svg.find("2007-02"), std::string::npos) << "no bar for an empty month";
    EXPECT_NE(svg.find(">2007</text>"), std::string::npos) << "the year below";
}

// Thirty years of months would be bars too thin to see: a bar per quarter instead.
TEST(ReportChart, LongHistoriesGetABarPerQuarterOrYear) {
    const std::map<MonthKey, long long> counts = {
        {kJanuary2007, 2}, {kJanuary2007 + 1, 3}, {kJanuary2007 + 3, 1}};
    const std::string quarters = varnotte::MonthBarChart(
        {{&counts, "#111"}}, kJanuary2007 - 12 * 20, kJanuary2007 + 12 * 10, 260, "%1: %2");
    EXPECT_EQ(Rects(quarters).size(), 2u);
    EXPECT_NE(quarters.find("<title>2007 Q1: 5</title>"), std::string::npos);
    EXPECT_NE(quarters.find("<title>2007 Q2: 1</title>"), std::string::npos);
    const std::string years = varnotte::MonthBarChart({{&counts, "#111"}}, kJanuary2007 - 12 * 40,
                                                      kJanuary2007 + 12 * 10, 260, "%1: %2");
    ASSERT_EQ(Rects(years).size(), 1u);
    EXPECT_NE(years.find("<title>2007: 6</title>"), std::string::npos);
    // 6 on a scale of 0, 2, 4, 6.
    EXPECT_NEAR(Rects(years)[0].height, kPlotHeight, 0.1);
}

TEST(ReportChart, OneMonthAndNothingAtAll) {
    const std::map<MonthKey, long long> one = {{kJanuary2007, 1}};
    const std::map<MonthKey, long long> none;
    const std::string svg =
        varnotte::MonthBarChart({{&one, "#111"}}, kJanuary2007, kJanuary2007, 260, "%1");
    const std::vector<Rect> rects = Rects(svg);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_NEAR(rects[0].height, kPlotHeight, 0.1);
    // A scale of 0 and 1, not five labels rounded to 0, 0, 1, 1, 1.
    EXPECT_EQ(QString::fromStdString(svg).count(QStringLiteral("class=\"scale\"")), 2) << svg;
    EXPECT_TRUE(
        Rects(varnotte::MonthBarChart({{&none, "#111"}}, kJanuary2007, kJanuary2007, 260, "%1"))
            .empty());
    for (const auto* counts : {&one, &none}) {
        const std::string line = varnotte::Sparkline(*counts, kJanuary2007, kJanuary2007);
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
        EXPECT_EQ(line.find("inf"), std::string::npos) << line;
    }
}

}  // namespace
