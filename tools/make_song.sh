#!/usr/bin/env bash
# Synthesises the song (tools/make_song.py) and encodes it to granite.mp3 at the repository
# root: LAME VBR quality 2 with its Xing/LAME info tag, so players know the exact length.
set -euo pipefail
cd "$(dirname "$0")/.."

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

/usr/bin/python3 tools/make_song.py "$tmp/granite.wav"
lame --quiet -V2 "$tmp/granite.wav" "$tmp/granite.mp3"
mv "$tmp/granite.mp3" granite.mp3
echo "make_song.sh: wrote granite.mp3 ($(stat -c %s granite.mp3) bytes)"
