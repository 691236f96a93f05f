#!/usr/bin/env bash
# Checks that every C++ file git tracks is formatted as .clang-format says, with clang-format 14 (Debian 12's;
# other versions format some constructs differently). Changes nothing: prints the files that differ and exits 1.
# Usage: scripts/check-format.sh [FILE...]   (default: every tracked *.cpp and *.h)
# Reformat with: clang-format-14 -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || true)
if [ -z "$format" ]; then
  echo "check-format: clang-format-14 not found (Debian: apt-get install clang-format-14)" >&2
  exit 2
fi
[ -f .clang-format ] || { echo "check-format: no .clang-format in $(pwd)" >&2; exit 2; }
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
fi
differ=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! "$format" --style=file --dry-run -Werror "$f" >/dev/null 2>&1; then differ+=("$f"); fi
done
if [ ${#differ[@]} -gt 0 ]; then
  echo "check-format: ${#differ[@]} of ${#files[@]} files differ from .clang-format:" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as .clang-format wants them"
