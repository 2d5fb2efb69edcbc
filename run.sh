#!/usr/bin/env bash
# Installs what is missing, builds (Release) and starts the player from the repository root,
# where ressources/ and granite.mp3 live.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBRASKO_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target brasko

if [ -z "${DISPLAY:-}" ]; then
    echo "No display: running the player under a private Xvfb."
    . tools/xvfb.sh
    start_private_xvfb
fi
exec_status=0
./build/release/brasko || exec_status=$?
exit $exec_status
