// The release's page archive, unpacked and served by a plain static server
// (python3 -m http.server), in Debian's Chromium: it holds the same files
// as the site the playground serves, the page starts with no console error
// and a drag stretches the selection; at a phone's size the document keeps
// most of the screen, every command and tool is in reach by touch, the log
// folds away, and a touch or pen drag stretches exactly as a mouse drag
// does, a second finger changing nothing.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {spawn, spawnSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync} from 'node:fs';
import {join, relative} from 'node:path';
import {BUILD_DIR, callHook, launchBrowser, withFreshPage} from './browser.mjs';
import {REPO_ROOT, SiteError, buildSite, checkImportMapPolicy} from '../../web/site.mjs';

const VERSION = /^#define SW_VERSION_TEXT "([^"]+)"$/m.exec(
  readFileSync(join(REPO_ROOT, 'about/about_text.h'), 'utf8'),
)[1];
const ARCHIVE = join(REPO_ROOT, 'dist', `slantWarper-page-${VERSION}.zip`);
const PHONE = {width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 3};

let scratch;
let site;
let servers = [];
let session;

// Serves `folder` with python3 -m http.server on a free loopback port;
// resolves to its address once it listens.
function staticServer(folder) {
  const server = spawn(
    '/usr/bin/python3',
    ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', folder],
    {stdio: ['ignore', 'pipe', 'ignore']},
  );
  servers.push(server);
  return new Promise((resolve, reject) => {
    let said = '';
    server.stdout.on('data', (chunk) => {
      said += chunk;
      const port = /port (\d+)/.exec(said);
      if (port) resolve(`http://127.0.0.1:${port[1]}/`);
    });
    server.once('exit', (code) => reject(new Error(`python3 -m http.server ended (${code}) before serving`)));
  });
}

before(async () => {
  assert.ok(
    existsSync(ARCHIVE),
    `${relative(REPO_ROOT, ARCHIVE)} is missing: make the release first (scripts/release.sh)`,
  );
  mkdirSync(join(BUILD_DIR, 'sites'), {recursive: true});
  scratch = mkdtempSync(join(BUILD_DIR, 'sites', 'served-'));
  const unpacked = spawnSync('/usr/bin/python3', ['-m', 'zipfile', '-e', ARCHIVE, join(scratch, 'unpacked')]);
  assert.equal(unpacked.status, 0, String(unpacked.stderr));
  site = join(scratch, 'unpacked', `slantWarper-page-${VERSION}`);
  session = await launchBrowser({url: await staticServer(site)});
});
after(async () => {
  if (session) await session.close();
  for (const server of servers) server.kill();
  if (scratch) rmSync(scratch, {recursive: true, force: true});
});

const report = async (page) => JSON.parse(await callHook(page, 'report'));
const events = async (page) => JSON.parse(await callHook(page, 'scenario')).events ?? [];

function filesOf(folder) {
  return readdirSync(folder, {recursive: true, withFileTypes: true})
    .filter((entry) => entry.isFile())
    .map((entry) => relative(folder, join(entry.parentPath ?? entry.path, entry.name)))
    .sort();
}

// The client pixel of an artwork point, rounded, so that mouse, touch and
// pen gestures start from the very same coordinates.
async function pixel(page, x, y) {
  const point = await callHook(page, 'clientPoint', x, y);
  return {x: Math.round(point.x), y: Math.round(point.y)};
}

// The client pixels of a horizontal drag across the middle of the sample
// art, from a quarter of its width to two thirds, in six steps.
async function dragPixels(page) {
  const points = (await report(page)).paths.flatMap((path) => path.segments.map((segment) => segment.slice(0, 2)));
  const [xs, ys] = [points.map((point) => point[0]), points.map((point) => point[1])];
  const [left, right] = [Math.min(...xs), Math.max(...xs)];
  const middle = (Math.min(...ys) + Math.max(...ys)) / 2;
  const start = await pixel(page, left + (right - left) / 4, middle);
  const end = await pixel(page, left + ((right - left) * 2) / 3, middle);
  const steps = [1, 2, 3, 4, 5, 6].map((i) => ({x: start.x + Math.round(((end.x - start.x) * i) / 6), y: start.y}));
  return {start, steps};
}

