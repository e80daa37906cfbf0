// Where CSS places an element of a file, as far as that is certain without
// a browser. Browsers let CSS move SVG elements: a `transform` in a style
// attribute replaces the element's transform attribute, and transform-origin,
// transform-box, the translate, rotate and scale properties, motion paths,
// animations and style sheet rules may move it too. The importer follows a
// style attribute's transform only where it reads exactly as browsers read
// it (a plain 2D transform list in absolute units, about the element's
// default origin, which for an SVG element inside another is its user
// space's origin); everything else that may move an element is reported as
// uncertain, so that its art is drawn and kept but never stretched about a
// place where it is not drawn. Runs in the page and under node: it only
// reads text.

const WHITE = '[ \\t\\n\\r\\f]*';
// A CSS number: a point needs a digit after it.
const NUMBER = '([-+]?(?:\\d+(?:\\.\\d+)?|\\.\\d+)(?:[eE][-+]?\\d+)?)';
const FUNCTION = new RegExp(`${WHITE}([a-zA-Z]+)\\(([^()]*)\\)${WHITE}`, 'y');
const ARGUMENT = new RegExp(`^${WHITE}${NUMBER}([a-zA-Z]*)${WHITE}$`);
const LENGTH_UNITS = {px: 1, in: 96, cm: 96 / 2.54, mm: 96 / 25.4, q: 96 / 101.6, pt: 4 / 3, pc: 16};
const ANGLE_UNITS = {deg: 1, rad: 180 / Math.PI, grad: 0.9, turn: 360};
// Function name: the kinds of its arguments, for each count it takes.
const FUNCTIONS = {
  matrix: [['number', 'number', 'number', 'number', 'number', 'number']],
  translate: [['length'], ['length', 'length']],
  translatex: [['length']],
  translatey: [['length']],
  scale: [['number'], ['number', 'number']],
  scalex: [['number']],
  scaley: [['number']],
  rotate: [['angle']],
  skew: [['angle'], ['angle', 'angle']],
  skewx: [['angle']],
  skewy: [['angle']],
};
// Properties that may move an element, vendor prefixes aside.
const PLACING =
  /^(?:-[a-z]+-)?(?:transform(?:-origin|-box)?|translate|rotate|scale|zoom|all|offset(?:-[a-z-]+)?|animation(?:-[a-z-]+)?)$/;

export const UNCERTAIN = 'uncertain';

// What a style attribute's declarations do to the element's placement:
// null when nothing (the transform attribute stands), UNCERTAIN when the
// page cannot know it, else the SVG transform list (in user units and
// degrees, '' for none) that draws the element as its CSS transform does,
// in place of its transform attribute.
export function styleTransform(style) {
  if (style === null || style.trim() === '') return null;
  const declarations = declarationsOf(style);
  if (declarations === null) return UNCERTAIN;
  let transform = null;
  for (const [name, value] of declarations) {
    if (!PLACING.test(name)) continue;
    if (name !== 'transform') return UNCERTAIN;
    transform = transformList(value.replace(/!\s*important\s*$/i, ''));
    if (transform === null) return UNCERTAIN;
  }
  // What looks like a placing declaration but is not read as one (inside a
  // block or a string) is not guessed at either.
  if (transform === null && PLACING_TEXT.test(style)) return UNCERTAIN;
  return transform;
}

// A CSS transform value as an SVG transform list, or null where it is not
// one the page reads for certain (3D functions, relative units,
// percentages, keywords, var(), missing commas...).
function transformList(value) {
  if (/^\s*none\s*$/i.test(value)) return '';
  const steps = [];
  FUNCTION.lastIndex = 0;
  while (FUNCTION.lastIndex < value.length) {
    const match = FUNCTION.exec(value);
    if (!match) return null;
    const name = match[1].toLowerCase();
    const args = match[2].split(',');
    const kinds = FUNCTIONS[name]?.find((list) => list.length === args.length);
    if (!kinds) return null;
    const numbers = args.map((text, i) => argument(text, kinds[i]));
    if (numbers.some((number) => number === null)) return null;
    steps.push(svgStep(name, numbers));
  }
  return steps.length > 0 ? steps.join(' ') : null;
}

