// A long session in the page (a benchmark, never a test): a real SVG file
// opened through the page's file input again and again, dragged with the
// real mouse, and undone and redone with the real keys, in headless
// Chromium. It prints what the page holds after the first open and at the
// end: the renderer process's resident memory (VmRSS of the page's renderer,
// the largest of Chromium's renderer processes), the WebAssembly memory of
// the current world and the JavaScript heap, each after a full garbage
// collection, so that what is measured is what the page keeps, not what it
// has yet to collect.
//
//   node bench/web/long_session.mjs [--file SVG] [--opens 500] [--drags 4] [--undos 2]
//
// --drags and --undos count per open: by default 500 opens, 2,000 drags, and
// 1,000 undos and 1,000 redos. The file defaults to emscripten's logo, a
// real drawing that Debian's emscripten package ships.
import {readFileSync, readdirSync} from 'node:fs';
import {launchBrowser} from '../../tests/web/browser.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? args[at + 1] : fallback;
};
const FILE = option('--file', '/usr/share/emscripten/media/logo.svg');
const OPENS = Number(option('--opens', '500'));
const DRAGS = Number(option('--drags', '4'));
const UNDOS = Number(option('--undos', '2'));
const LIMIT_MIB = 50;
const MIB = 1 << 20;

// Resident memory of each Chromium renderer process below `pid`, in bytes.
function rendererResidents(pid) {
  const children = new Map();
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
      const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push(Number(entry));
    } catch {
      // the process ended meanwhile
    }
  }
  const residents = [];
  const visit = (id) => {
    for (const child of children.get(id) ?? []) {
      try {
        if (readFileSync(`/proc/${child}/cmdline`, 'utf8').includes('--type=renderer')) {
          const rss = /VmRSS:\s+(\d+) kB/.exec(readFileSync(`/proc/${child}/status`, 'utf8'));
          if (rss) residents.push(Number(rss[1]) * 1024);
        }
      } catch {
        // the process ended meanwhile
      }
      visit(child);
    }
  };
  visit(pid);
  return residents;
}

async function measure(session, page, cdp) {
  await cdp.send('HeapProfiler.collectGarbage');
  await new Promise((resolve) => setTimeout(resolve, 500));
  await cdp.send('HeapProfiler.collectGarbage');
  const {JSHeapUsedSize} = await page.metrics();
  const {wasmBytes} = await page.evaluate(() => window.slantWarper.memory());
  const residents = rendererResidents(session.browser.process().pid);
  return {renderer: Math.max(...residents), renderers: residents.length, wasm: wasmBytes, heap: JSHeapUsedSize};
}

const frames = (page) =>
  page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));

async function open(page, input, round) {
  await input.uploadFile(FILE);
  // The drawing before has drags no export holds: the page asks first.
  if (round > 0) {
    await page.waitForSelector('#unsaved[open]');
    await page.click('#unsaved-discard');
  }
  await page.waitForFunction((n) => document.getElementById('notice-text').textContent.startsWith(n), {}, 'Opened');
  await page.evaluate(() => {
    document.getElementById('notice-text').textContent = '';
  });
  if (round === 0) {
    const paths = JSON.parse(await page.evaluate(() => window.slantWarper.report())).paths.length;
    console.log(`${FILE}: ${paths} paths`);
  }
}

async function drag(page, box, i) {
  const x = box.x + box.width * (0.4 + 0.05 * (i % 3));
  const y = box.y + box.height * 0.5;
  await page.mouse.move(x, y);
  await page.mouse.down();
  await page.mouse.move(x + 40 + 10 * (i % 4), y - 15, {steps: 4});
  await page.mouse.up();
}

async function key(page, keys) {
  for (const k of keys) await page.keyboard.down(k);
  for (const k of [...keys].reverse()) await page.keyboard.up(k);
}

const session = await launchBrowser({width: 1280, height: 800});
try {
  const [page] = await session.browser.pages();
  await page.goto(session.url, {waitUntil: 'load'});
  await page.waitForFunction(() => Boolean(window.slantWarper && window.slantWarper.ready), {timeout: 30000});
  await page.evaluate(() => window.slantWarper.ready);
  const cdp = await page.createCDPSession();
  const input = await page.$('#open-svg-input');
  const box = await (await page.$('#document')).boundingBox();
  console.log(`slantWarper page, a long session in ${await session.browser.version()}, headless`);

  const started = Date.now();
  let first = null;
  let drags = 0;
  let undos = 0;
  let redos = 0;
  for (let round = 0; round < OPENS; round++) {
    await open(page, input, round);
    if (round === 0) first = await measure(session, page, cdp);
    for (let i = 0; i < DRAGS; i++, drags++) await drag(page, box, drags);
    for (let i = 0; i < UNDOS; i++, undos++) await key(page, ['Control', 'z']);
    for (let i = 0; i < UNDOS; i++, redos++) await key(page, i % 2 ? ['Shift', 'Control', 'z'] : ['Control', 'y']);
    await frames(page);
    if ((round + 1) % 100 === 0) {
      const now = await measure(session, page, cdp);
      console.log(
        `  after ${round + 1} opens: renderer ${(now.renderer / MIB).toFixed(1)} MiB, ` +
          `WebAssembly ${(now.wasm / MIB).toFixed(1)} MiB, JS heap ${(now.heap / MIB).toFixed(1)} MiB`,
      );
    }
  }
  const end = await measure(session, page, cdp);
  const row = (name, m) =>
    `${name.padEnd(16)} ${(m.renderer / MIB).toFixed(1).padStart(12)} ${(m.wasm / MIB).toFixed(1).padStart(16)} ` +
    `${(m.heap / MIB).toFixed(1).padStart(12)}`;
  console.log(
    `${OPENS} opens, ${drags} drags, ${undos} undos and ${redos} redos in ${((Date.now() - started) / 1000).toFixed(0)} s ` +
      `(${end.renderers} renderer processes)`,
  );
  console.log(
    `${''.padEnd(16)} ${'renderer MiB'.padStart(12)} ${'WebAssembly MiB'.padStart(16)} ${'JS heap MiB'.padStart(12)}`,
  );
  console.log(row('after first open', first));
  console.log(row('at the end', end));
  const growth = (end.renderer - first.renderer) / MIB;
  console.log(
    `renderer growth ${growth.toFixed(1)} MiB: ${growth <= LIMIT_MIB ? 'within' : 'NOT within'} ${LIMIT_MIB} MiB`,
  );
} finally {
  await session.close();
}
