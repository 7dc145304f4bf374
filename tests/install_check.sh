#!/usr/bin/env bash
# Installs a build into a throw-away prefix whose path holds a space and
# checks what lands there: the program, the whole manual, the licence, the
# icon, a valid desktop entry whose Exec names the installed program, valid
# AppStream metadata, the manual pages compressed and the bash completion.
#   tests/install_check.sh <build folder> <source folder>
set -euo pipefail
build=$1
src=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zedu-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/my home/.local"
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/zedu share/doc/zedu/LICENSE share/icons/hicolor/scalable/apps/zedu.svg \
         share/applications/zedu.desktop share/metainfo/org.voradu.zedu.metainfo.xml; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/zedu" ] || fail "bin/zedu is not executable"
cmp -s "$src/LICENSE" "$prefix/share/doc/zedu/LICENSE" || fail "LICENSE differs"
while IFS= read -r f; do
    cmp -s "$src/help/$f" "$prefix/share/zedu/help/$f" || fail "manual file not installed: $f"
done < <(cd "$src/help" && find . -type f)
cmp -s "$src/packaging/zedu.bash-completion" "$prefix/share/bash-completion/completions/zedu" ||
    fail "bash completion not installed"
for page in man1/zedu.1:zedu.1 ja/man1/zedu.1:zedu.ja.1; do
    gzip -dc "$prefix/share/man/${page%%:*}.gz" | cmp -s "$src/packaging/${page#*:}" - ||
        fail "manual page not installed: share/man/${page%%:*}.gz"
done
# The Debian package's documentation belongs to the package alone.
[ ! -e "$prefix/share/doc/zedu/copyright" ] || fail "share/doc/zedu/copyright installed"

entry="$prefix/share/applications/zedu.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate"
# The path holds a space, so the Exec value is quoted.
exec_line=$(grep '^Exec=' "$entry")
[ "$exec_line" = "Exec=\"$prefix/bin/zedu\"" ] || fail "unexpected $exec_line"
appstreamcli validate --no-net "$prefix/share/metainfo/org.voradu.zedu.metainfo.xml" \
    || fail "appstreamcli validate"
echo "installed layout OK"
