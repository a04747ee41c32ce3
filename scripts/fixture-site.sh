#!/usr/bin/env bash
# Starts the local stand-in for the literature service (tests/fixtures/site on a free port of
# 127.0.0.1) and the program pointed at it, so that the whole road can be walked by hand:
#   search any keyword on its home page: three result pages, five open-access entries;
#   the batch keyword "marsh" gives a page of two more; the full text of "Page two / second
#   article" answers a login page, as a closed article does, until you log in at the site's
#   /login.html with account and password "demo" (the download window's "网页登录" panel).
# With --site-only it only serves the site and prints its address for PAPYRANT_SERVICE_BASE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# The site is part of the test support: it needs the [test] packages and the tests built.
bash "$root/scripts/install-deps.sh" run test
[ -x "$root/build/tests/fixture_site" ] && [ -x "$root/build/src/app/papyrant" ] \
    || bash "$root/scripts/build.sh" -DPAPYRANT_BUILD_TESTS=ON

out=$(mktemp)
"$root/build/tests/fixture_site" >"$out" &
site=$!
trap 'kill $site 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
base=$(head -1 "$out")
echo "The fixture site is at $base"
echo "  PAPYRANT_SERVICE_BASE=$base"

if [ "${1:-}" = "--site-only" ]; then
    echo "Press Ctrl+C to stop it."
    wait $site
else
    PAPYRANT_SERVICE_BASE=$base "$root/build/src/app/papyrant"
fi
