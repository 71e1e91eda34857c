// A private temporary folder, removed with everything in it when the object ends.
#pragma once

#include <filesystem>

namespace varnotte::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& child) const {
        return path_ / child;
    }

  private:
    std::filesystem::path path_;
};

// Copies a folder tree (a fixture, say) to `to`, making every copy writable.
void CopyTree(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace varnotte::test
