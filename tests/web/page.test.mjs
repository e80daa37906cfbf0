// The page in Debian's Chromium, driven as a person drives it: real mouse and
// keyboard events at the client pixels window.slantWarper.clientPoint names.
// What the plug-in did is read back from the page's report(), and each drag
// is checked against the stretch itself: every point moves along the drag by
// length / 200 times its distance from the axis (the negative with Shift).
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {existsSync, mkdirSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {gunzipSync, gzipSync} from 'node:zlib';
import {BUILD_DIR, SCREENSHOT_DIR, callHook, frames, launchBrowser, withFreshPage} from './browser.mjs';
import {REPO_ROOT} from '../../web/serve.mjs';

let session;
before(async () => {
  session = await launchBrowser();
  mkdirSync(SCREENSHOT_DIR, {recursive: true});
});
after(() => session?.close());

// A fresh page for one test; fails the test if the page logged any error.
const withPage = (body) => withFreshPage(session, body);

const hooks = callHook;
const report = async (page) => JSON.parse(await hooks(page, 'report'));
const events = async (page) => JSON.parse(await hooks(page, 'scenario')).events ?? [];

async function clientPoint(page, x, y) {
  const point = await hooks(page, 'clientPoint', x, y);
  assert.ok(Number.isFinite(point.x) && Number.isFinite(point.y), 'clientPoint gives pixels');
  return point;
}

// Presses at artwork point `from`, moves in steps to `to` and releases.
async function drag(page, from, to, {shift = false, steps = 6, beforeRelease} = {}) {
  const start = await clientPoint(page, ...from);
  const end = await clientPoint(page, ...to);
  await page.mouse.move(start.x, start.y);
  if (shift) await page.keyboard.down('Shift');
  await page.mouse.down();
  await page.mouse.move(end.x, end.y, {steps});
  if (beforeRelease) await beforeRelease();
  await page.mouse.up();
  if (shift) await page.keyboard.up('Shift');
}

// The mouse-down and last drag points the plug-in was sent, as float32s.
async function dragPoints(page) {
  const played = await events(page);
  const down = played.filter((e) => e.selector === 'AI Mouse Down').at(-1);
  const last = played.filter((e) => e.selector === 'AI Mouse Drag').at(-1);
  assert.ok(down && last, 'the drag reached the plug-in');
  return {start: down.point, end: last.point};
}

// What the status bar says of a drag from start to end (artwork points):
// where the pointer is in the file's coordinates (y down), the scale along
// the drag that the stretch test below checks, and the drag's angle.
function readoutOf({start, end}, shift) {
  const [dx, dy] = [end[0] - start[0], end[1] - start[1]];
  const scale = 1 + (shift ? -1 : 1) * Math.min(100, Math.hypot(dx, dy) / 200);
  const angle = (Math.atan2(dy, dx) * 180) / Math.PI;
  return `x ${end[0].toFixed(1)}, y ${(-end[1]).toFixed(1)}; stretch ${Math.round(scale * 1000) / 10} % at ${angle.toFixed(1)}°`;
}

// Each point of `before` stretched by the drag from start to end, compared
// with `after`, within float tolerance.
function assertStretched(before, after, {start, end}, shift) {
  const dx = end[0] - start[0];
  const dy = end[1] - start[1];
  const length = Math.hypot(dx, dy);
  const factor = (shift ? -1 : 1) * Math.min(100, length / 200);
  const [ux, uy] = [dx / length, dy / length];
  assert.equal(after.length, before.length, 'same paths');
  let checked = 0;
  before.forEach((path, p) => {
    assert.equal(after[p].segments.length, path.segments.length, `path ${p} keeps its segments`);
    path.segments.forEach((segment, s) => {
      for (let k = 0; k < 6; k += 2) {
        const [x, y] = [segment[k], segment[k + 1]];
        const distance = (x - start[0]) * ux + (y - start[1]) * uy;
        const expected = [x + factor * distance * ux, y + factor * distance * uy];
        const got = after[p].segments[s].slice(k, k + 2);
        const tolerance = 2e-5 * (1 + Math.abs(x) + Math.abs(y));
        assert.ok(
          Math.abs(got[0] - expected[0]) < tolerance && Math.abs(got[1] - expected[1]) < tolerance,
          `path ${p} segment ${s} point ${k / 2}: ${got} vs ${expected}`,
        );
        checked++;
      }
    });
  });
  assert.ok(checked > 0);
}

test('a drag stretches the selection live, with the drag line and the dashed axis guide', async () => {
  await withPage(async (page) => {
    const before = (await report(page)).paths;
    assert.ok(before.length > 0 && before.every((path) => path.selected), 'the sample art opens selected');
    await page.screenshot({path: join(SCREENSHOT_DIR, 'before-drag.png')});
    let feedback, readout, shifted;
    await drag(page, [300, -250], [400, -230], {
      beforeRelease: async () => {
        await frames(page);
        feedback = await page.$$eval('#document .annotation line', (lines) =>
          lines.map((line) => [line.getAttribute('stroke'), line.getAttribute('stroke-dasharray')]),
        );
        await page.screenshot({path: join(SCREENSHOT_DIR, 'during-drag.png')});
        // Shift held still, and let go again: the stretch the other way and back.
        await page.keyboard.down('Shift');
        shifted = await page.$eval('#status-pointer', (node) => node.textContent);
        await page.keyboard.up('Shift');
        readout = await page.$eval('#status-pointer', (node) => node.textContent);
      },
    });
    await page.screenshot({path: join(SCREENSHOT_DIR, 'after-drag.png')});
    const cursor = await page.$eval('#document', (svg) => svg.style.cursor);
    assert.deepEqual(
      feedback,
      [
        ['rgb(255 0 0)', 'none'],
        ['rgb(255 0 0)', '4'],
      ],
      'red drag line, dashed guide',
    );
    const after = await report(page);
    const points = await dragPoints(page);
    assertStretched(before, after.paths, points, false);
    assert.equal(readout, readoutOf(points, false), 'the status bar tells the stretch');
    assert.equal(shifted, readoutOf(points, true), 'and with Shift, the compression');
    assert.equal(after.undos, 0);
    assert.match(
      cursor,
      /^url\("?data:image\/png;base64,[^)]+"?\) 6 6, crosshair$/,
      "the plug-in's cursor, hot spot (6, 6)",
    );
    const icon = await page.$eval('#tool-slantwarper-icon', (img) => [img.naturalWidth, img.naturalHeight]);
    assert.deepEqual(icon, [16, 16], "the plug-in's 16 by 16 icon");
    const played = (await events(page)).map((e) => e.selector);
    assert.ok(played.includes('AI Draw') && played.includes('AI Track Cursor'), 'draws and cursor tracking were sent');
    assert.equal(
      await page.$eval('#document .annotation', (g) => g.childElementCount),
      0,
      'the feedback is gone after the drag',
    );
  });
});

test('a Shift drag past 200 units mirrors the selection through the axis', async () => {
  await withPage(async (page) => {
    const before = (await report(page)).paths;
    let colour, readout;
    await drag(page, [320, -200], [320 + 300, -200], {
      shift: true,
      beforeRelease: async () => {
        await frames(page);
        colour = await page.$eval('#document .annotation line', (line) => line.getAttribute('stroke'));
        readout = await page.$eval('#status-pointer', (node) => node.textContent);
      },
    });
    assert.equal(colour, 'rgb(51 153 255)', 'light blue with Shift');
    const points = await dragPoints(page);
    assert.ok(points.end[0] - points.start[0] > 200);
    assert.ok(
      (await events(page)).some((e) => e.selector === 'AI Mouse Drag' && e.shift === true),
      'Shift from the keyboard',
    );
    assertStretched(before, (await report(page)).paths, points, true);
    assert.equal(readout, readoutOf(points, true), 'a mirror is a negative stretch');
  });
});

test('a drag that starts on a notice stretches the art under it, and the notice still closes', async () => {
  await withPage(async (page) => {
    await withControl(page, 'z');
    const notice = await page.$eval('#notice-text', (text) => text.getBoundingClientRect().toJSON());
    const from = {x: notice.left + 4, y: (notice.top + notice.bottom) / 2};
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(from.x + 60, from.y + 20, {steps: 3});
    await page.mouse.up();
    const played = (await events(page)).map((e) => e.selector);
    assert.ok(played.includes('AI Mouse Down') && played.includes('AI Mouse Drag'), played.join(', '));
    await page.click('#notice-close');
    assert.equal(await page.$eval('#notice', (box) => box.hidden), true);
  });
});

test('a drag with nothing selected, and one far outside the view, are told in the page and lose nothing', async () => {
  await withPage(async (page) => {
    const notice = () =>
      page.$eval('#notice', (node) => (node.hidden ? '' : `${node.dataset.kind}: ${node.textContent.trim()}`));
    await page.keyboard.press('v');
    const nothing = await clientPoint(page, 0, 5);
    await page.mouse.click(nothing.x, nothing.y);
    await page.keyboard.press('w');
    const unselected = (await report(page)).paths;
    await drag(page, [300, -250], [350, -250]);
    assert.match(await notice(), /^warning: Nothing is selected/);
    assert.deepEqual((await report(page)).paths, unselected);

    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    const before = (await report(page)).paths;
    const start = await clientPoint(page, 300, -250);
    await page.mouse.move(start.x, start.y);
    await page.mouse.down();
    await page.mouse.move(start.x + 2000, start.y + 1500, {steps: 4});
    assert.match(await notice(), /^info: The pointer is outside the view/);
    const back = await clientPoint(page, 380, -250);
    await page.mouse.move(back.x, back.y, {steps: 4});
    await page.mouse.up();
    assertStretched(before, (await report(page)).paths, await dragPoints(page), false);
  });
});

test('a click without movement is undone', async () => {
  await withPage(async (page) => {
    const before = (await report(page)).paths;
    const at = await clientPoint(page, 250, -150);
    await page.mouse.click(at.x, at.y);
    const after = await report(page);
    assert.equal(after.undos, 1);
    assert.deepEqual(after.paths, before);
    const log = await page.$$eval('#log-list li .message', (rows) => rows.map((row) => row.textContent));
    assert.ok(
      log.some((text) => text.startsWith('AI Tool / AI Mouse Up')),
      'the log shows the mouse-up',
    );
  });
});

test("the About menu holds the plug-in's item, which shows the about text", async () => {
  await withPage(async (page) => {
    await page.click('#about-button');
    await page.hover('[data-menu-item="About p.k plug-ins"]');
    await page.click('[data-menu-item="slantWarper..."]');
    await page.waitForSelector('#alert[open]');
    const text = await page.$eval('#alert-text', (pre) => pre.textContent);
    assert.match(text, /^slantWarper 0\.1b\n.+\n.+$/);
    assert.ok((await events(page)).some((e) => e.selector === 'AI Go' && e.item === 'slantWarper...'));
    await page.click('#alert-ok');
    assert.equal(await page.$('#alert[open]'), null);
  });
});

const EVERY_COMMAND = `<svg xmlns="http://www.w3.org/2000/svg" width="400" height="300">
  <g transform="translate(40 30) rotate(10)" fill="#c33" stroke="#123">
    <path id="commands" d="M0 0 H60 V40 h-20 v-10 L10 40 l-5 5 C 20 60 40 60 50 50 S 80 30 90 50 Q 100 70 120 60 T 150 60 A 20 10 30 0 1 180 40 Z"/>
    <rect x="200" y="0" width="60" height="40" rx="8"/>
    <circle cx="50" cy="150" r="30"/>
    <ellipse cx="150" cy="150" rx="40" ry="20"/>
    <line x1="200" y1="120" x2="280" y2="180"/>
    <polyline points="20,220 60,200 100,240 140,200" fill="none"/>
    <polygon points="200,200 260,210 230,250"/>
  </g>
</svg>`;

test('an SVG with every path command and shape opens, through the hook and the file input, and drags as the stretch says', async () => {
  await withPage(async (page) => {
    await hooks(page, 'openSvg', EVERY_COMMAND);
    const opened = (await report(page)).paths;
    assert.equal(opened.length, 7);
    assert.ok(opened.every((path) => path.selected));
    const file = join(BUILD_DIR, 'every_command.svg');
    writeFileSync(file, EVERY_COMMAND);
    await hooks(page, 'load', '{"events": []}');
    const input = await page.$('#open-svg-input');
    await input.uploadFile(file);
    await page.waitForFunction(() => document.getElementById('notice-text').textContent.startsWith('Opened'));
    const before = (await report(page)).paths;
    assert.deepEqual(before, opened, 'the file input opens what the hook opens');
    await drag(page, [150, -100], [150 + 60, -100 - 80]);
    assertStretched(before, (await report(page)).paths, await dragPoints(page), false);
  });
});

test('a bad SVG and a bad scenario are refused with a message and the document kept; path data with an error opens as browsers draw it', async () => {
  await withPage(async (page) => {
    const kept = await hooks(page, 'report');
    const keptScenario = await hooks(page, 'scenario');
    const refused = await page.evaluate(() => {
      const messages = [];
      for (const attempt of [
        () => window.slantWarper.openSvg('<svg><path d="M0 0 L"'),
        () => window.slantWarper.load('{"events": ['),
      ]) {
        try {
          attempt();
          messages.push(null);
        } catch (error) {
          messages.push(error.message);
        }
      }
      return messages;
    });
    assert.ok(
      refused.every((message) => typeof message === 'string' && message.length > 0 && !message.includes('\n')),
      String(refused),
    );
    for (const [input, name, text] of [
      ['#open-svg-input', 'broken.svg', '<svg xmlns="http://www.w3.org/2000/svg"><path d="M0 0 L9 9"/>'],
      ['#open-scenario-input', 'broken.json', '{"paths": [{"segments": "no"}]}'],
    ]) {
      const file = join(BUILD_DIR, name);
      writeFileSync(file, text);
      await (await page.$(input)).uploadFile(file);
      await page.waitForFunction((n) => document.getElementById('notice-text').textContent.startsWith(n), {}, name);
      const notice = await page.$eval('#notice', (node) => [node.hidden, node.dataset.kind, node.textContent]);
      assert.deepEqual(notice.slice(0, 2), [false, 'error'], name);
      assert.match(notice[2], /was not opened, the document is as it was: \S/, name);
    }
    assert.equal(await hooks(page, 'report'), kept);
    assert.equal(await hooks(page, 'scenario'), keptScenario);
    // A file a browser draws in spite of an error in its path data opens as
    // the browser draws it, and says so.
    const flawed = join(BUILD_DIR, 'flawed.svg');
    writeFileSync(
      flawed,
      '<svg xmlns="http://www.w3.org/2000/svg"><path id="cut" d="M0 0 L 40 0 L 40 40 L 5"/><circle r="9"/>' +
        // Numbers as Inkscape may write them, which browsers read only
        // respelled, in path art and in a pattern's tile.
        '<defs><pattern id="tile" width="4" height="4" patternUnits="userSpaceOnUse"><path d="M0 0 H 2. V 2. Z"/></pattern></defs>' +
        '<path id="whole" d="M60 0 L 80. 0 L 80 20. Z" fill="url(#tile)"/></svg>',
    );
    await (await page.$('#open-svg-input')).uploadFile(flawed);
    await page.waitForFunction(() => document.getElementById('notice-text').textContent.startsWith('Opened flawed'));
    const notice = await page.$eval('#notice', (node) => [node.dataset.kind, node.textContent]);
    assert.equal(notice[0], 'warning');
    assert.match(notice[1], /Drawn up to an error in its path data, as browsers draw it: <path> "cut" \(missed param/);
    const {paths} = await report(page);
    assert.deepEqual(
      paths.map((path) => path.segments.length),
      [3, 4, 3],
    );
    // Dragged, the path is written anew from what was drawn of it.
    await drag(page, [20, -20], [50, -40]);
    const dragged = (await report(page)).paths;
    const exported = await hooks(page, 'exportSvg');
    assert.doesNotMatch(exported, /L 5"/);
    await hooks(page, 'openSvg', exported);
    assert.equal(await page.$eval('#notice', (node) => node.dataset.kind), 'info', 'the export has no error left');
    assert.deepEqual(
      (await report(page)).paths.map((path) => path.segments),
      dragged.map((path) => path.segments),
    );
  });
});

test('Export SVG and Save scenario download the document and the session', async () => {
  await withPage(async (page) => {
    const folder = await downloadsInto(page, 'downloads');
    // Ctrl+S during the drag saves what its release leaves, not the
    // plug-in's copies of the art made for the drag.
    await drag(page, [300, -250], [360, -280], {beforeRelease: () => withControl(page, 'KeyS')});
    const dragged = (await report(page)).paths;
    const session = await hooks(page, 'scenario');
    await page.click('#save-scenario');
    const file = (name) => join(folder, name);
    await waitFor(() => existsSync(file('slantwarper.svg')) && existsSync(file('slantwarper-session.json')));
    assert.equal(readFileSync(file('slantwarper-session.json'), 'utf8'), session);
    await hooks(page, 'openSvg', readFileSync(file('slantwarper.svg'), 'utf8'));
    const reopened = (await report(page)).paths;
    assert.deepEqual(
      reopened.map((path) => [path.name, path.closed, path.segments]),
      dragged.map((path) => [path.name, path.closed, path.segments]),
      'the export reopens as the dragged document',
    );
  });
});

test('a compressed file in its own encoding opens through the file input and exports stored as it was', async () => {
  await withPage(async (page) => {
    const folder = await downloadsInto(page, 'downloads-svgz');
    // As Inkscape saves .svgz; the title is ISO-8859-1, its é the byte 0xE9.
    const text =
      '<?xml version="1.0" encoding="ISO-8859-1"?>\n<svg xmlns="http://www.w3.org/2000/svg">' +
      '<title>Caf\u00e9</title><rect id="box" x="0" y="0" width="100" height="60"/></svg>';
    const file = join(BUILD_DIR, 'caf\u00e9.svgz');
    writeFileSync(file, gzipSync(Buffer.from(text, 'latin1')));
    await (await page.$('#open-svg-input')).uploadFile(file);
    await page.waitForFunction(() => document.getElementById('notice-text').textContent === 'Opened caf\u00e9.svgz.');
    await drag(page, [20, -20], [70, -50]);
    const dragged = (await report(page)).paths;
    await page.click('#export-svg');
    const exported = join(folder, 'caf\u00e9.svgz');
    await waitFor(() => existsSync(exported));
    const bytes = gunzipSync(readFileSync(exported));
    assert.ok(bytes.includes(Buffer.from('<title>Caf\xe9</title>', 'latin1')), 'the title keeps its one byte');
    await hooks(page, 'openSvg', bytes.toString('latin1'));
    assert.deepEqual(
      (await report(page)).paths.map((path) => path.segments),
      dragged.map((path) => path.segments),
    );
  });
});

test('a file Illustrator reopens from its own copy of the drawing is exported with a warning that Illustrator will not show the stretch', async () => {
  await withPage(async (page) => {
    await downloadsInto(page, 'downloads-illustrator');
    // As Illustrator saves with its editing capabilities kept: a switch that
    // sends Illustrator to the copy, and the copy (its data shortened here).
    const ai = 'http://ns.adobe.com/AdobeIllustrator/10.0/';
    const text =
      `<!DOCTYPE svg [<!ENTITY ns_ai "${ai}">]>` +
      '<svg xmlns="http://www.w3.org/2000/svg" xmlns:i="&ns_ai;" xmlns:xlink="http://www.w3.org/1999/xlink" viewBox="0 0 100 100">' +
      '<switch><foreignObject requiredExtensions="&ns_ai;" width="1" height="1"><i:pgfRef xlink:href="#adobe_illustrator_pgf"/></foreignObject>' +
      '<g i:extraneous="self"><rect x="10" y="10" width="50" height="30"/></g></switch>' +
      '<i:pgf id="adobe_illustrator_pgf"><![CDATA[eJzsvWuTHMl1KPZ9I/Y/9P0IAAA=]]></i:pgf></svg>';
    // Ctrl+S, and what the notice then says once the export is written.
    const save = async (written) => {
      await page.keyboard.down('Control');
      await page.keyboard.press('s');
      await page.keyboard.up('Control');
      const told = `Exported slantwarper.svg: ${written} with new geometry`;
      await page.waitForFunction((t) => document.getElementById('notice-text').textContent.startsWith(t), {}, told);
      return page.$eval('#notice', (node) => [node.dataset.kind, node.querySelector('#notice-text').textContent]);
    };
    await hooks(page, 'openSvg', text);
    assert.equal((await save('0 elements'))[0], 'info', 'nothing changed: nothing to warn of');
    await drag(page, [20, -20], [70, -20]);
    const [kind, told] = await save('1 element');
    assert.equal(kind, 'warning');
    assert.match(told, /Illustrator reopens this file from its own copy of the drawing/);
  });
});

test("a person's changed file is not dropped without asking: opening over it, or leaving the page", async () => {
  await withPage(async (page) => {
    const folder = await downloadsInto(page, 'downloads-unsaved');
    const exported = join(folder, 'mine.svg');
    const mineText = '<svg xmlns="http://www.w3.org/2000/svg"><rect id="a" width="100" height="60"/></svg>';
    const otherText = '<svg xmlns="http://www.w3.org/2000/svg"><circle id="b" r="40"/></svg>';
    const mine = await openFile(page, 'mine.svg', mineText);
    const other = await openFile(page, 'other.svg', otherText);
    const input = await page.$('#open-svg-input');
    const opened = (name) =>
      page.waitForFunction((n) => document.getElementById('notice-text').textContent === `Opened ${n}.`, {}, name);
    const asked = () => page.waitForSelector('#unsaved[open]');
    await openFile(page, 'mine.svg', mineText);
    assert.equal(await page.title(), 'mine.svg \u2013 slantWarper');
    await drag(page, [20, -20], [70, -50]);
    const dragged = (await report(page)).paths;
    assert.equal(await page.title(), '\u25cf mine.svg \u2013 slantWarper', 'the title marks the change');

    // Escape keeps the drawing and its changes.
    await input.uploadFile(other);
    await asked();
    assert.match(await page.$eval('#unsaved-text', (node) => node.textContent), /^mine\.svg has changes .* other\.svg/);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() =>
      /other\.svg was not opened/.test(document.getElementById('notice-text').textContent),
    );
    assert.deepEqual((await report(page)).paths, dragged);

    // Export, then open: the dragged file is downloaded before it gives way.
    await input.uploadFile(other);
    await asked();
    await page.click('#unsaved-export');
    // The notice tells both: the export is not covered by the opening.
    await page.waitForFunction(() =>
      /^Exported mine\.svg: .* Opened other\.svg\.$/.test(document.getElementById('notice-text').textContent),
    );
    await waitFor(() => existsSync(exported));
    await hooks(page, 'openSvg', readFileSync(exported, 'utf8'));
    assert.deepEqual((await report(page)).paths, dragged, 'the export holds the drag');

    // A drag undone leaves nothing to ask about; one that stays is asked about
    // on leaving, until Ctrl+S exports it.
    await openFile(page, 'other.svg', otherText);
    await drag(page, [0, 0], [50, 20]);
    await withControl(page, 'z');
    assert.equal(await page.title(), 'other.svg \u2013 slantWarper');
    await input.uploadFile(mine);
    await opened('mine.svg');
    await drag(page, [20, -20], [70, -50]);
    const leaving = new Promise((resolve) => page.once('dialog', resolve));
    await page.close({runBeforeUnload: true});
    const dialog = await leaving;
    assert.equal(dialog.type(), 'beforeunload');
    await dialog.dismiss();
    assert.equal(page.isClosed(), false, 'the page stays when the person says so');
    rmSync(exported);
    await withControl(page, 's');
    await waitFor(() => existsSync(exported));
    assert.equal(await page.title(), 'mine.svg \u2013 slantWarper');
    let askedAgain = false;
    page.once('dialog', (again) => {
      askedAgain = true;
      again.accept();
    });
    await page.close({runBeforeUnload: true});
    await waitFor(() => page.isClosed());
    assert.equal(askedAgain, false, 'nothing is asked once exported');
  });
});

test('a large file is announced, and the announcement painted, before the page opens it', async () => {
  await withPage(async (page) => {
    // Every text the notice shows, with the number of frames painted by then.
    await page.evaluate(() => {
      window.frames_ = 0;
      const count = () => requestAnimationFrame(count, window.frames_++);
      count();
      window.shown_ = [];
      const text = document.getElementById('notice-text');
      new MutationObserver(() => window.shown_.push([text.textContent, window.frames_])).observe(text, {
        childList: true,
      });
    });
    const padding = `<!-- ${'x'.repeat(1.2 * 2 ** 20)} -->`;
    await openFile(
      page,
      'large.svg',
      `<svg xmlns="http://www.w3.org/2000/svg">${padding}<rect width="10" height="10"/></svg>`,
    );
    const shown = await page.evaluate(() => window.shown_);
    const opening = shown.findIndex(([text]) => text === 'Opening large.svg (1.2 MiB)\u2026');
    assert.ok(opening >= 0, JSON.stringify(shown));
    assert.equal(shown[opening + 1][0], 'Opened large.svg.');
    assert.ok(shown[opening + 1][1] > shown[opening][1], 'a frame was painted in between');
  });
});

test("Ctrl with +, − and 0 zooms the view, as without it, and not the browser's page", async () => {
  await withPage(async (page) => {
    const zoom = () => page.$eval('#status-zoom', (node) => node.textContent);
    await page.keyboard.press('Digit0');
    await frames(page);
    const fitted = await zoom();
    await withControl(page, 'Equal');
    const closer = await zoom();
    assert.ok(parseFloat(closer) > parseFloat(fitted), `${closer} after ${fitted}`);
    await page.keyboard.press('Equal');
    await withControl(page, 'Minus');
    assert.equal(await zoom(), closer, 'Ctrl+− undoes a + step');
    await withControl(page, 'Digit0');
    assert.equal(await zoom(), fitted, 'Ctrl+0 fits');
    // Not under a press the tool works on, where the art would move under
    // the pointer: a drag's stretch, or what a marquee takes.
    await drag(page, [300, -250], [360, -250], {
      beforeRelease: async () => {
        await page.keyboard.press('Equal');
        await page.keyboard.press('Digit0');
      },
    });
    await frames(page);
    assert.equal(await zoom(), fitted, 'the keys left the drag alone');
    assert.deepEqual((await dragPoints(page)).end, [360, -250]);
    await page.keyboard.press('KeyV');
    const corner = await clientPoint(page, 0, 0);
    await page.mouse.move(corner.x, corner.y);
    await page.mouse.down();
    await page.mouse.move(corner.x + 30, corner.y + 30, {steps: 3});
    await page.keyboard.down('Control');
    await page.mouse.wheel({deltaY: -200});
    await page.keyboard.up('Control');
    await page.mouse.up();
    await frames(page);
    assert.equal(await zoom(), fitted, 'Ctrl+wheel left the marquee alone');
  });
});

test('the view keeps what is at its centre when the window is resized, and the host learns the new view', async () => {
  await withPage(async (page) => {
    const centre = () =>
      page.$eval('#document', (svg) => {
        const box = svg.getBoundingClientRect();
        return {x: (box.left + box.right) / 2, y: (box.top + box.bottom) / 2};
      });
    const [x, y] = (await report(page)).paths[0].segments[0].slice(0, 2);
    const offset = async () => {
      const [point, middle] = [await clientPoint(page, x, y), await centre()];
      return [point.x - middle.x, point.y - middle.y];
    };
    const before = await offset();
    for (const size of [
      {width: 900, height: 640},
      {width: 1400, height: 900},
    ]) {
      await page.setViewport(size);
      await frames(page);
      const now = await offset();
      assert.ok(
        Math.hypot(now[0] - before[0], now[1] - before[1]) <= 1,
        `${JSON.stringify(size)}: ${now} after ${before}`,
      );
    }
    // The host learns the view once the resize has rested: the page waits,
    // frame by frame, until the last view the host was told maps the point
    // to where the page shows it.
    const told = await page.waitForFunction(
      (x, y) => {
        const events = JSON.parse(window.slantWarper.scenario()).events ?? [];
        const view = events.filter((e) => e.host === 'view').at(-1);
        if (!view) return false;
        const {origin, zoom} = view;
        const point = window.slantWarper.clientPoint(x, y);
        const box = document.getElementById('document').getBoundingClientRect();
        const miss = [box.left + (x - origin[0]) * zoom - point.x, box.top + (origin[1] - y) * zoom - point.y];
        return Math.hypot(...miss) <= 1 && {zoom, point, miss};
      },
      {},
      x,
      y,
    );
    const {zoom, point, miss} = await told.jsonValue();
    assert.ok(Math.abs(miss[0]) <= 1, `the host maps x as the page shows it: ${miss}`);
    assert.ok(Math.abs(miss[1]) <= 1, `and y: ${miss}`);

    // Under a drag the view stays put: a pixel more is a pixel more of drag.
    await page.mouse.move(point.x, point.y);
    await page.mouse.down();
    await page.mouse.move(point.x + 30, point.y);
    await page.setViewport({width: 1100, height: 700});
    await frames(page);
    await page.mouse.move(point.x + 31, point.y);
    await page.mouse.up();
    const [last, next] = (await events(page)).filter((e) => e.selector === 'AI Mouse Drag').slice(-2);
    assert.ok(Math.hypot(next.point[0] - last.point[0], next.point[1] - last.point[1]) * zoom <= 2, 'no jump');
  });
});

test('on a wide screen the message log folds to its title with a click, giving the document its width', async () => {
  await withPage(async (page) => {
    const widths = () =>
      page.evaluate(() => ({
        view: document.getElementById('document').getBoundingClientRect().width,
        log: document.getElementById('log-list').getBoundingClientRect().height,
      }));
    const shown = await widths();
    assert.ok(shown.log > 0, 'the log starts shown');
    await page.click('.log label');
    const folded = await widths();
    assert.equal(folded.log, 0, 'a click folds it');
    assert.ok(folded.view >= shown.view + 150, `the document takes the room: ${folded.view} after ${shown.view}`);
    await page.click('.log label');
    assert.deepEqual(await widths(), shown, 'a second click shows it again');
  });
});

test('a file dropped on the page opens in it, wherever it lands, the status bar too', async () => {
  await withPage(async (page) => {
    const file = join(BUILD_DIR, 'dropped.svg');
    writeFileSync(file, '<svg xmlns="http://www.w3.org/2000/svg"><rect id="a" width="100" height="60"/></svg>');
    const bar = await (await page.$('.statusbar')).boundingBox();
    const at = {x: bar.x + bar.width / 2, y: bar.y + bar.height / 2};
    const cdp = await page.createCDPSession();
    const data = {items: [], files: [file], dragOperationsMask: 1};
    for (const type of ['dragEnter', 'dragOver', 'drop'])
      await cdp.send('Input.dispatchDragEvent', {type, ...at, data});
    await page.waitForFunction(() => document.getElementById('notice-text').textContent === 'Opened dropped.svg.');
    assert.equal((await report(page)).paths.length, 1);
  });
});

test('a file with no path art opens, drawn and kept, and says the tool has nothing to stretch', async () => {
  await withPage(async (page) => {
    const text =
      '<svg xmlns="http://www.w3.org/2000/svg" viewBox="1000 2000 400 100"><text x="1050" y="2060" font-size="40">Poster</text></svg>';
    await openFile(page, 'poster.svg', text);
    const notice = () => page.$eval('#notice', (node) => `${node.dataset.kind}: ${node.textContent.trim()}`);
    assert.match(await notice(), /^warning: .*nothing to stretch/);
    assert.equal((await report(page)).paths.length, 0);
    // The view shows the file's canvas, far from the origin, its text in it.
    const [drawn, view] = await page.evaluate(() => [
      document.getElementById('art').shadowRoot.querySelector('text').getBoundingClientRect().toJSON(),
      document.getElementById('document').getBoundingClientRect().toJSON(),
    ]);
    assert.ok(drawn.width > 0 && drawn.left > view.left && drawn.right < view.right, 'the text is in view');
    await drag(page, [1100, -2050], [1150, -2030]);
    assert.match(await notice(), /^warning: The drawing has no paths or shapes/);
    assert.equal(await hooks(page, 'exportSvg'), text);
    // With a path beside it, the text is named as what the tool leaves.
    await openFile(page, 'labelled.svg', text.replace('<text', '<path d="M1000 2000H1100"/><text'));
    assert.match(await notice(), /^info: Opened labelled\.svg\. .*stretches its paths and shapes, not its text\./);
  });
});

test('a file whose canvas no view can hold opens, and its session replays', async () => {
  await withPage(async (page) => {
    const svgOf = (root, body) => `<svg xmlns="http://www.w3.org/2000/svg" ${root}>${body}</svg>`;
    const poster = '<text x="10" y="20">Poster</text>';
    // Sizes beyond the number range, and a canvas beyond the float range.
    for (const [i, root] of ['width="1e999" height="10"', 'viewBox="3e38 3e38 3e38 3e38"'].entries()) {
      await openFile(page, `canvas-${i}.svg`, svgOf(root, poster));
      const saved = await hooks(page, 'scenario');
      assert.ok(JSON.parse(saved).view.origin.every(Number.isFinite), `${root}: a view the host can hold`);
      await hooks(page, 'load', saved);
    }
  });
});

test('a file opens on its whole page, centred with a margin, whether the page is 100,000 units wide or half a unit', async () => {
  await withPage(async (page) => {
    const label = '<text x="10" y="290">Label</text>';
    // A page exactly as wide as the view at zoom 2, but for its margin.
    const exact = (await page.$eval('#document', (svg) => svg.getBoundingClientRect().width)) / 2;
    for (const [name, size, body] of [
      ['edge-to-edge.svg', [exact, 100], `<rect width="${exact}" height="100"/>`],
      ['large-units.svg', [100000, 70000], '<rect width="100000" height="70000" fill="#888"/>'],
      ['tiny-units.svg', [0.5, 0.375], '<rect width="0.5" height="0.375" fill="#888"/>'],
      // Its path art a small part of the page, a label beside it.
      ['on-a-page.svg', [400, 300], `<path d="M150 100h100v50h-100z"/>${label}`],
    ]) {
      await openFile(
        page,
        name,
        `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 ${size.join(' ')}">${body}</svg>`,
      );
      const corners = [await clientPoint(page, 0, 0), await clientPoint(page, size[0], -size[1])];
      const view = await page.$eval('#document', (svg) => svg.getBoundingClientRect().toJSON());
      const [left, right, top, bottom] = [corners[0].x, corners[1].x, corners[0].y, corners[1].y];
      const shown = `${name}: [${left}, ${right}] x [${top}, ${bottom}] in ${JSON.stringify(view)}`;
      assert.ok(left >= view.left && right <= view.right && top >= view.top && bottom <= view.bottom, shown);
      // As a drawing program fits a page: as large as the view holds it
      // (or the zoom's range: 1,024 pixels a unit).
      const filled = Math.max((right - left) / (view.width - 16), (bottom - top) / (view.height - 16));
      const largest = (right - left) / size[0] >= 1023.9;
      assert.ok(
        (filled >= 0.99 || largest) && filled <= 1.001,
        `${shown}: the page fills the view, but for its margin`,
      );
      assert.ok(Math.abs((left + right) / 2 - (view.left + view.right) / 2) <= 1, `${shown}: centred across`);
      assert.ok(Math.abs((top + bottom) / 2 - (view.top + view.bottom) / 2) <= 1, `${shown}: centred down`);
      assert.ok(left >= view.left + 7.5 && top >= view.top + 7.5, `${shown}: the page's edges show`);
    }
    // A file that states no size has no page to frame.
    const frame = () => page.$eval('.file-canvas', (rect) => rect.getAttribute('visibility'));
    assert.equal(await frame(), 'visible');
    await openFile(page, 'no-size.svg', '<svg xmlns="http://www.w3.org/2000/svg"><path d="M150 100h100v50z"/></svg>');
    assert.equal(await frame(), 'hidden');
  });
});

// Inkscape's default document, A4 in millimetres, holding a rect 50 by 40
// mm whose corner is at (20, 30) mm.
const A4_MM = `<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<svg width="210mm" height="297mm" viewBox="0 0 210 297" version="1.1" id="svg5"
   xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape" xmlns="http://www.w3.org/2000/svg">
  <g inkscape:label="Layer 1" inkscape:groupmode="layer" id="layer1">
    <rect style="fill:#3d5afe" id="box" width="50" height="40" x="20" y="30" />
  </g>
</svg>
`;

test("a drag stretches a file in millimetres by its length in the file's own pixels, as in a drawing program", async () => {
  await withPage(async (page) => {
    await openFile(page, 'a4.svg', A4_MM);
    assert.equal(await hooks(page, 'exportSvg'), A4_MM, 'exported unedited, the file byte for byte');
    // The screen's pixels to the file's (96 an inch), as the browser draws the rect.
    const cssPixels = 50 * (96 / 25.4);
    const drawn = await page.evaluate(() =>
      document.getElementById('art').shadowRoot.getElementById('box').getBoundingClientRect().toJSON(),
    );
    const scale = drawn.width / cssPixels;
    // The zoom is the file's pixels to the screen's: 100 % is its stated size.
    const zoom = await page.$eval('#status-zoom', (node) => node.textContent);
    assert.equal(zoom, `${Math.round(scale * 1000) / 10} %`, `the zoom of a rect drawn ${drawn.width} pixels wide`);
    // The pointer in the file's millimetres, y down, within a screen pixel.
    await page.mouse.move(drawn.left, drawn.top);
    const [x, y] = (await page.$eval('#status-pointer', (node) => node.textContent)).match(/-?[\d.]+/g).map(Number);
    const pixelMm = 25.4 / 96 / scale;
    assert.ok(
      Math.abs(x - 20) <= pixelMm + 0.05 && Math.abs(y - 30) <= pixelMm + 0.05,
      `the corner read as (${x}, ${y})`,
    );
    // 150 screen pixels to the right from the rect's left edge.
    const length = 150;
    const from = {x: Math.round(drawn.left), y: Math.round(drawn.top + drawn.height / 2)};
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(from.x + length, from.y, {steps: 6});
    await frames(page);
    const readout = await page.$eval('#status-pointer', (node) => node.textContent);
    await page.mouse.up();
    const dragged = (await report(page)).paths;
    const xs = dragged[0].segments.map((segment) => segment[0]);
    const widened = (Math.max(...xs) - Math.min(...xs)) / cssPixels;
    // By one plus the drag's length in the file's pixels over 200 (the
    // scale read from the rect's drawn width to a thousandth).
    const expected = 1 + length / scale / 200;
    assert.ok(Math.abs(widened - expected) <= 1e-3, `stretched by ${widened}, not ${expected}`);
    const stretch = Number(/stretch (-?[\d.]+) %/.exec(readout)[1]);
    assert.ok(Math.abs(stretch - 100 * widened) <= 0.1, `the status bar said ${readout} of a stretch by ${widened}`);
    // The export opens as the dragged paths; undone, it is the file again.
    const exported = await hooks(page, 'exportSvg');
    const corner = /<path style="fill:#3d5afe" id="box" d="M([\d.]+) ([\d.]+)L/.exec(exported).slice(1).map(Number);
    assert.ok(Math.abs(corner[0] - 20) < 1 && Math.abs(corner[1] - 30) < 1e-5, `written in millimetres: ${corner}`);
    await withControl(page, 'z');
    assert.equal(await hooks(page, 'exportSvg'), A4_MM, 'undone, the export is the file byte for byte');
    await hooks(page, 'openSvg', exported);
    const reopened = (await report(page)).paths;
    reopened[0].segments.flat().forEach((value, k) => {
      const want = dragged[0].segments.flat()[k];
      assert.ok(Math.abs(value - want) <= 2 ** -24 * 1000, `number ${k}: ${value} for ${want}`);
    });
  });
});

// Writes `text` as a file under the build and opens it through the file
// input, as a person does; waits for the notice that it opened.
async function openFile(page, name, text) {
  const file = join(BUILD_DIR, name);
  writeFileSync(file, text);
  await (await page.$('#open-svg-input')).uploadFile(file);
  await page.waitForFunction(
    (n) => document.getElementById('notice-text').textContent.startsWith(`Opened ${n}.`),
    {},
    name,
  );
  return file;
}

// Presses `key` with Control held, and waits for the repaint.
async function withControl(page, key) {
  await page.keyboard.down('Control');
  await page.keyboard.press(key);
  await page.keyboard.up('Control');
  await frames(page);
}

// An empty folder under the build that the page's downloads go to.
async function downloadsInto(page, name) {
  const folder = join(BUILD_DIR, name);
  rmSync(folder, {recursive: true, force: true});
  mkdirSync(folder, {recursive: true});
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: folder});
  return folder;
}

