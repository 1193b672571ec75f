#!/usr/bin/env bash
# Includes run one way: each folder may include only itself and the folders
# on the floors below it. The tools and the benches stand on the whole show
# (a bench may also use a tool); only tests include tests; nothing of the show
# includes a tool, a bench or a test. Prints every include that reaches up
# and fails.
root=$(cd "$(dirname "$0")/.." && pwd)
show="shell effects assets music noise platform"
declare -A allowed=(
  [platform]="platform"
  [noise]="noise platform"
  [music]="music platform"
  [assets]="assets music noise platform"
  [effects]="effects assets music noise platform"
  [shell]="$show"
  [tools]="tools $show"
  [bench]="bench tools $show"
  [tests]="tests bench tools $show"
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
