#!/usr/bin/env bash
# The bash completion of packaging/zedu.bash-completion, loaded as
# bash-completion loads it and asked what a Tab offers after each command
# line of the table below, in a folder with a calendar, a text file and a
# subfolder.
#   tests/packaging/bash_completion.sh <source folder>
set -uo pipefail
src=$1
source /usr/share/bash-completion/bash_completion || { echo "FAIL: bash-completion is missing" >&2; exit 1; }
source "$src/packaging/zedu.bash-completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch Data.vad notes.txt
mkdir backup

# What Tab offers at the end of the line, sorted, as bash would ask: the
# words split at blanks and at "=" (COMP_WORDBREAKS), the last one (maybe
# empty) being completed. In the table, "_" at the end of a line stands for
# a blank typed before Tab.
offered() {
    local line=$1 word
    local -a typed=() words=()
    read -ra typed <<<"$line"
    [[ $line == *" " ]] && typed+=("")
    for word in "${typed[@]}"; do
        if [[ $word == *=* ]]; then
            words+=("${word%%=*}" "=" "${word#*=}")
        else
            words+=("$word")
        fi
    done
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMP_WORDS=("${words[@]}")
    COMP_CWORD=$((${#words[@]} - 1))
    COMPREPLY=()
    _zedu zedu "${words[COMP_CWORD]}" "${words[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//'
}

all='--calendar --entries-only --export --format --from --help --password-fd --stats --to --version'
status=0
while IFS='|' read -r line expected; do
    [ -n "$line" ] || continue
    line=${line%"${line##*[! ]}"} # the blanks that align the table
    expected=$(xargs <<<"$expected")
    expected=${expected//ALL/$all}
    [[ $line == *_ ]] && line="${line%_} "
    got=$(offered "$line")
    if [ "$got" != "$expected" ]; then
        echo "FAIL: [$line] offers [$got], expected [$expected]" >&2
        status=1
    fi
done <<'EOF_TABLE'
zedu_                                      | ALL
zedu --ex                                  | --export
zedu --export notes.txt --                 | --calendar --entries-only --format --from --help --password-fd --stats --to --version
zedu --export=notes.txt --format=json --   | --calendar --entries-only --from --help --password-fd --stats --to --version
zedu --entries-only --en                   |
zedu --format_                             | csv ics json markdown pdf text text-per-day
zedu --format t                            | text text-per-day
zedu --format=m                            | markdown
zedu --export_                             | Data.vad backup notes.txt
zedu --export=n                            | notes.txt
zedu --calendar_                           | Data.vad backup
zedu --from_                               |
zedu --password-fd_                        |
zedu --entries-only=                       |
zedu --help_                               | --calendar --entries-only --export --format --from --password-fd --stats --to --version
zedu --stats --format_                     | json text
zedu --stats --format=j                    | json
EOF_TABLE
[ $status -eq 0 ] && echo "the completion offers what each line calls for"
exit $status
