#!/usr/bin/env bash
# The Debian package as a user gets it. scripts/package builds it; lintian
# finds no error in it, and no warning that README's installation section
# does not list with its reason. `apt-get install` puts it on this machine,
# where the installed program answers --version and exports a calendar made
# for it in a throw-away home, loading nothing from a package that the
# package does not depend on; the installed files are the ones in the
# source. `apt-get remove --purge` then leaves no file of the package behind.
#
# It installs on this machine itself, so it needs root (it is skipped
# otherwise), waits while another run of it holds the machine, and purges
# the package on every way out; a run that was killed is cleaned up by the
# next one. A zedu package that it did not install stops it untouched.
#   tests/packaging/package_check.sh <source folder>
set -euo pipefail

# Run through tests/isolate.sh: the installed program tells its version
# and exports a calendar made in the throw-away home; the dynamic loader's
# trace of the export goes to <trace>.
if [ "${1:-}" = --run-installed ]; then
    trace=$2
    version=$3
    got=$(/usr/bin/zedu --version)
    [ "$got" = "zedu $version" ] || { echo "FAIL: /usr/bin/zedu --version says \"$got\"" >&2; exit 1; }
    data="$XDG_DATA_HOME/voradu/zedu"
    mkdir -p "$data"
    sqlite3 "$data/Data.vad" <<'SQL'
CREATE TABLE Master (日付 INTEGER NOT NULL, 曜日 SMALLINT, 平日 BOOLEAN, 内容 TEXT,
                     CONSTRAINT PrimaryKey PRIMARY KEY (日付));
WITH RECURSIVE day(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM day WHERE n < 31)
INSERT INTO Master SELECT 20261200 + n, (n + 1) % 7, (n + 1) % 7 BETWEEN 1 AND 5, '' FROM day;
UPDATE Master SET 内容 = 'パッケージから書き出した予定' WHERE 日付 = 20261208;
SQL
    LD_DEBUG=libs LD_DEBUG_OUTPUT="$trace" /usr/bin/zedu --export "$HOME/diary.txt"
    grep -q 'パッケージから書き出した予定' "$HOME/diary.txt" ||
        { echo "FAIL: the export lacks the calendar's entry" >&2; exit 1; }
    exit 0
fi

src=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing the package needs root"
    exit 77
fi

status=0
fail() { echo "FAIL: $*" >&2; status=1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/zedu-package.XXXXXX")
marker=/var/tmp/zedu-package-test.installed
lock=/var/tmp/zedu-package-test.lock
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=600)

