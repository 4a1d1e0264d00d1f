#!/usr/bin/env bash
# Draws the probe's pictures with ImageMagick: the ladder's state pictures
# (80 x 33, 16 colours), the program icon and the About box logo. The files
# are checked in under probe/res/ for the resource compiler; run this again
# after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")/../probe/res"

field='#7a7a7a'
captions=("" "Start" "TWAIN\nLoaded" "TWAIN\nOpen" "Source\nOpen" "Source\nEnabled" "Image\nReady" "Transfer")

# state number, numeral colour, caption colour, file
state_picture() {
  local state=$1 numeral=$2 caption=$3 file=$4
  local text=${captions[$state]}
  local lines
  lines=$(printf '%b' "$text" | wc -l)
  local y=$((lines == 0 ? 21 : 15))
  convert -size 80x33 xc:"$field" \
    -fill '#9a9a9a' -draw 'line 0,0 79,0' -draw 'line 0,0 0,32' \
    -fill '#4a4a4a' -draw 'line 0,32 79,32' -draw 'line 79,0 79,32' \
    -font DejaVu-Sans-Bold -pointsize 29 -fill "$numeral" -annotate +5+29 "$state" \
    -font DejaVu-Sans-Bold -pointsize 10 -interline-spacing -1 -fill "$caption" \
    -annotate +29+"$y" "$(printf '%b' "$text")" \
    +dither -colors 16 -type Palette BMP3:"$file"
}

for state in 1 2 3 4 5 6 7; do
  state_picture "$state" '#6e1010' '#c8c8c8' "state_$((130 + state)).bmp"
  state_picture "$state" '#ff2020' '#ffffff' "state_$((138 + state)).bmp"
done
# State 0 has no control; its two pictures exist for completeness.
convert -size 80x33 xc:"$field" -font DejaVu-Sans-Bold -pointsize 10 -fill '#c8c8c8' \
  -annotate +8+21 'State 0' +dither -colors 16 -type Palette BMP3:state_130.bmp
convert -size 80x33 xc:"$field" -type Palette BMP3:state_138.bmp

# The icon: a ladder of seven rungs beside a scanner's light bar.
icon() {
  local size=$1 file=$2
  local s=$((size - 1)) m=$((size / 8))
  convert -size "${size}x${size}" xc:none \
    -fill '#202830' -draw "roundrectangle 0,0 $s,$s $((size / 6)),$((size / 6))" \
    -stroke '#d0d0d0' -strokewidth "$((size / 16 > 0 ? size / 16 : 1))" \
    -draw "line $((m * 2)),$m $((m * 2)),$((s - m))" -draw "line $((m * 4)),$m $((m * 4)),$((s - m))" \
    -draw "line $((m * 2)),$((m * 2)) $((m * 4)),$((m * 2))" \
    -draw "line $((m * 2)),$((m * 4)) $((m * 4)),$((m * 4))" \
    -draw "line $((m * 2)),$((m * 6)) $((m * 4)),$((m * 6))" \
    -stroke none -fill '#ff3030' -draw "rectangle $((m * 5)),$((m * 3)) $((s - m)),$((m * 4))" \
    -fill '#40c0ff' -draw "rectangle $((m * 5)),$((m * 5)) $((s - m)),$((m * 6 - 1))" \
    "$file"
}
icon 32 /tmp/vorrel_icon32.png
icon 16 /tmp/vorrel_icon16.png
convert /tmp/vorrel_icon16.png /tmp/vorrel_icon32.png probe.ico
rm -f /tmp/vorrel_icon16.png /tmp/vorrel_icon32.png

# The About box logo: a pale page with a scan line, light enough for the
# text drawn over it to stay readable.
convert -size 192x192 gradient:'#f4f8ff'-'#dfe8f4' \
  -fill '#ffffff' -stroke '#b8c4d4' -draw 'rectangle 36,20 156,172' \
  -stroke none -fill '#ffe0e0' -draw 'rectangle 36,92 156,98' \
  -fill '#ff9a9a' -draw 'rectangle 36,94 156,95' \
  -fill '#e6ecf5' -draw 'rectangle 50,36 142,44' -draw 'rectangle 50,52 126,58' \
  -draw 'rectangle 50,112 142,118' -draw 'rectangle 50,126 118,132' -draw 'rectangle 50,140 134,146' \
  -type TrueColor BMP3:Logo.bmp

# The value editors' pictures on the list's light grey (192, 192, 192):
# check boxes (unchecked, checked) and markers (none, default, current, both;
# current fills the upper-left half of a picture, default the lower-right,
# as a click there chooses), then the enumeration editor's three buttons.
grey='#c0c0c0'
convert -size 32x16 xc:"$grey" \
  -fill white -stroke '#404040' -draw 'rectangle 2,2 13,13' -draw 'rectangle 18,2 29,13' \
  -stroke '#000000' -strokewidth 2 -draw 'polyline 20,8 23,11 28,4' \
  -type TrueColor BMP3:value_checks.bmp
convert -size 64x16 xc:"$grey" \
  -fill '#2050d0' -draw 'polygon 31,3 31,15 19,15' -draw 'polygon 63,3 63,15 51,15' \
  -fill '#d02020' -draw 'polygon 32,0 44,0 32,12' -draw 'polygon 48,0 60,0 48,12' \
  -type TrueColor BMP3:value_markers.bmp
button_picture() {
  local file=$1 label=$2
  shift 2
  convert -size 64x16 xc:"$grey" "$@" \
    -stroke none -font DejaVu-Sans -pointsize 10 -fill black -annotate +20+12 "$label" \
    -type TrueColor BMP3:"$file"
}
button_picture value_toggle.bmp toggle -fill white -stroke '#404040' -draw 'rectangle 3,2 14,13' \
  -stroke black -strokewidth 2 -draw 'polyline 5,8 8,11 12,4'
button_picture value_current.bmp current -fill '#d02020' -draw 'polygon 2,1 14,1 2,13'
button_picture value_default.bmp default -fill '#2050d0' -draw 'polygon 15,2 15,14 3,14'
# The Layout page's diagram (65 x 76): a white page with the frame (ROI) in
# purple and grey guides from the page's top-left corner to each of its edges.
convert -size 65x76 xc:white -fill none -stroke '#404040' -draw 'rectangle 0,0 64,75' \
  -stroke '#a0a0a0' -draw 'line 24,1 24,30' -draw 'line 54,1 54,30' \
  -draw 'line 1,34 20,34' -draw 'line 1,64 20,64' \
  -stroke none -fill '#7030a0' -draw 'rectangle 24,34 54,64' \
  -font DejaVu-Sans-Bold -pointsize 9 -fill white -annotate +28+53 'ROI' \
  -font DejaVu-Sans -pointsize 8 -fill '#707070' \
  -annotate +16+10 'L' -annotate +56+10 'R' -annotate +4+32 'T' -annotate +4+62 'B' \
  +dither -colors 16 -type Palette BMP3:layout_diagram.bmp
