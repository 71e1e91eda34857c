#include "export/output_file_writer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringConverter>
#include <QStringEncoder>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "export/utf8_text.h"

namespace varnotte {
namespace {

constexpr qsizetype kFlushThreshold = 1 << 16;

// Qt names the system encoding "Locale", so ask it to encode instead.
bool SystemEncodingIsUtf8() {
    static const bool utf8 = [] {
        const QByteArray sample("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");  // é, 中, an emoji
        QStringEncoder encoder(QStringConverter::System);
        const QByteArray encoded = encoder.encode(QString::fromUtf8(sample));
        return !encoder.hasError() && encoded == sample;
    }();
    return utf8;
}

void AppendWithCrLf(QByteArray& out, std::string_view text) {
    qsizetype lineFeeds = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos;
         lf = text.find('\n', lf + 1)) {
        ++lineFeeds;
    }
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(text.size()) + lineFeeds + 2);
    char* at = out.data() + start;
    std::size_t from = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos;
         lf = text.find('\n', from)) {
        std::memcpy(at, text.data() + from, lf - from);
        at += lf - from;
        *at++ = '\r';
        *at++ = '\n';
        from = lf + 1;
    }
    std::memcpy(at, text.data() + from, text.size() - from);
    at += text.size() - from;
    at[0] = '\r';
    at[1] = '\n';
}

// Enough for any real chain of links; a longer one is a loop.
constexpr int kMaxLinkHops = 40;

}  // namespace

WriteFailure WriteFailureOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return WriteFailure::kNoSuchFolder;
        case EACCES:
        case EPERM:
            return WriteFailure::kNoPermission;
        case ENOSPC:
        case EDQUOT:
            return WriteFailure::kDiskFull;
        case EROFS:
            return WriteFailure::kReadOnlyFileSystem;
        case EISDIR:
            return WriteFailure::kIsAFolder;
        default:
            return WriteFailure::kOther;
    }
}

namespace {

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray NameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The target of the symbolic link `path`, as a path from here; empty when it is no link.
QByteArray LinkTarget(const QByteArray& path) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.constData(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) == sizeof buffer) {
        return {};
    }
    const QByteArray target(buffer, length);
    return target.startsWith('/') ? target : FolderOf(path) + '/' + target;
}

// The file that writing `path` replaces: the end of its chain of symbolic links (a
// dangling link's target too, which writing creates), else `path` itself.
QByteArray FollowLinks(QByteArray path) {
    for (int hops = 0; hops < kMaxLinkHops; ++hops) {
        const QByteArray target = LinkTarget(path);
        if (target.isEmpty()) {
            break;
        }
        path = target;
    }
    return path;
}

// Whether `path` names one of this process's open descriptors (/proc/<pid>/fd/N), as
// /dev/stdout, /dev/fd/N and /proc/self/fd/N do, directly or through links.
bool IsDescriptorAlias(QByteArray path) {
    static const QRegularExpression descriptor(
        QStringLiteral("^/proc/[^/]+(/task/[^/]+)?/fd/[0-9]+$"));
    for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
        char* folder = ::realpath(FolderOf(path).constData(), nullptr);
        if (folder == nullptr) {
            return false;
        }
        const QByteArray real = QByteArray(folder) + '/' + NameOf(path);
        std::free(folder);
        if (descriptor.match(QString::fromLocal8Bit(real)).hasMatch()) {
            return true;
        }
        path = LinkTarget(real);
        if (path.isEmpty()) {
            return false;
        }
    }
    return false;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void AppendCsvLine(QByteArray& out, std::string_view row) {
    if (SystemEncodingIsUtf8() && IsUtf8(row)) {
        AppendWithCrLf(out, row);
        return;
    }
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray encoded =
        encoder.encode(QString::fromUtf8(row.data(), static_cast<qsizetype>(row.size())));
    AppendWithCrLf(out,
                   std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())));
}

OutputFileWriter::OutputFileWriter() = default;

OutputFileWriter::~OutputFileWriter() {
    Discard();
}

void OutputFileWriter::Discard() {
    if (fd_ >= 0 && ownsFd_) {
        ::close(fd_);
    }
    fd_ = -1;
    if (!temporary_.isEmpty()) {
        ::unlink(temporary_.constData());
        temporary_.clear();
    }
}

bool OutputFileWriter::Fail(WriteFailure kind, const QString& text) {
    failed_ = true;
    if (error_.kind == WriteFailure::kNone) {
        error_.kind = kind;
        error_.text = text;
    }
    return false;
}

bool OutputFileWriter::FailWithErrno(int error) {
    return Fail(WriteFailureOf(error), QString::fromLocal8Bit(std::strerror(error)));
}

bool OutputFileWriter::Open(const QString& path) {
    if (protected_) {
        const TargetInDatabase found = FindTargetInDatabase(path, *protected_);
        if (found) {
            error_.inDatabase = found;
            return Fail(WriteFailure::kInDatabase, DescribeTargetInDatabase(path, found));
        }
    }
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty()) {
        return FailWithErrno(ENOENT);
    }
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (!exists && errno != ENOENT) {
        return FailWithErrno(errno);
    }
    if (IsDescriptorAlias(native)) {
        return OpenDirectly(native, exists && S_ISREG(st.st_mode), exists && S_ISFIFO(st.st_mode));
    }
    if (!exists || S_ISREG(st.st_mode)) {
        return OpenReplacing(FollowLinks(native));
    }
    if (S_ISDIR(st.st_mode)) {
        return FailWithErrno(EISDIR);
    }
    if (S_ISBLK(st.st_mode)) {
        return Fail(WriteFailure::kDiskDevice,
                    QStringLiteral("is a disk device; an export never writes onto one"));
    }
    return OpenDirectly(native, false, S_ISFIFO(st.st_mode));
}