// Records the pointer type of every press on the document view.
const watchPointerTypes = (page) =>
  page.evaluate(() => {
    window.pressedWith = [];
    document
      .getElementById('document')
      .addEventListener('pointerdown', (event) => window.pressedWith.push(event.pointerType));
  });

const gestures = {
  async mouse(page, {start, steps}) {
    await page.mouse.move(start.x, start.y);
    await page.mouse.down();
    for (const step of steps) await page.mouse.move(step.x, step.y);
    await page.mouse.up();
  },
  async touch(page, {start, steps}) {
    const finger = await page.touchscreen.touchStart(start.x, start.y);
    for (const step of steps) await finger.move(step.x, step.y);
    await finger.end();
  },
  async pen(page, {start, steps}) {
    const cdp = await page.createCDPSession();
    const pen = (type, {x, y}, buttons) =>
      cdp.send('Input.dispatchMouseEvent', {type, x, y, button: 'left', buttons, clickCount: 1, pointerType: 'pen'});
    await pen('mousePressed', start, 1);
    for (const step of steps) await pen('mouseMoved', step, 1);
    await pen('mouseReleased', steps.at(-1), 0);
    await cdp.detach();
  },
  // A second finger lands during the drag, wanders over the view and
  // lifts; the first finger goes on to the end.
  async twoFingers(page, {start, steps}) {
    const first = await page.touchscreen.touchStart(start.x, start.y);
    for (const step of steps.slice(0, 3)) await first.move(step.x, step.y);
    const second = await page.touchscreen.touchStart(start.x + 40, start.y + 150);
    await second.move(start.x + 10, start.y + 90);
    await first.move(steps[3].x, steps[3].y);
    await second.move(start.x + 120, start.y - 60);
    await second.end();
    for (const step of steps.slice(4)) await first.move(step.x, step.y);
    await first.end();
  },
};

test("the release's page archive holds the site the playground serves", async () => {
  const built = join(scratch, 'built');
  await buildSite({out: built});
  const files = filesOf(site);
  assert.deepEqual(files, filesOf(built));
  for (const file of files) {
    const digest = (folder) =>
      createHash('sha256')
        .update(readFileSync(join(folder, file)))
        .digest('hex');
    assert.equal(digest(site), digest(built), file);
  }
});

test('served by python3 -m http.server, the page starts and a drag stretches the selection', async () => {
  await withFreshPage(session, async (page) => {
    const before = (await report(page)).paths;
    const {start, steps} = await dragPixels(page);
    await gestures.mouse(page, {start, steps});
    const played = await events(page);
    const down = played.find((e) => e.selector === 'AI Mouse Down').point;
    const last = played.filter((e) => e.selector === 'AI Mouse Drag').at(-1).point;
    assert.equal(down[1], last[1], 'a horizontal drag');
    const factor = (last[0] - down[0]) / 200;
    assert.ok(factor > 0.5, `the drag is long enough to show (${factor})`);
    const after = (await report(page)).paths;
    assert.equal(after.length, before.length);
    before.forEach((path, p) =>
      path.segments.forEach((segment, s) => {
        for (let k = 0; k < 6; k += 2) {
          const [x, y] = segment.slice(k, k + 2);
          const [gotX, gotY] = after[p].segments[s].slice(k, k + 2);
          assert.ok(Math.abs(gotX - (x + factor * (x - down[0]))) < 1e-3 * (1 + Math.abs(x)), `path ${p} x`);
          assert.equal(gotY, y, `path ${p} y`);
        }
      }),
    );
  });
});

