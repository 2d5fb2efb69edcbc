#!/usr/bin/env bash
# Puts the title font in place: TeX Gyre Pagella Regular (a free Palatino-like serif from
# Debian's fonts-texgyre), saved under the file name the program loads, ressources/BKANT.TTF.
# FreeType reads the OpenType data regardless of the extension. The licence and the
# authors' notes go next to it in ressources/BKANT-LICENSE.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

src=/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-regular.otf
doc=/usr/share/doc/fonts-texgyre
if [ ! -r "$src" ]; then
    echo "make_font.sh: $src is missing; install fonts-texgyre" >&2
    exit 1
fi

mkdir -p ressources
cp "$src" ressources/BKANT.TTF

rule="======================================================================="
{
    echo "ressources/BKANT.TTF is TeX Gyre Pagella Regular, unmodified, only renamed:"
    echo "it is a byte-for-byte copy of $(basename "$src") from Debian's fonts-texgyre"
    echo "package ($(dpkg-query -W -f='${Version}' fonts-texgyre 2>/dev/null || echo 'version unknown'))."
    echo "The program loads it by that file name to draw the song title."
    echo
    echo "Copyright (C) 2007-2018 Boguslaw Jackowski and Janusz M. Nowacki"
    echo "(on behalf of TeX Users Groups). Distributed under the GUST Font License,"
    echo "reproduced below together with the font's README."
    echo
    echo "$rule"
    echo "GUST Font License (from $doc/copyright)"
    echo "$rule"
    # The stand-alone licence paragraph of the Debian copyright file (the one starting
    # with its "License:" line), with the one-space indent and the "." blank-line
    # markers turned back into plain text.
    awk 'BEGIN {RS = ""} /^License: GUST-Font-License\n/ {print; exit}' "$doc/copyright" |
        sed -e 1d -e 's/^ //' -e 's/^\.$//'
    echo
    echo "$rule"
    echo "README-TeX-Gyre-Pagella.txt (from $doc)"
    echo "$rule"
    cat "$doc/README-TeX-Gyre-Pagella.txt"
} > ressources/BKANT-LICENSE.txt

echo "make_font.sh: wrote ressources/BKANT.TTF and ressources/BKANT-LICENSE.txt"