bool OutputFileWriter::OpenReplacing(const QByteArray& target) {
    // QSaveFile would do the same, but its errors carry no errno, and the user is told in
    // their own words whether the folder is missing, read-only or full.
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return FailWithErrno(errno);
    }
    fd_ = fd;
    ownsFd_ = true;
    restartAt_ = 0;
    temporary_ = temporary;
    target_ = target;
    struct stat old {};
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? old.st_mode & 07777 : NewFileMode();
    ::fchmod(fd_, mode);  // mkostemp made it 0600; the replaced file's mode is kept
    return true;
}

bool OutputFileWriter::OpenDirectly(const QByteArray& path, bool append, bool fifo) {
    // Opening a FIFO for writing waits for a reader; without O_NONBLOCK it would hang
    // until one comes. With it, no reader is ENXIO at once.
    const int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (append ? O_APPEND : 0);
    const int fd = ::open(path.constData(), flags);
    if (fd < 0) {
        if (errno == ENXIO && fifo) {
            return Fail(WriteFailure::kNoReader, QStringLiteral("no program reads from this FIFO"));
        }
        return FailWithErrno(errno);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    ownsFd_ = true;
    NoteRestartPoint();
    return true;
}

bool OutputFileWriter::OpenStandardOutput() {
    fd_ = STDOUT_FILENO;
    ownsFd_ = false;
    NoteRestartPoint();
    return true;
}

void OutputFileWriter::NoteRestartPoint() {
    // Only a regular file written at its end: cutting back then loses nothing of what
    // was there before.
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (flags != -1 && ((flags & O_APPEND) != 0 || at == st.st_size)) {
        restartAt_ = st.st_size;
    }
}

bool OutputFileWriter::WriteRow(std::string_view row) {
    if (failed_ || fd_ < 0) {
        return false;
    }
    AppendCsvLine(pending_, row);
    return pending_.size() < kFlushThreshold || Flush();
}

bool OutputFileWriter::WriteUtf8Line(std::string_view line) {
    if (failed_ || fd_ < 0) {
        return false;
    }
    pending_.append(line.data(), static_cast<qsizetype>(line.size()));
    pending_.append('\n');
    return pending_.size() < kFlushThreshold || Flush();
}

bool OutputFileWriter::Flush() {
    if (failed_ || fd_ < 0) {
        return false;
    }
    const char* data = pending_.constData();
    std::size_t left = static_cast<std::size_t>(pending_.size());
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A stream someone else made non-blocking: wait until it takes more.
            pollfd ready{fd_, POLLOUT, 0};
            ::poll(&ready, 1, -1);
            continue;
        }
        if (written <= 0) {
            return FailWithErrno(written < 0 ? errno : EIO);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    pending_.resize(0);  // keeps the capacity for the next rows
    return true;
}

bool OutputFileWriter::StartOver() {
    if (!CanStartOver()) {
        return false;
    }
    pending_.clear();
    if (::ftruncate(fd_, restartAt_) != 0 || ::lseek(fd_, restartAt_, SEEK_SET) != restartAt_) {
        return FailWithErrno(errno);
    }
    return true;
}

bool OutputFileWriter::Commit() {
    if (fd_ < 0) {
        return failed_ ? false : Fail(WriteFailure::kOther, QStringLiteral("the file is not open"));
    }
    if (!Flush()) {
        Discard();
        return false;
    }
    if (!temporary_.isEmpty()) {
        // On disk before it takes the old file's name: a crash leaves one or the other.
        const bool synced = ::fsync(fd_) == 0;
        int error = synced ? 0 : errno;
        const bool closed = ::close(fd_) == 0;
        error = synced && !closed ? errno : error;
        fd_ = -1;
        if (!synced || !closed) {
            Discard();
            return FailWithErrno(error);
        }
        if (::rename(temporary_.constData(), target_.constData()) != 0) {
            const int error = errno;
            Discard();
            return FailWithErrno(error);
        }
        temporary_.clear();
        return true;
    }
    const int fd = fd_;
    fd_ = -1;
    if (ownsFd_ && ::close(fd) != 0 && errno != EINTR) {
        return FailWithErrno(errno);
    }
    return true;
}

bool WriteCsvFile(const QString& path, const std::vector<std::string>& rows, WriteError* error,
                  const DatabaseFiles* database) {
    OutputFileWriter writer;
    if (database != nullptr) {
        writer.ProtectDatabase(*database);
    }
    bool ok = writer.Open(path);
    for (const std::string& row : rows) {
        if (!ok) {
            break;
        }
        ok = writer.WriteRow(row);
    }
    ok = ok && writer.Commit();
    if (!ok && error != nullptr) {
        *error = writer.error();
    }
    return ok;
}

}  // namespace varnotte
