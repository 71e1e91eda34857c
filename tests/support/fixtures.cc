#include "tests/support/fixtures.h"

#include <cstdlib>
#include <string_view>

namespace varnotte::test {

std::filesystem::path FixturesRoot() {
    return VARNOTTE_FIXTURES_DIR;
}

bool RunningInCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) != "" && std::string_view(ci) != "false";
}

std::filesystem::path FindFixture(const std::string& name) {
    const std::filesystem::path path = FixturesRoot() / name;
    std::error_code ec;
    return std::filesystem::is_directory(path, ec) ? path : std::filesystem::path();
}

}  // namespace varnotte::test
