// Undo and redo in the page, by real keys and the Edit menu in Chromium: a
// drag taken back restores the document exactly, Shift+Ctrl+Z and Ctrl+Y
// bring it back, an undo pressed during a drag waits for the release, and
// the session, undos and redos included, replays natively (and under wine,
// where the Windows build exists) to the page's report, byte for byte.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {existsSync, mkdirSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {BUILD_DIR, callHook, frames, launchBrowser, withFreshPage} from './browser.mjs';
import {REPO_ROOT} from '../../web/serve.mjs';

const NATIVE_RUNNER = join(REPO_ROOT, 'build/native/host/slantwarper-host');
const WINDOWS_RUNNER = join(REPO_ROOT, 'build/windows/host/slantwarper-host.exe');
const WINDOWS_PLUGIN = join(REPO_ROOT, 'build/windows/bridge/slantWarper.aip');
const WORK = join(BUILD_DIR, 'history');

let session;
before(async () => {
  assert.ok(existsSync(NATIVE_RUNNER), `the native runner is built first (${NATIVE_RUNNER})`);
  session = await launchBrowser();
});
after(() => session?.close());

const paths = async (page) => JSON.parse(await callHook(page, 'report')).paths;
const played = async (page) => JSON.parse(await callHook(page, 'scenario')).events;
const disabled = (page) =>
  page.evaluate(() => ({
    undo: document.querySelector('[data-edit="undo"]').disabled,
    redo: document.querySelector('[data-edit="redo"]').disabled,
  }));
const notice = (page) =>
  page.$eval('#notice', (node) =>
    node.hidden ? '' : `${node.dataset.kind}: ${node.querySelector('#notice-text').textContent}`,
  );

async function press(page, keys) {
  for (const key of keys) await page.keyboard.down(key);
  for (const key of [...keys].reverse()) await page.keyboard.up(key);
  await frames(page);
}
const undo = (page) => press(page, ['Control', 'z']);
const redoShift = (page) => press(page, ['Shift', 'Control', 'z']);
const redoY = (page) => press(page, ['Control', 'y']);

async function drag(page, from, to, {duringDrag} = {}) {
  const start = await callHook(page, 'clientPoint', ...from);
  const end = await callHook(page, 'clientPoint', ...to);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  await page.mouse.move((start.x + end.x) / 2, (start.y + end.y) / 2, {steps: 3});
  if (duringDrag) await duringDrag();
  await page.mouse.move(end.x, end.y, {steps: 3});
  await page.mouse.up();
  await frames(page);
}

function runnerReport(command, args) {
  const options = {maxBuffer: 1 << 28, stdio: ['ignore', 'pipe', 'pipe'], env: {...process.env, WINEDEBUG: '-all'}};
  return execFileSync(command, args, options).toString('utf8');
}

async function assertReplays(page, name) {
  const {scenario, report} = await page.evaluate(() => ({
    scenario: window.slantWarper.scenario(),
    report: window.slantWarper.report(),
  }));
  mkdirSync(WORK, {recursive: true});
  const file = join(WORK, `${name}.json`);
  writeFileSync(file, scenario);
  assert.equal(runnerReport(NATIVE_RUNNER, [file, '--json', '-']), report, `${name}: the native runner's bytes`);
  if (existsSync(WINDOWS_RUNNER) && existsSync(WINDOWS_PLUGIN) && existsSync('/usr/bin/wine')) {
    const windows = runnerReport('/usr/bin/wine', [WINDOWS_RUNNER, file, '--plugin', WINDOWS_PLUGIN, '--json', '-']);
    assert.equal(windows, report, `${name}: the Windows runner's bytes under wine`);
  }
}

