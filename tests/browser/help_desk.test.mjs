// The help desk in a real browser: a support person's day in headless
// Chromium, against `kirvs serve` on a demo help desk on a free loopback
// port, walked once on a desktop screen (1280x800) and once on a phone
// (390x844). Each step brings the page into one state, checks what the
// person sees, saves a screenshot, and has axe-core check the page: no
// violation, one level-one heading, nothing wider than the screen.
//
//   KIRVS_BINARY      the kirvs program (default: build/kirvs)
//   KIRVS_SCREENSHOTS where the screenshots go (default:
//                     build/browser-screenshots)

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';

const root = fileURLToPath(new URL('../..', import.meta.url));
const kirvs = process.env.KIRVS_BINARY || path.join(root, 'build', 'kirvs');
const shots = process.env.KIRVS_SCREENSHOTS ||
    path.join(root, 'build', 'browser-screenshots');
const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');

let scratch;
let server;
let serverExit;
let context;
let page;
let base;

function startServer(dir) {
  server = spawn(kirvs, ['serve', dir, '--host', '127.0.0.1', '--port', '0'],
                 {stdio: ['ignore', 'pipe', 'ignore']});  // no access log
  serverExit = new Promise((done) => server.on('exit', done));
  let output = '';
  return new Promise((resolve, reject) => {
    setTimeout(() => reject(new Error(
        `kirvs serve did not start:\n${output}`)), 30000).unref();
    server.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /Serving the help desk at (http:\/\/\S+?)\/?\s/.exec(output);
      if (match) resolve(match[1]);
    });
    server.on('error', reject);
  });
}

before(async () => {
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kirvs-browser-'));
  fs.mkdirSync(shots, {recursive: true});
  base = await startServer(path.join(scratch, 'desk'));
  const profile = path.join(scratch, 'profile');
  fs.mkdirSync(profile);
  context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu',
           '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run'],
    viewport: {width: 1280, height: 800},
    // The pages allow only their own scripts; axe-core is injected.
    bypassCSP: true,
  });
  page = context.pages()[0] || await context.newPage();
  page.setDefaultTimeout(15000);
});

after(async () => {
  if (context) await context.close();
  if (server && server.exitCode === null) {
    server.kill('SIGTERM');
    assert.equal(await serverExit, 0, 'kirvs serve stops cleanly on SIGTERM');
  }
  if (scratch) fs.rmSync(scratch, {recursive: true, force: true});
});

const heading = async () =>
  (await page.locator('h1').first().textContent()).trim();
const mainText = () => page.locator('main').textContent();

// The text of the error box, or of the notice that says what the last change
// did ('' when none).
async function boxText(selector) {
  const box = page.locator(selector);
  return await box.count() ? (await box.textContent()).trim() : '';
}
const errorBox = () => boxText('.kv-alert-error[role="alert"]');
const notice = () => boxText('.kv-alert-info[role="status"]');

// Waits for the page that `action` brings, and checks its heading if given.
async function arrive(action, expected) {
  await Promise.all([page.waitForNavigation({waitUntil: 'load'}), action()]);
  if (expected !== undefined) assert.equal(await heading(), expected);
}

// Clicks the first button with this caption.
const click = (caption, expected) => arrive(() => page.locator(
    `:is(input, button)[type="submit"][value="${caption}"]`).first().click(),
    expected);

// Follows the first link matching `selector` that holds `text`.
const follow = (selector, text, expected) => arrive(() => page.locator(
    selector, {hasText: text}).first().click(), expected);

// Presses Enter in the field matching `selector`.
const enter = (selector, expected) =>
  arrive(() => page.press(selector, 'Enter'), expected);

async function go(address, expected) {
  const answer = await page.goto(`${base}${address}`);
  if (expected !== undefined) assert.equal(await heading(), expected);
  return answer;
}

// Fills in the form's fields by name: text typed, options chosen.
async function fill(fields) {
  for (const [name, value] of Object.entries(fields)) {
    const field = page.locator(`[name="${name}"]`).first();
    const list = await field.evaluate((element) => element.tagName === 'SELECT');
    await (list ? field.selectOption(value) : field.fill(value));
  }
}

