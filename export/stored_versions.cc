#include "export/stored_versions.h"

#include <algorithm>

namespace varnotte {

bool StoredVersions::FirstTime(const std::string& itemPhysical, const std::string& storedIn,
                               int number) {
    std::vector<bool>& met = met_[storedIn.empty() ? itemPhysical : storedIn];
    const auto index = static_cast<std::size_t>(std::max(number, 0));
    if (met.size() <= index) {
        met.resize(index + 1);
    }
    if (met[index]) {
        return false;
    }
    met[index] = true;
    return true;
}

}  // namespace varnotte
