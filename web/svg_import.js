// Turns an SVG file into host paths: every path and basic shape, with the
// transforms of its ancestors and of the <use> elements that draw it, as
// contours of anchors with in- and out-handles in artwork coordinates (y up).
// Path data is read, made absolute, freed of shorthand and arc commands and
// transformed by svgpath; this module only walks the document and lays the
// resulting lines and curves into host segments. It runs in the page (the
// browser's DOMParser) and under node (@xmldom/xmldom), and refuses anything
// it cannot take with an SvgImportError of one line; it throws nothing else.
import svgpath from 'svgpath';
import {transformSteps} from './svg_values.js';
import {UNCERTAIN, sheetPlacement, styleTransform} from './css_placement.js';
import {CLIP_REFERRERS, clipGroups, clipsNamedBySheets, followedClips, inBoundingBoxUnits} from './clip_paths.js';
import {clipCascade} from './clip_cascade.js';
import {attribute, hrefOf, isSvgElement, localName} from './svg_nodes.js';

export class SvgImportError extends Error {
  constructor(message) {
    super(message);
    this.name = 'SvgImportError';
  }
}

// The host's segment count is a signed 16-bit number.
export const MAX_SEGMENTS_PER_PATH = 32767;
// A scenario holds at most this many paths.
export const MAX_PATHS = 32767;
// Bounds the document a file can make, whatever its size.
export const MAX_SEGMENTS_TOTAL = 1 << 20;
export const MAX_TEXT_LENGTH = 64 << 20;
export const MAX_ELEMENTS = 1 << 20;
const MAX_DEPTH = 200;
const MAX_NAME_LENGTH = 80;

export {XLINK_NS} from './svg_nodes.js';
// Geometry attributes of each kind of path art: what a basic shape leaves
// behind when it is drawn or written as a path.
export const SHAPE_GEOMETRY = Object.freeze({
  rect: ['x', 'y', 'width', 'height', 'rx', 'ry'],
  circle: ['cx', 'cy', 'r'],
  ellipse: ['cx', 'cy', 'rx', 'ry'],
  line: ['x1', 'y1', 'x2', 'y2'],
  polyline: ['points'],
  polygon: ['points'],
  path: [],
});
const SHAPES = new Set(Object.keys(SHAPE_GEOMETRY));
const CONTAINERS = new Set(['svg', 'g', 'a', 'switch']);
// Elements whose CSS transform the importer follows, where it reads as
// their transform attribute does; CSS that may move any other element (a
// viewport, a use, the root) leaves its art drawn and kept, unstretched.
const CSS_FOLLOWED = new Set([...SHAPES, 'g', 'a', 'switch']);
// Drawn and kept, never path art.
const UNSTRETCHED = new Set(['text', 'image']);
const PAINT_PROPERTIES = ['fill', 'stroke', 'stroke-width', 'display', 'visibility', 'color'];
const DEFAULT_PAINT = {
  fill: 'black',
  stroke: 'none',
  'stroke-width': '1',
  display: 'inline',
  visibility: 'visible',
  color: 'black',
};
// An element hidden by visibility draws nothing (its children may show
// again), so it is no art to stretch.
const INVISIBLE = new Set(['hidden', 'collapse']);

