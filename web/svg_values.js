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
// Sizes a browser refuses below zero, on every element that has them (a
// rect's width, a use's, a circle's r, a rect's or ellipse's rx...): it
// draws the element as if the attribute were not there, and says so.
const NON_NEGATIVE = new Set([
  'width',
  'height',
  'r',
  'rx',
  'ry',
  'fr',
  'markerWidth',
  'markerHeight',
  'textLength',
  'pathLength',
]);
const TRANSFORMS = new Set(['transform', 'gradientTransform', 'patternTransform']);
const ARGUMENTS = {matrix: [6], translate: [1, 2], scale: [1, 2], rotate: [1, 3], skewX: [1], skewY: [1]};
// A transform list's pieces as browsers read them: numbers may abut where
// the next begins with a sign or a point ("scale(1-1)", "translate(.5.5)",
// as minifiers write them), but a point needs a digit after it.
const SPACE = '[ \\t\\n\\r\\f]*';
const TRANSFORM_NAME = new RegExp(`${SPACE}(matrix|translate|scale|rotate|skewX|skewY)${SPACE}\\(${SPACE}`, 'y');
const TRANSFORM_NUMBER = new RegExp(`([-+]?(?:\\d+(?:\\.\\d+)?|\\.\\d+)(?:[eE][-+]?\\d+)?)${SPACE}`, 'y');
const COMMA = new RegExp(`,${SPACE}`, 'y');
const CLOSE = new RegExp(`\\)${SPACE}`, 'y');
const BLANK = new RegExp(`^${SPACE}$`);

// Whether the browser reads this attribute of this element (local names).
export function readable(element, name, value) {
  if (TRANSFORMS.has(name)) return transformSteps(value) !== null;
  if (element === 'feOffset' && (name === 'dx' || name === 'dy')) return KINDS.number.test(value);
  const kind = TEXT.has(element) ? (TEXT_KINDS.get(name) ?? KIND_OF.get(name)) : KIND_OF.get(name);
  if (kind === undefined) return true;
  if (kind === 'numbers' && name === 'values' && element !== 'feColorMatrix') return true;
  return KINDS[kind].test(value) && !(NON_NEGATIVE.has(name) && Number.parseFloat(value) < 0);
}

// The steps of a transform list as browsers read it, [{name, args}] in
// order ([] for an empty one), or null when they read none of it: a browser
// draws an element whose transform list has any fault as if it had none.
export function transformSteps(value) {
  if (BLANK.test(value)) return [];
  const steps = [];
  let at = 0;
  const take = (pattern) => {
    pattern.lastIndex = at;
    const match = pattern.exec(value);
    if (match) at = pattern.lastIndex;
    return match;
  };
  while (at < value.length) {
    if (steps.length > 0) take(COMMA);
    const name = take(TRANSFORM_NAME)?.[1];
    if (name === undefined) return null;
    const args = [];
    for (let number = take(TRANSFORM_NUMBER); number;) {
      args.push(Number(number[1]));
      const comma = take(COMMA);
      number = take(TRANSFORM_NUMBER);
      if (comma && !number) return null;
    }
    if (!take(CLOSE) || !ARGUMENTS[name].includes(args.length)) return null;
    steps.push({name, args});
  }
  return steps;
}
