// The page's cost of one drag event, in headless Chromium (a benchmark, never
// a test): the WebAssembly build of the plug-in and the substitute host over
// 10^4, 10^5 and 10^6 selected segments in paths of 1000, as in the native
// benchmark's scaling_paths_of_1000, drawn at a zoom showing them all.
//
// For each size, after a mouse-down and a few warm-up drags:
//   event    one "AI Mouse Drag" through engine.send (the plug-in moving every
//            segment and the host's call log, which the page keeps on)
//   repaint  the event, then the page's repaint: the draw message, paths()
//            and the document view's render (PAGE's renderer, web/view.js),
//            with the browser's style and layout forced before the clock stops
//   frame    one event and repaint per animation frame: the time between
//            frames, paint included (60 frames per second is 16.7 ms)
// Each figure is the median over the events timed.
//
//   node bench/web/drag_bench.mjs [--events N] [--sizes 10000,100000,1000000]
import {launchBrowser} from '../../tests/web/browser.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? args[at + 1] : fallback;
};
const EVENTS = Number(option('--events', '30'));
const SIZES = option('--sizes', '10000,100000,1000000').split(',').map(Number);

// Runs in the page: builds the world, times the drags, returns the medians.
async function measure(segments, events) {
  const {createEngine} = await import('/engine.js');
  const {DocumentView} = await import('/view.js');
  const engine = await createEngine();

  // Paths of 1000 segments: wavy rings 30 to 70 units across spread over a
  // square of 2000 units, smooth curves through every anchor, from a fixed
  // generator so that every run draws the same art.
  let seed = 12345;
  const random = () => {
    seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
    return seed / 4294967296;
  };
  const perPath = 1000;
  const paths = [];
  for (let p = 0; p < segments / perPath; p++) {
    const [cx, cy, radius] = [random() * 2000 - 1000, random() * 2000 - 1000, 15 + random() * 20];
    const floats = new Float32Array(perPath * 6);
    for (let i = 0; i < perPath; i++) {
      const angle = (2 * Math.PI * i) / perPath;
      const r = radius * (1 + 0.15 * Math.sin(7 * angle + p));
      const [x, y] = [cx + r * Math.cos(angle), cy + r * Math.sin(angle)];
      const [tx, ty] = [-Math.sin(angle) * r * 0.002, Math.cos(angle) * r * 0.002];
      floats.set([x, y, x - tx, y - ty, x + tx, y + ty], i * 6);
    }
    paths.push({name: `p${p}`, selected: true, closed: true, segments: floats});
  }
  engine.newWorld({
    view: {origin: [-1100, 1100], zoom: 0.35},
    host: {tools: ['pkTool2'], menuGroups: ['About'], iconType: 0},
    paths,
    faults: [],
  });
  engine.send({caller: 'SP Interface', selector: 'Startup'});
  engine.send({caller: 'AI Tool', selector: 'AI Mouse Down', point: [0, 0], shift: false});

  const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
  svg.setAttribute('width', '800');
  svg.setAttribute('height', '800');
  svg.style.cssText = 'position: fixed; left: 0; top: 0; background: white; z-index: 1000';
  document.body.append(svg);
  const view = new DocumentView(svg);
  view.setMapping([-1100, 1100], 0.35);

  let step = 0;
  const drag = () => engine.send({caller: 'AI Tool', selector: 'AI Mouse Drag', point: [60 + (step++ % 50), 40]});
  const repaint = () => {
    if (engine.annotatorActive()) engine.send({caller: 'AI Annotation', selector: 'AI Draw'});
    view.render(engine.paths(), () => undefined);
    view.drawAnnotation(engine.drawing());
    svg.getBoundingClientRect(); // style and layout of what changed, before the clock stops
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
  engine.send({caller: 'AI Tool', selector: 'AI Mouse Up', point: [60, 40]});
  svg.remove();
  return {event: median(event), repaint: median(withRepaint), frame: median(frames)};
}

const session = await launchBrowser({width: 1000, height: 900});
try {
  const version = await session.browser.version();
  console.log(`slantWarper page: one drag event in ${version}, headless; medians of ${EVENTS} events`);
  console.log('segments    event (ms)   event + repaint (ms)   frame (ms)');
  for (const segments of SIZES) {
    // A fresh page for each size, so that no size pays for another's memory.
    const page = await session.browser.newPage();
    await page.goto(session.url, {waitUntil: "load"});
    await page.bringToFront();
    const figures = await page.evaluate(measure, segments, EVENTS);
    await page.close();
    const cell = (value, width) => value.toFixed(2).padStart(width);
    console.log(`${String(segments).padStart(8)}  ${cell(figures.event, 11)}  ${cell(figures.repaint, 21)}  ${cell(figures.frame, 11)}`);
  }
} finally {
  await session.close();
}
