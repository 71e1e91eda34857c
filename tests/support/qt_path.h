// A path as the QString that Qt's file functions take.
#pragma once

#include <QString>

#include <filesystem>

namespace varnotte::test {

inline QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace varnotte::test
