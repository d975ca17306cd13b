#!/usr/bin/env bash
# Builds Release and times the interactive program end to end on the
# benchmark pictures beside the project (../shared/bench), or on a large
# picture made by the test encoder where they are absent, and on a picture
# eight times as tall as the largest (peak memory must not grow with it).
# Where djpeg is installed, each run of ours is paired with one of
# `djpeg -bmp -outfile`, alternating, both writing beside the picture.
#   bench/run.sh [--smoke] [PAIRS]     (--smoke: one small picture, one run)
# Prints per picture, on both processors and on one (taskset -c 0): the
# medians of wall and processor time (user + system) and, with djpeg, the
# medians of the per-pair ratios ours / djpeg; peak memory is the largest
# maximum resident set of all runs. Then the stage benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
pairs=15
smoke=no
[ "${1:-}" = "--smoke" ] && smoke=yes && pairs=1 && shift
[ -n "${1:-}" ] && pairs=$1

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DJPEG2BMP_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target jpeg2bmp make_bench_picture stage_bench time_run >/dev/null
ours=$root/build-bench/jpeg2bmp
time_run=$root/build-bench/bench/time_run

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$smoke" = yes ]; then
  build-bench/bench/make_bench_picture 256 128 "$work/made_256x128.jpg"
else
  if [ -d ../shared/bench ]; then
    cp ../shared/bench/*.jpg "$work/"
  else
    build-bench/bench/make_bench_picture 5640 3172 "$work/made_5640x3172.jpg"
  fi
  build-bench/bench/make_bench_picture 5640 25376 "$work/tall_5640x25376.jpg"
fi
djpeg=$(command -v djpeg || true)
[ -z "$djpeg" ] && echo "(djpeg is not installed: no ratios)"

# run LABEL PINNING PICTURE: one timed run into $work/LABEL.N
run() {
  local label=$1 pinning=$2 name=$3 n
  n=$(ls "$work" | grep -c "^$label\\." || true)
  if [ "$label" = ours ]; then
    ( cd "$work" && $pinning "$time_run" "$work/$label.$n" "$ours" <<< "$name" >/dev/null )
  else
    ( cd "$work" && $pinning "$time_run" "$work/$label.$n" "$djpeg" -bmp -outfile "$name.djpeg.bmp" "$name.jpg" )
  fi
}

# Medians of column expressions over the files LABEL.*, in order: wall, cpu.
medians() {
  local label=$1
  paste -d' ' <(cat "$work/$label".* | awk '{ print $1 }' | sort -n) \
              <(cat "$work/$label".* | awk '{ print $2 + $3 }' | sort -n) |
    awk '{ w[NR] = $1; c[NR] = $2 } END { m = int((NR + 1) / 2); printf "%.3f %.3f\n", w[m], c[m] }'
}
peak() { cat "$work/$1".* | awk '$4 > p { p = $4 } END { printf "%.1f", p / 1024 }'; }
# The median of the per-pair ratios of FIELD (1 wall, 2 cpu) over COUNT pairs.
ratio() {
  local field=$1 count=$2
  for i in $(seq 0 $((count - 1))); do
    paste -d' ' "$work/ours.$i" "$work/djpeg.$i"
  done | awk -v f="$field" '{ a = f == 1 ? $1 : $2 + $3; b = f == 1 ? $5 : $6 + $7; print (b > 0 ? a / b : 0) }' |
    sort -n | awk '{ r[NR] = $1 } END { printf "%.2f", r[int((NR + 1) / 2)] }'
}

printf '%-22s %-6s %9s %9s %9s %9s %9s %9s %9s %9s\n' picture cpus "wall s" "djpeg s" "ratio" "cpu s" "djpeg s" "ratio" \
  "peak MiB" "djpeg MiB"
for picture in "$work"/*.jpg; do
  name=$(basename "$picture" .jpg)
  picture_pairs=$pairs
  case $name in tall_*) picture_pairs=3 ;; esac
  for pinning in "" "taskset -c 0"; do
    rm -f "$work"/ours.* "$work"/djpeg.*
    for _ in $(seq "$picture_pairs"); do
      run ours "$pinning" "$name"
      [ -n "$djpeg" ] && run djpeg "$pinning" "$name"
    done
    read -r wall cpu < <(medians ours)
    cpus=2; [ -n "$pinning" ] && cpus=1
    if [ -n "$djpeg" ]; then
      read -r djpeg_wall djpeg_cpu < <(medians djpeg)
      printf '%-22s %-6s %9s %9s %9s %9s %9s %9s %9s %9s\n' "$name" "$cpus" "$wall" "$djpeg_wall" \
        "$(ratio 1 "$picture_pairs")" "$cpu" "$djpeg_cpu" "$(ratio 2 "$picture_pairs")" "$(peak ours)" "$(peak djpeg)"
    else
      printf '%-22s %-6s %9s %9s %9s %9s %9s %9s %9s %9s\n' "$name" "$cpus" "$wall" - - "$cpu" - - "$(peak ours)" -
    fi
  done
  rm -f "$work/$name".*bmp
done

if [ "$smoke" = yes ]; then
  build-bench/bench/stage_bench --benchmark_min_time=0.01 >/dev/null
else
  build-bench/bench/stage_bench
fi
