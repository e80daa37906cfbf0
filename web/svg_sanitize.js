// What of an opened file may be drawn: the file is untrusted, so the page
// draws a copy that DOMPurify has cleaned (no script, no event attribute, no
// foreignObject, no animation) and that names nothing outside itself (every
// href and url() a local "#id", images only as data: URLs, no @import, no
// web font from elsewhere), built into the page with DOM APIs alone. Style
// sheets become constructed sheets for the drawing's shadow root and style
// attributes go through the CSSOM, so the page's own policy can forbid
// inline styles. Everything left out is counted for the person.
import DOMPurify from 'dompurify';
import svgpath from 'svgpath';
import {INERT_PREFIX, numberElements} from './svg_source.js';
import {readable} from './svg_values.js';

const SVG_NS = 'http://www.w3.org/2000/svg';
const XLINK_NS = 'http://www.w3.org/1999/xlink';
const XML_NS = 'http://www.w3.org/XML/1998/namespace';
export const SERIAL_ATTRIBUTE = 'data-sw-n';
// Marks the drawing's root, which the file's `:root` rules are made to
// select: in the page, the drawing is not the root of its document.
const ROOT_ATTRIBUTE = 'data-sw-root';
const ROOT_PSEUDO_CLASS = /:root(?![\w-])/gi;
// Outside an @scope block, :scope is the root of the file shown alone too;
// in the page's shadow root it would be none of the file's elements.
const ROOT_OR_SCOPE = /:(?:root|scope)(?![\w-])/gi;
// Marks the page's own <svg> that holds the drawing. A file shown alone has
// nothing above its root, so no compound of the file's rules matches it:
// `svg svg` and `svg > svg` select the file's nested svg elements, not its
// root, and no rule paints it for the root to inherit. The condition weighs
// nothing (:where), so each rule keeps its specificity and the cascade picks
// the rules it picks in the file.
export const VIEWPORT_ATTRIBUTE = 'data-sw-viewport';
const NOT_VIEWPORT = `:where(:not([${VIEWPORT_ATTRIBUTE}]))`;

