// How much this process has read, for tests that check a read stays in proportion.
#pragma once

namespace varnotte::test {

// Bytes this process has asked read() and friends for so far (rchar of /proc/self/io);
// -1 where the kernel does not say.
long long BytesRead();

}  // namespace varnotte::test
