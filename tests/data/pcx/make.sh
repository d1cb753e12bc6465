#!/bin/sh
# make.sh -- remakes the PCX test pictures and the reference decodings (needs ImageMagick)
set -e
cd "$(dirname "$0")"
convert rose: -type palette rose8.pcx
convert rose: -type truecolor rose24.pcx
# odd width: lines padded to an even byte count
convert rose: -crop 13x7+20+15 +repage -type truecolor odd24.pcx
convert rose: -crop 13x7+20+15 +repage -colors 16 -type palette odd8.pcx
for f in rose8 rose24 odd24 odd8; do
    convert "$f.pcx" "$f.ppm"
done
