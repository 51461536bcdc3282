#!/usr/bin/env bash
# Installs what building and testing Tellarix needs on Debian 12, skipping what is there.
# Run as root (or with sudo available). Idempotent.
set -euo pipefail

packages=(
    # native tree: core, unit tests, simulator, benchmarks, fuzzers
    build-essential cmake ninja-build clang libclang-rt-14-dev googletest libgtest-dev
    libgmock-dev libbenchmark-dev libmcrypt-dev
    # SHA-256 of the bills store's seals in the native tree (OpenSSL's libcrypto)
    libssl-dev
    # windows tree: MinGW-w64 with posix threads, widl and the IDL imports
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev
    # the Windows installer: wixl builds it, msibuild mends it, msiinfo reads it
    wixl msitools
    # running and looking at Windows code
    wine wine64 xvfb x11-utils ghostscript imagemagick
    # reading back the bills written as PDF (pdftotext)
    poppler-utils
    # misc tools the scripts use
    procps psmisc util-linux coreutils rsync python3 openssl locales
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

# npm fetches the pinned SQLite amalgamation; a machine may already have its own Node.js.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)

if [ ${#missing[@]} -gt 0 ]; then
    echo "deps: installing ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
    echo "deps: all packages present"
fi

# A locale with a decimal comma, so the tests can prove costs never pick up the user's comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "deps: generating de_DE.UTF-8"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
