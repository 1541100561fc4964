// The help desk in a real browser: a support person's day in headless
// Chromium, against `kirvs serve` on a demo help desk on a free loopback
// port. Each step checks what the person sees and saves a screenshot.
//
//   KIRVS_BINARY      the kirvs program (default: build/kirvs)
//   KIRVS_SCREENSHOTS where the screenshots go (default:
//                     build/browser-screenshots)
//
// Steps whose command the engine does not offer yet ("This command is not
// available yet.") are skipped, and run as soon as it does.

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
const NOT_AVAILABLE = 'This command is not available yet.';
const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');

let scratch;
let server;
let serverExit;
let context;
let page;
let base;

function startServer(dir) {
  return new Promise((resolve, reject) => {
    server = spawn(kirvs, ['serve', dir, '--host', '127.0.0.1', '--port', '0'],
                   {stdio: ['ignore', 'pipe', 'pipe']});
    serverExit = new Promise((done) => server.on('exit', (code, signal) =>
        done({code, signal})));
    let output = '';
    const timer = setTimeout(() => reject(new Error(
        `kirvs serve did not start:\n${output}`)), 30000);
    server.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /Serving the help desk at (http:\/\/\S+?)\/?\s/.exec(output);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    server.stderr.on('data', () => {});  // the access log
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
    viewport: {width: 1280, height: 900},
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
    const {code} = await serverExit;
    assert.equal(code, 0, 'kirvs serve stops cleanly on SIGTERM');
  }
  if (scratch) fs.rmSync(scratch, {recursive: true, force: true});
});

// The title of the engine's page banner.
async function heading() {
  return (await page.locator('main strong').first().textContent()).trim();
}

async function errorBox() {
  const box = page.locator('.kv-alert-error');
  return await box.count() ? (await box.textContent()).trim() : '';
}

// Clicks the first button with this caption and waits for the new page.
async function click(caption) {
  const button = page.locator(
      `:is(input, button)[type="submit"][value="${caption}"]`);
  await Promise.all([
    page.waitForNavigation({waitUntil: 'load'}),
    button.first().click(),
  ]);
}

