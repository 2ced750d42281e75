#!/usr/bin/env bash
# Installs what is missing, builds, and opens the guide on its built-in default.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
if [[ ! -x $root/build/app/tvguide ]]; then
  echo "run: the window program tvguide is not built yet (the Qt backend is still missing)." >&2
  exit 1
fi
exec "$root/build/app/tvguide" "$@"
