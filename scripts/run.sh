#!/usr/bin/env bash
# Installs what is missing, builds Quelm and starts it (by default the show: /s).
#   scripts/run.sh [/s | /c | /p WINDOW-ID]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build"
if [ $# -eq 0 ]; then set -- /s; fi
exec "$here/build/startup/quelm" "$@"
