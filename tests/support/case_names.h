// Names for the cases of parameterised tests: ctest lists each case by the name its
// parameter carries (".../PastRightEdge" rather than ".../3"), and a failure prints that
// name rather than a dump of the parameter's bytes.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

namespace varnotte::test {

template <typename Case>
concept NamedCase = requires(const Case& c) {
    std::string_view(c.name);
};

// The name generator of INSTANTIATE_TEST_SUITE_P.
struct CaseName {
    template <NamedCase Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return std::string(info.param.name);
    }
};

// Found by Google Test for the parameter types of a test file whose namespace says
// `using varnotte::test::PrintTo;`.
template <NamedCase Case>
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

}  // namespace varnotte::test
