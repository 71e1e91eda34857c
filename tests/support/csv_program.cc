#include "tests/support/csv_program.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace varnotte::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr int kTimeoutMs = 120000;

// nobody cannot run the program where it was built when that is inside a folder only root
// may enter (a clone in root's home): it runs a copy in a folder everyone may enter, made
// once and removed when the test program ends. Empty when no copy could be made.
QString ProgramEveryoneMayRun() {
    static const QString copy = [] {
        static QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("varnotte-csv"));
        const auto readAndRun = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                QFile::ExeOther;
        if (!folder.isValid() || !QFile::setPermissions(folder.path(), readAndRun) ||
            !QFile::copy(QStringLiteral(VARNOTTE_CSV_PATH), program) ||
            !QFile::setPermissions(program, readAndRun)) {
            return QString();
        }
        return program;
    }();
    return copy;
}

}  // namespace

CsvRun RunCsv(const QStringList& arguments, const QByteArray& input, bool asOrdinaryUser) {
    QProcess process;
    QString program = QStringLiteral(VARNOTTE_CSV_PATH);
    CsvRun run;
    if (asOrdinaryUser && geteuid() == 0) {
        program = ProgramEveryoneMayRun();
        if (program.isEmpty()) {
            run.err = "varnotte-csv could not be copied to where nobody may run it";
            return run;
        }
        process.setChildProcessModifier([] {
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
                _exit(99);
            }
        });
    }
    process.start(program, arguments);
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

CsvRun RunCsvBytes(const std::vector<std::string>& arguments, const std::string& folder) {
    CsvRun run;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) {
        run.err = "no temporary file for the output";
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
    if (!folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    }
    std::vector<char*> argv{const_cast<char*>(VARNOTTE_CSV_PATH)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, VARNOTTE_CSV_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                run.err = "varnotte-csv did not end within two minutes\n";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (WIFEXITED(status) && run.err.empty()) {
            run.exitCode = WEXITSTATUS(status);
        }
    } else {
        run.err = "varnotte-csv did not start\n";
    }
    for (auto [file, text] : {std::pair{out, &run.out}, std::pair{err, &run.err}}) {
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;) {
            text->push_back(static_cast<char>(c));
        }
        std::fclose(file);
    }
    return run;
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
