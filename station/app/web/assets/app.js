// Orva's station page: a thin view over the station's own documents. Live values come as
// Server-Sent Events; every text from the station is set as text, never as markup.
"use strict";

const $ = (id) => document.getElementById(id);
const state = { session: {}, live: null, engine: null, satellite: "", view: "directory", rows: [], messages: [] };
const statusNames = [["Priority", 10], ["Auto", 9], ["Auto1", 8], ["Auto2", 7], ["Auto3", 5], ["Incremental", 6], ["Grab", 4], ["Never", 1]];

function el(tag, props, ...children) {
  const e = document.createElement(tag);
  if (props) for (const [k, v] of Object.entries(props)) {
    if (k === "class") e.className = v;
    else if (k === "text") e.textContent = v;
    else if (k.startsWith("on")) e.addEventListener(k.slice(2), v);
    else if (v !== undefined && v !== null && v !== false) e.setAttribute(k, v === true ? "" : v);
  }
  for (const c of children) if (c !== null && c !== undefined) e.append(c);
  return e;
}
const pad = (n) => String(n).padStart(2, "0");
function hms(t) { const d = new Date(t * 1000); return `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}:${pad(d.getUTCSeconds())}`; }
function dayOf(t) { const d = new Date(t * 1000); return d.toLocaleDateString(undefined, { timeZone: "UTC", day: "numeric", month: "short" }); }
function span(s) {
  if (s < 0) s = 0;
  const h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60, x = s % 60;
  return h ? `${h}:${pad(m)}:${pad(x)}` : `${m}:${pad(x)}`;
}
function bytes(n) { return n >= 1048576 ? (n / 1048576).toFixed(1) + " MB" : n >= 1024 ? (n / 1024).toFixed(1) + " kB" : n + " B"; }
function setBar(bar, fraction, label) {
  bar.firstElementChild.style.width = Math.max(0, Math.min(1, fraction)) * 100 + "%";
  bar.lastElementChild.textContent = label;
}
function bar(fraction, label) {
  const b = el("div", { class: "progress" }, el("div"), el("span"));
  setBar(b, fraction, label);
  return b;
}

async function api(path, options) {
  const r = await fetch(path, Object.assign({ credentials: "same-origin", cache: "no-store" }, options || {}));
  let body = null;
  try { body = await r.json(); } catch (e) { body = null; }
  if (r.status === 401) openLogin();
  if (!r.ok) throw new Error((body && body.error) || `HTTP ${r.status}`);
  return body;
}
function control(path, fields) {
  return api(path, {
    method: "POST",
    headers: { "X-Orva-Control": "1", "Content-Type": "application/x-www-form-urlencoded" },
    body: new URLSearchParams(fields).toString(),
  });
}

// ---- live: clock, tracking table, schedule -------------------------------------------------

function showLive(live) {
  state.live = live;
  $("clock").textContent = live.clock || hms(live.now);
  $("date").textContent = (live.date || "").trim();
  $("callsign").textContent = live.station.callsign ? `${live.station.callsign} · Orva` : "Orva station";
  document.title = `${live.status || live.station.callsign || "Orva"} · Orva`;
  $("status-line").textContent = live.status || (live.scheduling ? "No pass ahead" : "Scheduling is off");
  $("scheduling-off").hidden = live.scheduling;

  const body = $("tracking").tBodies[0];
  body.replaceChildren(...live.tracking.map((t) => el("tr", { class: t.in_view ? "up" : "" },
    el("td", { text: t.satellite }),
    el("td", { class: "num", text: t.azimuth }),
    el("td", { class: "num", text: t.elevation }),
    el("td", { class: "num", text: t.range_km }),
    el("td", { class: "num", text: t.doppler_hz === null ? "" : t.doppler_hz }),
    el("td", { class: "num", text: t.ma }),
    el("td", { class: "mono", text: t.countdown ? `${t.next_event} ${t.countdown}` : "" }),
    el("td", { text: t.mode }))));
  if (!live.tracking.length) body.append(el("tr", null, el("td", { colspan: 8, class: "note", text: "No satellite in the tracking list." })));
  showSchedule(live);
}

