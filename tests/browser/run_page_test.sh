#!/usr/bin/env bash
# The web grouper's page in a real Chromium: builds the sample release,
# starts `drg serve` on a free loopback port, installs playwright-core from
# this folder's lock file into the build tree and runs page_test.mjs, which
# leaves a screenshot of the page with a result in the build tree.
# Usage: run_page_test.sh DRG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail
drg=$1 source_dir=$2 build_dir=$3
work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then kill -TERM "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

command -v node >/dev/null || { echo "node is not installed"; exit 1; }
[ -x /usr/bin/chromium ] || { echo "/usr/bin/chromium is not installed (.ci/install-deps installs it)"; exit 1; }

runner="$build_dir/browser-test"
mkdir -p "$runner"
cp "$source_dir/tests/browser/package.json" "$source_dir/tests/browser/package-lock.json" \
   "$source_dir/tests/browser/page_test.mjs" "$runner/"
# Installs again only when the lock file changed since the last install.
if ! cmp -s "$runner/package-lock.json" "$runner/node_modules/.installed-lock.json"; then
  (cd "$runner" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$runner/package-lock.json" "$runner/node_modules/.installed-lock.json"
fi

"$drg" tables build "$source_dir/data/sample-release" "$work/sample-release" >/dev/null
"$drg" serve --tables "$work/sample-release" --port 0 --threads 4 >"$work/serve.out" 2>&1 &
server=$!
port=""
for _ in $(seq 100); do
  port=$(grep -o '127\.0\.0\.1:[0-9][0-9]*' "$work/serve.out" | head -1 | cut -d: -f2 || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "drg serve did not start:"; cat "$work/serve.out"; exit 1; }

node "$runner/page_test.mjs" "http://127.0.0.1:$port/" "$build_dir/serve-page.png" "$work/profile"

kill -TERM "$server"
status=0
wait "$server" || status=$?
server=""
[ "$status" -eq 0 ] || { echo "drg serve ended with status $status after SIGTERM"; cat "$work/serve.out"; exit 1; }
