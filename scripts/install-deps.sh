#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need; skips what is
# already there. Every name exists on Debian 12 and Debian 13 alike: versioned packages are named
# through the release's unversioned one (libclang-rt-dev leads to clang's own runtime, 14 on
# Debian 12, 19 on Debian 13).
set -euo pipefail

PACKAGES=(
    build-essential cmake make pkg-config git ca-certificates
    qtbase5-dev fonts-dejavu-core
    libcurl4-openssl-dev
    libsqlite3-dev
    libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
    libgtest-dev libgmock-dev googletest
    libbenchmark-dev
    openssl
    clang libclang-rt-dev clang-format
    qttools5-dev-tools python3
    qttranslations5-l10n
    dpkg-dev lintian
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
