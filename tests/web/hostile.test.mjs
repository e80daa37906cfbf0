// Files that try to run or fetch something, opened in the page in Chromium
// and in Firefox with every request watched: none leaves the page (not to
// another origin, not to the page's own for a name a file gives), no
// script or event attribute runs (no dialog, no global set, no title
// changed, no navigation), even with the mouse over and clicking the art,
// no console error, and the page names what it left out. Export SVG still
// writes each file's own text.
import {after, before, describe, test} from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync, readdirSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {gzipSync} from 'node:zlib';
import {BUILD_DIR, frames, launchBrowser, openPage} from './browser.mjs';
import {REPO_ROOT} from '../../web/serve.mjs';

const FOLDER = join(REPO_ROOT, 'tests/web/hostile');
const FILES = readdirSync(FOLDER)
  .filter((name) => name.endsWith('.svg'))
  .sort();

// What the page must say it left out, file by file.
const LEFT_OUT = {
  'script.svg': [/\b4 scripts not run\b/],
  'event_attributes.svg': [/\b6 event attributes removed\b/],
  'javascript_links.svg': [/\b2 javascript: links removed\b/],
  'animations.svg': [/\b5 animations not played\b/],
  'external_images.svg': [/\b4 external images not loaded\b/],
  'external_references.svg': [
    /\b3 style sheets from elsewhere not loaded\b/,
    /\b1 web font from elsewhere not loaded\b/,
    /\b\d+ references to other files not followed\b/,
  ],
  'foreign_object.svg': [/\b1 embedded HTML block not drawn\b/],
  'css_escapes.svg': [/\b\d+ references? to other files? not followed\b/],
  'escaped_urls.svg': [/\b5 references to other files not followed\b/],
};

for (const kind of ['chrome', 'firefox']) {
  describe(`hostile files in ${kind === 'chrome' ? 'Chromium' : 'Firefox'}`, () => {
    let session;
    let watched;
    before(async () => {
      session = await launchBrowser({browser: kind});
      watched = await openWatched(session);
    });
    after(() => session?.close());

    test('no file runs anything or fetches anything, and each is told what was left out', async () => {
      const {page, requests, dialogs, problems} = watched;
      for (const name of FILES) {
        const text = readFileSync(join(FOLDER, name), 'utf8');
        await page.evaluate((t) => window.slantWarper.openSvg(t), text);
        const notice = await page.$eval('#notice', (node) =>
          node.hidden ? '' : `${node.dataset.kind}: ${node.querySelector('#notice-text').textContent}`,
        );
        assert.match(notice, /^warning: Left out for safety: /, name);
        for (const expected of LEFT_OUT[name]) assert.match(notice, expected, `${name}: ${notice}`);
        // The pointer over every part of the art, a click with the selection
        // tool, and time for animations and image errors to happen.
        await page.keyboard.press('v');
        const box = await page.$eval('#document', (svg) => JSON.parse(JSON.stringify(svg.getBoundingClientRect())));
        for (const [fx, fy] of [
          [0.3, 0.3],
          [0.5, 0.5],
          [0.6, 0.4],
          [0.45, 0.7],
        ]) {
          await page.mouse.move(box.left + box.width * fx, box.top + box.height * fy, {steps: 3});
          await page.mouse.click(box.left + box.width * fx, box.top + box.height * fy);
        }
        await page.keyboard.press('Tab');
        await new Promise((resolve) => setTimeout(resolve, 200));
        assert.equal(
          await page.evaluate(() => window.slantWarper.exportSvg()),
          text,
          `${name}: Export SVG writes the file's own text`,
        );
        const state = await page.evaluate(() => ({
          hostile: window.__hostile ?? null,
          title: document.title,
          path: location.pathname,
        }));
        assert.deepEqual(state, {hostile: null, title: 'slantWarper', path: '/'}, name);
      }
      assert.deepEqual(requests, [], 'no request for anything a file names');
      assert.deepEqual(dialogs, [], 'no dialog');
      assert.deepEqual(problems, [], 'no console or page error');
    });

    test('through the file input too, and the drawing keeps what is safe', async () => {
      const {page, requests, problems} = watched;
      const file = join(BUILD_DIR, 'hostile-upload.svg');
      writeFileSync(file, readFileSync(join(FOLDER, 'external_references.svg')));
      await (await page.$('#open-svg-input')).uploadFile(file);
      await page.waitForFunction(() =>
        document.getElementById('notice-text').textContent.startsWith('Opened hostile-upload.svg.'),
      );
      // The local gradient and the safe paint stay; the stroke in the same
      // style attribute as a foreign filter too.
      const drawn = await page.evaluate(() => {
        const root = document.getElementById('art').shadowRoot;
        const circle = root.querySelector('circle');
        return {
          fill: circle.getAttribute('fill'),
          stroke: circle.style.stroke,
          filter: circle.style.filter,
          uses: root.querySelectorAll('use[href], use[*|href]').length,
          images: root.querySelectorAll('image[href], image[*|href]').length,
        };
      });
      assert.deepEqual(drawn, {fill: 'url(#local)', stroke: 'rgb(38, 50, 56)', filter: '', uses: 0, images: 0});
      assert.deepEqual(requests, []);
      assert.deepEqual(problems, []);
    });

    test("a compressed file that unpacks beyond the page's limit is refused, the document kept", async () => {
      const {page, problems} = watched;
      const kept = await page.evaluate(() => window.slantWarper.report());
      // 65 MiB of one byte, some 65 KB packed.
      const file = join(BUILD_DIR, 'bomb.svgz');
      writeFileSync(file, gzipSync(Buffer.alloc(65 << 20, 0x20), {level: 9}));
      await (await page.$('#open-svg-input')).uploadFile(file);
      await page.waitForFunction(() => document.getElementById('notice-text').textContent.startsWith('bomb.svgz'));
      assert.equal(
        await page.$eval('#notice-text', (node) => node.textContent),
        'bomb.svgz was not opened, the document is as it was: the file unpacks to more than 64 MiB',
      );
      assert.equal(await page.evaluate(() => window.slantWarper.report()), kept);
      assert.deepEqual(problems, []);
    });
  });
}

