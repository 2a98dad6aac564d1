#!/usr/bin/env bash
# scripts/check-release.sh RELEASE (bookworm or trixie): proves on a fresh Debian release what
# the README promises. Debootstraps RELEASE into a chroot, clones this repository's HEAD into
# it (a clean clone: nothing of this checkout's build, nothing uncommitted), and runs there, as
# root, the README's two commands, `./scripts/install-deps.sh && make demo` and
# `./scripts/install-deps.sh && make check`, then `make check-package` (after install-deps too,
# so that it runs on its own under STEPS). Each step's time and
# outcome go to standard output, its output to a log beside the chroot. Not part of CI's every
# run (it downloads and builds everything, which takes long on a small machine): run it before
# a release and write the result into the README's table of supported releases.
#
# Needs root (debootstrap, chroot, mounts) and Debian's archive as this machine's apt reaches
# it: the mirror is taken from this machine's apt sources unless DEBIAN_MIRROR names one.
# CHECK_RELEASE_DIR (default /var/tmp/velmor-release-RELEASE) holds the chroot and the logs;
# KEEP_CHROOT=1 keeps the chroot afterwards, and takes up a kept one again; STEPS (default
# "make-demo make-check check-package") runs fewer of the three, e.g. STEPS=make-demo for the
# first command alone. Exit status 0 when every step passed, 1 when one failed, 2 for unusable
# arguments.
set -euo pipefail

usage() {
    echo "usage: $0 bookworm|trixie" >&2
    exit 2
}
[ $# -eq 1 ] || usage
release=$1
case "$release" in
bookworm | trixie) ;;
*) usage ;;
esac
[ "$(id -u)" -eq 0 ] || { echo "check-release: run it as root (debootstrap, chroot, mount)" >&2; exit 2; }

source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=${CHECK_RELEASE_DIR:-/var/tmp/velmor-release-$release}
root=$work/chroot
log_dir=$work/logs

# The archive as this machine's apt reaches it: the first deb source of the main archive
# (deb822 or one-line format), not the security archive.
mirror_from_apt() {
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -e "$file" ] || continue
        awk '/^URIs:/ { print $2; exit }' "$file"
        return
    done
    awk '$1 == "deb" && $0 !~ /security/ { print ($2 ~ /^\[/ ? $3 : $2); exit }' \
        /etc/apt/sources.list 2>/dev/null
}
mirror=${DEBIAN_MIRROR:-$(mirror_from_apt)}
[ -n "$mirror" ] || { echo "check-release: no Debian mirror in this machine's apt sources; set DEBIAN_MIRROR" >&2; exit 2; }

if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap >/dev/null </dev/null
fi

mounted=()
cleanup() {
    set +e
    local index
    for ((index = ${#mounted[@]} - 1; index >= 0; index--)); do
        umount -l "${mounted[$index]}" 2>/dev/null
    done
    if [ "${KEEP_CHROOT:-0}" != 1 ] && [ -d "$root" ]; then
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

# A chroot kept by KEEP_CHROOT=1 is taken up again by a run with KEEP_CHROOT=1 (to re-run the
# steps that failed, STEPS=...): its packages and build tree stay, its clone moves to HEAD.
reuse=0
if [ -e "$root" ]; then
    if [ "${KEEP_CHROOT:-0}" = 1 ] && [ -d "$root/root/velmor/.git" ]; then
        reuse=1
    else
        echo "check-release: $root is already there; remove it first (a fresh release is the point)," \
            "or take it up again with KEEP_CHROOT=1" >&2
        exit 2
    fi
fi
mkdir -p "$root" "$log_dir"

failed=0
# step NAME COMMAND...: runs the command, prints its time and outcome, keeps its output.
step() {
    local name=$1 started status=0
    shift
    started=$(date +%s)
    echo "== check-release $release: $name"
    "$@" >"$log_dir/$name.log" 2>&1 || status=$?
    local seconds=$(($(date +%s) - started))
    if [ "$status" -eq 0 ]; then
        printf 'ok      %-16s %dm%02ds\n' "$name" $((seconds / 60)) $((seconds % 60))
    else
        printf 'FAIL    %-16s %dm%02ds (exit %d; %s)\n' "$name" $((seconds / 60)) $((seconds % 60)) \
            "$status" "$log_dir/$name.log"
        tail -20 "$log_dir/$name.log"
        failed=1
    fi
    return "$status"
}

in_chroot() {
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive /bin/bash -c "cd /root/velmor && $1"
}

if [ "$reuse" -eq 0 ]; then
    step debootstrap debootstrap --variant=minbase "$release" "$root" "$mirror"
else
    echo "== check-release $release: reusing $root (KEEP_CHROOT=1)"
fi
# What a fresh machine has that a bare chroot lacks: the kernel's file systems, a resolver, and
# no daemon started by a package's scripts (node_exporter's, prometheus').
for target in proc sys dev dev/pts; do
    mkdir -p "$root/$target"
done
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")
mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 0755 "$root/usr/sbin/policy-rc.d"

# A clean clone of HEAD, made here: the chroot has no git yet, and needs none.
if [ "$reuse" -eq 0 ]; then
    step clone git clone --quiet --no-local "$source_dir" "$root/root/velmor"
else
    step clone bash -c 'git -C "$1" fetch --quiet "$2" HEAD && git -C "$1" reset --quiet --hard FETCH_HEAD' \
        clone "$root/root/velmor" "$source_dir"
fi
commit=$(git -C "$root/root/velmor" rev-parse --short HEAD)
git -C "$root/root/velmor" log --oneline -1

steps=" ${STEPS:-make-demo make-check check-package} "
run_step() {
    local name=$1 command=$2
    case "$steps" in
    *" $name "*) step "$name" in_chroot "$command" || true ;;
    *) printf 'skipped %-16s (not in STEPS)\n' "$name" ;;
    esac
}
run_step make-demo './scripts/install-deps.sh && make demo'
run_step make-check './scripts/install-deps.sh && make check'
run_step check-package './scripts/install-deps.sh && make check-package'

if [ "$failed" -eq 0 ]; then
    echo "check-release $release: OK ($commit)"
else
    echo "check-release $release: FAILED ($commit); logs in $log_dir"
fi
exit "$failed"
