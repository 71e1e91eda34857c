#include "tests/support/file_access.h"

#include <sys/fsuid.h>
#include <unistd.h>

namespace varnotte::test {

namespace {
constexpr int kNobody = 65534;
}

AsOrdinaryUser::AsOrdinaryUser() {
    if (geteuid() == 0) {
        previous_ = setfsuid(kNobody);
    }
}

AsOrdinaryUser::~AsOrdinaryUser() {
    if (previous_ >= 0) {
        setfsuid(static_cast<uid_t>(previous_));
    }
}

}  // namespace varnotte::test
