#!/usr/bin/env bash
# Formats the C++ files of src/, tests/ and bench/ with .clang-format, or with --check lists the
# files that differ and fails. Further arguments name the files to look at (default: all).
#   bash scripts/format.sh --check          what the format-check target runs
#   bash scripts/format.sh src/foundation/*.cpp
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
clang_format=${CLANG_FORMAT:-$(command -v clang-format || command -v clang-format-14)}
check=0
if [ "${1:-}" = "--check" ]; then
    check=1
    shift
fi
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(find src tests bench -name '*.cpp' -o -name '*.h' | sort)
fi
if [ $check -eq 0 ]; then
    "$clang_format" -i "${files[@]}"
    exit 0
fi
failed=()
for f in "${files[@]}"; do
    "$clang_format" --dry-run --Werror "$f" >/dev/null 2>&1 || failed+=("$f")
done
if [ ${#failed[@]} -gt 0 ]; then
    printf 'not formatted: %s\n' "${failed[@]}"
    echo "${#failed[@]} of ${#files[@]} files differ from .clang-format (bash scripts/format.sh FILE... rewrites them)"
    exit 1
fi
echo "all ${#files[@]} files follow .clang-format"
