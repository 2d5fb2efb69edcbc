#!/usr/bin/env bash
# Checks an installed brasko: the files and their layout, the desktop entry and the AppStream
# data (through the validators), and then starts the installed command the way a user does
# (the launcher in bin/ that Exec= names) from a folder of their own with a song of that folder
# by a relative name (with a space, a letter beyond ASCII and a leading dash), checks that the
# window shows its pictures and carries the class the entry names, listens to what OpenAL
# Soft plays without any click and closes the window like a window manager. Passes only if
# the song was heard from its start and the program ended with status 0.
#
#   install_check.sh --build-dir DIR --xwin EXE
#       installs the built tree DIR to a scratch prefix with `cmake --install` and checks it
#   install_check.sh --prefix PREFIX --xwin EXE
#       checks what is already installed under PREFIX (e.g. /usr, from the Debian package)
#
# EXE is the xwin helper (tests/support/xwin.cpp). Needs xdotool, sox,
# imagemagick, desktop-file-validate and appstreamcli. Uses the X server in DISPLAY, or a
# private Xvfb when DISPLAY is unset.
set -euo pipefail

APP_ID=io.github.brasko.Brasko
ICON_SIZES=(32 48 64 128 256)
BYTES_PER_SECOND=176400 # 44100 frames of 2 x 16 bits

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

build_dir=""
prefix=""
xwin=""
while [ $# -gt 0 ]; do
    case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --xwin) xwin=$2; shift 2 ;;
    *) echo "install_check: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
if { [ -z "$build_dir" ] && [ -z "$prefix" ]; } || { [ -n "$build_dir" ] && [ -n "$prefix" ]; } ||
    [ -z "$xwin" ]; then
    echo "usage: install_check.sh (--build-dir DIR | --prefix PREFIX) --xwin EXE" >&2
    exit 2
fi

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
die() {
    echo "FAIL: $*" >&2
    exit 1
}
pass() { echo "ok: $*"; }

for tool in xdotool sox identify desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || die "$tool is missing (./setup.sh package installs it)"
done
[ -x "$xwin" ] || die "xwin helper '$xwin' is not an executable"