async function waitFor(condition, timeout = 10000) {
  for (const start = Date.now(); !condition(); await new Promise((resolve) => setTimeout(resolve, 50))) {
    if (Date.now() - start > timeout) throw new Error('timed out');
  }
}

test('selection outlines follow the selection and the drag, however many paths share a transform', async () => {
  await withPage(async (page) => {
    // 300 squares with one transform, more than one outline path holds, and
    // a circle with another.
    const squares = Array.from(
      {length: 300},
      (_, i) =>
        `<rect x="${(i % 20) * 12}" y="${Math.floor(i / 20) * 12}" width="8" height="8" transform="translate(10 10)"/>`,
    );
    await hooks(
      page,
      'openSvg',
      `<svg xmlns="http://www.w3.org/2000/svg">${squares.join('')}<circle cx="300" cy="100" r="20" transform="scale(2)"/></svg>`,
    );
    // What the outlines are once the page has repainted.
    const outlines = async () => {
      await frames(page);
      return page.$$eval('.selection-outlines path', (nodes) =>
        nodes.map((node) => [node.getAttribute('transform'), node.getAttribute('d')]),
      );
    };
    const moves = (drawn) => drawn.reduce((n, [, d]) => n + d.split('M').length - 1, 0);
    const all = await outlines();
    assert.deepEqual(
      all.map(([transform]) => transform),
      ['matrix(1 0 0 1 10 10)', 'matrix(1 0 0 1 10 10)', 'matrix(2 0 0 2 0 0)'],
    );
    assert.equal(moves(all), 301, 'every element outlined once');
    // Dragged, the circle's outline is the circle's new path data.
    await drag(page, [0, -250], [40, -280]);
    // Both read after the repaint: a busy machine may not have made it yet.
    const dragged = await outlines();
    const circle = await page.$eval('#art', (art) =>
      [...art.shadowRoot.querySelectorAll('path')].at(-1).getAttribute('d'),
    );
    assert.ok(dragged.at(-1)[1] === circle, 'the outline follows the drag');
    await page.keyboard.press('v');
    const corner = await page.$eval('#document', (view) => view.getBoundingClientRect().toJSON());
    await page.mouse.click(corner.left + 4, corner.top + 4);
    assert.equal((await outlines()).length, 0, 'a click on nothing clears them');
    await page.keyboard.down('Shift');
    const [x, y] = await page.$eval('#art', (art) => {
      const box = art.shadowRoot.querySelector('path').getBoundingClientRect();
      return [box.x + box.width / 2, box.y + box.height / 2];
    });
    await page.mouse.click(x, y);
    await page.keyboard.up('Shift');
    assert.equal(moves(await outlines()), 1, 'Shift-click outlines the first square alone');
  });
});

