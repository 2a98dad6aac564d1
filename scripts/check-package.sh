#!/usr/bin/env bash
# Builds the two Debian packages, installs them on this machine, runs the installed till's
# demo against the installed plug-in, upgrades to a rebuilt package (the next Debian
# revision) and checks that an edited velmor.ini survives it, then purges both and checks
# that nothing of theirs is left. Needs root (dpkg -i); refuses to touch packages that were
# installed before it started.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${PACKAGE_BUILD:-build-package}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
PACKAGES=(velmor-plugin velmor-till)

fail() {
    echo "check-package: FAIL: $*" >&2
    exit 1
}
step() {
    echo "== check-package: $*"
}

for package in "${PACKAGES[@]}"; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed'; then
        fail "$package is already installed here; purge it first (dpkg --purge $package)"
    fi
done

work=$(mktemp -d)
installed=0
cleanup() {
    if [ "$installed" -eq 1 ]; then
        $SUDO dpkg --purge "${PACKAGES[@]}" >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Two builds of the same sources: revision 1, and revision 2 for the upgrade.
for release in 1 2; do
    step "building the packages, revision $release"
    rm -f "$BUILD"/velmor-*.deb
    make --no-print-directory package PACKAGE_BUILD="$BUILD" PACKAGE_RELEASE="$release" >"$work/build-$release.log" 2>&1 ||
        { tail -40 "$work/build-$release.log"; fail "make package (revision $release)"; }
    mkdir -p "$work/$release"
    cp "$BUILD"/velmor-plugin_*-"$release"_*.deb "$BUILD"/velmor-till_*-"$release"_*.deb "$work/$release/" ||
        fail "revision $release did not give both packages"
done

step "lintian"
lintian --fail-on error "$work"/1/*.deb ||
    fail "lintian reports errors"

step "installing revision 1"
installed=1
$SUDO dpkg -i "$work"/1/*.deb >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "dpkg -i"; }
plugin=$(dpkg -L velmor-plugin | grep '/libvelmor\.so$') || fail "velmor-plugin installs no libvelmor.so"
config=$(grep '/velmor\.ini$' /var/lib/dpkg/info/velmor-plugin.conffiles) ||
    fail "velmor-plugin has no velmor.ini among its conffiles"
till=$(dpkg -L velmor-till | grep '/bin/till$') || fail "velmor-till installs no till"
[ "$(stat -c %a "$config")" = 640 ] || fail "$config has mode $(stat -c %a "$config"), not 640"
# Where the plug-in reads it: velmor/velmor.ini in the pay-systems directory, beside itself.
[ "$(readlink -f "$(dirname "$plugin")/velmor.ini")" = "$config" ] ||
    fail "$(dirname "$plugin")/velmor.ini does not lead to $config"

step "the plug-in exports its entry points only"
exported=$(nm -D --defined-only "$plugin" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exported" = "qt_plugin_instance qt_plugin_query_metadata " ] ||
    fail "$plugin exports: $exported"

step "the installed till's demo with the installed plug-in"
(cd "$work" && "$till" demo) >"$work/demo.out" 2>"$work/demo.err" || { cat "$work/demo.out" "$work/demo.err"; fail "$till demo"; }
grep -q '7 of 7 steps as expected' "$work/demo.out" || fail "the demo did not pass every step"
(cd "$work" && "$till" --lang en demo) >"$work/demo-en.out" 2>/dev/null || fail "$till --lang en demo"
grep -q '"message": "Application rejected"' "$work/demo-en.out" || fail "--lang en shows no English answer"
(cd "$work" && "$till" --config "$config" check --json) >"$work/check.out" 2>&1 || true
grep -q "\"check\": \"plug-in\", \"result\": \"ok\", \"detail\": \"$plugin: IID Velmor, version " "$work/check.out" ||
    { cat "$work/check.out"; fail "till check does not find the installed plug-in by default"; }

step "the installed cashier's screen draws a sale with the installed plug-in"
gui=$(dpkg -L velmor-till | grep '/bin/till-gui$') || fail "velmor-till installs no till-gui"
(cd "$work" && "$gui" --screenshot "$work/shots") >"$work/gui.out" 2>&1 ||
    { cat "$work/gui.out"; fail "$gui --screenshot"; }
[ -s "$work/shots/approved-en.png" ] || fail "$gui drew no approved sale"

step "upgrading to revision 2 keeps an edited velmor.ini"
echo "; edited on this till" >>"$config"
edited=$(sha256sum "$config")
$SUDO dpkg --force-confold -i "$work"/2/*.deb >"$work/upgrade.log" 2>&1 </dev/null ||
    { cat "$work/upgrade.log"; fail "dpkg -i revision 2"; }
for package in "${PACKAGES[@]}"; do
    version=$(dpkg-query -W -f='${Version}' "$package")
    [ "${version##*-}" = 2 ] || fail "$package is at $version after the upgrade"
done
[ "$(sha256sum "$config")" = "$edited" ] || fail "the upgrade replaced the edited $config"

step "purging both leaves nothing behind"
files=$(dpkg -L "${PACKAGES[@]}" | sort -u)
$SUDO dpkg --purge "${PACKAGES[@]}" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge"; }
installed=0
left=""
while IFS= read -r path; do
    [ -n "$path" ] || continue
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        # A directory of the system (/usr/bin) stays; one of ours would be empty now.
        [ -n "$(ls -A "$path")" ] || left+=" $path"
    elif [ -e "$path" ] || [ -L "$path" ]; then
        left+=" $path"
    fi
done <<<"$files"
for path in "$config" "$config".dpkg-old "$config".dpkg-dist; do
    [ ! -e "$path" ] || left+=" $path"
done
[ -z "$left" ] || fail "left after the purge:$left"

echo "check-package: OK"
