// Varnotte: takes stock of a SourceSafe database and exports it to CSV.
#include <QApplication>

#include <csignal>

#include "app/reporter_app.h"
#include "ui/qt_translations.h"

int main(int argc, char* argv[]) {
    // A FIFO chosen as the save target may lose its reader halfway; the write then fails
    // and is reported, instead of the signal ending the program and the collected rows.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    varnotte::InstallQtJapanese(application);
    QApplication::setApplicationVersion(QStringLiteral(VARNOTTE_VERSION));
    // The installed desktop entry's name: desktops match the window with its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VARNOTTE_APP_ID));
    varnotte::CReporterApp reporter;
    reporter.Run();
    // The dialog has ended; so has the program.
    return 0;
}