work=$(mktemp -d "${TMPDIR:-/tmp}/brasko-install-check.XXXXXX")
player_pid=""
cleanup() {
    if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then
        kill "$player_pid" 2>/dev/null || true
        wait "$player_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# --- Install ---------------------------------------------------------------------------------
if [ -n "$build_dir" ]; then
    prefix="$work/prefix"
    if ! cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1; then
        cat "$work/install.log" >&2
        die "cmake --install $build_dir --prefix $prefix failed"
    fi
    pass "cmake --install to $prefix"
fi
prefix=$(cd "$prefix" && pwd)
data="$prefix/share/brasko"
desktop="$prefix/share/applications/$APP_ID.desktop"
metainfo="$prefix/share/metainfo/$APP_ID.metainfo.xml"

# --- Layout ----------------------------------------------------------------------------------
same_file() { # installed copy, original
    if [ ! -f "$1" ]; then
        fail "$1 is missing"
    elif ! cmp -s "$1" "$2"; then
        fail "$1 differs from $2"
    elif [ "$(stat -c %a "$1")" != 644 ]; then
        fail "$1 has mode $(stat -c %a "$1"), not 644"
    else
        pass "$1"
    fi
}

# The command (a launcher script) and the program it runs.
for f in "$prefix/bin/brasko" "$prefix/lib/brasko/brasko"; do
    if [ -f "$f" ] && [ "$(stat -c %a "$f")" = 755 ]; then pass "$f"; else fail "$f is missing or not mode 755"; fi
done
same_file "$data/granite.mp3" "$source_dir/granite.mp3"
ressource_count=0
for original in "$source_dir"/ressources/*; do
    same_file "$data/ressources/$(basename "$original")" "$original"
    ressource_count=$((ressource_count + 1))
done
[ "$ressource_count" -ge 5 ] || fail "only $ressource_count files in $source_dir/ressources"
for size in "${ICON_SIZES[@]}"; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/brasko.png"
    same_file "$icon" "$source_dir/desktop/icons/hicolor/${size}x${size}/apps/brasko.png"
    if [ -f "$icon" ]; then
        got=$(identify -format '%m %wx%h' "$icon" 2>&1 || true)
        [ "$got" = "PNG ${size}x${size}" ] || fail "$icon is '$got', not a ${size}x${size} PNG"
    fi
done
for f in "$desktop" "$metainfo" "$prefix/share/man/man1/brasko.1.gz" \
    "$prefix/share/doc/brasko/copyright" "$prefix/share/doc/brasko/changelog.gz"; do
    if [ -f "$f" ] && [ "$(stat -c %a "$f")" = 644 ]; then pass "$f"; else fail "$f is missing or not mode 644"; fi
done
gzip -t "$prefix/share/man/man1/brasko.1.gz" 2>/dev/null || fail "the manual page is not valid gzip"
gzip -t "$prefix/share/doc/brasko/changelog.gz" 2>/dev/null || fail "the changelog is not valid gzip"
[ "$failures" -eq 0 ] || die "$failures problems with the installed files"

# --- Validation ------------------------------------------------------------------------------
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate"
else
    fail "desktop-file-validate $desktop:"$'\n'"$out"
fi
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
    pass "appstreamcli validate"
else
    fail "appstreamcli validate --no-net $metainfo:"$'\n'"$out"
fi
grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $APP_ID.desktop"

entry_value() { # key: prints the value of the key in the [Desktop Entry] group
    awk -v key="$1" '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }
    ' "$desktop"
}
exec_line=$(entry_value Exec)
[ "$(entry_value Icon)" = brasko ] || fail "Icon= is not brasko"
[ "$(entry_value Categories)" = "AudioVideo;Audio;Player;" ] || fail "Categories= is '$(entry_value Categories)'"

# Exec= is one program, maybe quoted, given the file opened after --.
[[ "$exec_line" == *" -- %f" ]] || fail "Exec=$exec_line does not end in ' -- %f'"
program=${exec_line% -- %f}
if [[ "$program" == \"*\" ]]; then
    program=${program:1:${#program}-2}
fi
for type in audio/mpeg audio/ogg audio/flac audio/x-wav; do
    [[ ";$(entry_value MimeType)" == *";$type;"* ]] || fail "MimeType= lacks $type"
done
case "$program" in
/*) ;;
*) program=$(command -v "$program" || true) ;;
esac
[ "$program" = "$prefix/bin/brasko" ] || fail "Exec=$exec_line does not start $prefix/bin/brasko"
[ "$failures" -eq 0 ] || die "$failures problems with the desktop entry or the metainfo"

# --- Start it with a song and listen ---------------------------------------------------------
if [ -z "${DISPLAY:-}" ]; then
    . "$source_dir/tools/xvfb.sh"
    start_private_xvfb
    trap cleanup EXIT # start_private_xvfb set its own; cleanup stops that Xvfb too
fi

# The song is two tones, 330 Hz for 2 s and then 990 Hz: heard from its start, the first
# sound is the lower one.
caller="$work/caller folder"
song="-é song.wav"
mkdir -p "$caller"
sox -n -r 44100 -c 2 -b 16 "$work/low.wav" synth 2 sine 330 vol 0.5
sox -n -r 44100 -c 2 -b 16 "$work/high.wav" synth 4 sine 990 vol 0.5
sox "$work/low.wav" "$work/high.wav" "$caller/$song"
capture="$work/capture.wav"
. "$source_dir/tools/openal.sh"
write_wave_conf "$work/openal.conf" "$capture"

# Time is counted in hundredths of a second since the program was started.
start_cs=$(($(date +%s%N) / 10000000))
elapsed_cs() { echo $(($(date +%s%N) / 10000000 - start_cs)); }
now() { awk -v t="$(elapsed_cs)" 'BEGIN { printf "%.2f", t / 100 }'; } # as seconds
deadline_passed() { [ "$(elapsed_cs)" -ge $(($1 * 100)) ]; }           # seconds
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
# sox's rough frequency of the second from the first sound on; empty if sox cannot tell.
rough() { sox -V1 "$1" -n silence 1 0.01 2% trim 0 1 stat 2>&1 | awk '/^Rough +frequency:/ { print $3 }'; }
louder_than() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a != "" && a + 0 > b + 0) }'; }
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a != "" && a + 0 <= b + 0) }'; }

(
    cd "$caller"
    export ALSOFT_CONF="$work/openal.conf" BRASKO_OUTPUT=openal
    unset ALSOFT_DRIVERS
    exec "$program" -- "$song" </dev/null >"$work/player.log" 2>&1
) &
player_pid=$!
echo "started $program -- '$song' in '$caller' as pid $player_pid"

show_log() { echo "--- program output:" >&2; cat "$work/player.log" >&2 || true; }

window=$("$xwin" find "$player_pid" 20 || true)
if [ -z "$window" ]; then
    show_log
    die "no visible window of pid $player_pid within 20 s"
fi
title=$(xdotool getwindowname "$window")
[ "$title" = "Brasko :: Velmar" ] || fail "the window is titled '$title'"
pass "window $window '$title' at $(now) s"
class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
[ "$class" = "$(entry_value StartupWMClass)" ] ||
    fail "StartupWMClass=$(entry_value StartupWMClass) does not match the window's class '$class'"

# Its pictures are there: away from the title and the buttons the window is the background,
# and the Play button is drawn over it.
region_error() { # WxH+X+Y: mean difference between the window and the background there (0..1)
    xwd -silent -id "$window" | convert xwd:- -crop "$1" +repage "$work/shown.png"
    convert "$data/ressources/bg.png" -alpha off -crop "$1" +repage "$work/background.png"
    compare -metric MAE "$work/shown.png" "$work/background.png" null: 2>&1 | sed -n 's/.*(\(.*\))/\1/p'
}
until at_most "$(region_error 140x50+150+40)" 0.01 && louder_than "$(region_error 28x28+2+100)" 0.05; do
    deadline_passed 30 && { show_log; die "the window does not show its pictures"; }
    sleep 0.1
done
pass "the window shows its background and buttons at $(now) s"

# The song plays at once: the first second of sound in the capture is its start.
frequency=""
until [ -n "$frequency" ]; do
    kill -0 "$player_pid" 2>/dev/null || { show_log; die "the program ended before the song was heard"; }
    deadline_passed 40 && { show_log; die "no song in the capture within 40 s"; }
    [ "$(size_of "$capture")" -gt $((3 * BYTES_PER_SECOND)) ] && frequency=$(rough "$capture")
    [ -n "$frequency" ] || sleep 0.2
done
if at_most "$frequency" $((($(rough "$work/low.wav") + $(rough "$work/high.wav")) / 2)); then
    pass "heard '$song' from its start at $(now) s"
else
    fail "the first sound of '$song' is not its start's 330 Hz but $frequency (sox's rough measure)"
fi

# Close it as a window manager would and wait for it to end by itself.
"$xwin" close "$window" || fail "xwin close $window failed"
while kill -0 "$player_pid" 2>/dev/null; do
    if deadline_passed 60; then
        show_log
        die "the program did not end after being asked to close"
    fi
    sleep 0.1
done
status=0
wait "$player_pid" || status=$?
player_pid=""
if [ "$status" -eq 0 ]; then pass "closed cleanly at $(now) s"; else show_log; fail "the program ended with status $status"; fi

# The program closed its audio device, so the wave header is complete now.
info=$(sox --i "$capture" 2>&1 || true)
if ! grep -q '^Channels *: 2$' <<<"$info" || ! grep -q '^Sample Rate *: 44100$' <<<"$info"; then
    fail "the capture is not 44100 Hz stereo:"$'\n'"$info"
fi
if sox "$capture" -n stat 2>&1 | grep -qi 'premature\|warn\|fail'; then
    fail "sox complains about the finished capture"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures checks failed" >&2
    exit 1
fi
echo "install check passed ($prefix)"