function showSchedule(live) {
  const list = $("schedule");
  const items = live.schedule.slice(0, 8).map((p) => {
    const grey = p.dont_run || !(p.elevation_ok || p.run_regardless);
    const li = el("li", { class: (p.running ? "running " : "") + (grey ? "grey" : "") });
    const meta = el("div", { class: "meta" }, el("span", { class: "name", text: p.satellite }));
    if (p.running) meta.append(el("span", { class: "badge live", text: "running" }));
    meta.append(el("span", { class: "badge", text: `${p.max_elevation}°` }));
    if (p.priority === 0) meta.append(el("span", { class: "badge accent", text: "manual" }));
    else if (!p.dont_run) meta.append(el("span", { class: "badge", text: `P${p.priority}` }));
    if (p.dont_run) meta.append(el("span", { class: "badge", text: "not run" }));
    if (p.listen_only) meta.append(el("span", { class: "badge warn", text: "listen only" }));
    if (!p.elevation_ok && !p.dont_run) meta.append(el("span", { class: "badge warn", text: "low" }));
    const until = p.running ? p.run_end - live.now : p.aos - live.now;
    const right = el("div", { class: "count" }, el("span", { text: p.running ? `LOS in ${span(until)}` : until > 0 ? `in ${span(until)}` : "in view" }));
    if (state.session.can_control) {
      const b = el("button", { type: "button", class: "small " + (p.running ? "danger" : "ghost"), text: p.running ? "End this pass now" : "Run this pass now" });
      b.addEventListener("click", () => passCommand(p, b));
      right.append(b);
    }
    li.append(meta, right, el("div", { class: "when", text: `${dayOf(p.aos)}  ${hms(p.aos)} – ${hms(p.los)} UTC` }));
    if (p.running && live.pass) {
      const whole = Math.max(1, live.pass.run_end - live.pass.run_start);
      li.append(bar((live.now - live.pass.run_start) / whole, `${span(live.now - live.pass.run_start)} of ${span(whole)}`));
    }
    return li;
  });
  if (!items.length) items.push(el("li", { class: "note", text: "The schedule is empty." }));
  list.replaceChildren(...items);
}

async function passCommand(p, button) {
  const end = p.running;
  if (end && !confirm(`End the pass of ${p.satellite} now?`)) return;
  button.disabled = true;
  try {
    await control(end ? "api/pass/end" : "api/pass/run", { satellite: p.satellite, aos: p.aos });
    button.textContent = end ? "Ending…" : "Will run";
  } catch (e) {
    button.disabled = false;
    alert(e.message);
  }
}

// ---- the running pass, as Brek reports it --------------------------------------------------

let filesLoaded = 0;
function showEngine(e) {
  // While a pass runs the directory grows: the file list follows it every 15 s, and once at the end.
  const was = state.engine ? state.engine.state : "";
  const now = Date.now();
  if (state.satellite && e.satellite && e.satellite.toUpperCase() === state.satellite.toUpperCase() &&
      ((e.state === "open" && now - filesLoaded > 15000) || (e.state === "ended" && was !== "ended"))) {
    filesLoaded = now;
    loadFiles();
  }
  state.engine = e;
  const active = e.state === "open" || e.state === "closing" || e.state === "ended";
  $("engine").hidden = !active;
  $("engine-idle").hidden = active;
  const badge = $("engine-state");
  badge.textContent = active ? `${e.satellite} · ${e.state === "open" ? "in progress" : e.state}` : "";
  badge.className = "badge " + (e.state === "open" ? "live" : "");
  if (!active) return;
  const start = e.pass_start, end = e.pass_end;
  if (end && start && end > start) setBar($("pass-bar"), (e.now - start) / (end - start), `${span(e.now - start)} of ${span(end - start)} · ends ${hms(end)} UTC`);
  else setBar($("pass-bar"), 0, e.listen_only ? "listen only" : "pass time not given");
  $("e-directory").textContent = e.directory || "–";
  $("e-request").textContent = e.request || "–";
  $("e-total").textContent = bytes(e.total_bytes);
  $("e-split").textContent = `${bytes(e.file_bytes)} / ${bytes(e.directory_bytes)}`;
  $("e-efficiency").textContent = e.pass_efficiency || e.efficiency || "–";
  $("e-uplink").textContent = e.uplink_up ? "connected" : e.uploads_off || "idle";

  const downloads = e.downloads.map((d) => el("li", null, el("span", { class: "mono", text: d.file }),
    bar(d.percent / 100, `${d.percent}% · ${bytes(d.received)}${d.total ? " of " + bytes(d.total) : ""} · ${d.holes} hole${d.holes === 1 ? "" : "s"}`)));
  if (!downloads.length) downloads.push(el("li", { class: "none", text: "No file is being received." }));
  $("downloads").replaceChildren(...downloads);
  const up = e.upload ? [el("li", null, el("span", { class: "mono", text: e.upload.file }),
    bar(e.upload.percent / 100, `${e.upload.percent}% · ${e.upload.cps} B/s${e.upload.seconds_left !== null ? " · " + span(e.upload.seconds_left) + " left" : ""}`))]
    : [el("li", { class: "none", text: e.uplink_up ? "Uplink connected." : "Nothing is being sent." })];
  $("upload").replaceChildren(...up);
  const lines = $("engine-lines");
  lines.replaceChildren(...e.lines.slice(-14).map((l) => el("li", { class: l.colour, text: l.text })));
  lines.scrollTop = lines.scrollHeight;
}