function argument(text, kind) {
  const match = ARGUMENT.exec(text);
  if (!match) return null;
  const number = Number(match[1]);
  const unit = match[2].toLowerCase();
  const scale =
    kind === 'number'
      ? unit === ''
        ? 1
        : undefined
      : unit === '' && number === 0
        ? 1
        : (kind === 'length' ? LENGTH_UNITS : ANGLE_UNITS)[unit];
  const result = scale === undefined ? NaN : number * scale;
  return Number.isFinite(result) ? result : null;
}

function svgStep(name, numbers) {
  const [first, second] = numbers;
  const tan = (degrees) => Math.tan((degrees * Math.PI) / 180);
  switch (name) {
    case 'translate':
      return `translate(${first} ${second ?? 0})`;
    case 'translatex':
      return `translate(${first} 0)`;
    case 'translatey':
      return `translate(0 ${first})`;
    case 'scale':
      return `scale(${first} ${second ?? first})`;
    case 'scalex':
      return `scale(${first} 1)`;
    case 'scaley':
      return `scale(1 ${first})`;
    case 'rotate':
      return `rotate(${first})`;
    case 'skew':
      return `matrix(1 ${tan(second ?? 0)} ${tan(first)} 1 0 0)`;
    case 'skewx':
      return `skewX(${first})`;
    case 'skewy':
      return `skewY(${first})`;
    default:
      return `matrix(${numbers.join(' ')})`;
  }
}

// [name, value] of each declaration of a declaration list, names in lower
// case, comments taken out; null for text whose strings or brackets do not
// close, or where an escape could spell a property's name.
export function declarationsOf(text) {
  const parts = splitTopLevel(text, ';');
  if (parts === null) return null;
  const declarations = parts.flatMap((part) => {
    const colon = part.indexOf(':');
    return colon > 0 ? [[part.slice(0, colon).trim().toLowerCase(), part.slice(colon + 1).trim()]] : [];
  });
  return declarations.some(([name]) => name.includes('\\')) ? null : declarations;
}

// The text cut at each `separator` outside strings and brackets, comments
// taken out; null when a string, comment or bracket does not close.
function splitTopLevel(text, separator) {
  const parts = [];
  let current = '';
  let depth = 0;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (c === '/' && text[i + 1] === '*') {
      const end = text.indexOf('*/', i + 2);
      if (end < 0) return null;
      current += ' ';
      i = end + 1;
    } else if (c === '"' || c === "'") {
      const end = stringEnd(text, i);
      if (end === null) return null;
      current += text.slice(i, end + 1);
      i = end;
    } else if (c === '\\') {
      // An escaped character is never a separator, bracket or quote.
      current += text.slice(i, i + 2);
      i++;
    } else if (c === separator && depth === 0) {
      parts.push(current);
      current = '';
    } else {
      if (c === '(' || c === '[' || c === '{') depth++;
      else if (c === ')' || c === ']' || c === '}') depth--;
      if (depth < 0) return null;
      current += c;
    }
  }
  if (depth !== 0) return null;
  parts.push(current);
  return parts;
}

