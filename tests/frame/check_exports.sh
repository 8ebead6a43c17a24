#!/usr/bin/env bash
# Compares the symbols a shared library defines for callers with a list.
#   check_exports.sh <library> <expected-list>
set -euo pipefail
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | grep -v '^$' | LC_ALL=C sort)
expected=$(LC_ALL=C sort "$2")
if [ "$actual" != "$expected" ]; then
  echo "exports of $1 differ from $2:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports as listed"
