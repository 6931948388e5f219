// The dashboard: the gateway pushes the server list and the chosen server's state over a WebSocket;
// the page only says which server it watches, and reconnects by itself when the gateway goes away.
"use strict";

const page = {
  servers: [],
  chosen: decodeURIComponent(location.hash.slice(1)),
  state: null,
  sort: { key: "frags", down: true },
  hits: [],
  socket: null,
  retry: 500,
  awaited: null,  // a replay asked for by a history link, until the server list names it
};

const $ = (id) => document.getElementById(id);

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = text;  // game text is never markup
  if (className) node.className = className;
  return node;
}

function duration(seconds) {
  if (seconds === null || seconds === undefined || seconds < 0) return "-";
  const h = Math.floor(seconds / 3600), m = Math.floor((seconds % 3600) / 60), s = seconds % 60;
  const two = (n) => String(n).padStart(2, "0");
  return h > 0 ? `${h}:${two(m)}:${two(s)}` : `${m}:${two(s)}`;
}

function connect() {
  const scheme = location.protocol === "https:" ? "wss:" : "ws:";
  const socket = new WebSocket(`${scheme}//${location.host}/ws`);
  page.socket = socket;
  socket.onopen = () => {
    page.retry = 500;
    showLink(true);
    if (page.chosen) watch(page.chosen);
  };
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    if (message.type === "servers") takeServers(message.servers);
    else if (message.type === "state" && message.state.name === page.chosen) takeState(message.state);
  };
  socket.onclose = (event) => {
    showLink(false, event.reason);
    setTimeout(connect, page.retry);
    page.retry = Math.min(page.retry * 2, 5000);
  };
}

function watch(name) {
  if (page.socket && page.socket.readyState === WebSocket.OPEN) page.socket.send(JSON.stringify({ watch: name }));
}

// A server served from a recording: everyone watching it sees the same replay and may steer it.
function replayControl(fields) {
  if (page.socket && page.socket.readyState === WebSocket.OPEN)
    page.socket.send(JSON.stringify(Object.assign({ replay: page.chosen }, fields)));
}

function renderReplay(state) {
  const bar = $("replay"), replay = state.replay;
  bar.hidden = !replay;
  if (!replay) return;
  $("replay-play").textContent = replay.playing ? "pause" : "play";
  $("replay-speed").value = String(replay.speed);
  const seek = $("replay-seek");
  seek.max = String(replay.length_ms);
  if (!page.seeking) seek.value = String(replay.position_ms);
  const started = new Date(replay.start_ms + replay.position_ms).toISOString().replace("T", " ").slice(0, 19);
  $("replay-time").textContent = `${duration(Math.floor(replay.position_ms / 1000))} / ` +
                                 `${duration(Math.floor(replay.length_ms / 1000))} (${started} UTC)`;
}

function showLink(up, reason) {
  const link = $("link");
  link.textContent = up ? "live" : reason ? `closed: ${reason}` : "gateway unreachable: reconnecting…";
  link.className = "link " + (up ? "up" : "down");
}

function choose(name) {
  if (name === page.chosen) return;
  page.chosen = name;
  page.state = null;
  history.replaceState(null, "", "#" + encodeURIComponent(name));
  watch(name);
  renderServers();
}

function takeServers(servers) {
  page.servers = servers;
  if (servers.some((s) => s.name === page.awaited)) page.awaited = null;
  if (!servers.some((s) => s.name === page.chosen) && servers.length > 0 && !page.awaited) {
    page.chosen = "";
    choose(servers[0].name);
  }
  renderServers();
}

function takeState(state) {
  page.state = state;
  renderHeading(state);
  renderReplay(state);
  renderScoreboard(state);
  renderObjectives(state);
  renderChat(state);
  Alerts.take(state);
  KillFeed.render(state);
  redraw();
  $("map-note").hidden = !!state.map;
  Admin.takeState(state);
}

function redraw() {
  if (!page.state) return;
  page.hits = Radar.draw($("radar"), page.state);
  KillFeed.drawMark($("radar"), page.state, Radar.project);
}

