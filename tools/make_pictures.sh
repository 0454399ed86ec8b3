#!/usr/bin/env bash
# Draws the program's PNG pictures into resources/ with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../resources"

font=$(fc-match -f '%{file}' 'DejaVu Sans:bold')

# Start-up caption: white bold words on a black band, transparent around it.
caption="updating resources..."
captionSize=44
convert -size 600x148 xc:none \
    -fill black -draw "rectangle 0,34 599,113" \
    -font "$font" -pointsize "$captionSize" -fill white -gravity center -annotate +0+0 "$caption" \
    -strip PNG32:updating_resources.png

# The box around the caption's pixels, as "width height x y".
textBox() {
    convert "$@" -alpha off -threshold 10% -format "%@" info: | tr 'x+' '  '
}

# The whole caption shows: drawn on a canvas wide enough for any caption it is as wide
# and as high as in the picture, and in the picture it keeps clear of the edges and
# stays on the band.
read -r fullWidth fullHeight _ _ <<< "$(textBox -size 2000x148 xc:black -font "$font" \
    -pointsize "$captionSize" -fill white -gravity center -annotate +0+0 "$caption")"
read -r width height x y <<< "$(textBox updating_resources.png)"
margin=8

if [ "$width" -ne "$fullWidth" ] || [ "$height" -ne "$fullHeight" ] \
    || [ "$x" -lt "$margin" ] || [ $((x + width)) -gt $((600 - margin)) ] \
    || [ "$y" -lt 34 ] || [ $((y + height)) -gt 114 ]; then
    echo "make_pictures.sh: the caption (${fullWidth}x${fullHeight}) does not fit its picture:" \
         "it shows ${width}x${height} at ${x},${y}" >&2
    exit 1
fi

# New-version notice: an invitation to click for the new version, on black.
convert -size 600x280 xc:black \
    -fill '#8b0000' -draw "rectangle 0,0 599,60" \
    -font "$font" -fill white -gravity north \
    -pointsize 34 -annotate +0+12 "A new Velmora is available" \
    -pointsize 26 -annotate +0+120 "Click here to download" \
    -pointsize 26 -annotate +0+160 "the latest version." \
    -fill none -stroke white -strokewidth 3 -draw "rectangle 40,100 559,220" \
    -strip PNG24:UpdateVelmora.png
