#pragma once
#include <cstdio>
#include <exception>
#include <utility>
#include "base/RuntimeError.h"

namespace runtime {

// Runs one step; the program's own runtime errors skip it silently, anything else is reported on
// standard error and skipped too, so no error escapes a handler.
template <class Step> bool skipOnError(Step&& step) {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const RuntimeError&) {
        return false;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumora: unexpected error: %s\n", e.what());
        return false;
    }
}

} // namespace runtime
