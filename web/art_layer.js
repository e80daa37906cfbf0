// The opened file drawn as the file draws, with its path art's geometry
// taken live from the host: the sanitized drawing (web/svg_sanitize.js) in
// a shadow root of its own, so the file's style sheets reach only the file,
// at the view's pan and zoom (the viewport's viewBox). Each element whose
// host paths the host has changed gets path data written from them in its
// own coordinates (a basic shape is then drawn as a path with its other
// attributes), so its paint, transforms, fill rule and holes stay as the
// file has them; the others keep the file's own geometry. The copies the
// host holds are drawn as copies of their element above it, and a <use>
// drawing changed art is drawn as a group holding copies of what it draws.
// Where the file's style sheets select by element name, a shape drawn as a
// path carries the paint the shape had (web/shape_style.js); where they
// select by place among siblings, so does every element the file draws
// once its neighbours change (a shape drawn as a path, the host's copies).
// Host paths that belong to no element (a scenario's world) are drawn plain.
//
// Path data is rebuilt only for elements whose host paths changed or whose
// precision the zoom changed, with runs of segments within half a view
// pixel drawn as one line (but for elements with markers).
import {pathData, quantumFor} from './path_data.js';
import {SHAPE_GEOMETRY} from './svg_import.js';
import {carryPainting, paintingOf, selectsByPlace, selectsByShapeName} from './shape_style.js';
import {VIEWPORT_ATTRIBUTE} from './svg_sanitize.js';

const SVG_NS = 'http://www.w3.org/2000/svg';
const LOOSE_STYLE = {fill: 'none', stroke: '#202124'};
const USE_PLACEMENT = new Set(['href', 'xlink:href', 'x', 'y', 'width', 'height', 'transform']);
// The viewport and the file's root keep their place whatever the file's
// style sheets say, and the viewport paints no background of its own (an
// `svg { background }` rule in a file paints the view's only as the file's
// root's, see rootBackground).
const FIXED_VIEWPORT = {
  display: 'block',
  position: 'absolute',
  left: '0',
  top: '0',
  width: '100%',
  height: '100%',
  overflow: 'hidden',
  transform: 'none',
  opacity: '1',
  visibility: 'visible',
  filter: 'none',
  'clip-path': 'none',
  mask: 'none',
  background: 'none',
};
// The drawing inherits nothing of the page: `all` leaves custom properties
// alone, so the page's own (--accent...) are reset too, each to no value,
// where the file's var() then reads its own or its fallback as it does
// shown alone, not the page's colours.
const HOST_STYLE = 'all: initial; display: block; position: absolute; inset: 0; overflow: hidden;';

export class ArtLayer {
  constructor(host) {
    this.host = host;
    this.shadow = host.attachShadow({mode: 'open'});
    this.viewport = svg('svg');
    this.viewport.setAttribute(VIEWPORT_ATTRIBUTE, '');
    fix(this.viewport, FIXED_VIEWPORT);
    this.loose = svg('g');
    this.viewport.append(this.loose);
    this.shadow.append(this.viewport);
    this.hostSheet = new CSSStyleSheet();
    this.hostRule = '';
    this.isolate();
    this.shadow.adoptedStyleSheets = [this.hostSheet];
    this.model = null;
    this.instances = [];
    this.looseDrawn = [];
    this.looseQuantum = NaN; // the quantum the loose group's attributes are for
    this.zoom = 1;
  }

