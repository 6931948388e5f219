// What the server's log says happened: the kill feed (newest first), the round panel, and a mark on
// the radar where a clicked event's victim was last reported, for a few seconds.
"use strict";

const KillFeed = (() => {
  const MARK_MS = 4000;
  let mark = null;  // { userId, until }

  function text(tag, content, className) {
    const node = document.createElement(tag);
    if (content !== undefined) node.textContent = content;
    if (className) node.className = className;
    return node;
  }

  function clock(iso) { return iso ? iso.slice(11, 19) : ""; }

  function entry(event) {
    const item = text("li", undefined, "k-" + event.kind);
    item.append(text("span", clock(event.time), "when"), " ");
    if (event.kind === "kill") {
      item.append(text("span", event.killer.name, "who"), " ", text("span", `[${event.weapon}]`, "weapon"));
      if (event.headshot) item.append(" ", text("span", "HS", "headshot"));
      if (event.team_kill) item.append(" ", text("span", "TK", "team-kill"));
      item.append(" ", text("span", event.victim.name, "who"));
    } else if (event.kind === "suicide") {
      item.append(text("span", event.player.name, "who"), ` died (${event.weapon})`);
    } else if (event.kind === "team_win") {
      item.append(`${event.team || "draw"}: ${event.event}`);
    } else if (event.kind === "objective") {
      item.append(`${event.player ? event.player.name : event.team || "world"} ${event.event}`);
    } else {
      item.append(event.kind.replace("_", " ") + (event.map ? " " + event.map : ""));
    }
    const victim = event.victim || (event.kind === "suicide" ? event.player : null);
    if (victim) {
      item.classList.add("clickable");
      item.title = "show where " + victim.name + " died";
      item.onclick = () => { mark = { userId: victim.user_id, until: Date.now() + MARK_MS }; item.dispatchEvent(new Event("killfeed-mark", { bubbles: true })); };
    }
    return item;
  }

  const SHOWN = ["kill", "suicide", "team_win", "objective", "round_start", "game_commencing", "restart", "map"];

  function render(state) {
    const log = state.log || { received: false, events: [], results: [], round: {} };
    document.getElementById("log-state").hidden = log.received;
    const feed = document.getElementById("killfeed");
    feed.replaceChildren();
    for (const event of log.events.slice().reverse())
      if (SHOWN.includes(event.kind)) feed.append(entry(event));
    const round = document.getElementById("round");
    round.replaceChildren();
    if (!log.received) return;
    const r = log.round;
    round.append(text("div", r.number ? `round ${r.number}` + (r.in_round ? ` · ${r.seconds} s in` : " · over") : "no round yet"));
    for (const result of log.results.slice(-5).reverse()) {
      const scores = result.scores.map((s) => `${s.team} ${s.score}`).join(" : ");
      round.append(text("div", `${result.team || "draw"} ${result.event} (${scores})`, "result"));
    }
  }

  // The clicked event's victim, ringed at their latest reported position while the mark lasts.
  function drawMark(canvas, state, project) {
    if (!mark || Date.now() > mark.until) { canvas.dataset.mark = "0"; return; }
    const player = state.players.find((p) => p.user_id === mark.userId);
    if (!player) { canvas.dataset.mark = "0"; return; }
    const [x, y] = project(canvas, state, player.x, player.y);
    const g = canvas.getContext("2d");
    g.strokeStyle = "#ffffff";
    g.lineWidth = 2;
    g.beginPath();
    g.arc(x, y, 12, 0, 2 * Math.PI);
    g.stroke();
    canvas.dataset.mark = "1";
  }

  // "kills/deaths/headshots/team kills" from the log, for a scoreboard row.
  function tally(state, player) {
    const t = state.log && state.log.players[String(player.user_id)];
    return t ? `${t.kills}/${t.deaths}/${t.headshots}/${t.team_kills}` : "";
  }

  return { render, drawMark, tally };
})();
