#!/usr/bin/env bash
# Installs what is missing, builds (Debug) and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
./setup.sh

cmake -S . -B build/debug -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/debug -j"$(nproc)"

. tools/xvfb.sh
start_private_xvfb
export ALSOFT_CONF="$root/tests/openal-null.conf"
unset ALSOFT_DRIVERS
ctest --test-dir build/debug --output-on-failure -j2
