// The sample database that comes with the build (build/sample/srcsafe.ini): a small team's
// database in Japanese and English with two years of history, so that a newcomer without a
// SourceSafe database of their own can open one and export it.
#pragma once

#include <filesystem>

namespace vsstest {

// Writes it into `root` (created). Its texts are in code page 932; log in as Admin with no
// password. Throws std::runtime_error when a file cannot be written.
void WriteSampleDatabase(const std::filesystem::path& root);

}  // namespace vsstest
