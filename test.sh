#!/usr/bin/env bash
# Installs what is missing, builds (Debug), lints the code and runs every test headless; then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test again.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
./setup.sh

cmake -S . -B build/debug -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/debug -j"$(nproc)"
tools/lint.sh build/debug

. tools/xvfb.sh
start_private_xvfb
export ALSOFT_CONF="$root/tests/openal-null.conf"
unset ALSOFT_DRIVERS
# Players play through OpenAL Soft (its null driver above) unless a test gives them a sound
# server of its own: none reaches the desktop's.
export BRASKO_OUTPUT=openal
# No player of the tests joins the desktop's session bus; the tests that need a bus start one.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/build/no-session-bus"
ctest --test-dir build/debug --output-on-failure -j2

# Any report of the sanitizers fails the run, from the tests or any process they start.
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DBRASKO_SANITIZE=ON -DBRASKO_BENCH=OFF >/dev/null
cmake --build build/asan -j"$(nproc)"
(
    . tests/sanitizers/env.sh build/asan
    status=0
    ctest --test-dir build/asan --output-on-failure -j2 || status=$?
    if sanitizer_reports; then
        echo "test.sh: the sanitizers reported the errors above" >&2
        exit 1
    fi
    exit $status
)
