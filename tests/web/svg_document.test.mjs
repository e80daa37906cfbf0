// The opened file's model and its export under node (@xmldom/xmldom as the
// parser): host paths tied to their elements by name, the file's own text
// written back, and only changed geometry rewritten, in each element's own
// coordinates, to reopen as the same host paths to the last bit.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {SvgDocument} from '../../web/svg_document.js';
import {SvgExportError, exportDocument} from '../../web/svg_export.js';
import {elementSpans, inertMarkup, matchedSpans} from '../../web/svg_source.js';
import {pointerReadout} from '../../web/pointer_readout.js';
import {parseXml} from './xml.mjs';

const open = (text) => new SvgDocument(text, 'art.svg', parseXml);
// The host's paths as the engine hands them out: Float32Array segments.
const hostPaths = (model, move = (x, y) => [x, y]) =>
  model.worldPaths().map((path) => {
    const floats = Float32Array.from(path.segments);
    for (let i = 0; i < floats.length; i += 2)
      [floats[i], floats[i + 1]] = move(floats[i], floats[i + 1]).map(Math.fround);
    return {...path, segments: floats};
  });
const geometry = (paths) => paths.map((path) => [path.closed, Array.from(path.segments)]);
const stretch = (x, y) => [x * 1.25 + 3, y];

const FILE = `<?xml version="1.0"?>
<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" "http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd">
<!-- drawn elsewhere -->
<svg xmlns="http://www.w3.org/2000/svg" xmlns:svg="http://www.w3.org/2000/svg" xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape" viewBox='0 0 200 100' width="2in">
  <style><![CDATA[ .a { fill: #123456 } ]]></style>
  <g transform="translate(10 5) rotate(30) scale(2 1.5)" inkscape:label="Layer 1">
    <svg:rect id="box" class="a" x="1" y="2" width="30" height="20" rx="3" style="stroke:#123456"><title>box</title></svg:rect>
    <path id="frame" fill-rule="evenodd" d="M0 0 H40 V30 H0 Z M10 10 V20 H30 V10 Z"/>
  </g>
  <circle cx="150" cy="50" r="20" transform="skewX(20)"/>
</svg>
`;

test('a file opened and written back with no change is the same text, character for character', () => {
  const model = open(FILE);
  assert.deepEqual(model.names, ['box', 'frame 1', 'frame 2', 'circle 3']);
  const {text, written, skipped} = exportDocument(model, hostPaths(model));
  assert.equal(text, FILE);
  assert.deepEqual([written, skipped], [0, 0]);
});

test('changed elements get their geometry in their own coordinates and reopen as the host paths, bit for bit', () => {
  const model = open(FILE);
  const moved = hostPaths(model, stretch);
  const {text, written} = exportDocument(model, moved);
  assert.equal(written, 3);
  // The shape is a path that keeps everything but its geometry, its prefix
  // and its children, its end tag renamed too.
  assert.match(text, /<svg:path id="box" class="a" style="stroke:#123456" d="M[^"]+Z"><title>box<\/title><\/svg:path>/);
  assert.doesNotMatch(text, /rx="3"/);
  // Everything else as it was: prolog, comment, namespaces, style sheet, the
  // group's transform and label.
  assert.ok(text.startsWith(FILE.slice(0, FILE.indexOf('<svg:rect'))));
  assert.match(text, /<path id="frame" fill-rule="evenodd" d="M[^"]+ZM[^"]+Z"\/>/);
  assert.deepEqual(geometry(open(text).worldPaths()), geometry(moved));
});

