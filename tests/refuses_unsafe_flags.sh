#!/usr/bin/env bash
# Configures the project with each flag that breaks the decoder's
# arithmetic and expects CMake to refuse it with its error.
set -uo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for flag in -ffast-math -Ofast -funsafe-math-optimizations -fassociative-math -ffp-contract=fast -ffp-contract=on \
            -ffp-model=fast; do
  if cmake -S "$source_dir" -B "$work/$flag" -DJPEG2BMP_TESTS=OFF "-DCMAKE_CXX_FLAGS=-O2 $flag" >"$work/log" 2>&1 \
     || ! grep -q "changes the decoder's floating-point results" "$work/log"; then
    echo "not refused: $flag"
    status=1
  fi
done
cmake -S "$source_dir" -B "$work/plain" -DJPEG2BMP_TESTS=OFF "-DCMAKE_CXX_FLAGS=-O2 -ffp-contract=off" >"$work/log" 2>&1 \
  || { echo "refused a safe flag"; cat "$work/log"; status=1; }
exit $status
