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

# Baseline codings of the files the interactive program refuses, whose
# pictures the converter must give.
for name in chelsea_progressive chelsea_restart rocket_icc; do
  jpegtran -copy none "$from/$name.jpg" > "$name.baseline.jpg"
done
