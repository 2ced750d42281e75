#!/usr/bin/env bash
# The server's folders are stages of one pipeline, each including only the
# stages below it:
#   util < model < xmltv < channels < sources < site < http < the programs
# (the files at the top: the service, its options, main). An include that
# runs back up makes a cycle waiting to happen; this lists every one.
set -euo pipefail
server=${1:?usage: include_layers.sh SERVER_DIR}
rank() {
  case $1 in
    util) echo 0 ;; model) echo 1 ;; xmltv) echo 2 ;; channels) echo 3 ;;
    sources) echo 4 ;; site) echo 5 ;; http) echo 6 ;; top) echo 7 ;;
    *) echo "include_layers: no rank for server/$1/" >&2; echo 99 ;;
  esac
}
bad=0
while IFS= read -r -d '' file; do
  rel=${file#"$server"/}
  from=top
  [[ $rel == */* ]] && from=${rel%%/*}
  while IFS= read -r inc; do
    to=top
    [[ $inc == */* ]] && to=${inc%%/*}
    if (($(rank "$to") > $(rank "$from"))); then
      echo "server/$rel includes server/$inc: $from may not include $to"
      bad=1
    fi
  done < <(sed -n 's@^#include "server/\([^"]*\)".*@\1@p' "$file")
done < <(find "$server" -name '*.h' -print0 -o -name '*.cpp' -print0)
((bad == 0)) && echo "include_layers: every include of server/ runs down its pipeline"
exit $bad
