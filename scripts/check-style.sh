#!/usr/bin/env bash
# The style checks: shellcheck over every shell script of the tree (each .sh file and any other file that
# starts with a shell's #! line), with the settings of .shellcheckrc. Needs shellcheck (scripts/deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts=()
while IFS= read -r -d '' file; do
  case $file in
    *.sh) scripts+=("$file") ;;
    *) head -n 1 "$file" 2>/dev/null | grep -Eq '^#!.*[/ ](ba)?sh( |$)' && scripts+=("$file") ;;
  esac
done < <(git ls-files -z)
shellcheck -x "${scripts[@]}"
echo "check-style: shellcheck reports nothing in ${#scripts[@]} shell scripts"
