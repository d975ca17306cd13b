#!/usr/bin/env bash
# Builds the program and runs the whole test suite, in every configuration
# whose bytes must agree:
#   release    g++ -O3: every test, the bad-input suite included
#   sanitize   g++ with AddressSanitizer and UndefinedBehaviorSanitizer: every
#              test and the fuzz corpus replay
#   threads    g++ with ThreadSanitizer, for the hand-over to the second
#              thread: the tests but the bad-input suite
#   clang-O3, gcc-O0, clang-O0, native (-O3 -march=native), aarch64 (cross,
#              run under qemu): the fixtures, the differential tests and the
#              rest, without the bad-input suite
# and a smoke run of the benchmark. Needs cmake, g++, clang++, GoogleTest,
# Google Benchmark, g++-aarch64-linux-gnu and qemu-user.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

# configuration NAME CTEST-ARGS -- CMAKE-ARGS
configuration() {
  local name=$1 ctest_args=$2
  shift 3
  echo "=== $name"
  cmake -S . -B "build-$name" "$@" >/dev/null
  cmake --build "build-$name" -j "$jobs" >/dev/null
  # shellcheck disable=SC2086
  ctest --test-dir "build-$name" --output-on-failure --no-tests=error -j "$jobs" $ctest_args
}

configuration release "" -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++
ASAN_OPTIONS=allocator_may_return_null=1 \
  configuration sanitize "-LE build_flags" -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DJPEG2BMP_SANITIZE=ON
configuration threads "-LE bad_input|build_flags" -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DJPEG2BMP_SANITIZE_THREADS=ON
configuration clang-O3 "-LE bad_input|build_flags" -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++
configuration gcc-O0 "-LE bad_input|build_flags" -- -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS_DEBUG=-O0
configuration clang-O0 "-LE bad_input|build_flags" -- -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS_DEBUG=-O0
configuration native "-LE bad_input|build_flags" -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS=-march=native
configuration aarch64 "-LE bad_input|build_flags" -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake

echo "=== benchmark smoke run"
bench/run.sh --smoke