// ---- map ----------------------------------------------------------------------------------

const SVG = "http://www.w3.org/2000/svg";
function svg(tag, attrs) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, v);
  return e;
}
function polylines(lines, cls) {
  return lines.filter((l) => l.length >= 4).map((l) => {
    let pts = "";
    for (let i = 0; i + 1 < l.length; i += 2) pts += `${l[i]},${l[i + 1]} `;
    return svg("polyline", { points: pts, class: cls });
  });
}
function showMap(m) {
  const g = $("map-svg");
  const parts = [...polylines(m.terminator, "terminator")];
  for (const o of m.others) {
    parts.push(...polylines(o.circle, "circle other"));
    parts.push(svg("circle", { cx: o.marker[0], cy: o.marker[1], r: 3.2, class: "other-marker" + (o.in_view ? " up" : "") }));
    const t = svg("text", { x: o.marker[0] + 5, y: o.marker[1] - 4 });
    t.textContent = o.satellite;
    parts.push(t);
  }
  parts.push(...polylines(m.circle, "circle"), ...polylines(m.track, "track"));
  for (const p of m.observers) parts.push(svg("circle", { cx: p[0], cy: p[1], r: 3.5, class: "station" }));
  if (m.marker) {
    const [x, y] = m.marker;
    parts.push(svg("path", { d: `M${x - 6} ${y}h12M${x} ${y - 6}v12M${x - 4} ${y - 4}l8 8M${x + 4} ${y - 4}l-8 8`, class: "marker" }));
    const t = svg("text", { x: x + 7, y: y - 6 });
    t.textContent = m.subject;
    parts.push(t);
  }
  g.replaceChildren(...parts);
  $("map-subject").textContent = m.subject;
  $("map-panel").textContent = m.panel;
}

function showLog(doc) {
  const log = $("log");
  const stick = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.replaceChildren(...doc.lines.map((l) => el("li", null, el("time", { text: hms(l.time) }), l.text)));
  if (stick) log.scrollTop = log.scrollHeight;
}

// ---- files and messages -------------------------------------------------------------------

async function loadSatellites() {
  const doc = await api("api/satellites");
  const select = $("sat-select");
  const names = doc.satellites.filter((s) => s.pacsat !== false).map((s) => s.name);
  select.replaceChildren(...names.map((n) => el("option", { value: n, text: n })));
  if (names.length) { state.satellite = state.satellite || names[0]; select.value = state.satellite; loadFiles(); }
  else $("files-note").textContent = "No PACSAT is set up on this station.";
}

