#!/usr/bin/env bash
# The README's picture of the dashboard: what make run starts (scripts/run.sh: the simulated server,
# its map files, the gateway), seen by headless Chromium once the radar has its map and players.
# Usage: scripts/screenshot.sh [OUTPUT.png] (default docs/dashboard.png); the build must be made.
# Needs what the browser test needs (scripts/install-deps.sh web).
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/ports.sh
output=${1:-docs/dashboard.png}
work=$(mktemp -d)
hostport=$(pick_hostport) || { echo "screenshot: no free game port" >&2; exit 1; }
WEB_LISTEN=127.0.0.1:0 HOSTPORT=$hostport setsid scripts/run.sh --game cstrike --map cs_office --bots 10 --duration 120 \
  > "$work/run.log" 2>&1 < /dev/null &
group=$!
trap 'kill -TERM -- "-$group" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 600); do grep -q "dashboard is at" "$work/run.log" && break; sleep 0.1; done
address=$(sed -n 's|^orlex_web: the dashboard is at \(http://[^ ]*\) .*|\1|p' "$work/run.log")
[ -n "$address" ] || { echo "screenshot: the dashboard did not start:" >&2; cat "$work/run.log" >&2; exit 1; }
# The admin's view (the live one, not the public one 30 s late); the token stays off command lines.
for _ in $(seq 100); do grep -q "admin token for this run" "$work/run.log" && break; sleep 0.1; done
ORLEX_TOKEN=$(sed -n 's|^orlex_web: admin token for this run: \([0-9a-f]*\) .*|\1|p' "$work/run.log")
export ORLEX_TOKEN
NODE_PATH=tests/web/browser/node_modules node - "$address" "$output" <<'JS'
"use strict";
const { chromium } = require("playwright-core");
const [address, output] = process.argv.slice(2);
(async () => {
  const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: ["--no-sandbox", "--disable-gpu"] });
  try {
    const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
    await page.goto(`${address}?token=${process.env.ORLEX_TOKEN}#simulated`);
    const ready = () => page.evaluate(() => {
      const radar = document.getElementById("radar");
      return radar.dataset.map === "plan" && Number(radar.dataset.dots) >= 6 &&
        document.querySelector("#killfeed li") !== null;
    });
    for (let tries = 0; !(await ready()); ++tries) {
      if (tries > 180) throw new Error("the radar did not get its map, players and a kill within 90 s");
      await page.waitForTimeout(500);
    }
    await page.check("#radar-names");
    await page.waitForTimeout(500);
    await page.screenshot({ path: output });
    console.log(`screenshot: ${output}`);
  } finally {
    await browser.close();
  }
})().catch((error) => { console.error(`screenshot: ${error.stack || error}`); process.exit(1); });
JS
