// Opens the web grouper's page in Chromium, fills a stay with the keyboard
// and the mouse as a person would, groups it and checks what the page shows
// against what the JSON API answers for the same stay.
// Usage: node page_test.mjs BASE_URL SCREENSHOT_PATH PROFILE_DIR
import assert from "node:assert/strict";
import { chromium } from "playwright-core";

const [base, screenshotPath, profileDir] = process.argv.slice(2);

const stay = {
  effectiveDate: "20130115", birthDate: "19500312", sex: "M", stayDays: 5, status: 1,
  diagnoses: ["J15.1", "A41.9", "N18.5"], procedures: ["5-311"],
};
const dashed = (d) => `${d.slice(0, 4)}-${d.slice(4, 6)}-${d.slice(6)}`;
const typed = (d) => `${d.slice(4, 6)}${d.slice(6)}${d.slice(0, 4)}`;  // as keys into a date field

async function api(path, body) {
  const response = await fetch(new URL(path, base), { method: "POST", body: JSON.stringify(body) });
  assert.equal(response.status, 200, `${path} answered ${response.status}`);
  return response.json();
}

const expected = await api("/api/group", stay);
const expectedLine = (await api("/api/record", stay)).record;

const context = await chromium.launchPersistentContext(profileDir, {
  executablePath: "/usr/bin/chromium",
  headless: true,
  viewport: { width: 1360, height: 1000 },
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync", "--no-proxy-server"],
});
const failures = [];
try {
  const page = context.pages()[0] ?? await context.newPage();
  page.on("pageerror", (e) => failures.push(`page error: ${e.message}`));
  page.on("request", (r) => { if (!r.url().startsWith(base)) failures.push(`request outside the server: ${r.url()}`); });
  const refused = [];
  page.on("response", (r) => { if (r.status() >= 400) refused.push(`${r.status()} ${r.url()}`); });
  await page.goto(base);

  // Filled in step by step, the dates key by key: an unfinished stay is not sent (the server
  // could only refuse it), and the page names what is missing.
  await page.getByLabel("Date of the stay", { exact: true }).focus();
  await page.keyboard.type(typed(stay.effectiveDate));
  await page.getByLabel("Birth date", { exact: true }).focus();
  await page.keyboard.type(typed(stay.birthDate).slice(0, 4));  // no year yet
  await page.waitForFunction(() => document.querySelector("#built-line").textContent
    === "The line needs these filled in first: Birth date, Sex.");
  await page.keyboard.type(typed(stay.birthDate).slice(4));
  await page.getByLabel("Male", { exact: true }).check();
  await page.getByLabel("Days in hospital", { exact: true }).fill(String(stay.stayDays));
  await page.getByLabel("Discharge status", { exact: true }).fill(String(stay.status));
  await page.getByLabel("Principal", { exact: true }).pressSequentially(stay.diagnoses[0]);
  await page.waitForFunction(() => document.querySelector("#built-line").textContent.includes("J15.1"));
  assert.deepEqual(refused, []);
  // The second diagnosis first too long, to see the error beside its field.
  await page.getByRole("button", { name: "Add a diagnosis" }).click();
  await page.keyboard.type(`A41.9${"X".repeat(60)}`);
  await page.getByRole("button", { name: "Group this stay" }).click();
  const error = page.locator("#diagnoses-1-error");
  await error.waitFor({ state: "visible" });
  assert.match(await error.textContent(), /^Diagnosis 2 "A41.9X{35}\.\.\." is longer than the 6 characters/);
  // At a phone's width that long message breaks rather than widen the page, and the sentence
  // in the line's place is read whole, not scrolled as the line's 61 columns are.
  await page.waitForFunction(() => document.querySelector("#built-line").textContent.endsWith(": Diagnosis 2."));
  await page.setViewportSize({ width: 360, height: 1000 });
  assert.deepEqual(await page.evaluate(() => [document.documentElement.scrollWidth, document.querySelector(".line-box")
    .scrollWidth <= document.querySelector(".line-box").clientWidth]), [360, true]);
  await page.setViewportSize({ width: 1360, height: 1000 });
  assert.equal(await page.locator("#diagnoses-1").getAttribute("aria-invalid"), "true");
  assert.equal(await page.locator("#diagnoses-1").evaluate((e) => e === document.activeElement), true,
               "the field in error takes the focus");
  const fieldTop = (id) => page.locator(id).evaluate((e) => e.getBoundingClientRect().top);
  assert.equal(await fieldTop("#diagnoses-0"), await fieldTop("#diagnoses-1"), "the principal beside it moved");

  // Corrected with the keyboard alone: the focus is in the field.
  await page.keyboard.press("Control+A");
  await page.keyboard.type(stay.diagnoses[1]);
  await page.keyboard.press("Tab");          // its remove button
  await page.keyboard.press("Tab");          // "Add a diagnosis"
  await page.keyboard.press("Enter");
  await page.keyboard.type(stay.diagnoses[2]);
  await page.getByLabel("Procedure 1", { exact: true }).fill(stay.procedures[0]);
  await page.keyboard.press("Enter");        // submits the form

  const drg = page.locator("#result-drg");
  await page.waitForFunction(() => document.querySelector("#result-drg").textContent !== "–");
  assert.equal(await drg.textContent(), expected.drg);
  assert.equal(await page.locator("#result-mdc").textContent(), expected.mdc.trim());
  assert.equal(await page.locator("#result-pccl").textContent(), String(expected.pccl));
  assert.equal(await page.locator("#diagnoses-1-error").textContent(), "");
  const mdcLine = `Row ${expected.mdcRow} of ${expected.decisionTable} decides: MDC ${expected.mdc.trim()}`;
  const explanation = await page.locator("#explanation").innerText();
  assert.ok(explanation.includes(mdcLine), `the explanation has no line "${mdcLine}"`);
  await page.waitForFunction((line) => document.querySelector("#built-line").textContent === line, expectedLine);
  await page.screenshot({ path: screenshotPath, fullPage: true });
  console.log(`page shows DRG ${expected.drg}; "${mdcLine}"; screenshot ${screenshotPath}`);

  // At a phone's width the explanation's tables fit the page; only the record lines scroll.
  await page.setViewportSize({ width: 360, height: 1000 });
  const overflowing = await page.evaluate(() => Array.from(document.querySelectorAll("table.trace"))
    .filter((table) => table.scrollWidth > table.clientWidth + 1).length);
  assert.equal(overflowing, 0, "a table of the explanation is wider than a 360-pixel page");
  await page.setViewportSize({ width: 1360, height: 1000 });

  // Removing a row changes the stay as typing does: the result is marked.
  await page.getByRole("button", { name: "Remove procedure 1" }).click();
  assert.match(await page.locator("#result-summary").textContent(), /^Of the stay grouped last, before your changes/);
  await page.getByLabel("Procedure 1", { exact: true }).fill(stay.procedures[0]);

  // What was typed is still there after a reload.
  await page.reload();
  assert.equal(await page.getByLabel("Diagnosis 3", { exact: true }).inputValue(), stay.diagnoses[2]);
  assert.equal(await page.getByLabel("Birth date", { exact: true }).inputValue(), dashed(stay.birthDate));

  // An answer that comes after the stay changed is shown as that of the stay sent.
  let holdRoute;
  const held = new Promise((resolve) => { holdRoute = resolve; });
  await page.route("**/api/group", (route) => holdRoute(route));
  await page.getByRole("button", { name: "Group this stay" }).click();
  const heldRoute = await held;
  const ventilation = page.getByLabel("Ventilation hours", { exact: true });
  await ventilation.fill("7");
  await heldRoute.continue();
  await page.unroute("**/api/group");
  await page.waitForFunction(() => document.querySelector("#result-drg").textContent !== "–");
  assert.match(await page.locator("#result-summary").textContent(), /^Of the stay grouped last, before your changes/);
  // A server that does not answer leaves no line of the stay before, and says why.
  await page.route("**/api/record", (route) => route.abort());
  await ventilation.fill("");
  await page.waitForFunction(() => document.querySelector("#built-line").textContent.startsWith("No line: The server did not answer"));
  await page.unroute("**/api/record");

  // A day the calendar lacks, typed into the date field, is named as such, not as an empty field.
  const stayDate = page.getByLabel("Date of the stay", { exact: true });
  await stayDate.focus();
  await page.keyboard.type("02302013");
  // A number the browser cannot read reaches the page as no value: no text is quoted back.
  await page.getByLabel("Days in hospital", { exact: true }).focus();
  await page.keyboard.press("Control+A");
  await page.keyboard.type("1-2");
  await page.getByRole("button", { name: "Group this stay" }).click();
  await page.waitForFunction(() => document.querySelector("#effectiveDate-error").textContent !== "");
  assert.equal(await page.locator("#effectiveDate-error").textContent(),
               "Date of the stay is unfinished or not a day of the calendar; check the day, the month and the year");
  assert.equal(await page.locator("#stayDays-error").textContent(),
               "Days in hospital must be a whole number from 0 to 999; what is typed is not one");
  await stayDate.fill(dashed(stay.effectiveDate));
  await page.getByLabel("Days in hospital", { exact: true }).fill(String(stay.stayDays));

  // The second tab, with the keyboard: a pasted record line groups alike.
  await page.getByRole("tab", { name: "Stay in plain terms" }).focus();
  await page.keyboard.press("ArrowRight");
  assert.equal(await page.getByRole("tab", { name: "Record line" }).getAttribute("aria-selected"), "true");
  await page.keyboard.press("Tab");
  await page.keyboard.insertText(expectedLine);
  await page.keyboard.press("Control+Enter");
  await page.waitForFunction((want) => document.querySelector("#result-drg").textContent === want, expected.drg);
  // A character outside ASCII takes more than one column of the line: the page says so.
  await page.locator("#record").fill(`${expectedLine.slice(0, 20)}é${expectedLine.slice(21)}`);
  assert.equal(await page.locator("#record-note").textContent(),
               'Column 20 holds "é", which is not plain ASCII and takes 2 bytes of the line: the columns after it move 1 to the right.');
  await page.locator("#record").fill(expectedLine);
  assert.equal(await page.locator("#record-note").textContent(), "");
  await page.keyboard.press("Control+Enter");
  await page.waitForFunction((want) => document.querySelector("#result-drg").textContent === want, expected.drg);
  // Back on the first tab, the result says whose it is.
  await page.getByRole("tab", { name: "Stay in plain terms" }).click();
  assert.equal(await page.locator("#result-tab").textContent(), "Of what was grouped on the “Record line” tab.");
  // A change to the stay leaves the line's result as it is.
  await ventilation.fill("7");
  assert.match(await page.locator("#result-summary").textContent(), /^Grouped into DRG/);
  await ventilation.fill("");
  await page.getByRole("tab", { name: "Record line" }).click();
  assert.equal(await page.locator("#result-tab").isHidden(), true);
  // The skip link leads to the field of the tab shown.
  await page.locator(".skip-link").focus();
  await page.keyboard.press("Enter");
  assert.equal(await page.evaluate(() => document.activeElement.id), "record");

  // A result stays only as long as it is that of what is typed: marked once the line changes, gone
  // when the next request is refused or the server does not answer.
  await page.keyboard.type("Z");
  assert.match(await page.locator("#result-summary").textContent(), /^Of the stay grouped last, before your changes/);
  await page.locator("#record").fill("first line\nsecond line");
  await page.keyboard.press("Control+Enter");
  await page.waitForFunction(() => document.querySelector("#result-summary").textContent.startsWith("No result"));
  assert.equal(await drg.textContent(), "–");
  await page.locator("#record").fill(expectedLine);
  await page.keyboard.press("Control+Enter");
  await page.waitForFunction((want) => document.querySelector("#result-drg").textContent === want, expected.drg);
  // The server's own trouble (its JSON error, a proxy's page, no answer) is told as such, not as
  // faults of the line.
  const troubles = [
    // [what is pasted, how the server answers (null: itself), what the result says]
    ["x".repeat(2 << 20), null, /^No result: The server answered with status 413: the request body is larger than/],
    [expectedLine, { status: 502, contentType: "text/html", body: "<h1>Bad gateway</h1>" },
     /^No result: The server answered with status 502: an answer the page cannot read\.$/],
    [expectedLine, "abort", /^No result: The server did not answer \(.+\); it may have stopped\.$/],
  ];
  for (const [line, answer, says] of troubles) {
    await page.locator("#record").fill(line);
    if (answer) await page.route("**/api/group", (route) => answer === "abort" ? route.abort() : route.fulfill(answer));
    await page.locator("#record").press("Control+Enter");
    await page.waitForFunction(() => !document.querySelector("#result-summary").textContent.startsWith("Grouping"));
    assert.match(await page.locator("#result-summary").textContent(), says);
    assert.equal(await drg.textContent(), "–");
    if (answer) await page.unroute("**/api/group");
  }

  // Behind a proxy that serves it under a path of its own, the page asks for nothing outside it.
  const prefix = `${base}grouper/`;
  const behindProxy = await context.newPage();
  const outside = [];
  await behindProxy.route("**/*", async (route) => {
    const url = route.request().url();
    if (!url.startsWith(prefix)) return outside.push(url), route.abort();
    await route.fulfill({ response: await route.fetch({ url: base + url.slice(prefix.length) }) });
  });
  await behindProxy.goto(prefix);
  assert.deepEqual(outside, [], "the page's own files are asked for outside its path");
  await behindProxy.waitForFunction(() => document.querySelector("#release-line").textContent.includes("22 table files"));
  await behindProxy.getByRole("tab", { name: "Record line" }).click();
  await behindProxy.locator("#record").fill(expectedLine);
  await behindProxy.locator("#record").press("Control+Enter");
  await behindProxy.waitForFunction((want) => document.querySelector("#result-drg").textContent === want, expected.drg);
  assert.deepEqual(outside, []);
} finally {
  await context.close();
}
assert.deepEqual(failures, []);
console.log("1 passed, 0 failed");
