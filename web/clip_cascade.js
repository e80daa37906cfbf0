// Which clip path each element of a file names, as browsers resolve its
// clip-path property: the presentation attribute lowest, then the file's
// style sheet rules by specificity and then order, then the style
// attribute, and !important declarations above every normal one (a style
// attribute's above a sheet's). Illustrator's CSS export gives each clip
// group its clip path this way: `.cls-2{clip-path:url(#clip-path)}` on the
// group's `<g class="cls-2">`.
//
// The answer is exact only where the page matches every rule that may set
// a clip path for certain: a plain style sheet, and rules selecting by
// lists of compounds of a type, an #id and .classes, in local urls, `none`
// or `initial`/`unset`. Anything else in such a sheet (combinators,
// pseudo-classes, attribute tests, conditions such as @media, @import,
// @namespace, nesting, `inherit`, `all`, a prefixed clip-path, an escape)
// leaves the cascade unknown: then the file's clip paths are read from
// their attributes alone, and none is followed (see clip_paths.js). Runs in
// the page and under node: it only reads text.
import {declarationsOf, matchingBrace, nextOutside} from './css_placement.js';
import {attribute, isSvgElement, localName} from './svg_nodes.js';

const LOCAL_URL = /^url\(\s*(?:"#([^"]*)"|'#([^']*)'|#([^\s"')]*))\s*\)$/i;
const MENTIONS = /clip-path/i;
// `all` resets clip-path too.
const ALL = /(?<![\w-])all\s*:/i;
const COMMENT = /\/\*[^]*?\*\//g;
// Characters that JavaScript trims and CSS reads as part of a name or
// value: the readers here trim as JavaScript does, so such text is not
// read at all.
const NOT_CSS_SPACE = /[\v\u00a0\u1680\u2000-\u200a\u2028\u2029\u202f\u205f\u3000\ufeff]/;
const COMPOUND = /^(?:(\*)|([a-z][a-z0-9_-]*))?((?:[.#]-?[A-Za-z_][\w-]*)*)$/;
// Path art a stretch may write as a path, after which a rule by its
// element's name would stop (or start) matching it.
const PATH_ART = new Set(['path', 'rect', 'circle', 'ellipse', 'line', 'polyline', 'polygon']);
// Where a style element is certainly part of the drawing.
const SHEET_HOLDERS = new Set(['svg', 'g', 'defs', 'a', 'switch', 'symbol']);

// {exact, clipOf}: clipOf(node) is the id the element's clip-path names, or
// null; exact tells whether that is the file's cascade (false where the
// file's sheets set clip paths in ways the page cannot match).
export function clipCascade(doc) {
  const styles = Array.from(doc.getElementsByTagName('*')).filter((node) => localName(node) === 'style');
  if (!styles.some((node) => MENTIONS.test(node.textContent ?? ''))) return {exact: true, clipOf: attributeClip};
  const rules = sheetRules(styles);
  const resolved = rules && resolve(doc, rules);
  if (!resolved) return {exact: false, clipOf: attributeClip};
  return {exact: true, clipOf: (node) => resolved.get(node) ?? null};
}

// The id an element's own clip-path names (its style's over its
// attribute), or null: what the element says, sheets aside.
export function attributeClip(node) {
  let value = null;
  const style = attribute(node, 'style');
  if (style !== null) {
    for (const declaration of style.split(';')) {
      const colon = declaration.indexOf(':');
      if (colon > 0 && declaration.slice(0, colon).trim().toLowerCase() === 'clip-path') {
        value = declaration
          .slice(colon + 1)
          .replace(/!important/i, '')
          .trim();
      }
    }
  }
  value ??= attribute(node, 'clip-path');
  return readValue(value ?? '')?.id ?? null;
}

// Every clip-path declaration of the sheets, in cascade order:
// [{selectors, id, important, order}], or null where any cannot be matched.
function sheetRules(styles) {
  const rules = [];
  for (const style of styles) {
    const text = style.textContent ?? '';
    if (ALL.test(text)) return null;
    if (!MENTIONS.test(text)) continue;
    if (!plainSheet(style) || text.includes('\\') || NOT_CSS_SPACE.test(text) || !readSheet(text, rules)) return null;
  }
  return rules;
}

// A style element that the drawing takes as it is: in SVG, among the
// drawing's containers, for every medium.
function plainSheet(style) {
  const type = attribute(style, 'type');
  if ((attribute(style, 'media') ?? '').trim() !== '') return false;
  if (type !== null && !/^\s*text\/css\s*$/i.test(type)) return false;
  for (let node = style; node && node.nodeType === 1; node = node.parentNode) {
    if (!isSvgElement(node) || (node !== style && !SHEET_HOLDERS.has(localName(node)))) return false;
  }
  return true;
}

function readSheet(text, rules) {
  for (let at = 0; at < text.length;) {
    const open = nextOutside(text, at, '{;');
    if (open === null) return text.slice(at).replace(COMMENT, '').trim() === '';
    const prelude = text.slice(at, open.index).replace(COMMENT, ' ').trim();
    if (open.char === ';') {
      // A statement: @import and @namespace change what rules apply to;
      // anything else before a semicolon swallows the next rule.
      if (!prelude.startsWith('@') || /^@(?:import|namespace)\b/i.test(prelude)) return false;
      at = open.index + 1;
      continue;
    }
    const close = matchingBrace(text, open.index);
    if (close === null) return false;
    const body = text.slice(open.index + 1, close);
    at = close + 1;
    if (!MENTIONS.test(prelude) && !MENTIONS.test(body)) continue;
    if (prelude.startsWith('@') || body.includes('{')) return false;
    const declarations = declarationsOf(body);
    if (declarations === null) return false;
    const selectors = selectorList(prelude);
    for (const [name, value] of declarations) {
      if (/^-[a-z]+-clip-path$/.test(name)) return false;
      if (name !== 'clip-path') continue;
      const read = readValue(value, true);
      if (!read || !selectors) return false;
      rules.push({selectors, id: read.id, important: read.important, order: rules.length});
    }
  }
  return true;
}

// [{type, ids, classes, specificity}] of a selector list the page matches
// exactly, or null.
function selectorList(prelude) {
  const selectors = [];
  for (const text of prelude.split(',')) {
    const match = COMPOUND.exec(text.trim());
    if (!match || text.trim() === '' || PATH_ART.has(match[2])) return null;
    const ids = [...match[3].matchAll(/#([\w-]+)/g)].map((m) => m[1]);
    const classes = [...match[3].matchAll(/\.([\w-]+)/g)].map((m) => m[1]);
    const type = match[2] ?? null;
    selectors.push({type, ids, classes, specificity: [ids.length, classes.length, type ? 1 : 0]});
  }
  return selectors;
}

// {id, important} of a clip-path value (id null for none), or null for one
// the page does not read for certain. `important` only where the
// declaration may carry it.
function readValue(text, declaration = false) {
  let value = text.trim();
  let important = false;
  const bang = /!\s*important$/i.exec(value);
  if (declaration && bang) {
    important = true;
    value = value.slice(0, bang.index).trim();
  }
  if (value === '' && !declaration) return {id: null, important};
  if (/^(?:none|initial|unset)$/i.test(value)) return {id: null, important};
  const match = LOCAL_URL.exec(value);
  return match ? {id: match[1] ?? match[2] ?? match[3], important} : null;
}

// Each element's clip path id, or null where an element's own clip-path
// cannot be read for certain.
function resolve(doc, rules) {
  const index = new Map(); // '#id', '.class', type or '*' -> [{selector, rule}]
  for (const rule of rules) {
    for (const selector of rule.selectors) {
      const key = selector.ids.length
        ? `#${selector.ids[0]}`
        : selector.classes.length
          ? `.${selector.classes[0]}`
          : (selector.type ?? '*');
      if (!index.has(key)) index.set(key, []);
      index.get(key).push({selector, rule});
    }
  }
  const clips = new Map();
  for (const node of doc.getElementsByTagName('*')) {
    const id = attribute(node, 'id');
    const classes = (attribute(node, 'class') ?? '').split(/[ \t\n\r\f]+/).filter(Boolean);
    const type = localName(node);
    // The winner ranks by [tier, specificity, order]; tiers: 0 the
    // presentation attribute, 1 sheets, 2 the style attribute, 3 sheets'
    // !important, 4 the style attribute's.
    let best = null;
    const offer = (rank, clip) => {
      if (best === null || compare(rank, best.rank) >= 0) best = {rank, clip};
    };
    const own = attribute(node, 'clip-path');
    if (own !== null) {
      const read = NOT_CSS_SPACE.test(own) ? null : readValue(own);
      if (!read) return null;
      offer([0], read.id);
    }
    const keys = ['*', type, ...classes.map((name) => `.${name}`), ...(id === null ? [] : [`#${id}`])];
    for (const key of new Set(keys)) {
      for (const {selector, rule} of index.get(key) ?? []) {
        const matches =
          (selector.type === null || selector.type === type) &&
          selector.ids.every((one) => one === id) &&
          selector.classes.every((one) => classes.includes(one));
        if (matches) offer([rule.important ? 3 : 1, ...selector.specificity, rule.order], rule.id);
      }
    }
    const style = attribute(node, 'style');
    if (style !== null && MENTIONS.test(style)) {
      const declarations = NOT_CSS_SPACE.test(style) ? null : declarationsOf(style);
      if (declarations === null) return null;
      for (const [name, value] of declarations) {
        if (/^-[a-z]+-clip-path$/.test(name)) return null;
        if (name !== 'clip-path') continue;
        const read = readValue(value, true);
        if (!read) return null;
        offer([read.important ? 4 : 2], read.id);
      }
    }
    if (best?.clip != null) clips.set(node, best.clip);
  }
  return clips;
}

// Lexicographic order of two ranks; a shorter one (a tier alone) compares
// by its tier, and within a tier later offers win ties.
function compare(a, b) {
  for (let i = 0; i < Math.max(a.length, b.length); i++) {
    const difference = (a[i] ?? 0) - (b[i] ?? 0);
    if (difference !== 0) return difference;
  }
  return 0;
}
