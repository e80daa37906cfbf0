// The SVG importer under node, with @xmldom/xmldom as the XML parser: every
// shape and path command lands where SVG draws it (y negated), transforms
// nest, long contours split, and every refusal is one SvgImportError line.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {importSvg, SvgImportError, MAX_SEGMENTS_PER_PATH} from '../../web/svg_import.js';
import {parseXml} from './xml.mjs';

const svg = (body) => `<svg xmlns="http://www.w3.org/2000/svg">${body}</svg>`;
const load = (body) => importSvg(svg(body), parseXml).paths;
const anchors = (path) => path.segments.map((s) => [s[0], s[1]]);
const near = (actual, expected, what) => {
  assert.equal(actual.length, expected.length, `${what}: length`);
  actual.forEach((value, i) =>
    assert.ok(Math.abs(value - expected[i]) < 1e-4, `${what}[${i}]: ${value} vs ${expected[i]}`),
  );
};

test('basic shapes become host paths at the points SVG draws them', () => {
  const [rect, rounded, circle, ellipse, line, polyline, polygon] = load(
    '<rect x="10" y="20" width="30" height="40"/><rect width="10" height="6" rx="2"/><circle cx="5" cy="5" r="5"/>' +
      '<ellipse cx="0" cy="0" rx="4" ry="2"/><line x1="1" y1="2" x2="3" y2="4"/>' +
      '<polyline points="0,0 10,0 10,10 7"/><polygon points="0 0, 5 5 0 5"/>',
  );
  assert.deepEqual(anchors(rect), [
    [10, -20],
    [40, -20],
    [40, -60],
    [10, -60],
  ]);
  assert.equal(rect.closed, true);
  assert.equal(rounded.segments.length, 8);
  near(anchors(circle).flat(), [10, -5, 5, -10, 0, -5, 5, 0], 'circle anchors');
  // One cubic per quarter: the handle of a quarter circle is 0.5523 r long.
  near(circle.segments[0], [10, -5, 10, -5 + 2.7614, 10, -5 - 2.7614], 'circle handles');
  near(anchors(ellipse).flat(), [4, 0, 0, -2, -4, 0, 0, 2], 'ellipse anchors');
  assert.deepEqual(line.segments, [
    [1, -2, 1, -2, 1, -2],
    [3, -4, 3, -4, 3, -4],
  ]);
  assert.equal(line.closed, false);
  assert.deepEqual(
    anchors(polyline),
    [
      [0, 0],
      [10, 0],
      [10, -10],
    ],
    'an odd last number is dropped',
  );
  assert.equal(polygon.closed, true);
  assert.equal(polygon.segments.length, 3);
});

test('a radius missing, auto or below zero is the other radius, as browsers draw it', () => {
  const [ellipse, negative, auto, rounded] = load(
    '<ellipse cx="0" cy="0" ry="2"/><ellipse cx="0" cy="0" rx="-3" ry="2"/><ellipse rx="auto" ry="2"/>' +
      '<rect width="10" height="6" rx="-1" ry="2"/>',
  );
  for (const [path, what] of [
    [ellipse, 'no rx'],
    [negative, 'rx below zero'],
    [auto, 'rx auto'],
  ])
    near(anchors(path).flat(), [2, 0, 0, -2, -2, 0, 0, 2], what);
  assert.equal(rounded.segments.length, 8, 'the rect has its round corners');
  near(anchors(rounded)[0], [2, 0], 'the rect has its round corners');
});

test('a shape length browsers cannot read, as a decimal comma writes it, is zero, as browsers draw it', () => {
  // As Fritzing's parts files written in a locale with a decimal comma have them.
  const paths = load(
    '<rect id="moved" x="57,13" y="10" width="20" height="20"/><rect id="flat" x="1" width="20,5" height="20"/>' +
      '<circle id="dot" cx="50,5" cy="50" r="10"/><line id="cut" x1="5 px," y1="1" x2="30" y2="40"/>' +
      '<rect id="round" x="1" y="1" width="20" height="20" rx="3,5" ry="5"/>',
  );
  assert.deepEqual(
    paths.map((path) => path.name),
    ['moved', 'dot', 'cut', 'round'],
  );
  const [moved, dot, cut, round] = paths;
  near(anchors(moved).flat(), [0, -10, 20, -10, 20, -30, 0, -30], 'the rect at x 0');
  near(anchors(dot).flat(), [10, -50, 0, -60, -10, -50, 0, -40], 'the circle at cx 0');
  near(anchors(cut).flat(), [0, -1, 30, -40], 'the line from x 0');
  assert.equal(round.segments.length, 8, 'an rx that is no length is the other radius, as the page draws it');
  // A length the page cannot compute where the browser may draw it is no such value.
  for (const value of ['2em', 'calc(1px + 2px)'])
    assert.throws(() => load(`<rect width="${value}" height="10"/>`), SvgImportError, value);
});

