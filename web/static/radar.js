// The radar: each player a dot in its team's colour at its position, dead players crossed out, the
// game's objectives as lettered marks, over the map's picture (MapLayer) or, without one, a grid
// scaled to the map's world box.
"use strict";

const Radar = (() => {
  const TEAM_COLOURS = ["#e0584f", "#4f8fe0", "#e0c04f", "#5fc46a"];
  const NO_TEAM = "#9aa3ad";
  // Mark and colour of each objective kind.
  const MARKS = {
    BOMB: ["B", "#ff8a3d"], HOSTAGE: ["H", "#f2f2f2"], FLAG: ["F", "#c77dff"], SENTRY: ["S", "#ff5d8f"],
    TELEPORTER: ["T", "#7de2ff"], DISPENSER: ["D", "#b8f27d"], HIVE: ["V", "#ffb703"], RESOURCE: ["R", "#8ecae6"],
    COMMAND: ["C", "#ffd6a5"],
  };

  // Teams are coloured as their games colour them, by name; an unknown name by its number.
  const NAMED_COLOURS = { blue: 1, red: 0, yellow: 2, green: 3, terrorist: 0, ct: 1, allies: 3, axis: 0 };
  const DOD_SIDES = { 1: 3, 2: 0 };  // its record names the Allies 1 and the Axis 2

  function colourIndex(state, team) {
    const server = state && state.server;
    const teams = server ? server.teams : [];
    const name = team >= 0 && team < teams.length ? String(teams[team].name).toLowerCase() : "";
    if (name in NAMED_COLOURS) return NAMED_COLOURS[name];
    if (server && server.game === "dod" && name in DOD_SIDES) return DOD_SIDES[name];
    if (name.startsWith("marine")) return 1;
    if (name.startsWith("alien")) return 2;
    return team >= 0 && team < TEAM_COLOURS.length ? team : -1;
  }

  function teamColour(team, state) {
    const index = colourIndex(state, team);
    return index >= 0 ? TEAM_COLOURS[index] : NO_TEAM;
  }

  // The class the page colours a team's text with.
  function teamClass(team, state) {
    const index = colourIndex(state, team);
    return index >= 0 ? "t" + index : "";
  }

  // The box drawn: the map's world when the server reported one, else what the points span.
  function worldBox(state) {
    const world = state.server && state.server.world;
    if (world && world.x > 0 && world.y > 0) return { x: world.x, y: world.y };
    let span = 256;
    for (const p of points(state)) span = Math.max(span, 2.2 * Math.abs(p.x), 2.2 * Math.abs(p.y));
    return { x: span, y: span };
  }

  function points(state) {
    const list = state.players.slice();
    for (const objective of state.objectives)
      for (const item of objective.items) if (typeof item.x === "number" && typeof item.y === "number") list.push(item);
    return list;
  }

  // Reported coordinates are centred on the map; y grows upwards.
  function gridProjector(state, size) {
    const box = worldBox(state);
    const scale = (size - 16) / Math.max(box.x, box.y);
    return (x, y) => [size / 2 + x * scale, size / 2 - y * scale];
  }

  function draw(canvas, state) {
    const size = canvas.width;
    const g = canvas.getContext("2d");
    g.clearRect(0, 0, size, size);
    const at = projector(state, size);  // drops a follow of a player who left
    const view = MapLayer.view;
    const followed = state.players.find((p) => p.user_id === view.follow) || null;
    if (MapLayer.projector(state, size)) MapLayer.drawUnder(g, state, size);
    else grid(g, size);
    canvas.dataset.map = MapLayer.projector(state, size) ? state.map.source : state.map ? "loading" : "none";
    const hits = [];
    let objectives = 0;
    for (const objective of state.objectives) {
      for (const item of objective.items) {
        if (typeof item.x !== "number" || typeof item.y !== "number") continue;
        const [px, py] = at(item.x, item.y);
        mark(g, objective.kind, item, px, py);
        hits.push({ x: px, y: py, label: objectiveLabel(objective.kind, item) });
        ++objectives;
      }
    }
    let dots = 0, dead = 0;
    for (const player of state.players) {
      const [px, py] = at(player.x, player.y);
      // Seen from the followed player, those on other levels fade with the height between them.
      g.globalAlpha = followed ? Math.max(0.35, 1 - Math.abs(player.z - followed.z) / 384) : 1;
      const colour = teamColour(player.team, state);
      if (player.dead) { cross(g, px, py, colour); ++dead; }
      else { dot(g, px, py, colour, player === followed); ++dots; }
      if (view.names) label(g, px, py, player.name);
      g.globalAlpha = 1;
      hits.push({ x: px, y: py, label: player.name + (player.dead ? " (dead)" : ""), user_id: player.user_id, player });
    }
    canvas.dataset.dots = dots;
    canvas.dataset.dead = dead;
    canvas.dataset.objectives = objectives;
    return hits;
  }

  function grid(g, size) {
    g.strokeStyle = "#1d2530";
    g.lineWidth = 1;
    for (let i = 1; i < 8; ++i) {
      const p = Math.round((i * size) / 8) + 0.5;
      g.beginPath(); g.moveTo(p, 0); g.lineTo(p, size); g.moveTo(0, p); g.lineTo(size, p); g.stroke();
    }
  }

  function dot(g, x, y, colour, followed) {
    g.fillStyle = colour;
    g.beginPath(); g.arc(x, y, 5, 0, 2 * Math.PI); g.fill();
    g.strokeStyle = followed ? "#fff" : "#000"; g.lineWidth = followed ? 2 : 1; g.stroke();
  }

  function label(g, x, y, text) {
    g.font = "11px sans-serif"; g.textAlign = "left"; g.textBaseline = "middle";
    g.fillStyle = "#000"; g.fillText(text, x + 8, y + 1);
    g.fillStyle = "#e6edf3"; g.fillText(text, x + 7, y);
  }

  function cross(g, x, y, colour) {
    g.strokeStyle = colour; g.lineWidth = 2;
    g.beginPath(); g.moveTo(x - 4, y - 4); g.lineTo(x + 4, y + 4); g.moveTo(x + 4, y - 4); g.lineTo(x - 4, y + 4);
    g.stroke();
  }

  function mark(g, kind, item, x, y) {
    const [letter, colour] = MARKS[kind] || ["?", NO_TEAM];
    const planted = kind === "BOMB" && item.planted === 1;
    g.fillStyle = planted ? "#ff2d2d" : "#0b0e12";
    g.strokeStyle = colour; g.lineWidth = planted ? 3 : 1.5;
    g.beginPath(); g.rect(x - 7, y - 7, 14, 14); g.fill(); g.stroke();
    g.fillStyle = planted ? "#fff" : colour;
    g.font = "bold 10px sans-serif"; g.textAlign = "center"; g.textBaseline = "middle";
    g.fillText(letter, x, y + 0.5);
  }

  function objectiveLabel(kind, item) {
    let label = kind.toLowerCase() + " " + (item.num !== undefined ? item.num : "");
    if (kind === "BOMB") label += item.planted === 1 ? " (planted)" : "";
    if (item.health !== undefined) label += " " + item.health + "%";
    if (item.team !== undefined) label += " team " + item.team;
    return label;
  }

  // The nearest mark within a few pixels of (x, y), in canvas pixels.
  function nearest(hits, x, y) {
    let best = null, bestDistance = 64;
    for (const hit of hits) {
      const d = (hit.x - x) ** 2 + (hit.y - y) ** 2;
      if (d <= bestDistance) { best = hit; bestDistance = d; }
    }
    return best;
  }

  // Where the radar draws a reported position now: on the map's picture or the grid, steered to keep
  // a followed player in the middle.
  function projector(state, size) {
    const view = MapLayer.view;
    const followed = state.players.find((p) => p.user_id === view.follow) || null;
    if (!followed) view.follow = null;
    return MapLayer.steer(MapLayer.projector(state, size) || gridProjector(state, size), size, followed);
  }

  // A map position as a point on the canvas, as the last drawing placed it.
  function project(canvas, state, x, y) {
    return projector(state, canvas.width)(x, y);
  }

  return { draw, nearest, teamColour, teamClass, project };
})();
