#!/usr/bin/env bash
# The one list of Debian packages that building, running and testing need,
# and the routine that installs whichever of them are missing.
# Sourced by scripts/run and scripts/test.
# One package a line, each with what it is for.

ZEDU_PACKAGES=(
    cmake ninja-build g++ clang-format
    qt6-base-dev            # Qt Widgets, SQL, print support
    qt6-svg-dev libqt6sql6-sqlite libx11-dev
    qt6-base-private-dev    # a window test queues a click through QWindowSystemInterface
    qt6-charts-dev          # the bars and lines of the 記録 window's months
    libqt6opengl6-dev       # Qt6Charts' CMake package needs Qt6OpenGL's, which Debian leaves out
    libical-dev             # iCalendar export and import
    pkgconf libsodium-dev   # encrypted calendars
    libzxcvbn-dev           # the strength of a new password, shown as it is typed
    libsqlite3-dev          # sqlite3_serialize/deserialize on the Qt connection
    libgit2-dev             # git_merge_file: the three-way merge of an entry's lines
    libicu-dev              # full case folding for the search (ß = ss), which Qt does not offer
    unicode-data            # the search tests check the folding against CaseFolding.txt
    qt6-translations-l10n   # Japanese texts of Qt's own buttons
    fonts-ipafont-gothic    # the Japanese fonts of the window and of printing
    fonts-noto-cjk          # CJK characters the IPA fonts lack (𠮷) in printed pages and PDF files
    fonts-noto-color-emoji  # tells emoji only a colour bitmap font has (which a PDF cannot hold) from those that print
    fonts-dejavu-core       # outlines of symbols and of some emoji (😀) that the Japanese fonts lack, so that they print
    libqpdf-dev             # PDF export: puts into the text layer the characters Qt's PDF writer leaves out (𠮷, 😀)
    xdg-utils
    xvfb xdotool x11-utils imagemagick desktop-file-utils util-linux
    appstream xdg-user-dirs
    poppler-utils           # the tests read PDF exports and a printed recovery key back
    bsdutils                # script: a terminal for a test to type a password on
    python3-nacl            # tools/zedu-decrypt, the decrypter written from doc/encrypted-calendar.md, run by the tests
    dpkg-dev                # scripts/package: dpkg-shlibdeps works out the package's dependencies, dpkg-buildflags its flags
    lintian                 # the package test: lintian finds no error in the Debian package
    man-db                  # the manual pages rendered by man in their test
    bash-completion         # the bash completion loaded as bash loads it in its test
    sqlite3                 # the package test makes a calendar for the installed program
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
