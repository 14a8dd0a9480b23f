#!/usr/bin/env bash
# The test command: installs what is missing, builds everything (tests and benchmarks) with
# AddressSanitizer and UBSan into build/asan, starts the test environment and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
build=build/asan
step() { echo "== $1 (${SECONDS}s)"; }

step "packages"
bash scripts/install-deps.sh --with-tests

step "configure $build"
# Unoptimised: it halves the compile time, which is most of a run on two cores, and the suite
# spends its time waiting on real components rather than computing, so it runs about as fast.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O0" -DCMAKE_C_FLAGS_DEBUG="-g -O0" \
    -DTAVRO_SANITIZE=ON -DTAVRO_WERROR=ON

step "build with $jobs jobs"
cmake --build "$build" -j "$jobs"

# Any sanitizer report stops the test that caused it, with a stack trace.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:print_stacktrace=1:check_initialization_order=1:strict_init_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0}"
export TAVRO_NOTIFYSERVER="$PWD/$build/tests/support/notifyserver/tavro_test_notifyserver"

step "test"
status=0
bash scripts/test-env.sh ctest --test-dir "$build" --output-on-failure --no-tests=error \
    -j "$jobs" || status=$?
step "done, exit status $status"
exit "$status"
