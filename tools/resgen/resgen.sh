#!/usr/bin/env bash
# Draws the client's bitmaps and icons with ImageMagick's convert.
#
#   tools/resgen/resgen.sh [OUTPUT_FOLDER]
#
# Reads bitmaps.txt and icons.txt beside this script and writes
# OUTPUT_FOLDER/bitmaps/<name>.bmp, OUTPUT_FOLDER/icons/<file>.ico and
# OUTPUT_FOLDER/bitmaps.rc, the BITMAP statement of every picture (default
# OUTPUT_FOLDER: client/res of the repository).
#
# Bitmaps are 24-bit BMP3 files. Everything is drawn on white; then every
# pixel of pure blue in the artwork is moved to 0,0,254 and every pure white
# pixel becomes pure blue 0,0,255, the client's transparent key colour. So
# the transparent areas are exactly the key colour, and anti-aliased edges
# keep the shades they got against white.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../client/res}
mkdir -p "$out/bitmaps" "$out/icons"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

font_file() {
    local f
    f=$(fc-match -f '%{file}' "$1" 2>/dev/null || true)
    if [ -z "$f" ] || [ ! -e "$f" ]; then
        echo "resgen: font $1 not found" >&2
        exit 1
    fi
    echo "$f"
}
REGULAR=$(font_file 'DejaVu Sans')
BOLD=$(font_file 'DejaVu Sans:bold')
CONDENSED=$(font_file 'DejaVu Sans Condensed')
CONDENSED_BOLD=$(font_file 'DejaVu Sans Condensed:bold')

INK='#1B365D'      # text
ACCENT='#2F6DB5'   # bars, frames
FRAME='#3C6496'    # button and box outlines

# ---------------------------------------------------------------- text fit

# text_size FONT SIZE TEXT -> width and height in pixels, "W H".
text_size() {
    convert -font "$1" -pointsize "$2" label:"$3" -format '%w %h\n' info:
}

# fit FONT START MIN MAXW MAXH TEXT: prints "FONT SIZE", the largest size
# from START down to MIN at which TEXT fits; below MIN of FONT the condensed
# face of the same weight is tried from START again.
fit() {
    local font=$1 start=$2 min=$3 maxw=$4 maxh=$5 text=$6 faces size w h
    if [ "$font" = "$BOLD" ]; then faces="$BOLD $CONDENSED_BOLD"; else faces="$REGULAR $CONDENSED"; fi
    for font in $faces; do
        for ((size = start; size >= min; size--)); do
            read -r w h < <(text_size "$font" "$size" "$text")
            if ((w <= maxw && h <= maxh)); then
                echo "$font $size"
                return
            fi
        done
    done
    echo "resgen: \"$text\" does not fit in ${maxw}x$maxh" >&2
    exit 1
}

# ---------------------------------------------------------------- finishing

# finish IN.png NAME: key colour for white, written as 24-bit BMP.
# The picture is first stored with 8 bits per channel, so that the colour
# tests below see the values that the bitmap will hold.
finish() {
    convert "$1" -background white -alpha remove -alpha off -depth 8 "PPM:$work/q.ppm"
    convert "$work/q.ppm" \
        -fill '#0000FE' -opaque '#0000FF' \
        -fill '#0000FF' -opaque '#FFFFFF' \
        -type TrueColor -define bmp:format=bmp3 "BMP3:$out/bitmaps/$2.bmp"
    if [ "$(convert "$out/bitmaps/$2.bmp" -fill black +opaque '#FFFFFF' -format '%[max]' info:)" != 0 ]; then
        echo "resgen: $2.bmp keeps white pixels" >&2
        exit 1
    fi
}

# ---------------------------------------------------------------- kinds

