#!/usr/bin/env bash
# Installs what is missing, builds (Release) and starts the player from the repository root,
# where ressources/ and granite.mp3 live. Without a display it plays a short headless demo
# instead (tools/demo.sh), which leaves a recording and a screenshot in out/. A song given
# (./run.sh SONG) plays at once; a relative one is taken from the folder run.sh is called from.
set -euo pipefail
export BRASKO_CALLER_FOLDER="$PWD"
cd "$(dirname "$0")"
./setup.sh
# Tests on: the demo finds and closes the window with the tests' xwin tool.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBRASKO_TESTS=ON >/dev/null

if [ -n "${DISPLAY:-}" ]; then
    cmake --build build/release -j"$(nproc)" --target brasko
    exec ./build/release/brasko "$@"
fi
cmake --build build/release -j"$(nproc)" --target brasko xwin
exec tools/demo.sh build/release out
