// Which stored versions a tally has counted already, so that each is counted once: a file
// in several places is one file, and a branched file's versions below its branch point are
// those of the file they are stored in, however many branches show them.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace varnotte {

class StoredVersions {
  public:
    // Whether version `number` of the file `itemPhysical` (read from `storedIn`, when not
    // empty: see IVSSVersion::StoredIn) is met for the first time; remembers it.
    bool FirstTime(const std::string& itemPhysical, const std::string& storedIn, int number);

  private:
    // Physical name -> the version numbers of it met so far.
    std::unordered_map<std::string, std::vector<bool>> met_;
};

}  // namespace varnotte