test("the host's copies are written after what they copy, without ids, and reopen in place", () => {
  const model = open(FILE);
  const [paths, moved] = [hostPaths(model), hostPaths(model, stretch)];
  // Mid-drag: the frame's two contours stretched, the plug-in's untouched
  // duplicate of each right above it.
  const {text} = exportDocument(model, [paths[0], moved[1], paths[1], moved[2], paths[2], paths[3]]);
  const frames = text.match(/<path [^>]*fill-rule="evenodd"[^>]*\/>/g);
  assert.equal(frames.length, 2);
  assert.match(frames[0], /^<path id="frame"/);
  assert.match(frames[1], /^<path fill-rule="evenodd" d="M0 0 H40/, 'the copy keeps the geometry the file gives it');
  assert.equal(text.indexOf(frames[1]), text.indexOf(frames[0]) + frames[0].length, 'right after the original');
});

test('a use of changed art is written as a group holding a copy of what it draws', () => {
  const text = `<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">
  <defs><symbol id="s" viewBox="0 0 10 10"><path id="p" d="M0 0 L10 0 L10 10 Z"/></symbol></defs>
  <use id="u" xlink:href="#s" x="5" y="6" width="20" height="20" class="c" transform="rotate(10)"/>
  <use a0:href="#u" xmlns:a0="http://www.w3.org/1999/xlink" x="100" transform="translate(1,)"/>
  <rect id="alone" width="5" height="5"/>
</svg>`;
  const model = open(text);
  assert.deepEqual(
    model.elements.map((element) => element.uses.length),
    [1, 2, 0],
  );
  const paths = hostPaths(model);
  paths[0] = hostPaths(model, stretch)[0];
  const out = exportDocument(model, paths).text;
  assert.match(
    out,
    /<g id="u" class="c" transform="rotate\(10\) translate\(5 6\)"><svg viewBox="0 0 10 10" width="20" height="20"><path d="M[^"]+Z"\/><\/svg><\/g>/,
  );
  // The use of that use would draw the changed group: it becomes a group of
  // its own, with the geometry the host keeps for it (the file's), and
  // without its transform, which browsers cannot read and draw as none, or
  // its link, under a prefix of the file's own.
  assert.match(
    out,
    /<g xmlns:a0="http:\/\/www.w3.org\/1999\/xlink" transform="translate\(100 0\)"><g class="c" transform="rotate\(10\) translate\(5 6\)"><svg viewBox="0 0 10 10" width="20" height="20"><path d="M0 0 L10 0 L10 10 Z"\/><\/svg><\/g><\/g>/,
  );
  assert.match(out, /<rect id="alone" width="5" height="5"\/>/);
  assert.deepEqual(geometry(open(out).worldPaths()), geometry(paths));
});

test("a clip path's shapes are written in their own coordinates, the clip path's use kept, a use of the same shape as art a group", () => {
  // As Illustrator writes a clip group: the clipping path in defs, drawn as
  // art by one use and clipping by another.
  const text = `<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">
  <defs><rect id="edge" x="1" y="2" width="30" height="20"/></defs>
  <use xlink:href="#edge" fill="orange" transform="translate(40 0)"/>
  <clipPath id="c" transform="rotate(15)"><use xlink:href="#edge" x="3"/></clipPath>
  <g clip-path="url(#c)" transform="scale(2)"><path id="art" d="M0 0H40V30H0Z"/></g>
</svg>`;
  const model = open(text);
  assert.deepEqual(model.names, ['edge', 'art', 'edge (2)']);
  assert.deepEqual(model.selectedWith(1), [1, 2]);
  const moved = hostPaths(model, stretch);
  const out = exportDocument(model, moved).text;
  assert.match(out, /<defs><path id="edge" d="M[^"]+Z"\/><\/defs>/);
  assert.match(out, /<clipPath id="c" transform="rotate\(15\)"><use xlink:href="#edge" x="3"\/><\/clipPath>/);
  assert.match(out, /<g fill="orange" transform="translate\(40 0\)"><path d="M[^"]+Z"\/><\/g>/);
  assert.deepEqual(geometry(open(out).worldPaths()), geometry(moved));
});