// Kept colours are plain colour values; anything else (gradients, patterns)
// is drawn in this grey, as the page cannot carry their definitions.
const COLOUR = /^(#[0-9a-f]{3,8}|[a-z]{3,20}|(rgb|hsl)a?\(\s*[-+0-9.,%\s/a-z]{1,60}\))$/i;
const STAND_IN_COLOUR = '#808080';
// CSS pixels per unit of each absolute length (Q: a quarter millimetre).
const UNITS = {px: 1, '': 1, pt: 4 / 3, pc: 16, mm: 96 / 25.4, cm: 96 / 2.54, q: 96 / 101.6, in: 96};
const LENGTH = /^\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:e[-+]?\d+)?)\s*(px|pt|pc|mm|cm|q|in)?\s*$/i;
const PERCENT = /^\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:e[-+]?\d+)?)\s*%\s*$/i;
const NUMBER = /[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?/g;

// Returns {paths, elements}, every number a finite float32:
// - paths: [{name, closed, segments: [[ax, ay, ix, iy, ox, oy]...], fill,
//   stroke, strokeWidth, element, contour}] in paint order, one per contour
//   (or piece of a contour too long for one host path);
// - elements: [{node, kind, uses, matrix, paths}], one per drawn instance of
//   a path or basic shape: the file's node, its local name, the <use>
//   elements that draw it (outermost first, empty when drawn in place), the
//   matrix from its own coordinates to artwork coordinates, and the indices
//   of its paths grouped by contour ([[first piece, second piece...]...]);
// - canvas: the file's canvas [x, y, width, height] in artwork coordinates
//   with y negated (y down, as the view's layers draw): where the host's
//   unit is the pixel of the file's stated size (see hostPlacement), that
//   size at the origin; else, in the root's own coordinates, its viewBox,
//   else its size; canvasStated: whether the file gives it (a viewBox, or
//   a width and a height in units);
// - rootMatrix: the matrix from the root's user space to artwork
//   coordinates (hostPlacement's, after the root's own transform, with y
//   negated);
// - flawedPaths: a Map from each element whose path data has an error to
//   {error, drawn}: a line naming the element and the error, and the path
//   data of its commands before the error, which is what browsers draw;
// - unstretched: a Set holding 'text' and 'image' when the file draws any
//   (in place, or through a use), which stay as they are;
// - placedByCss: a Set of the paths and shapes the file draws that CSS may
//   move in a way the importer cannot follow for certain (see
//   css_placement.js): drawn and kept, never host paths;
// - clipGroups: the element indices of each clip group, whose clip path's
//   shapes (elements and paths after all the art, as they paint nothing)
//   follow the art it clips (see clip_paths.js); clipsKept: how many clip
//   paths in the user space of the art they clip do not, and stay as the
//   file has them: those that clip path art, and those a style sheet the
//   page cannot match gives (see clip_cascade.js).
export function importSvg(text, parseXml) {
  try {
    return importChecked(text, parseXml);
  } catch (error) {
    if (error instanceof SvgImportError) throw error;
    throw new SvgImportError(`cannot read this SVG file: ${oneLine(error)}`);
  }
}

// The file's parsed document, or an SvgImportError: well-formed XML whose
// root is an SVG <svg>, within the size the page takes.
export function parseSvgDocument(text, parseXml) {
  if (typeof text !== 'string') throw new SvgImportError('the file is not text');
  if (text.length > MAX_TEXT_LENGTH) {
    throw new SvgImportError(`the file is larger than ${MAX_TEXT_LENGTH >> 20} MiB`);
  }
  let doc;
  try {
    doc = parseXml(text);
  } catch (error) {
    throw new SvgImportError(`not well-formed XML: ${oneLine(error)}`);
  }
  const root = doc && doc.documentElement;
  const parserError = doc && doc.getElementsByTagName ? doc.getElementsByTagName('parsererror')[0] : null;
  if (!root || parserError) {
    throw new SvgImportError(
      `not well-formed XML: ${oneLine(parserError ? parserDetail(parserError) : 'no root element')}`,
    );
  }
  if (localName(root) !== 'svg' || !isSvgElement(root)) {
    throw new SvgImportError(`not an SVG file: the root element is <${root.nodeName}>, not <svg>`);
  }
  return doc;
}

function importChecked(text, parseXml) {
  const doc = parseSvgDocument(text, parseXml);
  const root = doc.documentElement;
  const sheets = styleTexts(doc);
  const viewport = rootViewport(root);
  const box = viewBoxOf(root);
  let placement = hostPlacement(root);
  let walk;
  for (;;) {
    walk = new Walk(sheetPlacement(sheets), clipCascade(doc), placement);
    try {
      // Artwork y grows upwards; the root's state places its user space in
      // it (its transform, then hostPlacement).
      walk.element(root, {matrix: FLIP, paint: DEFAULT_PAINT, viewport}, 0);
      break;
    } catch (error) {
      // Geometry the file's size would take beyond the host's floats is
      // taken in the file's own units instead.
      if (!(error instanceof BeyondFloatsError && placement)) throw error;
      placement = null;
    }
  }
  walk.followClips(doc, sheets);
  return {
    paths: walk.paths,
    elements: walk.elements,
    doc,
    useGeometry: walk.useGeometry,
    canvas: placement ? [0, 0, rootLength(root, 'width'), rootLength(root, 'height')] : (box ?? [0, 0, ...viewport]),
    canvasStated: box !== null || ['width', 'height'].every((key) => rootLength(root, key) > 0),
    rootMatrix: walk.rootMatrix,
    flawedPaths: walk.flawed,
    unstretched: walk.unstretched,
    placedByCss: walk.placedByCss,
    clipGroups: walk.clipGroups,
    clipsKept: walk.clipsKept,
  };
}

// The host's unit is the CSS pixel of the file at the size it states, as
// a drawing program opens a file at that size (96 pixels an inch): where
// the root gives a viewBox and a width and a height in absolute units (px,
// mm, cm, in, pt, pc, Q, or none), this is the root's viewport transform
// (its viewBox placed in that size as its preserveAspectRatio says, as
// browsers place it), from its user space to those pixels, y down. Null
// where the file states no such size, or where its user unit already is
// that pixel (a viewBox as large as the size, or moved only, or within a
// millionth of it, as px files round their viewBox): there the host's
// coordinates are the file's user units, exactly as it gives them.
const PIXEL_SCALE_SLACK = 1e-6;

function hostPlacement(root) {
  const box = viewBoxOf(root);
  const size = ['width', 'height'].map((key) => rootLength(root, key));
  if (!box || !(size[0] > 0 && size[1] > 0)) return null;
  const placement = viewBoxTransform(root, box, size);
  if (!placement || !placement.every(Number.isFinite) || !(placement[0] > 0 && placement[3] > 0)) return null;
  const unscaled = (scale) => Math.abs(scale - 1) <= PIXEL_SCALE_SLACK;
  return unscaled(placement[0]) && unscaled(placement[3]) ? null : placement;
}

// A number that is not a finite 32-bit float.
const beyondFloats = (value) => typeof value === 'number' && !Number.isFinite(Math.fround(value));

// From y down to y up: artwork coordinates are the host's, with y growing
// upwards.
export const FLIP = Object.freeze([1, 0, 0, -1, 0, 0]);

// The text of each style element of the file, whatever its namespace.
function styleTexts(doc) {
  return Array.from(doc.getElementsByTagName('*'))
    .filter((node) => localName(node) === 'style')
    .map((node) => node.textContent ?? '');
}

class Walk {
  constructor(placedBySheet, clipCascade, placement) {
    this.placedBySheet = placedBySheet; // whether a style sheet's rule may move an element
    this.clipCascade = clipCascade; // which clip path each element names
    this.placement = placement; // the root's user space in host units (hostPlacement), or null
    this.rootMatrix = FLIP; // from the root's user space to artwork coordinates
    this.paths = [];
    this.elements = [];
    this.segmentCount = 0;
    this.elementCount = 0;
    this.shapeCount = 0;
    this.using = []; // the <use> elements drawing what is walked, outermost first
    this.useGeometry = new Map(); // each <use> drawn: {x, y, width, height} in user units
    this.ids = null;
    this.flawed = new Map(); // each element whose path data has an error: {error, drawn}
    this.unstretched = new Set(); // 'text' and 'image' when the file draws either
    this.placedByCss = new Set(); // path art CSS may move where the importer cannot follow
    this.clipReferences = new Map(); // each clipPath named by what is walked: its references
    this.undisplayed = new Set(); // elements in place whose display is none
    this.clipGroups = [];
    this.clipsKept = 0;
  }

  element(node, inherited, depth) {
    if (++this.elementCount > MAX_ELEMENTS) {
      throw new SvgImportError(`the file has more than ${MAX_ELEMENTS} elements`);
    }
    if (depth > MAX_DEPTH) throw new SvgImportError(`elements are nested deeper than ${MAX_DEPTH} levels`);
    const name = localName(node);
    if (isSvgElement(node) && UNSTRETCHED.has(name)) this.unstretched.add(name);
    if (!isSvgElement(node) || !(SHAPES.has(name) || CONTAINERS.has(name) || name === 'use')) return;
    const state = this.state(node, inherited, depth === 0);
    if (state.paint.display === 'none') {
      // Drawn nowhere in place: only a use may draw what it holds.
      if (this.using.length === 0) this.undisplayed.add(node);
      return;
    }
    const clip = this.clipReference(node, name, state, depth === 0);
    if (SHAPES.has(name)) {
      if (!INVISIBLE.has(state.paint.visibility)) this.shape(node, name, state);
    } else if (name === 'use') {
      this.use(node, state, depth);
    } else if (name === 'switch') {
      // A switch draws its first child whose conditions hold; a required
      // extension is one no browser has.
      for (let child = node.firstChild; child; child = child.nextSibling) {
        if (child.nodeType === 1 && isSvgElement(child) && !hasRequiredExtensions(child)) {
          this.element(child, state, depth + 1);
          break;
        }
      }
    } else {
      this.children(node, state, depth);
    }
    if (clip) clip.end = this.elements.length;
  }

  // The clip path an element names, if any: recorded with the user space
  // it is named in and, once walked, the elements drawn within it.
  clipReference(node, name, state, isRoot) {
    const id = this.clipCascade.clipOf(node);
    const clip = id === null ? undefined : this.byId(node.ownerDocument).get(id);
    if (!clip || localName(clip) !== 'clipPath' || !isSvgElement(clip)) return null;
    const followable = !isRoot && !state.unplaced && CLIP_REFERRERS.has(name);
    // A use clips in its own space after its x and y, as browsers draw it and
    // as the export writes a changed use: a group whose transform ends in them.
    const matrix = name === 'use' ? multiply(state.matrix, useOffset(node, state)) : state.matrix;
    const start = this.elements.length;
    const reference = {node, matrix, viewport: state.viewport, followable, start, end: start};
    const list = this.clipReferences.get(clip);
    if (list) list.push(reference);
    else this.clipReferences.set(clip, [reference]);
    return reference;
  }

  // The shapes of each clip path that follows the art it clips, as path
  // art after all the rest, and the clip groups they make. A clip whose
  // shapes CSS may move, or that the importer cannot take (a limit, a
  // length it cannot read), stays as the file has it.
  followClips(doc, sheets) {
    const drawn = new Set(this.placedByCss);
    for (const element of this.elements) if (element.uses.length === 0) drawn.add(element.node);
    const followed = followedClips(doc, {
      referenced: this.clipReferences,
      ids: this.byId(doc),
      cascade: this.clipCascade,
      walkedUses: this.useGeometry,
      drawn,
      undisplayed: this.undisplayed,
    });
    const clips = new Map();
    for (const {clip, reference, members} of followed) {
      const before = [this.paths.length, this.elements.length, this.segmentCount];
      try {
        const shapes = this.clipShapes(clip, reference, members);
        if (shapes) for (const {shape, state} of shapes) this.shape(shape, localName(shape), state);
      } catch (error) {
        if (!(error instanceof SvgImportError)) throw error;
        [this.paths.length, this.elements.length, this.segmentCount] = before;
      }
      const ranges = this.clipReferences.get(clip).map(({start, end}) => [start, end]);
      if (this.elements.length > before[1]) clips.set(clip, {ranges, shapes: [before[1], this.elements.length]});
    }
    this.clipGroups = clipGroups([...clips.values()]);
    const kept = new Set(this.clipCascade.exact ? [] : clipsNamedBySheets(sheets, this.byId(doc)));
    for (const [clip, references] of this.clipReferences) {
      if (!clips.has(clip) && references.some(({start, end}) => end > start)) kept.add(clip);
    }
    this.clipsKept = [...kept].filter((clip) => !inBoundingBoxUnits(clip)).length;
  }

  // Each shape a followed clip path draws, with the state it is drawn in
  // (the clip path's transform after the user space it is named in, a
  // use's placement after that); null when CSS may move any of them.
  clipShapes(clip, reference, members) {
    const own = this.state(clip, {matrix: reference.matrix, paint: DEFAULT_PAINT, viewport: reference.viewport}, false);
    if (own.unplaced) return null;
    // A clip path is drawn whatever its own display.
    const inClip = {...own, paint: {...own.paint, display: 'inline'}};
    const shapes = [];
    for (const {shape, use} of members) {
      let state = inClip;
      if (use) {
        state = this.state(use, inClip, false);
        if (state.unplaced) return null;
        if (state.paint.display === 'none') continue;
        state = {...state, matrix: multiply(state.matrix, useOffset(use, state))};
      }
      state = this.state(shape, state, false);
      if (state.unplaced) return null;
      if (state.paint.display !== 'none' && !INVISIBLE.has(state.paint.visibility)) shapes.push({shape, state});
    }
    return shapes;
  }

  children(node, state, depth) {
    for (let child = node.firstChild; child; child = child.nextSibling) {
      if (child.nodeType === 1) this.element(child, state, depth + 1);
    }
  }

  // <use href="#id" x y>: the element with that id (a <symbol>'s children,
  // in the viewport of the use's width and height) drawn where the use is,
  // moved by (x, y). A reference that is missing, not local, or back into
  // its own chain draws nothing, as in a browser.
  use(node, state, depth) {
    const href = hrefOf(node);
    const target = href && href.startsWith('#') ? this.byId(node.ownerDocument).get(href.slice(1)) : undefined;
    if (!target || this.using.some((use) => use.target === target)) return;
    const offset = useOffset(node, state);
    const [x, y] = offset.slice(4);
    const moved = {...state, matrix: multiply(state.matrix, offset)};
    const size = [
      length(node, 'width', null, null, state.viewport[0]),
      length(node, 'height', null, null, state.viewport[1]),
    ];
    const viewport = [size[0] ?? state.viewport[0], size[1] ?? state.viewport[1]];
    this.useGeometry.set(node, {x, y, width: viewport[0], height: viewport[1], target});
    this.using.push({node, target});
    if (localName(target) === 'symbol') {
      const own = this.state(target, moved, false);
      const placed = viewBoxState(target, own, viewport);
      if (placed) this.children(target, placed, depth + 1);
    } else {
      this.element(target, moved, depth + 1);
    }
    this.using.pop();
  }

  // Elements by id, the first of each id in document order.
  byId(doc) {
    if (!this.ids) {
      this.ids = new Map();
      const pending = [doc.documentElement];
      while (pending.length > 0) {
        const node = pending.pop();
        const id = attribute(node, 'id');
        if (id !== null && !this.ids.has(id)) this.ids.set(id, node);
        for (let child = node.lastChild; child; child = child.previousSibling) {
          if (child.nodeType === 1) pending.push(child);
        }
      }
    }
    return this.ids;
  }

  // The matrix, paint and viewport an element passes to its children: its
  // own transform after its ancestors', its own paint over theirs, and for
  // a nested <svg> its viewport and viewBox. Each element's transform is
  // read once, so deep nesting costs no more than its depth. A transform in
  // its style attribute replaces its transform attribute, as in browsers;
  // what CSS does that the importer cannot follow marks the state, and all
  // within it, unplaced.
  state(node, inherited, isRoot) {
    let matrix = inherited.matrix;
    let viewport = inherited.viewport;
    let unplaced = inherited.unplaced ?? false;
    let css = styleTransform(attribute(node, 'style'));
    if (
      css === UNCERTAIN ||
      (css !== null && (isRoot || !CSS_FOLLOWED.has(localName(node)))) ||
      this.placedBySheet(node)
    ) {
      unplaced = true;
      css = null;
    }
    const own = css ?? attribute(node, 'transform');
    if (own !== null && own.trim() !== '') matrix = multiply(matrix, transformMatrix(own));
    const paint = {...inherited.paint};
    const style = parseStyle(attribute(node, 'style'));
    for (const property of PAINT_PROPERTIES) {
      const value = style.get(property) ?? attribute(node, property);
      if (value !== null && value.trim() !== '' && value.trim() !== 'inherit') paint[property] = value.trim();
    }
    if (paint.display !== 'none') paint.display = 'inline';
    const state = {matrix, paint, viewport, unplaced};
    if (localName(node) === 'svg' && !isRoot) {
      const at = [length(node, 'x', 0, null, viewport[0]), length(node, 'y', 0, null, viewport[1])];
      const size = [
        length(node, 'width', null, null, viewport[0]) ?? viewport[0],
        length(node, 'height', null, null, viewport[1]) ?? viewport[1],
      ];
      const placed = viewBoxState(node, {...state, matrix: multiply(matrix, [1, 0, 0, 1, at[0], at[1]])}, size);
      return placed ?? {...state, paint: {...paint, display: 'none'}};
    }
    if (isRoot) {
      const box = viewBoxOf(node);
      if (box) state.viewport = [box[2], box[3]];
      // Inside the root's own transform, as browsers draw it.
      if (this.placement) state.matrix = multiply(state.matrix, this.placement);
      this.rootMatrix = state.matrix;
    }
    return state;
  }

  shape(node, name, state) {
    const pathName = elementName(node, name, ++this.shapeCount);
    const label = `<${name}> "${pathName}"`;
    const data = shapeData(node, name, label, state.viewport);
    if (data === '') return;
    // Path data with an error is drawn up to its last whole command, as
    // browsers draw it. svgpath keeps exactly those commands, but reads a
    // number with no digit (".") as not a number, and numbers beyond the
    // float range as they are, where browsers stop.
    const parsed = svgpath(data);
    let error = parsed.err.replace(/^SvgPath: /, '');
    const unreadable = parsed.segments.findIndex((segment) => segment.some(beyondFloats));
    if (unreadable >= 0) {
      parsed.segments.length = unreadable;
      error = `a number browsers cannot read, in command ${unreadable + 1}`;
    }
    if (error && !this.flawed.has(node))
      this.flawed.set(node, {error: `${label} (${error})`, drawn: parsed.toString()});
    if (state.unplaced) {
      this.placedByCss.add(node);
      return;
    }
    // iterate() with no work applies the matrix svgpath keeps pending.
    const absolute = parsed
      .abs()
      .unshort()
      .unarc()
      .matrix(state.matrix)
      .iterate(() => {});
    const contours = contoursOf(absolute.segments, label);
    if (contours.length === 0) return;
    const [a, b, c, d] = state.matrix;
    const scale = Math.sqrt(Math.abs(a * d - b * c));
    const paint = paintOf(state.paint, scale);
    const element = this.elements.length;
    const entry = {node, kind: name, uses: this.using.map((use) => use.node), matrix: state.matrix, paths: []};
    contours.forEach((contour, index) => {
      const contourName = contours.length > 1 ? `${pathName} ${index + 1}` : pathName;
      const pieces = [];
      for (const piece of splitContour(contour, contourName))
        pieces.push(this.add({...piece, ...paint, element, contour: index}));
      entry.paths.push(pieces);
    });
    this.elements.push(entry);
  }

  add(path) {
    if (this.paths.length >= MAX_PATHS) throw new SvgImportError(`the file has more than ${MAX_PATHS} paths`);
    this.segmentCount += path.segments.length;
    if (this.segmentCount > MAX_SEGMENTS_TOTAL) {
      throw new SvgImportError(`the file has more than ${MAX_SEGMENTS_TOTAL} segments in all`);
    }
    this.paths.push(path);
    return this.paths.length - 1;
  }
}

function hasRequiredExtensions(node) {
  return node.hasAttribute && node.hasAttribute('requiredExtensions');
}

// The root's viewport: its viewBox's size, else its width and height, else
// the 100 by 100 a percentage of an unsized file is taken of.
function rootViewport(root) {
  const box = viewBoxOf(root);
  if (box) return [box[2], box[3]];
  return ['width', 'height'].map((key) => rootLength(root, key) ?? 100);
}

// The root's length `key` (width, height) in user units, or null where the
// file gives none: no length, a percentage of a viewport no one knows, a
// negative length (an error browsers draw as no length) or one beyond the
// number range ("1e999"). So the viewport, and the canvas made of it, is
// finite and never negative.
function rootLength(root, key) {
  const match = LENGTH.exec(attribute(root, key) ?? '');
  const size = match ? Number(match[1]) * UNITS[(match[2] ?? '').toLowerCase()] : NaN;
  return Number.isFinite(size) && size >= 0 ? size : null;
}

// The state inside a viewport of `size` whose user space the element's
// viewBox and preserveAspectRatio place, or null when nothing is drawn (a
// viewport or viewBox of no size).
function viewBoxState(node, state, size) {
  const [width, height] = size;
  if (!(width > 0 && height > 0)) return null;
  const box = viewBoxOf(node);
  if (!box) return {...state, viewport: size};
  const placement = viewBoxTransform(node, box, size);
  if (!placement) return null;
  return {...state, matrix: multiply(state.matrix, placement), viewport: [box[2], box[3]]};
}

// The matrix that places the viewBox `box` of `node` in a viewport of
// `size` (both of some size) as its preserveAspectRatio says, as browsers
// place it; null for a viewBox of no size.
function viewBoxTransform(node, [minX, minY, boxWidth, boxHeight], [width, height]) {
  if (!(boxWidth > 0 && boxHeight > 0)) return null;
  const fit = (attribute(node, 'preserveAspectRatio') ?? '').trim().split(/\s+/);
  const align = fit[0] === 'defer' ? (fit[1] ?? 'xMidYMid') : fit[0] || 'xMidYMid';
  const slice = fit.includes('slice');
  let sx = width / boxWidth;
  let sy = height / boxHeight;
  let tx = -minX * sx;
  let ty = -minY * sy;
  if (align !== 'none') {
    const scale = slice ? Math.max(sx, sy) : Math.min(sx, sy);
    const spare = (extent, used, part) => (part === 'Mid' ? (extent - used) / 2 : part === 'Max' ? extent - used : 0);
    const xPart = /^x(Min|Mid|Max)/.exec(align)?.[1] ?? 'Mid';
    const yPart = /Y(Min|Mid|Max)$/.exec(align)?.[1] ?? 'Mid';
    sx = sy = scale;
    tx = spare(width, boxWidth * scale, xPart) - minX * scale;
    ty = spare(height, boxHeight * scale, yPart) - minY * scale;
  }
  return [sx, 0, 0, sy, tx, ty];
}

// [minX, minY, width, height] of a viewBox attribute, or null. A negative
// width or height is an error that browsers draw as no viewBox at all; a
// zero one is a viewBox that draws nothing.
function viewBoxOf(node) {
  const numbers = (attribute(node, 'viewBox') ?? '').match(NUMBER);
  if (!numbers || numbers.length !== 4) return null;
  const box = numbers.map(Number);
  return box.every(Number.isFinite) && box[2] >= 0 && box[3] >= 0 ? box : null;
}

// Path data for a shape, in its own coordinates; '' for a shape SVG does not
// draw (a rectangle, circle or ellipse of zero size). A percentage is of the
// viewport's width for a horizontal length, of its height for a vertical
// one, and of its normalized diagonal for a radius.
function shapeData(node, name, label, [width, height]) {
  const diagonal = Math.sqrt((width * width + height * height) / 2);
  const get = (key, fallback = 0, of = /^(x|cx|rx|x1|x2|width)$/.test(key) ? width : height) =>
    length(node, key, fallback, label, of);
  // A radius missing, `auto` or below zero (an error) is drawn by browsers
  // as the other radius, and so is one that is no length at all in Firefox
  // and in the page's drawing (Chromium takes it as zero); null for such a
  // radius.
  const radius = (key) => {
    if (notALength(attribute(node, key))) return null; // `auto` among them
    const r = get(key, null);
    return r !== null && r < 0 ? null : r;
  };
  switch (name) {
    case 'path':
      return attribute(node, 'd') ?? '';
    case 'rect':
      return rectData(get('x'), get('y'), get('width'), get('height'), radius('rx'), radius('ry'));
    case 'circle': {
      const r = get('r', 0, diagonal);
      return r > 0 ? ellipseData(get('cx'), get('cy'), r, r) : '';
    }
    case 'ellipse': {
      const [rx, ry] = [radius('rx'), radius('ry')];
      const [a, b] = [rx ?? ry ?? 0, ry ?? rx ?? 0];
      return a > 0 && b > 0 ? ellipseData(get('cx'), get('cy'), a, b) : '';
    }
    case 'line':
      return `M${get('x1')} ${get('y1')}L${get('x2')} ${get('y2')}`;
    case 'polyline':
    case 'polygon': {
      const numbers = (attribute(node, 'points') ?? '').match(NUMBER) ?? [];
      if (numbers.length < 2) return '';
      const pairs = numbers.slice(0, numbers.length - (numbers.length % 2)).join(' ');
      return `M${pairs}${name === 'polygon' ? 'Z' : ''}`;
    }
  }
  return '';
}

function rectData(x, y, w, h, rxGiven, ryGiven) {
  if (!(w > 0 && h > 0)) return '';
  let rx = rxGiven ?? ryGiven ?? 0;
  let ry = ryGiven ?? rxGiven ?? 0;
  rx = Math.min(Math.max(rx, 0), w / 2);
  ry = Math.min(Math.max(ry, 0), h / 2);
  if (rx === 0 || ry === 0) return `M${x} ${y}H${x + w}V${y + h}H${x}Z`;
  return (
    `M${x + rx} ${y}H${x + w - rx}A${rx} ${ry} 0 0 1 ${x + w} ${y + ry}V${y + h - ry}` +
    `A${rx} ${ry} 0 0 1 ${x + w - rx} ${y + h}H${x + rx}A${rx} ${ry} 0 0 1 ${x} ${y + h - ry}` +
    `V${y + ry}A${rx} ${ry} 0 0 1 ${x + rx} ${y}Z`
  );
}

// Four quarter arcs, so each becomes one cubic curve.
function ellipseData(cx, cy, rx, ry) {
  return (
    `M${cx + rx} ${cy}A${rx} ${ry} 0 0 1 ${cx} ${cy + ry}A${rx} ${ry} 0 0 1 ${cx - rx} ${cy}` +
    `A${rx} ${ry} 0 0 1 ${cx} ${cy - ry}A${rx} ${ry} 0 0 1 ${cx + rx} ${cy}Z`
  );
}

// Lays absolute M, L, H, V, C, Q and Z commands into contours of host
// segments. A contour that closes on its own start point shares that anchor.
function contoursOf(commands, label) {
  const contours = [];
  let current = null;
  let start = [0, 0];
  let last = [0, 0];
  const begin = (point) => {
    finish(false);
    current = {closed: false, segments: [corner(point)]};
    start = point;
  };
  const finish = (closed) => {
    if (current && current.segments.length > 1) {
      current.closed = closed;
      if (closed) mergeClosingAnchor(current.segments);
      contours.push(current);
    }
    current = null;
  };
  const lineTo = (point) => {
    if (!current) begin(last);
    current.segments.push(corner(point));
  };
  const curveTo = (c1, c2, point) => {
    if (!current) begin(last);
    const previous = current.segments[current.segments.length - 1];
    previous[4] = c1[0];
    previous[5] = c1[1];
    current.segments.push([point[0], point[1], c2[0], c2[1], point[0], point[1]]);
  };
  for (const command of commands) {
    const values = command.slice(1).map((value) => checkedFloat(value, label));
    switch (command[0]) {
      case 'M':
        begin([values[0], values[1]]);
        last = start;
        break;
      case 'L':
        last = [values[0], values[1]];
        lineTo(last);
        break;
      case 'H':
        last = [values[0], last[1]];
        lineTo(last);
        break;
      case 'V':
        last = [last[0], values[0]];
        lineTo(last);
        break;
      case 'C':
        curveTo([values[0], values[1]], [values[2], values[3]], [values[4], values[5]]);
        last = [values[4], values[5]];
        break;
      case 'Q': {
        // The cubic curve with the same shape as the quadratic one.
        const q = [values[0], values[1]];
        const end = [values[2], values[3]];
        const c1 = [last[0] + (2 / 3) * (q[0] - last[0]), last[1] + (2 / 3) * (q[1] - last[1])];
        const c2 = [end[0] + (2 / 3) * (q[0] - end[0]), end[1] + (2 / 3) * (q[1] - end[1])];
        curveTo(c1, c2, end);
        last = end;
        break;
      }
      case 'Z':
      case 'z':
        finish(true);
        last = start;
        break;
      default:
        throw new SvgImportError(`${label}: unexpected path command ${command[0]}`);
    }
  }
  finish(false);
  return contours.map((contour) => ({
    closed: contour.closed,
    segments: contour.segments.map((segment) => segment.map((value) => checkedFloat(value, label))),
  }));
}

function corner(point) {
  return [point[0], point[1], point[0], point[1], point[0], point[1]];
}

function mergeClosingAnchor(segments) {
  const first = segments[0];
  const last = segments[segments.length - 1];
  if (
    segments.length > 2 &&
    Math.fround(last[0]) === Math.fround(first[0]) &&
    Math.fround(last[1]) === Math.fround(first[1])
  ) {
    first[2] = last[2];
    first[3] = last[3];
    segments.pop();
  }
}

// An open contour longer than a host path is split into pieces that share
// their end anchors, so the drawing is unchanged; a closed one cannot be
// split without losing its fill, so it is refused.
function splitContour(contour, name) {
  const {segments, closed} = contour;
  if (segments.length <= MAX_SEGMENTS_PER_PATH) return [{name: cleanName(name), closed, segments}];
  if (closed) {
    throw new SvgImportError(
      `path "${name}" is a closed contour of ${segments.length} segments; a host path holds at most ${MAX_SEGMENTS_PER_PATH}`,
    );
  }
  const pieces = [];
  for (let from = 0; from < segments.length - 1; from += MAX_SEGMENTS_PER_PATH - 1) {
    const piece = segments.slice(from, from + MAX_SEGMENTS_PER_PATH).map((segment) => segment.slice());
    const first = piece[0];
    const last = piece[piece.length - 1];
    if (from > 0) [first[2], first[3]] = [first[0], first[1]];
    if (from + piece.length < segments.length) [last[4], last[5]] = [last[0], last[1]];
    pieces.push({name: cleanName(`${name} part ${pieces.length + 1}`), closed: false, segments: piece});
  }
  return pieces;
}

function paintOf(paint, scale) {
  const colour = (value) => {
    if (value === 'none') return 'none';
    if (value === 'currentColor') return COLOUR.test(paint.color) ? paint.color : 'black';
    return COLOUR.test(value) ? value : STAND_IN_COLOUR;
  };
  const width = LENGTH.exec(paint['stroke-width']);
  const strokeWidth = width ? Math.abs(Number(width[1]) * UNITS[(width[2] ?? '').toLowerCase()] * scale) : scale;
  return {
    fill: colour(paint.fill),
    stroke: colour(paint.stroke),
    strokeWidth: Number.isFinite(Math.fround(strokeWidth)) ? Math.fround(strokeWidth) : 1,
  };
}

// The matrix [a, b, c, d, e, f] of a transform attribute as browsers read
// it (none for a list they cannot read), composed by svgpath from its steps
// spelled plainly: the move takes the translation, and relative lines,
// which svgpath moves without it, take the two columns exactly.
function transformMatrix(transform) {
  const steps = transformSteps(transform);
  if (steps === null || steps.length === 0) return [1, 0, 0, 1, 0, 0];
  const [move, first, second] = svgpath('M0 0l1 0l0 1')
    .transform(steps.map(({name, args}) => `${name}(${args.join(' ')})`).join(' '))
    .iterate(() => {}).segments;
  return [first[1], first[2], second[1], second[2], move[1], move[2]];
}

// The matrix of `inner` applied first, then `outer`.
function multiply(outer, inner) {
  const [a, b, c, d, e, f] = outer;
  const [p, q, r, s, t, u] = inner;
  return [a * p + c * q, b * p + d * q, a * r + c * s, b * r + d * s, a * t + c * u + e, b * t + d * u + f];
}

// A coordinate beyond the host's floats.
class BeyondFloatsError extends SvgImportError {}

function checkedFloat(value, label) {
  const number = Math.fround(Number(value));
  if (!Number.isFinite(number)) {
    throw new BeyondFloatsError(`${label}: a coordinate is not a finite number within the host's range`);
  }
  return number;
}

// Whether a geometry attribute is no length at all to a browser (a decimal
// comma, as files written in some locales have them, "10px,", a word): the
// browser draws the element as if the attribute were left out. A value that
// may be a length the page cannot compute (`2em`, `calc()`) is not one of
// these.
function notALength(value) {
  if (value === null || value.trim() === '' || value.includes('(')) return false;
  return !/^\s*[-+]?(?:\d+\.?\d*|\.\d+)(?:e[-+]?\d+)?\s*[a-z%]*\s*$/i.test(value);
}

// The translation a use's x and y add after its transform.
function useOffset(node, state) {
  return [1, 0, 0, 1, length(node, 'x', 0, null, state.viewport[0]), length(node, 'y', 0, null, state.viewport[1])];
}

// A length attribute in user units; a percentage only where `percentOf`
// (the viewport's extent) is given. A use's or an svg's length that is no
// length at all (a decimal comma, a word, `auto`, the initial value of its
// width and height) is drawn by browsers as the attribute left out: at 0,
// or as large as its viewport; a shape's, as zero (shapeData's fallback).
function length(node, key, fallback, label, percentOf) {
  const value = attribute(node, key);
  if (value === null || value.trim() === '' || notALength(value)) return fallback;
  const percent = percentOf !== undefined ? PERCENT.exec(value) : null;
  if (percent) return (Number(percent[1]) / 100) * percentOf;
  const match = LENGTH.exec(value);
  if (!match) throw new SvgImportError(`${label ?? `<${node.nodeName}>`}: cannot read ${key}="${clip(value)}"`);
  const number = Number(match[1]) * UNITS[(match[2] ?? '').toLowerCase()];
  if (!Number.isFinite(number)) throw new SvgImportError(`${label ?? `<${node.nodeName}>`}: ${key} is not finite`);
  return number;
}

function parseStyle(style) {
  const properties = new Map();
  if (!style) return properties;
  for (const declaration of style.split(';')) {
    const colon = declaration.indexOf(':');
    if (colon > 0) {
      properties.set(
        declaration.slice(0, colon).trim().toLowerCase(),
        declaration
          .slice(colon + 1)
          .replace(/!important/i, '')
          .trim(),
      );
    }
  }
  return properties;
}

function elementName(node, name, number) {
  const id = cleanName(attribute(node, 'id') ?? '').trim();
  return id !== '' ? id : `${name} ${number}`;
}

function cleanName(name) {
  return name.replace(/[\u0000-\u001f\u007f"]/g, '').slice(0, MAX_NAME_LENGTH);
}

function clip(text, limit = 100) {
  const line = String(text).replace(/\s+/g, ' ').trim();
  return line.length > limit ? `${line.slice(0, limit - 3)}...` : line;
}

// A browser's parser error names the place in a <div> between two headings.
function parserDetail(parserError) {
  const detail = parserError.getElementsByTagName ? parserError.getElementsByTagName('div')[0] : null;
  return (detail ?? parserError).textContent;
}

function oneLine(error) {
  return clip(error && error.message !== undefined ? error.message : error);
}
