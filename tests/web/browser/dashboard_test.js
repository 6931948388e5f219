// The dashboard in a real browser: the system's chromium, headless, driven by playwright-core,
// against orlex_web watching the simulated server with the built plug-in.
// The gateway records what it watches; that recording is then replayed in the page. The servers'
// map files are where the gateway reads them: the radar draws the map under the dots.
// node dashboard_test.js --web PATH --simhost PATH --screenshot FILE
"use strict";

const { CHROMIUM, argument, cannotRun, freePort, getJson, until, gatewayProgram, start, stop, assertEqual } = require("./support");
const fs = require("fs");
const os = require("os");
const path = require("path");

async function main() {
  if (!fs.existsSync(CHROMIUM)) cannotRun(`${CHROMIUM} is not installed (scripts/install-deps.sh web installs it)`);
  let chromium;
  try {
    ({ chromium } = require("playwright-core"));
  } catch (error) {
    cannotRun("playwright-core is not installed (scripts/install-deps.sh web runs npm ci in tests/web/browser)");
  }
  const pluginPort = await freePort(), webPort = await freePort(), logPort = await freePort();
  // The second server on an address of its own: a log from a watched server's host is that server's.
  const tfcPort = await freePort(), gamePort = await freePort(), tfcGamePort = await freePort();
  const recordings = fs.mkdtempSync(path.join(os.tmpdir(), "orlex-browser-"));
  const gameDir = fs.mkdtempSync(path.join(os.tmpdir(), "orlex-browser-game-"));
  const webArgs = ["--server", `live=127.0.0.1:${pluginPort}`, "--server", `tfc=127.0.0.2:${tfcPort}`,
                   "--listen", `127.0.0.1:${webPort}`, "--record", recordings, "--log-listen", `127.0.0.1:${logPort}`,
                   "--game-dir", gameDir];
  // cs_office has no overview: its radar is the floor plan drawn from the map file.
  const simhost = start(argument("--simhost"),
    ["--game", "cstrike", "--map", "cs_office", "--bots", "8", "--fps", "50", "--quiet", "--hostport", String(gamePort),
     "--set", `orlex_mm_port=${pluginPort}`, "--exec", `logaddress_add 127.0.0.1 ${logPort}`, "--write-files", gameDir]);
  const tfc = start(argument("--simhost"),
    ["--game", "tfc", "--bots", "4", "--fps", "20", "--quiet", "--hostport", String(tfcGamePort), "--set", `orlex_mm_port=${tfcPort}`,
     "--set", "orlex_mm_ip=127.0.0.2",
     "--write-files", gameDir]);
  let gateway = start(gatewayProgram(), webArgs);
  let browser;
  try {
    // Started when it says where it listens (it may run under valgrind, many times slower).
    await until("the gateway to listen", () => gateway.output.includes("dashboard at"));
    browser = await chromium.launch({
      executablePath: CHROMIUM,
      args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
             "--disable-component-update", "--disable-sync"],
    });
    const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
    page.on("pageerror", (error) => { throw error; });
    await page.goto(`http://127.0.0.1:${webPort}/#live`);

    // The scoreboard's rows are the players, the radar has a dot per live player (same state).
    const view = await until("the players on the page", async () => {
      const seen = await page.evaluate(() => ({
        rows: [...document.querySelectorAll("#scoreboard tbody tr td:first-child")].map((cell) => cell.textContent),
        dots: Number(document.getElementById("radar").dataset.dots),
        state: page.state,
      }));
      return seen.state && seen.state.players.length >= 4 ? seen : null;
    });
    const names = view.state.players.map((p) => p.name);
    assertEqual([...view.rows].sort(), [...names].sort(), "scoreboard rows");
    assertEqual(view.dots, view.state.players.filter((p) => !p.dead).length, "radar dots");
    await theMapUnderTheRadar(page);
    // ...and they are the gateway's, as its API tells them.
    await until("the page and the API to agree", async () => {
      const api = await getJson(webPort, "/api/servers/live");
      const rows = await page.evaluate(() =>
        [...document.querySelectorAll("#scoreboard tbody tr td:first-child")].map((cell) => cell.textContent));
      return JSON.stringify(api.players.map((p) => p.name).sort()) === JSON.stringify(rows.sort());
    });

    // A console say reaches the chat within seconds.
    simhost.stdin.write("say hello from the console\n");
    await until("the console's say in the chat",
      () => page.evaluate(() => document.getElementById("chat").textContent.includes("hello from the console")), 10000);
    // ...after the time it arrived.
    const said = await page.evaluate(() => [...document.querySelectorAll("#chat li")].map((li) => li.textContent)
      .find((text) => text.includes("hello from the console")));
    if (!/^\d\d:\d\d:\d\d \[server\] /.test(said)) throw new Error(`a chat line without its time: ${said}`);
    await teamColoursByName(browser, webPort);
    // The kill feed shows the log's kills as they happen; a click rings where the victim was.
    await until("a kill in the kill feed", () => page.evaluate(() =>
      document.querySelector("#killfeed li.k-kill") !== null && document.getElementById("log-state").hidden), 20000);
    await page.click("#killfeed li.k-kill");
    await until("the victim's spot marked", () => page.evaluate(() => document.getElementById("radar").dataset.mark === "1"));
    await page.waitForTimeout(300);
    await page.screenshot({ path: argument("--screenshot") });

    // On a phone-sized screen nothing runs off the side; the scoreboard keeps its essential columns.
    await page.setViewportSize({ width: 390, height: 844 });
    const fits = await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth);
    assertEqual(fits, true, "the page fits a 390 px wide screen");
    await page.screenshot({ path: argument("--screenshot").replace(/\.png$/, "-phone.png"), fullPage: true });
    await page.setViewportSize({ width: 1200, height: 900 });

    // The gateway restarts: the page says so, then comes back by itself.
    await stop(gateway);
    await until("the page to notice", () => page.evaluate(() => document.getElementById("link").className.includes("down")));
    gateway = start(gatewayProgram(), webArgs);
    await until("the page to reconnect", () => page.evaluate(() => document.getElementById("link").className.includes("up")));
    await until("a state after the restart", () => page.evaluate(() =>
      page.state !== null && document.querySelectorAll("#scoreboard tbody tr").length > 0));
    // The restarted gateway's recording, long enough to seek in: at least 8 s and two more report
    // cycles (one every few seconds) than it had at its first state, so that whole seconds inside
    // the recording hold different states, however long the gateway took to start.
    const firstRecords = await page.evaluate(() => page.state.records);
    await page.waitForTimeout(8000);
    await until("two more report cycles in the recording", () =>
      page.evaluate((first) => page.state.records >= first + 10, firstRecords));
    await stop(gateway);
    await replayInThePage(browser, latestRecording(recordings));
    console.log(`dashboard test passed: ${names.length} players, screenshot ${argument("--screenshot")}`);
  } finally {
    if (browser) await browser.close();
    await stop(gateway);
    simhost.stdin.end("quit\n");
    tfc.stdin.end("quit\n");
    await stop(simhost);
    await stop(tfc);
    fs.rmSync(recordings, { recursive: true, force: true });
    fs.rmSync(gameDir, { recursive: true, force: true });
  }
}