test('a clip group drawn only by a use reopens, after a change, as the same host paths', () => {
  // As JOSM's logo is drawn: the use becomes a group holding a copy, and
  // the group it drew, left in defs or in a group not displayed, draws
  // nothing and clips nothing.
  for (const [holder, end] of [
    ['<defs>', '</defs>'],
    ['<g style="display:none">', '</g>'],
  ]) {
    const text = `<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">
  <clipPath id="c"><path d="M0 0h50v50h-50z"/></clipPath>
  ${holder}<g id="g"><path d="M10 10h60v60h-60z" clip-path="url(#c)"/></g>${end}
  <use xlink:href="#g" transform="translate(5 5)"/>
</svg>`;
    const moved = hostPaths(open(text), stretch);
    const out = exportDocument(open(text), moved).text;
    assert.deepEqual(geometry(open(out).worldPaths()), geometry(moved), holder);
  }
});

test("a use's clip path follows its art, in the use's space after its x and y, as the export's group has it", () => {
  // As JOSM's icons clip a use of a shape: a changed use is written as a
  // group whose transform ends in the use's x and y, clipped as the use was.
  const text = `<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">
  <defs><clipPath id="c"><rect width="50" height="50"/></clipPath><path id="p" d="M10 10h60v60h-60z"/></defs>
  <use xlink:href="#p" x="30" y="30" clip-path="url(#c)" transform="scale(2)"/>
</svg>`;
  const model = open(text);
  const corners = [
    [60, -60],
    [160, -60],
    [160, -160],
    [60, -160],
  ].flatMap((point) => [...point, ...point, ...point]);
  assert.deepEqual(geometry(model.worldPaths())[1], [true, corners]);
  assert.deepEqual(model.selectedWith(0), [0, 1]);
  const moved = hostPaths(model, stretch);
  const out = exportDocument(model, moved).text;
  assert.deepEqual(geometry(open(out).worldPaths()), geometry(moved));
});

test("geometry that cannot be written keeps the file's, and is counted", () => {
  const text =
    '<svg xmlns="http://www.w3.org/2000/svg"><path d="M0 0 L5 5" transform="scale(0 1)"/><path d="M0 0 L1 1 L2 0 Z"/></svg>';
  const model = open(text);
  const paths = hostPaths(model, stretch);
  paths[1].segments[0] = NaN;
  const {text: out, written, skipped} = exportDocument(model, paths);
  assert.equal(out, text);
  assert.deepEqual([written, skipped], [0, 2]);
});

test('a closed contour whose last anchor lies on its first reopens with the same segments', () => {
  const text = '<svg xmlns="http://www.w3.org/2000/svg"><path d="M0 0 C 5 -5 10 -5 10 0 L 0 0 L 0 0 Z"/></svg>';
  const model = open(text);
  const moved = hostPaths(model, stretch);
  assert.equal(moved[0].segments.length / 6, 3);
  assert.deepEqual(geometry(open(exportDocument(model, moved).text).worldPaths()), geometry(moved));
});

test('a text whose elements are not the parsed ones (markup its document type makes) cannot be written back, and says so', () => {
  const text = '<svg xmlns="http://www.w3.org/2000/svg"><path d="M0 0 L1 1"/></svg>';
  const model = open(text);
  // What a parser that expands such markup holds: an element the text lacks.
  model.nodes = open('<svg xmlns="http://www.w3.org/2000/svg"><circle r="1"/><path d="M0 0 L1 1"/></svg>').nodes;
  assert.equal(matchedSpans(text, model.nodes), null);
  assert.throws(() => exportDocument(model, hostPaths(model)), SvgExportError);
});

test('event attributes are renamed before the parser reads a file, and nothing else is touched', () => {
  const text =
    '<svg xmlns="http://www.w3.org/2000/svg" onload="a()" x:onclick="b" xmlns:x="urn:x"><text>one="1" onclick="2"</text><a ONMOUSEOVER=\'c\' href="#"/><!-- onload="d" --></svg>';
  const inert = inertMarkup(text);
  assert.equal(
    inert,
    text.replace('onload="a()"', 'data-inert-onload="a()"').replace("ONMOUSEOVER='c'", "data-inert-ONMOUSEOVER='c'"),
  );
  assert.deepEqual(
    elementSpans(inert).map((span) => span.name),
    ['svg', 'text', 'a'],
  );
});