test('the Edit menu selects all and deselects, for a screen with no keyboard, each item only when it can', async () => {
  await withPage(async (page) => {
    const selected = async () => (await report(page)).paths.map((path) => path.selected);
    // The items' states follow at the next repaint, as the menu is shown.
    const choose = async (id) => {
      await page.click('#edit-button');
      await page.click(`#${id}`);
      await frames(page);
    };
    const count = (await selected()).length;
    assert.equal(await page.$eval('#edit-select-all', (item) => item.disabled), true, 'all are selected already');
    await choose('edit-deselect');
    assert.deepEqual(await selected(), Array(count).fill(false));
    assert.equal(await page.$eval('#edit-deselect', (item) => item.disabled), true, 'nothing left to deselect');
    await choose('edit-select-all');
    assert.deepEqual(await selected(), Array(count).fill(true));
  });
});

test('the selection tool: a marquee, Shift-click, a click on nothing, select all', async () => {
  await withPage(async (page) => {
    const selected = async () => (await report(page)).paths.flatMap((path, i) => (path.selected ? [i] : []));
    const all = (await report(page)).paths.map((_, i) => i);
    await page.keyboard.press('v');
    const empty = await clientPoint(page, 0, 5);
    await page.mouse.click(empty.x, empty.y);
    assert.deepEqual(await selected(), [], 'a click on nothing clears');
    // A marquee dragged between two artwork points: what it selects.
    const marquee = async (from, to) => {
      const [a, b] = [await clientPoint(page, ...from), await clientPoint(page, ...to)];
      await page.mouse.move(a.x, a.y);
      await page.mouse.down();
      await page.mouse.move(b.x, b.y, {steps: 4});
      await page.mouse.up();
      return selected();
    };
    // The sun's anchors lie around (500, -110), nothing else near it.
    const sun = await marquee([430, -40], [570, -175]);
    assert.equal(sun.length, 1, 'the marquee takes the sun alone');
    // A marquee across the horizon's middle, far from its ends, takes the
    // line; one in the open sky, inside no outline, takes nothing.
    assert.deepEqual(await marquee([60, -295], [100, -305]), [all.at(-1)], 'the horizon, by its middle');
    assert.deepEqual(await marquee([60, -100], [90, -130]), [], 'nothing in the open sky');
    // The sun again, for Shift-click to add to.
    assert.deepEqual(await marquee([430, -40], [570, -175]), sun, 'the sun again');
    const star = await clientPoint(page, 150, -120);
    await page.keyboard.down('Shift');
    await page.mouse.click(star.x, star.y);
    await page.keyboard.up('Shift');
    assert.equal((await selected()).length, 2, 'Shift-click adds the star');
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    assert.deepEqual(await selected(), all);
    await page.keyboard.down('Shift');
    await page.keyboard.press('A');
    await page.keyboard.up('Shift');
    await page.keyboard.up('Control');
    assert.deepEqual(await selected(), [], 'Shift+Ctrl+A deselects');
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    assert.ok(
      (await events(page)).some((e) => e.host === 'select'),
      'selections are in the scenario',
    );
    // A thin line over nothing: a click three pixels off still takes it.
    await hooks(
      page,
      'openSvg',
      '<svg xmlns="http://www.w3.org/2000/svg"><line x2="200" stroke="black"/><line y1="-50" x2="200" y2="-50" stroke="black"/></svg>',
    );
    await page.keyboard.press('v');
    const below = await clientPoint(page, 100, -20);
    await page.mouse.click(below.x, below.y);
    assert.deepEqual(await selected(), []);
    const near = await clientPoint(page, 100, 0);
    await page.mouse.click(near.x, near.y + 3);
    assert.deepEqual(await selected(), [0]);
  });
});

