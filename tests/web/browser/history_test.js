// The history pages in a real browser (the system's chromium, headless, driven by playwright-core):
// orlex_web keeps the history of the simulated server's match from its log and records it. A player
// is searched, their page opened, then a match of theirs; the link of one of its kills opens the
// dashboard on the recording's replay a few seconds before the kill, playing, and the kill then
// comes into the replay's kill feed.
// node history_test.js --web PATH --simhost PATH
"use strict";

const { CHROMIUM, WAIT, argument, cannotRun, freePort, getJson, until, start, stop } = require("./support");
const fs = require("fs");
const os = require("os");
const path = require("path");

const LEAD_MS = 5000;  // how far before the kill the link opens the replay

function assert(condition, what) {
  if (!condition) throw new Error(what);
}

// A kill the history holds with its recording, late enough in it for the whole lead before it.
async function recordedKill(port) {
  return until("a recorded kill in the history", async () => {
    const { matches } = await getJson(port, "/api/history/matches?server=sim");
    for (const { id } of matches) {
      const { match } = await getJson(port, `/api/history/matches/${id}`);
      const kill = match.recording && match.kills.find((k) => k.offset_ms >= LEAD_MS + 1000 && k.killer !== k.victim);
      if (kill) return { match, kill };
    }
    return null;
  }, 60000);
}

async function main() {
  if (!fs.existsSync(CHROMIUM)) cannotRun(`${CHROMIUM} is not installed (scripts/install-deps.sh web installs it)`);
  let chromium;
  try {
    ({ chromium } = require("playwright-core"));
  } catch (error) {
    cannotRun("playwright-core is not installed (scripts/install-deps.sh web runs npm ci in tests/web/browser)");
  }
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "orlex-history-browser-"));
  const pluginPort = await freePort(), webPort = await freePort(), logPort = await freePort();
  const gamePort = await freePort();
  const simhost = start(argument("--simhost"),
    ["--game", "cstrike", "--bots", "10", "--fps", "50", "--quiet", "--speed", "4", "--hostport", String(gamePort),
     "--set", `orlex_mm_port=${pluginPort}`, "--exec", `logaddress_add 127.0.0.1 ${logPort}`]);
  const gateway = start(argument("--web"),
    ["--server", `sim=127.0.0.1:${pluginPort}`, "--listen", `127.0.0.1:${webPort}`,
     "--log-listen", `127.0.0.1:${logPort}`, "--history", path.join(folder, "history.sqlite"),
     "--record", path.join(folder, "recordings")]);
  let browser;
  try {
    await until("the gateway to listen", () => gateway.output.includes("dashboard at"));
    const { match, kill } = await recordedKill(webPort);
    browser = await chromium.launch({
      executablePath: CHROMIUM,
      args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
             "--disable-component-update", "--disable-sync"],
    });
    const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
    page.on("pageerror", (error) => { throw error; });

    // The players page: the killer searched by name.
    await page.goto(`http://127.0.0.1:${webPort}/history.html`);
    await page.fill("#search-text", kill.killer);
    await Promise.all([page.waitForNavigation(), page.click("#player-search button[type=submit]")]);
    const playerLink = page.locator(`#history-body a[href="/history.html?player=${kill.killer_key}"]`);
    await playerLink.first().waitFor({ timeout: WAIT });
    await Promise.all([page.waitForNavigation(), playerLink.first().click()]);

    // Their page: named, with the match among their recent ones.
    await until("the player's page", () => page.evaluate(() => document.getElementById("history-title").textContent));
    assert(await page.textContent("#history-title") === kill.killer, "the player's page is titled by their name");
    const matchLink = page.locator(`#history-body a[href="/history.html?match=${match.id}"]`);
    await matchLink.first().waitFor({ timeout: WAIT });
    await Promise.all([page.waitForNavigation(), matchLink.first().click()]);

    // The match page: the kill's time links the replay, the lead before it.
    const href = "/?" + new URLSearchParams({ replay: match.recording.file, at: kill.at_ms - LEAD_MS }).toString();
    const killLink = page.locator(`#history-body a.replay-link[href="${href}"]`);
    await killLink.first().waitFor({ timeout: WAIT });
    assert((await killLink.first().textContent()).includes(`${Math.round(kill.offset_ms / 1000)} s in the recording`),
           "the link says where the kill is in the recording");
    await Promise.all([page.waitForNavigation(), killLink.first().click()]);

    // The dashboard: the recording's replay, a few seconds before the kill, playing.
    const served = match.recording.file.replace(/\.orlexrec$/, "");
    const opened = await until("the replay on the dashboard", () => page.evaluate((name) =>
      page.state && page.state.name === name && page.state.replay ? page.state.replay : null, served));
    assert(opened.playing, "the replay plays from the link");
    const before = opened.position_ms - kill.offset_ms;
    assert(before >= -LEAD_MS - 3000 && before <= 1000,
           `the replay at ${opened.position_ms} ms, the kill at ${kill.offset_ms} ms in the recording`);
    assert(await page.evaluate(() => location.hash) === "#" + served, "the address names the replay");
    // ...and so does its bar: the recorded moment's UTC time, just before the kill's.
    const barTime = await page.textContent("#replay-time");
    const shown = /\((\d{4}-\d\d-\d\d) (\d\d:\d\d:\d\d) UTC\)/.exec(barTime);
    assert(shown, `the replay bar's time: ${barTime}`);
    const barBefore = Date.parse(`${shown[1]}T${shown[2]}Z`) - kill.at_ms;
    assert(barBefore >= -LEAD_MS - 4000 && barBefore <= 2000, `the replay bar at ${barTime}, the kill at ` +
           new Date(kill.at_ms).toISOString());

    // Played on, the kill comes into the replay's kill feed.
    const wanted = `${kill.killer}|${kill.victim}|${kill.weapon}`;
    const killsNow = async () => (await page.evaluate(() => (page.state.log ? page.state.log.events : [])
      .filter((e) => e.kind === "kill").map((k) => `${k.killer.name}|${k.victim.name}|${k.weapon}`)))
      .filter((k) => k === wanted).length;
    const atOpen = await killsNow();
    await until("the kill in the replay's kill feed", async () => {
      const replay = await page.evaluate(() => page.state.replay);
      const seen = await killsNow();
      return replay.position_ms >= kill.offset_ms && seen > atOpen ? seen : null;
    }, LEAD_MS + 15000);
    const feed = await page.textContent("#killfeed");
    assert(feed.includes(kill.killer) && feed.includes(kill.victim), "the kill feed shows the killer and the victim");
    console.log(`history test passed: ${kill.killer} killed ${kill.victim} ${Math.round(kill.offset_ms / 1000)} s ` +
                `into ${match.recording.file}; the replay opened at ${opened.position_ms} ms`);
  } finally {
    if (browser) await browser.close();
    await stop(gateway);
    simhost.stdin.end("quit\n");
    await stop(simhost);
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

main().catch((error) => { console.error(`history test FAILED: ${error.stack || error}`); process.exit(1); });
