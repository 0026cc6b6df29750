#!/usr/bin/env bash
# Every C++ source of the project is formatted as .clang-format says.
# Usage: check_format.sh CLANG_FORMAT SOURCE_DIR
set -euo pipefail
cd "$2"
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' -not -path './build/*')
"$1" --dry-run --Werror "${files[@]}"
echo "ok   ${#files[@]} files formatted"
