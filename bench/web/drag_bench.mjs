// The page's cost of one drag event with the file drawn whole, in headless
// Chromium (a benchmark, never a test): the WebAssembly build of the
// plug-in and the substitute host over an SVG file of 10^4 and 10^5
// segments (paths of 1000 segments: wavy rings filled with gradients, half
// of them with a hole, in groups with transforms), and over the largest of
// the real files the round-trip tests open, every path selected, the file
// opened as the page opens it (importer, sanitizer, art layer) and drawn at
// a zoom showing it all.
//
// For each file, after a mouse-down and a few warm-up drags:
//   event    one "AI Mouse Drag" through engine.send (the plug-in moving every
//            segment and the host's call log, which the page keeps on)
//   repaint  the event, then the page's repaint: the draw message, paths()
//            and the document view's render (the file's elements given the
//            host's geometry, the selection outlined), with the browser's
//            style and layout forced before the clock stops
//   frame    one event and repaint per animation frame: the time between
//            frames, paint included (60 frames per second is 16.7 ms)
// Each figure is the median over the events timed.
//
//   node bench/web/drag_bench.mjs [--events N] [--sizes 10000,100000] [--file F.svg ...]
//
// Each --file is measured in place of the largest real file (your own
// drawing, say); --sizes '' with --file measures only those.
import {readFileSync, statSync} from 'node:fs';
import {basename, join} from 'node:path';
import {launchBrowser} from '../../tests/web/browser.mjs';
import {REPO_ROOT} from '../../web/serve.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? args[at + 1] : fallback;
};
const EVENTS = Number(option('--events', '30'));
const SIZES = option('--sizes', '10000,100000')
  .split(',')
  .filter((size) => size.trim() !== '')
  .map(Number);
const FILES = args.flatMap((arg, i) => (arg === '--file' && i + 1 < args.length ? [args[i + 1]] : []));
const REAL_ROOT = '/usr/share/openclipart/svg';

// An SVG file of `segments` segments in paths of 1000, from a fixed
// generator so that every run draws the same art.
function generatedFile(segments) {
  let seed = 12345;
  const random = () => {
    seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
    return seed / 4294967296;
  };
  const perPath = 1000;
  // A closed wavy ring of `count` curve segments.
  const ring = (cx, cy, radius, phase, count) => {
    const points = [];
    for (let i = 0; i < count; i++) {
      const angle = (2 * Math.PI * i) / count;
      const r = radius * (1 + 0.15 * Math.sin(7 * angle + phase));
      points.push([
        cx + r * Math.cos(angle),
        cy + r * Math.sin(angle),
        -Math.sin(angle) * r * 0.002,
        Math.cos(angle) * r * 0.002,
      ]);
    }
    const f = (v) => v.toFixed(3);
    let d = `M${f(points[0][0])} ${f(points[0][1])}`;
    for (let k = 1; k <= count; k++) {
      const [x0, y0, tx0, ty0] = points[k - 1];
      const [x1, y1, tx1, ty1] = points[k % count];
      d += `C${f(x0 + tx0)} ${f(y0 + ty0)} ${f(x1 - tx1)} ${f(y1 - ty1)} ${f(x1)} ${f(y1)}`;
    }
    return `${d}Z`;
  };
  const paths = [];
  for (let p = 0; p < segments / perPath; p++) {
    const [cx, cy, radius] = [random() * 2000 - 1000, random() * 2000 - 1000, 15 + random() * 20];
    // Every other path has a hole: two contours of 500 segments.
    const d =
      p % 2 === 1
        ? ring(cx, cy, radius, p, perPath / 2) + ring(cx, cy, radius / 2, p + 1, perPath / 2)
        : ring(cx, cy, radius, p, perPath);
    paths.push(
      `  <g transform="rotate(${(p * 7) % 40} ${cx.toFixed(1)} ${cy.toFixed(1)})"><path fill="url(#g${p % 3})" stroke="#203040" stroke-width="0.5" fill-rule="evenodd" d="${d}"/></g>`,
    );
  }
  const gradient = (id, a, b) =>
    `<linearGradient id="${id}" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="${a}"/><stop offset="1" stop-color="${b}"/></linearGradient>`;
  return `<svg xmlns="http://www.w3.org/2000/svg" width="2100" height="2100" viewBox="-1050 -1050 2100 2100">
  <defs>${gradient('g0', '#ff7a18', '#af002d')}${gradient('g1', '#2af598', '#009efd')}${gradient('g2', '#fdd835', '#6a1b9a')}</defs>
${paths.join('\n')}
</svg>
`;
}

// The largest of the real files the round-trip tests open, or null.
function largestRealFile() {
  let best = null;
  for (const line of readFileSync(join(REPO_ROOT, 'tests/web/real_files.txt'), 'utf8').split('\n')) {
    const name = line.trim();
    if (!name || name.startsWith('#')) continue;
    try {
      const size = statSync(join(REAL_ROOT, name)).size;
      if (!best || size > best.size) best = {name, size};
    } catch {
      // Not installed: that row is left out.
    }
  }
  return best && {label: best.name, text: readFileSync(join(REAL_ROOT, best.name), 'utf8')};
}

