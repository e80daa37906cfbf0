// One behaviour in three builds: the page (the plug-in and the substitute host
// compiled to WebAssembly) against the native runner, byte for byte.
// - Every scenario under scenarios/ loaded through window.slantWarper.load
//   gives exactly the native runner's --json report.
// - After real mouse and keyboard work in Chromium (drags with and without
//   Shift, a zoom, a marquee selection, a click), the page's report() is
//   exactly what the native runner writes for the page's scenario(), and so
//   is the Windows runner's under wine, where that build exists.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {existsSync, mkdirSync, readFileSync, readdirSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {BUILD_DIR, callHook, launchBrowser, withFreshPage} from './browser.mjs';
import {REPO_ROOT} from '../../web/serve.mjs';

const NATIVE_RUNNER = join(REPO_ROOT, 'build/native/host/slantwarper-host');
const WINDOWS_RUNNER = join(REPO_ROOT, 'build/windows/host/slantwarper-host.exe');
const WINDOWS_PLUGIN = join(REPO_ROOT, 'build/windows/bridge/slantWarper.aip');
const SCENARIOS = join(REPO_ROOT, 'scenarios');
const WORK = join(BUILD_DIR, 'identity');

// The runner's report for a scenario file; a run with contract violations
// (exit 3) still writes its report, which is compared all the same.
function runnerReport(command, args) {
  const options = {maxBuffer: 1 << 28, stdio: ['ignore', 'pipe', 'pipe'], env: {...process.env, WINEDEBUG: '-all'}};
  try {
    return execFileSync(command, args, options).toString('utf8');
  } catch (error) {
    if (error.status === 3) return error.stdout.toString('utf8');
    throw new Error(`${command} ${args.join(' ')} failed (${error.status}): ${error.stderr}`);
  }
}

const nativeReport = (file) => runnerReport(NATIVE_RUNNER, [file, '--json', '-']);

function saved(name, text) {
  mkdirSync(WORK, {recursive: true});
  const file = join(WORK, name);
  writeFileSync(file, text);
  return file;
}

let session;
before(async () => {
  assert.ok(existsSync(NATIVE_RUNNER), `the native runner is built first (${NATIVE_RUNNER})`);
  session = await launchBrowser();
});
after(() => session?.close());

const withPage = (body) => withFreshPage(session, body);

const hook = callHook;

// The page's session replayed by the native runner gives the page's report.
// Both are read at once: while the annotator is active each repaint of the
// page sends another draw message.
async function assertReplaysNatively(page, name) {
  const {scenario, report} = await page.evaluate(() => ({
    scenario: window.slantWarper.scenario(),
    report: window.slantWarper.report(),
  }));
  const file = saved(`${name}.json`, scenario);
  saved(`${name}.report.json`, report);
  assert.equal(report, nativeReport(file), `${name}: the page's report() is the native report of its scenario()`);
  return {scenario, file, report};
}

test('every example scenario loaded in the page gives the native report, byte for byte', async () => {
  const files = readdirSync(SCENARIOS)
    .filter((name) => name.endsWith('.json'))
    .sort();
  assert.ok(files.length >= 10, 'the example scenarios are there');
  await withPage(async (page) => {
    for (const name of files) {
      const text = readFileSync(join(SCENARIOS, name), 'utf8');
      await hook(page, 'load', text);
      assert.equal(await hook(page, 'report'), nativeReport(join(SCENARIOS, name)), name);
      // What the page saves of it replays to the same report.
      await assertReplaysNatively(page, `loaded_${name.replace(/\.json$/, '')}`);
    }
  });
});

// Artwork bounds [left, bottom, right, top] of the paths of a scenario text.
function bounds(scenarioText) {
  const xs = [];
  const ys = [];
  for (const path of JSON.parse(scenarioText).paths) {
    for (const s of path.segments) {
      xs.push(s[0]);
      ys.push(s[1]);
    }
  }
  return [Math.min(...xs), Math.min(...ys), Math.max(...xs), Math.max(...ys)];
}

