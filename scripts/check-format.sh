#!/usr/bin/env bash
# Checks that the C++ files changed since BASE follow .clang-format.
# BASE defaults to the commit that brought .clang-format in, so in CI every
# file touched since the code was formatted is checked. Prints the files that
# differ and how to fix them; exits 1 if any does.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || bash scripts/install-deps.sh
base="${1:-$(git log --diff-filter=A --format=%H -- .clang-format | tail -1)}"
mapfile -t files < <(git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    echo "check-format: ${#bad[@]} file(s) do not follow .clang-format:"
    printf '  %s\n' "${bad[@]}"
    echo "fix with: clang-format -i ${bad[*]}"
    exit 1
fi
echo "check-format: ${#files[@]} changed file(s) follow .clang-format"
