"use strict";
// The alert bell of the server shown: how many alerts it raised lately, and the list of them on a
// click. Game text is only ever set as text.
const Alerts = (() => {
  const seen = new Map();  // server name -> time of the newest alert looked at
  const bell = document.getElementById("alert-bell");
  const list = document.getElementById("alert-list");
  let current = { name: null, alerts: [] };

  function when(ms) {
    return new Date(ms).toLocaleTimeString();
  }

  function render() {
    const alerts = current.alerts;
    const newest = alerts.length ? alerts[alerts.length - 1].time : 0;
    const unseen = alerts.filter((alert) => alert.time > (seen.get(current.name) || 0)).length;
    bell.hidden = alerts.length === 0;
    bell.textContent = "🔔 " + alerts.length;
    bell.classList.toggle("unseen", unseen > 0);
    bell.dataset.count = String(alerts.length);
    list.replaceChildren();
    for (const alert of alerts.slice().reverse()) {
      const item = document.createElement("li");
      item.className = "alert-" + alert.kind;
      const who = alert.player ? alert.player + ": " : "";
      item.textContent = `${when(alert.time)} ${alert.kind} ${who}${alert.text}`;
      list.append(item);
    }
    if (!list.hidden) seen.set(current.name, newest);
  }

  bell.addEventListener("click", () => {
    list.hidden = !list.hidden;
    render();
  });

  return {
    // A state pushed for the server shown.
    take(state) {
      if (state.name !== current.name) list.hidden = true;
      current = { name: state.name, alerts: Array.isArray(state.alerts) ? state.alerts : [] };
      render();
    },
  };
})();