test("at a phone's size the document keeps most of the screen, every command and tool is in reach, the log folds away", async () => {
  await withFreshPage(
    session,
    async (page) => {
      const box = (selector) =>
        page.$eval(selector, (element) => {
          const {left, top, right, bottom, width, height} = element.getBoundingClientRect();
          return {left, top, right, bottom, width, height};
        });
      const view = await box('#document');
      assert.ok(view.width >= 0.8 * PHONE.width && view.height >= 0.7 * PHONE.height, JSON.stringify(view));

      // Each control lies on the screen, and a tap at its middle reaches it.
      const reachable = (selector) =>
        page.$$eval(selector, (elements) =>
          elements.map((element) => {
            const {left, top, right, bottom} = element.getBoundingClientRect();
            const hit = document.elementFromPoint((left + right) / 2, (top + bottom) / 2);
            return {
              name: element.id || element.textContent.trim(),
              onScreen: left >= 0 && top >= 0 && right <= innerWidth && bottom <= innerHeight && right > left,
              reached: element.contains(hit),
            };
          }),
        );
      // With a notice shown, as after most actions: it hides no command.
      const noticeShown = () => page.$eval('#notice', (notice) => !notice.hidden);
      await page.keyboard.down('Control');
      await page.keyboard.press('z');
      await page.keyboard.up('Control');
      assert.ok(await noticeShown(), 'Ctrl+Z with nothing to undo says so');
      const controls = await reachable('.commands > button, .menu > button, .palette button, .log label');
      assert.ok(await noticeShown(), 'the notice was shown throughout');
      assert.ok(controls.length >= 10, 'five commands, two tools, three zoom buttons and the log');
      assert.deepEqual(
        controls.filter((c) => !c.onScreen || !c.reached),
        [],
      );

      const logShown = () => page.$eval('#log-list', (list) => list.getBoundingClientRect().height > 0);
      assert.equal(await logShown(), false, 'the log is folded');
      const label = await box('.log label');
      await page.touchscreen.tap((label.left + label.right) / 2, (label.top + label.bottom) / 2);
      assert.equal(await logShown(), true, 'a tap opens the log');
      assert.ok((await page.$$('#log-list li')).length > 0, 'with the messages sent');
      await page.touchscreen.tap((label.left + label.right) / 2, (label.top + label.bottom) / 2);
      assert.equal(await logShown(), false, 'a second tap folds it');

      // The About menu and its submenu by touch, on the screen, to the about text.
      const about = await box('#about-button');
      await page.touchscreen.tap((about.left + about.right) / 2, (about.top + about.bottom) / 2);
      const panel = await box('#about-panel');
      assert.ok(panel.left >= 0 && panel.right <= PHONE.width && panel.height > 0, JSON.stringify(panel));
      const item = await box('[data-menu-item="slantWarper..."]');
      assert.ok(
        item.left >= 0 && item.right <= PHONE.width && item.bottom <= PHONE.height && item.height > 0,
        JSON.stringify(item),
      );
      await page.touchscreen.tap((item.left + item.right) / 2, (item.top + item.bottom) / 2);
      await page.waitForSelector('#alert[open]');
      assert.match(await page.$eval('#alert-text', (pre) => pre.textContent), new RegExp(`^slantWarper ${VERSION}\n`));
    },
    {viewport: PHONE},
  );
});

test('on a tablet held sideways, taps open the About menu, its submenu and the about text', async () => {
  await withFreshPage(
    session,
    async (page) => {
      const tap = async (selector) => {
        const {left, top, right, bottom} = await page.$eval(selector, (element) =>
          element.getBoundingClientRect().toJSON(),
        );
        assert.ok(right > left && bottom > top, `${selector} is shown`);
        await page.touchscreen.tap((left + right) / 2, (top + bottom) / 2);
      };
      await tap('#about-button');
      await tap('[data-menu-item="About p.k plug-ins"]');
      await tap('[data-menu-item="slantWarper..."]');
      await page.waitForSelector('#alert[open]');
    },
    {viewport: {width: 1180, height: 820, isMobile: true, hasTouch: true}},
  );
});