// The gateway wrote a file per server and run (it was restarted once); their names sort by time.
function latestRecording(directory) {
  const files = fs.readdirSync(directory).filter((name) => name.includes("_live_")).sort();
  if (files.length === 0) throw new Error(`nothing was recorded in ${directory}`);
  return path.join(directory, files[files.length - 1]);
}

// The recording replayed in the page: pause holds the radar still, a seek shows that point's state,
// and seeking back to the same point draws the same radar again.
async function replayInThePage(browser, file) {
  const port = await freePort();
  // At half speed: the page has seconds to spare to see it playing before it reaches the end.
  const replay = start(gatewayProgram(), ["--replay", file, "--replay-speed", "0.5", "--listen", `127.0.0.1:${port}`]);
  try {
    const name = (await until("the replay in the server list", async () => {
      const { servers } = await getJson(port, "/api/servers");
      return servers.length > 0 ? servers : null;
    }))[0].name;
    const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
    page.on("pageerror", (error) => { throw error; });
    await page.goto(`http://127.0.0.1:${port}/#${name}`);
    const replayState = () => page.evaluate(() => page.state && page.state.replay);
    const radar = () => page.evaluate(() => document.getElementById("radar").toDataURL());
    const started = await until("the replay's controls", async () => {
      const shown = await page.evaluate(() => getComputedStyle(document.getElementById("replay")).display !== "none");
      const state = await replayState();
      return shown && state && state.playing && state.position_ms > 0 ? state : null;
    });
    if (started.length_ms < 4000) throw new Error(`the recording is too short to seek in: ${started.length_ms} ms`);

    await page.click("#replay-play");
    const paused = await until("the pause", async () => {
      const state = await replayState();
      return state && !state.playing ? state : null;
    });
    const stillRadar = await radar();
    await page.waitForTimeout(1500);
    assertEqual((await replayState()).position_ms, paused.position_ms, "the position while paused");
    assertEqual(await radar() === stillRadar, true, "the radar holds still while paused");

    const seekTo = async (milliseconds) => {
      const target = await page.evaluate((value) => {
        const seek = document.getElementById("replay-seek");
        seek.value = String(value);
        seek.dispatchEvent(new Event("change"));
        return Number(seek.value);  // where the bar's steps put it
      }, milliseconds);
      await until(`the seek to ${target} ms`, async () => {
        const state = await replayState();
        return state && state.position_ms === target && !state.playing;
      });
      await page.waitForTimeout(300);  // the state that followed the seek has been drawn
      return radar();
    };
    // Each whole second of the match: a gateway that was starved while recording (under valgrind, on
    // a loaded machine) received records in bursts, so two given points may hold the same state;
    // across every second of the match the radar must still move.
    const points = [];
    for (let at = 1000; at <= Math.floor(started.length_ms / 1000) * 1000 - 1000; at += 1000) points.push(at);
    const radars = [];
    for (const at of points) radars.push(await seekTo(at));
    assertEqual(new Set(radars).size > 1, true, "the radar moves with a seek across the match");
    assertEqual(await seekTo(points[0]) === radars[0], true, "seeking back to a point draws that point's radar again");

    // Play moves on from the seek point. The position moves only with a record (one cycle every few
    // seconds here) and may reach the end, where the replay stops, between two looks.
    await page.click("#replay-play");
    await until("the replay to move on after play", async () => {
      const state = await replayState();
      return state && state.position_ms > 1000 ? state : null;
    });
    await page.close();
  } finally {
    await stop(replay);
  }
}

