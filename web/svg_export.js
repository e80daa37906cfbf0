// Writes the host's document as an SVG file: one <path> per host path in
// paint order, with the fill, stroke and stroke width the art was imported
// with, every coordinate in the shortest decimal form that reads back to the
// same 32-bit float, y negated (artwork y grows upwards). Paths with points
// that are not finite are left out and counted, since SVG cannot hold them.
// This is how a world without a file (a scenario's) is exported; a file's
// world is written back into the file's own text (exportDocument).
import {matchedSpans} from './svg_source.js';
import {MAX_TEXT_LENGTH, SHAPE_GEOMETRY, XLINK_NS} from './svg_import.js';
import {transformSteps} from './svg_values.js';

const MARGIN = 10;

// paths: [{name, closed, segments: Float32Array or arrays of 6}];
// styleOf(name): {fill, stroke, strokeWidth} or undefined.
// Returns {text, written, skipped}.
export function exportSvg(paths, styleOf) {
  const lines = [];
  let skipped = 0;
  let left = Infinity;
  let top = Infinity;
  let right = -Infinity;
  let bottom = -Infinity;
  for (const path of paths) {
    const flat = Array.from(path.segments.flat ? path.segments.flat() : path.segments);
    if (flat.length === 0) continue;
    if (!flat.every(Number.isFinite)) {
      skipped++;
      continue;
    }
    for (let i = 0; i < flat.length; i += 2) {
      left = Math.min(left, flat[i]);
      right = Math.max(right, flat[i]);
      top = Math.min(top, -flat[i + 1]);
      bottom = Math.max(bottom, -flat[i + 1]);
    }
    const style = styleOf(path.name) ?? {fill: 'none', stroke: 'black', strokeWidth: 1};
    lines.push(
      `  <path id="${escape(path.name)}" fill="${escape(style.fill)}" stroke="${escape(style.stroke)}" ` +
        `stroke-width="${float(style.strokeWidth)}" d="${pathData(flat, path.closed)}"/>`,
    );
  }
  const box =
    left <= right
      ? [left - MARGIN, top - MARGIN, right - left + 2 * MARGIN, bottom - top + 2 * MARGIN]
      : [0, 0, 100, 100];
  const viewBox = box.map(float).join(' ');
  const text =
    `<?xml version="1.0" encoding="UTF-8"?>\n` +
    `<svg xmlns="http://www.w3.org/2000/svg" viewBox="${viewBox}" width="${float(box[2])}" height="${float(box[3])}">\n` +
    lines.join('\n') +
    (lines.length > 0 ? '\n' : '') +
    `</svg>\n`;
  return {text, written: lines.length, skipped};
}

function pathData(flat, closed) {
  return contourData(flat, closed, (x, y) => `${float(x)} ${float(-y)}`);
}

// The shortest decimal that reads back to the same 32-bit float.
export function float(value) {
  const target = Math.fround(value);
  if (target === 0) return '0';
  for (let digits = 1; digits < 10; digits++) {
    const text = target.toPrecision(digits);
    if (Math.fround(Number(text)) === target) return String(Number(text));
  }
  return String(target);
}

