#!/usr/bin/env bash
# The style checks: the C++ sources as .clang-format has them (clang-format 14), and shellcheck over every
# shell script of the tree (each .sh file and any other file that starts with a shell's #! line), with the
# settings of .shellcheckrc. Needs clang-format-14 and shellcheck (scripts/deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

# Formatting: every file that clang-format would change is named, with the first lines it would change.
sources=()
while IFS= read -r -d '' file; do sources+=("$file"); done < <(git ls-files -z '*.cpp' '*.h')
unformatted=0
for file in "${sources[@]}"; do
  if ! clang-format-14 --dry-run --Werror "$file" 2>/dev/null; then
    unformatted=$((unformatted + 1))
    echo "check-style: $file is not formatted (clang-format-14 -i $file):"
    clang-format-14 "$file" | diff "$file" - | head -n 10
  fi
done
[ "$unformatted" -eq 0 ] || { echo "check-style: $unformatted of ${#sources[@]} C++ files are not formatted"; exit 1; }
echo "check-style: clang-format changes nothing in ${#sources[@]} C++ files"

scripts=()
while IFS= read -r -d '' file; do
  case $file in
    *.sh) scripts+=("$file") ;;
    *) head -n 1 "$file" 2>/dev/null | grep -Eq '^#!.*[/ ](ba)?sh( |$)' && scripts+=("$file") ;;
  esac
done < <(git ls-files -z)
shellcheck -x "${scripts[@]}"
echo "check-style: shellcheck reports nothing in ${#scripts[@]} shell scripts"