// The page with every later request for a network resource recorded (and
// any to another origin refused), every dialog recorded and dismissed.
async function openWatched(session) {
  const {page, problems} = await openPage(session);
  const requests = [];
  const dialogs = [];
  const origin = new URL(session.url).origin;
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    // data: and blob: URLs name what the page already holds.
    if (!/^(data|blob):/.test(request.url())) requests.push(request.url());
    if (new URL(request.url(), session.url).origin !== origin) request.abort().catch(() => {});
    else request.continue().catch(() => {});
  });
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    dialog.dismiss().catch(() => {});
  });
  return {page, requests, dialogs, problems};
}

// A file whose uses would copy a large text a hundred times once its path
// art changes: after a drag the page's drawing stays within a few times the
// file's own elements, and says which uses it drew as the file has them.
test('a file that multiplies itself through uses stays bounded after a drag', async () => {
  const tspans = Array.from({length: 300}, (_, i) => `<tspan x="${i % 50}" dy="1">${i}</tspan>`).join('');
  const uses = Array.from(
    {length: 100},
    (_, i) => `<use href="#unit" x="${(i % 10) * 48}" y="${Math.floor(i / 10) * 30}"/>`,
  ).join('');
  const text =
    `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 480 300"><defs><g id="unit"><path d="M0 0 h10 v10 h-10 z"/>` +
    `<text font-size="1" visibility="hidden">${tspans}</text></g></defs>${uses}</svg>`;
  const session = await launchBrowser();
  try {
    const {page, problems} = await openPage(session);
    await page.evaluate((t) => window.slantWarper.openSvg(t), text);
    const before = await page.evaluate(() => document.getElementById('art').shadowRoot.querySelectorAll('*').length);
    const from = await page.evaluate(() => window.slantWarper.clientPoint(100, -100));
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(from.x + 40, from.y, {steps: 3});
    await page.mouse.up();
    await frames(page);
    const after = await page.evaluate(() => document.getElementById('art').shadowRoot.querySelectorAll('*').length);
    // Copying every use would draw some 30,000 elements.
    assert.ok(after <= before + (1 << 14) + 4 * before, `${after} elements drawn for a file of ${before}`);
    assert.match(
      await page.$eval('#status-document', (node) => node.textContent),
      /\d+ uses too large to copy drawn as the file has them/,
    );
    assert.deepEqual(problems, []);
  } finally {
    await session.close();
  }
});
