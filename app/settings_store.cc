#include "app/settings_store.h"

#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <utility>

#include "app/profile_values.h"
#include "app/window_placement.h"
#include "codepage/code_page.h"
#include "tree/project_tree_ctrl.h"
#include "ui/brelwick_dlg.h"

namespace varnotte {
namespace {

const QString kPosGroup = QStringLiteral("Pos");
const QString kSettingsGroup = QStringLiteral("Settings");
const QString kCodePage = QStringLiteral("CodePage");
const QString kTopLeft = QStringLiteral("TopLeft");
const QString kBottomRight = QStringLiteral("BottomRight");
const QString kVssPath = QStringLiteral("VSSPath");
const QString kDatabase = QStringLiteral("Database");
const QString kUserName = QStringLiteral("Username");
const QString kTrace = QStringLiteral("Trace");
const QString kDatabaseCount = QStringLiteral("DatabaseCount");
const QString kColumnCountKey = QStringLiteral("ColumnCount");
const QString kSortColumn = QStringLiteral("SortColumn");
const QString kSortAscending = QStringLiteral("SortAscending");

constexpr std::array<int, SettingsStore::kColumnCount> kDefaultColumnWidths{24, 60, 90,  40,
                                                                            50, 70, 130, 300};

// Database01 ... Database99, Database100 ...
QString DatabaseEntryKey(int number) {
    return QString::asprintf("Database%02d", number);
}

QString ColumnWidthKey(int column) {
    return QString::asprintf("Col%dWidth", column);
}

// The highest n for which an entry key is stored. A damaged count of two thousand million
// must not mean as many reads: every key past this one would read as empty anyway. Letter
// case is ignored because registry keys ignore it.
int LastStoredEntryNumber(const QSettings& settings) {
    int last = 0;
    for (const QString& key : settings.childKeys()) {
        if (!key.startsWith(kDatabase, Qt::CaseInsensitive)) {
            continue;
        }
        bool ok = false;
        const int number = key.mid(kDatabase.size()).toInt(&ok);
        if (ok && number > 0 && key.compare(DatabaseEntryKey(number), Qt::CaseInsensitive) == 0) {
            last = std::max(last, number);
        }
    }
    return last;
}

void ReadDatabaseList(const QSettings& settings, DatabaseList& list) {
    const int count =
        std::min(ReadProfileInt(settings, kDatabaseCount, 0), LastStoredEntryNumber(settings));
    for (int number = 1; number <= count; ++number) {
        const QString path = ReadProfileString(settings, DatabaseEntryKey(number));
        if (!path.isEmpty()) {
            list.Add(path);  // dropped when an entry already begins with it
        }
    }
}

}  // namespace

SettingsStore::SettingsStore(QString organisation, QString application)
    : m_organisation(std::move(organisation)), m_application(std::move(application)) {}

void SettingsStore::Load(CBrelwickDlg& dialog) {
    QSettings settings(m_organisation, m_application);

    settings.beginGroup(kPosGroup);
    const std::optional<QRect> normal = UnpackRectangle(ReadProfileInt(settings, kTopLeft, -1),
                                                        ReadProfileInt(settings, kBottomRight, -1));
    settings.endGroup();
    if (normal) {
        RestoreNormalRectangle(dialog, *normal);
    }

    settings.beginGroup(kSettingsGroup);
    m_kept.vssPath = ReadProfileString(settings, kVssPath);
    dialog.m_databasePath = ReadProfileString(settings, kDatabase);
    dialog.m_userName = ReadProfileString(settings, kUserName);
    dialog.m_outputHistory = ReadProfileInt(settings, kTrace, 0);
    dialog.UpdateData(false);

    ReadDatabaseList(settings, dialog.m_databaseList);
    // Set by hand for a database whose code page is guessed wrong; never written here.
    dialog.projectTree()->SetCodePage(
        codepage::ParseCodePage(ReadProfileString(settings, kCodePage).toStdString()));
    dialog.ReopenWhenShown(dialog.m_databasePath);

    ReadKeptColumns(settings);
    settings.endGroup();
    m_keptRead = true;
}

void SettingsStore::ReadKeptColumns(const QSettings& settings) {
    // The widths count only when they were written for eight columns.
    const bool eightColumns = ReadProfileInt(settings, kColumnCountKey, 0) == kColumnCount;
    for (int column = 0; column < kColumnCount; ++column) {
        m_kept.columnWidths[column] =
            eightColumns
                ? ReadProfileInt(settings, ColumnWidthKey(column), kDefaultColumnWidths[column])
                : kDefaultColumnWidths[column];
    }
    m_kept.sortColumn = ReadProfileInt(settings, kSortColumn, 0);
    m_kept.sortAscending = ReadProfileInt(settings, kSortAscending, 1);
}

void SettingsStore::Save(const CBrelwickDlg& dialog) {
    QSettings settings(m_organisation, m_application);
    if (!m_keptRead) {
        // Without a Load first, writing back defaults would overwrite what a run kept.
        settings.beginGroup(kSettingsGroup);
        m_kept.vssPath = ReadProfileString(settings, kVssPath);
        ReadKeptColumns(settings);
        settings.endGroup();
    }

    const PackedRectangle normal = PackRectangle(NormalRectangle(dialog));
    settings.beginGroup(kPosGroup);
    settings.setValue(kTopLeft, normal.topLeft);
    settings.setValue(kBottomRight, normal.bottomRight);
    settings.endGroup();

    settings.beginGroup(kSettingsGroup);
    settings.setValue(kVssPath, m_kept.vssPath);
    settings.setValue(kDatabase, dialog.m_databaseList.selectedText());
    settings.setValue(kUserName, dialog.m_userName);
    settings.setValue(kTrace, dialog.m_outputHistory);

    const QStringList& entries = dialog.m_databaseList.entries();
    settings.setValue(kDatabaseCount, static_cast<int>(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        if (!entries.at(i).isEmpty()) {
            settings.setValue(DatabaseEntryKey(i + 1), entries.at(i));
        }
    }

    settings.setValue(kColumnCountKey, kColumnCount);
    for (int column = kColumnCount - 1; column >= 0; --column) {
        settings.setValue(ColumnWidthKey(column), m_kept.columnWidths[column]);
    }
    settings.setValue(kSortColumn, m_kept.sortColumn);
    settings.setValue(kSortAscending, m_kept.sortAscending);
    settings.endGroup();
    settings.sync();
}

}  // namespace varnotte
