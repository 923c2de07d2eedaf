#pragma once
// The fuzzers' invariant check: a broken invariant names itself and aborts, which libFuzzer reports as a crash.

#include <cstdio>
#include <cstdlib>

namespace quorvelv::fuzzing {

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace quorvelv::fuzzing
