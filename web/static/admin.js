// What an admin may do from the page: per player (scoreboard row, radar dot) kick, ban, message;
// per server say, change map, restart the round, set an allowed console variable; and the last
// audit lines. Every action is a POST the gateway checks again; the console's answer is shown under
// the button that asked. Nothing here is shown to a viewer or the public.
"use strict";

const Admin = (() => {
  const state = { session: null, server: "", game: "", results: new Map(), maps: [] };
  const $ = (id) => document.getElementById(id);
  const isAdmin = () => state.session !== null && state.session.role === "admin";

  function element(tag, text, className) {
    const node = document.createElement(tag);
    if (text !== undefined) node.textContent = text;
    if (className) node.className = className;
    return node;
  }

  async function load() {
    try {
      const answer = await fetch("/api/session", { cache: "no-store" });
      if (answer.ok) state.session = await answer.json();
    } catch (error) { state.session = null; }
    const session = state.session;
    const note = $("view-note");
    if (session && session.public) {
      note.textContent = `public view: each server as it was ${session.public_delay} s ago`;
      note.hidden = false;
    } else if (session && session.user) {
      note.textContent = `${session.user} (${session.role})`;
      note.hidden = false;
    }
    $("admin").hidden = !isAdmin();
    if (!isAdmin()) return;
    const cvars = $("admin-cvar");
    cvars.replaceChildren();
    for (const name of session.cvars) cvars.append(element("option", name));
    refreshAudit();
  }

  // One action; the answer (or why not) goes to `show`.
  async function act(body, show) {
    show("…");
    try {
      const answer = await fetch(`/api/servers/${encodeURIComponent(state.server)}/actions`, {
        method: "POST",
        headers: { "Content-Type": "application/json", "X-CSRF-Token": state.session.csrf },
        body: JSON.stringify(body),
      });
      const reply = await answer.json();
      show(reply.ok ? (reply.output.trim() || "done") : `refused (${answer.status}): ${reply.error}`);
    } catch (error) {
      show(`no answer: ${error}`);
    }
    refreshAudit();
    refreshRcon();
  }

  // Whether the server's console takes commands (a refused password stops it until its file changes).
  async function refreshRcon() {
    if (!isAdmin() || !state.server) return;
    const shown = $("admin-rcon");
    try {
      const answer = await fetch(`/api/servers/${encodeURIComponent(state.server)}/rcon`, { cache: "no-store" });
      const reply = await answer.json();
      const text = reply.ok ? reply.state : reply.error;
      shown.textContent = text === "ready" ? "rcon: ready" : `rcon stopped: ${text}`;
      shown.className = text === "ready" ? "result" : "result refused";
    } catch (error) { /* shown again at the next look */ }
  }

  function playerAction(player, body) {
    const show = (text) => {
      state.results.set(player.user_id, text);
      const cell = document.querySelector(`#scoreboard td.admin[data-user="${player.user_id}"] .result`);
      if (cell) cell.textContent = text;
      $("player-result").textContent = `${player.name}: ${text}`;
    };
    act(body, show);
  }

  function kick(player) {
    const reason = window.prompt(`Kick ${player.name}: the reason they are shown`, "");
    if (reason !== null) playerAction(player, { action: "kick", user_id: player.user_id, reason });
  }

  function ban(player) {
    const text = window.prompt(`Ban ${player.name} for how many minutes? (0 = permanent)`, "30");
    if (text === null) return;
    const minutes = Number(text);
    if (!Number.isInteger(minutes) || minutes < 0) return window.alert("minutes: a whole number from 0");
    const span = minutes === 0 ? "PERMANENTLY" : `for ${minutes} minutes`;
    if (!window.confirm(`Ban ${player.name} ${span}? A bot, the proxy or a LAN player is banned by address.`)) return;
    playerAction(player, { action: "ban", user_id: player.user_id, minutes });
  }

  function message(player) {
    const text = window.prompt(`Message for ${player.name}: the engine's say reaches every player, not only them`, "");
    if (text) playerAction(player, { action: "say", text: `${player.name}: ${text}` });
  }

  function button(label, title, run) {
    const node = element("button", label);
    node.type = "button";
    node.title = title;
    node.onclick = (event) => { event.stopPropagation(); run(); };
    return node;
  }

  // The scoreboard's row of a player: its buttons and the last answer for it.
  function decorateRow(row, player) {
    if (!isAdmin()) return;
    const cell = element("td", undefined, "admin");
    cell.dataset.user = String(player.user_id);
    cell.append(button("kick", "kick with a reason", () => kick(player)),
                button("ban", "ban for some minutes (0 = permanent)", () => ban(player)),
                button("msg", "say to all, naming the player", () => message(player)),
                element("div", state.results.get(player.user_id) || "", "result"));
    row.append(cell);
  }

  // A click on a radar dot: the same three, in one menu.
  function pickPlayer(player) {
    if (!isAdmin() || !player) return;
    const what = window.prompt(`${player.name}: kick, ban or msg?`, "kick");
    if (what === "kick") kick(player);
    else if (what === "ban") ban(player);
    else if (what === "msg") message(player);
  }

  function takeState(server) {
    const changed = server.name !== state.server;
    state.server = server.name;
    state.game = server.server ? server.server.game : "";
    if (!isAdmin()) return;
    $("admin-restart").disabled = !["cstrike", "czero"].includes(state.game);
    if (changed) { state.results.clear(); state.maps = []; renderMaps(); refreshRcon(); }
  }

  function renderMaps() {
    const list = $("admin-maps");
    list.replaceChildren();
    for (const map of state.maps) list.append(element("option", map));
  }

  async function loadMaps() {
    const show = (text) => { $("admin-map-result").textContent = text; };
    try {
      const answer = await fetch(`/api/servers/${encodeURIComponent(state.server)}/maps`, { cache: "no-store" });
      const reply = await answer.json();
      if (!reply.ok) return show(`refused (${answer.status}): ${reply.error}`);
      state.maps = reply.maps;
      renderMaps();
      show(`${reply.maps.length} maps`);
    } catch (error) { show(`no answer: ${error}`); }
  }

  async function refreshAudit() {
    if (!isAdmin()) return;
    try {
      const answer = await fetch("/api/audit?limit=100", { cache: "no-store" });
      if (!answer.ok) return;
      const page = await answer.json();
      const list = $("audit");
      list.replaceChildren();
      for (const line of page.lines) {
        const target = line.target ? ` ${line.target.name} #${line.target.user_id}` : "";
        const result = line.result.ok ? "ok" : `refused: ${line.result.error}`;
        list.append(element("li", `${line.time} ${line.user} ${line.server} ${line.action}${target} ` +
                                  `${JSON.stringify(line.arguments)} → ${result}`, line.result.ok ? "ok" : "refused"));
      }
    } catch (error) { /* the next action or the next minute tries again */ }
  }

  function setUp() {
    const shower = (id) => (text) => { $(id).textContent = text; };
    $("admin-say").onclick = () => act({ action: "say", text: $("admin-say-text").value }, shower("admin-say-result"));
    $("admin-map-list").onclick = loadMaps;
    $("admin-map").onclick = () => {
      const map = $("admin-map-name").value || $("admin-maps").value;
      if (map && window.confirm(`Change the map to ${map}? Every player is moved.`))
        act({ action: "changelevel", map }, shower("admin-map-result"));
    };
    $("admin-restart").onclick = () => {
      if (window.confirm("Restart the round?")) act({ action: "restart" }, shower("admin-restart-result"));
    };
    $("admin-set").onclick = () =>
      act({ action: "set", name: $("admin-cvar").value, value: $("admin-cvar-value").value }, shower("admin-set-result"));
    setInterval(() => { refreshAudit(); refreshRcon(); }, 10000);
    return load();
  }

  return { setUp, decorateRow, pickPlayer, takeState, isAdmin };
})();
