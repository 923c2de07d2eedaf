#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest:
#   the normal build (warnings are errors), AddressSanitizer + UndefinedBehaviorSanitizer over every test,
#   ThreadSanitizer over the tests that involve more than one thread, and a short run of each fuzz target.
# ./test.sh quick   runs the normal build only.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps

stages=${1:-all}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
exec > >(tee "$log") 2>&1

summary() {  # the closing line: every ctest run and fuzzer of this run, added up
    local passed failed
    passed=$(grep -aoE 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" |
             awk '{ p += $NF - $3 } END { print p + 0 }')
    failed=$(grep -aoE 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" |
             awk '{ f += $3 } END { print f + 0 }')
    if fuzzers=$(grep -aoE 'test-fuzz: [0-9]+ fuzzer' "$log" | awk '{ print $2 }'); [ -n "$fuzzers" ]; then
        passed=$((passed + fuzzers))
    fi
    echo "test.sh: $passed passed, $failed failed"
}
jobs=$(nproc)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export CTEST_OUTPUT_ON_FAILURE=1

configure_and_build() {  # dir, extra cmake args...
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVELV_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

echo "== normal build"
configure_and_build build
ctest --test-dir build -j "$jobs" --timeout 300

if [ "$stages" = quick ]; then
    summary
    exit 0
fi

if [ -x scripts/test-sanitizers ]; then
    scripts/test-sanitizers
fi
if [ -x scripts/test-fuzz ]; then
    scripts/test-fuzz
fi
summary
