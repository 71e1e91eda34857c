#include "sourcesafe/vss_user.h"

#include "sourcesafe/vss_error.h"

namespace sourcesafe {

IVSSUser IVSSUsers::Item(int index) const {
    if (index < 1 || index > Count()) {
        throw VssError(DISP_E_BADINDEX_RESULT, "user index " + std::to_string(index) +
                                                   " is outside 1 to " + std::to_string(Count()));
    }
    return users_[static_cast<std::size_t>(index - 1)];
}

}  // namespace sourcesafe
