// A private folder for the files a fuzz target writes, one per process, removed when the
// process ends normally.
#pragma once

#include <filesystem>
#include <string_view>

namespace varnotte::fuzz {

class ScratchFolder {
  public:
    // Creates <temp>/<prefix>XXXXXX; aborts when it cannot.
    explicit ScratchFolder(std::string_view prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Replaces the file's content in place. The file is never emptied first: ext4 writes a
    // file that was truncated to nothing and filled again out to disk when it is closed,
    // and every input would wait for that.
    void Write(const std::filesystem::path& relative, std::string_view bytes) const;
    void Remove(const std::filesystem::path& relative) const;

  private:
    std::filesystem::path path_;
};

}  // namespace varnotte::fuzz
