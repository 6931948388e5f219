// The history's links to a kill's moment: /?replay=FILE&at=UNIX_MS. The gateway opens that recording
// of its recording directory as a replay (or finds it open), moves it to that moment (its start when
// earlier) and plays it; the dashboard then watches it like any server.
"use strict";

const ReplayLink = (() => {
  // What the address asks for; read before the page tidies its address bar.
  function asked() {
    const query = new URLSearchParams(location.search);
    const file = query.get("replay");
    if (!file) return null;
    const at = Number(query.get("at"));
    return { file, at: Number.isFinite(at) && at > 0 ? Math.floor(at) : undefined };
  }

  // A page that holds the cookie sends the session's CSRF value: the POST moves a shared replay.
  async function csrf() {
    try {
      const answer = await fetch("/api/session", { cache: "no-store" });
      return answer.ok ? (await answer.json()).csrf : undefined;
    } catch (error) { return undefined; }
  }

  async function open(wanted) {
    const headers = { "Content-Type": "application/json" };
    const token = await csrf();
    if (token) headers["X-CSRF-Token"] = token;
    const answer = await fetch("/api/replays", {
      method: "POST", headers, cache: "no-store", body: JSON.stringify({ file: wanted.file, at_ms: wanted.at }),
    });
    const body = await answer.json().catch(() => ({}));
    if (!answer.ok) throw new Error(body.error || `the gateway answered ${answer.status}`);
    return body;
  }

  return { asked, open };
})();