// A test of whether a rule of the file's style sheets may move an element:
// true for every element a rule that sets a placing property might select.
// A selector is judged by the type, #id and .class of its last compound
// (its pseudo-classes and attribute tests, which only narrow it, left
// aside); a selector with anything else, or a sheet the page cannot take
// apart, counts as selecting everything, so the test errs only towards
// "may". Each level of nested blocks is read once, and only a few levels.
export function sheetPlacement(styleTexts) {
  const subjects = [];
  let everything = false;
  const rules = (text, depth) => {
    if (depth > MAX_NESTING) {
      everything = true;
      return;
    }
    let at = 0;
    while (at < text.length && !everything) {
      const open = nextOutside(text, at, '{;');
      const close = open?.char === '{' ? matchingBrace(text, open.index) : undefined;
      if (open === null || close === null || open.char === '\\') {
        // An escape in a selector or at-rule could spell anything.
        everything = open?.char === '\\' || PLACING_TEXT.test(text.slice(at)) || text.includes('\\', at);
        return;
      }
      if (open.char === ';') {
        at = open.index + 1;
        continue;
      }
      const prelude = text.slice(at, open.index).trim();
      const body = text.slice(open.index + 1, close);
      at = close + 1;
      if (!PLACING_TEXT.test(body) && !body.includes('\\')) continue;
      if (prelude.startsWith('@')) {
        // Keyframes only move what an animation property names.
        if (!/^@(?:-[a-z]+-)?(?:keyframes|font-face|page|property|counter-style|font-feature-values)\b/i.test(prelude))
          rules(body, depth + 1);
      } else if (body.includes('{')) {
        everything = true;
      } else {
        const declarations = declarationsOf(body);
        if (declarations === null || declarations.some(([name]) => PLACING.test(name))) addSelectors(prelude);
      }
    }
  };
  const addSelectors = (prelude) => {
    const plain = prelude
      .replace(/\[[^\][]*\]/g, '')
      .replace(/::?[\w-]+(?:\([^()]*\))?/g, '')
      .replace(/(?:[\w-]+|\*)?\|/g, '');
    if (!/^[\w\s.#>+~*,-]*$/.test(plain)) {
      everything = true;
      return;
    }
    for (const selector of plain.split(',')) {
      const compound = selector
        .trim()
        .split(/[\s>+~]+/)
        .pop();
      const match = /^(\*|[\w-]+)?((?:[.#][\w-]+)*)$/.exec(compound);
      if (!match) {
        everything = true;
        return;
      }
      subjects.push({
        type: match[1] && match[1] !== '*' ? match[1].toLowerCase() : null,
        ids: [...match[2].matchAll(/#([\w-]+)/g)].map((m) => m[1]),
        classes: [...match[2].matchAll(/\.([\w-]+)/g)].map((m) => m[1]),
      });
    }
  };
  for (const text of styleTexts) if (PLACING_TEXT.test(text) || text.includes('\\')) rules(text, 0);
  if (everything) return () => true;
  if (subjects.length === 0) return () => false;
  return (node) => {
    const type = (node.localName ?? node.nodeName).toLowerCase();
    const id = node.getAttribute('id');
    const classes = (node.getAttribute('class') ?? '').split(/[ \t\n\r\f]+/);
    return subjects.some(
      (subject) =>
        (subject.type === null || subject.type === type) &&
        subject.ids.every((one) => one === id) &&
        subject.classes.every((one) => classes.includes(one)),
    );
  };
}

const MAX_NESTING = 8;

// A placing property's name followed by a colon, anywhere in a text.
const PLACING_TEXT =
  /(?<![\w-])(?:-[a-z]+-)?(?:transform|translate|rotate|scale|zoom|all|offset|animation)(?:-[a-z-]+)?\s*:/i;

// The end of the string opening at `open`: its closing quote, or null
// where a line or the text ends first. A backslash escapes the character
// after it (a line break too, as Illustrator splits long data).
function stringEnd(text, open) {
  for (let i = open + 1; i < text.length; i++) {
    const c = text[i];
    if (c === text[open]) return i;
    if (c === '\\') i++;
    else if (c === '\n' || c === '\r' || c === '\f') return null;
  }
  return null;
}

// The index and character of the first of `chars`, or of an escape, outside
// strings and comments from `from`, or null (also for a string or comment
// that does not end).
export function nextOutside(text, from, chars) {
  for (let i = from; i < text.length; i++) {
    const c = text[i];
    if (c === '/' && text[i + 1] === '*') {
      const end = text.indexOf('*/', i + 2);
      if (end < 0) return null;
      i = end + 1;
    } else if (c === '"' || c === "'") {
      const end = stringEnd(text, i);
      if (end === null) return null;
      i = end;
    } else if (c === '\\' || chars.includes(c)) {
      return {index: i, char: c};
    }
  }
  return null;
}

// The index of the brace closing the one at `open`, or null.
export function matchingBrace(text, open) {
  let depth = 0;
  for (let at = open; ;) {
    const next = nextOutside(text, at, '{}');
    if (next === null) return null;
    if (next.char === '\\') {
      at = next.index + 2;
      continue;
    }
    depth += next.char === '{' ? 1 : -1;
    if (depth === 0) return next.index;
    at = next.index + 1;
  }
}
