// Times the desktop program's own steps, offscreen: start-up to the dialog shown, one
// project's expansion, and a whole export walk through the dialog. Dialogs are answered by
// the program itself; each mode prints one line "seconds=<wall time>".
//
//   varnotte-gui-bench startup
//   varnotte-gui-bench expand INI SPEC [--history]   (answers Cancel: one level)
//   varnotte-gui-bench export INI SPEC OUT.csv [--history]
//   varnotte-gui-bench reopen INI STARTED_NS [--screenshot PNG]
//
// reopen starts the program as a user does, with INI as the current database of its
// settings (written into $XDG_CONFIG_HOME first), and prints how long after STARTED_NS
// (the launcher's clock: nanoseconds since the epoch, taken just before it started this
// program) the window was first painted ("window_seconds") and the reopened database's
// tree was ready for the user ("tree_seconds"). --screenshot saves a picture of the window
// once the opening tells how far it has read the database's logs.
//
// SPEC is a project of the root's first level, "*" for the first one there, or "$/" for
// the whole database (whose export the dialog offers when the database is opened again).
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "app/reporter_app.h"
#include "tree/control_ids.h"
#include "tree/project_tree_ctrl.h"
#include "ui/brelwick_dlg.h"

using namespace varnotte;

namespace {

// Answers every modal: OK (or Cancel) to the export question, `target` to the save dialog.
class Answerer : public QObject {
  public:
    Answerer(QWidget* mainWindow, bool exportIt, QString target)
        : mainWindow_(mainWindow), exportIt_(exportIt), target_(std::move(target)) {
        connect(&timer_, &QTimer::timeout, this, [this] { Answer(); });
        timer_.start(1);
    }

  private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == mainWindow_ || modal == last_) {
            return;
        }
        last_ = modal;
        QTimer::singleShot(0, this, [this, modal] {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                // The export question, or the save dialog's "replace?" for a file from an
                // earlier run.
                QAbstractButton* answer = box->button(QMessageBox::Yes);
                if (answer == nullptr) {
                    answer = box->button(exportIt_ ? QMessageBox::Ok : QMessageBox::Cancel);
                }
                if (answer != nullptr) {
                    answer->click();
                }
            } else if (auto* save = qobject_cast<QFileDialog*>(modal)) {
                save->selectFile(target_);
                if (auto* name = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                    name->setText(target_);
                }
                static_cast<QDialog*>(save)->accept();
            }
        });
    }

    QWidget* mainWindow_;
    bool exportIt_;
    QString target_;
    QTimer timer_;
    QWidget* last_ = nullptr;
};

QTreeWidgetItem* FindNode(QTreeWidget* tree, const QString& spec) {
    QTreeWidgetItem* node = tree->topLevelItem(0);
    if (spec == QLatin1String("*")) {
        for (int i = 0; node != nullptr && i < node->childCount(); ++i) {
            if (node->child(i)->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator) {
                return node->child(i);
            }
        }
        return nullptr;
    }
    for (const QString& name : spec.mid(2).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; node != nullptr && i < node->childCount() && next == nullptr; ++i) {
            if (node->child(i)->text(0) == name) {
                next = node->child(i);
            }
        }
        node = next;
    }
    return node;
}

int Usage() {
    std::fputs(
        "usage: varnotte-gui-bench startup | expand INI SPEC [--history] |\n"
        "       export INI SPEC OUT [--history] | reopen INI STARTED_NS [--screenshot PNG]\n",
        stderr);
    return 1;
}

double SecondsSince(qint64 startedNs) {
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return static_cast<double>(now - startedNs) / 1e9;
}

// Tells the first paint of the program's window.
class FirstPaint : public QObject {
  public:
    explicit FirstPaint(std::function<void()> painted) : painted_(std::move(painted)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (painted_ && event->type() == QEvent::Paint && qobject_cast<CBrelwickDlg*>(watched)) {
            std::exchange(painted_, nullptr)();
        }
        return false;
    }

  private:
    std::function<void()> painted_;
};