  // The file to draw (model: web/svg_document.js; drawing: its sanitized
  // drawing), or nothing but plain host paths with (null, null).
  show(model, drawing) {
    this.fileRoot?.remove();
    this.fileRoot = null;
    this.model = model;
    this.instances = [];
    this.hits = new WeakMap();
    this.expanded = new Map(); // outermost use serial -> the group drawn for it
    this.copiedNodes = 0; // elements copied for uses, at most copyBudget
    // Uses of uses can multiply a file's elements: the copies drawn for them
    // stay within a few times the file's own.
    this.copyBudget = COPY_ALLOWANCE + COPIES_PER_ELEMENT * (model ? model.nodes.length : 0);
    this.uncopied = new Set(); // uses too large to copy, drawn as the file has them
    this.isolate();
    this.shadow.adoptedStyleSheets = [this.hostSheet, ...(drawing ? drawing.sheets : [])];
    if (!model) return;
    this.restyles = selectsByShapeName(drawing.sheets);
    // Where rules pick elements by their neighbours: each element's paint
    // as the file has it, taken before the first change of places (a Map
    // from the page's node to {serial, painting}), and what the elements
    // carry for it (serial -> declarations; node -> its own style).
    this.byPlace = selectsByPlace(drawing.sheets);
    this.placed = null;
    this.restructured = false;
    this.keptStyles = new Map();
    this.ownStyles = new Map();
    this.dressed = new WeakSet();
    this.undressed = []; // [state, path] to dress once the frame's elements are in place
    // The drawing as built stays untouched, for copies and expansions; the
    // page draws a copy of it.
    this.pristine = new Map();
    for (const [node, serial] of drawing.nodes) this.pristine.set(serial, node);
    this.display = new Map();
    const root = cloneNumbered(drawing.root, this.pristine, this.display);
    placeRoot(root, model);
    this.fileRoot = root;
    this.viewport.insertBefore(root, this.loose);
    this.entriesUnder = new Map();
    model.elements.forEach((element, index) => {
      const state = {
        index,
        element,
        node: null,
        original: null,
        generated: null,
        showing: null,
        fileD: null,
        shownD: null, // the d attribute its node has, as read or last written
        d: null,
        decimals: -1,
        tolerance: 1,
        precisionZoom: NaN, // the zoom `precision` was worked out for
        precision: null,
        matrixKey: element.toLayer.join(' '), // the outline's matrix as text, for grouping
        dirty: true,
        changed: false,
        exact: null,
        copies: [],
        painting: null, // what the shape looks like, where paths must carry it
        carried: null, // the declarations its path carries for that
      };
      this.instances.push(state);
      if (element.chain.length === 0) {
        const node = this.display.get(element.serial) ?? null;
        state.node = state.original = state.showing = node;
        state.fileD = state.shownD = element.kind === 'path' && node ? node.getAttribute('d') : null;
        if (node) this.hits.set(node, index);
      } else {
        const outer = element.chain[0];
        if (!this.entriesUnder.has(outer)) this.entriesUnder.set(outer, []);
        this.entriesUnder.get(outer).push(index);
      }
    });
    for (const [serial, indices] of this.entriesUnder) {
      const node = this.display.get(serial);
      if (node) this.hits.set(node, indices);
    }
    // Each shape's paint is taken now, among the siblings the file gives it:
    // the host's copies drawn beside art during a drag would move it in the
    // count of a rule that selects by place (rect:nth-child(2n)).
    for (const state of this.instances) if (state.element.kind !== 'path') this.notePainting(state);
    this.lastBits = this.model.paths.map(() => new Int32Array(0));
    this.differs = this.model.paths.map(() => false);
    this.entryOf = new Int32Array(this.model.paths.length);
    model.elements.forEach((element, index) => {
      for (const pieces of element.paths) for (const i of pieces) this.entryOf[i] = index;
    });
  }

  // The host's sheet: the drawing starts from initial values, with none of
  // the custom properties the page's style sets where the host sits.
  isolate() {
    const inherited = getComputedStyle(this.host.parentElement);
    let resets = '';
    for (let i = 0; i < inherited.length; i++) {
      if (inherited[i].startsWith('--')) resets += ` ${inherited[i]}: initial;`;
    }
    const rule = `:host { ${HOST_STYLE}${resets} }`;
    if (rule === this.hostRule) return;
    this.hostRule = rule;
    this.hostSheet.replaceSync(rule);
  }

  // The colour the file's root paints behind the file when a browser shows
  // it alone (its CSS background, from its style attribute or its sheets),
  // or null with no file. The root is an inner <svg> here, which paints no
  // CSS background, so the view draws this colour instead; a background
  // image the sanitizer has already taken out, and only the colour is read.
  rootBackground() {
    return this.fileRoot ? getComputedStyle(this.fileRoot).backgroundColor : null;
  }