test('a width or height of auto is drawn as none given: a rect of no size, a use or svg as large as its viewport', () => {
  const paths = importSvg(
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 100">' +
      '<rect id="unsized" width="auto" height="10"/><rect id="sized" width="4" height="4"/>' +
      '<svg x="10" width="AUTO" height=" auto " viewBox="0 0 20 10"><line id="inner" x2="100%" y2="100%"/></svg></svg>',
    parseXml,
  ).paths;
  assert.deepEqual(
    paths.map((path) => path.name),
    ['sized', 'inner'],
  );
  near(anchors(paths[1]).flat(), [10, 0, 210, -100], 'the inner svg fills the viewport of 200 by 100');
});

test("a use's or an svg's length that is no length is drawn as none given", () => {
  const paths = importSvg(
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 100"><defs><rect id="r" width="4" height="4"/></defs>' +
      '<use x="57,13" y="10" href="#r"/><svg x="1,5" y="10" width="20,5" height="wide" viewBox="0 0 20 10">' +
      '<line id="inner" x2="100%" y2="100%"/></svg></svg>',
    parseXml,
  ).paths;
  near(anchors(paths[0])[0], [0, -10], 'the use at x 0');
  near(anchors(paths[1]).flat(), [0, -10, 200, -110], 'the svg at x 0, as large as the viewport of 200 by 100');
});

test("a shape's percentages are of its viewport: its width, its height, or for a radius its diagonal", () => {
  const [background, dot, inner] = importSvg(
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 100" width="50">' +
      '<rect id="background" x="10%" width="100%" height="50%"/><circle id="dot" cx="50%" cy="50%" r="10%"/>' +
      '<svg x="20" width="40" height="40" viewBox="0 0 10 10"><line id="inner" x1="10%" y1="10%" x2="100%" y2="50%"/></svg></svg>',
    parseXml,
  ).paths;
  assert.deepEqual(anchors(background), [
    [20, 0],
    [220, 0],
    [220, -50],
    [20, -50],
  ]);
  const r = 0.1 * Math.sqrt((200 * 200 + 100 * 100) / 2);
  near(anchors(dot).flat(), [100 + r, -50, 100, -50 - r, 100 - r, -50, 100, -50 + r], 'dot anchors');
  near(anchors(inner).flat(), [24, -4, 60, -20], 'inner line, in a viewport of 10 by 10 scaled by 4');
});

test('a canvas is finite and never negative: sizes browsers draw as no size are taken as none', () => {
  const canvasOf = (root) => importSvg(`<svg xmlns="http://www.w3.org/2000/svg" ${root}/>`, parseXml).canvas;
  assert.deepEqual(canvasOf('width="1e999" height="2in"'), [0, 0, 100, 192]);
  assert.deepEqual(canvasOf('width="-5" height="0"'), [0, 0, 100, 0]);
  assert.deepEqual(canvasOf('viewBox="0 0 -10 10" width="30" height="40"'), [0, 0, 30, 40]);
  // A negative viewBox is no viewBox: its percentages are of the width and height.
  const [rect] = importSvg(
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 -1" width="50" height="20"><rect width="100%" height="50%"/></svg>',
    parseXml,
  ).paths;
  assert.deepEqual(anchors(rect)[2], [50, -10]);
});