async function assertValues(fields) {
  for (const [name, value] of Object.entries(fields)) {
    assert.equal(await page.inputValue(`[name="${name}"]`), value, name);
  }
}

// The error box names the field to correct, which has the focus and is
// marked invalid.
async function assertRefused(field, message) {
  assert.match(await errorBox(), message);
  assert.equal(await page.evaluate(() => document.activeElement.name), field);
  assert.equal(await page.getAttribute(`[name="${field}"]`, 'aria-invalid'),
               'true');
}

// Answers the next question the page asks; resolves to the question.
const answer = (accept) => new Promise((resolve) => page.once('dialog',
    (dialog) => {
      resolve(dialog.message());
      return accept ? dialog.accept() : dialog.dismiss();
    }));

// Runs `action` and fails if the browser posted anything meanwhile.
async function withoutPosts(what, action) {
  const posts = [];
  const seen = (request) => request.method() === 'POST' && posts.push(request);
  page.on('request', seen);
  await action().finally(() => page.off('request', seen));
  assert.deepEqual(posts.map((post) => post.url()), [],
                   `${what} posts nothing`);
}

// The accessibility rules axe-core checks, on the page as it stands.
async function accessibilityViolations() {
  if (!await page.evaluate(() => Boolean(window.axe))) {
    await page.addScriptTag({path: axePath});
  }
  const result = await page.evaluate(() => window.axe.run(document));
  return result.violations.map((violation) =>
      `${violation.id} (${violation.impact}): ${violation.help}: ` +
      violation.nodes.slice(0, 3).map((node) => node.target.join(' '))
          .join(', '));
}

// The rows of the list table, each cell as its text or its button caption.
async function listRows() {
  return page.$$eval('table[cellpadding="2"] tr', (rows) => rows.map(
      (row) => Array.from(row.children, (cell) => {
        const key = cell.querySelector(
            ':is(input, button)[type="submit"], a.kv-request');
        return key ? (key.value || key.textContent) : cell.textContent.trim();
      })));
}

async function requestNumbers() {
  return (await listRows()).slice(1).map((row) => row[0])
      .filter((key) => /^\d+$/.test(key));
}

async function countLine() {
  return Number(/(\d+) allocated requests in current list\./
      .exec(await mainText())[1]);
}

async function column(caption) {
  const rows = await listRows();
  const index = rows[0].indexOf(caption);
  assert.ok(index > 0, `the list shows ${caption}`);
  return rows.slice(1).filter((row) => /^\d+$/.test(row[0]))
      .map((row) => row[index]);
}

const LIST = 'Outstanding Service Issues for: Ann Archer';
const LOGIN = 'Dravel Technical Support Services';
const sorted = (values) => [...values].sort();

// What one pass remembers from step to step.
let pass;