  // View 0's mapping: artwork point (x, y) at view pixel ((x - ox) zoom,
  // (oy - y) zoom); the viewport draws artwork coordinates with y negated.
  setMapping(origin, zoom, [width, height]) {
    this.zoom = zoom;
    const w = Math.max(width, 1) / zoom;
    const h = Math.max(height, 1) / zoom;
    this.viewport.setAttribute('viewBox', `${origin[0]} ${-origin[1]} ${w} ${h}`);
    this.viewport.setAttribute('preserveAspectRatio', 'none');
  }

  // Draws the host's paths (engine.paths(), in paint order). Returns what a
  // selection outline needs: [{key, d, matrix, matrixKey, selected}] per element copy
  // and plain path, d in the coordinates `matrix` takes to the viewport's.
  render(hostPaths) {
    const outlines = [];
    if (!this.model) {
      this.renderLoose(
        hostPaths,
        hostPaths.map((_, i) => i),
        outlines,
      );
      return {outlines, grouping: null};
    }
    const model = this.model;
    const grouping = model.group(hostPaths);
    // Which of the file's paths the host changed since the last frame.
    for (let i = 0; i < model.paths.length; i++) {
      const host = grouping.current[i];
      const bits = host
        ? new Int32Array(host.segments.buffer, host.segments.byteOffset, host.segments.length)
        : EMPTY_BITS;
      if (!sameBits(this.lastBits[i], bits)) {
        if (this.lastBits[i].length === bits.length) this.lastBits[i].set(bits);
        else this.lastBits[i] = bits.slice();
        this.differs[i] = model.differs(i, host?.segments);
        this.instances[this.entryOf[i]].dirty = true;
      }
    }
    const copied = new Set();
    for (const index of grouping.copies.keys()) copied.add(this.entryOf[index]);
    for (const state of this.instances) {
      const changed = state.element.paths.some((pieces) => pieces.some((i) => this.differs[i]));
      if (changed !== state.changed) {
        state.changed = changed;
        state.dirty = true;
      }
      // The precision depends on the zoom alone, and is worked out again
      // only when the zoom changes.
      if (state.precisionZoom !== this.zoom) {
        state.precisionZoom = this.zoom;
        state.precision = precision(state.element, this.zoom);
      }
      const [decimals, tolerance] = state.precision;
      if (decimals !== state.decimals) {
        state.decimals = decimals;
        state.tolerance = tolerance;
        state.dirty = true;
      }
    }
    this.expandUses(
      model.expandedUses(
        (i) => this.instances[i].changed,
        (i) => copied.has(i),
      ),
    );
    for (const state of this.instances) {
      const contours = model.instancePaths(state.index, 0, grouping);
      if (state.dirty) this.redraw(state, contours);
      if (state.d) {
        const selected = isSelected(contours);
        outlines.push({
          key: `e${state.index}`,
          d: state.d,
          matrix: state.element.toLayer,
          matrixKey: state.matrixKey,
          selected,
        });
      }
      this.drawCopies(state, copied.has(state.index) ? model.copyCount(state.index, grouping) : 0, grouping);
    }
    if (this.restructured) this.keepPaint();
    for (const [state, path] of this.undressed.splice(0)) this.dressNow(state, path);
    this.renderLoose(hostPaths, grouping.loose, outlines);
    return {outlines, grouping};
  }

  // The element's path data from its host paths, and what draws it: the
  // file's own geometry while unchanged, the host's once changed.
  // contours: its host paths (SvgDocument.instancePaths).
  redraw(state, contours) {
    state.dirty = false;
    state.d = this.pathDataOf(state, contours);
    const node = state.node;
    if (!node) return;
    if (state.element.kind === 'path') {
      const d = state.changed ? (state.d ?? '') : (state.fileD ?? '');
      // Only this layer writes the node's d, so the value it last wrote is
      // the node's, and an unchanged one is not written again.
      if (state.shownD !== d) {
        state.shownD = d;
        node.setAttribute('d', d);
      }
      return;
    }
    if (state.changed) {
      // Drawn in the shape's place, the path keeps its id, by which a clip
      // path's use draws it.
      if (!state.generated) state.generated = this.ownStyled(asPath(node, node.getAttribute('id')), node);
      state.generated.setAttribute('d', state.d ?? '');
      this.notePainting(state);
      this.swapIn(state, state.generated);
      this.dress(state, state.generated);
    } else {
      this.swapIn(state, state.original);
    }
  }