// The notice that says what the last change did ('' when none).
async function notice() {
  const box = page.locator('.kv-alert-info[role="status"]');
  return await box.count() ? (await box.textContent()).trim() : '';
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

// Saves a screenshot of the step, and checks the page's accessibility.
async function shoot(name) {
  await page.screenshot({path: path.join(shots, `${name}.png`), fullPage: true});
  assert.deepEqual(await accessibilityViolations(), [], `${name}: axe-core`);
}

// The rows of the list table, each cell as its text or its button caption.
async function listRows() {
  return page.$$eval('table[cellpadding="2"] tr', (rows) => rows.map(
      (row) => Array.from(row.children, (cell) => {
        const button = cell.querySelector(':is(input, button)[type="submit"]');
        return button ? button.value : cell.textContent.trim();
      })));
}

async function requestNumbers() {
  return (await listRows()).slice(1).map((row) => row[0])
      .filter((key) => /^\d+$/.test(key));
}

async function countLine() {
  const text = await page.locator('main').textContent();
  return Number(/(\d+) allocated requests in current list\./.exec(text)[1]);
}

// Skips the rest of a step while the engine lacks its command.
function skipIfNotAvailable(t, error) {
  if (error.includes(NOT_AVAILABLE)) {
    t.skip('the engine does not offer this command yet');
    return true;
  }
  return false;
}

test('logs in as a demo user', async () => {
  await page.goto(`${base}/`);
  assert.equal(await heading(), 'Dravel Technical Support Services');
  await shoot('01-login');
  await page.fill('input[name="txtUserID"]', 'ann');
  await page.fill('input[name="txtPassword"]', 'ann123');
  await click('Login');
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  assert.match(await page.locator('.kv-top').textContent(),
               /Signed in as Ann Archer \(ann\)/);
  assert.equal(await countLine(), 6);
  await shoot('02-request-list');
});

function priorities(rows) {
  // A header may carry the arrow of the order after its name.
  const column = rows[0].findIndex((header) => header.startsWith('Priority'));
  assert.ok(column > 0, 'the list shows the priority');
  return rows.slice(1).filter((row) => /^\d+$/.test(row[0]))
      .map((row) => row[column]);
}

test('sorts the list', async () => {
  const unsorted = priorities(await listRows());
  assert.notDeepEqual(unsorted, [...unsorted].sort(),
                      'the demo list does not start in priority order');
  await page.selectOption('select[name="sortrequests"]', 'Priority');
  await click('Sort List Now');
  const sorted = priorities(await listRows());
  assert.equal(sorted.length, 6);
  assert.deepEqual(sorted, [...unsorted].sort());
  assert.equal(await page.inputValue('select[name="sortrequests"]'),
               'Priority');
  await shoot('03-sorted-by-priority');
  // A column's header sorts by it; clicked again, the other way round, and
  // the list keeps that order.
  const header = page.locator('a.kv-sort', {hasText: 'Priority'});
  await Promise.all([page.waitForNavigation(), header.click()]);
  assert.deepEqual(priorities(await listRows()),
                   [...unsorted].sort().reverse());
  await page.goto(`${base}/`);
  assert.deepEqual(priorities(await listRows()),
                   [...unsorted].sort().reverse());
  await Promise.all([page.waitForNavigation(), header.click()]);
  assert.deepEqual(priorities(await listRows()), [...unsorted].sort());
});

let openRequest;

test('opens a request, changes a field and saves it', async () => {
  [openRequest] = await requestNumbers();
  await click(openRequest);
  assert.equal(await heading(), `Service Request ${openRequest}`);
  await page.fill('input[name="Telephone"]', 'x5555');
  await page.selectOption('select[name="Status"]', 'In Progress');
  await shoot('04-request-edited');
  await click('Save Request');
  assert.equal(await errorBox(), '');
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  // The save answered with the list's own address: Reload shows the list
  // again and posts nothing.
  assert.equal(page.url(), `${base}/`);
  assert.equal(await notice(),
               `Request ${openRequest} saved. Open request ${openRequest}`);
  await page.reload();
  assert.equal(await notice(), '', 'a notice is shown once');
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  await click(openRequest);
  assert.equal(page.url(), `${base}/requests/${openRequest}`);
  assert.equal(await page.inputValue('input[name="Telephone"]'), 'x5555');
  assert.equal(await page.inputValue('select[name="Status"]'), 'In Progress');
  await shoot('05-request-saved');
});

test('allocates it', async () => {
  await click('Allocate');
  assert.equal(await heading(), `Allocate Service Request ${openRequest}`);
  // An unallocated request offers the present moment.
  assert.match(await page.inputValue('input[name="Allocated"]'),
               /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
  // A date the help desk cannot read: a sentence at the field, no query.
  await page.fill('input[name="Allocated"]', 'next tuesday');
  await click('Save Allocation');
  assert.match(await errorBox(),
               /Allocated: enter a date such as 2026-12-07 09:00\./);
  assert.ok(!(await page.content()).includes('SELECT'));
  assert.equal(await page.evaluate(() => document.activeElement.name),
               'Allocated');
  assert.equal(await page.getAttribute('input[name="Allocated"]',
                                       'aria-invalid'), 'true');
  await shoot('06-allocation-error');
  await page.fill('input[name="Allocated"]', '2025-03-03 09:30:00');
  await page.selectOption('select[name="WorkGroup"]', 'Network');
  await click('Save Allocation');
  assert.equal(await errorBox(), '');
  assert.match(await notice(),
               new RegExp(`^Request ${openRequest} allocated to Ann Archer\\.`));
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  // The allocation page has an address of its own.
  await page.goto(`${base}/requests/${openRequest}/allocate`);
  assert.equal(await page.inputValue('input[name="Allocated"]'),
               '2025-03-03 09:30:00');
  assert.equal(await page.inputValue('select[name="WorkGroup"]'), 'Network');
  await shoot('06-allocated');
  await click('Show Request');
  assert.equal(await heading(), `Service Request ${openRequest}`);
});

test('adds an activity and saves it', async (t) => {
  await click('Activities');
  if (skipIfNotAvailable(t, await errorBox())) return;
  assert.equal(await heading(),
               `Activity Log for Service Request: ${openRequest}`);
  const before = (await listRows()).length;
  await click('Add Activity');
  assert.equal(await heading(),
               `New Activity Details for Service Request ${openRequest}`);
  await page.fill('input[name="Duration"]', '1.5');
  await page.fill('input[name="Description"]', 'Patched the desk port.');
  await shoot('07-new-activity');
  await click('Save Activity');
  assert.equal(await errorBox(), '');
  assert.equal(await heading(),
               `Activity Log for Service Request: ${openRequest}`);
  assert.match(await notice(),
               new RegExp(`^Activity \\d+ of request ${openRequest} saved\\.`));
  assert.ok((await listRows()).length > before, 'the log has a new entry');
  assert.match(await page.locator('main').textContent(),
               /Patched the desk port\./);
  await shoot('08-activity-saved');
});

test('closes a request and sees it leave the list', async () => {
  await page.goto(`${base}/`);  // home: the list of the signed-in person
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  const numbers = await requestNumbers();
  const closing = numbers[numbers.length - 1];
  const count = await countLine();
  await click(closing);
  await click('Close');
  assert.equal(await heading(), `Close Service Request ${closing}`);
  // Closing needs a resolution: the front asks for it, at the field.
  await page.fill('input[name="Resolution"]', 'Replaced the patch cable.');
  // Enter in a field saves the close details; it never closes.
  await Promise.all([
    page.waitForNavigation({waitUntil: 'load'}),
    page.press('input[name="Resolution"]', 'Enter'),
  ]);
  assert.match(await notice(), new RegExp(
      `^Close details of request ${closing} saved\\.`));
  assert.ok((await requestNumbers()).includes(closing));
  await page.goto(`${base}/requests/${closing}/close`);
  assert.equal(await page.inputValue('input[name="Resolution"]'),
               'Replaced the patch cable.');
  page.once('dialog', (dialog) => dialog.accept());
  await click('Close Now');
  assert.match(await errorBox(), /ResolutionCode: fill this in/);
  assert.equal(await page.evaluate(() => document.activeElement.name),
               'ResolutionCode');
  assert.equal(await page.getAttribute('select[name="ResolutionCode"]',
                                       'aria-invalid'), 'true');
  await page.selectOption('select[name="ResolutionCode"]', 'FIXED');
  await shoot('09-close');
  // Close Now comes last and asks first; dismissed, nothing happens.
  const captions = await page.$$eval(
      'main input[type="submit"]:not(.kv-default-submit)',
      (buttons) => buttons.map((button) => button.value));
  assert.equal(captions[captions.length - 1], 'Close Now');
  let asked = '';
  page.once('dialog', (dialog) => {
    asked = dialog.message();
    dialog.dismiss();
  });
  await page.click('input[type="submit"][value="Close Now"]');
  assert.equal(asked, `Close request ${closing}? It leaves the list.`);
  assert.equal(await heading(), `Close Service Request ${closing}`);
  page.once('dialog', (dialog) => dialog.accept());
  await click('Close Now');
  assert.equal(await errorBox(), '');
  assert.equal(await notice(), `Request ${closing} closed.`);
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  assert.ok(!(await requestNumbers()).includes(closing),
            `request ${closing} left the list`);
  assert.equal(await countLine(), count - 1);
  await shoot('10-closed');
});

test('registers a new request', async () => {
  const count = await countLine();
  await click('Register New Request');
  assert.equal(await heading(), 'Register New Service Request');
  // The form is made out to the person signed in, and he takes it.
  assert.equal(await page.inputValue('input[name="UserId"]'), 'ann');
  assert.equal(await page.inputValue('select[name="Personnel"]'),
               'Ann Archer');
  assert.equal(await page.inputValue('select[name="WorkGroup"]'),
               'Service Desk');
  await page.fill('input[name="Description"]',
                  'Second monitor flickers after lunch.');
  await page.selectOption('select[name="RequestType"]', 'Fault');
  await page.selectOption('select[name="Priority"]', '2-High');
  await click('Save Request');
  assert.match(await errorBox(), /Status: fill this in/);
  assert.equal(await page.inputValue('input[name="Description"]'),
               'Second monitor flickers after lunch.');
  await page.selectOption('select[name="Status"]', 'Open');
  await shoot('11-new-request');
  await click('Save Request');
  assert.equal(await errorBox(), '');
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  const registered = /^Request (\d+) registered\./.exec(await notice());
  assert.ok(registered, 'the list says which number the request got');
  assert.ok((await requestNumbers()).includes(registered[1]));
  assert.equal(await countLine(), count + 1);
  assert.match(await page.locator('main').textContent(),
               /Second monitor flickers after lunch\./);
  await shoot('12-new-request-listed');
});

test('searches the inventory, opens an item and its configuration',
     async (t) => {
  await click('Search Inventory');
  if (skipIfNotAvailable(t, await errorBox())) return;
  assert.equal(await heading(), 'Search Inventory Database');
  // A word finds what contains it, whatever its case.
  await page.fill('input[name="Manufacturer"]', 'cISCO');
  await click('Search Inventory Now');
  if (skipIfNotAvailable(t, await errorBox())) return;
  assert.equal(await heading(), 'Inventory Search Results');
  const items = (await listRows()).slice(1).map((row) => row[0])
      .filter((key) => key.startsWith('*'));
  assert.deepEqual(items, ['*RT-0006', '*SW-0007']);
  // The buttons show the ids, and the query stays out of sight.
  assert.equal(await page.locator('button[value="*RT-0006"]').textContent(),
               'RT-0006');
  assert.ok(!(await page.locator('main').textContent()).includes('SELECT'));
  await shoot('13-inventory-results');
  await click('*RT-0006');
  if (skipIfNotAvailable(t, await errorBox())) return;
  assert.equal(await heading(), 'Inventory Item Details: RT-0006');
  assert.ok(await page.locator('input[name="Description"]')
      .evaluate((input) => input.readOnly), 'items are only shown');
  await shoot('14-item');
  await click('Show Configuration');
  if (skipIfNotAvailable(t, await errorBox())) return;
  assert.equal(await heading(), 'Configuration Details for Item: RT-0006');
  assert.match(await page.locator('main').textContent(),
               /3 configuration items in current list\./);
  await shoot('15-item-configuration');
  await click('Show List');
});

test('searches the solutions', async (t) => {
  // The bar at the top leads to every part of the help desk.
  await Promise.all([
    page.waitForNavigation(),
    page.locator('.kv-nav a', {hasText: 'Solutions'}).click(),
  ]);
  if (skipIfNotAvailable(t, await errorBox())) return;
  assert.equal(await heading(), 'Search Solutions Database');
  await page.fill('input[name="Description"]', 'PRINTER');
  await click('Search Solutions Now');
  if (skipIfNotAvailable(t, await errorBox())) return;
  assert.equal(await heading(), 'Solutions Search Results');
  const text = await page.locator('main').textContent();
  assert.match(text, /Duplex jams on laser printers/);
  assert.match(text, /1 solutions in current list\./);
  await shoot('16-solutions');
  await page.goto(`${base}/solutions?Description=no+such+words`);
  assert.match(await notice(), /^Nothing matches these criteria\./);
});

test('finds requests and works through the queues', async () => {
  await page.goto(`${base}/`);
  const [number] = await requestNumbers();
  const find = page.locator('input[name="q"]');
  await find.fill(number);
  await Promise.all([page.waitForNavigation(), find.press('Enter')]);
  assert.equal(await heading(), `Service Request ${number}`);
  await find.fill('flickers lunch');
  await Promise.all([page.waitForNavigation(), find.press('Enter')]);
  assert.equal(await heading(), 'Requests with: flickers lunch');
  assert.match(await page.locator('main').textContent(),
               /Second monitor flickers after lunch\./);
  await shoot('17-found');
  await Promise.all([
    page.waitForNavigation(),
    page.locator('.kv-nav a', {hasText: 'Queues'}).click(),
  ]);
  assert.equal(await heading(), 'All open requests');
  await Promise.all([
    page.waitForNavigation(),
    page.locator('.kv-queues a', {hasText: 'Recently closed'}).click(),
  ]);
  assert.equal(await heading(), 'Recently closed requests');
  assert.match(await page.locator('main').textContent(), /\(closed\)/);
  await shoot('18-closed-queue');
});

test('fits a narrow screen', async () => {
  await page.goto(`${base}/`);
  await page.setViewportSize({width: 390, height: 844});
  await page.reload();
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  const overflow = await page.evaluate(
      () => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(overflow <= 0, `the page is ${overflow}px wider than the screen`);
  await shoot('19-narrow-list');
  await page.setViewportSize({width: 1280, height: 900});
});

test('logs out, and the back button does not bring the list back',
     async (t) => {
  await page.goto(`${base}/`);
  await click((await requestNumbers())[0]);
  await click('Show List');
  assert.equal(await heading(), 'Outstanding Service Issues for: Ann Archer');
  await click('Logout');
  assert.equal(await heading(), 'Dravel Technical Support Services');
  assert.match(await page.locator('.kv-alert-info').textContent(),
               /You have logged out\./);
  await shoot('20-logged-out');
  let back = 'came back';
  try {
    await page.goBack({waitUntil: 'load'});
  } catch (error) {
    // A page the browser did not store cannot come back: Chromium shows
    // its own error page (net::ERR_CACHE_MISS) instead.
    back = error.message.split('\n')[0];
    await page.waitForURL(/^chrome-error:/, {timeout: 5000}).catch(() => {});
    await page.waitForLoadState('load');
  }
  t.diagnostic(`back button: ${back}; now at ${page.url()}`);
  const shown = await page.content();
  assert.ok(!shown.includes('Outstanding Service Issues'),
            'the list came back after logout');
  assert.ok(!shown.includes('Signed in as'), 'a signed-in page came back');
  await shoot('21-back-after-logout');
});
