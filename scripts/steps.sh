# Sourced by the check scripts: `step NAME COMMAND...` runs a step and
# notes its time; at the exit the times are printed, and whether it failed.
# shellcheck shell=bash
times=()
report() {
  local status=$?
  echo
  echo "${0##*/}: time of each step"
  for t in "${times[@]}"; do echo "  $t"; done
  echo "  total $((SECONDS / 60)) min $((SECONDS % 60)) s$( ((status)) && echo ', FAILED')"
}
trap report EXIT
step() {
  local name=$1 start=$SECONDS
  shift
  echo "${0##*/}: $name"
  "$@"
  times+=("$(printf '%-34s %4d s' "$name" $((SECONDS - start)))")
}
