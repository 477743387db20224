#!/usr/bin/env bash
# Checks (or with --fix, applies) the repository's C++ formatting.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--fix" ]; then
  git ls-files '*.cpp' '*.h' | xargs clang-format -i
else
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
fi