// The canvas's colour at a point, and the map picture's pixels (the PNG the state names) as the page
// reads them: [r, g, b] at the picture's pixel x, y.
const PIXEL_HELPERS = `
  window.canvasPixel = (x, y) => [...document.getElementById("radar").getContext("2d")
    .getImageData(Math.round(x), Math.round(y), 1, 1).data];
  window.picturePixels = async (url) => {
    const image = new Image();
    image.src = url;
    await image.decode();
    const canvas = document.createElement("canvas");
    canvas.width = image.width; canvas.height = image.height;
    const g = canvas.getContext("2d");
    g.drawImage(image, 0, 0);
    const data = g.getImageData(0, 0, image.width, image.height).data;
    return (x, y) => { const at = (Math.floor(y) * image.width + Math.floor(x)) * 4; return [data[at], data[at + 1], data[at + 2]]; };
  };`;
const PLAN_BACKGROUND = [11, 14, 18];

// The floor plan under the dots: drawn, every live player on a floor pixel of it, a followed
// player's dot kept in the middle of the radar as they move; the replay bar is not shown live.
async function theMapUnderTheRadar(page) {
  await page.evaluate(PIXEL_HELPERS);
  await until("the floor plan drawn", () => page.evaluate(() => document.getElementById("radar").dataset.map === "plan"));
  const drawn = await page.evaluate(() => {
    const canvas = document.getElementById("radar"), size = canvas.width;
    let opaque = 0, looked = 0;
    for (let x = 4; x < size; x += 16) for (let y = 4; y < size; y += 16, ++looked) if (canvasPixel(x, y)[3] === 255) ++opaque;
    return opaque / looked;
  });
  if (drawn < 0.5) throw new Error(`the map picture covers ${drawn} of the radar`);
  const offFloor = await page.evaluate(async (background) => {
    const map = page.state.map, pixel = await picturePixels(map.image);
    return page.state.players.filter((p) => !p.dead).map((p) => {
      const [px, py] = MapLayer.toImage(map, p.x, p.y);
      return { name: p.name, px, py, colour: pixel(px, py) };
    }).filter((p) => p.px < 0 || p.py < 0 || p.px >= map.width || p.py >= map.height ||
                     JSON.stringify(p.colour) === JSON.stringify(background));
  }, PLAN_BACKGROUND);
  assertEqual(offFloor, [], "live players off the floor plan");

  const live = await page.evaluate(() => page.state.players.find((p) => !p.dead));
  await page.locator("#scoreboard tbody tr").filter({ has: page.getByText(live.name, { exact: true }) }).first().click();
  const centred = async () => page.evaluate((id) => {
    const size = document.getElementById("radar").width, hit = page.hits.find((h) => h.user_id === id);
    return hit ? { x: hit.x - size / 2, y: hit.y - size / 2, records: page.state.records } : null;
  }, live.user_id);
  const first = await until("the followed player", centred);
  const later = await until("the next state", async () => {
    const now = await centred();
    return now && now.records > first.records ? now : null;
  });
  for (const at of [first, later])
    if (Math.abs(at.x) > 1 || Math.abs(at.y) > 1) throw new Error(`the followed player is off centre: ${JSON.stringify(at)}`);
  const middle = await page.evaluate(() => { const size = document.getElementById("radar").width; return canvasPixel(size / 2, size / 2); });
  if (middle[3] !== 255 || JSON.stringify(middle.slice(0, 3)) === JSON.stringify(PLAN_BACKGROUND))
    throw new Error(`no dot in the middle of the radar: ${middle}`);
  await page.evaluate((id) => follow(id), live.user_id);  // unfollow: the rest sees the whole map

  const replayBar = await page.evaluate(() => getComputedStyle(document.getElementById("replay")).display);
  assertEqual(replayBar, "none", "the replay bar on a live server");
}

// In Team Fortress Classic team 0 is "Blue": its players' dots are blue, whatever its number.
async function teamColoursByName(browser, port) {
  const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  page.on("pageerror", (error) => { throw error; });
  try {
    await page.goto(`http://127.0.0.1:${port}/#tfc`);
    await page.evaluate(PIXEL_HELPERS);
    const colour = await until("a Blue player's dot apart from the others", () => page.evaluate(() => {
      if (!page.state || !page.state.server || page.state.server.game !== "tfc") return null;
      const teams = page.state.server.teams.map((t) => t.name);
      const blue = page.hits.find((hit) => hit.player && !hit.player.dead && teams[hit.player.team] === "Blue" &&
        page.hits.every((other) => other === hit || Math.hypot(other.x - hit.x, other.y - hit.y) > 14));
      return blue ? canvasPixel(blue.x, blue.y).slice(0, 3) : null;
    }));
    assertEqual(colour, [0x4f, 0x8f, 0xe0], "a Blue player's dot");
  } finally {
    await page.close();
  }
}

main().catch((error) => { console.error(`dashboard test FAILED: ${error.stack || error}`); process.exit(1); });
