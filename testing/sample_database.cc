#include "testing/sample_database.h"

#include <chrono>
#include <string>
#include <string_view>

#include "testing/code_page_words.h"
#include "testing/database_writer.h"

namespace vsstest {
namespace {

constexpr int kCodePage = 932;

// Texts are written here in UTF-8 and stored as a Japanese Windows machine stores them.
std::string J(std::string_view utf8) {
    return EncodeInCodePage(utf8, kCodePage);
}

// Stored times are the writer's wall clock, counted as if it were UTC.
std::uint32_t At(int year, unsigned month, unsigned day, int hour, int minute) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year(year) / month / day};
    return static_cast<std::uint32_t>((date.time_since_epoch() + hours(hour) + minutes(minute)) /
                                      seconds(1));
}

}  // namespace

void WriteSampleDatabase(const std::filesystem::path& root) {
    const std::string tanaka = J("田中");
    const std::string suzuki = J("鈴木");
    const std::string emily = "emily";
    const std::string oliver = "oliver";
    const auto by = [](const std::string& user, std::uint32_t time, std::string comment = {}) {
        return Stamp{user, time, std::move(comment)};
    };

    WriterOptions options;
    options.rootCreation = by("Admin", At(2021, 4, 5, 9, 0));
    DatabaseWriter w(root, options);
    for (const std::string& user : {tanaka, suzuki, emily, oliver}) {
        w.AddUser(user, "");
    }

    // Three projects: a sales system written in Japan, code shared with it, a web site.
    const ItemId sales = w.AddProject(w.Root(), J("販売管理"),
                                      by("Admin", At(2021, 4, 5, 9, 12), J("販売管理システム")));
    const ItemId common = w.AddProject(
        w.Root(), "Common", by("Admin", At(2021, 4, 5, 9, 14), "Code shared by every project"));
    const ItemId specs = w.AddProject(sales, J("仕様書"), by(tanaka, At(2021, 4, 5, 10, 2)));

    const ItemId design =
        w.AddFile(specs, J("基本設計書.doc"), by(tanaka, At(2021, 4, 6, 11, 30), J("初版")), true);
    const ItemId header =
        w.AddFile(common, "common.h", by(emily, At(2021, 4, 12, 14, 5), "Shared definitions"));
    const ItemId util =
        w.AddFile(common, "util.c", by(emily, At(2021, 4, 15, 16, 40), "Utility functions"));
    const ItemId screens = w.AddFile(
        specs, J("画面一覧.xls"), by(suzuki, At(2021, 4, 20, 10, 15), J("画面一覧を作成")), true);
    w.CheckIn(header, by(emily, At(2021, 5, 3, 9, 50), "Add the date helpers"));
    w.CheckIn(design,
              by(suzuki, At(2021, 5, 10, 17, 20), J("レビュー指摘を反映\r\n画面遷移図を更新")));

    const ItemId source = w.AddProject(sales, J("ソース"), by(suzuki, At(2021, 6, 1, 9, 0)));
    const ItemId mainC = w.AddFile(source, "main.c", by(suzuki, At(2021, 6, 1, 9, 30), J("初版")));
    w.Share(header, source, by(suzuki, At(2021, 6, 2, 13, 0)));
    w.Share(util, source, by(suzuki, At(2021, 6, 2, 13, 1)));
    const ItemId orders =
        w.AddFile(source, J("受注入力.c"), by(suzuki, At(2021, 6, 3, 15, 45), J("受注入力画面")));
    const ItemId oldReport =
        w.AddFile(source, J("旧帳票.c"), by(suzuki, At(2021, 6, 10, 11, 0), J("帳票出力")));
    w.CheckIn(mainC, by(emily, At(2021, 7, 14, 10, 25), "Fix the build on Windows 10"));
    w.CheckIn(orders, by(tanaka, At(2021, 8, 19, 18, 5),
                         J("入力チェックを追加\r\n数量が0のときはエラーにする")));

    const ItemId site =
        w.AddProject(w.Root(), "Website", by(emily, At(2021, 9, 1, 9, 0), "Company web site"));
    const ItemId index =
        w.AddFile(site, "index.html", by(emily, At(2021, 9, 1, 9, 20), "First page"));
    const ItemId style = w.AddFile(site, "style.css", by(emily, At(2021, 9, 1, 9, 21)));
    const ItemId images = w.AddProject(site, "images", by(emily, At(2021, 9, 1, 9, 25)));
    const ItemId logo =
        w.AddFile(images, "logo.png", by(emily, At(2021, 9, 1, 9, 26), "Logo"), true);
    const ItemId about =
        w.AddFile(site, "about.html", by(emily, At(2021, 9, 2, 15, 10), "About us"));
    w.CheckIn(design, by(tanaka, At(2021, 9, 2, 16, 0), J("第2版")));
    w.CheckIn(index, by(oliver, At(2021, 10, 4, 11, 45),
                        "New front page\r\nAlso fixed the menu on small screens."));
    w.CheckIn(style, by(oliver, At(2021, 10, 4, 11, 46), "Colours from the new logo"));
    w.CheckIn(header, by(oliver, At(2021, 11, 30, 14, 20), "Add the currency type"));
    w.CheckIn(util, by(emily, At(2021, 12, 6, 10, 0), "Date formatting"));

    w.CheckIn(screens, by(suzuki, At(2022, 1, 11, 9, 40), J("受注画面を追加")));
    w.CheckIn(mainC, by(suzuki, At(2022, 2, 22, 17, 55),
                        J("起動時の設定読み込みを修正\r\n設定ファイルがない場合は既定値を使う")));
    w.CheckIn(design, by(tanaka, At(2022, 3, 15, 13, 30), J("帳票レイアウトを追加")));
    const ItemId report = w.AddFile(source, J("帳票出力.c"),
                                    by(tanaka, At(2022, 3, 28, 10, 10), J("新しい帳票出力")));
    w.Delete(source, oldReport, by(suzuki, At(2022, 4, 1, 9, 5), J("新しい帳票出力に置き換え")));
    w.CheckIn(index, by(emily, At(2022, 4, 22, 16, 30), "Spring campaign banner"));
    w.Label(index, "v2.0", by(emily, At(2022, 4, 25, 9, 0), "Spring campaign live"));
    w.CheckIn(orders, by(oliver, At(2022, 5, 30, 15, 0), "Round totals to whole yen"));
    w.Delete(source, report, by(oliver, At(2022, 6, 15, 17, 40)));
    w.Recover(source, report, by(tanaka, At(2022, 6, 16, 9, 15), J("誤って削除したため復元")));
    w.CheckIn(header, by(emily, At(2022, 8, 10, 11, 0), "Wider buffer for long names"));

    // The release: the sales system keeps the shared header as it was then.
    w.Pin(source, header, 3, by(tanaka, At(2022, 9, 1, 10, 0)));
    w.Label(sales, J("リリース1.0"), by("Admin", At(2022, 9, 1, 10, 30)),
            J("初回リリース\r\n客先に納品"));
    const ItemId ownUtil =
        w.Branch(source, util, by(suzuki, At(2022, 10, 3, 14, 0), J("販売管理用に分岐")));
    w.CheckIn(about, by(emily, At(2022, 11, 2, 12, 0), "Team photo"));
    w.CheckIn(ownUtil, by(suzuki, At(2022, 11, 20, 16, 25), J("日付の書式を和暦に対応")));
    w.CheckIn(logo, by(oliver, At(2022, 12, 12, 10, 30), "Logo for 2023"));

    w.CheckIn(util, by(oliver, At(2023, 1, 17, 11, 5), "Faster string compare"));
    w.CheckIn(orders, by(suzuki, At(2023, 2, 8, 13, 50), J("消費税率の計算を修正")));
    w.CheckIn(index, by(oliver, At(2023, 3, 3, 15, 20), "Update contact details"));
    w.CheckOut(about, {by(oliver, At(2023, 3, 6, 9, 30), "New office address"),
                       "C:\\Users\\oliver\\site",
                       "OLIVER-PC",
                       {}});
    w.Write();
}

}  // namespace vsstest
