#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest:
#   the normal build (warnings are errors), AddressSanitizer + UndefinedBehaviorSanitizer over every test,
#   ThreadSanitizer over the tests that involve more than one thread, and a short run of each fuzz target.
# ./test.sh quick   runs the normal build only.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps

stages=${1:-all}
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

[ "$stages" = quick ] && exit 0

if [ -x scripts/test-sanitizers ]; then
    scripts/test-sanitizers
fi
if [ -x scripts/test-fuzz ]; then
    scripts/test-fuzz
fi
