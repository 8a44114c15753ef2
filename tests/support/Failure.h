#pragma once
// The failure of a call as its whole message block, for tests that pin exact messages.

#include <functional>
#include <string>

#include "host/Exception.h"

namespace strand::test {

// The message block of the Exception `f` raises, or "no failure".
inline std::string failure(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.getErrorMessageBlock().toUtf8();
    }
    return "no failure";
}

}  // namespace strand::test
