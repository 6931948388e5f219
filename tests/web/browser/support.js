// What the browser tests share: their arguments, free ports, the gateway and the simulated server
// started and stopped, JSON fetched, and conditions waited on with a bound.
"use strict";

const { spawn } = require("child_process");
const http = require("http");
const net = require("net");

const CHROMIUM = "/usr/bin/chromium";
const WAIT = 30000;

function argument(name) {
  const at = process.argv.indexOf(name);
  return at > 0 ? process.argv[at + 1] : "";
}

// make test runs every test: one that cannot run here fails, saying what to install.
function cannotRun(reason) {
  console.log(`FAILED: the browser test cannot run: ${reason}`);
  process.exit(1);
}

function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, "127.0.0.1", () => { const { port } = server.address(); server.close(() => resolve(port)); });
  });
}

function getJson(port, path) {
  return new Promise((resolve, reject) => {
    http.get({ host: "127.0.0.1", port, path }, (response) => {
      let body = "";
      response.on("data", (chunk) => (body += chunk));
      response.on("end", () => { try { resolve(JSON.parse(body)); } catch (e) { reject(e); } });
    }).on("error", reject);
  });
}

async function until(what, condition, milliseconds = WAIT) {
  const deadline = Date.now() + milliseconds;
  let last;
  while (Date.now() < deadline) {
    try { last = await condition(); if (last) return last; } catch (error) { last = error; }
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
  throw new Error(`timed out waiting for ${what} (last: ${JSON.stringify(last)})`);
}

// ORLEX_WEB_PROGRAM stands in for the built gateway: scripts/test-web-valgrind.sh runs it under valgrind.
function gatewayProgram() {
  return process.env.ORLEX_WEB_PROGRAM || argument("--web");
}

function start(path, args) {
  const child = spawn(path, args, { stdio: ["pipe", "pipe", "inherit"] });
  child.output = "";
  child.stdout.on("data", (chunk) => (child.output += chunk));
  return child;
}

function stop(child) {
  return new Promise((resolve) => {
    if (!child || child.exitCode !== null || child.signalCode !== null) return resolve();
    child.on("exit", () => resolve());
    child.kill("SIGTERM");
  });
}

function assertEqual(actual, expected, what) {
  if (JSON.stringify(actual) !== JSON.stringify(expected))
    throw new Error(`${what}: ${JSON.stringify(actual)} != ${JSON.stringify(expected)}`);
}

module.exports = { CHROMIUM, WAIT, argument, cannotRun, freePort, getJson, until, gatewayProgram, start, stop, assertEqual };
