#!/usr/bin/env bash
# Draws the program's PNG pictures into resources/ with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../resources"

font=$(fc-match -f '%{file}' 'DejaVu Sans:bold')

# Start-up caption: white bold words on a black band, transparent around it.
convert -size 600x148 xc:none \
    -fill black -draw "rectangle 0,34 599,113" \
    -font "$font" -pointsize 52 -fill white -gravity center -annotate +0+0 "updating resources..." \
    -strip PNG32:updating_resources.png

# New-version notice: an invitation to click for the new version, on black.
convert -size 600x280 xc:black \
    -fill '#8b0000' -draw "rectangle 0,0 599,60" \
    -font "$font" -fill white -gravity north \
    -pointsize 34 -annotate +0+12 "A new Velmora is available" \
    -pointsize 26 -annotate +0+120 "Click here to download" \
    -pointsize 26 -annotate +0+160 "the latest version." \
    -fill none -stroke white -strokewidth 3 -draw "rectangle 40,100 559,220" \
    -strip PNG24:UpdateVelmora.png
