#include "report/report_html.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>

#include "report/report_charts.h"
#include "sourcesafe/automation_date.h"

namespace varnotte {
namespace {

constexpr std::size_t kSubtreeRows = 12;
constexpr std::size_t kUserColumns = 5;  // busiest users with a colour of their own
constexpr std::size_t kLabelRows = 100;
constexpr double kQuietDays = 2 * 365.25;

// Of the items the last section lists, those exported all the same.
long long ExportedDamage(const ReportContext& context) {
    return std::count_if(context.unreadable.begin(), context.unreadable.end(),
                         [](const UnreadableItem& item) { return item.exported; });
}

const char kStyle[] = R"(
*{box-sizing:border-box;-webkit-print-color-adjust:exact;print-color-adjust:exact}
body{font-family:"DejaVu Sans","IPAGothic","Noto Sans CJK JP",Arial,sans-serif;color:#1d232b;
 margin:0 auto;padding:24px 32px;max-width:1060px;font-size:14px;line-height:1.4}
h1{font-size:24px;margin:0 0 4px}
h2{font-size:18px;margin:28px 0 8px;padding-bottom:3px;border-bottom:2px solid #2f6db5}
h3{font-size:15px;margin:16px 0 6px}
p{margin:4px 0 8px}
.sub{color:#58616c;margin:0}
.note{color:#58616c;font-size:12.5px}
.tiles{display:grid;grid-template-columns:repeat(4,1fr);gap:8px;margin:12px 0}
.tile{border:1px solid #d3d8de;border-radius:6px;padding:8px 10px;background:#f5f7fa}
.tile b{display:block;font-size:22px}
.tile span{color:#58616c;font-size:12.5px}
.tile.alert{background:#fdecea;border-color:#e3a39e}
table{border-collapse:collapse;width:100%;margin:6px 0 10px}
th,td{text-align:left;padding:3px 8px;border-bottom:1px solid #e1e5ea;vertical-align:top}
th{background:#eef1f5;font-weight:600;font-size:12.5px}
td.n,th.n{text-align:right;white-space:nowrap}
td.d{white-space:nowrap}
table.facts th{width:32%;background:none;font-size:14px;font-weight:normal;color:#58616c}
.path{font-family:"DejaVu Sans Mono",monospace;font-size:12.5px;word-break:break-all}
svg.chart{width:100%;height:auto;display:block}
svg.chart .grid{stroke:#e1e5ea;stroke-width:1}
svg.chart .tick{stroke:#8a939d}
svg.chart text{font-size:13px;fill:#58616c}
svg.chart .scale{text-anchor:end}
svg.chart .year{text-anchor:middle}
svg.spark{width:120px;height:24px;display:block}
svg.spark polygon{fill:#bcd3ee;stroke:#2f6db5;stroke-width:1}
.legend{margin:4px 0 0;padding:0;list-style:none}
.legend li{display:inline-block;margin-right:16px;font-size:12.5px}
.swatch{display:inline-block;width:11px;height:11px;margin-right:5px;vertical-align:-1px}
.bar{display:inline-block;height:9px;background:#2f6db5;vertical-align:0}
.quiet{display:inline-block;margin-left:6px;padding:0 6px;border-radius:8px;font-size:11.5px;
 background:#fbe7c8;color:#7a4a00;white-space:nowrap}
.muted{color:#8a939d}
footer{margin-top:28px;color:#8a939d;font-size:12px}
@page{size:A4;margin:14mm 12mm}
@media print{
 body{padding:0;max-width:none;font-size:10pt}
 h2{break-after:avoid}
 tr,.tile,svg{break-inside:avoid}
 .tiles{grid-template-columns:repeat(4,1fr)}
}
)";

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Text for HTML, escaped.
std::string E(const QString& text) {
    return text.toHtmlEscaped().toStdString();
}

std::string E(const std::string& text) {
    return E(Q(text));
}

QString Count(long long value) {
    return QLocale(QLocale::English).toString(value);
}

QString Bytes(long long value) {
    return QLocale(QLocale::English).formattedDataSize(value, 1, QLocale::DataSizeSIFormat);
}

std::string Day(double date) {
    return IsDated(date) ? sourcesafe::FormatAutomationDateIso(date).substr(0, 10) : "—";
}

std::string Minute(double date) {
    std::string text = sourcesafe::FormatAutomationDateIso(date).substr(0, 16);
    std::replace(text.begin(), text.end(), 'T', ' ');
    return text;
}

// "(UTC+05:30) Chennai, Kolkata, Mumbai, New Delhi (UTC+05:30)"; a zone without a name
// is its offset; daylight saving time, where the zone has it, is its second offset.
QString ZoneText(const sourcesafe::TimeZone& zone, const std::string& name) {
    QString offsets =
        QStringLiteral("UTC") + Q(sourcesafe::UtcOffsetText(-(zone.bias + zone.standardBias)));
    if (zone.SwitchesToDaylight()) {
        offsets += QStringLiteral(", UTC") +
                   Q(sourcesafe::UtcOffsetText(-(zone.bias + zone.daylightBias)));
    }
    return name.empty() ? offsets : Q(name) + QStringLiteral(" (") + offsets + QStringLiteral(")");
}

QString Folded(const std::string& name) {
    return Q(name).toCaseFolded();
}

class ReportWriter {
  public:
    ReportWriter(const ReportFacts& facts, const ReportContext& context, ReportLanguage language)
        : facts_(facts), context_(context), t_(TextsFor(language)) {
        dated_ = facts.firstDate != 0;
        if (dated_) {
            firstMonth_ = MonthOf(facts.firstDate);
            lastMonth_ = MonthOf(facts.lastDate);
        }
        for (const UserSummary& user : context.users) {
            if (user.versions > 0) {
                ++writers_;
            }
            if (user.listed) {
                ++listedUsers_;
            }
        }
    }

    std::string Html() {
        out_ = "<!DOCTYPE html>\n<html lang=\"" + std::string(t_.htmlLanguage) +
               "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + E(Q(t_.title)) + " — " +
               E(context_.iniPath) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
        Header();
        Glance();
        Activity();
        Projects();
        People();
        Checkouts();
        Special();
        Labels();
        Content();
        Unreadable();
        std::string data = ReportDataJson(facts_, context_);
        // "</" would end the block early; JSON reads "<\/" as "</".
        for (std::size_t at = data.find("</"); at != std::string::npos;
             at = data.find("</", at + 3)) {
            data.replace(at, 2, "<\\/");
        }
        out_ += "<script type=\"application/json\" id=\"report-data\">" + data +
                "</script>\n</body>\n</html>\n";
        return std::move(out_);
    }

  private:
    void Header() {
        out_ += "<header><h1>" + E(Q(t_.title)) + "</h1><p class=\"sub path\">" +
                E(context_.iniPath) + "</p></header>\n";
    }

    void Tile(const char* label, long long value, bool alert = false) {
        out_ += std::string("<div class=\"tile") + (alert ? " alert" : "") + "\"><b>" +
                E(Count(value)) + "</b><span>" + E(Q(label)) + "</span></div>";
    }

    void FactRow(const char* label, const QString& value, bool path = false) {
        out_ += "<tr><th>" + E(Q(label)) + "</th><td" + (path ? " class=\"path\"" : "") + ">" +
                E(value) + "</td></tr>\n";
    }

    void Glance() {
        out_ += "<section id=\"glance\"><h2>" + E(Q(t_.glance)) + "</h2>\n<div class=\"tiles\">";
        Tile(t_.projects, facts_.projects);
        Tile(t_.files, facts_.files);
        Tile(t_.fileVersions, facts_.fileVersions);
        Tile(t_.projectEntries, facts_.projectVersions);
        Tile(t_.users, listedUsers_);
        Tile(t_.labels, facts_.labels());
        Tile(t_.deletedItems, facts_.deletedItems);
        Tile(t_.checkouts, facts_.checkedOutFiles);
        Tile(t_.damage, static_cast<long long>(context_.unreadable.size()),
             !context_.unreadable.empty());
        out_ += "</div>\n<table class=\"facts\">\n";
        FactRow(t_.database, Q(context_.iniPath), true);
        FactRow(t_.dataFolder, Q(context_.dataFolder), true);
        FactRow(t_.reportedProject, Q(context_.spec), true);
        FactRow(t_.format, Q(t_.formatValue));
        const QString page = QString::number(context_.codePage);
        switch (context_.codePageOrigin) {
            case sourcesafe::CodePageOrigin::kForced:
                FactRow(t_.codePage, Q(t_.codePageForced).arg(page));
                break;
            case sourcesafe::CodePageOrigin::kNotNeeded:
                FactRow(t_.codePage, Q(t_.codePageNotNeeded));
                break;
            case sourcesafe::CodePageOrigin::kGuessed:
                FactRow(t_.codePage, Q(t_.codePageGuessed).arg(page));
                break;
        }
        FactRow(t_.fileVersions, Q(t_.fileVersionsCounted).arg(Count(facts_.fileVersions)));
        FactRow(t_.projectEntries, Q(t_.projectEntriesCounted).arg(Count(facts_.projectVersions)));
        QString users = Q(t_.usersSplit).arg(Count(listedUsers_), Count(writers_));
        for (const std::string& name : context_.usersListedTwice) {
            users += QStringLiteral("; ") + Q(t_.listedTwice).arg(Q(name));
        }
        FactRow(t_.users, users);
        FactRow(t_.labels,
                Q(t_.labelsSplit).arg(Count(facts_.projectLabels), Count(facts_.fileLabels)));
        FactRow(t_.timeZone,
                context_.timeZone == nullptr
                    ? Q(t_.timeZoneUnnamed)
                    : Q(t_.timeZoneNamed).arg(ZoneText(*context_.timeZone, context_.timeZoneName)));
        FactRow(t_.firstActivity, Q(Day(facts_.firstDate)));
        FactRow(t_.lastActivity, Q(Day(facts_.lastDate)));
        const QString content = Bytes(facts_.contentBytes);
        FactRow(t_.content, facts_.missingContent == 0
                                ? content
                                : CountedText(t_.contentMissing, facts_.missingContent)
                                      .arg(content, Count(facts_.missingContent)));
        FactRow(t_.onDisk,
                CountedText(t_.onDiskValue, context_.dataFolderFiles)
                    .arg(Bytes(context_.dataFolderBytes), Count(context_.dataFolderFiles)));
        const long long exported = ExportedDamage(context_);
        const long long unread = static_cast<long long>(context_.unreadable.size()) - exported;
        QStringList damage;
        if (unread > 0) {
            damage.append(CountedText(t_.damageSome, unread).arg(Count(unread)));
        }
        if (exported > 0) {
            damage.append(CountedText(t_.damageExported, exported).arg(Count(exported)));
        }
        if (damage.isEmpty()) {
            damage.append(Q(context_.contentChecked ? t_.damageNone : t_.damageNoneUnchecked));
        } else if (!context_.contentChecked) {
            damage.append(Q(t_.contentNotChecked));
        }
        FactRow(t_.damage, damage.join(QStringLiteral("; ")));
        out_ += "</table></section>\n";
    }

    // The busiest users' folded names, most versions first.
    std::vector<QString> BusiestUsers() const {
        std::map<QString, long long> totals;
        for (const auto& [month, users] : facts_.versionsPerMonthByUser) {
            for (const auto& [name, count] : users) {
                totals[Q(name)] += count;
            }
        }
        std::vector<std::pair<QString, long long>> sorted(totals.begin(), totals.end());
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        std::vector<QString> names;
        for (std::size_t i = 0; i < sorted.size() && i < kUserColumns; ++i) {
            names.push_back(sorted[i].first);
        }
        return names;
    }

    std::string DisplayName(const QString& folded) const {
        for (const UserSummary& user : context_.users) {
            if (Folded(user.name) == folded) {
                return user.name;
            }
        }
        return folded.toStdString();
    }

    void Activity() {
        out_ += "<section id=\"activity\"><h2>" + E(Q(t_.activity)) + "</h2>\n<p class=\"note\">" +
                E(Q(t_.activityNote)) + "</p>\n";
        if (!dated_) {
            out_ += "<p>" + E(Q(t_.noActivity)) + "</p></section>\n";
            return;
        }
        const std::vector<QString> busiest = BusiestUsers();
        std::vector<std::map<MonthKey, long long>> perUser(busiest.size() + 1);
        for (const auto& [month, users] : facts_.versionsPerMonthByUser) {
            for (const auto& [name, count] : users) {
                const auto at = std::find(busiest.begin(), busiest.end(), Q(name));
                perUser[static_cast<std::size_t>(at - busiest.begin())][month] += count;
            }
        }
        std::vector<ChartSeries> series;
        std::string legend = "<ul class=\"legend\">";
        for (std::size_t i = 0; i < perUser.size(); ++i) {
            const bool others = i == busiest.size();
            if (others && perUser[i].empty()) {
                break;
            }
            const std::string& colour = others ? OthersColour() : UserColours()[i];
            series.push_back({&perUser[i], colour});
            long long total = 0;
            for (const auto& [month, count] : perUser[i]) {
                total += count;
            }
            legend += "<li><span class=\"swatch\" style=\"background:" + colour + "\"></span>" +
                      E(others ? Q(t_.others) : Q(DisplayName(busiest[i]))) + " (" +
                      E(Count(total)) + ")</li>";
        }
        out_ += MonthBarChart(series, firstMonth_, lastMonth_, 260, t_.monthTip) + "\n" + legend +
                "</ul>\n";
        if (facts_.undatedVersions > 0) {
            out_ += "<p class=\"note\">" +
                    E(CountedText(t_.undated, facts_.undatedVersions)
                          .arg(Count(facts_.undatedVersions))) +
                    "</p>";
        }
        out_ += "</section>\n";
    }

    void SubtreeTable(const char* heading, std::vector<const SubtreeFacts*> rows, bool byActivity) {
        std::stable_sort(rows.begin(), rows.end(), [&](const auto* a, const auto* b) {
            if (byActivity) {
                return a->versions > b->versions;
            }
            return a->size != b->size ? a->size > b->size : a->files > b->files;
        });
        rows.resize(std::min(rows.size(), kSubtreeRows));
        out_ += "<h3>" + E(Q(heading)) + "</h3>\n<table><thead><tr><th>" + E(Q(t_.project)) +
                "</th><th class=\"n\">" + E(Q(t_.files)) + "</th><th class=\"n\">" +
                E(Q(t_.versions)) + "</th><th class=\"n\">" + E(Q(t_.size)) + "</th><th>" +
                E(Q(t_.lastChange)) + "</th><th>" + E(Q(t_.trend)) + "</th></tr></thead>\n";
        for (const SubtreeFacts* subtree : rows) {
            std::string quiet;
            const double idle = facts_.lastDate - subtree->lastDate;
            if (dated_ && idle >= kQuietDays) {
                const int years =
                    std::max(2, static_cast<int>(IsDated(subtree->lastDate) ? idle / 365.25 : 0));
                quiet = "<span class=\"quiet\">" + E(Q(t_.quiet).arg(years)) + "</span>";
            }
            out_ += "<tr><td class=\"path\">" + E(subtree->spec) + "</td><td class=\"n\">" +
                    E(Count(subtree->files)) + "</td><td class=\"n\">" +
                    E(Count(subtree->versions)) + "</td><td class=\"n\">" +
                    E(Bytes(subtree->size)) + "</td><td>" + Day(subtree->lastDate) + quiet +
                    "</td><td>" +
                    (dated_ ? Sparkline(subtree->versionsPerMonth, firstMonth_, lastMonth_) : "") +
                    "</td></tr>\n";
        }
        out_ += "</table>\n";
    }

    void Projects() {
        out_ += "<section id=\"projects\"><h2>" + E(Q(t_.projectsSection)) +
                "</h2>\n<p class=\"note\">" + E(Q(t_.projectsNote)) + "</p>\n";
        if (facts_.subtrees.empty()) {
            out_ += "<p>" + E(Q(t_.noSubtrees)) + "</p></section>\n";
            return;
        }
        std::vector<const SubtreeFacts*> rows;
        for (const SubtreeFacts& subtree : facts_.subtrees) {
            rows.push_back(&subtree);
        }
        SubtreeTable(t_.largest, rows, false);
        SubtreeTable(t_.mostActive, rows, true);
        out_ += "</section>\n";
    }

    void People() {
        std::vector<const UserSummary*> users;
        long long most = 1;
        for (const UserSummary& user : context_.users) {
            users.push_back(&user);
            most = std::max(most, user.versions);
        }
        std::stable_sort(users.begin(), users.end(),
                         [](const auto* a, const auto* b) { return a->versions > b->versions; });
        out_ += "<section id=\"people\"><h2>" + E(Q(t_.people)) + "</h2>\n<p class=\"note\">" +
                E(Q(t_.peopleNote)) + "</p>\n<table><thead><tr><th>" + E(Q(t_.user)) +
                "</th><th class=\"n\">" + E(Q(t_.versions)) + "</th><th></th><th>" +
                E(Q(t_.first)) + "</th><th>" + E(Q(t_.last)) + "</th></tr></thead>\n";
        for (const UserSummary* user : users) {
            std::string note;
            if (!user->listed) {
                note = " <span class=\"muted\">(" + E(Q(t_.notAUser)) + ")</span>";
            } else if (user->readOnly) {
                note = " <span class=\"muted\">(" + E(Q(t_.readOnly)) + ")</span>";
            }
            const double width = 160.0 * double(user->versions) / double(most);
            out_ += "<tr><td>" + E(user->name) + note + "</td><td class=\"n\">" +
                    E(Count(user->versions)) + "</td><td><span class=\"bar\" style=\"width:" +
                    std::to_string(static_cast<int>(std::ceil(width))) + "px\"></span></td><td>" +
                    (user->versions > 0 ? Day(user->firstDate) : "—") + "</td><td>" +
                    (user->versions > 0 ? Day(user->lastDate) : "—") + "</td></tr>\n";
        }
        out_ += "</table></section>\n";
    }

    void More(long long all, std::size_t shown) {
        if (all > static_cast<long long>(shown)) {
            out_ += "<p class=\"note\">" +
                    E(CountedText(t_.more, all - static_cast<long long>(shown))
                          .arg(Count(all - static_cast<long long>(shown)))) +
                    "</p>\n";
        }
    }

    void Checkouts() {
        out_ += "<section id=\"checkouts\"><h2>" + E(Q(t_.checkouts)) + "</h2>\n";
        if (facts_.checkouts == 0) {
            out_ += "<p>" + E(Q(t_.noCheckouts)) + "</p></section>\n";
            return;
        }
        // Who holds the most first.
        std::vector<std::pair<std::string, long long>> holders(facts_.checkoutsByUser.begin(),
                                                               facts_.checkoutsByUser.end());
        std::stable_sort(holders.begin(), holders.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        QStringList byUser;
        for (const auto& [user, count] : holders) {
            byUser << Q(user) + QStringLiteral(" ") + Count(count);
        }
        out_ += "<p>" +
                E(Q(t_.checkoutsSummary)
                      .arg(Count(facts_.checkedOutFiles), Count(facts_.checkouts),
                           byUser.join(QStringLiteral(", ")))) +
                "</p>\n<table><thead><tr><th>" + E(Q(t_.file)) + "</th><th>" + E(Q(t_.by)) +
                "</th><th>" + E(Q(t_.since)) + "</th><th>" + E(Q(t_.workingFolder)) + "</th><th>" +
                E(Q(t_.machine)) + "</th></tr></thead>\n";
        for (const CheckoutFacts& entry : facts_.checkoutList) {
            out_ += "<tr><td class=\"path\">" + E(entry.spec) + "</td><td>" +
                    E(entry.checkout.user) + "</td><td class=\"d\">" + Minute(entry.checkout.date) +
                    "</td><td class=\"path\">" + E(entry.checkout.folder) +
                    "</td><td class=\"d\">" + E(entry.checkout.machine) + "</td></tr>\n";
        }
        out_ += "</table>\n";
        More(facts_.checkouts, facts_.checkoutList.size());
        out_ += "</section>\n";
    }

    template <typename Describe>
    void PlaceRows(const char* kind, const std::vector<PlaceFacts>& places, Describe describe) {
        for (const PlaceFacts& place : places) {
            out_ += "<tr><td class=\"d\">" + E(Q(kind)) + "</td><td class=\"path\">" +
                    E(place.spec) + "</td><td>" + E(describe(place)) + "</td></tr>\n";
        }
    }

    void Special() {
        out_ += "<section id=\"special\"><h2>" + E(Q(t_.special)) + "</h2>\n<p>" +
                E(Q(t_.specialSummary)
                      .arg(Count(facts_.pinnedFiles), Count(facts_.branchedFiles),
                           Count(facts_.sharedFiles))) +
                "</p>\n";
        if (facts_.pinnedFiles + facts_.branchedFiles + facts_.sharedFiles == 0) {
            out_ += "</section>\n";
            return;
        }
        out_ += "<table><thead><tr><th></th><th>" + E(Q(t_.file)) + "</th><th></th></tr></thead>\n";
        PlaceRows(t_.pinned, facts_.pinnedList,
                  [&](const PlaceFacts& place) { return Q(t_.pinnedAt).arg(place.pinnedVersion); });
        PlaceRows(t_.branched, facts_.branchedList, [&](const PlaceFacts& place) {
            return place.branch.spec.empty()
                       ? Q(t_.branchedFromGone).arg(place.branch.version)
                       : Q(t_.branchedFrom)
                             .arg(Q(place.branch.spec), QString::number(place.branch.version));
        });
        PlaceRows(t_.shared, facts_.sharedList, [&](const PlaceFacts& place) {
            QStringList others;
            for (const std::string& link : place.links) {
                if (link != place.spec) {
                    others << Q(link);
                }
            }
            return Q(t_.sharedAlso).arg(others.join(QStringLiteral(", ")));
        });
        out_ += "</table>\n";
        const auto left = [](long long all, const std::vector<PlaceFacts>& listed) {
            return all - static_cast<long long>(listed.size());
        };
        More(left(facts_.pinnedFiles, facts_.pinnedList) +
                 left(facts_.branchedFiles, facts_.branchedList) +
                 left(facts_.sharedPhysicalFiles, facts_.sharedList),
             0);
        out_ += "</section>\n";
    }

    void Labels() {
        out_ += "<section id=\"labels\"><h2>" + E(Q(t_.labelsSection)) + "</h2>\n";
        if (facts_.labels() == 0) {
            out_ += "<p>" + E(Q(t_.noLabels)) + "</p></section>\n";
            return;
        }
        out_ += "<p>" +
                E(Q(t_.labelsSplit).arg(Count(facts_.projectLabels), Count(facts_.fileLabels))) +
                "</p><p class=\"note\">" + E(Q(t_.labelsNote)) + "</p>\n";
        if (dated_) {
            out_ += MonthBarChart({{&facts_.labelsPerMonth, "#3a9b4a"}}, firstMonth_, lastMonth_,
                                  110, std::string(t_.labels) + " %1: %2") +
                    "\n";
        }
        std::vector<const LabelFacts*> labels;
        for (const LabelFacts& label : facts_.projectLabelList) {
            labels.push_back(&label);
        }
        std::stable_sort(labels.begin(), labels.end(),
                         [](const auto* a, const auto* b) { return a->date > b->date; });
        if (!labels.empty()) {
            out_ += "<table><thead><tr><th>" + E(Q(t_.date)) + "</th><th>" + E(Q(t_.label)) +
                    "</th><th>" + E(Q(t_.project)) + "</th><th>" + E(Q(t_.by)) +
                    "</th></tr></thead>\n";
            for (std::size_t i = 0; i < labels.size() && i < kLabelRows; ++i) {
                out_ += "<tr><td>" + Day(labels[i]->date) + "</td><td><b>" + E(labels[i]->label) +
                        "</b></td><td class=\"path\">" + E(labels[i]->spec) + "</td><td>" +
                        E(labels[i]->user) + "</td></tr>\n";
            }
            out_ += "</table>\n";
            More(facts_.projectLabels, std::min(labels.size(), kLabelRows));
        }
        out_ += "</section>\n";
    }

    void FileBytesTable(const char* heading, const std::vector<FileBytes>& files) {
        if (files.empty()) {
            return;
        }
        out_ += "<h3>" + E(Q(heading)) + "</h3>\n<table><thead><tr><th>" + E(Q(t_.file)) +
                "</th><th>" + E(Q(t_.size)) + "</th></tr></thead>\n";
        for (const FileBytes& file : files) {
            out_ += "<tr><td class=\"path\">" + E(file.spec) + "</td><td class=\"n\">" +
                    E(Bytes(file.bytes)) + "</td></tr>\n";
        }
        out_ += "</table>\n";
    }

    // What rebuilding every version found; only when the content was checked.
    void Content() {
        if (context_.content == nullptr) {
            return;
        }
        const ContentReportFacts& content = *context_.content;
        out_ += "<section id=\"content\"><h2>" + E(Q(t_.contentSection)) + "</h2>\n<p>" +
                E(CountedText(t_.contentSummary, content.files)
                      .arg(Count(content.files), Count(content.versions),
                           Bytes(content.historyBytes))) +
                "</p>\n";
        if (content.restoredFiles > 0) {
            out_ += "<p>" +
                    E(CountedText(t_.contentRestored, content.restoredFiles)
                          .arg(Count(content.restoredFiles))) +
                    "</p>\n";
        }
        out_ += "<h3>" + E(Q(t_.contentNotWhole)) + "</h3>\n";
        if (content.notWhole == 0) {
            out_ += "<p>" + E(Q(t_.contentAllWhole)) + "</p>\n";
        } else {
            out_ += "<table><thead><tr><th>" + E(Q(t_.file)) + "</th><th>" + E(Q(t_.reason)) +
                    "</th></tr></thead>\n";
            for (const FileWhy& file : content.notWholeList) {
                out_ += "<tr><td class=\"path\">" + E(file.spec) + "</td><td>" + E(file.why) +
                        "</td></tr>\n";
            }
            out_ += "</table>\n";
            More(content.notWhole, content.notWholeList.size());
        }
        FileBytesTable(t_.largestFiles, content.largestFiles);
        FileBytesTable(t_.largestHistories, content.largestHistories);
        ClaimedAndFound(content);
        out_ += "<h3>" + E(Q(t_.latestOnly)) + "</h3>\n";
        if (content.latestOnly == 0) {
            out_ += "<p>" + E(Q(t_.noLatestOnly)) + "</p>\n";
        } else {
            out_ += "<ul>";
            for (const std::string& spec : content.latestOnlyList) {
                out_ += "<li class=\"path\">" + E(spec) + "</li>";
            }
            out_ += "</ul>\n";
            More(content.latestOnly, content.latestOnlyList.size());
        }
        out_ += "</section>\n";
    }

    // A row per binary flag, a column per kind of content found.
    void ClaimedAndFound(const ContentReportFacts& content) {
        if (content.claimedAndFound.empty()) {
            return;
        }
        std::vector<std::string> found;
        for (const auto& [claim, kinds] : content.claimedAndFound) {
            for (const auto& [kind, count] : kinds) {
                if (std::find(found.begin(), found.end(), kind) == found.end()) {
                    found.push_back(kind);
                }
            }
        }
        std::sort(found.begin(), found.end());
        out_ += "<h3>" + E(Q(t_.claimedAndFound)) + "</h3>\n<table><thead><tr><th>" +
                E(Q(t_.claimed)) + "</th>";
        for (const std::string& kind : found) {
            out_ += "<th>" + E(kind) + "</th>";
        }
        out_ += "</tr></thead>\n";
        for (const auto& [claim, kinds] : content.claimedAndFound) {
            out_ +=
                "<tr><td>" + E(Q(claim == "binary" ? t_.claimedBinary : t_.claimedText)) + "</td>";
            for (const std::string& kind : found) {
                const auto at = kinds.find(kind);
                out_ += "<td class=\"n\">" + E(Count(at == kinds.end() ? 0 : at->second)) + "</td>";
            }
            out_ += "</tr>\n";
        }
        out_ += "</table>\n";
    }

    void Unreadable() {
        out_ += "<section id=\"unreadable\"><h2>" + E(Q(t_.unreadable)) + "</h2>\n";
        if (context_.unreadable.empty()) {
            out_ += "<p>" + E(Q(t_.allRead)) + "</p>";
        } else {
            out_ += "<table><thead><tr><th>" + E(Q(t_.item)) + "</th><th>" + E(Q(t_.reason)) +
                    "</th></tr></thead>\n";
            for (const UnreadableItem& item : context_.unreadable) {
                out_ += "<tr><td class=\"path\">" + E(item.spec) + "</td><td>" + E(item.reason) +
                        "</td></tr>\n";
            }
            out_ += "</table>";
        }
        out_ += "</section>\n<footer>" +
                E(Q(t_.written).arg(Q(context_.writtenAt), Q(context_.programVersion))) +
                "</footer>\n";
    }

    const ReportFacts& facts_;
    const ReportContext& context_;
    const ReportTexts& t_;
    bool dated_ = false;
    MonthKey firstMonth_ = 0;
    MonthKey lastMonth_ = 0;
    long long writers_ = 0;
    long long listedUsers_ = 0;
    std::string out_;
};

}  // namespace

std::string ReportDataJson(const ReportFacts& facts, const ReportContext& context) {
    QJsonObject months;
    for (const auto& [month, count] : facts.versionsPerMonth) {
        months.insert(Q(MonthText(month)), count);
    }
    QJsonObject users;
    long long listed = 0;
    for (const UserSummary& user : context.users) {
        if (user.versions > 0) {
            users.insert(Q(user.name), user.versions);
        }
        listed += user.listed ? 1 : 0;
    }
    const QJsonObject data{
        {"projects", facts.projects},
        {"files", facts.files},
        {"deletedItems", facts.deletedItems},
        {"versions", facts.versions()},
        {"fileVersions", facts.fileVersions},
        {"projectVersions", facts.projectVersions},
        {"labels", facts.labels()},
        {"projectLabels", facts.projectLabels},
        {"fileLabels", facts.fileLabels},
        {"checkedOutFiles", facts.checkedOutFiles},
        {"checkouts", facts.checkouts},
        {"pinnedFiles", facts.pinnedFiles},
        {"branchedFiles", facts.branchedFiles},
        {"sharedFiles", facts.sharedFiles},
        {"contentBytes", facts.contentBytes},
        {"users", listed},
        {"unreadable", static_cast<qint64>(context.unreadable.size()) - ExportedDamage(context)},
        {"damagedExported", ExportedDamage(context)},
        {"firstDate", IsDated(facts.firstDate) ? QJsonValue(Q(sourcesafe::FormatAutomationDateIso(
                                                     facts.firstDate, context.timeZone)))
                                               : QJsonValue()},
        {"lastDate", IsDated(facts.lastDate) ? QJsonValue(Q(sourcesafe::FormatAutomationDateIso(
                                                   facts.lastDate, context.timeZone)))
                                             : QJsonValue()},
        {"versionsPerMonth", months},
        {"versionsPerUser", users},
    };
    QJsonObject withContent = data;
    if (context.content != nullptr) {
        const ContentReportFacts& content = *context.content;
        QJsonObject claimed;
        for (const auto& [claim, kinds] : content.claimedAndFound) {
            QJsonObject found;
            for (const auto& [kind, count] : kinds) {
                found.insert(Q(kind), count);
            }
            claimed.insert(Q(claim), found);
        }
        withContent.insert("content", QJsonObject{
                                          {"files", content.files},
                                          {"versions", content.versions},
                                          {"historyBytes", content.historyBytes},
                                          {"notWhole", content.notWhole},
                                          {"restoredFiles", content.restoredFiles},
                                          {"latestOnly", content.latestOnly},
                                          {"claimedAndFound", claimed},
                                      });
    }
    return QJsonDocument(withContent).toJson(QJsonDocument::Compact).toStdString();
}

std::string ReportHtml(const ReportFacts& facts, const ReportContext& context,
                       ReportLanguage language) {
    return ReportWriter(facts, context, language).Html();
}

}  // namespace varnotte
