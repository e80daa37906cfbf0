// Which attribute values of a file a browser can read. A browser draws an
// element whose length, number or transform attribute it cannot read as if
// the attribute were not there, and says so on its console; the page draws
// the same by leaving such an attribute out of the drawing, and so keeps
// the console for its own faults. (The file's text keeps every attribute.)

const NUMBER = '[-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?';
const SEPARATOR = '(?:\\s*,\\s*|\\s+)';
const LENGTH = `${NUMBER}(?:px|pt|pc|mm|cm|in|em|ex|rem|ch|vw|vh|vmin|vmax|q|%)?`;
const whole = (body) => new RegExp(`^\\s*${body}\\s*$`, 'i');
const list = (item, least, most) => whole(`${item}(?:${SEPARATOR}${item}){${least - 1},${most - 1}}`);

const KINDS = {
  length: whole(LENGTH),
  lengths: list(LENGTH, 1, 1e6),
  number: whole(NUMBER),
  numbers: whole(`(?:${NUMBER}(?:${SEPARATOR}${NUMBER})*)?`),
  integer: whole('[-+]?\\d+'),
  twoNumbers: list(NUMBER, 1, 2),
  twoIntegers: list('[-+]?\\d+', 1, 2),
  offset: whole(`${NUMBER}%?`),
  box: list(NUMBER, 4, 4),
};

const LENGTHS = [
  'x',
  'y',
  'width',
  'height',
  'r',
  'rx',
  'ry',
  'cx',
  'cy',
  'x1',
  'y1',
  'x2',
  'y2',
  'fx',
  'fy',
  'fr',
  'refX',
  'refY',
  'markerWidth',
  'markerHeight',
  'textLength',
  'startOffset',
];
const NUMBERS = [
  'k1',
  'k2',
  'k3',
  'k4',
  'surfaceScale',
  'specularConstant',
  'specularExponent',
  'diffuseConstant',
  'limitingConeAngle',
  'pointsAtX',
  'pointsAtY',
  'pointsAtZ',
  'seed',
  'scale',
  'amplitude',
  'exponent',
  'intercept',
  'slope',
  'pathLength',
  'divisor',
  'bias',
  'elevation',
  'azimuth',
  'z',
];
const KIND_OF = new Map([
  ...LENGTHS.map((name) => [name, 'length']),
  ...NUMBERS.map((name) => [name, 'number']),
  ['offset', 'offset'],
  ['numOctaves', 'integer'],
  ['targetX', 'integer'],
  ['targetY', 'integer'],
  ['stdDeviation', 'twoNumbers'],
  ['baseFrequency', 'twoNumbers'],
  ['kernelUnitLength', 'twoNumbers'],
  ['radius', 'twoNumbers'],
  ['order', 'twoIntegers'],
  ['viewBox', 'box'],
  ['kernelMatrix', 'numbers'],
  ['tableValues', 'numbers'],
  ['values', 'numbers'],
]);
// Text places its characters with lists of lengths, and a filter's offset
// is a number.
const TEXT = new Set(['text', 'tspan', 'tref', 'altGlyph']);
const TEXT_KINDS = new Map([
  ['x', 'lengths'],
  ['y', 'lengths'],
  ['dx', 'lengths'],
  ['dy', 'lengths'],
  ['rotate', 'numbers'],
]);
const TRANSFORMS = new Set(['transform', 'gradientTransform', 'patternTransform']);
const TRANSFORM = new RegExp(
  `^\\s*(?:(matrix|translate|scale|rotate|skewX|skewY)\\s*\\(\\s*(${NUMBER}(?:${SEPARATOR}${NUMBER})*)?\\s*\\)\\s*,?\\s*)*$`,
);
const TRANSFORM_STEP = new RegExp(`(matrix|translate|scale|rotate|skewX|skewY)\\s*\\(([^)]*)\\)`, 'g');
const ARGUMENTS = {matrix: [6], translate: [1, 2], scale: [1, 2], rotate: [1, 3], skewX: [1], skewY: [1]};

// Whether the browser reads this attribute of this element (local names).
export function readable(element, name, value) {
  if (TRANSFORMS.has(name)) return readableTransform(value);
  if (element === 'feOffset' && (name === 'dx' || name === 'dy')) return KINDS.number.test(value);
  const kind = TEXT.has(element) ? (TEXT_KINDS.get(name) ?? KIND_OF.get(name)) : KIND_OF.get(name);
  if (kind === undefined) return true;
  if (kind === 'numbers' && name === 'values' && element !== 'feColorMatrix') return true;
  return KINDS[kind].test(value);
}

function readableTransform(value) {
  if (!TRANSFORM.test(value)) return false;
  for (const [, name, args] of value.matchAll(TRANSFORM_STEP)) {
    const count = args.trim() === '' ? 0 : args.trim().split(new RegExp(SEPARATOR)).length;
    if (!ARGUMENTS[name].includes(count)) return false;
  }
  return true;
}
