// The document view: the opened file drawn with the host's geometry (the
// art layer, web/art_layer.js), the file's canvas behind it, and over both
// the selection outlines, the annotator's lines in view pixels and the
// marquee. It maps between artwork points and client pixels with the host's
// view 0 mapping (vx = (x - origin.x) * zoom, vy = (origin.y - y) * zoom,
// one view pixel per CSS pixel), which every layer follows through its
// viewBox, so panning and zooming change attributes, not path data.
import {ArtLayer} from './art_layer.js';

const SVG_NS = 'http://www.w3.org/2000/svg';
const OUTLINE_PIXELS = 1.5;
const OUTLINES_PER_PATH = 256;
// Where a click looks for art: the pixel itself, then rings out to 3 pixels.
const HIT_OFFSETS = [
  [0, 0],
  ...[1, 2, 3].flatMap((r) => [
    [r, 0],
    [-r, 0],
    [0, r],
    [0, -r],
    [r, r],
    [-r, -r],
    [r, -r],
    [-r, r],
  ]),
];

export class DocumentView {
  // overlay: the <svg> taking the pointer; artHost: the element the file is
  // drawn in; paper: an <svg> behind it for the file's canvas.
  constructor(overlay, artHost, paper) {
    this.svg = overlay;
    this.art = new ArtLayer(artHost);
    this.paper = paper;
    this.background = element('rect', {class: 'file-background', visibility: 'hidden'});
    this.canvas = element('rect', {class: 'file-canvas', visibility: 'hidden'});
    paper.append(this.background, this.canvas);
    this.backgroundFillsView = false;
    this.outlineSpace = element('svg', {class: 'selection-outlines', overflow: 'visible', preserveAspectRatio: 'none'});
    this.annotation = element('g', {class: 'annotation'});
    this.marquee = element('rect', {class: 'marquee', visibility: 'hidden'});
    overlay.append(this.outlineSpace, this.annotation, this.marquee);
    this.origin = [0, 0];
    this.zoom = 1;
    this.outlines = new Map(); // matrix and number -> {node, d, width}, see render
  }

  // The file to draw, or null for a world of plain paths. drawing: the
  // file's sanitized drawing.
  showFile(model, drawing) {
    this.art.show(model, drawing);
    for (const {node} of this.outlines.values()) node.remove();
    this.outlines.clear();
    // A canvas the file does not state (no viewBox, no size) is no page.
    const box = model && model.canvasStated ? model.canvas : null;
    if (box) {
      ['x', 'y', 'width', 'height'].forEach((key, i) => this.canvas.setAttribute(key, String(box[i])));
      this.canvas.setAttribute('visibility', 'visible');
    } else {
      this.canvas.setAttribute('visibility', 'hidden');
    }
    this.showBackground(box);
  }

  // The root's background colour behind the art, over the file's viewport
  // as a browser paints it for the file alone: its canvas, or where the
  // file states none, the whole view (the window showing it).
  showBackground(box) {
    const colour = this.art.rootBackground();
    this.backgroundFillsView = colour !== null && !box;
    if (colour === null) {
      this.background.setAttribute('visibility', 'hidden');
      return;
    }
    this.background.style.setProperty('fill', colour);
    this.background.setAttribute('visibility', 'visible');
    if (box) this.placeBackground(box);
    else this.fillView();
  }

  fillView() {
    this.placeBackground(this.paper.getAttribute('viewBox')?.split(' ') ?? [0, 0, 0, 0]);
  }

  // The background over the box [x, y, width, height].
  placeBackground(box) {
    ['x', 'y', 'width', 'height'].forEach((key, i) => this.background.setAttribute(key, String(box[i])));
  }

