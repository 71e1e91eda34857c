// The state behind a version collection, shared by items (which create collections) and
// the collection itself.
#pragma once

#include <memory>
#include <string>

#include "sourcesafe/vss_version.h"

namespace sourcesafe {

struct IVSSVersions::State {
    std::shared_ptr<Connection> connection;
    std::string physical;
    int pinnedVersion = 0;  // versions above a pin are not shown through the pinning project
};

}  // namespace sourcesafe