test('a file cut short anywhere still has its event attributes renamed, as a damaged download is', () => {
  const text = '<svg xmlns="http://www.w3.org/2000/svg" onload="a()"><g><path onclick="b()" d="M0 0"/></g></svg>';
  for (let cut = 1; cut <= text.length; cut++) {
    const inert = inertMarkup(text.slice(0, cut));
    assert.doesNotMatch(inert, /[^-]on(load|click)=/, `cut after ${cut} characters`);
  }
});

test('locked art is opened unselected: where it is drawn, through the use placing it, and with its clip group', () => {
  const model = open(`<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"
      xmlns:sodipodi="http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd">
    <defs><clipPath id="c"><rect id="clip" width="50" height="50"/></clipPath></defs>
    <rect id="open" width="10" height="10"/>
    <g sodipodi:insensitive="true"><rect id="clipped" width="80" height="80" clip-path="url(#c)"/></g>
    <use id="placed" xlink:href="#open" x="20" sodipodi:insensitive="1"/>
  </svg>`);
  const selected = Object.fromEntries(model.worldPaths().map((path) => [path.name, path.selected]));
  assert.deepEqual(selected, {open: true, clipped: false, 'open (2)': false, clip: false});
  assert.equal(model.lockedCount, 3);
});

// Inkscape's default document: A4 in millimetres, its layer moved.
const A4_MM = `<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<svg width="210mm" height="297mm" viewBox="0 0 210 297" version="1.1" id="svg5"
   xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape" xmlns:sodipodi="http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd"
   xmlns="http://www.w3.org/2000/svg" xmlns:svg="http://www.w3.org/2000/svg">
  <sodipodi:namedview id="namedview7" inkscape:document-units="mm" inkscape:zoom="0.74564394" />
  <g inkscape:label="Layer 1" inkscape:groupmode="layer" id="layer1" transform="translate(-12.5,4.25)">
    <rect style="fill:#3d5afe;stroke-width:0.264583" id="rect1" width="50.270832" height="39.6875" x="32.5" y="15.75" />
    <path style="fill:none;stroke:#000000;stroke-width:0.5" d="m 42.5,95.75 c 20,-10 40,10 60,0 l 10,30" id="path1" />
  </g>
</svg>
`;

test('a file sized in millimetres: its host paths in its pixels, written back byte for byte, and in millimetres after a change', () => {
  const model = open(A4_MM);
  const mm = 96 / 25.4;
  // The rect's corner at (20, 20) mm, 75.59 pixels from the page's corner.
  const [x, y] = model.worldPaths()[0].segments;
  assert.deepEqual([x, y], [Math.fround(20 * mm), Math.fround(-20 * mm)]);
  assert.deepEqual(model.canvas, [0, 0, 210 * mm, 297 * mm]);
  assert.equal(exportDocument(model, hostPaths(model)).text, A4_MM);
  // A stretch in host pixels is written in the file's millimetres, inside
  // the layer's transform, and reopens as the host paths, bit for bit.
  const moved = hostPaths(model, stretch);
  const {text, written} = exportDocument(model, moved);
  assert.equal(written, 2);
  assert.ok(text.startsWith(A4_MM.slice(0, A4_MM.indexOf('<rect'))), 'the root, its size and the layer as they were');
  const [x0, y0] = /<path [^>]*id="rect1"[^>]* d="M([-\d.e]+) ([-\d.e]+)/.exec(text).slice(1).map(Number);
  assert.ok(Math.abs(x0 - (32.5 * 1.25 + 3 / mm - 12.5 * 0.25)) < 1e-4 && Math.abs(y0 - 15.75) < 1e-4, `${x0} ${y0}`);
  assert.deepEqual(geometry(open(text).worldPaths()), geometry(moved));
  // The status bar gives the pointer in the file's own coordinates.
  const readout = pointerReadout([20 * mm, -55.5 * mm], {toFile: model.fileFromArtwork, dragStart: null, shift: false});
  assert.equal(readout, 'x 20.0, y 55.5');
});