test('Ctrl+Z takes a drag back exactly, Shift+Ctrl+Z and Ctrl+Y bring it back, and the session replays', async () => {
  await withFreshPage(session, async (page) => {
    const start = await paths(page);
    assert.deepEqual(await disabled(page), {undo: true, redo: true}, 'nothing to undo or redo after opening');
    await undo(page);
    assert.equal(await notice(page), 'info: Nothing to undo.');
    assert.ok(!(await played(page)).some((e) => e.host === 'undo'), 'an undo with nothing to undo is not sent');

    await drag(page, [300, -250], [420, -210]);
    const dragged = await paths(page);
    assert.notDeepEqual(dragged, start, 'the drag stretched the art');
    assert.deepEqual(await disabled(page), {undo: false, redo: true});

    await undo(page);
    assert.deepEqual(await paths(page), start, 'Ctrl+Z: the document exactly as before the drag');
    assert.deepEqual(await disabled(page), {undo: true, redo: false});
    await redoShift(page);
    assert.deepEqual(await paths(page), dragged, 'Shift+Ctrl+Z: the drag again');
    await undo(page);
    await redoY(page);
    assert.deepEqual(await paths(page), dragged, 'Ctrl+Y: the drag again');

    // A click the plug-in undoes itself is no step: Ctrl+Z still takes back the drag.
    const at = await callHook(page, 'clientPoint', 320, -240);
    await page.mouse.click(at.x, at.y);
    await frames(page);
    await undo(page);
    assert.deepEqual(await paths(page), start, 'the click left no step of its own');

    const events = await played(page);
    assert.equal(events.filter((e) => e.host === 'undo').length, 3);
    assert.equal(events.filter((e) => e.host === 'redo').length, 2);
    await assertReplays(page, 'keys');
  });
});

test('an undo pressed during a drag waits for the release, and the Edit menu undoes and redoes', async () => {
  await withFreshPage(session, async (page) => {
    const start = await paths(page);
    await drag(page, [300, -250], [300, -100], {duringDrag: () => undo(page)});
    assert.deepEqual(await paths(page), start, 'the whole drag was taken back once it ended');
    const events = await played(page);
    const up = events.findIndex((e) => e.selector === 'AI Mouse Up');
    assert.equal(
      events.findIndex((e) => e.host === 'undo'),
      up + 1,
      'the undo came right after the release',
    );
    const results = JSON.parse(await callHook(page, 'report')).results;
    assert.ok(
      results.every((r) => r.result === 0),
      'no message met art the undo took away',
    );

    await page.click('#edit-button');
    await page.click('[data-edit="redo"]');
    await frames(page);
    const redone = await paths(page);
    assert.notDeepEqual(redone, start, 'Edit > Redo brought the drag back');
    await page.click('#edit-button');
    await page.click('[data-edit="undo"]');
    await frames(page);
    assert.deepEqual(await paths(page), start, 'Edit > Undo took it back');
    await assertReplays(page, 'menu_and_waiting');
  });
});

test('the keyboard alone works the Edit menu: arrows reach what can be done, Enter does it, Escape backs out', async () => {
  await withFreshPage(session, async (page) => {
    const focused = () => page.evaluate(() => document.activeElement?.id ?? '');
    const shown = () => page.$eval('#edit-panel', (panel) => !panel.hidden);
    const start = await paths(page);
    await drag(page, [300, -250], [300, -100]);
    const dragged = await paths(page);

    await page.click('#edit-button');
    await press(page, ['ArrowDown']);
    assert.equal(await focused(), 'edit-undo', 'ArrowDown goes from the button to Undo');
    await press(page, ['ArrowDown']);
    assert.equal(await focused(), 'edit-deselect', 'Redo and Select All, which cannot be done, are passed over');
    await press(page, ['ArrowDown']);
    assert.equal(await focused(), 'edit-undo', 'and from the last item back to the first');
    await press(page, ['Enter']);
    assert.deepEqual(await paths(page), start, 'Enter on Undo took the drag back');
    assert.deepEqual([await shown(), await focused()], [false, 'edit-button'], 'closed, the focus on its button');

    await press(page, ['ArrowUp']);
    assert.deepEqual([await shown(), await focused()], [true, 'edit-deselect'], 'ArrowUp opens it at its last item');
    await press(page, ['ArrowUp']);
    assert.equal(await focused(), 'edit-redo', 'and goes up to Redo');
    await press(page, ['Escape']);
    assert.deepEqual([await shown(), await focused()], [false, 'edit-button'], 'Escape gives the button back');
    assert.deepEqual(await paths(page), start, 'and does nothing');
    await press(page, ['ArrowDown']);
    await press(page, ['Enter']);
    assert.deepEqual(await paths(page), dragged, 'Redo from the keyboard brought the drag back');
  });
});

// A key as a keyboard of another layout sends it: the character it types
// (`key`) on the physical key `code`; modifiers: Shift 8, Ctrl 2.
async function pressLaidOut(page, key, code, modifiers = 0) {
  const cdp = await page.createCDPSession();
  const keyCode = code.startsWith('Key') ? code.charCodeAt(3) : 0;
  const typed = modifiers & 2 ? {} : {text: key};
  for (const type of [modifiers & 2 ? 'rawKeyDown' : 'keyDown', 'keyUp']) {
    await cdp.send('Input.dispatchKeyEvent', {type, key, code, windowsVirtualKeyCode: keyCode, modifiers, ...typed});
  }
  await cdp.detach();
  await frames(page);
}