present() {
    local state
    state=$(dpkg-query -W -f='${db:Status-Status}' zedu 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != not-installed ]
}
purge() {
    "${apt[@]}" remove --purge zedu >/dev/null || dpkg --purge zedu >/dev/null
}
holding=false # the machine's lock, and with it the marker
cleanup() {
    if $holding && [ -e "$marker" ]; then
        ! present || purge || echo "FAIL: could not remove the zedu package" >&2
        rm -f "$marker"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# --- Building and lintian ---------------------------------------------------
started=$SECONDS
"$src/scripts/package" | tee "$work/package.log"
deb=$(tail -1 "$work/package.log")
[ -f "$deb" ] || { echo "FAIL: scripts/package made no package" >&2; exit 1; }
built=$SECONDS

echo "--- lintian $(basename "$deb")"
lintian --display-info "$deb" 2>/dev/null | tee "$work/lintian" || true
grep -q '^E: ' "$work/lintian" && fail "lintian reports errors"
listed=$(awk '/^### What lintian says/ { on = 1; next } /^#/ { on = 0 } on' "$src/README.md" |
         grep -o '^| `[a-z0-9-]*`' | tr -d '|` ' || true)
while read -r severity package tag rest; do
    grep -qx -- "$tag" <<<"$listed" || fail "lintian warns $tag, which README does not list"
done < <(grep '^W: ' "$work/lintian" || true)

version=$(dpkg-parsechangelog -l "$src/packaging/changelog" -S Version)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
[ "$(basename "$deb")" = "zedu_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "the package is named $(basename "$deb")"

# --- Installing -------------------------------------------------------------
# One run at a time on a machine: another one's install would be this one's.
exec 9>"$lock"
flock -w 3600 9
holding=true
if present; then
    [ -e "$marker" ] || {
        echo "FAIL: a zedu package that this test did not install is on this machine" \
             "(apt-get remove --purge zedu takes it away)" >&2
        exit 1
    }
    purge
fi
# What of the package's paths was there before it (shared folders).
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\.||; s|/$||; /^$/d' >"$work/contents"
while read -r path; do
    [ -e "$path" ] && echo "$path"
done <"$work/contents" >"$work/before" || true

touch "$marker"
"${apt[@]}" install --no-install-recommends "$deb" >/dev/null
dpkg -L zedu | sed '/^\/\.$/d' >"$work/installed"
[ "$(sort "$work/installed")" = "$(sort "$work/contents")" ] ||
    fail "dpkg -L zedu does not list what the package holds"

# --- The installed program --------------------------------------------------
"$src/tests/isolate.sh" "${BASH_SOURCE[0]}" --run-installed "$work/trace" "${version%-*}" ||
    fail "the installed program failed"
[ ! -e /usr/bin/Data.vad ] || fail "the installed program made a calendar beside itself"

# Everything the program loaded comes from a package that zedu depends on,
# directly or through others: the libraries it links and the plugins Qt
# loads (the SQLite driver, the platform).
closure=$(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
              --no-breaks --no-replaces --no-enhances zedu |
          grep -v '^ ' | sed 's/^<\(.*\)>$/\1/; s/:.*//' | sort -u)
loaded=$(sed -n 's/.*calling init: //p' "$work"/trace.* 2>/dev/null | sort -u)
[ -n "$loaded" ] || fail "no trace of what the installed program loaded"
grep -q '/libqsqlite\.so$' <<<"$loaded" || fail "the export did not load Qt's SQLite driver"
# Each object under the names dpkg may know it by (the link's target, the
# path with or without /usr), all asked of dpkg at once.
names() { local path; for path in "$1" "$(readlink -f "$1")"; do echo "$path" "${path#/usr}" "/usr$path"; done; }
declare -A owners=()
while IFS= read -r line; do
    [[ $line == diversion* ]] || owners[${line#*: }]=${line%%[:,]*}
done < <(for object in $loaded; do names "$object"; done | xargs dpkg -S 2>/dev/null || true)
for object in $loaded; do
    package=
    for name in $(names "$object"); do
        package=${owners[$name]:-}
        [ -z "$package" ] || break
    done
    if [ -z "$package" ]; then
        fail "$object belongs to no package"
    elif ! grep -qx -- "$package" <<<"$closure"; then
        fail "$object comes from $package, which zedu does not depend on"
    fi
done

# The installed files against their sources.
same() { cmp -s "$1" "$2" || fail "$2 is not $1 as in the source"; }
same "$src/packaging/copyright" /usr/share/doc/zedu/copyright
same "$src/packaging/zedu.bash-completion" /usr/share/bash-completion/completions/zedu
zcat /usr/share/doc/zedu/changelog.Debian.gz >"$work/changelog"
same "$src/packaging/changelog" "$work/changelog"
zcat /usr/share/man/man1/zedu.1.gz >"$work/zedu.1"
same "$src/packaging/zedu.1" "$work/zedu.1"
zcat /usr/share/man/ja/man1/zedu.1.gz >"$work/zedu.ja.1"
same "$src/packaging/zedu.ja.1" "$work/zedu.ja.1"
[ ! -e /usr/share/doc/zedu/LICENSE ] || fail "the licence is installed twice"
[ "$(man -w zedu)" = /usr/share/man/man1/zedu.1.gz ] || fail "man does not find zedu(1)"
[ "$(man -L ja -w zedu)" = /usr/share/man/ja/man1/zedu.1.gz ] || fail "man -L ja does not find zedu(1)"
entry=/usr/share/applications/zedu.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
[ "$(grep '^Exec=' "$entry")" = Exec=/usr/bin/zedu ] || fail "$entry: $(grep '^Exec=' "$entry")"
[ -f /usr/share/zedu/help/index.html ] || fail "the manual is not installed"

# --- Removing ---------------------------------------------------------------
purge
rm -f "$marker"
! present || fail "zedu is still known to dpkg after the purge"
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then
        grep -qxF -- "$path" "$work/before" || fail "left behind: $path"
    fi
done <"$work/installed"
! compgen -G '/var/lib/dpkg/info/zedu.*' >/dev/null || fail "dpkg keeps files of zedu"

echo "package built in $((built - started)) s, installed, checked and removed in $((SECONDS - built)) s"
[ $status -eq 0 ] && echo "the package installs, runs and goes without a trace"
exit $status