test('a file that states its size in absolute units opens at that size: a host unit is a CSS pixel of it', () => {
  const body = '<rect x="10" y="20" width="50" height="40"/>';
  const open = (root) => importSvg(`<svg xmlns="http://www.w3.org/2000/svg" ${root}>${body}</svg>`, parseXml);
  const mm = 96 / 25.4;
  // Inkscape's A4 document, in millimetres and in quarter millimetres.
  for (const root of [
    'width="210mm" height="297mm" viewBox="0 0 210 297"',
    'width="840Q" height="1188Q" viewBox="0 0 210 297"',
  ]) {
    const {paths, canvas} = open(root);
    near(
      anchors(paths[0]).flat(),
      [10, -20, 60, -20, 60, -60, 10, -60].map((v) => v * mm),
      `${root}: the rect in pixels`,
    );
    near(canvas, [0, 0, 210 * mm, 297 * mm], `${root}: the page is the stated size`);
  }
  // The viewBox placed in the size as browsers place it: 4 by 2 inches is
  // 384 by 192 pixels, which a 100 by 100 viewBox fills by 1.92 a unit at
  // the right (xMax), by 3.84 across and 1.92 down (none), or by 3.84,
  // centred and cut off (slice).
  const inches = 'width="4in" height="2in" viewBox="0 0 100 100"';
  near(anchors(open(`${inches} preserveAspectRatio="xMaxYMin"`).paths[0])[0], [192 + 19.2, -38.4], 'xMaxYMin');
  near(anchors(open(`${inches} preserveAspectRatio="none"`).paths[0])[2], [60 * 3.84, -60 * 1.92], 'none');
  near(anchors(open(`${inches} preserveAspectRatio="xMidYMid slice"`).paths[0])[0], [38.4, -(20 * 3.84 - 96)], 'slice');
  // Elsewhere the host's coordinates are the file's user units, bit for
  // bit: no viewBox, a size that is no absolute length, a viewBox as large
  // as the size (moved, or within a millionth of it as px files round it),
  // or a size whose scale would take the geometry beyond the host's floats.
  const plain = open('').paths;
  for (const root of [
    'width="210mm" height="297mm"',
    'width="100%" height="100%" viewBox="0 0 210 297"',
    'width="20em" height="30em" viewBox="0 0 210 297"',
    'width="210mm" viewBox="0 0 210 297"',
    'viewBox="0 0 210 297"',
    'width="210" height="297px" viewBox="0 0 210 297"',
    'width="210" height="297" viewBox="-15 -5 210 297"',
    'width="210mm" height="297mm" viewBox="0 0 793.7007874 1122.519685"',
    'width="1e30in" height="1e30in" viewBox="0 0 1e-9 1e-9"',
  ]) {
    assert.deepEqual(open(root).paths, plain, root);
  }
});

test('every path command: lines, curves, shorthand curves, arcs and close', () => {
  const [first, second] = load(
    '<path d="M0 0 H10 V10 h-5 v-5 L1 1 l1 0 C 3 0 4 0 5 1 S 7 2 8 1 Q 9 0 10 1 T 12 1 A 2 2 0 0 1 16 1 Z m 1 1 l 2 0"/>',
  );
  assert.deepEqual(anchors(first).slice(0, 7), [
    [0, 0],
    [10, 0],
    [10, -10],
    [5, -10],
    [5, -5],
    [1, -1],
    [2, -1],
  ]);
  assert.equal(first.closed, true);
  const at = (x) => first.segments.findIndex((s) => s[0] === x && s[1] === -1);
  // C: the out-handle of (2, 1) and the in-handle of (5, 1).
  near(first.segments[at(2)].slice(4), [3, 0], 'C first handle');
  near(first.segments[at(5)].slice(2, 4), [4, 0], 'C second handle');
  // S reflects the previous second handle: (6, 2), then its own (7, 2).
  near(first.segments[at(5)].slice(4), [6, -2], 'S first handle');
  // Q (9, 0) from (8, 1) to (10, 1): handles two thirds towards the control.
  near(first.segments[at(8)].slice(4), [8 + (2 / 3) * 1, -(1 - 2 / 3)], 'Q first handle');
  near(first.segments[at(10)].slice(2, 4), [10 - (2 / 3) * 1, -(1 - 2 / 3)], 'Q second handle');
  // T reflects Q's control to (11, 2); the arc is a half circle of radius 2
  // in two quarters, clockwise on screen, so over the top.
  near(first.segments[at(12)].slice(2, 4), [12 - (2 / 3) * 1, -(1 + 2 / 3)], 'T handle');
  near(first.segments.at(-1).slice(0, 2), [16, -1], 'arc end');
  assert.ok(
    first.segments.some((s) => Math.abs(s[0] - 14) < 1e-6 && Math.abs(s[1] - 1) < 1e-6),
    'arc passes through (14, -1)',
  );
  assert.deepEqual(
    anchors(second),
    [
      [1, -1],
      [3, -1],
    ],
    "m after Z starts from the closed contour's start",
  );
  assert.equal(second.name, 'path 1 2');
});

test('transforms of nested groups and the paint they pass down', () => {
  const [inner, styled] = load(
    '<g transform="translate(100 0)" fill="red" stroke="blue"><g transform="scale(2) rotate(90)" style="stroke-width: 3">' +
      '<rect id="r" width="10" height="5" stroke="none"/></g>' +
      '<svg x="5" y="7"><circle cx="0" cy="0" r="1" fill="url(#g)" style="stroke:currentColor;color:#0a0"/></svg></g>',
  );
  // (x, y) -> rotate 90: (-y, x) -> scale 2 -> translate (100, 0) -> y negated.
  near(anchors(inner).flat(), [100, 0, 100, -20, 90, -20, 90, 0], 'rotated rectangle');
  assert.equal(inner.name, 'r');
  assert.deepEqual([inner.fill, inner.stroke, inner.strokeWidth], ['red', 'none', 6]);
  near(anchors(styled)[0], [106, -7], 'nested svg position');
  assert.deepEqual([styled.fill, styled.stroke, styled.strokeWidth], ['#808080', '#0a0', 1]);
});

