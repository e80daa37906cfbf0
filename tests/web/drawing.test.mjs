// The page draws a file as the browser itself draws it, in Chromium and in
// Firefox: each file of the project's corpus opened in the page, its canvas
// compared pixel by pixel with the same browser's own picture of the file
// (an <img> of it at the same scale), and a real drag on a compound path
// filled with a gradient keeps its hole a hole and its gradient a gradient.
import {after, before, describe, test} from 'node:test';
import assert from 'node:assert/strict';
import {mkdirSync, readFileSync, readdirSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {SCREENSHOT_DIR, callHook, frames, launchBrowser, withFreshPage} from './browser.mjs';
import {comparePictures, decodePng, encodePng} from './pixels.mjs';
import {REPO_ROOT} from '../../web/serve.mjs';

const CORPUS = join(REPO_ROOT, 'tests/web/corpus');
// Of the drawn pixels inside the canvas (a margin of 2 pixels left out for
// the page's canvas outline), at most this share may differ by more than
// 64 of 255 in a channel from every pixel around it in the other picture
// (the page and an image round the canvas's place differently).
const DRAWING_TOLERANCE = 0.02;

for (const kind of ['chrome', 'firefox']) {
  const browserName = kind === 'chrome' ? 'Chromium' : 'Firefox';
  describe(`drawing in ${browserName}`, () => {
    let session;
    before(async () => {
      session = await launchBrowser({browser: kind, width: 1280, height: 900});
      mkdirSync(SCREENSHOT_DIR, {recursive: true});
    });
    after(() => session?.close());

    test('every file of the corpus is drawn as the browser draws it', async () => {
      const files = readdirSync(CORPUS)
        .filter((name) => name.endsWith('.svg'))
        .sort();
      await withFreshPage(session, async (page) => {
        for (const name of files) {
          const text = readFileSync(join(CORPUS, name), 'utf8');
          await callHook(page, 'openSvg', text);
          await clearSelection(page);
          const canvas = await canvasInView(page);
          const drawn = await picture(page, canvas);
          const own = await browserPicture(page, text, canvas);
          const {drawn: count, differing, fraction} = comparePictures(inner(drawn, 2), inner(own, 2), {slack: 1});
          if (fraction > DRAWING_TOLERANCE) {
            writeFileSync(join(SCREENSHOT_DIR, `${name}-page-${kind}.png`), encodePng(drawn));
            writeFileSync(join(SCREENSHOT_DIR, `${name}-browser-${kind}.png`), encodePng(own));
          }
          assert.ok(count > 100, `${name}: something is drawn`);
          assert.ok(
            fraction <= DRAWING_TOLERANCE,
            `${name} in ${browserName}: ${differing} of ${count} drawn pixels differ from the browser's own picture`,
          );
        }
      });
    });

    const open = '<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100" viewBox="0 0 200 100">';
    for (const [what, text] of [
      // A use of a gradient with width="-32766", as a Mozilla icon has it;
      // a rect's rx below zero, which the browser takes as its ry.
      [
        'sizes below zero, which the browser refuses, are drawn as it draws them and leave nothing on the console',
        `${open}<linearGradient id="g"><stop offset="0" stop-color="#e53935"/></linearGradient>` +
          '<use width="-32766" height="-32766" href="#g"/><circle cx="150" cy="50" r="-5"/>' +
          '<rect x="20" y="20" width="60" height="60" rx="-8" ry="20" fill="#43a047"/></svg>',
      ],
      [
        'lengths written with a decimal comma are drawn as the browser draws them: as none given',
        `${open}<rect x="57,13" y="10" width="40" height="40" fill="#1e88e5"/>` +
          '<rect x="100" y="10" width="80,5" height="80" fill="#43a047"/><circle cx="150" cy="50,5" r="20"/>' +
          '<use x="57,13" y="30" href="#dot"/><svg x="12,5" width="80,5" height="wide" viewBox="0 0 20 10">' +
          '<circle id="dot" cx="10" cy="5" r="4" fill="#e53935"/></svg></svg>',
      ],
      [
        ":scope outside an @scope block is the file's root, as in the file shown alone",
        `${open}<style>:scope > path { fill: #e53935; }</style><path d="M20 20h60v60h-60z"/></svg>`,
      ],
    ]) {
      test(what, async () => {
        await withFreshPage(session, async (page) => {
          await callHook(page, 'openSvg', text);
          await clearSelection(page);
          const canvas = await canvasInView(page);
          const own = await browserPicture(page, text, canvas);
          const {fraction} = comparePictures(inner(await picture(page, canvas), 2), inner(own, 2), {slack: 1});
          assert.ok(
            fraction <= DRAWING_TOLERANCE,
            `${fraction} of the drawn pixels differ from the browser's own picture`,
          );
        });
      });
    }

    test('a real drag on a compound path with a gradient keeps the hole and the gradient', async () => {
      await withFreshPage(session, async (page) => {
        await callHook(page, 'openSvg', readFileSync(join(CORPUS, 'compound_gradient.svg'), 'utf8'));
        for (let i = 0; i < 3; i++) await page.keyboard.press('-');
        // Stretch along x about the frame's left edge, by half.
        const from = await callHook(page, 'clientPoint', 20, -80);
        const to = await callHook(page, 'clientPoint', 120, -80);
        await pressAndMove(page, from, to);
        await page.mouse.up();
        const [outer, hole] = JSON.parse(await callHook(page, 'report')).paths;
        assert.ok(
          outer.segments.some((s) => s[0] > 200),
          'the frame was stretched',
        );
        await clearSelection(page);
        await page.bringToFront();
        const shot = decodePng(await page.screenshot());
        const colour = async (x, y) => {
          const at = await callHook(page, 'clientPoint', x, y);
          const i = (Math.round(at.y) * shot.width + Math.round(at.x)) * 4;
          return [shot.data[i], shot.data[i + 1], shot.data[i + 2]];
        };
        const centre = (path, k) => path.segments.reduce((sum, s) => sum + s[k], 0) / path.segments.length;
        assert.deepEqual(await colour(centre(hole, 0), centre(hole, 1)), [255, 255, 255], 'the hole shows the paper');
        const left = await colour(outer.segments[0][0] + 15, -80);
        const right = await colour(Math.max(...outer.segments.map((s) => s[0])) - 15, -80);
        assert.ok(left[0] > 150 && left[2] < 100, `red at the left: ${left}`);
        assert.ok(right[2] > 150 && right[0] < 100, `blue at the right: ${right}`);
        await page.screenshot({path: join(SCREENSHOT_DIR, `compound-gradient-dragged-${kind}.png`)});
      });
    });

    test('art a CSS transform moves is selected where it is drawn; art a style sheet moves is drawn, never stretched', async () => {
      await withFreshPage(session, async (page) => {
        await callHook(page, 'openSvg', readFileSync(join(CORPUS, 'css_transforms.svg'), 'utf8'));
        const report = async () => JSON.parse(await callHook(page, 'report')).paths;
        assert.deepEqual(
          (await report()).map((path) => path.name),
          ['moved', 'inner'],
          'the rule-rotated square is no host path',
        );
        assert.match(
          await page.$eval(
            '#notice',
            (node) => `${node.dataset.kind}: ${node.textContent.replace(/\s+/g, ' ').trim()}`,
          ),
          /^warning: .*1 path or shape is placed by CSS .* drawn and kept but not stretched/,
        );
        await clearSelection(page);
        await page.bringToFront();
        const shot = decodePng(await page.screenshot());
        // Each point inside an element as the browser draws it (y negated):
        // its paint is there, and a click there selects it.
        for (const [name, x, y, colour] of [
          ['moved', 10, -30, [229, 57, 53]],
          ['inner', 110, -75, [30, 136, 229]],
          [null, 165, -25, [255, 255, 255]],
        ]) {
          const at = await callHook(page, 'clientPoint', x, y);
          const i = (Math.round(at.y) * shot.width + Math.round(at.x)) * 4;
          const drawn = [...shot.data.slice(i, i + 3)];
          assert.ok(
            drawn.every((value, k) => Math.abs(value - colour[k]) <= 8),
            `the paint at (${x}, ${y}): ${drawn}`,
          );
          await page.mouse.click(at.x, at.y);
          const selected = (await report()).filter((path) => path.selected).map((path) => path.name);
          assert.deepEqual(selected, name ? [name] : [], `a click at (${x}, ${y})`);
        }
      });
    });

    test('a clip group is selected whole, and its clipping path stretches with the art, which is not cut off', async () => {
      await withFreshPage(session, async (page) => {
        const text = readFileSync(join(CORPUS, 'clip_groups.svg'), 'utf8');
        await callHook(page, 'openSvg', text);
        const opened = JSON.parse(await callHook(page, 'report')).paths;
        assert.match(
          await page.$eval('#notice', (node) => `${node.dataset.kind}: ${node.textContent.trim()}`),
          /^warning: 1 clip path stays as the file has it/,
          'the clip path named in two user spaces',
        );
        const report = async () => JSON.parse(await callHook(page, 'report')).paths;
        const selected = async () => (await report()).flatMap((path) => (path.selected ? [path.name] : []));
        const at = (x, y) => callHook(page, 'clientPoint', x, y);
        await page.keyboard.press('v');
        // A marquee round an anchor of the hill, in a clip group nested in another.
        const [hx, hy] = opened.find((path) => path.name === 'hill').segments[1];
        const [from, to] = [await at(hx - 2, hy - 2), await at(hx + 2, hy + 2)];
        await page.mouse.move(from.x, from.y);
        await page.mouse.down();
        await page.mouse.move(to.x, to.y, {steps: 4});
        await page.mouse.up();
        assert.deepEqual(await selected(), ['sky', 'hill', 'rect 8', 'circle 9']);
        const leaf = await at(40, -65);
        await page.mouse.click(leaf.x, leaf.y);
        assert.deepEqual(await selected(), ['leaf-light', 'leaf-dark', 'leaf'], 'a click takes the clipping path too');
        // Stretch along x by a quarter about the leaf's left tip: its right
        // tip goes from 100 to 122.5.
        await page.keyboard.press('w');
        const [start, end] = [await at(10, -65), await at(60, -65)];
        await pressAndMove(page, start, end);
        await page.mouse.up();
        const dragged = await report();
        await clearSelection(page);
        await page.bringToFront();
        const shot = decodePng(await page.screenshot());
        const beyond = await at(110, -65);
        const i = (Math.round(beyond.y) * shot.width + Math.round(beyond.x)) * 4;
        assert.deepEqual([...shot.data.slice(i, i + 3)], [0x33, 0x69, 0x1e], 'the dark half shows beyond the old tip');
        const exported = await callHook(page, 'exportSvg');
        const leafData = /<path id="leaf" d="([^"]+)"/.exec(exported)[1];
        const tip = Math.max(...[...leafData.matchAll(/([-\d.]+) [-\d.]+/g)].map((pair) => Number(pair[1])));
        assert.ok(Math.abs(tip - 122.5) < 0.5, `the exported clipping path's tip at ${tip}`);
        await page.keyboard.down('Control');
        await page.keyboard.press('z');
        await page.keyboard.up('Control');
        const segments = (paths) => paths.map((path) => path.segments);
        assert.deepEqual(segments(await report()), segments(opened), 'undone, art and clip as they were');
        assert.equal(await callHook(page, 'exportSvg'), text);
        await callHook(page, 'openSvg', exported);
        assert.deepEqual(segments(await report()), segments(dragged), 'the export reopens as the dragged art and clip');
      });
    });

    test('shapes a style sheet paints by element name keep their paint once stretched into paths, and in the export', async () => {
      await withFreshPage(session, async (page) => {
        await callHook(page, 'openSvg', readFileSync(join(CORPUS, 'type_selectors.svg'), 'utf8'));
        // Stretch along x by a quarter about x = 5: the rects reach 86.25,
        // the circle's centre goes to 161.25.
        const [from, to] = [await callHook(page, 'clientPoint', 5, -60), await callHook(page, 'clientPoint', 55, -60)];
        await pressAndMove(page, from, to);
        // #e53935 in both rects, #43a047 in the circle.
        const [red, green] = [
          [229, 57, 53],
          [67, 160, 71],
        ];
        // The plug-in's untouched copy of the rect, drawn above it, shows
        // no path's blue stroke where its right edge was.
        await assertPaints(page, 'during the drag', [[70, -30, red]]);
        await page.mouse.up();
        const stretched = [
          [80, -30, red],
          [80, -85, red],
          [161, -40, green],
        ];
        await clearSelection(page);
        await assertPaints(page, 'on screen after the drag', stretched);
        await callHook(page, 'openSvg', await callHook(page, 'exportSvg'));
        await clearSelection(page);
        await assertPaints(page, 'the export reopened', stretched);
      });
    });

    test('art a sheet picks by its neighbours keeps its paint when a shape beside it is stretched into a path', async () => {
      await withFreshPage(session, async (page) => {
        const text = readFileSync(join(CORPUS, 'css_by_neighbours.svg'), 'utf8');
        await callHook(page, 'openSvg', text);
        // The rect alone, stretched along x by a quarter about x = 5.
        await page.keyboard.press('v');
        const rect = await callHook(page, 'clientPoint', 30, -30);
        await page.mouse.click(rect.x, rect.y);
        await page.keyboard.press('w');
        const [from, to] = [await callHook(page, 'clientPoint', 5, -60), await callHook(page, 'clientPoint', 55, -60)];
        const kept = [
          [58, -30, [67, 160, 71]],
          [90, -30, [229, 57, 53]],
          [135, -30, [30, 136, 229]],
          [30, -90, [229, 57, 53]],
          [80, -90, [67, 160, 71]],
        ];
        await pressAndMove(page, from, to);
        await assertPaints(page, 'during the drag, the copy beside the rect', kept);
        await page.mouse.up();
        await clearSelection(page);
        await assertPaints(page, 'on screen after the drag', kept);
        const exported = await callHook(page, 'exportSvg');
        await page.keyboard.down('Control');
        await page.keyboard.press('z');
        await page.keyboard.up('Control');
        assert.equal(await callHook(page, 'exportSvg'), text, 'undone, the file byte for byte');
        await callHook(page, 'openSvg', exported);
        await clearSelection(page);
        await assertPaints(page, 'the export reopened', kept);
      });
    });

    test("a file that states no size: its root's background fills the view as it fills a window", async () => {
      await withFreshPage(session, async (page) => {
        const text =
          '<svg xmlns="http://www.w3.org/2000/svg" style="background: #234">' +
          '<circle cx="50" cy="50" r="30" fill="#fff"/></svg>';
        await callHook(page, 'openSvg', text);
        await clearSelection(page);
        // Zoomed out, the view shows far more than the art.
        for (let i = 0; i < 4; i++) await page.keyboard.press('-');
        await page.bringToFront();
        await frames(page);
        const shot = decodePng(await page.screenshot());
        const view = await page.$eval('#document', (svg) => JSON.parse(JSON.stringify(svg.getBoundingClientRect())));
        for (const [x, y] of [
          [view.left + 10, view.top + 10],
          [view.right - 10, view.bottom - 10],
        ]) {
          const i = (Math.round(y) * shot.width + Math.round(x)) * 4;
          assert.deepEqual([...shot.data.slice(i, i + 3)], [34, 51, 68], `the view's pixel at (${x}, ${y})`);
        }
      });
    });

    // #e53935, #1e88e5 and #43a047, as the files give them.
    const [red, blue, green] = [
      [229, 57, 53],
      [30, 136, 229],
      [67, 160, 71],
    ];
    for (const [name, stretched] of [
      // Colours from the file's :root, none from the page's own style.
      [
        'css_root_variables.svg',
        [
          [80, -30, red],
          [80, -85, red],
          [161, -40, green],
        ],
      ],
      // The sheet counted among the siblings; the host's copies, drawn
      // beside the art during the drag, not.
      [
        'css_by_place.svg',
        [
          [80, -30, red],
          [80, -85, blue],
          [180, -60, red],
        ],
      ],
      // The root's CSS background behind the art, where the file's
      // viewport is, in the light ellipse and inside the unfilled rect.
      [
        'root_background.svg',
        [
          [174, -40, [255, 242, 204]],
          [50, -40, [34, 51, 68]],
          [190, -70, [34, 51, 68]],
        ],
      ],
      // `svg svg` and `svg > svg` select art in the nested svg, not the
      // root's; the class outweighs `g rect` as it does in the file.
      [
        'css_nested_svg.svg',
        [
          [40, -30, green],
          [42, -85, green],
          [98, -85, blue],
          [165, -30, red],
          [167, -85, red],
        ],
      ],
      // The same within :is(), :where() and :not(), and `svg:not(:root)`,
      // whose paint the root's unpainted path does not inherit.
      [
        'css_selector_arguments.svg',
        [
          [40, -30, green],
          [42, -85, green],
          [98, -85, [0, 0, 0]],
          [165, -30, red],
          [167, -85, red],
        ],
      ],
    ]) {
      test(`${name}: the file's own paint, on screen and in the export of a drag`, async () => {
        await withFreshPage(session, async (page) => {
          const text = readFileSync(join(CORPUS, name), 'utf8');
          await callHook(page, 'openSvg', text);
          // Stretch along x by a quarter about x = 5: the left rects reach
          // 86.25, the circle's centre 161.25, the right rect 198.75.
          const [from, to] = [
            await callHook(page, 'clientPoint', 5, -60),
            await callHook(page, 'clientPoint', 55, -60),
          ];
          await pressAndMove(page, from, to);
          await page.mouse.up();
          await clearSelection(page);
          await assertPaints(page, `${name} on screen after the drag`, stretched);
          const exported = await callHook(page, 'exportSvg');
          const rootTag = (text) => /<svg\b[^>]*>/.exec(text)[0];
          assert.equal(rootTag(exported), rootTag(text), `${name}: the export keeps the root as the file has it`);
          await callHook(page, 'openSvg', exported);
          await clearSelection(page);
          await assertPaints(page, `${name}: the export reopened`, stretched);
        });
      });
    }

    test("clip groups Illustrator's CSS export gives by class are selected whole and stretch with their art", async () => {
      await withFreshPage(session, async (page) => {
        const text = readFileSync(join(CORPUS, 'illustrator_css_clips.svg'), 'utf8');
        await callHook(page, 'openSvg', text);
        const report = async () => JSON.parse(await callHook(page, 'report')).paths;
        const selected = async () => (await report()).flatMap((path) => (path.selected ? [path.name] : []));
        const opened = await report();
        assert.doesNotMatch(await page.$eval('#notice', (node) => node.textContent), /clip path/);
        const anchorsOf = (name) => opened.find((path) => path.name === name).segments.map(([x, y]) => [x, y]);
        const middle = (name) =>
          anchorsOf(name).reduce(([x, y], [ax, ay], _, all) => [x + ax / all.length, y + ay / all.length], [0, 0]);
        const at = (x, y) => callHook(page, 'clientPoint', x, y);
        await page.keyboard.press('v');
        const sky = await at(...middle('sky'));
        await page.mouse.click(sky.x, sky.y);
        assert.deepEqual(await selected(), ['sky', 'hill', 'window-shape'], 'the clip path a use draws');
        const leaf = await at(...middle('leaf-light'));
        await page.mouse.click(leaf.x, leaf.y);
        assert.deepEqual(await selected(), ['leaf-light', 'leaf-dark', 'path 5'], 'the clip path of its own');
        // Stretch along x by a quarter about the leaf's left tip: its right
        // tip goes from 100 to 122.5 in the file.
        const [tipX, tipY] = anchorsOf('path 5').reduce((left, point) => (point[0] < left[0] ? point : left));
        await page.keyboard.press('w');
        const [start, end] = [await at(tipX, tipY), await at(tipX + 50, tipY)];
        await pressAndMove(page, start, end);
        await page.mouse.up();
        const dragged = await report();
        const exported = await callHook(page, 'exportSvg');
        const clipData = /<clipPath id="clip-path">\s*<path class="cls-1" d="([^"]+)"/.exec(exported)[1];
        const tip = Math.max(...[...clipData.matchAll(/([-\d.]+)[ ,][-\d.]+/g)].map((pair) => Number(pair[1])));
        assert.ok(Math.abs(tip - 122.5) < 0.5, `the exported clipping path's tip at ${tip}`);
        await callHook(page, 'openSvg', exported);
        const segments = (paths) => paths.map((path) => path.segments);
        assert.deepEqual(segments(await report()), segments(dragged), 'the export reopens as the dragged art and clip');
      });
    });

    test("a use's clip path stretches with the art it draws, in the use's space after its x and y", async () => {
      await withFreshPage(session, async (page) => {
        await callHook(page, 'openSvg', readFileSync(join(CORPUS, 'use_clips.svg'), 'utf8'));
        const report = async () => JSON.parse(await callHook(page, 'report')).paths;
        const at = (x, y) => callHook(page, 'clientPoint', x, y);
        // Stretch along x about the disc's left edge, at 75: its right edge,
        // at 125, goes beyond 130.
        await page.keyboard.down('Control');
        await page.keyboard.press('a');
        await page.keyboard.up('Control');
        await page.keyboard.press('w');
        const [start, end] = [await at(75, -60), await at(125, -60)];
        await pressAndMove(page, start, end);
        await page.mouse.up();
        const dragged = await report();
        await clearSelection(page);
        const beyond = await at(130, -60);
        const shot = decodePng(await page.screenshot());
        const i = (Math.round(beyond.y) * shot.width + Math.round(beyond.x)) * 4;
        assert.deepEqual([...shot.data.slice(i, i + 3)], [0xe6, 0x51, 0x00], 'the art shows beyond the old edge');
        const exported = await callHook(page, 'exportSvg');
        const canvas = await canvasInView(page);
        const {fraction} = comparePictures(
          inner(await picture(page, canvas), 2),
          inner(await browserPicture(page, exported, canvas), 2),
          {slack: 1},
        );
        assert.ok(fraction <= DRAWING_TOLERANCE, `the export is drawn as the page draws the drag (${fraction})`);
        await callHook(page, 'openSvg', exported);
        const segments = (paths) => paths.map((path) => path.segments);
        assert.deepEqual(segments(await report()), segments(dragged), 'the export reopens as the dragged art and clip');
      });
    });

    test("the selection tool takes an element's path art whole: click, Shift-click, marquee, and a hole selects nothing", async () => {
      await withFreshPage(session, async (page) => {
        await callHook(page, 'openSvg', readFileSync(join(CORPUS, 'compound_holes.svg'), 'utf8'));
        const selected = async () =>
          JSON.parse(await callHook(page, 'report')).paths.flatMap((path, i) => (path.selected ? [path.name] : []));
        const click = async (x, y, shift = false) => {
          const at = await callHook(page, 'clientPoint', x, y);
          if (shift) await page.keyboard.down('Shift');
          await page.mouse.click(at.x, at.y);
          if (shift) await page.keyboard.up('Shift');
        };
        await page.keyboard.press('v');
        await click(15, -40);
        assert.deepEqual(
          await selected(),
          ['hollow-evenodd 1', 'hollow-evenodd 2'],
          'a click on the frame takes both its contours',
        );
        await click(190, -15, true);
        assert.deepEqual(
          await selected(),
          ['hollow-evenodd 1', 'hollow-evenodd 2', 'zero 1', 'zero 2'],
          'Shift-click adds the zero',
        );
        await click(12, -12, true);
        assert.deepEqual(
          await selected(),
          ['zero 1', 'zero 2'],
          'Shift-click on a selected element takes it away whole',
        );
        await click(190, -45);
        assert.deepEqual(await selected(), [], "a click in the zero's counter is a click on the paper");
        // A marquee round the inner square of the second frame alone.
        const from = await callHook(page, 'clientPoint', 100, -20);
        const to = await callHook(page, 'clientPoint', 140, -60);
        await page.mouse.move(from.x, from.y);
        await page.mouse.down();
        await page.mouse.move(to.x, to.y, {steps: 4});
        await page.mouse.up();
        assert.deepEqual(
          await selected(),
          ['hollow-nonzero 1', 'hollow-nonzero 2'],
          'a marquee touching a contour takes its element',
        );
      });
    });
  });
}

