#!/usr/bin/env bash
# Regenerates every asset the player ships with, from the generators in tools/:
#   ressources/bg.png, buttons.png, slider.png      tools/make_art.py
#   app/IconImage.cpp, desktop/icons/hicolor/...    tools/make_icon.py
#   ressources/BKANT.TTF, BKANT-LICENSE.txt         tools/make_font.sh
#   granite.mp3                                     tools/make_song.sh
# Needs python3-pil, python3-numpy, fonts-texgyre and lame (see setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

/usr/bin/python3 tools/make_art.py
/usr/bin/python3 tools/make_icon.py
tools/make_font.sh
tools/make_song.sh
