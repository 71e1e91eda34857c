// What the status line says while a database opens.
#pragma once

#include <QString>

#include <cstddef>

namespace varnotte {

// "データベースを開いています: <path>": srcsafe.ini, the users and the names are read.
QString OpeningStatusText(const QString& iniPath);

// "文字コードを調べています: 1,234 / 150,000": the logs the code page is decided from, as
// many as have been read of about as many as the data folder holds.
QString CensusStatusText(std::size_t logsDone, std::size_t logsInFolder);

}  // namespace varnotte