# text_bitmap NAME W H GRAVITY X FONT START TEXT COLOUR
text_bitmap() {
    local name=$1 w=$2 h=$3 gravity=$4 x=$5 font=$6 start=$7 text=$8 colour=$9 face size fitted
    fitted=$(fit "$font" "$start" 8 $((w - 2 * x)) "$h" "$text")
    read -r face size <<< "$fitted"
    convert -size "${w}x$h" xc:white -font "$face" -pointsize "$size" -fill "$colour" \
        -gravity "$gravity" -annotate "+$x+0" "$text" "$work/t.png"
    finish "$work/t.png" "$name"
}

# paragraph W H FONT START TEXT OUT.png: TEXT wrapped to width W, the largest
# size from START down to 8 whose height is at most H.
paragraph() {
    local w=$1 h=$2 font=$3 start=$4 text=$5 png=$6 size ph
    for ((size = start; size >= 8; size--)); do
        convert -size "${w}x" -background white -fill "$INK" -font "$font" -pointsize "$size" \
            caption:"$text" "$png"
        ph=$(convert "$png" -format '%h' info:)
        ((ph <= h)) && return
    done
    echo "resgen: paragraph does not fit in ${w}x$h: $text" >&2
    exit 1
}

# picture NAME W H "HEADING~PARAGRAPH~...": an accent bar down the left edge,
# the heading in bold, the paragraphs below it.
picture() {
    local name=$1 w=$2 h=$3 words=$4 heading body face size hh fitted
    heading=${words%%~*}
    body=${words#*~}
    body=${body//\~/$'\n'}
    fitted=$(fit "$BOLD" 16 10 $((w - 14)) "$h" "$heading")
    read -r face size <<< "$fitted"
    read -r _ hh < <(text_size "$face" "$size" "$heading")
    convert -size "${w}x$hh" xc:white -font "$face" -pointsize "$size" -fill "$INK" \
        -gravity NorthWest -annotate +0+0 "$heading" "$work/head.png"
    paragraph $((w - 14)) $((h - hh - 4)) "$REGULAR" 12 "$body" "$work/body.png"
    convert -size "${w}x$h" xc:white \
        -fill "$ACCENT" -draw "roundrectangle 0,1 3,$((h - 2)) 1,1" \
        "$work/head.png" -geometry +12+1 -composite \
        "$work/body.png" -geometry +12+$((hh + 3)) -composite "$work/t.png"
    finish "$work/t.png" "$name"
}

# A light gradient inside a shape; MASK_DRAW draws the shape (white on black).
# shaded W H TOP BOTTOM MASK_DRAW OUTLINE_DRAW OUT.png
shaded() {
    local w=$1 h=$2 top=$3 bottom=$4 mask=$5 outline=$6 png=$7
    convert -size "${w}x$h" xc:white \
        \( -size "${w}x$h" "gradient:$top-$bottom" \) \
        \( -size "${w}x$h" xc:black -fill white -stroke white -draw "$mask" \) \
        -composite -fill none -draw "$outline" "$png"
}

# label_on PNG W BAND FONT START TEXT: TEXT centred in the band of height
# BAND at the top of PNG.
label_on() {
    local png=$1 w=$2 band=$3 font=$4 start=$5 text=$6 face size fitted
    fitted=$(fit "$font" "$start" 8 $((w - 6)) "$band" "$text")
    read -r face size <<< "$fitted"
    convert "$png" \( -size "${w}x$band" xc:none -font "$face" -pointsize "$size" -fill "$INK" \
        -gravity Center -annotate +0+0 "$text" \) -gravity NorthWest -geometry +0+0 -composite "$png"
}

# Push button; its fill is darker than white, so the whole shape takes clicks.
button() {
    local name=$1 w=$2 h=$3 text=$4
    shaded "$w" "$h" '#F4F8FD' '#C5D7EE' \
        "roundrectangle 0,0 $((w - 1)),$((h - 1)) 5,5" \
        "stroke $FRAME stroke-width 1 roundrectangle 0.5,0.5 $((w - 1)).5,$((h - 1)).5 5,5" \
        "$work/t.png"
    label_on "$work/t.png" "$w" "$h" "$BOLD" 11 "$text"
    finish "$work/t.png" "$name"
}

# Header tab, normal look: rounded at the top, open at the bottom.
tab() {
    local name=$1 w=$2 h=$3 text=$4
    shaded "$w" "$h" '#F1F6FC' '#D2E0F1' \
        "roundrectangle 0,0 $((w - 1)),$((h + 8)) 6,6" \
        "stroke #7A97BF stroke-width 1 roundrectangle 0.5,0.5 $((w - 1)).5,$((h + 8)) 6,6" \
        "$work/t.png"
    label_on "$work/t.png" "$w" "$h" "$REGULAR" 12 "$text"
    finish "$work/t.png" "$name"
}

# Header tab, selected look: taller, with a strong frame; the header shows
# only its upper 35 pixels, so the text sits in that band.
seltab() {
    local name=$1 w=$2 h=$3 text=$4
    shaded "$w" "$h" '#FFFDF2' '#FFF6D8' \
        "roundrectangle 0,0 $((w - 1)),$((h + 8)) 7,7" \
        "stroke $ACCENT stroke-width 2 roundrectangle 1,1 $((w - 2)),$((h + 8)) 7,7" \
        "$work/t.png"
    label_on "$work/t.png" "$w" 34 "$BOLD" 12 "$text"
    finish "$work/t.png" "$name"
}

# Check boxes: the empty box fills its 16 by 16 picture. The ticked picture
# is placed 3 pixels further left and is 7 pixels wider and 1 taller; its
# box is on the same spot as the empty one, the tick reaches over its edges.
checkn() {
    convert -size "${2}x$3" xc:white -fill '#F5F9FE' -stroke "$FRAME" -strokewidth 1 \
        -draw "rectangle 0.5,0.5 14.5,14.5" "$work/t.png"
    finish "$work/t.png" "$1"
}

checky() {
    convert -size "${2}x$3" xc:white -fill '#F5F9FE' -stroke "$FRAME" -strokewidth 1 \
        -draw "rectangle 3.5,0.5 17.5,14.5" \
        -fill none -stroke '#1E8E3E' -strokewidth 3 \
        -draw "stroke-linecap round stroke-linejoin round polyline 2,7 8,13 21,1.5" "$work/t.png"
    finish "$work/t.png" "$1"
}

# Back button: a blue disc with a left arrow.
arrow() {
    convert -size "${2}x$3" xc:white -fill "$ACCENT" -stroke '#1F4A80' -strokewidth 1 \
        -draw "circle 10,10 10,0.5" \
        -fill '#F7F7F7' -stroke none \
        -draw "polygon 4,10 10,4.5 10,8 16,8 16,12 10,12 10,15.5" "$work/t.png"
    finish "$work/t.png" "$1"
}

# ---------------------------------------------------------------- motifs
# Drawn on a 32 by 32 grid (MVG); logos scale it to 48, icons to 128 and
# then down to 32 and 16.

motif() {
    local m=$1 c
    case $m in
    house)
        echo "fill #F3E2C3 stroke #8A6D3B stroke-width 1 rectangle 6,15 26,29
              fill #A0522D stroke #5C2E12 rectangle 21,4 24,11
              fill #C0392B stroke #7B1F16 polygon 16,3 30,16 2,16
              fill #8B5A2B stroke #5C3A1A rectangle 14,20 19,29
              fill #8EC9F0 stroke $FRAME rectangle 8,19 12,23 rectangle 21,19 25,23" ;;
    picture)
        echo "fill #C9A15A stroke #6B4E1E stroke-width 1 rectangle 2,5 30,27
              fill #BFE3F7 stroke #8A6D3B rectangle 5,8 27,24
              fill #FFD21F stroke #C79A00 circle 21.5,12.5 21.5,15
              fill #4E9A4E stroke #2E6B2E polygon 5.5,23.5 12,14 16,19.5 19,16 26.5,23.5" ;;
    book)
        echo "fill #F4F0E6 stroke #8A8170 stroke-width 1 rectangle 8,5 27,29
              fill $ACCENT stroke #173A66 roundrectangle 5,3 25,27 2,2
              fill #173A66 stroke none rectangle 7,3 9,27
              fill #F4F0E6 stroke none rectangle 12,8 22,12" ;;
    magnifier*)
        case $m in
        *red) c='#D64541' ;; *green) c='#2E9E4F' ;; *teal) c='#1F8A9A' ;; *purple) c='#8E5BB5' ;; *) c=$ACCENT ;;
        esac
        echo "stroke #6B4E1E stroke-width 5 stroke-linecap round line 20,20 28,28
              fill #E3F1FB stroke #4A5560 stroke-width 2.5 circle 13,13 13,3.5
              fill $c stroke none circle 13,13 13,8.5
              fill #F4F8FB stroke none circle 11,11 11,9.8" ;;
    folder)
        echo "fill #E8B730 stroke #9A7414 stroke-width 1 path 'M 2,7 L 12,7 L 14,10 L 30,10 L 30,27 L 2,27 Z'
              fill #FFD966 stroke #9A7414 path 'M 2,13 L 30,13 L 30,27 L 2,27 Z'" ;;
    box)
        echo "fill #DDA15E stroke #6B3E12 stroke-width 1 polygon 3,12 11,6 29,6 21,12
              fill #A86C2C polygon 21,12 29,6 29,23 21,29
              fill #C8863C polygon 3,12 21,12 21,29 3,29
              fill #E9D3A8 stroke none rectangle 10,12 14,29" ;;
    monitor)
        echo "fill #7D8B99 stroke #4B5561 stroke-width 1 polygon 13,22 19,22 21,27 11,27 rectangle 7,27 25,29
              fill #3A4A5C stroke #1F2933 roundrectangle 2,3 30,22 2,2
              fill #6FB7E9 stroke none rectangle 4.5,5.5 27.5,19.5" ;;
    computer)
        echo "fill #C9CED6 stroke #59636E stroke-width 1 rectangle 22,5 30,29
              fill #59636E stroke none rectangle 24,9 28,10 rectangle 24,12 28,13
              fill #3FAE4F circle 26,25 26,26.2
              fill #3A4A5C stroke #1F2933 roundrectangle 1,5 20,19 2,2
              fill #6FB7E9 stroke none rectangle 3,7 18,17
              fill #7D8B99 stroke #4B5561 rectangle 8,19 13,22 rectangle 2,24 20,28" ;;
    wrench)
        echo "stroke #6C7A89 stroke-width 5 stroke-linecap round line 7,26 18,15
              fill none stroke #6C7A89 stroke-width 4.5 circle 21,11 21,5.5
              fill white stroke none polygon 21,11 29,2 31,9" ;;
    letter-i)
        echo "fill $ACCENT stroke #173A66 stroke-width 1 circle 16,16 16,2
              fill #F7F7F7 stroke none rectangle 14,13 18,25 circle 16,8.5 16,6.5" ;;
    lifebuoy)
        echo "fill none stroke #E53935 stroke-width 7 circle 16,16 16,6.5
              stroke #F7F7F7 stroke-dasharray 7.46,7.46 circle 16,16 16,6.5
              stroke #7F1010 stroke-width 1 stroke-dasharray none circle 16,16 16,2.5 circle 16,16 16,10" ;;
    # Icons only.
    cross*)
        case $m in *red) c='#E53935 stroke #7F1010' ;; *) c='#FFD21F stroke #8A6A00' ;; esac
        echo "fill $c stroke-width 1.5 stroke-linejoin round
              path 'M 12,2.5 L 20,2.5 L 20,12 L 29.5,12 L 29.5,20 L 20,20 L 20,29.5 L 12,29.5 L 12,20 L 2.5,20 L 2.5,12 L 12,12 Z'" ;;
    ball)
        echo "fill #2EAA3A stroke #17611E stroke-width 1.5 circle 16,16 16,3
              fill #8FDB98 stroke none ellipse 12,11 5,3.5 0,360" ;;
    mark*)
        case $m in
        *yellow) c='#FFD21F stroke #7A5C00' ;; *brown) c='#A0522D stroke #4A230C' ;; *) c='#E53935 stroke #6F0E0E' ;;
        esac
        echo "fill $c stroke-width 1.5 roundrectangle 11.5,1.5 20.5,21 4,4 circle 16,26.5 16,30.5" ;;
    pending)
        echo "fill #D32F2F stroke #7F1010 stroke-width 1.5 circle 16,16 16,2
              stroke #FFFFFF stroke-width 4.5 stroke-linecap round line 10.5,10.5 21.5,21.5 line 21.5,10.5 10.5,21.5" ;;
    letter-a)
        echo "fill-rule evenodd fill #1E5FC8 stroke #0D2F66 stroke-width 1 stroke-linejoin round
              path 'M 12.5,2.5 L 19.5,2.5 L 29.5,29.5 L 23,29.5 L 21,23.5 L 11,23.5 L 9,29.5 L 2.5,29.5 Z M 12.8,18.5 L 19.2,18.5 L 16,9 Z'" ;;
    folder-*)
        motif folder
        case $m in
        folder-house)
            echo "fill #FAF3E3 stroke #8A6D3B stroke-width 1 rectangle 18,20 28,29
                  fill #C0392B stroke #7B1F16 polygon 23,13 31,21 15,21" ;;
        folder-disc)
            echo "fill #E53935 stroke #7F1010 stroke-width 1 circle 23,21 23,14" ;;
        folder-tick)
            echo "fill none stroke #1E8E3E stroke-width 4 stroke-linecap round stroke-linejoin round
                  polyline 15,20 20,25 30,13" ;;
        folder-mark)
            echo "fill none stroke #D32F2F stroke-width 4 stroke-linecap round line 17,15 28,26 line 28,15 17,26" ;;
        esac ;;
    hand-blocks)
        echo "fill #E53935 stroke #7F1010 stroke-width 1 rectangle 3,6 11,14
              fill #3FAE4F stroke #1E6B2A rectangle 12,6 20,14
              fill #2F6DB5 stroke #173A66 rectangle 21,6 29,14
              fill #FFD21F stroke #8A6A00 rectangle 8,0.5 16,6 rectangle 16,0.5 24,6
              fill #F1C27D stroke #A0522D roundrectangle 2,16 26,29 4,4 roundrectangle 21,12 30,21 3,3" ;;
    hammer-wrench)
        echo "stroke #6C7A89 stroke-width 4 stroke-linecap round line 6,27 20,13
              fill none stroke-width 4 circle 22.5,9.5 22.5,4.5
              fill none stroke none
              stroke #8B5A2B stroke-width 3.5 line 26,27 11,12
              fill #59636E stroke #2E353D stroke-width 1 polygon 3,10 10,3 15,8 8,15" ;;
    card-box)
        echo "fill #FAFAFA stroke #777777 stroke-width 1 rectangle 9,3 27,16 rectangle 5,6 23,18
              stroke #9AA5B1 line 8,10 19,10 line 8,13 19,13
              fill #C8863C stroke #6B3E12 rectangle 2,14 30,29
              fill #E9D3A8 stroke #6B3E12 rectangle 12,19 20,22" ;;
    person-info)
        echo "fill #E0A96D stroke #8A5A2B stroke-width 1 circle 12,8 12,3
              fill #4A78C2 stroke #24406E roundrectangle 3,14 21,31 7,7
              fill #1E5FC8 stroke #0D2F66 circle 24,22 24,14.5
              fill #FFFFFF stroke none rectangle 22.8,20.5 25.2,27 circle 24,17.8 24,16.4" ;;
    question)
        echo "fill none stroke #7A5C00 stroke-width 8 stroke-linecap round stroke-linejoin round
              path 'M 9.5,10.5 C 9.5,2 22.5,2 22.5,10 C 22.5,15.5 16,15 16,21'
              stroke #FFD21F stroke-width 5
              path 'M 9.5,10.5 C 9.5,2 22.5,2 22.5,10 C 22.5,15.5 16,15 16,21'
              fill #FFD21F stroke #7A5C00 stroke-width 1.5 circle 16,27.5 16,31" ;;
    sheet-gear)
        echo "fill #FAFAFA stroke #666666 stroke-width 1 stroke-linejoin round path 'M 5.5,1.5 L 20,1.5 L 27.5,9 L 27.5,30.5 L 5.5,30.5 Z'
              fill #DDDDDD path 'M 20,1.5 L 20,9 L 27.5,9 Z'
              fill none stroke #5B6B7A stroke-width 3 stroke-dasharray 2.55,2.55 circle 16,20 16,13.5
              fill #7D8B99 stroke #4B5561 stroke-width 1 stroke-dasharray none circle 16,20 16,14.5
              fill #FAFAFA circle 16,20 16,17.7" ;;
    *)
        echo "resgen: no motif $m" >&2
        exit 1 ;;
    esac
}