function escape(text) {
  return String(text).replace(/[&<>"]/g, (c) => ({'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;'})[c]);
}

const USE_PLACEMENT = new Set(['href', 'xlink:href', 'x', 'y', 'width', 'height', 'transform']);

// What Inkscape draws an element from in place of its path data: the
// parameters of its own shapes (sodipodi:type "arc" for ellipses and arcs,
// "star" for stars and polygons, "spiral", "inkscape:offset") and a path
// effect's original path. An element given new geometry loses them, as
// Inkscape's Object to Path drops them, or Inkscape would open it undragged.
const INKSCAPE_SOURCES = new Map([
  [
    'http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd',
    new Set([
      'type',
      'cx',
      'cy',
      'rx',
      'ry',
      'start',
      'end',
      'open',
      'arc-type',
      'sides',
      'r1',
      'r2',
      'arg1',
      'arg2',
      'revolution',
      'expansion',
      't0',
      'radius',
      'argument',
    ]),
  ],
  [
    'http://www.inkscape.org/namespaces/inkscape',
    new Set(['flatsided', 'rounded', 'randomized', 'original', 'radius', 'original-d', 'path-effect']),
  ],
]);

export class SvgExportError extends Error {}

const ILLUSTRATOR_NS = 'http://ns.adobe.com/AdobeIllustrator/10.0/';

// Whether the file holds Illustrator's own copy of the drawing (its editing
// data, an `<i:pgf>` with content, as Illustrator saves when it keeps its
// editing capabilities): Illustrator reopens such a file from that copy,
// not from the elements an export rewrites, so it would not show a change.
export function holdsIllustratorCopy(model) {
  return model.nodes.some(
    (node) => node.namespaceURI === ILLUSTRATOR_NS && node.localName === 'pgf' && node.textContent.trim() !== '',
  );
}

// The opened file written back (model: web/svg_document.js; hostPaths: the
// host's document in paint order): every character of the file as it was,
// but for the elements whose host paths changed, which get their new `d` in
// their own coordinates (a basic shape becoming a path that keeps its other
// attributes and, where `carriedStyle(instance)` gives declarations for
// it, adds them to its style, so that it looks as the shape did under the
// file's style sheets: web/shape_style.js), the elements to which
// `keptStyle(serial)` gives declarations, which add them to their style (the
// paint they had before a rule picking them by place saw a neighbour
// change), the copies the host holds, each
// written after what it copies, and the uses that draw changed or copied elements, written as
// groups holding copies of what they draw. Returns {text, written,
// skipped}: the elements given new geometry, and those whose geometry could
// not be written (points that are not finite, or transforms that flatten
// the element), which keep the file's. Throws an SvgExportError for a file
// whose text does not hold its elements (markup its document type makes).
export function exportDocument(model, hostPaths, carriedStyle = () => null, keptStyle = () => null) {
  const spans = model.spans ?? (model.spans = matchedSpans(model.text, model.nodes));
  if (!spans) {
    throw new SvgExportError('its document type makes elements of its own, so it cannot be written back as it was');
  }
  return new DocumentWriter(model, spans, model.group(hostPaths), carriedStyle, keptStyle).write();
}

class DocumentWriter {
  constructor(model, spans, grouping, carriedStyle, keptStyle) {
    this.model = model;
    this.carriedStyle = carriedStyle;
    this.keptStyle = keptStyle;
    this.spans = spans;
    this.text = model.text;
    this.grouping = grouping;
    this.next = nextSiblings(spans);
    this.changed = model.elements.map((_, i) => instanceDiffers(model, model.instancePaths(i, 0, grouping), i));
    this.copies = model.elements.map((_, i) => model.copyCount(i, grouping));
    this.expanded = model.expandedUses(
      (i) => this.changed[i],
      (i) => this.copies[i] > 0,
    );
    this.written = 0;
    this.skipped = 0;
  }

  write() {
    const root = this.spans[0];
    const text = this.text.slice(0, root.start) + this.subtree(0, [], 0, false, null) + this.text.slice(root.end);
    return {text, written: this.written, skipped: this.skipped};
  }

  // The text of element `serial` and its descendants as drawn by the uses
  // `chain`: copy `copy` of it (0 the element itself), ids left out with
  // `stripIds`, `rootEdit` ({rename, remove, set}) applied to its own tag.
  subtree(serial, chain, copy, stripIds, rootEdit) {
    const edits = [];
    for (let k = serial; k < this.next[serial];) {
      const span = this.spans[k];
      const node = this.model.nodes[k];
      const useChain = [...chain, k];
      if (k !== serial && node.localName === 'use' && this.expanded.has(useChain.join(','))) {
        edits.push({from: span.start, to: span.end, text: this.expandUse(k, useChain, stripIds)});
        k = this.next[k];
        continue;
      }
      const instance = this.model.instanceAt(chain, k);
      const edit = {remove: new Set(), set: [], rename: null};
      if (stripIds && node.hasAttribute('id')) edit.remove.add('id');
      if (instance !== undefined) this.geometryEdit(instance, k === serial ? copy : 0, span, node, edit);
      const kept = chain.length === 0 ? this.keptStyle(k) : null;
      if (kept) edit.set.push(['style', withDeclarations(node, kept)]);
      if (k === serial && rootEdit) {
        edit.rename = rootEdit.rename ?? edit.rename;
        for (const name of rootEdit.remove) edit.remove.add(name);
        edit.set.push(...rootEdit.set);
      }
      if (edit.remove.size > 0 || edit.set.length > 0 || edit.rename) {
        edits.push({from: span.start, to: span.openEnd, text: startTag(this.text, span, edit)});
        if (edit.rename && span.close >= 0) edits.push({from: span.close, to: span.end, text: `</${edit.rename}>`});
      }
      if (instance !== undefined && copy === 0) {
        for (let j = 1; j <= this.copies[instance]; j++) {
          edits.push({from: span.end, to: span.end, text: this.subtree(k, chain, j, true, null)});
        }
      }
      k++;
    }
    const text = applyEdits(this.text, this.spans[serial].start, this.spans[serial].end, edits);
    // Copies of what uses draw can multiply a file; the export stays a file
    // the page can open.
    if (text.length > MAX_TEXT_LENGTH) {
      throw new SvgExportError(
        `the uses of its changed art would make a file larger than ${MAX_TEXT_LENGTH >> 20} MiB`,
      );
    }
    return text;
  }

  // New geometry for a copy of an element (`node`), when the host's
  // differs from the file's.
  geometryEdit(instance, copy, span, node, edit) {
    const contours = this.model.instancePaths(instance, copy, this.grouping);
    if (copy === 0 ? !this.changed[instance] : !instanceDiffers(this.model, contours, instance)) return;
    const element = this.model.elements[instance];
    const d = element.fromArtwork && contours ? localPathData(contours, element) : null;
    if (d === null) {
      this.skipped++;
      return;
    }
    this.written++;
    edit.set.push(['d', d]);
    for (const attribute of node.attributes) {
      if (INKSCAPE_SOURCES.get(attribute.namespaceURI)?.has(attribute.localName)) edit.remove.add(attribute.name);
    }
    if (element.kind !== 'path') {
      edit.rename = `${prefixOf(span.name)}path`;
      for (const name of SHAPE_GEOMETRY[element.kind]) edit.remove.add(name);
      const carried = this.carriedStyle(instance);
      if (carried) edit.set.push(['style', withDeclarations(node, carried)]);
    }
  }

  // A use drawn as a group holding a copy of what it draws: the use's own
  // attributes (its id too, but in a copy), its transform followed by its
  // move to (x, y), a symbol as the nested <svg> it stands for, and a use
  // it draws drawn the same way.
  expandUse(serial, chain, stripIds = false) {
    const span = this.spans[serial];
    const node = this.model.nodes[serial];
    const {x, y, width, height, target} = this.model.useGeometry.get(node);
    const prefix = prefixOf(span.name);
    // The use's link under whatever prefix the file gives XLink's namespace.
    const link = node.getAttributeNodeNS(XLINK_NS, 'href')?.name;
    const kept = span.attributes.filter(
      (attribute) =>
        !USE_PLACEMENT.has(attribute.name) && attribute.name !== link && !(stripIds && attribute.name === 'id'),
    );
    // A transform browsers cannot read draws as none; joined to the move,
    // it would take the move with it.
    const own = node.getAttribute('transform') ?? '';
    const readable = transformSteps(own) !== null ? own.trim() : '';
    const transform = [readable, x !== 0 || y !== 0 ? `translate(${x} ${y})` : ''].filter(Boolean).join(' ');
    const targetSerial = this.model.serialOf.get(target);
    const rootEdit =
      target.localName === 'symbol'
        ? {
            rename: `${prefixOf(this.spans[targetSerial].name)}svg`,
            remove: ['width', 'height', 'x', 'y'],
            set: [
              ['width', String(width)],
              ['height', String(height)],
            ],
          }
        : {rename: null, remove: [], set: []};
    const attributes = kept.map((attribute) => this.text.slice(attribute.start, attribute.end)).join('');
    const inner =
      target.localName === 'use' && this.model.useGeometry.has(target)
        ? this.expandUse(targetSerial, [...chain, targetSerial], true)
        : this.subtree(targetSerial, chain, 0, true, rootEdit);
    return `<${prefix}g${attributes}${transform ? ` transform="${escape(transform)}"` : ''}>${inner}</${prefix}g>`;
  }
}

// The element's style attribute with `declarations` after its own.
function withDeclarations(node, declarations) {
  const own = (node.getAttribute('style') ?? '').trim();
  return own === '' || own.endsWith(';') ? `${own}${declarations}` : `${own};${declarations}`;
}

// For each element, the place of the first element after it and its
// descendants.
function nextSiblings(spans) {
  const next = new Array(spans.length).fill(spans.length);
  const open = [];
  spans.forEach((span, k) => {
    while (open.length > 0 && spans[open.at(-1)].end <= span.start) next[open.pop()] = k;
    open.push(k);
  });
  return next;
}

function applyEdits(text, from, to, edits) {
  edits.sort((a, b) => a.from - b.from || a.to - b.to);
  let out = '';
  let at = from;
  for (const edit of edits) {
    out += text.slice(at, edit.from) + edit.text;
    at = edit.to;
  }
  return out + text.slice(at, to);
}

// A start tag with attributes left out, values replaced in place, new ones
// added at its end, every other character as it was.
function startTag(text, span, {remove, set, rename}) {
  const values = new Map(set);
  let out = rename ? `<${rename}` : text.slice(span.start, span.nameEnd);
  let at = span.nameEnd;
  for (const attribute of span.attributes) {
    out += text.slice(at, attribute.start);
    at = attribute.end;
    if (remove.has(attribute.name) && !values.has(attribute.name)) continue;
    if (values.has(attribute.name)) {
      out +=
        text.slice(attribute.start, attribute.valueStart) +
        escape(values.get(attribute.name)) +
        text[attribute.valueEnd];
      values.delete(attribute.name);
    } else {
      out += text.slice(attribute.start, attribute.end);
    }
  }
  for (const [name, value] of values) out += ` ${name}="${escape(value)}"`;
  return out + text.slice(at, span.openEnd);
}

function prefixOf(qualifiedName) {
  const colon = qualifiedName.indexOf(':');
  return colon < 0 ? '' : qualifiedName.slice(0, colon + 1);
}

// Whether an element's host paths (by contour, then piece) are not the
// file's geometry for it.
function instanceDiffers(model, contours, instance) {
  if (!contours) return true;
  const element = model.elements[instance];
  return element.paths.some((pieces, c) => pieces.some((index, p) => model.differs(index, contours[c][p]?.segments)));
}

// Path data for an element's host paths in the element's own coordinates:
// M, L, C and Z in absolute numbers, each the shortest that the element's
// transforms take back to the host's 32-bit float; null when a point is not
// finite.
export function localPathData(contours, element) {
  const [a, b, c, d, e, f] = element.fromArtwork;
  const [ma, mb, mc, md, me, mf] = element.matrix;
  const point = (x, y) => {
    const lx = a * x + c * y + e;
    const ly = b * x + d * y + f;
    for (const digits of [0, 9, 17]) {
      const tx = digits === 0 ? float(lx) : String(Number(lx.toPrecision(digits)));
      const ty = digits === 0 ? float(ly) : String(Number(ly.toPrecision(digits)));
      const X = Number(tx) + 0.0;
      const Y = Number(ty) + 0.0;
      if (Math.fround(X * ma + Y * mc + me) === x && Math.fround(X * mb + Y * md + mf) === y) return `${tx} ${ty}`;
    }
    return `${String(lx)} ${String(ly)}`;
  };
  const parts = [];
  for (const pieces of contours) {
    const flat = joinedPieces(pieces);
    if (flat === null) return null;
    if (flat.length === 0) continue;
    if (!flat.every(Number.isFinite)) return null;
    parts.push(contourData(flat, pieces[0].closed, point));
  }
  return parts.join('');
}

// One contour's segments from the pieces a long one was split into, each
// shared anchor once, with the in-handle of the piece before it and the
// out-handle of the piece after it.
function joinedPieces(pieces) {
  if (pieces.some((piece) => !piece)) return null;
  if (pieces.length === 1) return Array.from(pieces[0].segments);
  const flat = [];
  pieces.forEach((piece, p) => {
    const s = Array.from(piece.segments);
    if (p > 0 && flat.length >= 6) {
      flat[flat.length - 2] = s[4];
      flat[flat.length - 1] = s[5];
      flat.push(...s.slice(6));
    } else {
      flat.push(...s);
    }
  });
  return flat;
}

function contourData(flat, closed, point) {
  const at = (i) => point(flat[i], flat[i + 1]);
  const parts = [`M${at(0)}`];
  const count = flat.length / 6;
  const edge = (from, to) => {
    const p = from * 6;
    const s = to * 6;
    const line =
      flat[p + 4] === flat[p] && flat[p + 5] === flat[p + 1] && flat[s + 2] === flat[s] && flat[s + 3] === flat[s + 1];
    return line ? `L${at(s)}` : `C${at(p + 4)} ${at(s + 2)} ${at(s)}`;
  };
  for (let i = 1; i < count; i++) parts.push(edge(i - 1, i));
  if (closed && count > 1) {
    // A closing line is drawn by Z alone, but where the last anchor lies on
    // the first the reader merges the two, so it is written out to be merged.
    const closing = edge(count - 1, 0);
    const last = (count - 1) * 6;
    if (closing[0] === 'C' || (count > 2 && flat[last] === flat[0] && flat[last + 1] === flat[1])) parts.push(closing);
    parts.push('Z');
  }
  return parts.join('');
}
