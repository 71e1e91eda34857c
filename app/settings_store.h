// The main dialog's state between runs: its window rectangle, the known databases and the
// current one, the user name and the "履歴も出力" check box. The password is never kept.
//
// The store is QSettings(organisation, application), sections "Pos" and "Settings": the
// registry on Windows, $XDG_CONFIG_HOME/<organisation>/<application>.conf on Linux. Keys
// this program does not know are left as they are, and nothing is ever removed.
#pragma once

#include <QString>

#include <array>

class QSettings;

namespace varnotte {

class CBrelwickDlg;

class SettingsStore {
  public:
    SettingsStore(QString organisation, QString application);

    // Restores the dialog while it initialises, still hidden: its rectangle, the current
    // database, the user name, the history value and the known databases; the dialog
    // reopens the current database with the user name and the (empty) password once it is
    // shown (CBrelwickDlg::ReopenWhenShown).
    void Load(CBrelwickDlg& dialog);

    // Writes the dialog's state once it has ended with OK and its controls have been
    // copied into its members.
    void Save(const CBrelwickDlg& dialog);

    static constexpr int kColumnCount = 8;

  private:
    // Keys this program only reads at start and writes back at the end, so that a store
    // shared with other versions of the program keeps them.
    struct KeptValues {
        QString vssPath;
        std::array<int, kColumnCount> columnWidths{};
        int sortColumn = 0;
        int sortAscending = 1;
    };

    void ReadKeptColumns(const QSettings& settings);

    QString m_organisation;
    QString m_application;
    KeptValues m_kept;
    bool m_keptRead = false;
};

}  // namespace varnotte