test('transform lists as browsers read them: abutting numbers as minifiers write them, and none of a list with a fault', () => {
  const moved = (transform) =>
    importSvg(svg(`<rect x="1" y="2" width="3" height="4" transform="${transform}"/>`), parseXml).paths[0].segments;
  for (const [written, plain] of [
    ['scale(1-1)', 'scale(1 -1)'],
    ['matrix(.5 0 0-.48276 384.57 547.25)', 'matrix(0.5 0 0 -0.48276 384.57 547.25)'],
    ['translate(1.5.5)rotate(45.5.5 1)', 'translate(1.5 0.5) rotate(45.5 0.5 1)'],
    [' translate(+10-20) ,scale(2e1-1)', 'translate(10 -20) scale(20 -1)'],
    ['translate(10,)', ''],
    ['translate(1. 2)', ''],
    ['scale(1 -1', ''],
    ['translate(1),,scale(2)', ''],
    ['translate(1) ,', ''],
    ['TRANSLATE(1)', ''],
  ]) {
    assert.deepEqual(moved(written), moved(plain), written);
  }
});

test('contours longer than a host path: open ones split sharing an anchor, closed ones refused', () => {
  const count = MAX_SEGMENTS_PER_PATH + 100;
  const open = `M0 0${' l1 0'.repeat(count - 1)}`;
  const pieces = load(`<path id="long" d="${open}"/>`);
  assert.equal(pieces.length, 2);
  assert.equal(pieces[0].segments.length, MAX_SEGMENTS_PER_PATH);
  assert.equal(pieces[0].segments.length + pieces[1].segments.length, count + 1);
  assert.deepEqual(pieces[1].segments[0].slice(0, 2), pieces[0].segments.at(-1).slice(0, 2));
  assert.deepEqual(
    pieces.map((p) => p.name),
    ['long part 1', 'long part 2'],
  );
  assert.throws(
    () => load(`<path id="ring" d="${open}z"/>`),
    (error) => error instanceof SvgImportError && /closed contour of 32867 segments/.test(error.message),
  );
});

test('refusals: each is one SvgImportError line, whatever went wrong', () => {
  const refused = {
    'not XML': '<svg',
    'not SVG': '<html xmlns="http://www.w3.org/1999/xhtml"><p/></html>',
    'beyond float range': svg('<path d="M0 0 L 1e38 0" transform="scale(100)"/>'),
    'a length it cannot compute': svg('<rect width="5em" height="10"/>'),
  };
  for (const [what, text] of Object.entries(refused)) {
    assert.throws(
      () => importSvg(text, parseXml),
      (error) => {
        assert.ok(error instanceof SvgImportError, `${what}: ${error}`);
        assert.doesNotMatch(error.message, /\n/, what);
        return true;
      },
      what,
    );
  }
  assert.throws(() => importSvg(svg('<line x2="1"/>'.repeat(32768)), parseXml), /more than 32767 paths/);
  // Nothing the tool can take is no fault of the file: it opens with no paths.
  for (const body of ['<g><text>hello</text></g>', '<circle r="0"/>', '<path d="M0 0 L 5"/>', '<path d="L 5 5"/>']) {
    assert.deepEqual(importSvg(svg(body), parseXml).paths, [], body);
  }
});

