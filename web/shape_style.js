// A basic shape the host has changed is drawn, and written, as a path. A
// style sheet rule that selects by element name (`rect { fill: red }`,
// `svg > circle`, a chart's `path { fill: none }`, `:first-of-type`) would
// then no longer reach it, or newly would. So where, and only where, the
// file's sheets have such a rule, the path carries as its own style the
// painting properties in which it would differ from the shape: what the
// browser computes for the shape, set on the path in its place (with
// !important only where a rule's own !important would still win). The
// export writes the same declarations into the path's style attribute, so
// the saved file looks as the drawing did in any program.

// A selector naming a basic shape or a path by element name, or choosing
// by the kind of element (`:nth-of-type`), in a selector list as the
// browser serialises it.
const BY_SHAPE_NAME = /(?:^|[\s>+~,(|])(?:rect|circle|ellipse|line|polyline|polygon|path)(?![\w-])|-of-type\b/i;

// What paints a path, as the browser computes it; geometry and placement
// (d, x, r, transform...) are left alone, as the path has its own.
const PAINTING = [
  'clip-path',
  'clip-rule',
  'color',
  'color-interpolation',
  'display',
  'fill',
  'fill-opacity',
  'fill-rule',
  'filter',
  'isolation',
  'marker-start',
  'marker-mid',
  'marker-end',
  'mask',
  'mix-blend-mode',
  'opacity',
  'paint-order',
  'pointer-events',
  'shape-rendering',
  'stroke',
  'stroke-dasharray',
  'stroke-dashoffset',
  'stroke-linecap',
  'stroke-linejoin',
  'stroke-miterlimit',
  'stroke-opacity',
  'stroke-width',
  'vector-effect',
  'visibility',
];

// Whether any rule of the sheets (CSSStyleSheet objects, nested rules too)
// may select a shape or a path by its element name.
export function selectsByShapeName(sheets) {
  return anySelector(sheets, BY_SHAPE_NAME);
}

// A selector that may pick an element by its neighbours or its children: a
// sibling combinator, a structural pseudo-class or :has() (a `+` in
// `:nth-child(2n+1)` counts too, which only costs time).
const BY_PLACE = /[+~]|:(?:nth-|first-|last-|only-|has\(|empty\b)/i;

// Whether any rule of the sheets may select an element by its place among
// its siblings or by what it holds: once a shape is drawn as a path, or the
// host's copies stand beside art, such a rule may paint the art around it
// otherwise (`rect + circle`, `rect ~ path`, `circle:first-of-type`).
export function selectsByPlace(sheets) {
  return anySelector(sheets, BY_PLACE);
}

function anySelector(sheets, pattern) {
  const any = (rules) =>
    Array.from(rules ?? []).some(
      (rule) => (rule.selectorText !== undefined && pattern.test(rule.selectorText)) || any(rule.cssRules),
    );
  return sheets.some((sheet) => any(sheet.cssRules));
}

// The painting properties the browser computes for a node in the page.
export function paintingOf(node) {
  const style = getComputedStyle(node);
  return PAINTING.map((name) => [name, style.getPropertyValue(name)]);
}

// Sets on `path`, drawn in a shape's place, the painting properties in which
// it differs from `painting` (paintingOf the shape); returns them as
// declarations for a style attribute ('' for none). Any element may be
// given the paint it had so, a path's neighbour among them.
export function carryPainting(path, painting) {
  const differing = (list) => {
    const style = getComputedStyle(path);
    return list.filter(([name, value]) => style.getPropertyValue(name) !== value);
  };
  const carried = differing(painting);
  for (const [name, value] of carried) path.style.setProperty(name, value);
  // A sheet's !important rule for paths beats the path's own style.
  const important = new Set(differing(carried).map(([name]) => name));
  for (const name of important) path.style.setProperty(name, path.style.getPropertyValue(name), 'important');
  return carried
    .map(([name, value]) => `${name}:${fileValue(value)}${important.has(name) ? ' !important' : ''}`)
    .join(';');
}

// A computed value as drawing programs read it in a file: a link to an
// element of the file as `url(#id)`, as they write it.
function fileValue(value) {
  return value.replace(/url\("(#[\w.:-]+)"\)/g, 'url($1)');
}
