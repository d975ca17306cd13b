#!/usr/bin/env bash
# Makes the files in this folder with cjpeg (Debian's libjpeg-turbo-progs)
# from a synthetic 61 x 37 picture: codings the converter must decode that
# no re-encoding of the other test files gives: components not transformed,
# luma sampled less than chroma, ratios of 4. (cjpeg makes no ratios that
# are not whole; the test encoder does.) The tests only read what this
# made.
set -euo pipefail
cd "$(dirname "$0")"
python3 - <<'PICTURE'
width, height = 61, 37
with open("picture.ppm", "wb") as out:
    out.write(b"P6 %d %d 255\n" % (width, height))
    for y in range(height):
        for x in range(width):
            out.write(bytes([(4 * x + y) % 256, (7 * y + 2 * x) % 256, (x * y) % 256]))
PICTURE
cjpeg -rgb -quality 90 picture.ppm > rgb.jpg
cjpeg -sample 1x1,2x2,1x1 picture.ppm > sampling_1x1_2x2_1x1.jpg
cjpeg -sample 4x1,1x1,2x1 -restart 1 picture.ppm > sampling_4x1_1x1_2x1_restart.jpg
cjpeg -progressive -sample 2x1,1x2,1x1 picture.ppm > sampling_2x1_1x2_1x1_progressive.jpg
rm picture.ppm