async function loadFiles() {
  if (!state.satellite) return;
  const s = encodeURIComponent(state.satellite);
  $("files-note").textContent = "Loading…";
  try {
    if (state.view === "directory") {
      const d = await api(`api/satellites/${s}/directory`);
      state.rows = d.files;
      $("files-note").textContent = `${d.total} file${d.total === 1 ? "" : "s"} in the directory of ${d.satellite}` + (d.files.length < d.total ? `, the newest ${d.files.length} shown` : "") + ".";
    } else {
      const d = await api(`api/satellites/${s}/messages`);
      state.messages = d.messages;
      $("files-note").textContent = `${d.messages.length} message${d.messages.length === 1 ? "" : "s"} filed by Dispo.`;
    }
    renderFiles();
  } catch (e) {
    $("files-note").textContent = e.message;
  }
}

function percentCell(percent) {
  const fill = el("i");
  fill.style.width = `${percent}%`; // a style property, which the page's policy allows
  return el("span", null, el("span", { class: "mini" }, fill), `${percent}%`);
}

function matches(values) {
  const f = $("filter").value.trim().toLowerCase();
  return !f || values.some((v) => String(v).toLowerCase().includes(f));
}

function renderFiles() {
  const dir = state.view === "directory";
  $("directory").hidden = !dir;
  $("messages").hidden = dir;
  if (dir) {
    const rows = state.rows.filter((r) => matches([r.file, r.from, r.to, r.title, r.name, r.keywords])).map((r) => {
      const tr = el("tr", null,
        el("td", null, el("span", { class: "status " + r.status, title: `status ${r.status_code}`, text: r.status })),
        el("td", { class: "mono", text: r.file }),
        el("td", { text: r.from }), el("td", { text: r.to }),
        el("td", { class: "title", text: r.title || r.name }),
        el("td", { class: "num", text: r.size }),
        el("td", null, r.message ? el("span", { class: "badge accent", text: "message" }) :
          r.status === "D" ? percentCell(100) : r.percent ? percentCell(r.percent) : ""),
        el("td", { class: "mono small", text: r.upload_time ? `${dayOf(r.upload_time)} ${hms(r.upload_time).slice(0, 5)}` : "" }));
      tr.addEventListener("click", () => openFile(r));
      return tr;
    });
    $("directory").tBodies[0].replaceChildren(...rows);
  } else {
    const rows = state.messages.filter((m) => matches([m.file, m.from, m.to, m.subject])).map((m) => {
      const tr = el("tr", null, el("td", { class: "mono", text: m.file + (m.mine ? " ★" : "") }), el("td", { text: m.from }),
        el("td", { text: m.to }), el("td", { class: "title", text: m.subject }),
        el("td", { class: "mono small", text: m.modified ? `${dayOf(m.modified)} ${hms(m.modified).slice(0, 5)}` : "" }));
      tr.addEventListener("click", () => openFile({ file: m.file, message: true, title: m.subject, from: m.from, to: m.to }));
      return tr;
    });
    $("messages").tBodies[0].replaceChildren(...rows);
  }
}

function openFile(r) {
  const s = encodeURIComponent(state.satellite);
  $("file-title").textContent = `${state.satellite} · ${r.file}`;
  const fields = [["Title", r.title], ["From", r.from], ["To", r.to], ["Name", r.name], ["Type", r.type_name || (r.type !== undefined ? r.type : "")],
    ["Size", r.size !== undefined ? `${r.size} bytes` : ""], ["Compression", r.compression], ["Received", r.percent ? `${r.percent}%` : ""],
    ["Keywords", r.keywords], ["Status", r.status]];
  $("file-fields").replaceChildren(...fields.filter(([, v]) => v !== undefined && v !== "").flatMap(([k, v]) => [el("dt", { text: k }), el("dd", { text: v })]));
  const marks = $("mark-buttons");
  marks.replaceChildren();
  if (state.session.can_control && r.status !== undefined) {
    for (const [name, code] of statusNames) {
      const b = el("button", { type: "button", class: "small ghost", text: name });
      b.addEventListener("click", async () => {
        $("file-error").textContent = "";
        try {
          const done = await control("api/mark", { satellite: state.satellite, file: r.file, status: code });
          r.status = done.status;
          $("file-error").textContent = `Marked ${name}.`;
          renderFiles();
        } catch (e) { $("file-error").textContent = e.message; }
      });
      marks.append(b);
    }
  }
  $("file-error").textContent = "";
  const text = $("file-text");
  text.hidden = true;
  const read = $("file-read");
  read.hidden = !r.message;
  read.onclick = async () => {
    try {
      const m = await api(`api/satellites/${s}/messages/${r.file}`);
      text.textContent = m.text + (m.cut ? "\n[…]" : "");
      text.hidden = false;
    } catch (e) { $("file-error").textContent = e.message; }
  };
  const open = $("file-open");
  open.hidden = !r.has_file || r.message;
  open.href = `api/satellites/${s}/files/${r.file}`;
  $("file-dialog").showModal();
}

