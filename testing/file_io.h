// Whole-file reads and writes for the writer and the damage helpers.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vsstest {

// Throws std::runtime_error naming the file when it cannot be read or written.
std::string ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vsstest
