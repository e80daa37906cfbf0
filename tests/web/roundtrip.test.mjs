// Open, export, open again, as a person trying the tool on their own art
// would: the project's corpus (one file for each kind of drawing the page
// keeps) and real clipart from Debian's openclipart-svg, in Chromium.
// - Exported with no drag, every file is written back byte for byte, so it
//   renders as the original.
// - After a real drag at the highest zoom (every element's geometry moved by
//   a fraction of a pixel, so every element is written anew: path data in
//   its own coordinates, basic shapes as paths, uses as groups), the export
//   rendered by librsvg differs from the original in at most MOVED_TOLERANCE
//   of the drawn pixels (channels more than 64 of 255 apart).
// - Opening that export gives the dragged host paths to the last bit, but
//   where an element's transform cancels a coordinate to nearly zero: there
//   within a 32-bit float's precision of the path's largest coordinate.
// - An Inkscape shape given new path data (an ellipse, star, spiral or
//   offset path carrying sodipodi:type) no longer carries the parameters
//   Inkscape would draw it from instead, so Inkscape opens it as dragged.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {existsSync, readFileSync, readdirSync} from 'node:fs';
import {join} from 'node:path';
import {callHook, launchBrowser, withFreshPage} from './browser.mjs';
import {comparePictures, rsvgPicture} from './pixels.mjs';
import {REPO_ROOT} from '../../web/serve.mjs';

const CORPUS = join(REPO_ROOT, 'tests/web/corpus');
const REAL_ROOT = '/usr/share/openclipart/svg';
const REAL_LIST = join(REPO_ROOT, 'tests/web/real_files.txt');
const MOVED_TOLERANCE = 0.01;

const corpusFiles = () =>
  readdirSync(CORPUS)
    .filter((name) => name.endsWith('.svg'))
    .sort()
    .map((name) => join(CORPUS, name));
const realFiles = () =>
  readFileSync(REAL_LIST, 'utf8')
    .split('\n')
    .map((line) => line.trim())
    .filter((line) => line && !line.startsWith('#'))
    .map((name) => join(REAL_ROOT, name));

let session;
before(async () => {
  session = await launchBrowser();
});
after(() => session?.close());

const report = async (page) => JSON.parse(await callHook(page, 'report'));
// Whether two documents' paths are the same to a float's precision of each
// path's largest coordinate.
function assertSameGeometry(actual, expected, what) {
  assert.equal(actual.length, expected.length, `${what}: as many paths`);
  expected.forEach((path, p) => {
    const flat = path.segments.flat();
    const got = actual[p].segments.flat();
    assert.equal(actual[p].closed, path.closed, `${what}: path ${p} closed as it was`);
    assert.equal(got.length, flat.length, `${what}: path ${p} has its segments`);
    const precision = 2 ** -24 * Math.max(...flat.map(Math.abs));
    flat.forEach((value, k) => {
      assert.ok(Math.abs(got[k] - value) <= precision, `${what}: path ${p} number ${k}: ${got[k]} for ${value}`);
    });
  });
}

// Of the elements that carry an Inkscape shape (sodipodi:type) in `text`,
// how many the export gives new path data, and the ids of those of them
// still carrying it; read by the browser's parser, which knows a document
// type's entities.
const inkscapeShapes = (page, text, exported) =>
  page.evaluate(
    (text, exported) => {
      const SODIPODI = 'http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd';
      const read = (xml) => new DOMParser().parseFromString(xml, 'image/svg+xml');
      const after = read(exported);
      const rewritten = [...read(text).querySelectorAll('[id]')].filter(
        (e) =>
          e.hasAttributeNS(SODIPODI, 'type') && after.getElementById(e.id)?.getAttribute('d') !== e.getAttribute('d'),
      );
      const stale = rewritten.filter((e) => after.getElementById(e.id).hasAttributeNS(SODIPODI, 'type'));
      return {rewritten: rewritten.length, stale: stale.map((e) => e.id)};
    },
    text,
    exported,
  );

// Zooms all the way in about the view's centre, then drags two pixels.
async function tinyDrag(page) {
  const box = await page.$eval('#document', (svg) => JSON.parse(JSON.stringify(svg.getBoundingClientRect())));
  const [x, y] = [box.left + box.width / 2, box.top + box.height / 2];
  await page.mouse.move(x, y);
  await page.keyboard.down('Control');
  await page.mouse.wheel({deltaY: -3000});
  await page.mouse.wheel({deltaY: -3000});
  await page.keyboard.up('Control');
  await page.mouse.down();
  await page.mouse.move(x + 1, y, {steps: 1});
  await page.mouse.move(x + 2, y, {steps: 1});
  await page.mouse.up();
}

async function roundTrip(files) {
  const outcomes = [];
  await withFreshPage(session, async (page) => {
    for (const file of files) {
      const text = readFileSync(file, 'utf8');
      await callHook(page, 'openSvg', text);
      assert.equal(await callHook(page, 'exportSvg'), text, `${file}: exported with no drag, as it was`);
      await tinyDrag(page);
      const dragged = (await report(page)).paths;
      const exported = await callHook(page, 'exportSvg');
      // librsvg draws both while the page goes on.
      const pictures = Promise.all([rsvgPicture(text), rsvgPicture(exported)]);
      await callHook(page, 'openSvg', exported);
      const reopened = (await report(page)).paths;
      assertSameGeometry(reopened, dragged, `${file}: the export opens as the dragged host paths`);
      const shapes = await inkscapeShapes(page, text, exported);
      assert.deepEqual(shapes.stale, [], `${file}: no Inkscape shape given new path data keeps its parameters`);
      outcomes.push({file, pictures, changed: exported !== text, shapes: shapes.rewritten});
    }
  });
  for (const outcome of outcomes) Object.assign(outcome, comparePictures(...(await outcome.pictures)));
  for (const outcome of outcomes) {
    assert.ok(
      outcome.fraction <= MOVED_TOLERANCE,
      `${outcome.file}: ${outcome.differing} of ${outcome.drawn} drawn pixels differ after a drag of a fraction of a pixel`,
    );
  }
  return outcomes;
}

test("the project's corpus: written back as it was, and after a drag renders as before and reopens as dragged", async () => {
  const outcomes = await roundTrip(corpusFiles());
  console.log(
    `# corpus: ${outcomes.map((o) => `${o.file.split('/').pop()} ${(o.fraction * 100).toFixed(2)} % of ${o.drawn}`).join(', ')}`,
  );
  assert.ok(
    outcomes.length >= 14 && outcomes.every((outcome) => outcome.changed),
    'every file was written anew after the drag',
  );
});

test(
  'real clipart from openclipart-svg: the same',
  {skip: !existsSync(REAL_ROOT) && 'openclipart-svg is not installed (scripts/setup.sh installs it)'},
  async () => {
    const files = realFiles();
    for (const file of files) assert.ok(existsSync(file), `${file} is in the package`);
    const outcomes = await roundTrip(files);
    const worst = outcomes.reduce((a, b) => (b.fraction > a.fraction ? b : a));
    assert.ok(outcomes.filter((outcome) => outcome.shapes > 0).length >= 5, 'Inkscape shapes were dragged');
    console.log(
      `# ${outcomes.length} real files; after the drag the worst differs in ${(worst.fraction * 100).toFixed(2)} % of its drawn pixels (${worst.file})`,
    );
  },
);
