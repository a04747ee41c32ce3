#!/usr/bin/env bash
# Installs what building and running need (the [run] packages), builds, and starts the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
exec "$root/build/src/app/papyrant" "$@"
