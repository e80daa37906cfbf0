// The document view: draws what the host holds in an <svg>, maps between
// artwork points and client pixels with the host's view 0 mapping
// (vx = (x - origin.x) * zoom, vy = (origin.y - y) * zoom, one view pixel per
// CSS pixel of the <svg>), and draws the annotator's lines in view pixels.
//
// Rendering cost follows what changed and what can be seen: a path's data is
// rebuilt only when its segments differ from what was drawn or the zoom moved
// to another quantum, runs of segments within half a pixel are drawn as one
// line, and panning changes one transform.
import {pathData, quantumFor} from './path_data.js';

const SVG_NS = 'http://www.w3.org/2000/svg';
const DEFAULT_STYLE = {fill: 'none', stroke: '#202124', strokeWidth: 1};
// Runs of segments within one path data unit (a quarter to half a view
// pixel) of the point last drawn are drawn as one line.
const MERGE_TOLERANCE = 1;
// Where a click looks for a path: the pixel itself, then rings out to 3 pixels.
const HIT_OFFSETS = [[0, 0], ...[1, 2, 3].flatMap((r) => [[r, 0], [-r, 0], [0, r], [0, -r], [r, r], [-r, -r], [r, -r], [-r, r]])];

export class DocumentView {
  constructor(svg) {
    this.svg = svg;
    this.art = element('g', {class: 'art'});
    this.outlines = element('g', {class: 'selection-outlines'});
    this.annotation = element('g', {class: 'annotation'});
    this.marquee = element('rect', {class: 'marquee', visibility: 'hidden'});
    svg.append(this.art, this.outlines, this.annotation, this.marquee);
    this.origin = [0, 0];
    this.zoom = 1;
    this.quantum = 0;
    // One entry per drawn path, in paint order: its wrapper, path element,
    // the outline shown while selected, and a copy of the segment bits drawn.
    this.drawn = [];
  }

  // The host's view 0 mapping; the art moves by transform, and is redrawn at
  // the next render only when the zoom needs another quantum.
  setMapping(origin, zoom) {
    this.origin = [origin[0], origin[1]];
    this.zoom = zoom;
    const transform =
      `translate(${-origin[0] * zoom} ${origin[1] * zoom}) scale(${zoom / quantumFor(zoom)})`;
    this.art.setAttribute('transform', transform);
    this.outlines.setAttribute('transform', transform);
    // One and a half screen pixels, whatever the zoom.
    this.outlines.setAttribute('stroke-width', (1.5 * quantumFor(zoom)) / zoom);
  }

  size() {
    const box = this.svg.getBoundingClientRect();
    return [box.width, box.height];
  }

  // Client pixel of an artwork point.
  clientPoint(x, y) {
    const box = this.svg.getBoundingClientRect();
    return {x: box.left + (x - this.origin[0]) * this.zoom, y: box.top + (this.origin[1] - y) * this.zoom};
  }

  // Artwork point under a client pixel.
  artworkPoint(clientX, clientY) {
    const box = this.svg.getBoundingClientRect();
    return [this.origin[0] + (clientX - box.left) / this.zoom, this.origin[1] - (clientY - box.top) / this.zoom];
  }

  // Whether a client pixel lies inside the view.
  contains(clientX, clientY) {
    const box = this.svg.getBoundingClientRect();
    return clientX >= box.left && clientX < box.right && clientY >= box.top && clientY < box.bottom;
  }

  // paths: the host's [{name, selected, closed, segments: Float32Array}];
  // styleOf(name): the paint kept for that path's name, or undefined.
  render(paths, styleOf) {
    const quantum = quantumFor(this.zoom);
    const requantised = quantum !== this.quantum;
    this.quantum = quantum;
    for (let i = 0; i < paths.length; i++) {
      const path = paths[i];
      let entry = this.drawn[i];
      if (!entry) entry = this.drawn[i] = this.newEntry(i);
      const bits = new Int32Array(path.segments.buffer, path.segments.byteOffset, path.segments.length);
      if (!sameBits(entry.bits, bits) || requantised || entry.closed !== path.closed) {
        // The copy is kept in place when the length allows: a drag then
        // allocates nothing but the path data.
        if (entry.bits.length === bits.length) entry.bits.set(bits);
        else entry.bits = bits.slice();
        entry.closed = path.closed;
        const data = pathData(path.segments, path.segments.length / 6, path.closed, quantum, MERGE_TOLERANCE);
        entry.path.setAttribute('d', data);
        entry.drawable = data !== '' || path.segments.length === 0;
      }
      if (requantised || entry.name !== path.name) {
        entry.name = path.name;
        applyStyle(entry.group, styleOf(path.name) ?? DEFAULT_STYLE, quantum);
      }
      if (entry.selected !== path.selected) {
        entry.selected = path.selected;
        if (path.selected) this.outlines.append(entry.outline);
        else entry.outline.remove();
      }
    }
    for (const entry of this.drawn.splice(paths.length)) {
      entry.group.remove();
      entry.outline.remove();
    }
    this.sortOutlines();
  }

