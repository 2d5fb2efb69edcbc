#!/usr/bin/env bash
# Lints the project's own code (app/, panel/, playback/, session/, sound/): clang-tidy with the checks
# in .clang-tidy and the compile flags of BUILD_DIR/compile_commands.json (default
# build/debug, which must be configured), then cppcheck. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/debug}
if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint: no $build/compile_commands.json; configure $build first" >&2
    exit 2
fi
sources=(app/*.cpp panel/*.cpp playback/*.cpp session/*.cpp sound/*.cpp)

status=0
printf '%s\n' "${sources[@]}" |
    xargs -P"$(nproc)" -n1 clang-tidy -p "$build" --quiet \
        --header-filter="^$root/(app|panel|playback|session|sound)/" 2>&1 |
    { grep -v -e ' warnings\? generated\.$' -e '^Suppressed [0-9]* warnings' \
              -e 'Use -header-filter' -e 'Use -system-headers' || true; } || status=1

# Without the system headers, as cppcheck advises: it knows the standard library itself.
cppcheck --enable=warning,performance,portability --error-exitcode=1 --inline-suppr \
    --std=c++17 --language=c++ --quiet -I . -I sound app panel playback session sound || status=1

if [ $status -eq 0 ]; then
    echo "lint: clang-tidy and cppcheck found nothing in ${#sources[@]} files"
fi
exit $status
