// An admin in a real browser (the system's chromium, headless, driven by playwright-core): logs in
// with a token, clicks kick on a scoreboard row, and sees the player leave the scoreboard. The
// gateway sends the kick to the simulated server's remote console, which the built plug-in reports.
// node admin_test.js --web PATH --simhost PATH
"use strict";

const { CHROMIUM, argument, cannotRun, freePort, until, gatewayProgram, start, stop, assertEqual } = require("./support");
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");

const rowNames = () => [...document.querySelectorAll("#scoreboard tbody tr td:first-child")].map((c) => c.textContent);

async function main() {
  if (!fs.existsSync(CHROMIUM)) cannotRun(`${CHROMIUM} is not installed (scripts/install-deps.sh web installs it)`);
  let chromium;
  try {
    ({ chromium } = require("playwright-core"));
  } catch (error) {
    cannotRun("playwright-core is not installed (scripts/install-deps.sh web runs npm ci in tests/web/browser)");
  }
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "orlex-admin-"));
  const token = `admin-${process.pid}-${Date.now()}`;
  // The users file as an operator makes it: the hash from --hash-token, the token on its input.
  const hash = execFileSync(argument("--web"), ["--hash-token"], { input: `${token}\n` }).toString().trim();
  fs.writeFileSync(path.join(folder, "users"), `chief admin ${hash}\n`, { mode: 0o600 });
  fs.writeFileSync(path.join(folder, "rcon_password"), "browser-rcon-pw\n", { mode: 0o600 });
  const pluginPort = await freePort(), webPort = await freePort(), gamePort = await freePort();
  fs.writeFileSync(path.join(folder, "servers"),
    `live 127.0.0.1:${pluginPort} rcon-password-file=${path.join(folder, "rcon_password")}\n`);
  const simhost = start(argument("--simhost"),
    ["--game", "cstrike", "--bots", "6", "--fps", "50", "--quiet", "--hostport", String(gamePort),
     "--set", `orlex_mm_port=${pluginPort}`, "--set", "orlex_timer_refresh=1",
     "--rcon-password-file", path.join(folder, "rcon_password")]);
  const gateway = start(gatewayProgram(),
    ["--config", path.join(folder, "servers"), "--users", path.join(folder, "users"),
     "--audit", path.join(folder, "audit"), "--listen", `127.0.0.1:${webPort}`]);
  let browser;
  try {
    await until("the gateway to listen", () => gateway.output.includes("dashboard at"));
    browser = await chromium.launch({
      executablePath: CHROMIUM,
      args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
             "--disable-component-update", "--disable-sync"],
    });
    const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
    page.on("pageerror", (error) => { throw error; });
    // The kick asks for a reason; nothing else may ask anything.
    const dialogs = [];
    page.on("dialog", (dialog) => {
      dialogs.push(dialog.message());
      if (dialog.type() === "prompt" && dialog.message().startsWith("Kick ")) dialog.accept("afk in spawn");
      else dialog.dismiss();
    });
    await page.goto(`http://127.0.0.1:${webPort}/?token=${encodeURIComponent(token)}#live`);
    await until("the page to know its admin", () =>
      page.evaluate(() => document.getElementById("view-note").textContent === "chief (admin)"));
    const names = await until("kick buttons on the scoreboard", async () => {
      const seen = await page.evaluate(rowNames);
      const buttons = await page.locator("#scoreboard td.admin button", { hasText: "kick" }).count();
      return seen.length >= 6 && buttons === seen.length ? seen : null;
    });
    await until("the server's console shown ready", () =>
      page.evaluate(() => document.getElementById("admin-rcon").textContent === "rcon: ready"));
    const victim = names[0];
    const row = page.locator("#scoreboard tbody tr", { has: page.locator("td:first-child", { hasText: victim }) });
    await row.locator("td.admin button", { hasText: "kick" }).first().click();
    await until(`${victim} to leave the scoreboard`, async () => !(await page.evaluate(rowNames)).includes(victim));
    const result = await until("the console's answer under the buttons", async () => {
      const shown = await page.evaluate(() => document.getElementById("player-result").textContent);
      return shown.endsWith("…") ? null : shown;
    });
    if (!result.startsWith(`${victim}: `) || result.includes("refused")) throw new Error(`the kick's result: ${result}`);
    assertEqual(dialogs.length, 1, "dialogs shown (the kick's reason)");
    // The audit list in the page has it.
    await until("the kick in the audit list", () => page.evaluate((name) =>
      [...document.querySelectorAll("#audit li")].some((item) => item.textContent.includes(`kick ${name}`)), victim));
    const audit = fs.readFileSync(path.join(folder, "audit"), "utf8");
    if (!audit.includes('"reason":"afk in spawn"')) throw new Error(`the audit file: ${audit}`);
    console.log(`admin test passed: ${victim} kicked from the scoreboard`);
  } finally {
    if (browser) await browser.close();
    await stop(gateway);
    simhost.stdin.end("quit\n");
    await stop(simhost);
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

main().catch((error) => { console.error(`admin test FAILED: ${error.stack || error}`); process.exit(1); });
