#!/usr/bin/env bash
# Starts the local stand-in for the literature service (tests/fixtures/site on a free port of
# 127.0.0.1) and the program pointed at it, so that the whole road can be walked by hand. The
# site's home page has a search form for each service profile:
#   CiNii Research (the default profile): any keyword gives three result pages of 41 hits, asked
#   for by number (&page=2, &page=3); five entries with a full text, one of them a landing page;
#   the old pages (profile "CiNii Articles（旧版页面）", chosen in 工具 → 设置): three result
#   pages by their next link, five open-access entries;
#   there the keyword "nothing" finds no hits and "busy" is refused with HTTP 429 (the status
#   bar says so; a batch stops there);
#   in both, the batch keyword "marsh" gives a page of two more, and the full text of
#   "Page two / second article" answers a login page, as a closed article does, until you log in
#   at the site's /login.html with account and password "demo" (the download window's "网页登录").
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
