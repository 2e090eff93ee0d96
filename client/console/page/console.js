// The console page: follows the server's headless screen through the
// console's event stream and draws it as the screen's model holds it (sizes,
// positions and kinds of controls); clicks, typing and answers go back as
// small form posts carrying the console's token.
"use strict";

(function () {
  const TOKEN_KEY = "rvz-console-token";
  let token = null;
  let state = null;
  let streamAbort = null;
  let retryTimer = null;
  let stateNotice = false;         // the notice shows the state's error, not an action's
  const openLists = new Set();   // combo boxes whose list is dropped down: "window/control"

  const $ = (id) => document.getElementById(id);

  function el(tag, props, children) {
    const e = document.createElement(tag);
    if (props) {
      for (const [k, v] of Object.entries(props)) {
        if (v === undefined || v === null || v === false) continue;
        if (k === "class") e.className = v;
        else if (k === "text") e.textContent = v;
        else if (k === "style") Object.assign(e.style, v);
        else if (k.startsWith("on")) e.addEventListener(k.slice(2), v);
        else if (v === true) e.setAttribute(k, "");
        else e.setAttribute(k, v);
      }
    }
    for (const c of children || []) if (c) e.append(c);
    return e;
  }

  // "确定(&O)" as shown: the accelerator underlined, "&&" a literal "&".
  function caption(text) {
    const frag = document.createDocumentFragment();
    let plain = "";
    for (let i = 0; i < text.length; i++) {
      if (text[i] !== "&") { plain += text[i]; continue; }
      if (text[i + 1] === "&") { plain += "&"; i++; continue; }
      if (i + 1 < text.length) {
        frag.append(plain, el("u", { text: text[i + 1] }));
        plain = "";
        i++;
      }
    }
    frag.append(plain);
    return frag;
  }

  // Windows' line ends shown as line breaks.
  const lines = (t) => (t || "").replace(/\r\n/g, "\n");

  function notice(text) {
    const n = $("notice");
    n.textContent = text || "";
    n.hidden = !text;
  }

  // --- the token ---------------------------------------------------------

  function takeToken() {
    const m = /^#token=([0-9A-Za-z._~-]+)$/.exec(location.hash);
    if (m) {
      sessionStorage.setItem(TOKEN_KEY, m[1]);
      history.replaceState(null, "", location.pathname);
    }
    return sessionStorage.getItem(TOKEN_KEY);
  }

  function askToken(message) {
    token = null;
    sessionStorage.removeItem(TOKEN_KEY);
    if (streamAbort) streamAbort.abort();
    $("screen").hidden = true;
    $("login").hidden = false;
    $("login-error").textContent = message || "";
    setStatus(false, "token needed");
    $("token").focus();
  }

  $("login").addEventListener("submit", (ev) => {
    ev.preventDefault();
    const t = $("token").value.trim();
    $("token").value = "";
    if (!t) return;
    sessionStorage.setItem(TOKEN_KEY, t);
    token = t;
    $("login").hidden = true;
    connect();
  });

  function setStatus(on, text) {
    const s = $("status");
    s.textContent = text;
    s.className = "status " + (on ? "on" : "off");
  }

  // --- the event stream ---------------------------------------------------

  function scheduleReconnect() {
    if (retryTimer || !token) return;
    retryTimer = setTimeout(() => { retryTimer = null; connect(); }, 2000);
  }

  async function connect() {
    if (streamAbort) streamAbort.abort();
    const abort = new AbortController();
    streamAbort = abort;
    let response;
    try {
      response = await fetch("/events", { headers: { "X-Console-Token": token }, cache: "no-store", signal: abort.signal });
    } catch (e) {
      if (abort.signal.aborted) return;
      setStatus(false, "console not reachable");
      scheduleReconnect();
      return;
    }
    if (response.status === 401) { askToken("The console did not take this token."); return; }
    if (!response.ok || !response.body) {
      setStatus(false, "console answered " + response.status);
      scheduleReconnect();
      return;
    }
    $("screen").hidden = false;
    const reader = response.body.getReader();
    const decoder = new TextDecoder("utf-8");
    let buffer = "";
    try {
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        buffer += decoder.decode(value, { stream: true });
        let end;
        while ((end = buffer.indexOf("\n\n")) >= 0) {
          const block = buffer.slice(0, end);
          buffer = buffer.slice(end + 2);
          handleEvent(block);
        }
      }
    } catch (e) {
      if (abort.signal.aborted) return;
    }
    if (abort.signal.aborted) return;
    setStatus(false, "console connection lost");
    scheduleReconnect();
  }

  function handleEvent(block) {
    let name = "message";
    const data = [];
    for (const line of block.split("\n")) {
      if (line.startsWith(":")) continue;
      const colon = line.indexOf(":");
      const field = colon < 0 ? line : line.slice(0, colon);
      let value = colon < 0 ? "" : line.slice(colon + 1);
      if (value.startsWith(" ")) value = value.slice(1);
      if (field === "event") name = value;
      else if (field === "data") data.push(value);
    }
    if (name !== "state" || data.length === 0) return;
    state = JSON.parse(data.join("\n"));
    render();
  }

  // --- actions --------------------------------------------------------------

  async function act(fields) {
    notice("");
    let response;
    try {
      response = await fetch("/act", {
        method: "POST",
        headers: { "X-Console-Token": token, "Content-Type": "application/x-www-form-urlencoded" },
        body: new URLSearchParams(fields),
        cache: "no-store",
      });
    } catch (e) {
      notice("The console cannot be reached.");
      return false;
    }
    if (response.status === 401) { askToken("The console did not take this token."); return false; }
    let answer = null;
    try { answer = await response.json(); } catch (e) { answer = null; }
    if (!answer || !answer.ok) {
      notice((answer && answer.error) || "The console answered " + response.status + ".");
      return false;
    }
    return true;
  }

  // --- drawing --------------------------------------------------------------

  function render() {
    setStatus(state.connected, state.connected ? "server screen connected" : "server screen not reachable");
    // The state's own trouble is shown while it lasts; an action's refusal
    // stays until the next action.
    if (state.error) { notice(state.error); stateNotice = true; }
    else if (stateNotice) { notice(""); stateNotice = false; }
    renderTray(state.tray);
    renderBoxes(state.boxes);
    renderWindows(state.windows);
  }

  function keepFocus(container, draw) {
    // Redrawing must not take a field from under the operator's fingers.
    const active = document.activeElement;
    const key = active && container.contains(active) ? active.dataset.key : null;
    const value = active && key && active.dataset.dirty !== undefined ? active.value : null;
    const sel = active && key && "selectionStart" in active ? [active.selectionStart, active.selectionEnd] : null;
    draw();
    if (!key) return;
    const again = container.querySelector('[data-key="' + CSS.escape(key) + '"]');
    if (!again) return;
    if (value !== null && "value" in again) { again.value = value; again.dataset.dirty = ""; }
    again.focus();
    if (sel && again.setSelectionRange) { try { again.setSelectionRange(sel[0], sel[1]); } catch (e) { /* not a text field */ } }
  }

  function renderTray(tray) {
    const box = $("tray");
    box.replaceChildren();
    if (!tray) { box.append(el("p", { class: "empty", text: "The tray cannot be read." })); return; }
    const usable = tray.visible && tray.enabled;
    const menu = el("menu", { "aria-label": "Tray menu" },
      tray.menu.map((item) => el("li", null, [el("button", {
        type: "button", disabled: !usable || !item.enabled, "data-key": "tray/" + item.name,
        onclick: () => act({ command: "menu", target: item.name }),
      }, [caption(item.caption)])])));
    box.append(el("div", { class: "tray" + (tray.visible ? "" : " out") }, [
      el("div", null, [el("span", { class: "icon", "aria-hidden": "true" }), el("span", { class: "hint", text: tray.hint })]),
      el("div", { class: "state", text: (tray.visible ? "in the tray" : "not in the tray") +
        (tray.enabled ? "" : ", ignores the mouse") }),
      menu,
    ]));
  }

  const GLYPHS = { error: "✕", warning: "!", question: "?", information: "i" };

  function renderBoxes(boxes) {
    const host = $("boxes");
    keepFocus(host, () => {
      host.replaceChildren();
      if (!boxes) { host.append(el("p", { class: "empty", text: "The boxes cannot be read." })); return; }
      if (boxes.length === 0) { host.append(el("p", { class: "empty", text: "No message box or dialog is open." })); return; }
      for (const b of boxes) host.append(b.kind === "box" ? drawBox(b) : drawWindow(b, "#" + b.id, true));
    });
  }

  function drawBox(b) {
    const target = "#" + b.id;
    const buttons = b.buttons.map((name) => el("button", {
      type: "button", class: name === b.default ? "default" : null, disabled: !b.input,
      "data-key": "box" + b.id + "/" + name,
      onclick: () => act({ command: "answer", target: name, window: target }),
    }, [document.createTextNode(name)]));
    const glyph = b.icon && b.icon !== "none" ? el("div", { class: "glyph " + b.icon, text: GLYPHS[b.icon], role: "img", "aria-label": b.icon }) : null;
    return el("div", { class: "frame box" + (b.input ? "" : " behind"), role: "alertdialog", "aria-label": b.caption, "data-box": b.id,
      onkeydown: (ev) => { if (b.input && ev.key === "Escape") { ev.preventDefault(); act({ command: "close", window: target }); } },
    }, [
      el("div", { class: "title" }, [el("span", { text: b.caption }), b.input ? null : el("span", { class: "tags", text: "behind another box" })]),
      el("div", { class: "body" }, [glyph, el("div", { class: "text", text: lines(b.text) })]),
      el("div", { class: "buttons" }, buttons),
    ]);
  }

  function renderWindows(windows) {
    const host = $("windows");
    keepFocus(host, () => {
      host.replaceChildren();
      if (!windows) { host.append(el("p", { class: "empty", text: "The windows cannot be read." })); return; }
      if (windows.length === 0) { host.append(el("p", { class: "empty", text: "The server has no windows." })); return; }
      for (const w of windows) host.append(drawWindow(w, w.name, false));
    });
  }

  // A window or dialog at the size the model gives, its controls where the
  // model puts them; controls without a place are laid out in a column.
  function drawWindow(w, target, isDialog) {
    const tags = [];
    if (!isDialog && !w.visible) tags.push("hidden on the server");
    if (w.stayOnTop) tags.push("stays on top");
    if (isDialog && !w.input) tags.push("behind another box");
    // A form, as a window holding a password box should be; nothing in it
    // submits: every control acts on its own.
    const frame = el("form", {
      class: "frame window" + (isDialog && !w.input ? " behind" : ""), role: isDialog ? "dialog" : "region",
      "aria-label": w.caption || w.name, "data-window": w.name, novalidate: true,
      onsubmit: (ev) => ev.preventDefault(),
      // Esc asks a dialog to close with Cancel, as its close box does.
      onkeydown: (ev) => {
        if (isDialog && w.input && ev.key === "Escape") { ev.preventDefault(); act({ command: "close", window: target }); }
      },
    }, [el("div", { class: "title" }, [el("span", { text: w.caption || w.name }), tags.length ? el("span", { class: "tags", text: tags.join(", ") }) : null])]);
    if (w.responding === false) {
      frame.append(el("div", { class: "flow" }, [el("p", { text: "The dialog's thread does not answer." })]));
      return frame;
    }
    const sized = w.width > 0 && w.height > 0;
    const client = el("div", { class: sized ? "client" : "client flow", style: sized ? { width: w.width + "px", height: w.height + "px" } : null });
    frame.append(client);
    const byName = new Map();
    const loose = [];
    const ctx = { window: w.name, target, locked: isDialog && !w.input };
    for (const c of w.controls) {
      const node = drawControl(c, ctx);
      byName.set(c.name.toLowerCase(), node);
      if (!(c.width > 0 && c.height > 0)) loose.push(node);
    }
    for (const c of w.controls) {
      const node = byName.get(c.name.toLowerCase());
      if (!(c.width > 0 && c.height > 0)) continue;
      Object.assign(node.style, { left: c.left + "px", top: c.top + "px", width: c.width + "px", height: c.height + "px" });
      const parent = c.parent ? byName.get(c.parent.toLowerCase()) : null;
      (parent || client).append(node);
    }
    if (loose.length) {
      const flow = sized ? el("div", { class: "flow notes" }) : client;
      for (const n of loose) flow.append(n);
      if (flow !== client) frame.append(flow);
    }
    return frame;
  }

  function drawControl(c, ctx) {
    const key = ctx.window + "/" + c.name;
    const disabled = !c.enabled || ctx.locked;
    const common = { "data-key": key, "data-control": c.name, title: c.hint || null, hidden: !c.visible };
    const send = (fields) => act(Object.assign({ target: c.name, window: ctx.window }, fields));
    const setText = (input) => {
      delete input.dataset.dirty;
      send({ command: "set", text: input.value });
    };
    switch (c.kind) {
      case "edit":
        return el("input", Object.assign({
          class: "ctl edit", type: c.password ? "password" : "text", value: c.text, disabled,
          readonly: c.readOnly, autocomplete: c.password ? "new-password" : "off", spellcheck: "false",
          onfocus: (ev) => { if (c.password) ev.target.select(); },
          oninput: (ev) => { ev.target.dataset.dirty = ""; },
          onchange: (ev) => setText(ev.target),
        }, common));
      case "memo":
        return el("textarea", Object.assign({
          class: "ctl memo", disabled, readonly: c.readOnly, spellcheck: "false",
          oninput: (ev) => { ev.target.dataset.dirty = ""; },
          onchange: (ev) => setText(ev.target),
        }, common), [document.createTextNode(lines(c.text))]);
      case "combobox": {
        const open = openLists.has(key);
        const input = el("input", {
          type: "text", value: c.text, disabled, "data-key": key, spellcheck: "false", autocomplete: "off",
          "aria-label": c.hint || c.name,
          oninput: (ev) => { ev.target.dataset.dirty = ""; },
          onchange: (ev) => setText(ev.target),
        });
        const list = open ? el("ul", { role: "listbox" }, (c.items.length ? c.items : [null]).map((item) =>
          item === null ? el("li", { class: "none", text: "(empty)" }) :
          el("li", { role: "option", tabindex: "0", text: item, "data-key": key + "/" + item,
            onclick: () => { openLists.delete(key); send({ command: "set", text: item }); },
            onkeydown: (ev) => { if (ev.key === "Enter") { openLists.delete(key); send({ command: "set", text: item }); } },
          }))) : null;
        return el("div", Object.assign({ class: "ctl combo" }, { title: c.hint || null, hidden: !c.visible, "data-control": c.name }), [
          input,
          el("button", {
            type: "button", class: "drop", disabled, "aria-label": "drop down", "data-key": key + "/drop",
            onclick: async () => {
              if (openLists.has(key)) { openLists.delete(key); render(); return; }
              openLists.add(key);
              if (!(await send({ command: "dropdown" }))) openLists.delete(key);
              render();
            },
          }, [document.createTextNode("▼")]),
          list,
        ]);
      }
      case "button":
        return el("button", Object.assign({ class: "ctl button", type: "button", disabled,
          onclick: () => send({ command: "click" }) }, common), [caption(c.text)]);
      case "checkbox":
        return el("label", Object.assign({ class: "ctl checkbox" + (disabled ? " disabled" : "") }, { hidden: !c.visible, title: c.hint || null, "data-control": c.name }), [
          el("input", { type: "checkbox", checked: c.checked, disabled, "data-key": key,
            onclick: (ev) => { ev.preventDefault(); send({ command: "click" }); } }),
          el("span", null, [caption(c.text)]),
        ]);
      case "panel":
        return el("div", Object.assign({ class: "ctl panel" }, common), c.text ? [document.createTextNode(c.text)] : []);
      default: {
        // Labels: a click reaches the label's handler, as "测试连接..." tests the link.
        return el("span", Object.assign({ class: "ctl label" + (disabled ? " disabled" : ""),
          role: "button", tabindex: disabled ? null : "0",
          onclick: () => { if (!disabled) send({ command: "click" }); },
          onkeydown: (ev) => { if (!disabled && ev.key === "Enter") send({ command: "click" }); },
        }, common), [caption(c.text)]);
      }
    }
  }

  // --- start ------------------------------------------------------------------

  token = takeToken();
  if (token) connect();
  else askToken("");
})();
