#include "tree/csv_file_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringEncoder>

#include <cstdio>

namespace varnotte {
namespace {

constexpr qsizetype kFlushThreshold = 1 << 16;

bool SystemEncodingIsUtf8() {
    static const bool utf8 = [] {
        const QStringEncoder encoder(QStringConverter::System);
        return QByteArray(encoder.name()).compare("UTF-8", Qt::CaseInsensitive) == 0;
    }();
    return utf8;
}

void AppendWithCrLf(QByteArray& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos;
         lf = text.find('\n', start)) {
        out.append(text.data() + start, static_cast<qsizetype>(lf - start));
        out.append("\r\n", 2);
        start = lf + 1;
    }
    out.append(text.data() + start, static_cast<qsizetype>(text.size() - start));
    out.append("\r\n", 2);
}

}  // namespace

void AppendCsvLine(QByteArray& out, std::string_view row) {
    if (SystemEncodingIsUtf8()) {
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
    const QFileInfo info(path);
    atomic_ = !info.exists() || info.isFile();
    if (atomic_) {
        auto save = std::make_unique<QSaveFile>(path);
        if (!save->open(QIODevice::WriteOnly)) {
            return Fail(save->errorString());
        }
        device_ = std::move(save);
    } else {
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
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
    pending_.clear();
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

bool WriteCsvFile(const QString& path, const std::vector<std::string>& rows, QString* error) {
    CsvFileWriter writer;
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
