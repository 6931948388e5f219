// The history pages: players (searched, ranked over a period), one player, the matches, one match.
// Everything comes from /api/history/; game text is only ever set as text.
"use strict";

const $ = (id) => document.getElementById(id);
const query = new URLSearchParams(location.search);
const pageSize = 50;

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined && text !== null) node.textContent = String(text);
  if (className) node.className = className;
  return node;
}

function link(text, params) {
  const anchor = element("a", text);
  anchor.href = "/history.html?" + new URLSearchParams(params).toString();
  return anchor;
}

function when(ms) {
  return ms ? new Date(ms).toLocaleString() : "-";
}

function duration(seconds) {
  const h = Math.floor(seconds / 3600), m = Math.floor((seconds % 3600) / 60);
  return h > 0 ? `${h} h ${m} min` : `${m} min`;
}

// A table of rows; each column a heading and a function from the row to text or a node.
function table(columns, rows) {
  const grid = element("table", undefined, "history");
  const head = grid.createTHead().insertRow();
  for (const [title] of columns) head.appendChild(element("th", title));
  const body = grid.createTBody();
  for (const row of rows) {
    const line = body.insertRow();
    for (const [, cell] of columns) {
      const value = cell(row);
      const td = line.insertCell();
      if (value instanceof Node) td.appendChild(value);
      else td.textContent = value === undefined || value === null ? "" : String(value);
    }
  }
  return grid;
}

async function ask(path) {
  const answer = await fetch(path, { credentials: "same-origin" });
  const body = await answer.json().catch(() => ({}));
  if (!answer.ok) throw new Error(body.error || `the gateway answered ${answer.status}`);
  return body;
}

function show(title, ...nodes) {
  $("history-title").textContent = title;
  $("history-body").replaceChildren(...nodes);
}

function section(title, node) {
  const part = element("section");
  part.append(element("h3", title), node);
  return part;
}

function kd(player) {
  return (player.kills / Math.max(player.deaths, 1)).toFixed(2);
}

function pager(offset, count, params) {
  const pages = $("history-pages");
  pages.replaceChildren();
  if (offset > 0) pages.appendChild(link("« earlier", { ...params, offset: Math.max(0, offset - pageSize) }));
  if (count === pageSize) pages.appendChild(link("more »", { ...params, offset: offset + pageSize }));
}

async function players() {
  const form = $("player-search");
  form.hidden = false;
  const params = {};
  for (const name of ["q", "sort", "days", "server"]) if (query.get(name)) params[name] = query.get(name);
  $("search-text").value = params.q || "";
  $("search-sort").value = params.sort || "kills";
  $("search-days").value = params.days || "";
  $("search-server").value = params.server || "";
  form.addEventListener("submit", (event) => {
    event.preventDefault();
    const next = { q: $("search-text").value, sort: $("search-sort").value, days: $("search-days").value,
                   server: $("search-server").value };
    for (const name of Object.keys(next)) if (!next[name]) delete next[name];
    location.search = new URLSearchParams(next).toString();
  });
  const offset = Number(query.get("offset")) || 0;
  const answer = await ask("/api/history/players?" + new URLSearchParams({ ...params, limit: pageSize, offset }));
  show("Players", table([
    ["player", (p) => link(p.name, { player: p.key })],
    ["auth id", (p) => p.auth_id || (p.bot ? "bot" : "")],
    ["also", (p) => p.names.filter((n) => n !== p.name).join(", ")],
    ["kills", (p) => p.kills], ["deaths", (p) => p.deaths], ["K/D", kd], ["headshots", (p) => p.headshots],
    ["time played", (p) => duration(p.time_played)],
  ], answer.players));
  pager(offset, answer.players.length, params);
}