// Each step: its name, and what brings the page into its state and checks
// it. The steps run in order, once per screen.
const steps = [
  ['login', async () => {
    await page.goto(`${base}/`);
    if (await page.locator('.kv-signout').count()) await click('Logout');
    assert.equal(await heading(), LOGIN);
    // Where the keyboard is stays in sight.
    await page.keyboard.press('Tab');
    assert.notEqual(await page.evaluate(
        () => getComputedStyle(document.activeElement).outlineStyle), 'none');
  }],
  ['login-failed', async () => {
    await fill({txtUserID: 'ann', txtPassword: 'wrong'});
    await click('Login');
    assert.notEqual(await errorBox(), '');
  }],
  ['my-requests', async ({phone}) => {
    await fill({txtPassword: 'ann123'});
    await click('Login', LIST);
    if (phone) {
      // A card: the description first, the number under it.
      const card = page.locator('tbody.kv-entry').first();
      const description = await card.locator('td[colspan]').boundingBox();
      const number = await card.locator('input[type="submit"]').boundingBox();
      assert.ok(description.y < number.y, 'the description leads the card');
    }
  }],
  ['sorted-by-header', async () => {
    const unsorted = await column('Priority');
    await fill({sortrequests: 'Priority'});
    await click('Sort List Now');
    assert.deepEqual(await column('Priority'), sorted(unsorted));
    // Its header sorts the other way round.
    await follow('a.kv-sort', 'Priority');
    assert.deepEqual(await column('Priority'), sorted(unsorted).reverse());
  }],
  ['request', async () => {
    [pass.open] = await requestNumbers();
    await click(pass.open, `Service Request ${pass.open}`);
  }],
  ['request-saved', async () => {
    await fill({Telephone: 'x5555', Status: 'In Progress'});
    await click('Save Request');
    assert.equal(await notice(),
                 `Request ${pass.open} saved. Open request ${pass.open}`);
    // Back shows the request again, and Reload the list: neither posts.
    await withoutPosts('Back after a save', async () => {
      await page.goBack({waitUntil: 'load'});
      assert.equal(await heading(), `Service Request ${pass.open}`);
      await assertValues({Telephone: 'x5555'});
      await page.goForward({waitUntil: 'load'});
      await page.reload();
    });
    assert.equal(await heading(), LIST);
    assert.equal(await notice(), '', 'a notice is shown once');
  }],
  ['allocation-bad-date', async () => {
    await go(`/requests/${pass.open}/allocate`);
    await fill({Allocated: 'next tuesday'});
    await click('Save Allocation');
    await assertRefused('Allocated',
                        /Allocated: enter a date such as 2026-12-07 09:00\./);
  }],
  ['allocated', async () => {
    await fill({Allocated: '2025-03-03 09:30:00', WorkGroup: 'Network'});
    await click('Save Allocation');
    assert.match(await notice(), new RegExp(
        `^Request ${pass.open} allocated to Ann Archer\\.`));
  }],
  ['activity-log', async () => {
    await go(`/requests/${pass.open}/activities`,
             `Activity Log for Service Request: ${pass.open}`);
    pass.activities = (await listRows()).length;
  }],
  ['new-activity', async () => {
    await click('Add Activity',
                `New Activity Details for Service Request ${pass.open}`);
    await fill({Duration: '1.5', Description: 'Patched the desk port.'});
  }],
  ['activity-saved', async () => {
    await click('Save Activity');
    assert.match(await notice(), new RegExp(
        `^Activity \\d+ of request ${pass.open} saved\\.`));
    assert.ok((await listRows()).length > pass.activities);
  }],
  ['close', async () => {
    await go('/', LIST);
    pass.closing = (await requestNumbers()).at(-1);
    pass.count = await countLine();
    await click(pass.closing);
    await click('Close', `Close Service Request ${pass.closing}`);
    // Enter in a field saves the close details; it never closes.
    await fill({Resolution: 'Replaced the patch cable.'});
    await enter('input[name="Resolution"]');
    assert.match(await notice(), new RegExp(
        `^Close details of request ${pass.closing} saved\\.`));
    assert.ok((await requestNumbers()).includes(pass.closing));
    await go(`/requests/${pass.closing}/close`);
  }],
  ['close-refused', async () => {
    answer(true);
    await click('Close Now');
    await assertRefused('ResolutionCode', /Resolution code: fill this in/);
  }],
  ['closed', async () => {
    await fill({ResolutionCode: 'FIXED'});
    // Close Now comes last and asks first; dismissed, nothing happens.
    const captions = await page.$$eval(
        'main input[type="submit"]:not(.kv-default-submit)',
        (buttons) => buttons.map((button) => button.value));
    assert.equal(captions.at(-1), 'Close Now');
    const asked = answer(false);
    await page.click('input[type="submit"][value="Close Now"]');
    assert.equal(await asked,
                 `Close request ${pass.closing}? It leaves the list.`);
    assert.equal(await heading(), `Close Service Request ${pass.closing}`);
    answer(true);
    await click('Close Now');
    assert.equal(await notice(), `Request ${pass.closing} closed.`);
    assert.ok(!(await requestNumbers()).includes(pass.closing));
    assert.equal(await countLine(), pass.count - 1);
  }],
  ['new-request-refused', async () => {
    await follow('.kv-nav a', 'New request', 'Register New Service Request');
    // Made out to the person signed in, and he takes it.
    await assertValues(
        {UserId: 'ann', Personnel: 'Ann Archer', WorkGroup: 'Service Desk'});
    const description = 'Second monitor flickers after lunch.';
    await fill({Description: description, Priority: '2-High'});
    await click('Save Request');
    assert.match(await errorBox(), /Status: fill this in/);
    await assertValues({Description: description});
  }],
  ['new-request-registered', async () => {
    await fill({Status: 'Open'});
    await click('Save Request');
    const registered = /^Request (\d+) registered\./.exec(await notice());
    assert.ok(registered, 'the list says which number the request got');
    assert.ok((await requestNumbers()).includes(registered[1]));
    // Reload shows the list again; it registers nothing twice.
    await withoutPosts('Reload after a new request', () => page.reload());
    assert.equal(await countLine(), pass.count);
    assert.equal(await notice(), '');
  }],
  ['inventory', async () => {
    await follow('.kv-nav a', 'Inventory', 'Search Inventory Database');
  }],
  ['inventory-results', async () => {
    // A word finds what contains it, whatever its case: the next step opens
    // the router it finds.
    await fill({Manufacturer: 'cISCO'});
    await click('Search Inventory Now', 'Inventory Search Results');
  }],
  ['item', async () => {
    await click('*RT-0006', 'Inventory Item Details: RT-0006');
    assert.ok(await page.locator('input[name="Description"]')
        .evaluate((input) => input.readOnly), 'items are only shown');
  }],
  ['configuration', async () => {
    await click('Show Configuration', 'Configuration Details for Item: RT-0006');
  }],
  ['solutions-results', async () => {
    await follow('.kv-nav a', 'Solutions', 'Search Solutions Database');
    await fill({Description: 'PRINTER'});
    await click('Search Solutions Now');
    assert.match(await mainText(), /Duplex jams on laser printers/);
  }],
  ['nothing-found', async () => {
    await go('/solutions?Description=no+such+words');
  }],
  ['found-by-words', async () => {
    await fill({q: pass.open});
    await enter('input[name="q"]', `Service Request ${pass.open}`);
    await fill({q: 'flickers lunch'});
    await enter('input[name="q"]', 'Requests with: flickers lunch');
    assert.match(await mainText(), /Second monitor flickers after lunch\./);
  }],
  ['queue-sorted', async () => {
    await follow('.kv-nav a', 'Queues', 'All open requests');
    // Its headers sort as those of the person's own list, for the session.
    await follow('a.kv-sort', 'Priority');
    const ascending = await column('Priority');
    assert.deepEqual(ascending, sorted(ascending));
    await follow('a.kv-sort', 'Priority');
    await follow('.kv-queues a', 'All open');
    assert.deepEqual(await column('Priority'), sorted(ascending).reverse());
  }],
  ['queue-closed', async () => {
    await follow('.kv-queues a', 'Recently closed', 'Recently closed requests');
  }],
  ['unknown-request', async () => {
    assert.equal((await go('/requests/99999')).status(), 404);
    assert.match(await errorBox(), /Not found: Service Request 99999\./);
  }],
  ['page-not-found', async () => {
    assert.equal((await go('/no/such/page', 'Page not found')).status(), 404);
  }],
  ['logged-out', async () => {
    await go('/', LIST);
    await click('Logout', LOGIN);
    assert.match(await notice(), /You have logged out\./);
  }],
];

const screens = [
  {name: 'desktop', width: 1280, height: 800, phone: false},
  {name: 'phone', width: 390, height: 844, phone: true},
];

for (const screen of screens) {
  steps.forEach(([name, run], index) => {
    test(`${screen.name}: ${name}`, async () => {
      if (index === 0) {
        pass = {};
        await page.setViewportSize({width: screen.width, height: screen.height});
      }
      await run(screen);
      const shot = `${screen.name}-${String(index + 1).padStart(2, '0')}-${name}`;
      await page.screenshot({path: path.join(shots, `${shot}.png`),
                             fullPage: true});
      assert.deepEqual(await accessibilityViolations(), [], `${shot}: axe`);
      assert.equal(await page.locator('h1').count(), 1, `${shot}: one h1`);
      const overflow = await page.evaluate(
          () => document.documentElement.scrollWidth - window.innerWidth);
      assert.ok(overflow <= 0, `${shot}: ${overflow}px wider than the screen`);
    });
  });
}