// Following a player keeps their dot in the middle of the radar; again to stop.
function follow(userId) {
  MapLayer.view.follow = MapLayer.view.follow === userId ? null : userId;
  if (MapLayer.view.follow !== null && MapLayer.view.zoom < 2) MapLayer.view.zoom = 2;
  if (MapLayer.view.follow === null) { MapLayer.view.zoom = 1; MapLayer.view.panX = 0; MapLayer.view.panY = 0; }
  redraw();
  if (page.state) renderScoreboard(page.state);
}

// A hostile or broken server: its records over what a genuine plug-in sends are dropped.
const OVER_LIMITS = "sends records over the limits";
// Connected, but its report cycle has stopped: the map and time left shown are old.
const STALE = "stale: no server report for three of its periods";

function renderServers() {
  const list = $("server-list");
  list.replaceChildren();
  for (const server of page.servers) {
    const item = element("li", undefined, (server.connected ? "on" : "off") + (server.name === page.chosen ? " chosen" : ""));
    item.dataset.name = server.name;
    item.append(element("span", server.name, "name"), element("span", server.connected ? "connected" : "disconnected", "state"));
    const sub = server.connected || server.map
      ? `${server.map || "?"} · ${server.players}/${server.max_players} · ${duration(server.time_left)} left`
      : server.problem;
    item.append(element("div", sub, "sub"));
    if (server.over_limits) item.append(element("div", OVER_LIMITS, "sub over-limits"));
    if (server.stale) item.append(element("div", STALE, "sub stale"));
    item.onclick = () => choose(server.name);
    list.append(item);
  }
}

function renderHeading(state) {
  const server = state.server;
  $("host-name").textContent = server ? server.host_name || state.name : state.name;
  const facts = [state.connected ? "connected" : `disconnected (${state.problem})`, state.address];
  if (state.over_limits) facts.push(OVER_LIMITS);
  if (state.stale) facts.push(STALE);
  if (server) facts.push(`${server.map} (${server.game})`, `up ${duration(server.uptime)}`,
                         `time left ${duration(server.time_left)}`,
                         `${state.players.length}/${server.max_players} players`);
  $("facts").textContent = facts.join(" · ");
  const teams = $("teams");
  teams.replaceChildren();
  for (const [index, team] of (server ? server.teams : []).entries())
    teams.append(element("span", `${team.name} ${team.score}`, Radar.teamClass(index, state)));
}

const COLUMNS = ["name", "team", "frags", "deaths", "health", "armor", "ping", "loss", "time", "log"];

function renderScoreboard(state) {
  const { key, down } = page.sort;
  const rows = state.players.slice().sort((a, b) => {
    const order = typeof a[key] === "string" ? a[key].localeCompare(b[key]) : a[key] - b[key];
    return down ? -order : order;
  });
  const body = document.querySelector("#scoreboard tbody");
  body.replaceChildren();
  for (const player of rows) {
    const row = element("tr", undefined, player.dead ? "dead" : "");
    row.onclick = () => follow(player.user_id);
    if (player.user_id === MapLayer.view.follow) row.classList.add("followed");
    for (const column of COLUMNS) {
      const value = column === "time" ? duration(player.time) : column === "team" ? teamName(player.team)
        : column === "log" ? KillFeed.tally(state, player) : player[column];
      const cell = element("td", String(value), column === "name" || column === "team" ? Radar.teamClass(player.team, state) : "");
      if (column === "loss" || column === "time" || column === "armor") cell.classList.add("wide");
      row.append(cell);
    }
    Admin.decorateRow(row, player);
    body.append(row);
  }
  for (const th of document.querySelectorAll("#scoreboard th")) {
    th.classList.toggle("sorted", th.dataset.key === key);
    th.classList.toggle("up", th.dataset.key === key && !down);
  }
}

// The player record numbers teams from 0; the server record names them in its own order.
function teamName(team) {
  const teams = page.state && page.state.server ? page.state.server.teams : [];
  return team >= 0 && team < teams.length ? teams[team].name : team < 0 ? "-" : String(team);
}

function renderObjectives(state) {
  const list = $("objectives");
  list.replaceChildren();
  for (const objective of state.objectives) {
    const items = objective.items;
    let text = `${objective.kind.toLowerCase()}: ${items.length}`;
    if (objective.kind === "BOMB") text += items.some((i) => i.planted === 1) ? " (planted)" : " (not planted)";
    const healths = items.filter((i) => typeof i.health === "number").map((i) => i.health + "%");
    if (healths.length) text += " · " + healths.join(" ");
    list.append(element("li", text));
  }
  if (!state.objectives.length) list.append(element("li", "none reported"));
}