test('path data with an error is drawn up to its last whole command, as browsers draw it', () => {
  const {paths, flawedPaths} = importSvg(
    svg(
      '<defs><path id="cut" d="M0 0 L 10 0 L 10 10 L 5"/></defs><use href="#cut"/><use href="#cut" x="20"/>' +
        '<path id="arc" d="M 0 0 A 5 5 0 1 "/><path id="late" d="M 0 30 L 10 30 Z x"/>' +
        '<path id="dot" d="M0 0 L 5 5 L . 2 L 9 9"/><path id="huge" d="M0 0 L 1 1 L 1e39 0"/><rect width="1" height="1"/>',
    ),
    parseXml,
  );
  assert.deepEqual(
    paths.map((path) => `${path.name}: ${anchors(path).join(' ')}`),
    [
      'cut: 0,0 10,0 10,-10',
      'cut: 20,0 30,0 30,-10',
      'late: 0,-30 10,-30',
      'dot: 0,0 5,-5',
      'huge: 0,0 1,-1',
      'rect 7: 0,0 1,0 1,-1 0,-1',
    ],
  );
  assert.equal(paths[2].closed, true, 'a close before the error closes the contour');
  // One line for each element, however many uses draw it.
  // One for each element, however many uses draw it: the error, and the
  // commands before it as path data.
  assert.deepEqual(
    [...flawedPaths.values()],
    [
      {error: '<path> "cut" (missed param (at pos 23))', drawn: 'M0 0L10 0 10 10'},
      {error: '<path> "arc" (arc flag can be 0 or 1 only (at pos 16))', drawn: 'M0 0'},
      {error: '<path> "late" (bad command x (at pos 17))', drawn: 'M0 30L10 30Z'},
      // Numbers svgpath reads and browsers do not.
      {error: '<path> "dot" (a number browsers cannot read, in command 3)', drawn: 'M0 0L5 5'},
      {error: '<path> "huge" (a number browsers cannot read, in command 3)', drawn: 'M0 0L1 1'},
    ],
  );
  assert.equal(importSvg(svg('<path d="M0 0 L1 1"/>'), parseXml).flawedPaths.size, 0);
  // "12." is a number SVG allows (and browsers stop at): the path is whole.
  const whole = importSvg(svg('<path id="p" d="M0 0 L 12. 0 l.5.5 L 12 6.Z"/>'), parseXml);
  assert.deepEqual(
    whole.paths.map((path) => anchors(path).join(' ')),
    ['0,0 12,0 12.5,-0.5 12,-6'],
  );
  assert.equal(whole.flawedPaths.size, 0);
});

test('mangled files are taken or refused cleanly, never with another exception', () => {
  const base = svg(
    '<g transform="rotate(30) skewX(10)"><path d="M0 0 C 10 20 30 40 50 60 S 1 2 3 4 Q 5 6 7 8 T 9 9 A 5 3 20 1 0 40 40 Z"/>' +
      '<rect x="1" y="2" width="3" height="4" rx="1"/><polygon points="1 2 3 4 5 6"/></g>',
  );
  let seed = 12345;
  const random = (n) => {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed % n;
  };
  const pieces = [
    '<',
    '>',
    '"',
    ' ',
    '-',
    'e',
    '9',
    '.',
    'Z',
    'A',
    'M',
    '1e30',
    'NaN',
    '/',
    'g',
    'transform="scale(1e20)"',
  ];
  let taken = 0;
  for (let round = 0; round < 400; round++) {
    let text = base;
    for (let edits = 1 + random(4); edits > 0; edits--) {
      const at = random(text.length);
      text = text.slice(0, at) + pieces[random(pieces.length)] + text.slice(at + random(3));
    }
    try {
      for (const path of importSvg(text, parseXml).paths) {
        assert.ok(path.segments.length >= 1 && path.segments.length <= MAX_SEGMENTS_PER_PATH);
        for (const value of path.segments.flat())
          assert.ok(Number.isFinite(value) && Math.fround(value) === value, text);
      }
      taken++;
    } catch (error) {
      assert.ok(error instanceof SvgImportError, `${error.name}: ${error.message} for ${text}`);
    }
  }
  assert.ok(taken > 0, 'some mangled files are still readable');
});

test("<use> draws its target, a symbol's children, moved by x and y; missing and circular references draw nothing", () => {
  const paths = load(
    '<defs><rect id="box" width="2" height="1"/><symbol id="sym"><line x2="3"/></symbol><g id="loop"><use href="#loop"/></g></defs>' +
      '<use href="#box" x="10" y="20" transform="scale(2)" fill="blue"/>' +
      '<use xmlns:xlink="http://www.w3.org/1999/xlink" xlink:href="#sym" y="5"/>' +
      '<use href="#nowhere"/><use href="#loop"/><use href="http://elsewhere/#box"/>',
  );
  assert.equal(paths.length, 2);
  // scale(2), then the use's translate(10, 20): (x, y) -> (2 (x + 10), 2 (y + 20)).
  assert.deepEqual(anchors(paths[0]), [
    [20, -40],
    [24, -40],
    [24, -42],
    [20, -42],
  ]);
  assert.equal(paths[0].fill, 'blue');
  assert.deepEqual(anchors(paths[1]), [
    [0, -5],
    [3, -5],
  ]);
});

