#!/usr/bin/env bash
# Fails when a C++ source of ours differs from what clang-format makes of it
# (.clang-format is the house style). Run `tools/check-format.sh --fix` to
# reformat in place.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=(--dry-run -Werror)
if [ "${1:-}" = "--fix" ]; then
    mode=(-i)
fi

# Our own sources only: generated files live in build folders, and the fuzz
# corpora are data.
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' | grep -v '^tests/fuzz/corpus/')
clang-format --style=file "${mode[@]}" "${files[@]}"