// HH:MM:SS in the viewer's time zone.
function clockTime(ms) {
  const at = new Date(ms), two = (n) => String(n).padStart(2, "0");
  return `${two(at.getHours())}:${two(at.getMinutes())}:${two(at.getSeconds())}`;
}

function renderChat(state) {
  const chat = $("chat");
  const atEnd = chat.scrollTop + chat.clientHeight >= chat.scrollHeight - 4;
  chat.replaceChildren();
  for (const line of state.chat) {
    const item = element("li", (line.kind === "SERVER_SAY" ? "[server] " : "") + line.text,
      line.kind + (line.alert ? " admin-call" : ""));
    if (line.time_ms > 0) item.prepend(element("time", clockTime(line.time_ms) + " ", "at"));
    chat.append(item);
  }
  if (atEnd) chat.scrollTop = chat.scrollHeight;
}

// A history link's replay: watched once the gateway has it open, whatever the server list says meanwhile.
async function openAskedReplay(wanted) {
  const note = $("replay-note");
  try {
    const opened = await ReplayLink.open(wanted);
    page.awaited = opened.name;
    note.hidden = true;
    if (opened.name === page.chosen) watch(opened.name);
    else choose(opened.name);
  } catch (error) {
    page.awaited = null;
    note.textContent = `the replay could not be opened: ${error.message}`;
    note.hidden = false;
    takeServers(page.servers);
  }
}

function setUp() {
  const askedReplay = ReplayLink.asked();
  if (askedReplay) page.awaited = true;  // no other server chosen meanwhile
  // A ?token= has set the cookie: it need not stay in the address bar or the history.
  if (location.search) history.replaceState(null, "", location.pathname + location.hash);
  for (const th of document.querySelectorAll("#scoreboard th")) {
    if (["loss", "time", "armor"].includes(th.dataset.key)) th.classList.add("wide");
    th.onclick = () => {
      const key = th.dataset.key;
      page.sort = { key, down: page.sort.key === key ? !page.sort.down : key !== "name" && key !== "team" };
      if (page.state) renderScoreboard(page.state);
    };
  }
  const canvas = $("radar"), tip = $("radar-tip");
  canvas.onmousemove = (event) => {
    const box = canvas.getBoundingClientRect();
    const scale = canvas.width / box.width;
    const hit = Radar.nearest(page.hits, (event.clientX - box.left) * scale, (event.clientY - box.top) * scale);
    tip.hidden = !hit;
    if (!hit) return;
    tip.textContent = hit.label;
    tip.style.left = `${hit.x / scale + 8}px`;
    tip.style.top = `${hit.y / scale - 8}px`;
  };
  canvas.onmouseleave = () => { tip.hidden = true; };
  // A clicked event's mark shows at once and goes when it lapses, between states too.
  $("killfeed").addEventListener("killfeed-mark", () => {
    if (!page.state) return;
    takeState(page.state);
    setTimeout(() => { if (page.state) takeState(page.state); }, 4100);
  });
  const dragged = MapLayer.attach(canvas, redraw);
  MapLayer.onready = redraw;
  canvas.onclick = (event) => {
    if (dragged()) return;
    const box = canvas.getBoundingClientRect();
    const scale = canvas.width / box.width;
    const hit = Radar.nearest(page.hits, (event.clientX - box.left) * scale, (event.clientY - box.top) * scale);
    if (hit && hit.user_id !== undefined) follow(hit.user_id);
    if (hit && hit.player) Admin.pickPlayer(hit.player);
  };
  $("radar-names").onchange = (event) => { MapLayer.view.names = event.target.checked; redraw(); };
  $("replay-play").onclick = () => replayControl({ play: !(page.state && page.state.replay && page.state.replay.playing) });
  $("replay-speed").onchange = (event) => replayControl({ speed: Number(event.target.value) });
  const seek = $("replay-seek");
  seek.oninput = () => { page.seeking = true; };
  seek.onchange = () => { page.seeking = false; replayControl({ seek: Number(seek.value) }); };
  Admin.setUp().then(() => { $("admin-column").hidden = !Admin.isAdmin(); });
  connect();
  if (askedReplay) openAskedReplay(askedReplay);
}

setUp();