test('text and images the file draws are named, in place or through a use; those it only defines are not', () => {
  const unstretched = (body) => [...importSvg(svg(body), parseXml).unstretched].sort();
  assert.deepEqual(unstretched('<path d="M0 0H5"/>'), []);
  assert.deepEqual(unstretched('<g><text>Label</text></g><path d="M0 0H5"/>'), ['text']);
  assert.deepEqual(
    unstretched('<defs><symbol id="s"><image href="data:,"/></symbol><text id="t">x</text></defs><use href="#s"/>'),
    ['image'],
  );
  assert.deepEqual(unstretched('<g display="none"><text>x</text></g><clipPath><text>y</text></clipPath>'), []);
});

test('art hidden by visibility is no host path, unless it shows again', () => {
  const shown = load(
    '<g visibility="hidden"><rect width="1" height="1"/><rect style="visibility: visible" width="2" height="2"/></g>' +
      '<circle r="3" visibility="collapse"/>',
  );
  assert.deepEqual(
    shown.map((path) => path.segments[1][0]),
    [2],
  );
});

test("a style attribute's CSS transform replaces the transform attribute, in every unit browsers read for certain", () => {
  const geometry = (body) => load(body).map((path) => path.segments.flat());
  const same = (css, attributes) => near(geometry(css).flat(), geometry(attributes).flat(), `${css} vs ${attributes}`);
  same(
    '<rect width="4" height="2" transform="scale(9)" style="fill: red; transform: translate(10px, 1in) rotate(0.25turn)"/>',
    '<rect width="4" height="2" transform="translate(10 96) rotate(90)"/>',
  );
  same(
    '<g style="transform:ROTATE(-1.5rad)SCALE(2,.5) skew(10deg, 200grad)" transform="rotate(5)"><path d="M1 2L3 5"/></g>',
    '<g transform="rotate(-85.94366926962348) scale(2 .5) skewX(10) skewY(180)"><path d="M1 2L3 5"/></g>',
  );
  same(
    '<circle r="2" transform="translate(50 50)" style="transform: none !important"/>' +
      '<rect width="1" height="1" style="fill: \'x;y\'; /* transform: scale(2) */transform:/**/rotate(90deg)"/>' +
      '<line x2="5" style="transform: translateX(2mm) translateY(0) scaleY(3) matrix(1, 0, 0, 1, 4, 5)"/>',
    '<circle r="2"/><rect width="1" height="1" transform="rotate(90)"/><line x2="5" transform="translate(7.559055118110237 0) scale(1 3) matrix(1 0 0 1 4 5)"/>',
  );
});

test('art CSS may move in ways the importer cannot follow for certain is drawn and kept, never a host path', () => {
  const outcome = (body, root = '') => {
    const {paths, placedByCss} = importSvg(
      `<svg xmlns="http://www.w3.org/2000/svg"${root}>${body}<path id="plain" d="M0 0H5"/></svg>`,
      parseXml,
    );
    return {paths: paths.map((path) => path.name), left: [...placedByCss].map((node) => node.getAttribute('id'))};
  };
  const leftOut = (body, ids, root) => assert.deepEqual(outcome(body, root), {paths: ['plain'], left: ids}, body);
  for (const style of [
    'transform: translate(10%, 0)',
    'transform: translate(1em)',
    'transform: rotate(30)',
    'transform: translate(10px 20px)',
    'transform: rotateX(10deg)',
    'transform: translate(var(--x))',
    'transform: inherit',
    'transform: rotate(9deg); transform-origin: 5px 5px',
    'transform-box: fill-box',
    'rotate: 30deg',
    '-webkit-transform: rotate(9deg)',
    'offset-path: path("M0 0H9")',
    'animation: spin 1s infinite',
    'tr\\61nsform: rotate(9deg)',
  ])
    leftOut(`<g style='${style}'><rect id="r" width="1" height="1"/></g>`, ['r']);
  // A use, a viewport or the root that CSS moves: all they draw.
  leftOut('<use href="#plain" style="transform: rotate(9deg)"/>', ['plain']);
  assert.deepEqual(outcome('<circle id="c" r="1"/>', ' style="scale: 2"'), {paths: [], left: ['c', 'plain']});
  leftOut('<svg style="transform: scale(2)"><rect id="r" width="1" height="1"/></svg>', ['r']);
  // Rules of the file's style sheets, in any block of it: what their
  // selectors may select (judged by their last compound) is left out, and
  // nothing else.
  const sheet =
    '<style>/* rotate: 1deg */ .plain { fill: url(\\23 x) } @font-face { src: url("data:;base64,\\\nAA\\"") } ' +
    '@media screen { svg|g.spin:hover > rect[x], #twist::after { transform: rotate(45deg) } } ' +
    '@keyframes k { to { transform: none } }</style>';
  leftOut(
    `${sheet}<g class="spin other"><rect id="a" width="1" height="1"/></g><rect id="twist" width="1" height="1"/>`,
    ['a', 'twist'],
  );
  assert.deepEqual(outcome(`${sheet}<circle id="still" class="plain" r="1"/>`).paths, ['still', 'plain']);
  leftOut('<style>g:is(.a, .b) rect { translate: 1px }</style><rect id="r" width="1" height="1"/>', ['r']);
  // A sheet too deep or too broken to take apart may move anything.
  const deep = `${'@media all {'.repeat(100000)} rect { transform: scale(2) }${'}'.repeat(100000)}`;
  for (const text of [deep, deep.slice(0, -1), 'circle { fill: red; transform: scale(2']) {
    assert.deepEqual(outcome(`<style>${text}</style><rect id="r" width="1" height="1"/>`), {
      paths: [],
      left: ['r', 'plain'],
    });
  }
});