// Runs in the page: opens the file as the page does, times the drags,
// returns the medians.
async function measure(text, events) {
  const {createEngine} = await import('/engine.js');
  const {DocumentView, artworkBounds} = await import('/view.js');
  const {SvgDocument} = await import('/svg_document.js');
  const {drawingOf} = await import('/svg_sanitize.js');
  const {inertMarkup} = await import('/svg_source.js');
  const engine = await createEngine();
  const parseXml = (xml) => new DOMParser().parseFromString(inertMarkup(xml), 'image/svg+xml');

  const open0 = performance.now();
  const model = new SvgDocument(text, 'bench.svg', parseXml);
  const drawing = drawingOf(model.doc);
  const paths = model.worldPaths();
  const [left, bottom, right, top] = artworkBounds(paths);
  const size = 800;
  const zoom = Math.fround((0.9 * size) / Math.max(right - left, top - bottom));
  const origin = [Math.fround((left + right) / 2 - size / 2 / zoom), Math.fround((bottom + top) / 2 + size / 2 / zoom)];
  engine.newWorld({
    view: {origin, zoom},
    host: {tools: ['pkTool2'], menuGroups: ['About'], iconType: 0},
    paths,
    faults: [],
  });

  const holder = document.createElement('div');
  holder.style.cssText = `position: fixed; left: 0; top: 0; width: ${size}px; height: ${size}px; background: white; z-index: 1000`;
  const paper = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
  const art = document.createElement('div');
  const overlay = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
  for (const layer of [paper, art, overlay])
    layer.style.cssText = 'position: absolute; inset: 0; width: 100%; height: 100%';
  holder.append(paper, art, overlay);
  document.body.append(holder);
  const view = new DocumentView(overlay, art, paper);
  view.showFile(model, drawing);
  view.setMapping(origin, zoom);
  view.render(engine.paths());
  overlay.getBoundingClientRect();
  const openTime = performance.now() - open0;

  engine.send({caller: 'SP Interface', selector: 'Startup'});
  const [cx, cy] = [(left + right) / 2, (bottom + top) / 2];
  engine.send({caller: 'AI Tool', selector: 'AI Mouse Down', point: [cx, cy], shift: false});
  let step = 0;
  const reach = (right - left) / 4;
  const drag = () =>
    engine.send({
      caller: 'AI Tool',
      selector: 'AI Mouse Drag',
      point: [cx + reach * (0.2 + (step++ % 50) / 100), cy + reach / 8],
    });
  const repaint = () => {
    if (engine.annotatorActive()) engine.send({caller: 'AI Annotation', selector: 'AI Draw'});
    view.render(engine.paths());
    view.drawAnnotation(engine.drawing());
    overlay.getBoundingClientRect(); // style and layout of what changed, before the clock stops
  };
  const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

  for (let i = 0; i < 3; i++) {
    drag();
    repaint();
  }
  const event = [];
  for (let i = 0; i < events; i++) {
    const t0 = performance.now();
    drag();
    event.push(performance.now() - t0);
  }
  const withRepaint = [];
  for (let i = 0; i < events; i++) {
    const t0 = performance.now();
    drag();
    repaint();
    withRepaint.push(performance.now() - t0);
  }
  const frames = await new Promise((resolve) => {
    const stamps = [];
    const frame = (now) => {
      stamps.push(now);
      if (stamps.length > events) {
        resolve(stamps.slice(1).map((t, i) => t - stamps[i]));
        return;
      }
      drag();
      repaint();
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  });
  engine.send({caller: 'AI Tool', selector: 'AI Mouse Up', point: [cx, cy]});
  const segments = paths.reduce((sum, path) => sum + path.segments.length / 6, 0);
  holder.remove();
  return {
    segments,
    paths: paths.length,
    open: openTime,
    event: median(event),
    repaint: median(withRepaint),
    frame: median(frames),
  };
}

const files = SIZES.map((segments) => ({label: `generated, ${segments} segments`, text: generatedFile(segments)}));
const real = FILES.length > 0 ? null : largestRealFile();
if (real) files.push({label: `${real.label} (the largest real file)`, text: real.text});
for (const file of FILES) files.push({label: basename(file), text: readFileSync(file, 'utf8')});

const session = await launchBrowser({width: 1000, height: 900});
try {
  const version = await session.browser.version();
  console.log(
    `slantWarper page: one drag event in ${version}, headless, the file drawn whole; medians of ${EVENTS} events`,
  );
  console.log('segments  paths   open (ms)   event (ms)   event + repaint (ms)   frame (ms)   file');
  for (const file of files) {
    // A fresh page for each file, so that no file pays for another's memory.
    const page = await session.browser.newPage();
    await page.goto(session.url, {waitUntil: 'load'});
    await page.bringToFront();
    const figures = await page.evaluate(measure, file.text, EVENTS);
    await page.close();
    const cell = (value, width) => value.toFixed(2).padStart(width);
    console.log(
      `${String(figures.segments).padStart(8)}  ${String(figures.paths).padStart(5)}  ${cell(figures.open, 10)}  ` +
        `${cell(figures.event, 11)}  ${cell(figures.repaint, 21)}  ${cell(figures.frame, 11)}   ${file.label}`,
    );
  }
} finally {
  await session.close();
}