  // The host's view 0 mapping, followed by every layer at once.
  setMapping(origin, zoom) {
    this.origin = [origin[0], origin[1]];
    this.zoom = zoom;
    const size = this.size();
    this.mappedSize = size; // the size the mapping was made for
    this.art.setMapping(origin, zoom, size);
    const viewBox = this.art.viewport.getAttribute('viewBox');
    for (const layer of [this.paper, this.outlineSpace]) {
      layer.setAttribute('viewBox', viewBox);
      layer.setAttribute('preserveAspectRatio', 'none');
    }
    this.outlineSpace.setAttribute('width', String(size[0]));
    this.outlineSpace.setAttribute('height', String(size[1]));
    if (this.backgroundFillsView) this.fillView();
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

  // Draws the host's paths ({name, selected, closed, segments} in paint
  // order) and the outlines of the selected ones, those that share a matrix
  // joined into paths of up to OUTLINES_PER_PATH: a browser lays out, layers
  // and paints a few long paths far faster than thousands of short ones with
  // a transform each (and files whose every path carries the same transform
  // attribute are common), while paths of bounded length keep its raster
  // work local.
  render(paths) {
    const {outlines} = this.art.render(paths);
    const joined = new Map(); // matrix and number -> {matrix, ds}
    const latest = new Map(); // matrix -> the last of its joined outlines
    for (const outline of outlines) {
      // Each element's data starts with its own move, so that joined it
      // draws as it would alone.
      if (!outline.selected || !outline.d?.startsWith('M')) continue;
      const matrix = outline.matrixKey;
      let group = latest.get(matrix);
      if (!group || group.ds.length === OUTLINES_PER_PATH) {
        group = {matrix: outline.matrix, ds: [], number: (group?.number ?? 0) + 1};
        latest.set(matrix, group);
        joined.set(`${matrix} ${group.number}`, group);
      }
      group.ds.push(outline.d);
    }
    for (const [key, {matrix, ds}] of joined) {
      let drawn = this.outlines.get(key);
      if (!drawn) {
        drawn = {node: element('path', {transform: `matrix(${matrix.join(' ')})`}), d: null, width: 0};
        this.outlines.set(key, drawn);
        this.outlineSpace.append(drawn.node);
      }
      const d = ds.length === 1 ? ds[0] : ds.join('');
      if (drawn.d !== d) {
        drawn.d = d;
        drawn.node.setAttribute('d', d);
      }
      // One and a half view pixels, whatever the zoom and the elements'
      // scale (a stroke that does not scale costs the browser far more).
      const [a, b, c, e] = matrix;
      const width = OUTLINE_PIXELS / (this.zoom * Math.sqrt(Math.abs(a * e - b * c)) || 1);
      if (drawn.width !== width) {
        drawn.width = width;
        drawn.node.setAttribute('stroke-width', String(width));
      }
    }
    for (const [key, drawn] of this.outlines) {
      if (!joined.has(key)) {
        drawn.node.remove();
        this.outlines.delete(key);
      }
    }
  }

  // Paths whose points are not finite are in the document but cannot be drawn.
  undrawableCount() {
    return this.art.undrawableCount();
  }

  // Uses of changed art drawn as the file has them, too large to copy.
  uncopiedCount() {
    return this.art.uncopiedCount();
  }

  // The host places (in paint order) of the path art under a client pixel
  // or, for thin strokes, within a few pixels of it: every path of the
  // topmost element there, as a drawing program selects a compound path;
  // [] when there is none. Locked art is passed over, as if not there.
  artNear(client, paths) {
    for (const [dx, dy] of HIT_OFFSETS) {
      const hits = this.selectableHits(client.x + dx, client.y + dy);
      if (hits.length > 0) return this.placesOf(hits[0], paths);
    }
    return [];
  }

  // The host places of each group the art under a client pixel (as
  // artNear finds it) is drawn in, innermost first; [] over nothing or
  // art in no group.
  groupsNear(client, paths) {
    for (const [dx, dy] of HIT_OFFSETS) {
      const hits = this.selectableHits(client.x + dx, client.y + dy);
      if (hits.length === 0) continue;
      const hit = hits[0];
      if (typeof hit === 'object' && !Array.isArray(hit)) return [];
      const index = Array.isArray(hit) ? hit[0] : hit;
      return this.art.model.groupsAround(index).map((members) => this.placesOf(members, paths));
    }
    return [];
  }

  // The art under a client pixel (ArtLayer.hitsAt) that is not locked.
  selectableHits(clientX, clientY) {
    const locked = this.art.model?.locked;
    const open = (index) => !locked[index];
    return this.art
      .hitsAt(clientX, clientY)
      .filter((hit) => !locked || (Array.isArray(hit) ? hit.some(open) : typeof hit !== 'number' || open(hit)));
  }

  // The host places of an element (its paths, not the host's copies of
  // them), of every element a use draws, or of a plain path, each element
  // with the rest of its clip group.
  placesOf(hit, paths) {
    if (typeof hit === 'object' && !Array.isArray(hit)) return [hit.place];
    return this.elementPlaces(Array.isArray(hit) ? hit : [hit], this.art.model.group(paths));
  }

  // Every host place of the elements, and clip groups, any of `places`
  // belongs to.
  wholeElements(places, paths) {
    const model = this.art.model;
    if (!model) return places;
    const grouping = model.group(paths);
    const chosen = new Set(places);
    const touched = [];
    model.elements.forEach((element, index) => {
      if (element.paths.some((pieces) => pieces.some((i) => chosen.has(grouping.current[i]?.place))))
        touched.push(index);
    });
    return [...new Set([...places, ...this.elementPlaces(touched, grouping)])];
  }

  // The host places of elements `indices` and of the rest of their clip
  // groups, each group gone through once however many of it are given;
  // locked art left out.
  elementPlaces(indices, grouping) {
    const model = this.art.model;
    const places = new Set();
    for (const members of new Set(indices.map((index) => model.selectedWith(index)))) {
      for (const member of members) {
        if (model.locked[member]) continue;
        for (const pieces of model.elements[member].paths) {
          for (const i of pieces) if (grouping.current[i]) places.add(grouping.current[i].place);
        }
      }
    }
    return [...places];
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

function element(name, attributes = {}) {
  const node = document.createElementNS(SVG_NS, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  return node;
}

// Coordinates beyond this are left out of the bounds a view is fitted to: a
// view that held them would show nothing else.
export const FITTED_LIMIT = 1e7;

// The artwork rectangle [left, bottom, right, top] holding every finite point
// of the paths (within FITTED_LIMIT), or null when there is none.
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
      if (!Number.isFinite(x) || !Number.isFinite(y) || Math.abs(x) > FITTED_LIMIT || Math.abs(y) > FITTED_LIMIT)
        continue;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y < bottom) bottom = y;
      if (y > top) top = y;
    }
  }
  return left <= right ? [left, bottom, right, top] : null;
}
