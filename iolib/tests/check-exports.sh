#!/bin/sh
# Fails unless the dynamic symbols a shared library defines are exactly those
# listed (one name a line) in the expectation file.
# Usage: check-exports.sh <library> <expected-exports.txt>
set -eu
library=$1
expected=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nm -D --defined-only "$library" | awk 'NF == 3 { print $3 }' | sort > "$work/actual"
grep -v '^[[:space:]]*$' "$expected" | sort > "$work/expected"
if ! diff -u "$work/expected" "$work/actual"; then
    echo "exports of $library differ from $expected (- missing, + unexpected)" >&2
    exit 1
fi
echo "$(wc -l < "$work/actual") exports of $library as expected"
