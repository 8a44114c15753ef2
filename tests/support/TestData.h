#pragma once
// Small builders of test data shared by the host suites.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/Value.h"

namespace strand::test {

// The bytes of a text of hexadecimal digit pairs, read without any codec under test.
inline std::vector<uint8_t> hexBytes(std::string_view digits) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(uint8_t(std::stoi(std::string(digits.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// A list of values of mixed kinds, in the order given.
template <typename... Values>
std::vector<Ptr<Value>> valuesOf(Values... values) {
    return {values...};
}

}  // namespace strand::test
