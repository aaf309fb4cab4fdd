"use strict";
// The web grouper's page: reads a stay from the fields or a pasted record
// line, asks the server to group it and shows the result and how it came
// about. The server builds and checks the record line; the page only
// shows what it answers, next to the field it names. It sees for itself
// only what is missing or unreadable, so as not to ask before the stay is whole.
(() => {
  const $ = (id) => document.getElementById(id);
  const STORE_KEY = "drg-grouper-page";
  const CODE_LIMITS = { diagnoses: 10, procedures: 36 };
  const DATE_FIELDS = ["effectiveDate", "birthDate"];
  const NUMBER_FIELDS = ["stayDays", "status", "birthWeight", "ventilationHours"];
  const LABELS = {
    effectiveDate: "Date of the stay", birthDate: "Birth date", sex: "Sex", stayDays: "Days in hospital",
    status: "Discharge status", birthWeight: "Birth weight", ventilationHours: "Ventilation hours",
    diagnoses: "Diagnoses", procedures: "Procedures", record: "Record line",
  };
  const touched = new Set();
  let lineTimer = 0;
  let lineRequest = 0;
  let groupRequest = 0;
  const ANSWER_WAIT_MS = 10000;

  // ---- small helpers -------------------------------------------------
  function el(tag, attrs, ...children) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attrs || {})) {
      if (key === "class") node.className = value;
      else node.setAttribute(key, value);
    }
    for (const child of children.flat(Infinity)) {
      if (child === null || child === undefined || child === false) continue;
      node.append(child instanceof Node ? child : String(child));
    }
    return node;
  }
  const code = (text) => el("code", null, text);

  function codeLabel(kind, index) {
    if (kind === "diagnoses") return index === 0 ? "Principal" : `Diagnosis ${index + 1}`;
    return `Procedure ${index + 1}`;
  }

  function labelOf(field) {
    const m = /^(diagnoses|procedures)\[(\d+)\]$/.exec(field);
    if (m) return m[1] === "diagnoses" && m[2] === "0" ? "Principal diagnosis" : codeLabel(m[1], Number(m[2]));
    return LABELS[field] || field;
  }

  // The server's messages begin with the field's JSON name; the page says it plainly.
  function plainMessage(field, message) {
    return field && message.startsWith(field) ? labelOf(field) + message.slice(field.length) : message;
  }

  function inputOf(field) {
    const m = /^(diagnoses|procedures)\[(\d+)\]$/.exec(field);
    return $(m ? `${m[1]}-${m[2]}` : field);
  }

  function errorSlotOf(field) {
    const m = /^(diagnoses|procedures)\[(\d+)\]$/.exec(field);
    return $(m ? `${m[1]}-${m[2]}-error` : `${field}-error`);
  }

  // Asks the server and gives one of three: { result } (200), { errors } (400: the
  // stay's or the line's faults, each naming its field) or { trouble }: a sentence on
  // any other answer, or on none, which is the server's trouble and not the user's.
  // A server that stops answering must not leave the page waiting for ever. `path` is
  // relative to the page, as every address the page uses: a proxy may serve it under a
  // path of its own.
  async function postJson(path, body) {
    const abort = new AbortController();
    const timer = setTimeout(() => abort.abort(), ANSWER_WAIT_MS);
    let response;
    try {
      response = await fetch(path, {
        method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(body),
        signal: abort.signal,
      });
      const text = await response.text();
      let answer = null;
      try { answer = JSON.parse(text); } catch (e) { /* a proxy's error page, say */ }
      const read = answer !== null && typeof answer === "object";
      if (read && response.status === 200) return { result: answer };
      if (read && response.status === 400) return { errors: errorsOf(answer) };
      const said = read && typeof answer.error === "string" ? answer.error.replace(/\.?$/, ".")
        : "an answer the page cannot read.";
      return { trouble: `The server answered with status ${response.status}: ${said}` };
    } catch (e) {
      if (abort.signal.aborted) return { trouble: `The server did not answer within ${ANSWER_WAIT_MS / 1000} seconds.` };
      return { trouble: response ? `The server's answer broke off (${e.message}).`
        : `The server did not answer (${e.message}); it may have stopped.` };
    } finally {
      clearTimeout(timer);
    }
  }

  const formatDate = (n) => {
    const s = String(n).padStart(8, "0");
    return `${s.slice(0, 4)}-${s.slice(4, 6)}-${s.slice(6, 8)}`;
  };
  // A row's validity in words; 0 and 99991231 are the open ends.
  const validity = (from, to) => {
    if (from <= 0 && to >= 99991231) return "on stays of any date";
    if (from <= 0) return `on stays until ${formatDate(to)}`;
    if (to >= 99991231) return `on stays from ${formatDate(from)} on`;
    return `on stays from ${formatDate(from)} to ${formatDate(to)}`;
  };
  const dateDigits = (value) => value.replaceAll("-", "");
  const list = (items) => items.join(", ");

  // ---- the code rows -------------------------------------------------
  function codeValues(kind) {
    return Array.from($(`${kind}-rows`).querySelectorAll("input"), (input) => input.value);
  }

  function renderCodeRows(kind, values, focusIndex) {
    const rows = $(`${kind}-rows`);
    rows.replaceChildren();
    values.forEach((value, index) => {
      const id = `${kind}-${index}`;
      const input = el("input", {
        type: "text", id, autocomplete: "off", spellcheck: "false", "aria-describedby": `${id}-error`,
      });
      input.value = value;
      const remove = el("button", {
        type: "button", class: "remove", "aria-label": `Remove ${labelOf(`${kind}[${index}]`).toLowerCase()}`,
        title: "Remove",
      }, "×");
      remove.addEventListener("click", () => removeCodeRow(kind, index));
      rows.append(el("li", { class: "code-row" },
        el("label", { for: id }, codeLabel(kind, index)), input, remove, el("p", { class: "error", id: `${id}-error` })));
    });
    $(kind === "diagnoses" ? "add-diagnosis" : "add-procedure").disabled = values.length >= CODE_LIMITS[kind];
    if (focusIndex !== undefined) $(`${kind}-${Math.min(focusIndex, values.length - 1)}`)?.focus();
  }

  function addCodeRow(kind) {
    const values = codeValues(kind);
    if (values.length >= CODE_LIMITS[kind]) return;
    values.push("");
    renderCodeRows(kind, values, values.length - 1);
    save();
    noteEdit("tab-fields");
  }

  function removeCodeRow(kind, index) {
    const values = codeValues(kind);
    values.splice(index, 1);
    if (values.length === 0) values.push("");
    renderCodeRows(kind, values, index);
    touched.add(kind);
    save();
    scheduleLine();
    noteEdit("tab-fields");
  }

  // ---- reading and keeping what was typed ----------------------------
  function readStay() {
    const stay = {};
    // A date the calendar lacks (30 February) reaches the page as no value at all.
    for (const name of DATE_FIELDS) stay[name] = $(name).validity.badInput ? "?" : dateDigits($(name).value);
    const sex = document.querySelector('input[name="sex"]:checked');
    if (sex) stay.sex = sex.value;
    for (const name of NUMBER_FIELDS) {
      const input = $(name);
      if (input.validity.badInput) stay[name] = "?";
      else if (input.value.trim() !== "") stay[name] = Number(input.value);
    }
    for (const kind of ["diagnoses", "procedures"]) {
      const values = codeValues(kind);
      while (values.length && values[values.length - 1].trim() === "") values.pop();
      stay[kind] = values;
    }
    return stay;
  }

  function save() {
    const sex = document.querySelector('input[name="sex"]:checked');
    const kept = {
      tab: $("tab-line").getAttribute("aria-selected") === "true" ? "line" : "fields",
      effectiveDate: $("effectiveDate").value, birthDate: $("birthDate").value, sex: sex ? sex.value : "",
      diagnoses: codeValues("diagnoses"), procedures: codeValues("procedures"), record: $("record").value,
    };
    for (const name of NUMBER_FIELDS) kept[name] = $(name).value;
    try { localStorage.setItem(STORE_KEY, JSON.stringify(kept)); } catch (e) { /* private mode: keep nothing */ }
  }

  function restore() {
    let kept = {};
    try { kept = JSON.parse(localStorage.getItem(STORE_KEY) || "{}") || {}; } catch (e) { kept = {}; }
    for (const name of ["effectiveDate", "birthDate", "record", ...NUMBER_FIELDS])
      if (typeof kept[name] === "string") $(name).value = kept[name];
    for (const radio of document.querySelectorAll('input[name="sex"]')) radio.checked = radio.value === kept.sex;
    for (const kind of ["diagnoses", "procedures"]) {
      const values = Array.isArray(kept[kind]) ? kept[kind].filter((v) => typeof v === "string") : [];
      renderCodeRows(kind, values.length ? values.slice(0, CODE_LIMITS[kind]) : [""]);
    }
    selectTab(kept.tab === "line" ? "tab-line" : "tab-fields", false);
    noteWideCharacter();
  }

  // ---- errors next to their fields -----------------------------------
  function clearErrors(form, formErrorId) {
    for (const slot of form.querySelectorAll(".error")) slot.textContent = "";
    for (const input of form.querySelectorAll("[aria-invalid]")) input.removeAttribute("aria-invalid");
    $(formErrorId).hidden = true;
  }

  // Shows each error next to its field; only fields in `only` when given.
  // Gives the first field shown, to take the focus.
  function showErrors(errors, formErrorId, only) {
    let first = null;
    const loose = [];
    for (const { field, error } of errors) {
      if (only && !only(field)) continue;
      const slot = errorSlotOf(field);
      // A field the browser could not read reaches the server as "?", which the user never typed.
      const unreadable = (DATE_FIELDS.includes(field) || NUMBER_FIELDS.includes(field)) && $(field).validity.badInput;
      // The browser tells a half-typed date from a 30 February no better than by "unreadable".
      const message = !unreadable ? plainMessage(field, error)
        : DATE_FIELDS.includes(field)
          ? `${labelOf(field)} is unfinished or not a day of the calendar; check the day, the month and the year`
        : `${labelOf(field)} must be a whole number from 0 to ${$(field).max}; what is typed is not one`;
      if (!slot) { loose.push(message); continue; }
      slot.textContent = message;
      const input = inputOf(field);
      if (input) input.setAttribute("aria-invalid", "true");
      first = first || input || slot;
    }
    if (loose.length) {
      $(formErrorId).textContent = loose.join(" ");
      $(formErrorId).hidden = false;
    }
    return first;
  }

  const errorsOf = (body) => body.errors || [{ field: body.field || "", error: body.error || "The request failed." }];
  const touchedField = (field) => touched.has(field.replace(/\[\d+\]$/, "")) || touched.has(field);

  // What the page sees is missing or unreadable without asking: the dates and
  // the sex, which every line needs, and a field the browser could not read.
  function gapsOf(stay) {
    const gaps = [];
    for (const name of [...DATE_FIELDS, "sex", ...NUMBER_FIELDS]) {
      const value = stay[name];
      if (value === "?") gaps.push({ field: name, error: "" });  // worded by showErrors, which sees it unreadable
      else if (name === "sex" && !value) gaps.push({ field: name, error: "Sex is not chosen; choose male or female" });
      else if (DATE_FIELDS.includes(name) && value === "") gaps.push({ field: name, error: `${labelOf(name)} is empty; enter a date` });
    }
    return gaps;
  }

  // ---- the record line, built by the server as the user types ---------
  function scheduleLine() {
    clearTimeout(lineTimer);
    lineTimer = setTimeout(refreshLine, 250);
  }

  // An unfinished stay is not sent: the server could only refuse it.
  async function refreshLine(showAll) {
    const request = ++lineRequest;
    const stay = readStay();
    const gaps = gapsOf(stay);
    const reply = gaps.length ? { errors: gaps } : await postJson("api/record", stay);
    if (request !== lineRequest) return;  // a newer one is under way
    const target = $("built-line");
    clearErrors($("stay-form"), "stay-form-error");
    target.classList.toggle("is-placeholder", !reply.result);
    if (reply.result) { target.textContent = reply.result.record; return; }
    if (reply.trouble) { target.textContent = `No line: ${reply.trouble}`; return; }
    // Named here too, for a field not yet left is not marked.
    const names = [...new Set(reply.errors.map((e) => labelOf(e.field)).filter(Boolean))].join(", ");
    target.textContent = gaps.length ? `The line needs these filled in first: ${names}.`
      : `The line appears once these are right: ${names}.`;
    showErrors(reply.errors, "stay-form-error", showAll ? null : touchedField);
  }

  async function copyLine() {
    const text = $("built-line").classList.contains("is-placeholder") ? "" : $("built-line").textContent;
    const status = $("copy-status");
    if (!text) { status.textContent = "Nothing to copy yet"; return; }
    try {
      await navigator.clipboard.writeText(text);
      status.textContent = "Copied";
    } catch (e) {
      const range = document.createRange();
      range.selectNodeContents($("built-line"));
      const selection = getSelection();
      selection.removeAllRanges();
      selection.addRange(range);
      status.textContent = "Selected: press Ctrl+C";
    }
    setTimeout(() => { status.textContent = ""; }, 2500);
  }

  // A record line is bytes: a character outside ASCII takes two to four of
  // them, and every field after it moves along.
  function noteWideCharacter() {
    const text = $("record").value;
    const at = text.search(/[^\x00-\x7f]/u);
    if (at < 0) { $("record-note").textContent = ""; return; }
    const encoder = new TextEncoder();
    const character = String.fromCodePoint(text.codePointAt(at));
    const extra = encoder.encode(character).length - 1;
    $("record-note").textContent = `Column ${encoder.encode(text.slice(0, at)).length} holds "${character}", `
      + `which is not plain ASCII and takes ${extra + 1} bytes of the line: the columns after it move `
      + `${extra} to the right.`;
  }

  // ---- grouping ------------------------------------------------------
  async function groupStay(event) {
    event.preventDefault();
    for (const name of Object.keys(LABELS)) touched.add(name);
    save();
    clearTimeout(lineTimer);
    const stay = readStay();
    const request = startGrouping("tab-fields");
    const [reply] = await Promise.all([postJson("api/group", stay), refreshLine(true)]);
    if (request !== groupRequest) return;  // a newer one is under way
    if (!reply.errors) { showAnswer(reply); return; }
    clearResult("No result: the stay has errors, marked above.", true);
    // The same rules refused the stay as the line: every error by its field, the focus on the first.
    clearErrors($("stay-form"), "stay-form-error");
    const first = showErrors(reply.errors, "stay-form-error");
    if (first) first.focus();
  }

  async function groupLine(event) {
    event.preventDefault();
    save();
    const form = $("line-form");
    clearErrors(form, "line-form-error");
    const request = startGrouping("tab-line");
    const reply = await postJson("api/group", { record: $("record").value });
    if (request !== groupRequest) return;
    if (!reply.errors) { showAnswer(reply); return; }
    clearResult("No result: the line has errors, marked above.", true);
    const first = showErrors(reply.errors, "line-form-error");
    if (first) first.focus();
  }

  // ---- the result and how it came about ------------------------------
  function slotName(slot) {
    if (slot === 1) return "principal";
    return slot <= 10 ? `diagnosis ${slot}` : `procedure ${slot - 10}`;
  }

  function summaryOf(r) {
    if (r.status !== "grouped") return "The release refused the record: its conditions do not fit the grouper.";
    if (r.mdcRow === null) return "No decision row fits the principal diagnosis: the stay has no MDC and no DRG.";
    if (r.adrgRow === null) return `MDC ${r.mdc.trim()} found, but no ADRG row fits: the stay has no DRG.`;
    if (r.drg === "000000") return `MDC ${r.mdc.trim()} and ADRG ${r.adrg} found, but no refinement row fits: the stay has no DRG.`;
    return `Grouped into DRG ${r.drg} with patient complexity level ${r.pccl}.`;
  }

  function passSection(title, pass, table, gives) {
    const body = [];
    if (!pass.ran) {
      body.push(el("p", null, "Not searched: the step before it found nothing."));
    } else if (pass.row === null) {
      body.push(el("p", null, `No row from ${pass.firstRow} to ${pass.endRow - 1} of `, code(table),
        ` fits this stay, so it has no ${gives}.`));
    } else {
      const result = gives === "MDC" ? pass.givesMdc.trim() : pass.givesAdrg;
      body.push(el("p", null, `Row ${pass.row} of `, code(table), ` decides: ${gives} `, el("strong", null, result),
        ` (the first fitting row of ${pass.firstRow} to ${pass.endRow - 1}).`));
      const needs = [];
      if (pass.mustHold.length) needs.push(`conditions ${list(pass.mustHold)} raised`);
      if (pass.mustNotHold.length) needs.push(`none of ${list(pass.mustNotHold)}`);
      body.push(el("p", null, `It asks for ${needs.length ? needs.join(" and ") : "nothing"}, `
        + `${validity(pass.validFrom, pass.validTo)}.`));
    }
    return el("section", null, el("h3", null, title), body);
  }

  // Column 14 is read as its character minus '0', whatever the character.
  function sexText(sexDigit) {
    const sex = sexDigit % 2 !== 0 ? "male" : "female";
    if (sexDigit >= 0 && sexDigit <= 9) return `${sex} (column 14 holds ${sexDigit})`;
    const byte = 48 + sexDigit;
    const shown = byte > 32 && byte < 127 ? `"${String.fromCharCode(byte)}"` : byte === 32 ? "a blank" : `byte ${byte}`;
    return `${sex} (column 14 holds ${shown}, not a digit: read as ${sexDigit}, ${sex === "male" ? "odd" : "even"})`;
  }

  function explanationOf(r) {
    const f = r.fields;
    const sections = [];
    sections.push(el("section", null, el("h3", null, "The stay as read"),
      el("dl", { class: "facts" },
        el("dt", null, "Date of the stay"), el("dd", null, formatDate(f.effectiveDate)),
        el("dt", null, "Age"), el("dd", null, `${f.ageYears} years (${f.ageDays} days)`),
        el("dt", null, "Sex"), el("dd", null, sexText(f.sexDigit)),
        el("dt", null, "Days in hospital"), el("dd", null, f.stayDays),
        el("dt", null, "Discharge status"), el("dd", null, f.status),
        el("dt", null, "Birth weight"), el("dd", null, `${f.birthWeight} g`),
        el("dt", null, "Ventilation"), el("dd", null, `${f.ventilationHours} hours`),
        el("dt", null, "Tables in force"),
        el("dd", null, "decisions ", code(r.decisionTable), ", levels ", code(r.levelTable), ", exclusions ",
          code(r.exclusionTable)))));

    const codeRows = r.codes.map((c) => el("tr", null,
      el("td", null, slotName(c.slot)), el("td", null, code(c.text)),
      el("td", null, c.repeatOf !== null ? el("span", { class: "tag" }, `repeats slot ${c.repeatOf}, counted once`)
        : c.found ? el("span", { class: "tag found" }, "found") : el("span", { class: "tag missing" }, "not in the release"))));
    sections.push(el("section", null, el("h3", null, "Codes found"),
      codeRows.length ? el("table", { class: "trace" }, el("thead", null, el("tr", null,
        el("th", null, "Slot"), el("th", null, "Code"), el("th", null, "In the release"))), el("tbody", null, codeRows))
        : el("p", null, "The record holds no code."),
      r.daggerAsteriskExchanged ? el("p", null, "The principal diagnosis traded places with its asterisk partner.") : null));

    sections.push(el("section", null, el("h3", null, "Conditions raised"),
      r.raised.length ? el("ul", null, r.raised.map((c) => el("li", null, el("strong", null, `Condition ${c.condition}`),
        c.derived ? `: derived, ${c.rule}` : [": from ", c.sources.map((s, i) => [i ? ", " : "", code(s.code),
          ` (${slotName(s.slot)})`])])))
        : el("p", null, "No condition was raised.")));

    sections.push(passSection("Major diagnostic category", r.mdcPass, r.decisionTable, "MDC"));
    sections.push(passSection("Adjacent DRG", r.adrgPass, r.decisionTable, "ADRG"));

    if (r.refinement) {
      const rf = r.refinement;
      sections.push(el("section", null, el("h3", null, "Refinement by age and date"), el("p", null,
        rf.row === null ? `No refinement row fits; the suffix stays ${rf.suffix}, giving `
          : `Refinement row ${rf.row} gives the suffix ${rf.suffix}: `, code(rf.refinedCode), ".")));
    }

    if (r.adrgRow !== null) {
      const levelRows = r.levelDetails.map((d) => el("tr", null,
        el("td", null, slotName(d.slot)), el("td", null, code(d.code)), el("td", null, d.level),
        el("td", null, el("strong", null, d.finalLevel)), el("td", null, d.clearedBy || "kept")));
      sections.push(el("section", null, el("h3", null, "Secondary diagnoses"),
        levelRows.length ? el("table", { class: "trace" }, el("thead", null, el("tr", null,
          el("th", null, "Slot"), el("th", null, "Code"), el("th", null, "Level"), el("th", null, "Counted"),
          el("th", null, "Rule that cleared it"))), el("tbody", null, levelRows))
          : el("p", null, "There is no secondary diagnosis.")));
      sections.push(el("section", null, el("h3", null, "Patient complexity (PCCL)"),
        el("p", null, `The weighted sum of the counted levels is ${Number(r.weightedLevelSum).toFixed(2)}, `
          + `which gives PCCL ${r.pccl}.`),
        el("p", null, r.splitRow === null ? "No split row applies to the refined code; "
          : `Split row ${r.splitRow} gives the last character for this PCCL; `, "the DRG is ", code(r.drg), ".")));
    }

    const ruler = Array.from({ length: Math.max(1, Math.ceil(r.record.length / 61)) }, (_, i) => i * 61).join("\n");
    sections.push(el("section", null, el("h3", null, "The grouped record line"),
      el("p", { class: "hint" }, "Columns 283 to 304 hold the result: MDC, ADRG, PCCL, DRG and the version date."),
      el("div", { class: "line-box" }, el("pre", { class: "line-ruler", "aria-hidden": "true" }, ruler),
        el("pre", { class: "record-text", tabindex: "0", "aria-label": "Grouped record line" }, r.record))));
    return sections;
  }

  // A result on screen belongs to the stay grouped last: while a new one is
  // asked for, and after a request that failed, none is shown.
  function startGrouping(tab) {
    resultTab = tab;
    editsGrouped = edits[tab];
    noteResultTab();
    clearResult("Grouping…");
    return ++groupRequest;
  }

  // The result stays when the other tab is chosen, and then says which tab it is of.
  let resultTab = null;
  // Changes made on each tab; an answer to what was sent before the last of them is marked old.
  const edits = { "tab-fields": 0, "tab-line": 0 };
  let editsGrouped = 0;
  function noteResultTab() {
    const shown = document.querySelector('[role="tab"][aria-selected="true"]');
    const elsewhere = resultTab !== null && shown !== null && shown.id !== resultTab;
    $("result-tab").hidden = !elsewhere;
    $("result-tab").textContent = elsewhere ? `Of what was grouped on the “${$(resultTab).textContent}” tab.` : "";
  }

  function clearResult(summary, failed) {
    $("result").className = failed ? "result is-empty is-failed" : "result is-empty";
    $("result-summary").textContent = summary;
    for (const id of ["result-drg", "result-mdc", "result-adrg", "result-pccl"]) $(id).textContent = "–";
    $("explanation").replaceChildren();
    $("explanation").hidden = true;
  }

  // Changing the stay after a result (typing, adding or removing a row) leaves it on screen,
  // marked as the last one grouped; a change on the other tab does not touch it.
  function noteEdit(tab) {
    edits[tab] += 1;
    if (tab === resultTab) markResultOld();
  }

  function markResultOld() {
    const result = $("result");
    if (result.classList.contains("is-empty") || result.classList.contains("is-old")) return;
    result.classList.add("is-old");
    $("result-summary").textContent = "Of the stay grouped last, before your changes: " + $("result-summary").textContent;
  }

  function showResult(r) {
    const grouped = r.status === "grouped" && r.drg !== "000000";
    $("result").className = "result " + (grouped ? "is-grouped" : "is-ungrouped");
    $("result-summary").textContent = summaryOf(r);
    $("result-drg").textContent = r.drg;
    $("result-mdc").textContent = r.mdc.trim();
    $("result-adrg").textContent = r.adrg;
    $("result-pccl").textContent = r.pccl;
    const explanation = $("explanation");
    explanation.replaceChildren(...explanationOf(r));
    explanation.hidden = false;
    if (edits[resultTab] !== editsGrouped) markResultOld();  // changed while the answer was on its way
    $("result").scrollIntoView({ block: "nearest" });
  }

  // A result, or the server's trouble in the result's place, where the user looks for it.
  function showAnswer(reply) {
    if (reply.result) { showResult(reply.result); return; }
    clearResult(`No result: ${reply.trouble}`, true);
    $("result").scrollIntoView({ block: "nearest" });
  }

  // ---- tabs ----------------------------------------------------------
  function selectTab(id, focus) {
    for (const tab of document.querySelectorAll('[role="tab"]')) {
      const selected = tab.id === id;
      tab.setAttribute("aria-selected", String(selected));
      tab.tabIndex = selected ? 0 : -1;
      $(tab.getAttribute("aria-controls")).hidden = !selected;
      if (selected && focus) tab.focus();
    }
    noteResultTab();
  }

  function onTabKey(event) {
    const tabs = Array.from(document.querySelectorAll('[role="tab"]'));
    const at = tabs.indexOf(event.currentTarget);
    let next = -1;
    if (event.key === "ArrowRight") next = (at + 1) % tabs.length;
    else if (event.key === "ArrowLeft") next = (at - 1 + tabs.length) % tabs.length;
    else if (event.key === "Home") next = 0;
    else if (event.key === "End") next = tabs.length - 1;
    if (next < 0) return;
    event.preventDefault();
    selectTab(tabs[next].id, true);
    save();
  }

  // ---- wiring --------------------------------------------------------
  function start() {
    restore();
    for (const tab of document.querySelectorAll('[role="tab"]')) {
      tab.addEventListener("click", () => { selectTab(tab.id, true); save(); });
      tab.addEventListener("keydown", onTabKey);
    }
    const stayForm = $("stay-form");
    stayForm.addEventListener("submit", groupStay);
    stayForm.addEventListener("input", () => { save(); scheduleLine(); noteEdit("tab-fields"); });
    stayForm.addEventListener("change", (event) => {
      const m = /^(diagnoses|procedures)-\d+$/.exec(event.target.id);
      touched.add(m ? m[1] : event.target.name || event.target.id);
      save();
      scheduleLine();
    });
    $("line-form").addEventListener("submit", groupLine);
    $("record").addEventListener("input", () => { save(); noteEdit("tab-line"); noteWideCharacter(); });
    for (const form of [stayForm, $("line-form")]) {
      form.addEventListener("keydown", (event) => {
        if (event.key === "Enter" && (event.ctrlKey || event.metaKey)) { event.preventDefault(); form.requestSubmit(); }
      });
    }
    $("add-diagnosis").addEventListener("click", () => addCodeRow("diagnoses"));
    $("add-procedure").addEventListener("click", () => addCodeRow("procedures"));
    $("copy-built-line").addEventListener("click", copyLine);
    // The skip link leads to the first field of the tab shown; the other tab's is hidden.
    document.querySelector(".skip-link").addEventListener("click", (event) => {
      event.preventDefault();
      $($("tab-line").getAttribute("aria-selected") === "true" ? "record" : "effectiveDate").focus();
    });
    refreshLine(false);
    fetch("api/release").then((r) => r.json()).then((release) => {
      const name = release.directory.split("/").filter(Boolean).pop() || release.directory;
      $("release-line").textContent = `Release ${name}: ${release.files.length} table files loaded`;
    }).catch(() => {});
  }

  start();
})();