  // Draws `node` in the place of what draws the element now.
  swapIn(state, node) {
    if (state.showing === node) return;
    this.restructure();
    if (state.showing && state.showing.isConnected) state.showing.replaceWith(node);
    state.showing = node;
    this.hits.set(node, state.index);
  }

  // The shape's paint as the browser computes it, taken while it shows (or
  // the element's, as the file placed it, for copies among neighbours that
  // rules pick by place).
  notePainting(state) {
    if (state.painting || !state.original) return;
    const shape = state.element.kind !== 'path';
    if (shape && this.restyles && state.showing === state.original && state.original.isConnected) {
      state.painting = paintingOf(state.original);
    } else if (this.placed) {
      state.painting = this.placed.get(state.original)?.painting ?? null;
    }
  }

  // Called before elements of the drawing change places. Where the file's
  // rules pick elements by their neighbours, every element's paint is
  // taken first, as the file places it.
  restructure() {
    if (!this.byPlace) return;
    this.restructured = true;
    if (this.placed) return;
    this.placed = new Map();
    for (const [serial, node] of this.display) this.placed.set(node, {serial, painting: paintingOf(node)});
  }

  // Each element the file draws that a rule picking it by its neighbours
  // would now paint otherwise (`rect + circle` once the rect is a path)
  // carries the paint it had as its own style, on screen and into the
  // export. What it carried before is taken back first, so places the file
  // has again (an undo) leave nothing behind.
  keepPaint() {
    this.restructured = false;
    for (const [node, own] of this.ownStyles) node.style.cssText = own;
    this.ownStyles.clear();
    this.keptStyles.clear();
    for (const [node, {serial, painting}] of this.placed) {
      if (!node.isConnected) continue;
      const own = node.style.cssText;
      const carried = carryPainting(node, painting);
      if (carried === '') continue;
      this.ownStyles.set(node, own);
      this.keptStyles.set(serial, carried);
    }
  }

  // `copy` of `node` with the node's own style, not what it carries for
  // its neighbours: a copy is dressed for its own place.
  ownStyled(copy, node) {
    if (this.ownStyles.has(node)) copy.style.cssText = this.ownStyles.get(node);
    return copy;
  }

  // The declarations file element `serial` carries to keep its paint among
  // changed neighbours, or null.
  keptStyle(serial) {
    return this.keptStyles.get(serial) ?? null;
  }

  // A path drawn for a shape, made to look as the shape did once every
  // element of the frame is in its place: dressed as each is put in, each
  // would make the browser work out again the style of every neighbour a
  // rule picks by place (minutes for thousands of shapes beside `rect +
  // circle`).
  dress(state, path) {
    if (state.painting && !this.dressed.has(path)) this.undressed.push([state, path]);
  }

  // A path drawn for a shape, in the page, made to look as the shape did;
  // the declarations of the one in its place are kept for the export.
  dressNow(state, path) {
    if (!state.painting || this.dressed.has(path) || !path.isConnected) return;
    this.dressed.add(path);
    // The host's copies, new at each drag, take what the first path found.
    if (state.carried !== null && path !== state.generated) {
      path.style.cssText += `;${state.carried}`;
      return;
    }
    const carried = carryPainting(path, state.painting);
    if (path === state.generated) state.carried = carried;
  }

  // The style declarations the path drawn for shape `index` carries, or null.
  carriedStyle(index) {
    return this.instances[index]?.carried || null;
  }

  pathDataOf(state, contours) {
    const {element} = state;
    if (!contours || !element.fromArtwork) return null;
    if (state.exact === null && state.original) state.exact = hasMarkers(state.original);
    const options = {matrix: element.fromArtwork, decimals: state.decimals};
    const tolerance = state.exact ? 0 : state.tolerance;
    const q = 10 ** state.decimals;
    let d = '';
    for (const pieces of contours) {
      pieces.forEach((piece, p) => {
        if (!piece) return;
        const count = piece.segments.length / 6;
        d += pathData(piece.segments, count, piece.closed, q, tolerance, p === 0 ? options : {...options, move: false});
      });
    }
    return d;
  }

