#!/usr/bin/env bash
# Installs the Debian packages of the given sections of scripts/debian-packages.txt (as root, or
# through sudo); without arguments, the [run] section. Does nothing when all are there already.
#   bash scripts/install-deps.sh run test
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sections=("$@")
[ ${#sections[@]} -eq 0 ] && sections=(run)

packages=()
for section in "${sections[@]}"; do
    grep -q "^\[$section\]" "$here/debian-packages.txt" || { echo "no section [$section]" >&2; exit 1; }
    mapfile -t -O "${#packages[@]}" packages < <(
        awk -v want="[$section]" '/^\[/ { inside = ($1 == want); next }
                                  inside && !/^[[:space:]]*(#|$)/ { print $1 }' \
            "$here/debian-packages.txt")
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
