#!/usr/bin/env bash
# Runs one test executable in a throw-away home: HOME and every XDG folder
# point into a fresh temporary directory that is removed afterwards.
set -u
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zedu-test.XXXXXX")
chmod 755 "$scratch"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/cache" "$scratch/runtime" "$scratch/tmp"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache"
export XDG_RUNTIME_DIR="$scratch/runtime"
export XDG_CONFIG_DIRS="$scratch/config-dirs"
export XDG_DATA_DIRS="$scratch/data-dirs"
export TMPDIR="$scratch/tmp"
export ZEDU_TEST_SCRATCH="$scratch"
export QT_QPA_PLATFORM=offscreen
export LANG=C.UTF-8
export ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
"$@"
