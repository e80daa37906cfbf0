// Pan and zoom of the view: the page follows each wheel step, pinch and pan
// at once, and the host learns the new view 0 mapping when the gesture
// ends (a host action in the session's scenario), so a scroll costs the
// host one change, not one per step.
import {artworkBounds} from './view.js';

// From 1/1024 to 1024: a drawing in units of a hundredth of a millimetre
// (a page 100,000 units wide) fits a screen, and one in a unit square fills it.
const MIN_ZOOM = 1 / 1024;
const MAX_ZOOM = 1024;
const COMMIT_DELAY = 250; // ms after the last wheel step before the host learns the new view

export class ViewNavigation {
  // view: the DocumentView; engine: the host (setView); repaint(): asks
  // for the next frame.
  constructor(view, engine, repaint) {
    this.view = view;
    this.engine = engine;
    this.repaint = repaint;
    this.pending = null;
    this.timer = 0;
    this.pan = null;
    this.pinch = null;
  }

  get panning() {
    return this.pan !== null;
  }

  get pinching() {
    return this.pinch !== null;
  }

  // A new world: its own view, nothing pending.
  reset({origin, zoom}) {
    clearTimeout(this.timer);
    this.pan = null;
    this.pinch = null;
    this.pending = null;
    this.view.setMapping(origin, zoom);
  }

  setLocally(origin, zoom) {
    const mapping = {origin: [Math.fround(origin[0]), Math.fround(origin[1])], zoom: Math.fround(zoom)};
    if (!mapping.origin.every(Number.isFinite)) return;
    this.pending = mapping;
    this.view.setMapping(mapping.origin, mapping.zoom);
    this.repaint();
  }

  // The host learns the view the page shows, if it changed.
  commit() {
    clearTimeout(this.timer);
    if (!this.pending) return;
    const {origin, zoom} = this.pending;
    this.pending = null;
    this.engine.setView(origin, zoom);
  }

  zoomAbout(client, factor) {
    const box = this.view.svg.getBoundingClientRect();
    const at = client ?? {x: box.left + box.width / 2, y: box.top + box.height / 2};
    this.keepAt(this.view.artworkPoint(at.x, at.y), at, this.view.zoom * factor);
  }

  // The view at `zoom` (kept within its range) with the artwork point
  // `anchor` at the client pixel `at`.
  keepAt(anchor, at, zoom) {
    const [x, y] = anchor;
    const kept = Math.min(MAX_ZOOM, Math.max(MIN_ZOOM, zoom));
    const box = this.view.svg.getBoundingClientRect();
    this.setLocally([x - (at.x - box.left) / kept, y + (at.y - box.top) / kept], kept);
  }

  // Fits the selection, or everything when nothing is selected, or the
  // artwork rectangle `otherwise` when there are no paths.
  fit(paths, otherwise = null) {
    const {origin, zoom} = this.fitted(artworkBounds(paths, true) ?? artworkBounds(paths) ?? otherwise);
    this.setLocally(origin, zoom);
    this.commit();
  }

  // The zoom at which the artwork rectangle fits the view, centred, filling
  // `share` of its width or height, less `margin` pixels on every side, as
  // a drawing program fits a page or a selection to its window: a step of
  // a list of zooms would leave up to half the view unused (a page 0.49 of
  // a pixel a unit shown at 0.25).
  fitted(bounds, {share = 0.9, margin = 0} = {}) {
    const [width, height] = this.view.size();
    const unfitted = {origin: [0, 0], zoom: 1};
    if (!bounds || width < 1 || height < 1) return unfitted;
    const [left, bottom, right, top] = bounds;
    const fit = Math.min(
      (width * share - 2 * margin) / Math.max(right - left, 1e-3),
      (height * share - 2 * margin) / Math.max(top - bottom, 1e-3),
    );
    const zoom = Math.min(MAX_ZOOM, Math.max(MIN_ZOOM, fit));
    // A round origin, to whole units where a unit is a pixel or less, and
    // else to the power of two at or below a pixel: never half a pixel off
    // the centre, however small the drawing's units.
    const step = Math.min(1, 2 ** Math.floor(Math.log2(1 / zoom)));
    const round = (value) => Math.round(value / step) * step;
    const origin = [round((left + right) / 2 - width / 2 / zoom), round((bottom + top) / 2 + height / 2 / zoom)];
    // The host holds the origin as float32: bounds beyond that range (a
    // file's viewBox may say anything) leave the view as it starts.
    return origin.every((v) => Number.isFinite(Math.fround(v))) ? {origin, zoom} : unfitted;
  }

  // Wheel scrolls; Ctrl or Cmd with the wheel (or a pinch) zooms about the
  // pointer.
  wheel(event) {
    const client = {x: event.clientX, y: event.clientY};
    if (event.ctrlKey || event.metaKey) {
      this.zoomAbout(client, Math.exp(-event.deltaY / 300));
    } else {
      const zoom = this.view.zoom;
      const dx = event.shiftKey && event.deltaX === 0 ? event.deltaY : event.deltaX;
      const dy = event.shiftKey && event.deltaX === 0 ? 0 : event.deltaY;
      this.setLocally([this.view.origin[0] + dx / zoom, this.view.origin[1] - dy / zoom], zoom);
    }
    this.commitLater();
  }

  // The view keeps the artwork point at its centre when its size changes,
  // as a drawing program's window does.
  resized([oldWidth, oldHeight], [width, height]) {
    const zoom = this.view.zoom;
    const [x, y] = this.view.origin;
    this.setLocally([x + (oldWidth - width) / 2 / zoom, y - (oldHeight - height) / 2 / zoom], zoom);
    this.commitLater();
  }

  // The host learns the view once the gesture has rested a moment.
  commitLater() {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.commit(), COMMIT_DELAY);
  }

  startPan(client) {
    this.pan = {client, origin: [...this.view.origin]};
  }

  panTo(client) {
    const zoom = this.view.zoom;
    this.setLocally(
      [
        this.pan.origin[0] - (client.x - this.pan.client.x) / zoom,
        this.pan.origin[1] + (client.y - this.pan.client.y) / zoom,
      ],
      zoom,
    );
  }

  endPan() {
    this.pan = null;
    this.commit();
  }

  // Two fingers on the view ([{x, y}, {x, y}], client pixels): the artwork
  // point under their midpoint stays under it as they move, and the zoom
  // follows their spread, as on any touch screen.
  startPinch([a, b]) {
    const middle = midpoint(a, b);
    this.pinch = {
      anchor: this.view.artworkPoint(middle.x, middle.y),
      zoom: this.view.zoom,
      spread: Math.max(Math.hypot(b.x - a.x, b.y - a.y), 1),
    };
  }

  pinchTo([a, b]) {
    const {anchor, zoom, spread} = this.pinch;
    this.keepAt(anchor, midpoint(a, b), (zoom * Math.hypot(b.x - a.x, b.y - a.y)) / spread);
  }

  endPinch() {
    this.pinch = null;
    this.commit();
  }
}

const midpoint = (a, b) => ({x: (a.x + b.x) / 2, y: (a.y + b.y) / 2});
