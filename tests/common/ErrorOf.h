// The runtime error number that a call raises, or 0 when it raises none.
#pragma once

#include "runtime/Errors.h"

#include <utility>

namespace testsupport {
template <class F> int ErrorOf(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const runtime::RuntimeError& e) {
        return e.Number();
    }
    return 0;
}
} // namespace testsupport