  // The host's copies of an element, each drawn above the one before it
  // (the plug-in's untouched duplicates during a drag), their path data
  // rebuilt only when their segments or the precision change. They are not
  // outlined: the selection a person sees is of the elements.
  drawCopies(state, count, grouping) {
    while (state.copies.length > count) {
      this.restructure();
      state.copies.pop().node?.remove();
    }
    for (let j = 1; j <= count; j++) {
      let copy = state.copies[j - 1];
      if (!copy) copy = state.copies[j - 1] = {node: null, bits: [], decimals: -1};
      const contours = this.model.instancePaths(state.index, j, grouping);
      const anchor = j === 1 ? state.showing : state.copies[j - 2].node;
      if (!anchor || !anchor.isConnected) continue;
      if (!copy.node) {
        copy.node = this.ownStyled(
          state.element.kind === 'path' ? withoutIds(state.original.cloneNode(true)) : asPath(state.original),
          state.original,
        );
        this.hits.set(copy.node, state.index);
        this.restructure();
        this.notePainting(state);
      }
      if (anchor.nextSibling !== copy.node) {
        this.restructure();
        anchor.after(copy.node);
      }
      this.dress(state, copy.node);
      const pieces = contours ? contours.flat() : [];
      let same = copy.decimals === state.decimals && copy.bits.length === pieces.length;
      pieces.forEach((piece, k) => {
        const bits = piece
          ? new Int32Array(piece.segments.buffer, piece.segments.byteOffset, piece.segments.length)
          : EMPTY_BITS;
        if (same && !sameBits(copy.bits[k], bits)) same = false;
        if (!same) copy.bits[k] = bits.slice();
      });
      if (!same) {
        copy.bits.length = pieces.length;
        copy.decimals = state.decimals;
        copy.node.setAttribute('d', this.pathDataOf(state, contours) ?? '');
      }
    }
  }

  // Outermost uses drawn as groups of copies while what they draw differs
  // from the file; the others as the file has them.
  expandUses(keys) {
    for (const [serial, group] of this.expanded) {
      if (!keys.has(String(serial))) {
        this.restructure();
        this.copiedNodes -= group.getElementsByTagName('*').length;
        group.replaceWith(this.display.get(serial));
        this.expanded.delete(serial);
        for (const index of this.entriesUnder.get(serial) ?? []) this.detach(this.instances[index]);
      }
    }
    for (const key of keys) {
      if (key.includes(',')) continue;
      const serial = Number(key);
      const use = this.display.get(serial);
      if (this.expanded.has(serial) || !use || !use.isConnected) continue;
      const group = this.expansion(serial, [serial], use);
      if (!group) continue;
      this.restructure();
      use.replaceWith(group);
      this.expanded.set(serial, group);
    }
  }

  detach(state) {
    for (const copy of state.copies) copy.node?.remove();
    state.copies = [];
    state.node = state.original = state.showing = state.generated = null;
    state.painting = state.carried = null;
    state.dirty = true;
  }