  // Paths whose points are not finite are in the document but cannot be drawn.
  undrawableCount() {
    return this.drawn.filter((entry) => !entry.drawable).length;
  }

  // Paint order index of a drawn path element, or -1.
  indexOf(target) {
    const index = target && target.dataset ? Number(target.dataset.index) : NaN;
    return Number.isInteger(index) && index < this.drawn.length ? index : -1;
  }

  // The topmost path at a client pixel or, for thin strokes, within a few
  // pixels of it; -1 when there is none.
  pathNear(client) {
    for (const [dx, dy] of HIT_OFFSETS) {
      const index = this.indexOf(document.elementFromPoint(client.x + dx, client.y + dy));
      if (index >= 0) return index;
    }
    return -1;
  }

  newEntry(index) {
    const group = element('g');
    const path = element('path', {id: `art-${index}`, 'data-index': String(index)});
    group.append(path);
    this.art.append(group);
    const outline = element('use', {href: `#art-${index}`, 'data-index': String(index)});
    return {group, path, outline, bits: new Int32Array(0), closed: null, name: null, selected: false, drawable: true};
  }

  // Outlines follow paint order, so the topmost selected path outlines last.
  sortOutlines() {
    let previous = -1;
    for (const node of this.outlines.children) {
      const index = Number(node.dataset.index);
      if (index < previous) {
        const ordered = [...this.outlines.children].sort((a, b) => a.dataset.index - b.dataset.index);
        this.outlines.append(...ordered);
        return;
      }
      previous = index;
    }
  }

  // lines: [{color: [r, g, b] (0..65535), dash: [...], from: [vx, vy], to: [vx, vy]}]
  // in view pixels, as the host's drawer was told.
  drawAnnotation(lines) {
    const nodes = lines.map((line) =>
      element('line', {
        x1: line.from[0] + 0.5,
        y1: line.from[1] + 0.5,
        x2: line.to[0] + 0.5,
        y2: line.to[1] + 0.5,
        stroke: `rgb(${line.color.map((c) => Math.round(c / 257)).join(' ')})`,
        'stroke-dasharray': line.dash.length > 0 ? line.dash.join(' ') : 'none',
      }),
    );
    this.annotation.replaceChildren(...nodes);
  }

  // Marquee between two client points, or hidden with null.
  showMarquee(from, to) {
    if (!from) {
      this.marquee.setAttribute('visibility', 'hidden');
      return;
    }
    const box = this.svg.getBoundingClientRect();
    this.marquee.setAttribute('x', Math.min(from.x, to.x) - box.left);
    this.marquee.setAttribute('y', Math.min(from.y, to.y) - box.top);
    this.marquee.setAttribute('width', Math.abs(to.x - from.x));
    this.marquee.setAttribute('height', Math.abs(to.y - from.y));
    this.marquee.setAttribute('visibility', 'visible');
  }
}

function sameBits(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) return false;
  return true;
}

// Stroke widths are in artwork units, drawn in path data units.
function applyStyle(group, style, quantum) {
  group.setAttribute('fill', style.fill);
  group.setAttribute('stroke', style.stroke);
  group.setAttribute('stroke-width', style.strokeWidth * quantum);
}

function element(name, attributes = {}) {
  const node = document.createElementNS(SVG_NS, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  return node;
}

// The artwork rectangle [left, bottom, right, top] holding every finite point
// of the paths, or null when there is none.
export function artworkBounds(paths, onlySelected = false) {
  let left = Infinity;
  let bottom = Infinity;
  let right = -Infinity;
  let top = -Infinity;
  for (const path of paths) {
    if (onlySelected && !path.selected) continue;
    const s = path.segments;
    for (let i = 0; i < s.length; i += 2) {
      const x = s[i];
      const y = s[i + 1];
      if (!Number.isFinite(x) || !Number.isFinite(y) || Math.abs(x) > 1e7 || Math.abs(y) > 1e7) continue;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y < bottom) bottom = y;
      if (y > top) top = y;
    }
  }
  return left <= right ? [left, bottom, right, top] : null;
}
