#!/usr/bin/env bash
# Makes the lossless re-encodings in this folder from the files beside it,
# with jpegtran (Debian's libjpeg-turbo-progs): the same DCT coefficients in
# other codings, so that each must give its source's BMP byte for byte.
# NAME.VARIANT.jpg comes from ../NAME.jpg. The tests only read what this
# made; run it again only to add variants.
set -euo pipefail
cd "$(dirname "$0")"
from=..

# Files the interactive program converts, recoded with restart intervals:
# every MCU row, and every five MCUs.
for name in astronaut_411 chelsea_420 chelsea_444_q95 chelsea_gray coffee_422_opt coffee_440 coffee_pil_420 \
            five_by_two odd_37x23 one_pixel rocket; do
  jpegtran -restart 1 "$from/$name.jpg" > "$name.restart_row.jpg"
  jpegtran -restart 5B "$from/$name.jpg" > "$name.restart_5_blocks.jpg"
done
# Like a phone photo: every segment kept (Exif with a thumbnail inside it,
# an ICC profile, a comment) and a restart interval of one MCU row.
jpegtran -copy all -restart 1 "$from/exif/chelsea_420_exif_thumbnail.jpg" > chelsea_420.exif_copy_all_restart_row.jpg
jpegtran -copy all -restart 1 "$from/rocket_icc.jpg" > rocket_icc.copy_all_restart_row.jpg

# Progressive, also with restart intervals; several sequential scans: one
# per component, and two components in one scan with the third in another;
# deep successive approximation with split bands.
cat > one_scan_each.txt <<'SCANS'
0: 0-63, 0, 0;
1: 0-63, 0, 0;
2: 0-63, 0, 0;
SCANS
cat > two_and_one.txt <<'SCANS'
0, 2: 0-63, 0, 0;
1: 0-63, 0, 0;
SCANS
cat > deep_approximation.txt <<'SCANS'
0, 1, 2: 0-0, 0, 3;
0: 1-9, 0, 4;
0: 10-63, 0, 4;
2: 1-63, 0, 2;
1: 1-63, 0, 4;
0, 1, 2: 0-0, 3, 2;
0, 1, 2: 0-0, 2, 1;
0, 1, 2: 0-0, 1, 0;
0: 1-63, 4, 3;
0: 1-63, 3, 2;
0: 1-63, 2, 1;
0: 1-63, 1, 0;
1: 1-63, 4, 3;
1: 1-63, 3, 2;
1: 1-63, 2, 1;
1: 1-63, 1, 0;
2: 1-63, 2, 1;
2: 1-63, 1, 0;
SCANS
for name in astronaut_411 chelsea_420 chelsea_444_q95 chelsea_gray coffee_422_opt coffee_440 coffee_pil_420 \
            five_by_two odd_37x23 one_pixel rocket; do
  jpegtran -progressive "$from/$name.jpg" > "$name.progressive.jpg"
  jpegtran -progressive -restart 1 "$from/$name.jpg" > "$name.progressive_restart_row.jpg"
done
for name in chelsea_420 coffee_422_opt odd_37x23 astronaut_411; do
  jpegtran -scans one_scan_each.txt "$from/$name.jpg" > "$name.one_scan_each.jpg"
  jpegtran -scans two_and_one.txt "$from/$name.jpg" > "$name.two_and_one.jpg"
  jpegtran -scans deep_approximation.txt -restart 3B "$from/$name.jpg" > "$name.deep_approximation_restart.jpg"
done
rm one_scan_each.txt

# Arithmetic coding, also with restart intervals and in several scans.
for name in astronaut_411 chelsea_420 chelsea_gray coffee_422_opt odd_37x23 one_pixel five_by_two; do
  jpegtran -arithmetic "$from/$name.jpg" > "$name.arithmetic.jpg"
  jpegtran -arithmetic -restart 2B "$from/$name.jpg" > "$name.arithmetic_restart_2_blocks.jpg"
done
jpegtran -arithmetic -scans two_and_one.txt "$from/coffee_422_opt.jpg" > coffee_422_opt.arithmetic_two_and_one.jpg
rm two_and_one.txt

# Progressive arithmetic coding, also with restart intervals and with deep
# successive approximation (the scans above).
for name in astronaut_411 chelsea_420 chelsea_gray coffee_422_opt odd_37x23 one_pixel five_by_two; do
  jpegtran -arithmetic -progressive "$from/$name.jpg" > "$name.arithmetic_progressive.jpg"
  jpegtran -arithmetic -progressive -restart 3B "$from/$name.jpg" > "$name.arithmetic_progressive_restart_3_blocks.jpg"
done
for name in chelsea_420 coffee_422_opt astronaut_411; do
  jpegtran -arithmetic -scans deep_approximation.txt -restart 1 "$from/$name.jpg" > "$name.arithmetic_deep_approximation_restart.jpg"
done
rm deep_approximation.txt

# Baseline codings of the files the interactive program refuses, whose
# pictures the converter must give.
for name in chelsea_progressive chelsea_restart rocket_icc; do
  jpegtran -copy none "$from/$name.jpg" > "$name.baseline.jpg"
done