test('Alt-click selects the group the art is in, and again the group around it, never a whole layer', async () => {
  await withPage(async (page) => {
    await hooks(
      page,
      'openSvg',
      '<svg xmlns="http://www.w3.org/2000/svg" xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape" viewBox="0 0 300 100">' +
        '<g inkscape:groupmode="layer"><g id="face"><g id="eyes"><rect x="10" y="10" width="10" height="10"/>' +
        '<rect x="30" y="10" width="10" height="10"/></g><rect x="10" y="40" width="30" height="5"/></g>' +
        '<rect x="200" y="10" width="50" height="50"/></g></svg>',
    );
    const selected = async () => (await report(page)).paths.flatMap((path, i) => (path.selected ? [i] : []));
    const click = async ([x, y], keys = []) => {
      const at = await clientPoint(page, x, y);
      for (const key of keys) await page.keyboard.down(key);
      await page.mouse.click(at.x, at.y);
      for (const key of keys) await page.keyboard.up(key);
      return selected();
    };
    await page.keyboard.press('v');
    const eye = [15, -15];
    assert.deepEqual(await click(eye), [0], 'a click: the eye alone');
    assert.deepEqual(await click(eye, ['Alt']), [0, 1], 'the eyes');
    assert.deepEqual(await click(eye, ['Alt']), [0, 1, 2], 'the face');
    assert.deepEqual(await click(eye, ['Alt']), [0, 1, 2], 'not the layer');
    assert.deepEqual(await click([225, -35], ['Shift', 'Alt']), [0, 1, 2, 3], 'art in no group adds itself');
    assert.deepEqual(await click(eye), [0]);
  });
});

