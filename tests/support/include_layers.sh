#!/usr/bin/env bash
# A layer's folders as stages, each including only the stages before it:
#   include_layers.sh SERVER_DIR "util model xmltv channels sources site http top"
#   include_layers.sh APP_DIR "schedule config window top probe qt"
# "top" stands for the files at the layer's root. An include that runs back
# up makes a cycle waiting to happen; this lists every one.
set -euo pipefail
dir=${1:?usage: include_layers.sh DIR "STAGE..."}
read -r -a stages <<<"${2:?usage: include_layers.sh DIR "STAGE..."}"
layer=$(basename "$dir")
rank() {
  local i
  for i in "${!stages[@]}"; do
    [[ ${stages[$i]} == "$1" ]] && { echo "$i"; return; }
  done
  echo "include_layers: no stage for $layer/$1/" >&2
  echo 99
}
bad=0
while IFS= read -r -d '' file; do
  rel=${file#"$dir"/}
  from=top
  [[ $rel == */* ]] && from=${rel%%/*}
  while IFS= read -r inc; do
    to=top
    [[ $inc == */* ]] && to=${inc%%/*}
    if (($(rank "$to") > $(rank "$from"))); then
      echo "$layer/$rel includes $layer/$inc: $from may not include $to"
      bad=1
    fi
  done < <(sed -n "s@^#include \"$layer/\\([^\"]*\\)\".*@\\1@p" "$file")
done < <(find "$dir" -name '*.h' -print0 -o -name '*.cpp' -print0)
((bad == 0)) && echo "include_layers: every include of $layer/ runs down its stages"
exit $bad
