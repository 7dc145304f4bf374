#!/usr/bin/env bash
# The manual pages and the bash completion against the program itself: each
# names exactly the options `zedu --help' names, the completion offers the
# formats the usage lists, and man finds nothing to warn about in either
# page, in English or in Japanese.
#   tests/packaging/command_line_docs.sh <program> <source folder>
set -euo pipefail
program=$1
src=$2
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

usage=$("$program" --help)
sorted() { tr ' ' '\n' | sed '/^$/d' | sort -u | tr '\n' ' '; }
help_options=$(grep -o -- '--[a-z][a-z-]*' <<<"$usage" | sorted)
[ -n "$help_options" ] || fail "zedu --help names no option"
help_formats=$(grep -- '--format ' <<<"$usage" | head -1 | sed 's/.*--format [^ ]* *//' |
               grep -o '[a-z][a-z-]*' | sorted)
[ -n "$help_formats" ] || fail "zedu --help lists no format"

# A page's options: those of its synopsis, and those its option list
# describes (a .TP paragraph whose tag is an option).
page_options() {
    local page=$1 section=$2
    case $section in
    synopsis) awk '/^\.SH/ { on = /SYNOPSIS|書式/; next } on' "$page" ;;
    list) awk 'prev ~ /^\.TP/ && /^\.BI? \\-\\-/ { print $2 } { prev = $0 }' "$page" ;;
    esac | grep -o -- '\\-\\-[a-z\\-]*' | sed 's/\\-/-/g' | sorted
}

for page in zedu.1 zedu.ja.1; do
    for section in synopsis list; do
        got=$(page_options "$src/packaging/$page" "$section")
        [ "$got" = "$help_options" ] ||
            fail "packaging/$page ($section) names [$got], zedu --help [$help_options]"
    done
    # Rendered as man would on a terminal; groff's warnings (a line it
    # cannot break, an unknown character) go to standard error. On a narrow
    # one, paths longer than the line are warned about, but groff's Japanese
    # line breaking loops for ever on a run of characters it may not break
    # that is wider than the line.
    for width in 80 60 30; do
        rendered=0
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=$width timeout 30 man --warnings -l "$src/packaging/$page" 2>&1 >/dev/null) ||
            rendered=$?
        case $rendered,$width in
        124,*) fail "man did not finish packaging/$page at width $width" ;;
        0,30) ;;
        0,*) [ -z "$warnings" ] || fail "man warns about packaging/$page at width $width: $warnings" ;;
        *) fail "man failed on packaging/$page at width $width: $warnings" ;;
        esac
    done
done

completion_options=$(bash -c 'source "$1"; while read -r option kind; do echo "$option"; done <<<"$_zedu_options"' \
                     _ "$src/packaging/zedu.bash-completion" | sorted)
[ "$completion_options" = "$help_options" ] ||
    fail "the completion offers [$completion_options], zedu --help names [$help_options]"
completion_formats=$(bash -c 'source "$1"; echo "$_zedu_formats"' _ "$src/packaging/zedu.bash-completion" | sorted)
[ "$completion_formats" = "$help_formats" ] ||
    fail "the completion's formats are [$completion_formats], zedu --help lists [$help_formats]"

[ $status -eq 0 ] && echo "the manual pages and the completion name the options of zedu --help"
exit $status