const ANIMATIONS = new Set(['animate', 'set', 'animatemotion', 'animatetransform', 'animatecolor', 'discard']);
const IMAGE_ELEMENTS = new Set(['image', 'feimage']);
const DATA_IMAGE = /^data:image\/(png|jpe?g|gif|webp|bmp|avif|svg\+xml)[;,]/i;
// A data: URL with no media type, as Illustrator writes an image into a
// mask, is taken as an image only when its bytes begin as a PNG, JPEG, GIF,
// WebP or BMP does; the browser then decodes it as that image.
const UNTYPED_DATA = /^data:;base64,/i;
const RASTER_SIGNATURES = [/^\x89PNG\r\n\x1a\n/, /^\xff\xd8\xff/, /^GIF8[79]a/, /^RIFF[^]{4}WEBP/, /^BM/];
const DATA_FONT = /^data:(font\/|application\/(font|x-font|octet-stream|vnd\.ms-fontobject))/i;
// A url() or other CSS function that fetches.
const URL_FUNCTION = /url\(\s*(?:"([^"]*)"|'([^']*)'|([^)]*))\s*\)/gi;
const FETCHING_FUNCTION = /\b(?:image-set|-webkit-image-set|image|cross-fade|element|src)\(/i;
// A number spelled with a point and no digit after it ("12."), which SVG
// allows and Inkscape writes, but where browsers stop drawing a path.
const POINT_ENDING_NUMBER = /\d\.(?!\d)/;

const purifier = DOMPurify(window);
let tally = null;
purifier.addHook('uponSanitizeElement', (node, data) => {
  const name = data.tagName;
  if (name === 'script') tally.count('scripts');
  // A foreignObject that requires an extension is the private data of the
  // program that wrote the file, which no browser draws: nothing is lost.
  else if (name === 'foreignobject' && !node.hasAttribute('requiredExtensions')) tally.count('foreignObjects');
  else if (ANIMATIONS.has(name)) tally.count('animations');
});
purifier.addHook('uponSanitizeAttribute', (node, data) => {
  const name = data.attrName;
  const value = data.attrValue ?? '';
  if (/^on/i.test(name) || name.startsWith(INERT_PREFIX)) {
    tally.count('eventAttributes');
    data.keepAttr = false;
  } else if (name === 'href' || name === 'xlink:href') {
    const target = value.trim();
    if (target.startsWith('#')) return;
    const tag = node.localName.toLowerCase();
    if (IMAGE_ELEMENTS.has(tag) && (DATA_IMAGE.test(target) || untypedRaster(target))) return;
    if (/^\s*javascript:/i.test(target.replace(/[\u0000-\u0020]/g, ''))) tally.count('javascriptLinks');
    else if (IMAGE_ELEMENTS.has(tag)) tally.count('externalImages');
    else if (tag !== 'a') tally.count('externalReferences');
    data.keepAttr = false;
    data.forceKeepAttr = undefined;
  } else if (name !== 'style' && !safeValue(value)) {
    tally.count('externalReferences');
    data.keepAttr = false;
  }
});

const CONFIG = {
  IN_PLACE: true,
  USE_PROFILES: {svg: true, svgFilters: true},
  ADD_TAGS: ['use'],
  ADD_ATTR: ['fr', 'mix-blend-mode', 'isolation', 'solid-color', 'solid-opacity', 'xml:space', 'xml:lang'],
  FORBID_TAGS: [
    'foreignObject',
    'foreignobject',
    'animate',
    'set',
    'animateMotion',
    'animateTransform',
    'animateColor',
    'discard',
  ],
  KEEP_CONTENT: false,
  // Path data and point lists are geometry, which nothing reads as an
  // address; DOMPurify would otherwise look for a URL scheme in each of
  // them, most of its time on a drawing of many long paths.
  ADD_URI_SAFE_ATTR: ['d', 'points'],
  // The drawing lives in a shadow root, where an id cannot shadow a property
  // of the page's document or of a form; DOMPurify's guard against that
  // would drop ids such as "head" or "title" and break every reference to
  // them.
  SANITIZE_DOM: false,
};

// The words a message uses for each kind of thing left out.
const WORDS = {
  scripts: ['script not run', 'scripts not run'],
  eventAttributes: ['event attribute removed', 'event attributes removed'],
  javascriptLinks: ['javascript: link removed', 'javascript: links removed'],
  externalImages: ['external image not loaded', 'external images not loaded'],
  externalReferences: ['reference to another file not followed', 'references to other files not followed'],
  styleImports: ['style sheet from elsewhere not loaded', 'style sheets from elsewhere not loaded'],
  externalFonts: ['web font from elsewhere not loaded', 'web fonts from elsewhere not loaded'],
  foreignObjects: ['embedded HTML block not drawn', 'embedded HTML blocks not drawn'],
  animations: ['animation not played', 'animations not played'],
};

class Tally {
  constructor() {
    this.counts = new Map();
  }

  count(kind, n = 1) {
    this.counts.set(kind, (this.counts.get(kind) ?? 0) + n);
  }

  // "2 external images not loaded, 1 script not run", or ''.
  text() {
    return Object.keys(WORDS)
      .filter((kind) => this.counts.get(kind) > 0)
      .map((kind) => {
        const n = this.counts.get(kind);
        return `${n} ${WORDS[kind][n === 1 ? 0 : 1]}`;
      })
      .join(', ');
  }
}

// The drawing of a parsed file: {root, sheets, nodes, omitted} where root is
// the page's copy of the file's <svg> (not yet in the page), sheets its
// style sheets, nodes a Map from each drawn element to the document-order
// number of the file element it copies (see numberElements), and omitted the
// person's message of what was left out ('' when nothing was). A path whose
// data has an error is drawn with the data browsers draw of it, given by
// element number in `drawnData`, so that the browser has nothing to warn of;
// path data with numbers ending in their point is drawn respelled, whole,
// as the program that wrote it draws it and as the importer reads it.
export function drawingOf(doc, drawnData = new Map()) {
  tally = new Tally();
  try {
    const clone = drawableCopy(doc.documentElement);
    numberElements(clone, SERIAL_ATTRIBUTE);
    for (let node = doc.firstChild; node; node = node.nextSibling) {
      if (node.nodeType === 7 && /^xml-stylesheet$/i.test(node.target)) tally.count('styleImports');
    }
    const sources = numberElements(doc.documentElement);
    purifier.sanitize(clone, CONFIG);
    const nodes = new Map();
    const styles = [];
    const root = build(clone, nodes, styles, drawnData);
    root.setAttribute(ROOT_ATTRIBUTE, '');
    // A style sheet's text as the file has it (the sanitizer drops CDATA
    // sections); the sheet itself is cleaned rule by rule.
    const sheets = styles.map(({serial, media}) => cleanSheet(sources[serial].textContent, media));
    return {root, sheets, nodes, omitted: tally.text()};
  } finally {
    tally = null;
  }
}

// A copy of the file's root in the names DOMPurify reads, which judges
// elements and attributes by their qualified names where browsers draw by
// namespace: elements of no namespace are taken into SVG's, as the importer
// reads them (files without xmlns are common, and drawing programs open
// them); SVG elements under a prefix of the file's own (`<ns0:path>`, as
// Python's ElementTree writes) lose the prefix; and attributes in XLink's
// namespace under a prefix of the file's own (`a0:href`, as some generators
// declare one per element) take the usual xlink: one.
function drawableCopy(root) {
  const doc = root.ownerDocument.implementation.createDocument(SVG_NS, 'svg', null);
  let copy = doc.importNode(root, true);
  doc.replaceChild(copy, doc.documentElement);
  for (const element of [copy, ...copy.getElementsByTagNameNS('*', '*')]) {
    let named = element;
    if (element.namespaceURI === null || (element.namespaceURI === SVG_NS && element.prefix !== null)) {
      named = doc.createElementNS(SVG_NS, element.localName);
      for (const attribute of Array.from(element.attributes)) {
        element.removeAttributeNode(attribute);
        named.setAttributeNodeNS(attribute);
      }
      named.append(...element.childNodes);
      element.replaceWith(named);
      if (element === copy) copy = named;
    }
    for (const attribute of Array.from(named.attributes)) {
      if (attribute.namespaceURI !== XLINK_NS || attribute.prefix === 'xlink') continue;
      named.removeAttributeNode(attribute);
      named.setAttributeNS(XLINK_NS, `xlink:${attribute.localName}`, attribute.value);
    }
  }
  return copy;
}

// The page's element for a cleaned one, with its attributes, text and
// children; <style> elements are gathered into `styles` instead, each
// leaving an empty <style> in its place, so the file's rules that select by
// place (:nth-child, :first-child, +, ~) pick the elements they pick in the
// file.
function build(source, nodes, styles, drawnData) {
  const node = document.createElementNS(SVG_NS, source.localName);
  const serial = Number(source.getAttribute(SERIAL_ATTRIBUTE));
  for (const attribute of Array.from(source.attributes)) {
    const {name} = attribute;
    const value = name === 'd' ? (drawnData.get(serial) ?? readablePathData(attribute.value)) : attribute.value;
    if (name === SERIAL_ATTRIBUTE) {
      nodes.set(node, Number(value));
    } else if (name === 'style') {
      node.style.cssText = cleanDeclarations(value);
    } else if (attribute.namespaceURI === XLINK_NS) {
      node.setAttributeNS(XLINK_NS, `xlink:${attribute.localName}`, value);
    } else if (attribute.namespaceURI === XML_NS) {
      node.setAttributeNS(XML_NS, `xml:${attribute.localName}`, value);
    } else if (attribute.namespaceURI === null && readable(source.localName, name, value)) {
      node.setAttribute(name, value);
    }
  }
  for (let child = source.firstChild; child; child = child.nextSibling) {
    if (child.nodeType === 3 || child.nodeType === 4) {
      node.append(document.createTextNode(child.data));
    } else if (child.nodeType === 1 && child.namespaceURI === SVG_NS) {
      if (child.localName === 'style') {
        styles.push({serial: Number(child.getAttribute(SERIAL_ATTRIBUTE)), media: child.getAttribute('media') ?? ''});
        node.append(document.createElementNS(SVG_NS, 'style'));
      } else {
        node.append(build(child, nodes, styles, drawnData));
      }
    }
  }
  return node;
}

function untypedRaster(url) {
  if (!UNTYPED_DATA.test(url)) return false;
  const start = url.indexOf(',') + 1;
  const head = url
    .slice(start, start + 256)
    .replace(/[\t\n\f\r ]/g, '')
    .slice(0, 16);
  let bytes;
  try {
    bytes = atob(head);
  } catch {
    return false;
  }
  return RASTER_SIGNATURES.some((signature) => signature.test(bytes));
}

// Path data as browsers read it: respelled where it has a number ending in
// its point and is otherwise whole.
function readablePathData(data) {
  if (!POINT_ENDING_NUMBER.test(data)) return data;
  const parsed = svgpath(data);
  return parsed.err ? data : parsed.toString();
}

// A style sheet of the file as a constructed sheet, every rule that would
// fetch something from elsewhere taken out.
function cleanSheet(text, media) {
  const imports = text.match(/@import\b/gi);
  if (imports) tally.count('styleImports', imports.length);
  const sheet = new CSSStyleSheet({media});
  // Constructed sheets drop @import rules themselves; taken out first, they
  // cost no warning either.
  sheet.replaceSync(text.replace(/@import\b[^;]*;?/gi, ''));
  cleanRules(sheet);
  return sheet;
}

function cleanRules(container, scoped = false) {
  for (let i = container.cssRules.length - 1; i >= 0; i--) {
    const rule = container.cssRules[i];
    if (rule instanceof CSSFontFaceRule) {
      const sources = rule.style.getPropertyValue('src');
      if (!urlsAll(sources, (target) => DATA_FONT.test(target))) {
        tally.count('externalFonts');
        container.deleteRule(i);
      }
      continue;
    }
    if (rule instanceof CSSStyleRule) {
      const selector = selectorAlone(rule.selectorText, scoped);
      if (selector !== rule.selectorText) rule.selectorText = selector;
    }
    if (rule.style) cleanStyle(rule.style);
    if (rule.cssRules) cleanRules(rule, scoped || rule.constructor.name === 'CSSScopeRule');
  }
}

// A selector list as the browser serialises it, made to select what it
// selects in the file shown alone: `:root` is the file's root (and so is
// `:scope`, outside an @scope block), and no compound matches an element of
// the page's, at any depth (within `:is()`, `:not()`, `:has()`,
// `:nth-child(... of ...)` and the like too). The page's svg that holds the
// drawing then counts as nothing, as the file alone has nothing above its
// root: `svg svg` and `:is(svg svg)` select the file's nested svg elements,
// `svg:not(:root)` selects no element whose paint the root would inherit,
// and `:not(svg > *)` still selects the root.
function selectorAlone(text, scoped) {
  return excludingPage(text.replace(scoped ? ROOT_PSEUDO_CLASS : ROOT_OR_SCOPE, `[${ROOT_ATTRIBUTE}]`));
}

// Pseudo-classes whose argument is a selector list (:nth-child's after "of").
const SELECTOR_ARGUMENT = /^:(?:is|where|not|has|matches|-webkit-any|nth-child|nth-last-child)$/i;
const NTH_OF = /^([^]*?\sof\s)([^]*)$/i;

// `list` with NOT_VIEWPORT ending each of its compounds, before any
// pseudo-element, and in each selector argument.
function excludingPage(list) {
  let out = '';
  let compound = false; // within a compound not yet ended
  let pseudoElement = false; // past a pseudo-element, until the next combinator
  const end = () => {
    if (compound) out += NOT_VIEWPORT;
    compound = false;
  };
  for (let i = 0; i < list.length;) {
    const c = list[i];
    if (/[\s>+~,]/.test(c)) {
      end();
      pseudoElement = false;
      out += c;
      i++;
      continue;
    }
    let token;
    let length = 0; // of the source text the token stands for, where it differs
    if (c === '\\') {
      token = /^\\(?:[0-9a-f]{1,6}\s?|[^])/i.exec(list.slice(i))[0];
    } else if (c === '[') {
      token = list.slice(i, closing(list, i) + 1);
    } else if (c === ':') {
      const name = /^::?-?[\w-]*/.exec(list.slice(i))[0];
      token = name;
      if (list[i + name.length] === '(') {
        const close = closing(list, i + name.length);
        const argument = list.slice(i + name.length + 1, close);
        const of = /^:nth-(?:last-)?child$/i.test(name) ? NTH_OF.exec(argument) : null;
        const rewritten = !SELECTOR_ARGUMENT.test(name)
          ? argument
          : /^:nth-/i.test(name)
            ? of
              ? of[1] + excludingPage(of[2])
              : argument
            : excludingPage(argument);
        token = `${name}(${rewritten})`;
        length = close + 1 - i;
      }
      if (name.startsWith('::')) {
        end();
        pseudoElement = true;
      }
    } else {
      token = c;
    }
    if (!pseudoElement) compound = true;
    out += token;
    i += length || token.length;
  }
  end();
  return out;
}

// The index of the bracket closing the one at `open` (or the text's end),
// strings and escapes within skipped.
function closing(text, open) {
  let depth = 0;
  for (let i = open; i < text.length; i++) {
    const c = text[i];
    if (c === '\\') i++;
    else if (c === '"' || c === "'") {
      for (i++; i < text.length && text[i] !== c; i++) if (text[i] === '\\') i++;
    } else if (c === '(' || c === '[') depth++;
    else if ((c === ')' || c === ']') && --depth === 0) return i;
  }
  return text.length - 1;
}

// A style attribute's declarations without those that fetch from elsewhere.
function cleanDeclarations(text) {
  const probe = document.createElementNS(SVG_NS, 'g');
  probe.style.cssText = text;
  cleanStyle(probe.style);
  return probe.style.cssText;
}

function cleanStyle(style) {
  for (let i = style.length - 1; i >= 0; i--) {
    const property = style.item(i);
    if (!safeValue(style.getPropertyValue(property))) {
      tally.count('externalReferences');
      style.removeProperty(property);
    }
  }
}

// A value that fetches nothing: each url() in it names an element of the
// file itself ("#id"), and no other fetching function is used. It is read
// with its CSS escapes undone, as the browser reads it: `u\72l(a.svg)` is
// url(a.svg) to the browser, and a custom property (or a presentation
// attribute) keeps the escaped spelling for var() to bring into a property
// that fetches.
function safeValue(value) {
  const read = unescapeCss(value);
  if (FETCHING_FUNCTION.test(read)) return false;
  return urlsAll(read, (target) => target.startsWith('#'));
}

// CSS text with each escape replaced by the character it stands for: a
// backslash and one to six hex digits (and one white space after them), or
// a backslash and any other character but a newline.
function unescapeCss(text) {
  if (!text.includes('\\')) return text;
  return text.replace(/\\(?:([0-9a-f]{1,6})(?:\r\n|[ \t\r\n\f])?|([^\r\n\f0-9a-f]))/gi, (_, hex, other) => {
    if (other !== undefined) return other;
    const code = parseInt(hex, 16);
    return code === 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff) ? '\ufffd' : String.fromCodePoint(code);
  });
}

function urlsAll(value, allowed) {
  for (const match of value.matchAll(URL_FUNCTION)) {
    const target = (match[1] ?? match[2] ?? match[3] ?? '').trim();
    if (!allowed(target)) return false;
  }
  return !/url\(/i.test(value.replace(URL_FUNCTION, ''));
}
