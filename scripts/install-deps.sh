#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: packages already present are left alone; runs as root or through sudo.
set -euo pipefail

PACKAGES=(
    build-essential cmake make pkg-config git
    antlr libantlr-dev
    libpcre2-dev zlib1g-dev libboost-math-dev uuid-dev
    libhowardhinnant-date-dev tzdata
    libcli11-dev libsimdjson-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    lua5.4 liblua5.4-dev mawk miller
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#PACKAGES[@]} packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