int Reopen(const QStringList& args) {
    if (args.size() < 3) {
        return Usage();
    }
    const qint64 started = args[2].toLongLong();
    {
        QSettings settings(QStringLiteral("Pellacor"), QCoreApplication::applicationName());
        settings.beginGroup(QStringLiteral("Settings"));
        settings.setValue(QStringLiteral("Database"), args[1]);
        settings.setValue(QStringLiteral("Username"), QStringLiteral("Admin"));
        settings.setValue(QStringLiteral("DatabaseCount"), 1);
        settings.setValue(QStringLiteral("Database01"), args[1]);
    }
    double window = -1;
    double tree = -1;
    bool opened = false;
    FirstPaint firstPaint([&] { window = SecondsSince(started); });
    qApp->installEventFilter(&firstPaint);
    CReporterApp reporter;
    QTimer::singleShot(0, [&] {
        QObject::connect(reporter.mainWindow(), &CBrelwickDlg::storedDatabaseReopened,
                         [&](bool ok) {
                             tree = SecondsSince(started);
                             opened = ok;
                             reporter.mainWindow()->OnClose();
                         });
    });
    QTimer screenshot;
    const qsizetype screenshotAt = args.indexOf(QStringLiteral("--screenshot"));
    if (screenshotAt > 0 && screenshotAt + 1 < args.size()) {
        const QString& path = args[screenshotAt + 1];
        QObject::connect(&screenshot, &QTimer::timeout, [&reporter, &screenshot, path] {
            CBrelwickDlg* dialog = reporter.mainWindow();
            auto* status =
                dialog != nullptr ? qobject_cast<QLabel*>(dialog->GetDlgItem(IDC_STATUS)) : nullptr;
            // Once a thousand logs have been read ("...: 1,234 / 200,000").
            const QString done = status != nullptr ? status->text()
                                                         .section(QStringLiteral(": "), 1)
                                                         .section(QStringLiteral(" / "), 0, 0)
                                                   : QString();
            if (status != nullptr && status->text().contains(QStringLiteral(" / ")) &&
                QString(done).remove(QLatin1Char(',')).toInt() >= 1000) {
                screenshot.stop();
                dialog->grab().save(path);
            }
        });
        screenshot.start(0);
    }
    reporter.Run();
    if (!opened) {
        std::fputs("the database did not open\n", stderr);
        return 3;
    }
    std::printf("window_seconds=%.4f\ntree_seconds=%.4f\n", window, tree);
    return 0;
}

// How long the walk took to collect the first half of its rows, and the second.
void PrintHalves(const std::vector<std::pair<qint64, std::size_t>>& samples) {
    std::size_t rows = 0;
    for (const auto& sample : samples) {
        rows = std::max(rows, sample.second);
    }
    if (rows < 2) {
        return;
    }
    qint64 half = -1;
    qint64 all = -1;
    for (const auto& [nanoseconds, count] : samples) {
        if (half < 0 && count >= rows / 2) {
            half = nanoseconds;
        }
        if (all < 0 && count == rows) {
            all = nanoseconds;
        }
    }
    if (half > 0 && all > half) {
        std::printf("first_half_seconds=%.4f\nsecond_half_seconds=%.4f\n", half / 1e9,
                    (all - half) / 1e9);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty()) {
        return Usage();
    }
    if (args[0] == QLatin1String("startup")) {
        // The program's own start-up, up to the moment its dialog is on screen.
        CReporterApp reporter;
        QTimer::singleShot(0, [&] {
            if (reporter.mainWindow() != nullptr) {
                reporter.mainWindow()->OnClose();
            }
        });
        reporter.Run();
        std::puts("shown");
        return 0;
    }
    if (args[0] == QLatin1String("reopen")) {
        return Reopen(args);
    }
    if (args.size() < 3 || (args[0] == QLatin1String("export") && args.size() < 4)) {
        return Usage();
    }
    const bool exportIt = args[0] == QLatin1String("export");
    RunState state;
    CBrelwickDlg dialog(state, nullptr);
    dialog.OnInitDialog();
    dialog.show();
    auto* user = qobject_cast<QLineEdit*>(dialog.GetDlgItem(IDC_USER_NAME));
    user->setText(QStringLiteral("Admin"));
    if (args.contains(QStringLiteral("--history"))) {
        dialog.m_outputHistory = 1;
        dialog.UpdateData(false);
    }
    dialog.UpdateData(true);
    if (!dialog.projectTree()->OpenDatabase(args[1], QStringLiteral("Admin"), QString())) {
        std::fputs("cannot open the database\n", stderr);
        return 3;
    }
    const bool wholeDatabase = args[2] == QLatin1String("$/");
    QTreeWidgetItem* node = wholeDatabase ? nullptr : FindNode(dialog.projectTree(), args[2]);
    if (node == nullptr && !wholeDatabase) {
        std::fputs("no such project in the tree's first level\n", stderr);
        return 1;
    }
    Answerer answerer(&dialog, exportIt, exportIt ? args[3] : QString());
    QElapsedTimer timer;
    // Rows collected over time, sampled while the walk processes its events: a walk that
    // slowed down as the tree filled would collect its second half more slowly.
    std::vector<std::pair<qint64, std::size_t>> samples;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        samples.emplace_back(timer.nsecsElapsed(), dialog.projectTree()->m_csvRows.size());
    });
    sampler.start(10);
    timer.start();
    // The question, the walk and, for an export, the save.
    if (wholeDatabase) {
        dialog.projectTree()->OpenDatabase(args[1], QStringLiteral("Admin"), QString());
        node = dialog.projectTree()->topLevelItem(0);
    } else {
        node->setExpanded(true);
    }
    std::printf("seconds=%.4f\nchildren=%d\nrows=%zu\n", timer.nsecsElapsed() / 1e9,
                node->childCount(), dialog.projectTree()->m_csvRows.size());
    PrintHalves(samples);
    return 0;
}
