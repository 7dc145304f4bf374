#!/usr/bin/env bash
# The one list of Debian packages that building, running and testing need,
# and the routine that installs whichever of them are missing.
# Sourced by scripts/run and scripts/test.
# Qt's print support comes with qt6-base-dev; libical-dev writes and reads
# iCalendar; libsodium-dev encrypts calendars; poppler-utils lets the tests
# read the PDF exports and a printed recovery key back; bsdutils' script
# gives a test a terminal to type a password on. qt6-charts-dev draws the
# months of the 記録 window (bars and lines on two axes, which would
# otherwise be hand-drawn); its CMake package needs Qt6OpenGL's, which
# Debian ships in libqt6opengl6-dev without a dependency on it.

ZEDU_PACKAGES=(
    cmake ninja-build g++ clang-format
    qt6-base-dev qt6-svg-dev libqt6sql6-sqlite libx11-dev libical-dev
    qt6-base-private-dev qt6-charts-dev libqt6opengl6-dev
    pkgconf libsodium-dev libsqlite3-dev
    qt6-translations-l10n fonts-ipafont-gothic xdg-utils
    xvfb xdotool x11-utils imagemagick desktop-file-utils util-linux
    appstream xdg-user-dirs poppler-utils bsdutils
)

zedu_install_packages() {
    local missing=() pkg
    for pkg in "${ZEDU_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