test("a clip path in its art's user space is path art of the clip group; one the file's own geometry cannot stand for is kept", () => {
  const clips = (body, root = '') => {
    const {paths, elements, clipGroups, clipsKept} = importSvg(
      `<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"${root}>${body}</svg>`,
      parseXml,
    );
    const named = (indices) => indices.map((index) => paths[elements[index].paths[0][0]].name);
    return {paths, names: paths.map((path) => path.name), groups: clipGroups.map(named), kept: clipsKept};
  };
  // Illustrator's clip group: a use of a path in defs; Inkscape's: shapes
  // of its own; each placed by the clip path's transform after the art's
  // user space (its group's and its own transform), a use's after that.
  const {paths, groups} = clips(
    '<defs><path id="edge" d="M0 0H4V4Z" transform="scale(2)"/></defs>' +
      '<clipPath id="c" transform="translate(5 0)"><use xlink:href="#edge" x="1"/><rect id="box" width="1" height="1"/></clipPath>' +
      '<g transform="translate(0 10)"><g id="group" clip-path="url(#c)" transform="scale(3)"><path id="a" d="M0 0H1"/><path id="b" d="M0 0V1"/></g></g>',
  );
  assert.deepEqual(groups, [['a', 'b', 'edge', 'box']], 'the clip shapes follow the art, and all are one group');
  assert.deepEqual(anchors(paths[2])[1], [(5 + 1 + 8) * 3, -10]);
  assert.deepEqual(anchors(paths[3])[2], [(5 + 1) * 3, -(10 + 3)]);
  // Nested clip groups are one; the same clip named twice in one user space
  // follows both.
  assert.deepEqual(
    clips(
      '<clipPath id="o"><circle id="round" r="9"/></clipPath><clipPath id="i"><rect id="sq" width="2" height="2"/></clipPath>' +
        '<g clip-path="url(#o)"><path id="a" d="M0 0H1" clip-path="url(#i)"/><path id="b" style="clip-path: url( \'#i\' )" d="M0 0V1"/></g><path id="c" d="M5 5H6"/>',
    ).groups,
    [['a', 'b', 'round', 'sq']],
  );
  const kept = (body, root) => {
    const outcome = clips(body, root);
    assert.ok(outcome.names.length > 0 && outcome.names.every((name) => name === 'a'), `${body}: the art alone`);
    assert.deepEqual(outcome.groups, [], body);
    return outcome.kept;
  };
  const plain = '<path id="a" d="M0 0H1"/>';
  const clipped = '<path id="a" d="M0 0H1" clip-path="url(#c)"/>';
  const clip = '<clipPath id="c"><rect width="1" height="1"/></clipPath>';
  // In the art's box, it follows the art by itself.
  assert.equal(
    kept(`<clipPath id="c" clipPathUnits="objectBoundingBox"><rect width="1" height="1"/></clipPath>${clipped}`),
    0,
  );
  // Named in two user spaces, or by art the walk does not draw; a sheet
  // that sets clip paths by rules the page cannot match; a clip on the clip; text in it; a shape of it
  // that is art, or in a pattern, itself or through a use; CSS that may
  // move its shape; a group drawn by two uses.
  for (const body of [
    `${clip}${clipped}<g clip-path="url(#c)" transform="scale(2)"/>`,
    `${clip}<g clip-path="url(#c)">${plain}</g><pattern><path clip-path="url(#c)" d="M0 0H1"/></pattern>`,
    `${clip}<style>g > .x { clip-path: none }</style>${clipped}`,
    `${clip}<style>g > .k { clip-path: url(#c) }</style><path id="a" class="k" d="M0 0H1"/>`,
    `<clipPath id="d"><rect width="9" height="9"/></clipPath><clipPath id="c" clip-path="url(#d)"><rect width="1" height="1"/></clipPath>${clipped}`,
    `<clipPath id="c"><rect width="1" height="1"/><text>A</text></clipPath>${clipped}`,
    `<clipPath id="c"><use href="#a"/></clipPath><g clip-path="url(#c)">${plain}</g>`,
    `<defs><pattern><rect id="r" width="1" height="1"/></pattern></defs><clipPath id="c"><use href="#r"/></clipPath>${clipped}`,
    `<defs><rect id="r" width="1" height="1"/><pattern><use href="#r"/></pattern></defs><clipPath id="c"><use href="#r"/></clipPath>${clipped}`,
    `<clipPath id="c"><rect style="transform-box: fill-box" width="1" height="1"/></clipPath>${clipped}`,
    `<defs><g id="u">${clip}${clipped}</g></defs><use href="#u"/><use href="#u" x="5"/>`,
  ])
    assert.equal(kept(body), 1, body);
  assert.equal(kept(`${clip}${clipped}`, ' clip-path="url(#c)"'), 1, 'named by the root');
});

