#include "tests/support/csv_program.h"

#include <grp.h>
#include <unistd.h>

#include <QProcess>

namespace varnotte::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr int kTimeoutMs = 120000;

}  // namespace

CsvRun RunCsv(const QStringList& arguments, const QByteArray& input, bool asOrdinaryUser) {
    QProcess process;
    if (asOrdinaryUser && geteuid() == 0) {
        process.setChildProcessModifier([] {
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
                _exit(99);
            }
        });
    }
    process.start(QStringLiteral(VARNOTTE_CSV_PATH), arguments);
    CsvRun run;
    if (!process.waitForStarted()) {
        run.err = "varnotte-csv did not start: " + process.errorString().toStdString();
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = "varnotte-csv did not end within two minutes\n";
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.out = process.readAllStandardOutput().toStdString();
    run.err += process.readAllStandardError().toStdString();
    return run;
}

QString CsvProgramPath() {
    return QStringLiteral(VARNOTTE_CSV_PATH);
}

int RunCsvAppendingTo(const QStringList& arguments, const QString& file) {
    QProcess process;
    process.setStandardOutputFile(file, QIODevice::Append);
    process.start(QStringLiteral(VARNOTTE_CSV_PATH), arguments);
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace varnotte::test
