#!/usr/bin/env bash
# Installs what is missing, builds the window program (and only what it
# needs), and opens the guide on its built-in default. Arguments go to tvguide.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" dev "$root/build" tvguide
exec "$root/build/app/tvguide" "$@"