test('clip paths a style sheet gives follow through the cascade; a sheet the page cannot match keeps every clip', () => {
  // As Illustrator's CSS export writes clip groups: a class on the group,
  // the clip path a shape of its own (A) or a use of one in defs (B).
  const clips =
    '<defs><path id="pb" d="M0 0H5V5Z"/><clipPath id="A"><rect id="ra" class="cls-1" width="9" height="9"/></clipPath></defs>' +
    '<clipPath id="B"><use href="#pb"/></clipPath>';
  const clipOfGroup = (css, attributes = '', inner = '') => {
    const {paths, elements, clipGroups} = importSvg(
      svg(
        `<style>.cls-1{fill:none;}${css}</style>${clips}<g id="g" class="k"${attributes}><path id="a" d="M0 0H1"${inner}/></g>`,
      ),
      parseXml,
    );
    return clipGroups.map((group) => group.map((index) => paths[elements[index].paths[0][0]].name).join(' '));
  };
  for (const [css, attributes, expected] of [
    ['.k{clip-path:url(#A)}', '', 'a ra'],
    ['.j, .k { clip-path: url("#A") }', '', 'a ra'],
    ['.k{clip-path:url(#A)}', ' style="clip-path: url(#B)"', 'a pb'],
    ['.k{clip-path:url(#A) !important}', ' style="clip-path: url(#B)"', 'a ra'],
    ['.k{clip-path:url(#A)!important}', ' style="clip-path: url(#B) !important; clip-path: url(#A)"', 'a pb'],
    ['#g{clip-path:url(#B)} .k{clip-path:url(#A)}', '', 'a pb'],
    ['g.k{clip-path:url(#A)} .k{clip-path:url(#B)}', '', 'a ra'],
    ['.k{clip-path:url(#A)} /* later wins */ .k{clip-path:url(#B)}', '', 'a pb'],
    ['.k{clip-path:url(#B)}', ' clip-path="url(#A)"', 'a pb'],
    ['.k{clip-path:none}', ' clip-path="url(#A)"', null],
    ['@media print { .x { fill: red } } .k{clip-path:url(#A)}', '', 'a ra'],
  ])
    assert.deepEqual(clipOfGroup(css, attributes), expected ? [expected] : [], `${css}${attributes}`);
  // Rules the page cannot match for certain leave the cascade unknown: no
  // clip of the file follows, not even one its attribute names.
  assert.deepEqual(clipOfGroup('.k{clip-path:url(#A)}', '', ' clip-path="url(#B)"'), ['a ra pb']);
  for (const css of [
    'g > .k{clip-path:url(#A)}',
    '.k:hover{clip-path:url(#A)}',
    '[class=k]{clip-path:url(#A)}',
    '@media screen { .k{clip-path:url(#A)} }',
    '@import "more.css"; .k{clip-path:url(#A)}',
    '.k{-webkit-clip-path:url(#A)}',
    '.k{clip-path:var(--clip)}',
    '.k{clip-path:inherit}',
    'path.k{clip-path:url(#A)}',
    '.\\6b{clip-path:url(#A)}',
    '.k{clip-path:url(#A)} .m{all:unset}',
    '.k{clip-path:url(#A); .m{fill:red}}',
    '.k\u00a0{clip-path:url(#A)}',
  ])
    assert.deepEqual(clipOfGroup(css, '', ' clip-path="url(#B)"'), [], css);
});