  // A group standing for a use: its attributes, its placement as a
  // transform, and a copy of what it draws in which every use is drawn the
  // same way and every element of path art is tied to its instance.
  expansion(serial, chain, use) {
    const geometry = this.model.useGeometry.get(this.model.nodes[serial]);
    if (!geometry || chain.length > 64) return null;
    const targetSerial = this.model.serialOf.get(geometry.target);
    const target = this.pristine.get(targetSerial);
    if (!target) return null;
    // Past the copy budget a use is drawn as the file has it.
    const size = target.getElementsByTagName('*').length + 1;
    if (this.copiedNodes + size > this.copyBudget) {
      this.uncopied.add(chain[0]);
      return null;
    }
    this.copiedNodes += size;
    const group = copyAttributes(use, svg('g'), USE_PLACEMENT);
    if (chain.length > 1) group.removeAttribute('id');
    const own = use.getAttribute('transform') ?? '';
    const move = geometry.x !== 0 || geometry.y !== 0 ? `translate(${geometry.x} ${geometry.y})` : '';
    const transform = [own.trim(), move].filter(Boolean).join(' ');
    if (transform) group.setAttribute('transform', transform);
    if (target.localName === 'use') {
      const nested = this.expansion(targetSerial, [...chain, targetSerial], target);
      if (nested) group.append(nested);
      return group;
    }
    const numbered = new Map();
    let content = cloneNumbered(target, this.pristine, numbered);
    if (target.localName === 'symbol') {
      const nested = copyAttributes(content, svg('svg'), new Set(['width', 'height', 'x', 'y']));
      nested.setAttribute('width', String(geometry.width));
      nested.setAttribute('height', String(geometry.height));
      nested.append(...content.childNodes);
      numbered.set(targetSerial, nested);
      content = nested;
    }
    group.append(content);
    for (const [inner, node] of numbered) {
      node.removeAttribute('id');
      if (node.localName === 'use') {
        const nested = this.expansion(inner, [...chain, inner], node);
        if (nested) node.replaceWith(nested);
        continue;
      }
      const index = this.model.instanceAt(chain, inner);
      if (index === undefined) continue;
      const state = this.instances[index];
      state.node = state.original = state.showing = node;
      state.generated = state.painting = state.carried = null;
      state.fileD = state.shownD = state.element.kind === 'path' ? node.getAttribute('d') : null;
      state.dirty = true;
      this.hits.set(node, index);
    }
    return group;
  }

  // Host paths no element has, drawn as plain outlines.
  renderLoose(hostPaths, places, outlines) {
    const quantum = quantumFor(this.zoom);
    // Written when the quantum changes, not at each frame: set again, even
    // to the values they have, they would be attribute changes to the browser.
    if (this.looseQuantum !== quantum) {
      this.looseQuantum = quantum;
      this.loose.setAttribute('transform', `scale(${1 / quantum})`);
      this.loose.setAttribute('fill', LOOSE_STYLE.fill);
      this.loose.setAttribute('stroke', LOOSE_STYLE.stroke);
      this.loose.setAttribute('stroke-width', String(quantum));
    }
    const matrix = [1 / quantum, 0, 0, 1 / quantum, 0, 0];
    const matrixKey = matrix.join(' ');
    places.forEach((place, k) => {
      const path = hostPaths[place];
      let entry = this.looseDrawn[k];
      if (!entry) {
        entry = this.looseDrawn[k] = {
          node: svg('path'),
          bits: new Int32Array(0),
          quantum: 0,
          closed: null,
          d: '',
          drawable: true,
        };
        this.loose.append(entry.node);
      }
      const bits = new Int32Array(path.segments.buffer, path.segments.byteOffset, path.segments.length);
      if (!sameBits(entry.bits, bits) || entry.quantum !== quantum || entry.closed !== path.closed) {
        if (entry.bits.length === bits.length) entry.bits.set(bits);
        else entry.bits = bits.slice();
        entry.quantum = quantum;
        entry.closed = path.closed;
        entry.d = pathData(path.segments, path.segments.length / 6, path.closed, quantum, 1);
        entry.drawable = entry.d !== '' || path.segments.length === 0;
        entry.node.setAttribute('d', entry.d);
      }
      this.hits.set(entry.node, {place});
      outlines.push({key: `p${k}`, d: entry.d, matrix, matrixKey, selected: path.selected});
    });
    for (const entry of this.looseDrawn.splice(places.length)) entry.node.remove();
  }

  // Uses drawing changed art that were too large to copy, and are drawn as
  // the file has them.
  uncopiedCount() {
    return this.uncopied.size;
  }

  // Plain paths whose points cannot be drawn.
  undrawableCount() {
    return (
      this.looseDrawn.filter((entry) => !entry.drawable).length +
      this.instances.filter((state) => state.d === '').length
    );
  }

  // The path art under a client pixel, topmost first: each entry an element
  // index of the file (or {place} for a plain path, or an array of element
  // indices for a use), by what the browser draws there.
  hitsAt(clientX, clientY) {
    const found = [];
    for (let node of this.shadow.elementsFromPoint(clientX, clientY)) {
      for (; node && node !== this.viewport; node = node.parentNode) {
        const hit = this.hits?.get(node);
        if (hit !== undefined) {
          found.push(hit);
          break;
        }
      }
    }
    return found;
  }
}