test('the shortcuts work after a click on the log, and on a keyboard laid out for another script', async () => {
  await withFreshPage(session, async (page) => {
    const start = await paths(page);
    const logShown = () => page.$eval('#log-shown', (box) => box.checked);
    await drag(page, [300, -250], [420, -210]);
    const dragged = await paths(page);
    await page.click('.log label');
    await page.click('.log label');
    await undo(page);
    assert.deepEqual(await paths(page), start, 'Ctrl+Z after the log was folded and shown again');
    const shown = await logShown();
    await press(page, [' ']);
    assert.equal(await logShown(), shown, 'Space pans; it does not fold the log');
    await page.click('.log label');
    await redoShift(page);
    assert.deepEqual(await paths(page), dragged, 'Shift+Ctrl+Z too');
    await undo(page);

    // A Russian layout: Ctrl with the key that types я is Ctrl+Z.
    await pressLaidOut(page, 'Я', 'KeyZ', 2 | 8);
    assert.deepEqual(await paths(page), dragged, 'Shift+Ctrl+Я redoes');
    // A layout whose Z key types a Latin letter keeps that letter: Ctrl+;
    // on Dvorak's Z key is no undo.
    await pressLaidOut(page, ';', 'KeyZ', 2);
    assert.deepEqual(await paths(page), dragged, 'Ctrl+; undid nothing');
    await pressLaidOut(page, 'я', 'KeyZ', 2);
    assert.deepEqual(await paths(page), start, 'Ctrl+Я undoes');
    await pressLaidOut(page, 'м', 'KeyV');
    assert.equal(
      await page.$eval('#status-tool', (node) => node.textContent),
      'selection',
      'М is V: the selection tool',
    );
    await pressLaidOut(page, 'ф', 'KeyA', 2 | 8);
    assert.ok(
      (await paths(page)).every((path) => !path.selected),
      'Shift+Ctrl+Ф deselects',
    );
    // AZERTY's 0 key types à: with Ctrl it fits, as Ctrl+0 does.
    const zoom = () => page.$eval('#status-zoom', (node) => node.textContent);
    await press(page, ['0']);
    const fitted = await zoom();
    await press(page, ['-']);
    await pressLaidOut(page, 'à', 'Digit0', 2);
    assert.equal(await zoom(), fitted, 'Ctrl+À fits the view');
  });
});

test('Escape during a drag puts the art back and leaves no step; the rest of the drag does nothing', async () => {
  await withFreshPage(session, async (page) => {
    await drag(page, [300, -250], [300, -100]);
    const before = await paths(page);
    const start = await callHook(page, 'clientPoint', 300, -250);
    await page.mouse.move(start.x, start.y);
    await page.mouse.down();
    await page.mouse.move(start.x + 90, start.y + 20, {steps: 3});
    await frames(page);
    assert.notDeepEqual(await paths(page), before, 'the drag stretched the art');
    await press(page, ['Escape']);
    assert.deepEqual(await paths(page), before, 'Escape: the art as before the press');
    await page.mouse.move(start.x + 150, start.y + 40, {steps: 3});
    await page.mouse.up();
    await frames(page);
    assert.deepEqual(await paths(page), before, 'moving on and releasing changed nothing');
    assert.ok(await page.$eval('#document > .annotation', (g) => g.childElementCount === 0), 'no drag line is left');
    await undo(page);
    assert.notDeepEqual(await paths(page), before, 'Ctrl+Z takes back the drag before, not the one escaped');

    // The selection tool's marquee ends with Escape too, selecting nothing new.
    await press(page, ['Shift', 'Control', 'a']);
    await press(page, ['v']);
    const corner = await callHook(page, 'clientPoint', 0, 0);
    await page.mouse.move(corner.x - 5, corner.y - 5);
    await page.mouse.down();
    await page.mouse.move(corner.x + 600, corner.y + 600, {steps: 3});
    await press(page, ['Escape']);
    await page.mouse.up();
    await frames(page);
    assert.ok(
      (await paths(page)).every((path) => !path.selected),
      'the escaped marquee selected nothing',
    );
    assert.ok(await page.$eval('.marquee', (m) => m.getAttribute('visibility') === 'hidden'), 'and is gone');
    await assertReplays(page, 'escape');
  });
});
