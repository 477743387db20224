#!/usr/bin/env bash
# Keeps the arrows pointing down: only app/, tests/ and tools/ may include app/ headers, and only
# app/, the */ui/ folders and the widget tests may include Qt Widgets headers (the rest runs
# without a window).
set -euo pipefail
cd "$(dirname "$0")/.."
widgets_dir=$(find /usr/include -maxdepth 3 -type d -path '*qt6/QtWidgets' | head -n1)
[ -n "$widgets_dir" ] || { echo "check_layers: Qt Widgets headers not found" >&2; exit 2; }
widgets=$(ls "$widgets_dir" | grep '^Q' | paste -sd'|')
fail=0
while IFS= read -r f; do
  case "$f" in app/* | tests/* | tools/*) ;; *)
    if grep -Hn '#include "app/' "$f"; then fail=1; fi ;;
  esac
  case "$f" in app/* | */ui/* | tests/* | tools/*) ;; *)
    if grep -HnE "#include <(QtWidgets/)?($widgets)(\.h)?>" "$f"; then fail=1; fi ;;
  esac
done < <(git ls-files '*.cpp' '*.h')
[ "$fail" -eq 0 ] || echo "check_layers: the includes above point the wrong way" >&2
exit "$fail"