// Checks the colour the page shows at each artwork point [x, y, [r, g, b]].
async function assertPaints(page, when, expected) {
  await page.bringToFront();
  await frames(page);
  const shot = decodePng(await page.screenshot());
  for (const [x, y, colour] of expected) {
    const at = await callHook(page, 'clientPoint', x, y);
    const i = (Math.round(at.y) * shot.width + Math.round(at.x)) * 4;
    const drawn = [...shot.data.slice(i, i + 3)];
    assert.ok(
      drawn.every((value, k) => Math.abs(value - colour[k]) <= 8),
      `${when}: the paint at (${x}, ${y}) is ${drawn}`,
    );
  }
}

// A click with the selection tool on empty paper: no outline over the art.
// Presses the mouse at `from` and moves it to `to` in eight steps, as a
// hand drags; the caller releases it.
async function pressAndMove(page, from, to) {
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  await page.mouse.move(to.x, to.y, {steps: 8});
}

async function clearSelection(page) {
  await page.keyboard.press('v');
  const box = await page.$eval('#document', (svg) => JSON.parse(JSON.stringify(svg.getBoundingClientRect())));
  await page.mouse.click(box.left + 3, box.top + 3);
  await frames(page);
}

// The client rectangle of the file's canvas, zoomed out with the keyboard
// until the view shows all of it.
async function canvasInView(page) {
  const view = await page.$eval('#document', (svg) => JSON.parse(JSON.stringify(svg.getBoundingClientRect())));
  for (let tries = 0; ; tries++) {
    const canvas = await canvasRect(page);
    const inside =
      canvas.x >= view.left + 4 &&
      canvas.y >= view.top + 4 &&
      canvas.x + canvas.width <= view.right - 4 &&
      canvas.y + canvas.height <= view.bottom - 4;
    if (inside) return canvas;
    assert.ok(tries < 20, 'the canvas fits the view');
    await page.keyboard.press('-');
  }
}

