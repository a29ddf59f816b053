#!/usr/bin/env bash
# Fails when a C++ file is not as clang-format, with the project's .clang-format, leaves it.
#   tools/check_format.sh [SOURCE_DIR]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed (./dev.sh installs it)"; exit 1; }
mapfile -t sources < <(find src app cli tests bench -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! clang-format --dry-run --Werror "${sources[@]}" 2>"$report"; then
    # Only the diagnostics' own lines ("file:line:column: error: ..."), not the code they quote.
    grep -o '^[^: ]*\.\(h\|cpp\):[0-9]*:[0-9]*: ' "$report" | cut -d: -f1 | sort -u |
        sed 's/$/: not formatted (clang-format -i fixes it)/'
    exit 1
fi
echo "formatting: ${#sources[@]} files as clang-format leaves them"
