#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user would meet it:
#   1. configures a Release build in build/deb with Debian's hardening flags, builds it
#   2. packs it with `cpack -G DEB`, checks the package with lintian (errors fail)
#   3. installs it with apt-get, then runs tests/install/install_check.sh against /usr:
#      the installed files, the validators, and the player started from its menu entry
#      playing the song
#   4. purges it and checks that nothing of it is left
# Needs root (or sudo) for apt-get. Installs what is missing through ./setup.sh package.
# Usage: tools/deb_check.sh [BUILD_DIR]   (default build/deb)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/deb}
case "$build" in /*) ;; *) build="$root/$build" ;; esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
step() { echo "=== $*"; }
die() {
    echo "deb_check: $*" >&2
    exit 1
}

./setup.sh package

installed_by_us=""
cleanup() {
    if [ -n "$installed_by_us" ] && dpkg-query -W brasko >/dev/null 2>&1; then
        echo "deb_check: purging the package after a failure" >&2
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq brasko >/dev/null || true
    fi
}
trap cleanup EXIT

status_of_brasko() { dpkg-query -W -f='${db:Status-Status}' brasko 2>/dev/null || true; }
case "$(status_of_brasko)" in
"" | not-installed) ;;
*)
    step "purging the brasko package that is already installed"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq brasko >/dev/null
    ;;
esac

step "building in $build"
# Debian's default compiler and linker flags: hardening, and file names relative to the tree.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS ${CPPFLAGS:-}"
# The tests stay configured for the xwin helper, but only what the package and the
# check need is built: cpack must not build everything first.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DBRASKO_TESTS=ON -DBRASKO_SANITIZE=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j2 --target brasko brasko_install_files xwin

step "packing"
rm -f "$build"/brasko_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/brasko_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then die "cpack made no single brasko_*.deb in $build"; fi
deb=${debs[0]}
echo "$(basename "$deb"): $(du -h "$deb" | cut -f1)"
dpkg-deb --field "$deb" Package Version Architecture Section Depends Installed-Size

step "lintian"
# Errors fail the check; warnings and notes are shown.
lintian --fail-on error --display-info "$deb" || die "lintian reports errors"

step "installing with apt-get"
(cd "$(dirname "$deb")" && $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$(basename "$deb")" >/dev/null)
installed_by_us=yes
[ "$(status_of_brasko)" = installed ] || die "brasko is not installed"

step "checking the installed package"
bash tests/install/install_check.sh --prefix /usr --xwin "$build/tests/xwin"

step "purging"
files=$(dpkg-query -L brasko | grep -v '^/\.$')
$sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq brasko >/dev/null
installed_by_us=""
case "$(status_of_brasko)" in
"" | not-installed) ;;
*) die "dpkg still knows brasko after the purge: $(status_of_brasko)" ;;
esac
left=()
for path in /usr/bin/brasko /usr/lib/brasko /usr/share/brasko /usr/share/doc/brasko; do
    [ ! -e "$path" ] || left+=("$path")
done
while IFS= read -r path; do
    # Shared folders such as /usr/share/icons stay; files of the package must be gone.
    if [ -e "$path" ] && [ ! -d "$path" ]; then left+=("$path"); fi
done <<<"$files"
[ ${#left[@]} -eq 0 ] || die "left behind after the purge: ${left[*]}"
echo "deb check passed: $(basename "$deb") builds, passes lintian, installs, plays and purges cleanly"
