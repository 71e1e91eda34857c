// Access to the real SourceSafe databases that the tests read.
//
// They live outside the project (a CMake cache variable names the folder) and are never
// written to. When the folder is missing a test that needs it is skipped on a developer
// machine but fails under CI=true, where it must exist.
#pragma once

#include <filesystem>
#include <string>

namespace varnotte::test {

// The fixtures folder as configured.
std::filesystem::path FixturesRoot();

// Whether tests run under CI (CI set to anything but "" or "false").
bool RunningInCi();

// <fixtures>/<name>, or the empty path when it is missing.
std::filesystem::path FindFixture(const std::string& name);

}  // namespace varnotte::test

// Sets `var` to the fixture folder `name`, or skips (fails under CI) the current test.
#define VARNOTTE_REQUIRE_FIXTURE(var, name)                                \
    const std::filesystem::path var = ::varnotte::test::FindFixture(name); \
    if (var.empty()) {                                                     \
        if (::varnotte::test::RunningInCi()) {                             \
            FAIL() << "fixture " << (name) << " missing under "            \
                   << ::varnotte::test::FixturesRoot();                    \
        }                                                                  \
        GTEST_SKIP() << "fixture " << (name) << " missing under "          \
                     << ::varnotte::test::FixturesRoot();                  \
    }