const EMPTY_BITS = new Int32Array(0);
const COPY_ALLOWANCE = 1 << 14;
const COPIES_PER_ELEMENT = 4;

function svg(name) {
  return document.createElementNS(SVG_NS, name);
}

function fix(node, properties) {
  for (const [name, value] of Object.entries(properties)) node.style.setProperty(name, value, 'important');
}

// The file's root placed on its canvas, drawn unclipped, so that the
// browser places its user space in the viewport as the importer places it
// in artwork coordinates: at the size the file states, which its viewBox
// fills as its preserveAspectRatio says, where the host's unit is the
// pixel of that size; else its viewBox (or its own size) on itself, its
// user space the viewport's.
function placeRoot(root, model) {
  const [x, y, width, height] = model.canvas;
  for (const [name, value] of [
    ['x', x],
    ['y', y],
    ['width', width],
    ['height', height],
  ])
    root.setAttribute(name, String(value));
  fix(root, {
    overflow: 'visible',
    display: 'inline',
    x: `${x}px`,
    y: `${y}px`,
    width: `${width}px`,
    height: `${height}px`,
  });
}

// A deep copy of a built node, each copied element's number recorded.
function cloneNumbered(node, pristine, numbered) {
  const serials = new Map();
  for (const [serial, original] of pristine) serials.set(original, serial);
  const copy = node.cloneNode(true);
  const walk = (from, to) => {
    const serial = serials.get(from);
    if (serial !== undefined) numbered.set(serial, to);
    for (
      let a = from.firstElementChild, b = to.firstElementChild;
      a && b;
      a = a.nextElementSibling, b = b.nextElementSibling
    )
      walk(a, b);
  };
  walk(node, copy);
  return copy;
}

function copyAttributes(from, to, except) {
  for (const name of from.getAttributeNames()) {
    if (except.has(name) || name === 'style') continue;
    const value = from.getAttribute(name);
    if (name.startsWith('xlink:')) to.setAttributeNS('http://www.w3.org/1999/xlink', name, value);
    else to.setAttribute(name, value);
  }
  if (from.style && from.style.cssText) to.style.cssText = from.style.cssText;
  return to;
}

// A basic shape as a path that keeps its other attributes, and `id` when given.
function asPath(shape, id = null) {
  const path = copyAttributes(shape, svg('path'), new Set([...(SHAPE_GEOMETRY[shape.localName] ?? []), 'id']));
  if (id !== null) path.setAttribute('id', id);
  return path;
}

function withoutIds(node) {
  node.removeAttribute('id');
  for (const inner of node.querySelectorAll('[id]')) inner.removeAttribute('id');
  return node;
}

function hasMarkers(node) {
  if (!node.isConnected) return true;
  const style = getComputedStyle(node);
  return ['marker-start', 'marker-mid', 'marker-end'].some(
    (name) => (style.getPropertyValue(name) || 'none') !== 'none',
  );
}

function isSelected(contours) {
  return Boolean(contours && contours.some((pieces) => pieces.some((path) => path && path.selected)));
}

// Decimals for an element's path data at this zoom, so that a unit of the
// last place is at most half a view pixel, and the merge tolerance in those
// units (half a pixel).
function precision(element, zoom) {
  const [a, b, c, d] = element.toLayer;
  // The largest factor by which the element's transforms stretch a length.
  const sum = a * a + b * b + c * c + d * d;
  const det = a * d - b * c;
  const stretch = Math.sqrt((sum + Math.sqrt(Math.max(sum * sum - 4 * det * det, 0))) / 2);
  const pixels = Math.max(zoom * stretch, 1e-12);
  const decimals = Math.min(12, Math.max(0, Math.ceil(Math.log10(2 * pixels))));
  const unitPixels = pixels / 10 ** decimals;
  return [decimals, Math.max(1, Math.floor(0.5 / unitPixels))];
}

function sameBits(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) return false;
  return true;
}
