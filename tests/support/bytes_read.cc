#include "tests/support/bytes_read.h"

#include <fstream>
#include <string>

namespace varnotte::test {

long long BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    return -1;
}

}  // namespace varnotte::test