test('art Inkscape has locked, or on a locked layer, is drawn and kept but never selected: not by opening, a click, a marquee or Select All, so a drag leaves it', async () => {
  await withPage(async (page) => {
    const text = readFileSync(join(REPO_ROOT, 'tests/web/corpus/locked.svg'), 'utf8');
    await hooks(page, 'openSvg', text);
    assert.match(
      await page.$eval('#notice', (node) => node.textContent),
      /3 paths and shapes are locked \(or on a locked layer\) and are left as they are/,
    );
    const opened = (await report(page)).paths;
    const selected = async () => (await report(page)).paths.flatMap((path) => (path.selected ? [path.name] : []));
    assert.deepEqual(await selected(), ['house'], 'opened');
    await page.keyboard.press('v');
    for (const point of [
      [40, -40],
      [180, -10],
    ]) {
      const at = await clientPoint(page, ...point);
      await page.mouse.click(at.x, at.y);
      assert.deepEqual(await selected(), [], `a click on locked art at ${point} selects nothing`);
    }
    await drag(page, [1, -1], [199, -119]);
    assert.deepEqual(await selected(), ['house'], 'a marquee over all of it');
    await page.keyboard.down('Shift');
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    await page.keyboard.up('Shift');
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    assert.deepEqual(await selected(), ['house'], 'Select All');
    await page.keyboard.press('w');
    await drag(page, [0, -60], [100, -60]);
    const dragged = (await report(page)).paths;
    assert.deepEqual(
      dragged.filter((path) => path.name !== 'house'),
      opened.filter((path) => path.name !== 'house'),
      'the locked art as it was',
    );
    assert.notDeepEqual(dragged.at(-1).segments, opened.at(-1).segments, 'the house stretched');
  });
});

