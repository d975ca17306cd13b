#!/usr/bin/env bash
# Builds Release and times the whole program, median of RUNS runs, on the
# benchmark pictures beside the project (../shared/bench), or on a large
# picture made by the test encoder where they are absent.
#   bench/run.sh [--smoke]     (--smoke: one small picture, one run)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=5
smoke=no
[ "${1:-}" = "--smoke" ] && smoke=yes && runs=1

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DJPEG2BMP_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target jpeg2bmp make_bench_picture stage_bench time_run >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$smoke" = yes ]; then
  build-bench/bench/make_bench_picture 256 128 "$work/made_256x128.jpg"
elif [ -d ../shared/bench ]; then
  cp ../shared/bench/*.jpg "$work/"
else
  build-bench/bench/make_bench_picture 5640 3172 "$work/made_5640x3172.jpg"
fi

printf '%-24s %10s %10s %12s %10s\n' picture "wall s" "cpu s" "peak MiB" "MP/s"
for picture in "$work"/*.jpg; do
  name=$(basename "$picture" .jpg)
  size=$(echo "$name" | grep -o '[0-9]*x[0-9]*$')
  pixels=$(( ${size%x*} * ${size#*x} ))
  for i in $(seq "$runs"); do
    ( cd "$work" && "$root/build-bench/bench/time_run" "$work/time.$i" "$root/build-bench/jpeg2bmp" <<< "$name" >/dev/null )
  done
  cat "$work"/time.* | sort -n | awk -v n="$runs" -v px="$pixels" -v name="$name" \
    'NR == int((n + 1) / 2) { rate = $1 > 0 ? sprintf("%.1f", px / 1e6 / $1) : "-"
                             printf "%-24s %10.3f %10.3f %12.1f %10s\n", name, $1, $2 + $3, $4 / 1024, rate }'
  rm -f "$work"/time.*
done

if [ "$smoke" = yes ]; then
  build-bench/bench/stage_bench --benchmark_min_time=0.01 >/dev/null
else
  build-bench/bench/stage_bench
fi