test('a touch drag and a pen drag stretch the selection as a mouse drag does, and a second finger changes nothing', async () => {
  const outcome = {};
  for (const [name, gesture] of Object.entries(gestures)) {
    await withFreshPage(
      session,
      async (page) => {
        await watchPointerTypes(page);
        const drag = await dragPixels(page);
        await gesture(page, drag);
        const played = (await events(page)).filter((e) => e.caller === 'AI Tool' && e.selector !== 'AI Track Cursor');
        outcome[name] = {
          pressedWith: [...new Set(await page.evaluate(() => window.pressedWith))],
          messages: played.map((e) => e.selector),
          points: played.map((e) => e.point),
          paths: (await report(page)).paths,
        };
      },
      {viewport: PHONE},
    );
  }
  assert.deepEqual(outcome.mouse.pressedWith, ['mouse']);
  assert.deepEqual(outcome.touch.pressedWith, ['touch']);
  assert.deepEqual(outcome.pen.pressedWith, ['pen']);
  assert.deepEqual(outcome.twoFingers.pressedWith, ['touch']);
  assert.deepEqual(outcome.mouse.messages, ['AI Mouse Down', ...Array(6).fill('AI Mouse Drag'), 'AI Mouse Up']);
  for (const name of ['touch', 'pen', 'twoFingers']) {
    assert.deepEqual(outcome[name].messages, outcome.mouse.messages, `${name}: one press, six drags, one release`);
    assert.deepEqual(outcome[name].points, outcome.mouse.points, `${name}: the same points`);
    assert.deepEqual(outcome[name].paths, outcome.mouse.paths, `${name}: the same stretched paths`);
  }
});

test("on a touch screen the palette's Shift holds Shift down for the drags it is on for, and a tap after a drag counts", async () => {
  await withFreshPage(
    session,
    async (page) => {
      const latch = await page.$eval('#shift-latch', (button) => button.getBoundingClientRect().toJSON());
      assert.ok(latch.width > 0 && latch.bottom <= PHONE.height, 'shown in the palette');
      const tap = () => page.touchscreen.tap(latch.x + latch.width / 2, latch.y + latch.height / 2);
      const shifts = async () =>
        (await events(page)).filter((e) => e.selector === 'AI Mouse Drag').map((e) => e.shift === true);
      await tap();
      await gestures.touch(page, await dragPixels(page));
      assert.deepEqual(await shifts(), Array(6).fill(true));
      // The first tap after a quick drag: not taken for the end of a fling.
      await tap();
      assert.equal(await page.$eval('#shift-latch', (button) => button.getAttribute('aria-pressed')), 'false');
      await gestures.touch(page, await dragPixels(page));
      assert.deepEqual((await shifts()).slice(6), Array(6).fill(false));
    },
    {viewport: PHONE},
  );
});

test('the hash the site build asks a Content-Security-Policy for is the one Chromium lets the import map run with', async () => {
  const map = '\n    {"imports": {"answer": "/answer.js"}}\n  ';
  const hash = createHash('sha256').update(map).digest('base64');
  const fixture = (policyHash) => {
    const folder = mkdtempSync(join(scratch, 'policy-'));
    writeFileSync(
      join(folder, 'index.html'),
      '<!doctype html><html><head>' +
        `<meta http-equiv="Content-Security-Policy" content="script-src 'self' 'sha256-${policyHash}'">` +
        `<script type="importmap">${map}</script><script type="module" src="/main.js"></script></head></html>`,
    );
    writeFileSync(join(folder, 'main.js'), "import answer from 'answer';\ndocument.title = answer;\n");
    writeFileSync(join(folder, 'answer.js'), "export default 'mapped';\n");
    return folder;
  };
  const accepted = (html) => {
    try {
      checkImportMapPolicy(html);
      return true;
    } catch (error) {
      if (error instanceof SiteError) return false;
      throw error;
    }
  };
  for (const [policyHash, runs] of [
    [hash, true],
    [createHash('sha256').update('other').digest('base64'), false],
  ]) {
    const folder = fixture(policyHash);
    assert.equal(
      accepted(readFileSync(join(folder, 'index.html'), 'utf8')),
      runs,
      'the build accepts exactly that policy',
    );
    const page = await session.browser.newPage();
    try {
      await page.goto(await staticServer(folder), {waitUntil: 'networkidle0'});
      assert.equal(await page.title(), runs ? 'mapped' : '', `Chromium with 'sha256-${policyHash}'`);
    } finally {
      await page.close();
    }
  }
});
