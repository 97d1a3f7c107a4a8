#!/usr/bin/env bash
# Draws the launcher's artwork with ImageMagick (Debian package imagemagick)
# into resources/art/. The output is committed, so building never runs this;
# run it again only to change the pictures. Shapes only: no fonts, no photos.
# Then the pictures are prepared as the window shows them, with the
# launcher's own drawing under Wine (bench/scale_artwork of a built tree,
# given as the first argument, default build/x64): the backdrop
# (background and notes panel, 1280 x 720) and a 48-pixel tile per icon.
# Those are what the programs embed (artwork.rc).
#   101 launcher.ico     program icon, 16, 32 and 48 pixels, 32 bits per pixel
#   102 background.jpg   window background, 1024 x 768
#   103 community.png    chat bubble (community invite), 512 x 512
#   104 emblem.png       the game's emblem (login page), 585 x 585
#   105 social.png       social-page symbol, 512 x 512
#   106 document.png     document symbol (client settings), 512 x 512
#   107 certificate.png  certificate symbol (licence text), 512 x 512
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/x64}" && pwd)"
cd "$root/resources/art"

accent='#008CFF'
accent_light='#5CB8FF'
ink='#F0F0F0'
tile_top='#1C2733'
tile_bottom='#0B1016'

# A rounded dark tile with a blue rim, the base of every square icon.
tile() {  # size output
    local s=$1 r=$(( $1 / 7 )) m=$(( $1 / 32 ))
    convert -size "${s}x${s}" xc:none \
        \( -size "${s}x${s}" gradient:"${tile_top}-${tile_bottom}" \) \
        \( -size "${s}x${s}" xc:black -fill white \
           -draw "roundrectangle $m,$m $((s - m - 1)),$((s - m - 1)) $r,$r" \) \
        -delete 0 -alpha off -compose CopyOpacity -composite \
        -fill none -stroke "$accent" -strokewidth $(( s / 40 )) \
        -draw "roundrectangle $m,$m $((s - m - 1)),$((s - m - 1)) $r,$r" \
        "$2"
}

# Chat bubble with three dots.
tile 512 community.png
convert community.png \
    -fill "$ink" -stroke none \
    -draw "roundrectangle 96,120 416,336 56,56" \
    -draw "polygon 150,320 136,408 236,330" \
    -fill "$accent" \
    -draw "circle 176,228 176,254" -draw "circle 256,228 256,254" -draw "circle 336,228 336,254" \
    PNG32:community.png

# The emblem: a round medallion holding a shield with a chevron and a star.
convert -size 585x585 xc:none \
    -fill "$tile_bottom" -stroke "$accent" -strokewidth 18 -draw "circle 292,292 292,20" \
    -fill none -stroke "$accent_light" -strokewidth 5 -draw "circle 292,292 292,56" \
    -fill "$accent" -stroke none \
    -draw "polygon 292,96 456,150 440,330 292,492 144,330 128,150" \
    -fill "$tile_bottom" \
    -draw "polygon 292,128 424,172 410,322 292,452 174,322 160,172" \
    -fill "$ink" \
    -draw "polygon 182,200 236,200 292,352 348,200 402,200 292,430" \
    -fill "$accent_light" \
    -draw "polygon 292,150 302,178 332,178 308,196 317,224 292,207 267,224 276,196 252,178 282,178" \
    PNG32:emblem.png

# Social page: a profile card with a head, shoulders and a few lines.
tile 512 social.png
convert social.png \
    -fill "$ink" -stroke none \
    -draw "roundrectangle 104,112 408,400 28,28" \
    -fill "$tile_bottom" \
    -draw "circle 190,206 190,248" \
    -draw "ellipse 190,330 70,52 180,360" \
    -fill "$accent" \
    -draw "roundrectangle 276,176 372,200 10,10" \
    -draw "roundrectangle 276,232 372,256 10,10" \
    -draw "roundrectangle 276,288 350,312 10,10" \
    PNG32:social.png

# Document: a page with a folded corner and text lines.
tile 512 document.png
convert document.png \
    -fill "$ink" -stroke none \
    -draw "polygon 144,88 308,88 384,164 384,424 144,424" \
    -fill "$accent_light" -draw "polygon 308,88 308,164 384,164" \
    -fill "$accent" \
    -draw "roundrectangle 184,200 344,222 10,10" \
    -draw "roundrectangle 184,256 344,278 10,10" \
    -draw "roundrectangle 184,312 344,334 10,10" \
    -draw "roundrectangle 184,368 290,390 10,10" \
    PNG32:document.png

# Certificate: a sheet with lines and a rosette seal with ribbons.
tile 512 certificate.png
convert certificate.png \
    -fill "$ink" -stroke none \
    -draw "roundrectangle 80,104 432,352 18,18" \
    -fill "$tile_top" \
    -draw "roundrectangle 128,148 384,168 8,8" \
    -draw "roundrectangle 128,196 330,212 8,8" \
    -draw "roundrectangle 128,236 290,252 8,8" \
    -fill "$accent" \
    -draw "polygon 320,330 292,430 322,414 344,440 360,336" \
    -draw "polygon 380,330 408,430 378,414 356,440 340,336" \
    -draw "circle 350,300 350,246" \
    -fill "$accent_light" -draw "circle 350,300 350,266" \
    -fill "$accent" -draw "circle 350,300 350,282" \
    PNG32:certificate.png

# Program icon from the emblem: 48, 32 and 16 pixels with an alpha channel.
convert emblem.png -define icon:auto-resize=48,32,16 -depth 8 launcher.ico

# Background: night sky over layered ridges with a blue glow at the horizon.
convert -size 1024x768 gradient:'#0E2238-#03060A' \
    \( -size 1024x768 radial-gradient:'#1E5A8C-#00000000' -alpha set \
       -channel A -evaluate multiply 0.55 +channel \) -compose Screen -composite \
    \( -size 1024x768 xc:black -seed 1703 +noise Random -channel R -separate +channel \
       -threshold 99.92% -morphology Dilate Disk:1 -evaluate multiply 0.6 \) -compose Screen -composite \
    -fill '#0D1B2A' -draw "polygon 0,520 120,440 240,500 380,390 520,470 640,410 780,480 900,420 1024,470 1024,768 0,768" \
    -fill '#09131E' -draw "polygon 0,600 160,530 300,590 460,520 620,600 760,540 900,600 1024,560 1024,768 0,768" \
    -fill '#050B12' -draw "polygon 0,680 200,640 420,690 640,650 860,700 1024,670 1024,768 0,768" \
    -fill none -stroke '#008CFF40' -strokewidth 2 \
    -draw "polyline 0,520 120,440 240,500 380,390 520,470 640,410 780,480 900,420 1024,470" \
    -quality 88 -strip -interlace none background.jpg

# As the window shows them.
[ -f "$build/bench/scale_artwork.exe" ] || { echo "build $build first (cmake --build)" >&2; exit 1; }
"$build/wine-run.sh" "$build/bench/scale_artwork.exe" "Z:$(pwd | tr '/' '\\')"
