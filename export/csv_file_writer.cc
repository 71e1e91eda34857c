#include "export/csv_file_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringEncoder>

#include <cstdint>
#include <cstdio>
#include <cstring>

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

// Well-formed UTF-8 as Qt reads it (no overlong forms, surrogates or code points past
// U+10FFFF): text that a round trip through QString would leave exactly as it is.
bool IsWellFormedUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        // Rows are mostly ASCII: skip it eight bytes at a time.
        std::uint64_t word = 0;
        if (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) {
            p += 8;
            continue;
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (*p >= 0xC2 && *p <= 0xDF) {
            length = 2;
        } else if (*p >= 0xE0 && *p <= 0xEF) {
            length = 3;
            low = *p == 0xE0 ? 0xA0 : 0x80;
            high = *p == 0xED ? 0x9F : 0xBF;
        } else if (*p >= 0xF0 && *p <= 0xF4) {
            length = 4;
            low = *p == 0xF0 ? 0x90 : 0x80;
            high = *p == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - p < length || p[1] < low || p[1] > high) {
            return false;
        }
        for (int i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) {
                return false;
            }
        }
        p += length;
    }
    return true;
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

// /dev/stdout, /dev/fd/N, /proc/self/fd/N and links to them stand for a stream the
// caller opened (a redirection, perhaps appending): written into, never replaced, even
// when they lead on to a regular file.
bool IsSystemStream(const QFileInfo& info) {
    const auto underSystemFolders = [](const QString& path) {
        return path.startsWith(QLatin1String("/dev/")) || path.startsWith(QLatin1String("/proc/"));
    };
    return underSystemFolders(info.absoluteFilePath()) ||
           (info.isSymLink() && underSystemFolders(info.symLinkTarget()));
}

}  // namespace

void AppendCsvLine(QByteArray& out, std::string_view row) {
    if (SystemEncodingIsUtf8() && IsWellFormedUtf8(row)) {
        AppendWithCrLf(out, row);
        return;
    }
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray encoded =
        encoder.encode(QString::fromUtf8(row.data(), static_cast<qsizetype>(row.size())));
    AppendWithCrLf(out,
                   std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())));
}

CsvFileWriter::CsvFileWriter() = default;

CsvFileWriter::~CsvFileWriter() {
    if (auto* save = dynamic_cast<QSaveFile*>(device_.get())) {
        save->cancelWriting();
    }
}

bool CsvFileWriter::Fail(const QString& reason) {
    failed_ = true;
    if (error_.isEmpty()) {
        error_ = reason;
    }
    return false;
}

bool CsvFileWriter::Open(const QString& path) {
    path_ = path;
    if (protected_) {
        const QString refusal = WhyTargetIsInDatabase(path, *protected_);
        if (!refusal.isEmpty()) {
            return Fail(refusal);
        }
    }
    const QFileInfo info(path);
    atomic_ = (!info.exists() || info.isFile()) && !IsSystemStream(info);
    if (atomic_) {
        auto save = std::make_unique<QSaveFile>(path);
        if (!save->open(QIODevice::WriteOnly)) {
            return Fail(save->errorString());
        }
        device_ = std::move(save);
    } else {
        // A stream that leads on to a regular file must not be truncated: appended to.
        auto file = std::make_unique<QFile>(path);
        const QIODevice::OpenMode append =
            info.isFile() ? QIODevice::Append : QIODevice::OpenMode();
        if (!file->open(QIODevice::WriteOnly | append | QIODevice::Unbuffered)) {
            return Fail(file->errorString());
        }
        device_ = std::move(file);
    }
    return true;
}

bool CsvFileWriter::OpenStandardOutput() {
    path_ = QStringLiteral("standard output");
    auto file = std::make_unique<QFile>();
    if (!file->open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return Fail(file->errorString());
    }
    device_ = std::move(file);
    return true;
}

bool CsvFileWriter::WriteRow(std::string_view row) {
    if (failed_ || !device_) {
        return false;
    }
    AppendCsvLine(pending_, row);
    return pending_.size() < kFlushThreshold || Flush();
}

bool CsvFileWriter::Flush() {
    if (failed_ || !device_) {
        return false;
    }
    const char* data = pending_.constData();
    qsizetype left = pending_.size();
    while (left > 0) {
        const qint64 written = device_->write(data, left);
        if (written <= 0) {
            return Fail(device_->errorString());
        }
        data += written;
        left -= written;
    }
    pending_.resize(0);  // keeps the capacity for the next rows
    return true;
}

bool CsvFileWriter::Commit() {
    if (!device_) {
        return Fail(error_.isEmpty() ? QStringLiteral("the file is not open") : error_);
    }
    if (!Flush()) {
        if (auto* save = dynamic_cast<QSaveFile*>(device_.get())) {
            save->cancelWriting();
        }
        return false;
    }
    if (auto* save = dynamic_cast<QSaveFile*>(device_.get())) {
        if (!save->commit()) {
            return Fail(save->errorString());
        }
        return true;
    }
    if (!device_->flush()) {
        return Fail(device_->errorString());
    }
    device_->close();
    return true;
}

bool WriteCsvFile(const QString& path, const std::vector<std::string>& rows, QString* error,
                  const DatabaseFiles* database) {
    CsvFileWriter writer;
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
        *error = writer.errorString();
    }
    return ok;
}

}  // namespace varnotte
