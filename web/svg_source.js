// Where each element of a well-formed XML text lies in it: the spans of its
// start tag, of each attribute and value, and of its end tag, in document
// order, so that an export can rewrite one attribute and leave every other
// character of the file as it was. The text has already been read by the
// XML parser, which vouches for its form; this only finds the places, and
// answers null when the elements it finds are not the parsed document's
// (markup made by entities of the file's own document type).

// [{start, nameEnd, openEnd, close, end, name, attributes: [{name, start,
// valueStart, valueEnd, end}]}]: start is the "<" of the start tag, openEnd
// just after its ">", close the "<" of the end tag (-1 when the tag closes
// itself), end just after the element.
export function elementSpans(text) {
  const spans = [];
  const open = [];
  let i = 0;
  const n = text.length;
  while (i < n) {
    const lt = text.indexOf('<', i);
    if (lt < 0) break;
    if (text.startsWith('<!--', lt)) {
      i = after(text, '-->', lt + 4);
    } else if (text.startsWith('<![CDATA[', lt)) {
      i = after(text, ']]>', lt + 9);
    } else if (text.startsWith('<?', lt)) {
      i = after(text, '?>', lt + 2);
    } else if (text.startsWith('<!', lt)) {
      i = afterDeclaration(text, lt + 2);
    } else if (text[lt + 1] === '/') {
      const gt = text.indexOf('>', lt);
      // A text cut off inside an end tag (a damaged download) has no more
      // elements; going on from its start would never end.
      if (gt < 0) throw new Error('an end tag does not end');
      const span = open.pop();
      if (span) {
        span.close = lt;
        span.end = gt + 1;
      }
      i = gt + 1;
    } else {
      const span = startTag(text, lt);
      spans.push(span);
      if (span.close === -1 && span.end === -1) open.push(span);
      i = span.openEnd;
    }
  }
  return spans;
}

// The spans of the elements of `text`, checked against the parsed
// document's elements in document order (`elements`): null when they differ.
export function matchedSpans(text, elements) {
  const spans = elementSpans(text);
  if (spans.length !== elements.length) return null;
  for (let k = 0; k < spans.length; k++) {
    if (spans[k].name !== elements[k].nodeName || spans[k].end < 0) return null;
  }
  return spans;
}

function startTag(text, lt) {
  let i = lt + 1;
  while (i < text.length && !isSpace(text[i]) && text[i] !== '/' && text[i] !== '>') i++;
  const span = {start: lt, nameEnd: i, openEnd: -1, close: -1, end: -1, name: text.slice(lt + 1, i), attributes: []};
  for (;;) {
    const from = i;
    while (isSpace(text[i])) i++;
    if (text[i] === '>') {
      span.openEnd = i + 1;
      return span;
    }
    if (text[i] === '/' && text[i + 1] === '>') {
      span.openEnd = i + 2;
      span.end = i + 2;
      return span;
    }
    const nameStart = i;
    while (i < text.length && text[i] !== '=' && !isSpace(text[i])) i++;
    const name = text.slice(nameStart, i);
    while (text[i] !== '"' && text[i] !== "'" && i < text.length) i++;
    const quote = text[i];
    const valueStart = i + 1;
    const valueEnd = text.indexOf(quote, valueStart);
    i = valueEnd + 1;
    span.attributes.push({name, start: from, nameStart, valueStart, valueEnd, end: i});
    if (valueEnd < 0) throw new Error('an attribute value does not end');
  }
}

function after(text, marker, from) {
  const at = text.indexOf(marker, from);
  return at < 0 ? text.length : at + marker.length;
}

// Past a <!DOCTYPE ...> declaration, its internal subset included.
function afterDeclaration(text, from) {
  let depth = 0;
  for (let i = from; i < text.length; i++) {
    const c = text[i];
    if (c === '"' || c === "'") {
      i = text.indexOf(c, i + 1);
      if (i < 0) return text.length;
    } else if (c === '<' && text.startsWith('<!--', i)) {
      i = after(text, '-->', i + 4) - 1;
    } else if (c === '[') {
      depth++;
    } else if (c === ']') {
      depth--;
    } else if (c === '>' && depth <= 0) {
      return i + 1;
    }
  }
  return text.length;
}

function isSpace(c) {
  return c === ' ' || c === '\t' || c === '\n' || c === '\r';
}

// Numbers the elements under and including `root` in document order, the
// numbers that tie the drawing to the file and its text. With `mark`, an
// attribute name, each element carries its number in that attribute.
export function numberElements(root, mark = false) {
  const order = [];
  const pending = [root];
  while (pending.length > 0) {
    const node = pending.pop();
    if (mark) node.setAttribute(mark, String(order.length));
    order.push(node);
    for (let child = node.lastChild; child; child = child.previousSibling) {
      if (child.nodeType === 1) pending.push(child);
    }
  }
  return order;
}

// Event attributes renamed so: what the parser reads of a file then holds
// no attribute a browser would treat as a script, even in a document that
// is never shown (the browser checks those against the page's policy as
// soon as it parses them).
export const INERT_PREFIX = 'data-inert-';

// The file's text with every event attribute (a name beginning "on", no
// namespace prefix) renamed with INERT_PREFIX, every other character as it
// was. Text that is not well-formed is given back with the same renaming
// done by pattern, for the parser to refuse.
export function inertMarkup(text) {
  let spans;
  try {
    spans = elementSpans(text);
  } catch {
    return text.replace(/(\s)(on[a-z0-9_.-]*\s*=)/gi, `$1${INERT_PREFIX}$2`);
  }
  const edits = [];
  for (const span of spans) {
    for (const attribute of span.attributes) {
      if (/^on/i.test(attribute.name)) edits.push(attribute.nameStart);
    }
  }
  if (edits.length === 0) return text;
  let out = '';
  let at = 0;
  for (const place of edits) {
    out += text.slice(at, place) + INERT_PREFIX;
    at = place;
  }
  return out + text.slice(at);
}
