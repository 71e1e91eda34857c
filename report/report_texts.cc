#include "report/report_texts.h"

namespace varnotte {
namespace {

constexpr ReportTexts kEnglish{
    .htmlLanguage = "en",
    .title = "Stock-taking of a SourceSafe database",
    .written = "Written %1 by varnotte-csv %2.",
    .glance = "At a glance",
    .database = "Database",
    .dataFolder = "Data folder",
    .reportedProject = "Project reported on",
    .format = "Format",
    .formatValue = "SourceSafe 6.0 / 2005",
    .codePage = "Code page",
    .codePageGuessed = "%1, guessed from the database's texts",
    .codePageForced = "%1, as --encoding says",
    .codePageNotNeeded = "none needed: every text is ASCII",
    .projects = "Projects",
    .files = "Files",
    .versions = "Versions",
    .fileVersions = "File versions",
    .fileVersionsCounted =
        "%1 — each stored version once: a file shared into several projects, and the "
        "versions a branched file shows from before its branch, count once",
    .projectEntries = "Project history entries",
    .projectEntriesCounted =
        "%1 — the projects' own histories: adds, deletes, renames, shares, pins and labels "
        "(removed labels too, which count as entries and not as labels)",
    .users = "Users",
    .usersSplit = "%1 listed, %2 who wrote versions",
    .listedTwice = "the user file lists %1 twice (a damage; counted once)",
    .labels = "Labels",
    .labelsSplit = "%1 on projects, %2 on files",
    .deletedItems = "Deleted items",
    .timeZone = "Time zone",
    .timeZoneNamed = "%1, as srcsafe.ini names it; dates are shown in its wall clock",
    .timeZoneUnnamed = "not named in srcsafe.ini; dates are shown as the wall clock stored",
    .firstActivity = "First activity",
    .lastActivity = "Last activity",
    .content = "Current content of the files",
    .contentMissing = "%1 (%2 file has no data file)|%1 (%2 files have no data file)",
    .onDisk = "Data folder on disk",
    .onDiskValue = "%1 in %2 file|%1 in %2 files",
    .damage = "Damage found",
    .damageNone = "none: every item could be read",
    .damageNoneUnchecked =
        "none in the records: every item could be read; the files' content was not checked "
        "(--check-content checks it)",
    .contentNotChecked = "the files' content was not checked (--check-content checks it)",
    .damageSome =
        "%1 item could not be read (see the last section)|%1 items could not be read (see the "
        "last section)",
    .damageExported =
        "%1 damaged item is exported as far as it can be read (see the last section)|%1 damaged "
        "items are exported as far as they can be read (see the last section)",
    .activity = "Activity over time",
    .activityNote =
        "Versions per month over the whole history (per quarter or per year when "
        "it is long), the busiest users in colour. A file shared into several "
        "projects counts once.",
    .undated =
        "%1 version carries no date and is left out of the chart.|%1 versions carry no "
        "date and are left out of the chart.",
    .others = "others",
    .noActivity = "No version carries a date.",
    .monthTip = "%1: %2 version|%1: %2 versions",
    .projectsSection = "Projects",
    .largest = "Largest subtrees",
    .mostActive = "Most active subtrees",
    .projectsNote =
        "Projects one and two levels down, with everything in them. Activity runs "
        "over the database's whole history. Marked: no change in the two years "
        "before the database's last activity.",
    .noSubtrees = "No projects below the one reported on.",
    .project = "Project",
    .size = "Size",
    .lastChange = "Last change",
    .trend = "Activity",
    .quiet = "quiet %1 years",
    .people = "People",
    .peopleNote =
        "Versions each user wrote: file versions and project history entries, each stored "
        "version once, as at a glance. varnotte-csv --users --history --project-history "
        "--deleted counts the same; without --project-history it counts file versions only.",
    .user = "User",
    .first = "First",
    .last = "Last",
    .notAUser = "no user of the database (any more)",
    .readOnly = "read-only",
    .checkouts = "Checked-out files",
    .checkoutsSummary = "Files checked out: %1; checkouts in all: %2. By user: %3.",
    .noCheckouts = "No file is checked out.",
    .file = "File",
    .by = "By",
    .since = "Since",
    .workingFolder = "Working folder",
    .machine = "Machine",
    .special = "Pinned, branched and shared files",
    .specialSummary =
        "%1 pinned, %2 branched, %3 shared (counted in each project that has "
        "them; each shared file is listed once).",
    .pinned = "Pinned",
    .pinnedAt = "pinned at version %1",
    .branched = "Branched",
    .branchedFrom = "from %1, version %2",
    .branchedFromGone = "from a file no longer in the database, version %1",
    .shared = "Shared",
    .sharedAlso = "also in %1",
    .more =
        "%1 more is not listed here; the JSON Lines export lists it.|%1 more are not listed "
        "here; the JSON Lines export lists them all.",
    .labelsSection = "Labels",
    .labelsNote =
        "Labels over time (on projects and on files), then the project labels, "
        "newest first.",
    .noLabels = "No labels.",
    .label = "Label",
    .date = "Date",
    .labelsLeftOut = "Older project labels are left out.",
    .contentSection = "Content",
    .contentSummary =
        "Every version of %1 file was rebuilt: %2 versions, whose history occupies %3 on "
        "disk.|Every version of %1 files was rebuilt: %2 versions, whose histories occupy %3 "
        "on disk.",
    .contentRestored =
        "%1 data file had its CR LF line endings, rewritten to LF by a copy, restored.|%1 "
        "data files had their CR LF line endings, rewritten to LF by a copy, restored.",
    .contentNotWhole = "Files whose content cannot be rebuilt whole",
    .contentAllWhole = "Every file's content came back whole, down to its first version.",
    .largestFiles = "Largest files (newest version)",
    .largestHistories = "Largest histories (log and data file on disk)",
    .claimedAndFound =
        "What the database calls binary or text, against what the newest "
        "version holds",
    .claimed = "The database says",
    .claimedBinary = "binary",
    .claimedText = "text",
    .latestOnly = "Files kept as latest only",
    .noLatestOnly = "No file is kept as latest only.",
    .unreadable = "What could not be read, and what is damaged",
    .item = "Item",
    .reason = "Reason",
    .allRead = "Everything could be read.",
};

constexpr ReportTexts kJapanese{
    .htmlLanguage = "ja",
    .title = "SourceSafe データベースの棚卸し",
    .written = "%1 に varnotte-csv %2 で作成。",
    .glance = "概要",
    .database = "データベース",
    .dataFolder = "データフォルダー",
    .reportedProject = "対象のプロジェクト",
    .format = "形式",
    .formatValue = "SourceSafe 6.0 / 2005",
    .codePage = "コードページ",
    .codePageGuessed = "%1 (データベースのテキストから推定)",
    .codePageForced = "%1 (--encoding の指定)",
    .codePageNotNeeded = "不要 (すべて ASCII)",
    .projects = "プロジェクト",
    .files = "ファイル",
    .versions = "バージョン",
    .fileVersions = "ファイルのバージョン",
    .fileVersionsCounted =
        "%1 (保存されたバージョンを 1 回ずつ: 複数のプロジェクトで共有されたファイルと、"
        "分岐したファイルの分岐前のバージョンは 1 回と数えます)",
    .projectEntries = "プロジェクトの履歴",
    .projectEntriesCounted =
        "%1 (プロジェクト自身の履歴: 追加・削除・名前の変更・共有・ピン留め・ラベル。"
        "削除されたラベルも履歴に数え、ラベルには数えません)",
    .users = "ユーザー",
    .usersSplit = "登録 %1、変更した人 %2",
    .listedTwice = "ユーザーファイルに %1 が 2 回あります (損傷。1 人と数えます)",
    .labels = "ラベル",
    .labelsSplit = "プロジェクト %1、ファイル %2",
    .deletedItems = "削除された項目",
    .timeZone = "タイムゾーン",
    .timeZoneNamed = "%1 (srcsafe.ini の指定)。日時はこのタイムゾーンの時刻です",
    .timeZoneUnnamed = "srcsafe.ini に指定なし。日時は保存された時刻のままです",
    .firstActivity = "最初の変更",
    .lastActivity = "最後の変更",
    .content = "ファイルの現在の内容",
    .contentMissing = "%1 (データファイルのないファイル %2)",
    .onDisk = "データフォルダーのサイズ",
    .onDiskValue = "%1 (%2 ファイル)",
    .damage = "見つかった損傷",
    .damageNone = "なし (すべての項目を読めました)",
    .damageNoneUnchecked =
        "記録にはなし (すべての項目を読めました)。ファイルの内容は検査していません "
        "(--check-content で検査します)",
    .contentNotChecked = "ファイルの内容は検査していません (--check-content で検査します)",
    .damageSome = "読めなかった項目 %1 (最後の節を参照)",
    .damageExported = "損傷があり、読める範囲で出力した項目 %1 (最後の節を参照)",
    .activity = "時期ごとの変更",
    .activityNote =
        "全期間の月ごとのバージョン数 (期間が長いときは四半期または年ごと)。"
        "変更の多いユーザーを色で示します。複数のプロジェクトで共有されたファイルは 1 "
        "回と数えます。",
    .undated = "日付のないバージョン %1 はグラフに含みません。",
    .others = "その他",
    .noActivity = "日付のあるバージョンはありません。",
    .monthTip = "%1: %2 バージョン",
    .projectsSection = "プロジェクト",
    .largest = "大きいサブツリー",
    .mostActive = "変更の多いサブツリー",
    .projectsNote =
        "1 階層目と 2 階層目のプロジェクトと、その中のすべて。推移はデータベースの全期間。"
        "印: データベースの最後の変更までの 2 年間に変更がないもの。",
    .noSubtrees = "対象のプロジェクトの下にプロジェクトはありません。",
    .project = "プロジェクト",
    .size = "サイズ",
    .lastChange = "最終変更",
    .trend = "推移",
    .quiet = "%1 年間変更なし",
    .people = "ユーザー別",
    .peopleNote =
        "ユーザーごとのバージョン数: ファイルのバージョンとプロジェクトの履歴を、概要と同じく"
        "保存されたバージョンごとに 1 回数えます。varnotte-csv --users --history "
        "--project-history --deleted も同じ数え方です (--project-history なしではファイルの"
        "バージョンだけ)。",
    .user = "ユーザー",
    .first = "最初",
    .last = "最後",
    .notAUser = "データベースのユーザーではない",
    .readOnly = "読み取り専用",
    .checkouts = "チェックアウト中のファイル",
    .checkoutsSummary = "チェックアウト中のファイル %1、チェックアウト %2。ユーザー別: %3。",
    .noCheckouts = "チェックアウト中のファイルはありません。",
    .file = "ファイル",
    .by = "ユーザー",
    .since = "日時",
    .workingFolder = "作業フォルダー",
    .machine = "コンピューター",
    .special = "ピン留め・分岐・共有されたファイル",
    .specialSummary =
        "ピン留め %1、分岐 %2、共有 %3 (それぞれのプロジェクトで数えます。"
        "共有ファイルは 1 回だけ載せます)。",
    .pinned = "ピン留め",
    .pinnedAt = "バージョン %1 にピン留め",
    .branched = "分岐",
    .branchedFrom = "%1 のバージョン %2 から",
    .branchedFromGone = "もう存在しないファイルのバージョン %1 から",
    .shared = "共有",
    .sharedAlso = "%1 にも",
    .more = "ほか %1 件はここに載せていません (JSON Lines のエクスポートにすべてあります)。",
    .labelsSection = "ラベル",
    .labelsNote =
        "時期ごとのラベル数 (プロジェクトとファイル) と、プロジェクトのラベル (新しい順)。",
    .noLabels = "ラベルはありません。",
    .label = "ラベル",
    .date = "日付",
    .labelsLeftOut = "古いプロジェクトのラベルは省略しています。",
    .contentSection = "内容",
    .contentSummary =
        "%1 個のファイルの全バージョン (%2 件) を再構成しました。履歴がディスク上で占める容量は %3 "
        "です。",
    .contentRestored =
        "%1 個のデータファイルは、コピーで LF に書き換えられた CR LF の改行を復元しました。",
    .contentNotWhole = "内容を完全には再構成できないファイル",
    .contentAllWhole = "すべてのファイルの内容を最初のバージョンまで再構成できました。",
    .largestFiles = "大きいファイル (最新バージョン)",
    .largestHistories = "大きい履歴 (ディスク上のログとデータファイル)",
    .claimedAndFound = "データベース上のバイナリ/テキストの区別と、最新バージョンの実際の内容",
    .claimed = "データベース上",
    .claimedBinary = "バイナリ",
    .claimedText = "テキスト",
    .latestOnly = "最新バージョンのみ保持するファイル",
    .noLatestOnly = "最新バージョンのみ保持するファイルはありません。",
    .unreadable = "読めなかったもの、損傷のあるもの",
    .item = "項目",
    .reason = "理由",
    .allRead = "すべて読めました。",
};

}  // namespace

ReportLanguage ReportLanguageOfLocale(const QString& locale) {
    return locale.startsWith(QLatin1String("ja")) ? ReportLanguage::kJapanese
                                                  : ReportLanguage::kEnglish;
}

QString CountedText(const char* text, long long count) {
    const QString forms = QString::fromUtf8(text);
    const qsizetype bar = forms.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        return forms;
    }
    return count == 1 ? forms.left(bar) : forms.mid(bar + 1);
}

const ReportTexts& TextsFor(ReportLanguage language) {
    return language == ReportLanguage::kJapanese ? kJapanese : kEnglish;
}

}  // namespace varnotte
