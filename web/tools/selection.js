// The selection tool: a click on art selects its element alone (every path
// of it, as a drawing program selects a compound path), Shift-click adds or
// removes the element, Alt-click selects the group the element is drawn in
// and, clicked again, the group around that (as Illustrator's group
// selection climbs; with Shift, adds it), a click on empty space clears
// the selection, and a marquee drag selects the elements it touches (with
// Shift, adds them). The host's selection is the only one: every change
// goes to it.
const MARQUEE_THRESHOLD = 3; // client pixels before a press becomes a marquee

export class SelectionTool {
  // host: {paths(), select(places), wholeElements(places), view}
  constructor(host) {
    this.host = host;
    this.name = 'selection';
    this.press = null;
  }

  // Between the press and its release: a click or marquee under way.
  get busy() {
    return this.press !== null;
  }

  // record: a pointer record ({client, point, shift, alt, hit, groups}); hit
  // is the host places of the element under the pointer, [] over nothing,
  // and groups those of the groups it is drawn in, innermost first.
  down(record) {
    const groups = record.alt ? record.groups : null;
    this.press = {client: record.client, hit: record.hit, groups, shift: record.shift, marquee: false};
  }

  move(record) {
    const press = this.press;
    if (!press) return;
    const {client} = record;
    if (!press.marquee && Math.hypot(client.x - press.client.x, client.y - press.client.y) < MARQUEE_THRESHOLD) return;
    press.marquee = true;
    this.host.view.showMarquee(press.client, client);
  }

  up(record) {
    const press = this.press;
    this.press = null;
    if (!press) return;
    const paths = this.host.paths();
    const selected = new Set(paths.flatMap((path, index) => (path.selected ? [index] : [])));
    if (press.marquee) {
      this.host.view.showMarquee(null);
      const inside = this.host.wholeElements(
        touchedBy(
          paths,
          this.host.view.artworkPoint(press.client.x, press.client.y),
          this.host.view.artworkPoint(record.client.x, record.client.y),
        ),
      );
      this.host.select(press.shift ? [...new Set([...selected, ...inside])] : inside);
    } else if (press.hit.length === 0) {
      if (!press.shift) this.host.select([]);
    } else if (press.groups) {
      this.host.select(groupChosen([press.hit, ...press.groups], selected, press.shift));
    } else if (press.shift) {
      const wasSelected = press.hit.every((place) => selected.has(place));
      for (const place of press.hit) {
        if (wasSelected) selected.delete(place);
        else selected.add(place);
      }
      this.host.select([...selected]);
    } else {
      this.host.select(press.hit);
    }
  }

  cancel() {
    if (this.press && this.press.marquee) this.host.view.showMarquee(null);
    this.press = null;
  }

  // A marquee or click taken back: it selects nothing.
  abort() {
    this.cancel();
  }

  forget() {
    this.cancel();
  }
}

// What an Alt-click selects of `levels` (the element's places, then its
// groups', innermost first): the level above the one the selection is, or
// the innermost group; with Shift, the selection and the first level not
// wholly in it.
function groupChosen(levels, selected, shift) {
  const whole = (level) => level.every((place) => selected.has(place));
  if (shift) return [...new Set([...selected, ...(levels.find((level) => !whole(level)) ?? [])])];
  const at = levels.findLastIndex((level) => whole(level) && level.length === selected.size);
  return levels[Math.min(Math.max(at, 0) + 1, levels.length - 1)];
}

// Paths that the artwork rectangle between a and b touches: an anchor or
// handle inside it, or an edge of the path crossing it, as a drawing
// program's marquee takes a long line or a large shape by any part of its
// outline.
export function touchedBy(paths, a, b) {
  const box = {
    left: Math.min(a[0], b[0]),
    right: Math.max(a[0], b[0]),
    bottom: Math.min(a[1], b[1]),
    top: Math.max(a[1], b[1]),
  };
  const found = [];
  paths.forEach((path, index) => {
    const s = path.segments;
    for (let i = 0; i < s.length; i += 2) {
      if (inside(box, s[i], s[i + 1])) {
        found.push(index);
        return;
      }
    }
    const count = s.length / 6;
    const edges = path.closed ? count : count - 1;
    for (let e = 0; e < edges; e++) {
      const p = e * 6;
      const q = ((e + 1) % count) * 6;
      if (curveCrosses(box, [s[p], s[p + 1], s[p + 4], s[p + 5], s[q + 2], s[q + 3], s[q], s[q + 1]])) {
        found.push(index);
        return;
      }
    }
  });
  return found;
}

const inside = (box, x, y) => x >= box.left && x <= box.right && y >= box.bottom && y <= box.top;

// The lines a curve is followed by where its control points reach the box:
// within a fraction of a pixel of any curve up to a screen across.
const CURVE_PIECES = 64;

// Whether the cubic Bézier (x0 y0, x1 y1, x2 y2, x3 y3) passes through the box.
function curveCrosses(box, c) {
  const xs = [c[0], c[2], c[4], c[6]];
  const ys = [c[1], c[3], c[5], c[7]];
  if (Math.max(...xs) < box.left || Math.min(...xs) > box.right) return false;
  if (Math.max(...ys) < box.bottom || Math.min(...ys) > box.top) return false;
  const line = c[2] === c[0] && c[3] === c[1] && c[4] === c[6] && c[5] === c[7];
  const pieces = line ? 1 : CURVE_PIECES;
  const at = (t, v) => {
    const u = 1 - t;
    return u * u * u * v[0] + 3 * u * u * t * v[1] + 3 * u * t * t * v[2] + t * t * t * v[3];
  };
  let [x, y] = [xs[0], ys[0]];
  for (let k = 1; k <= pieces; k++) {
    const [nx, ny] = [at(k / pieces, xs), at(k / pieces, ys)];
    if (lineCrosses(box, x, y, nx, ny)) return true;
    [x, y] = [nx, ny];
  }
  return false;
}

// Whether the line from (x0, y0) to (x1, y1) has a point in the box: the
// part of it within each pair of the box's sides, narrowed in turn, is not
// empty.
function lineCrosses(box, x0, y0, x1, y1) {
  let from = 0;
  let to = 1;
  const dx = x1 - x0;
  const dy = y1 - y0;
  for (const [d, low, high, start] of [
    [dx, box.left, box.right, x0],
    [dy, box.bottom, box.top, y0],
  ]) {
    if (d === 0) {
      if (start < low || start > high) return false;
      continue;
    }
    const t0 = (low - start) / d;
    const t1 = (high - start) / d;
    from = Math.max(from, Math.min(t0, t1));
    to = Math.min(to, Math.max(t0, t1));
    if (from > to) return false;
  }
  return true;
}
