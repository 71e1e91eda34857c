#include "fuzz/database_bundle.h"

namespace varnotte::fuzz {

BundleFiles SplitBundle(std::string_view bytes) {
    BundleFiles files;
    std::size_t at = bytes.find(kFileBreak);
    for (std::size_t slot = 0; slot < files.size() && at != std::string_view::npos; ++slot) {
        const std::size_t start = at + kFileBreak.size();
        at = bytes.find(kFileBreak, start);
        const std::string_view part =
            bytes.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
        if (!part.empty()) {
            files[slot] = part;
        }
    }
    return files;
}

std::string JoinBundle(const BundleFiles& files) {
    std::string bytes;
    for (const auto& file : files) {
        bytes += kFileBreak;
        if (file) {
            bytes += *file;
        }
    }
    return bytes;
}

}  // namespace varnotte::fuzz