async function press(page, [x, y]) {
  const p = await hook(page, 'clientPoint', x, y);
  await page.mouse.move(p.x, p.y);
  await page.mouse.down();
}

async function moveTo(page, [x, y], steps = 5) {
  const p = await hook(page, 'clientPoint', x, y);
  await page.mouse.move(p.x, p.y, {steps});
}

async function dragBy(page, from, by, {shift = false} = {}) {
  if (shift) await page.keyboard.down('Shift');
  await press(page, from);
  await moveTo(page, [from[0] + by[0], from[1] + by[1]]);
  await page.mouse.up();
  if (shift) await page.keyboard.up('Shift');
}

test('after real mouse and keyboard work the page reports what the native runner reports for its scenario', async () => {
  await withPage(async (page) => {
    const [left, bottom, right, top] = bounds(await hook(page, 'scenario'));
    const centre = [(left + right) / 2, (bottom + top) / 2];
    const width = right - left;
    const height = top - bottom;

    // A plain drag, then a zoom (a host action: the view changes).
    await dragBy(page, centre, [width / 6, height / 10]);
    await page.click('#zoom-out');
    // A marquee over the left half selects what lies in it (host action).
    await page.click('#tool-selection');
    await press(page, [left - 5, top + 5]);
    await moveTo(page, [centre[0], bottom - 5]);
    await page.mouse.up();
    await page.click('#tool-slantwarper');
    // Shift held from the keyboard, past 200 units: the selection mirrors.
    await dragBy(page, [centre[0], centre[1]], [0, 260], {shift: true});
    // A click that does not move is undone by the plug-in.
    await press(page, centre);
    await page.mouse.up();

    const {scenario, file, report} = await assertReplaysNatively(page, 'mouse_session');
    const played = JSON.parse(scenario).events;
    assert.ok(
      played.some((e) => e.host === 'view'),
      'the zoom reached the host as a view action',
    );
    assert.ok(
      played.some((e) => e.host === 'select'),
      'the marquee reached the host as a select action',
    );
    assert.ok(
      played.some((e) => e.selector === 'AI Mouse Drag' && e.shift === true),
      'Shift from the keyboard',
    );
    assert.ok(JSON.parse(report).undos >= 1, 'the click was undone');

    // The Windows runner under wine, with the real slantWarper.aip, where built.
    if (existsSync(WINDOWS_RUNNER) && existsSync(WINDOWS_PLUGIN) && existsSync('/usr/bin/wine')) {
      const windows = runnerReport('/usr/bin/wine', [WINDOWS_RUNNER, file, '--plugin', WINDOWS_PLUGIN, '--json', '-']);
      assert.equal(windows, report, 'the Windows runner under wine gives the same bytes');
    }
  });
});

test('a loaded scenario followed by mouse drags replays natively to the same bytes', async () => {
  await withPage(async (page) => {
    await hook(page, 'load', readFileSync(join(SCENARIOS, 'reference_fresh_host.json'), 'utf8'));
    const [left, bottom, right, top] = bounds(await hook(page, 'scenario'));
    const centre = [(left + right) / 2, (bottom + top) / 2];
    await dragBy(page, centre, [40, -25]);
    await dragBy(page, centre, [-150, 120], {shift: true});
    await assertReplaysNatively(page, 'loaded_then_dragged');
  });
});

test('a plug-in unloaded in the page starts from fresh module state, as a dlclosed library does', async () => {
  // The runner loads the library again for the shutdown that follows the
  // unload: a fresh module knows no globals block and frees nothing, so the
  // host keeps it; a module that kept its state would free it.
  const scenario = JSON.stringify({
    events: [
      {caller: 'SP Interface', selector: 'Startup'},
      {caller: 'SP Access', selector: 'Unload'},
      {caller: 'SP Interface', selector: 'Shutdown'},
    ],
  });
  await withPage(async (page) => {
    await hook(page, 'load', scenario);
    const {report} = await assertReplaysNatively(page, 'fresh_module');
    assert.equal(JSON.parse(report).liveBlocks, 1, 'the block the fresh module never knew is still held');
  });
});