// ---- checks -------------------------------------------------------------------------------

async function runChecks() {
  const list = $("checks-list");
  list.replaceChildren(el("li", { class: "note", text: "Checking…" }));
  try {
    const doc = await api("api/doctor");
    const icon = { ok: "✔", fault: "✖", "not configured": "–" };
    list.replaceChildren(...doc.checks.map((l) => el("li", null, el("span", { class: l.state.replace(" ", "_"), text: icon[l.state] || "?" }),
      el("span", { text: l.check }), el("span", { text: l.detail }))));
  } catch (e) {
    list.replaceChildren(el("li", { class: "error", text: e.message }));
  }
}

// ---- session, log-in and the live stream --------------------------------------------------

let stream = null;
function connect() {
  const picture = $("map-picture");
  if (picture.hidden) { picture.hidden = false; picture.src = "map.jpg"; }
  if (stream) stream.close();
  stream = new EventSource("api/events");
  stream.addEventListener("open", () => { $("conn").className = "dot on"; });
  stream.addEventListener("error", () => { $("conn").className = "dot off"; });
  const on = (name, show) => stream.addEventListener(name, (ev) => { try { show(JSON.parse(ev.data)); } catch (e) { console.error(e); } });
  on("live", showLive);
  on("engine", showEngine);
  on("map", showMap);
  on("log", showLog);
}

async function loadSession() {
  state.session = await api("api/session");
  $("login-button").hidden = !state.session.token_configured || state.session.authenticated;
  $("logout-button").hidden = !state.session.authenticated;
  if (!state.session.can_view) { openLogin(); return false; }
  return true;
}

function openLogin() {
  const d = $("login-dialog");
  if (!d.open) { $("login-error").textContent = ""; d.showModal(); }
}

async function start() {
  $("login-button").addEventListener("click", openLogin);
  $("login-cancel").addEventListener("click", () => $("login-dialog").close());
  $("logout-button").addEventListener("click", async () => { await fetch("logout", { method: "POST" }); location.reload(); });
  $("login-form").addEventListener("submit", async (ev) => {
    ev.preventDefault();
    const token = new FormData(ev.target).get("token");
    const r = await fetch("login", { method: "POST", credentials: "same-origin", headers: { "Content-Type": "application/x-www-form-urlencoded" }, body: new URLSearchParams({ token }).toString() });
    if (!r.ok) { const b = await r.json().catch(() => ({})); $("login-error").textContent = b.error || `HTTP ${r.status}`; return; }
    ev.target.reset();
    $("login-dialog").close();
    if (await loadSession()) { connect(); loadSatellites(); }
  });
  $("file-close").addEventListener("click", () => $("file-dialog").close());
  $("sat-select").addEventListener("change", (ev) => { state.satellite = ev.target.value; loadFiles(); });
  $("show-directory").addEventListener("click", () => { state.view = "directory"; $("show-directory").className = "on"; $("show-messages").className = ""; loadFiles(); });
  $("show-messages").addEventListener("click", () => { state.view = "messages"; $("show-messages").className = "on"; $("show-directory").className = ""; loadFiles(); });
  $("filter").addEventListener("input", renderFiles);
  $("reload-files").addEventListener("click", loadFiles);
  $("run-checks").addEventListener("click", runChecks);
  $("map-picture").addEventListener("error", () => { $("map-picture").hidden = true; });
  try {
    if (!(await loadSession())) return;
  } catch (e) {
    $("status-line").textContent = e.message;
    return;
  }
  connect();
  loadSatellites().catch((e) => { $("files-note").textContent = e.message; });
}

start();
