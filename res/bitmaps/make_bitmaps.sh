#!/bin/sh
# Draws the four status pictures (364 x 224, 8 bits per pixel with a palette)
# and the window icon. The results are kept in the repository, so the build
# does not need ImageMagick; run this again only to change a picture.
set -e
here=$(cd "$(dirname "$0")" && pwd)
sans=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
italic=/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf

panel() {  # file, background, font, text colour, point size, text
    convert -size 364x224 "xc:$2" -font "$3" -fill "$4" -pointsize "$5" -gravity center \
        -annotate +0+0 "$6" -type Palette -colors 256 -compress None "BMP3:$here/$1"
}

panel bitmap_141.bmp '#FFFF00' "$italic" black 88 'W0073'
panel bitmap_142.bmp '#00C000' "$sans" black 120 'O K'
panel bitmap_143.bmp '#FF0000' "$sans" black 120 'N G'
panel bitmap_144.bmp '#008080' "$sans" '#00FF00' 76 'Working'

# The window icon: the ready panel's colours in small.
convert -size 32x32 'xc:#FFFF00' -fill black -draw 'rectangle 0,0 31,1 rectangle 0,30 31,31 rectangle 0,0 1,31 rectangle 30,0 31,31' \
    -font "$italic" -pointsize 13 -gravity center -annotate +0+0 'W73' "PNG8:$here/../icon/icon_128.png"
# The icon as a bitmap too, for the picture of the version window.
convert "$here/../icon/icon_128.png" -type Palette -compress None "BMP3:$here/bitmap_128.bmp"
