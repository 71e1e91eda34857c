// Varnotte: takes stock of a SourceSafe database and exports it to CSV.
#include <QApplication>

#include "app/reporter_app.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    varnotte::CReporterApp reporter;
    reporter.Run();
    // The dialog has ended; so has the program.
    return 0;
}
