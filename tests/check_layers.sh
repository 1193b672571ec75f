#!/usr/bin/env bash
# Includes run one way: each folder may include only itself and the folders
# on the floors below it. Prints every include that reaches up and fails.
root=$(cd "$(dirname "$0")/.." && pwd)
declare -A allowed=(
  [platform]="platform"
  [noise]="noise platform"
  [music]="music platform"
  [assets]="assets music noise platform"
  [effects]="effects assets music noise platform"
  [shell]="shell effects assets music noise platform"
)
status=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file number line; do
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
    [[ " ${allowed[$folder]} " == *" $target "* ]] && continue
    echo "${file#"$root"/}:$number: $folder includes $target"
    status=1
  done < <(grep -rn '#include "[^"]*/' "$root/$folder" --include='*.cpp' --include='*.h' --include='*.inc')
done
[[ $status -eq 0 ]] && echo "includes run one way"
exit $status