async function player(key) {
  const answer = (await ask("/api/history/players/" + encodeURIComponent(key))).player;
  $("history-note").textContent = `${answer.kills} kills, ${answer.deaths} deaths (K/D ${kd(answer)}), ` +
    `${answer.headshots} headshots, ${answer.team_kills} team kills, ${duration(answer.time_played)} played` +
    (answer.auth_id ? ` · ${answer.auth_id}` : "");
  show(answer.name,
    section("names used", table([["name", (n) => n.name], ["first", (n) => when(n.first_ms)],
                                 ["last", (n) => when(n.last_ms)]], answer.names_used)),
    section("kills by weapon", table([["weapon", (w) => w.weapon], ["kills", (w) => w.kills]], answer.weapons)),
    section("recent matches", matchTable(answer.matches)),
    section("sessions", table([
      ["joined", (s) => when(s.join_ms)], ["left", (s) => (s.leave_ms ? when(s.leave_ms) : "on")],
      ["server", (s) => s.server], ["map", (s) => (s.match ? link(s.map || "?", { match: s.match }) : s.map)],
      ["team", (s) => s.team], ["kills", (s) => s.kills], ["deaths", (s) => s.deaths],
      ["headshots", (s) => s.headshots], ["time", (s) => duration(s.time_played)],
    ], answer.sessions)));
}

function scores(match) {
  return Object.entries(match.scores).map(([team, score]) => `${team} ${score}`).join(" : ");
}

function matchTable(matches) {
  return table([
    ["match", (m) => link(`${m.map} #${m.id}`, { match: m.id })], ["server", (m) => m.server],
    ["started", (m) => when(m.start_ms)], ["ended", (m) => (m.end_ms ? when(m.end_ms) : "under way")],
    ["scores", scores],
  ], matches);
}

async function matches() {
  const offset = Number(query.get("offset")) || 0;
  const params = query.get("server") ? { server: query.get("server") } : {};
  const answer = await ask("/api/history/matches?" + new URLSearchParams({ ...params, limit: pageSize, offset }));
  show("Matches", matchTable(answer.matches));
  pager(offset, answer.matches.length, { view: "matches", ...params });
}

// The dashboard opens the recording's replay a little before the kill and plays it: the lead shows
// what led to it. The kill's own time is sent: the gateway places it in the recording exactly.
const replayLead = 5000;

function replayLink(file, atMs) {
  return "/?" + new URLSearchParams({ replay: file, at: atMs - replayLead }).toString();
}

async function match(id) {
  const answer = (await ask("/api/history/matches/" + encodeURIComponent(id))).match;
  $("history-note").textContent = `${answer.server} · ${when(answer.start_ms)} to ` +
    `${answer.end_ms ? when(answer.end_ms) : "now"} · ${scores(answer)}` +
    (answer.recording ? ` · recorded in ${answer.recording.file}` : "");
  const moment = (k) => {
    const at = new Date(k.at_ms).toLocaleTimeString();
    if (k.offset_ms === undefined || !answer.recording) return at;
    const jump = element("a", `${at} (${Math.round(k.offset_ms / 1000)} s in the recording)`, "replay-link");
    jump.href = replayLink(answer.recording.file, k.at_ms);
    jump.title = "watch it in the replay, from a few seconds before";
    return jump;
  };
  show(`${answer.map} #${answer.id}`,
    section("players", table([
      ["player", (p) => link(p.name, { player: p.key })], ["team", (p) => p.team], ["kills", (p) => p.kills],
      ["deaths", (p) => p.deaths], ["headshots", (p) => p.headshots], ["team kills", (p) => p.team_kills],
      ["time", (p) => duration(p.time_played)],
    ], answer.players)),
    section("kills", table([
      ["when", moment], ["killer", (k) => link(k.killer, { player: k.killer_key })],
      ["victim", (k) => link(k.victim, { player: k.victim_key })], ["weapon", (k) => k.weapon],
      ["", (k) => [k.headshot ? "headshot" : "", k.team_kill ? "team kill" : ""].filter(Boolean).join(", ")],
    ], answer.kills)));
}

async function start() {
  try {
    if (query.get("player")) await player(query.get("player"));
    else if (query.get("match")) await match(query.get("match"));
    else if (query.get("view") === "matches") await matches();
    else await players();
  } catch (error) {
    $("history-note").textContent = error.message;
  }
}

start();