// The client rectangle of the file's canvas as the page shows it: its
// frame, which is the file at the size it states.
async function canvasRect(page) {
  const {x, y, width, height} = await page.$eval('#paper .file-canvas', (rect) =>
    rect.getBoundingClientRect().toJSON(),
  );
  return {x, y, width, height};
}

async function picture(page, rect) {
  return decodePng(await page.screenshot({clip: rect}));
}

// The browser's own picture of the file: an image of it on white, laid for
// a moment over the page at the same place and size.
async function browserPicture(page, text, rect) {
  const source = `data:image/svg+xml;base64,${Buffer.from(text).toString('base64')}`;
  await page.evaluate(
    async (src, r) => {
      const image = document.createElement('img');
      image.id = 'reference-picture';
      Object.assign(image.style, {
        position: 'fixed',
        left: `${r.x}px`,
        top: `${r.y}px`,
        width: `${r.width}px`,
        height: `${r.height}px`,
        background: '#fff',
        zIndex: 1000,
      });
      image.src = src;
      document.body.append(image);
      await image.decode();
      await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
    },
    source,
    rect,
  );
  const shot = await picture(page, rect);
  await page.evaluate(() => document.getElementById('reference-picture').remove());
  return shot;
}

// A picture without `margin` pixels at each edge.
function inner(picture, margin) {
  const width = picture.width - 2 * margin;
  const height = picture.height - 2 * margin;
  const data = new Uint8Array(width * height * 4);
  for (let y = 0; y < height; y++) {
    const from = ((y + margin) * picture.width + margin) * 4;
    data.set(picture.data.subarray(from, from + width * 4), y * width * 4);
  }
  return {width, height, data};
}
