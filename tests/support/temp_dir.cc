#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace varnotte::test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "varnotte-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void CopyTree(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
    for (auto& entry : std::filesystem::recursive_directory_iterator(to)) {
        std::filesystem::permissions(
            entry.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
            std::filesystem::perm_options::add);
        if (entry.is_directory()) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_exec,
                                         std::filesystem::perm_options::add);
        }
    }
    std::filesystem::permissions(to, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
}

}  // namespace varnotte::test
