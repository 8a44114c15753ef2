#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: packages already present are left alone; runs as root or through sudo.
set -euo pipefail

PACKAGES=(
    build-essential cmake make pkg-config git python3 clang-format
    antlr libantlr-dev
    libpcre2-dev zlib1g-dev libboost-math-dev uuid-dev
    libhowardhinnant-date-dev tzdata
    libcli11-dev libsimdjson-dev libedit-dev
    help2man tmux
    clang libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    lua5.4 liblua5.4-dev mawk miller
    locales
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#PACKAGES[@]} packages present"
else
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq || true
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests check that numbers are read the same under a locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "install-deps: generating the de_DE.UTF-8 locale"
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "install-deps: could not generate de_DE.UTF-8 (locale tests will skip)"
fi