logo() {
    local mvg
    mvg=$(motif "$4")
    convert -size "${2}x$3" xc:white -draw "scale 1.5,1.5 $mvg" "$work/t.png"
    finish "$work/t.png" "$1"
}

icon() {
    local file=$1 m=$2 mvg
    mvg=$(motif "$m")
    convert -size 128x128 xc:none -draw "scale 4,4 $mvg" "$work/big.png"
    convert "$work/big.png" \( -clone 0 -resize 32x32 \) \( -clone 0 -resize 16x16 \) \
        -delete 0 "$out/icons/$file.ico"
}

# ---------------------------------------------------------------- main

count=0
{
    echo "// Generated by tools/resgen/resgen.sh from tools/resgen/bitmaps.txt."
    echo "// One bitmap per picture control text; names are not case-sensitive."
} > "$work/bitmaps.rc"
while IFS='|' read -r name kind w h words; do
    case $name in '' | '#'*) continue ;; esac
    case $kind in
    label)   text_bitmap "$name" "$w" "$h" West 1 "$REGULAR" 12 "$words" "$INK" ;;
    caption) text_bitmap "$name" "$w" "$h" East 2 "$REGULAR" 12 "$words" "$INK" ;;
    title)   text_bitmap "$name" "$w" "$h" West 1 "$BOLD" 12 "$words" "$INK" ;;
    heading) text_bitmap "$name" "$w" "$h" West 1 "$BOLD" 18 "$words" "$ACCENT" ;;
    text)
        paragraph $((w - 4)) $((h - 2)) "$REGULAR" 12 "$words" "$work/p.png"
        convert -size "${w}x$h" xc:white "$work/p.png" -geometry +2+1 -composite "$work/t.png"
        finish "$work/t.png" "$name" ;;
    picture) picture "$name" "$w" "$h" "$words" ;;
    button)  button "$name" "$w" "$h" "$words" ;;
    tab)     tab "$name" "$w" "$h" "$words" ;;
    seltab)  seltab "$name" "$w" "$h" "$words" ;;
    checkn)  checkn "$name" "$w" "$h" ;;
    checky)  checky "$name" "$w" "$h" ;;
    arrow)   arrow "$name" "$w" "$h" ;;
    logo)    logo "$name" "$w" "$h" "$words" ;;
    *) echo "resgen: unknown kind $kind of $name" >&2; exit 1 ;;
    esac
    printf '%-12s BITMAP "bitmaps/%s.bmp"\n' "$name" "$name" >> "$work/bitmaps.rc"
    count=$((count + 1))
done < "$here/bitmaps.txt"
cp "$work/bitmaps.rc" "$out/bitmaps.rc"

icons=0
while IFS='|' read -r file m _; do
    case $file in '' | '#'*) continue ;; esac
    icon "$file" "$m"
    icons=$((icons + 1))
done < "$here/icons.txt"
echo "resgen: $count bitmaps in $out/bitmaps, $icons icons in $out/icons"
