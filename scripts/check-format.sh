#!/usr/bin/env bash
# Checks that every C++ source in the repository (the .cpp and .h files git knows) is formatted
# as .clang-format says: lists the files that differ and exits 1; exits 0 when none does.
# --fix formats those files in place instead.
#
# CLANG_FORMAT names the program (default: clang-format, which scripts/install-deps.sh installs:
# the release's own, 14 on Debian 12 and 19 on Debian 13). The check formats with that one
# program throughout and prints its version first. The two versions break a few constructs
# differently (a value-initialised `struct stat s{}`, a lambda in the middle of an argument
# list, a braced table of lambdas); the tree avoids them (`struct stat s = {}`, a named lambda,
# "clang-format off" around the table), so that it passes with either; run the check with
# CLANG_FORMAT=clang-format-19 (or -14) before committing such a construct.
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=${CLANG_FORMAT:-clang-format}
fix=0
if [ "${1:-}" = "--fix" ]; then
    fix=1
elif [ $# -gt 0 ]; then
    echo "usage: $0 [--fix]" >&2
    exit 2
fi

if ! command -v "$formatter" >/dev/null 2>&1; then
    echo "check-format: $formatter not found (scripts/install-deps.sh installs clang-format)" >&2
    exit 2
fi
echo "check-format: $("$formatter" --version)"

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
else
    mapfile -d '' files < <(find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) \
        -type f -print0 | sort -z)
fi

# One run over every file (clang-format goes on past a file that differs), the files named in
# its complaints collected; a failure with no complaint (a broken .clang-format, a file it
# cannot read) is no pass.
status=0
report=$(printf '%s\0' "${files[@]}" |
    xargs -0 "$formatter" --style=file --dry-run -Werror 2>&1) || status=$?
mapfile -t differ < <(printf '%s\n' "$report" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: \(error\|warning\): code should be clang-formatted.*/\1/p' |
    sort -u)
if [ $status -ne 0 ] && [ ${#differ[@]} -eq 0 ]; then
    printf '%s\n' "$report" | head -20 >&2
    echo "check-format: $formatter failed (status $status)" >&2
    exit 2
fi

if [ ${#differ[@]} -eq 0 ]; then
    echo "check-format: ${#files[@]} files, all formatted"
    exit 0
fi
if [ $fix -eq 1 ]; then
    "$formatter" --style=file -i "${differ[@]}"
    printf 'check-format: formatted %s\n' "${differ[@]}"
    exit 0
fi
printf 'check-format: differs from .clang-format: %s\n' "${differ[@]}"
echo "check-format: ${#differ[@]} of ${#files[@]} files differ; scripts/check-format.sh --fix formats them"
exit 1