test('on a touch screen two fingers put down together pan and zoom the view, and leave the art as it was', async () => {
  const phone = {width: 390, height: 844, isMobile: true, hasTouch: true};
  await withFreshPage(
    session,
    async (page) => {
      const before = (await report(page)).paths;
      // The view's mapping, read from two artwork points' pixels.
      const mapping = async () => {
        const [o, u] = [await clientPoint(page, 0, 0), await clientPoint(page, 100, 0)];
        const scale = (u.x - o.x) / 100;
        return {scale, artworkAt: (c) => [(c.x - o.x) / scale, (o.y - c.y) / scale]};
      };
      const view = await page.$eval('#document', (svg) => svg.getBoundingClientRect().toJSON());
      const middle = {x: view.left + view.width / 2, y: view.top + view.height / 2};
      const start = await mapping();
      const anchor = start.artworkAt(middle);
      const first = await page.touchscreen.touchStart(middle.x - 40, middle.y);
      const second = await page.touchscreen.touchStart(middle.x + 40, middle.y);
      for (let i = 1; i <= 4; i++) {
        await first.move(middle.x - 40 - 10 * i + 5 * i, middle.y + 10 * i);
        await second.move(middle.x + 40 + 10 * i + 5 * i, middle.y + 10 * i);
      }
      await second.end();
      await first.end();
      const end = await mapping();
      assert.ok(
        Math.abs(end.scale / start.scale - 2) < 0.01,
        `spread from 80 to 160 pixels: ${end.scale / start.scale}`,
      );
      const moved = end.artworkAt({x: middle.x + 20, y: middle.y + 40});
      assert.ok(
        Math.hypot(moved[0] - anchor[0], moved[1] - anchor[1]) * end.scale < 1,
        'the point under the fingers followed them',
      );
      assert.deepEqual((await report(page)).paths, before, 'the art is as it was');
      // The Edit menu shows what the last repaint found.
      await frames(page);
      assert.equal(await page.$eval('#edit-undo', (item) => item.disabled), true, 'with no step to undo');

      // One finger after them draws again.
      const finger = await page.touchscreen.touchStart(middle.x, middle.y);
      await finger.move(middle.x + 30, middle.y);
      await finger.move(middle.x + 60, middle.y);
      await finger.end();
      assert.notDeepEqual((await report(page)).paths, before, 'a drag with one finger stretches');
    },
    {viewport: phone},
  );
});
