#!/usr/bin/env bash
# The headless demo of ./run.sh: starts the player under a private Xvfb with OpenAL Soft's
# wave writer as its sound output (asked for with BRASKO_OUTPUT, as there is no sound server), clicks Play, lets the song play for a few seconds, saves a
# screenshot, closes the window the way a window manager does and says what it got.
# Usage (from the repository root): tools/demo.sh BUILD_DIR OUT_DIR
# BUILD_DIR holds brasko and tests/xwin; OUT_DIR receives demo.wav, demo.png, the player's
# output in brasko.log and openal.conf.
set -euo pipefail
build=$1
out=$(realpath -m "$2")
mkdir -p "$out"
rm -f "$out/demo.wav" "$out/demo.png"
. tools/openal.sh
write_wave_conf "$out/openal.conf" "$out/demo.wav"

echo "No display: playing a short demo under a private Xvfb."
. tools/xvfb.sh
start_private_xvfb

env -u ALSOFT_DRIVERS ALSOFT_CONF="$out/openal.conf" BRASKO_OUTPUT=openal "$build/brasko" >"$out/brasko.log" 2>&1 &
pid=$!
window=$("$build/tests/xwin" find "$pid" 10)
xdotool mousemove --window "$window" 15 113 click 1 # Play
sleep 1                                            # the click is taken within a few frames
xdotool mousemove --window "$window" 250 60         # off the buttons, so only Play is lit
sleep 3
xwd -silent -id "$window" | convert xwd:- "$out/demo.png"
"$build/tests/xwin" close "$window"
status=0
wait "$pid" || status=$?

seconds=$(soxi -D "$out/demo.wav")
heard=$(sox "$out/demo.wav" -n silence 1 0.01 -60d stat 2>&1 | awk '/^Length/ {print $3}')
peak=$(sox "$out/demo.wav" -n stats 2>&1 | awk '/^Pk lev dB/ {print $4}')
awk -v s="$seconds" -v h="$heard" -v p="$peak" -v x="$status" 'BEGIN {
    printf "The player ran %.1f s and exited with status %d.\n", s, x
    printf "It sounded from %.2f s on, for %.1f s, peaking at %s dBFS.\n", s - h, h, p }'
echo "Recording:  $out/demo.wav"
echo "Screenshot: $out/demo.png"
exit "$status"
