// Path data for SVG from host segments, fast enough to rebuild 10^5 segments
// within a frame. Coordinates are written as integers in units of 1/quantum
// artwork unit with y negated (artwork y grows upwards, SVG y downwards), or
// through any other matrix into an element's own coordinates, there with a
// fixed number of decimals, as relative commands from the rounded current
// point, so rounding never accumulates along a path. Straight segments (both handles on their anchors)
// become "l", others "c". Digits are written, two at a time, into one reused
// byte buffer and decoded once, which costs a fraction of number-to-string
// conversions.

const SEPARATOR = 32;
const MINUS = 45;
const DIGIT_0 = 48;
const DOT = 46;
const decoder = new TextDecoder('latin1');
const NO_OPTIONS = Object.freeze({});
const Y_DOWN = Object.freeze([1, 0, 0, -1, 0, 0]);
let bytes = new Uint8Array(1 << 16);
let at = 0;
let places = 0; // decimals of the numbers being written

// The power of two that puts a half to a quarter of a view pixel in one unit
// of path data at this zoom: points are drawn within an eighth of a pixel,
// numbers stay short, and panning needs no rebuild.
export function quantumFor(zoom) {
  return 2 ** Math.ceil(Math.log2(Math.max(zoom, 2 ** -20) * 2));
}

// `segments`: 6 floats per segment (anchor, in, out); `count` segments.
// `tolerance` (path data units; with 0 only segments that round onto the
// point last drawn are merged): a run of segments whose
// anchors and handles all stay within that distance, along each axis, of the
// point last drawn is drawn as one line to the run's last anchor; the next
// segment that leaves the square starts exactly at its own start. Curves lie
// inside their handles, so nothing drawn moves by more than the square's
// diagonal, and art denser than the pixels showing it costs what the pixels
// do. Returns '' when a point is not finite or beyond what path data can
// show, so a path with such points is not drawn rather than drawn wrong.
//
// `options`: `matrix` [a, b, c, d, e, f] takes artwork points to the
// coordinates written (default: y negated); `decimals` writes each number
// as an integer count of 10^-decimals units (quantum must then be
// 10^decimals); `move: false` leaves out the first "M", for a piece that
// goes on from where the previous one ended.
export function pathData(segments, count, closed, quantum, tolerance = 0, options = NO_OPTIONS) {
  if (count < 1) return '';
  const need = count * 100 + 32;
  if (bytes.length < need) bytes = new Uint8Array(need + (need >> 1));
  at = 0;
  const m = options.matrix ?? Y_DOWN;
  places = options.decimals ?? 0;
  const t = tolerance;
  // The matrix with the scale to integer units folded in.
  const A = m[0] * quantum;
  const B = m[1] * quantum;
  const C = m[2] * quantum;
  const D = m[3] * quantum;
  const E = m[4] * quantum;
  const F = m[5] * quantum;
  let x = Math.round(A * segments[0] + C * segments[1] + E);
  let y = Math.round(B * segments[0] + D * segments[1] + F);
  let valid = withinRange(x) && withinRange(y);
  let pending = false; // a run of small segments ends at (px, py), not yet drawn
  let px = 0;
  let py = 0;
  if (options.move !== false) {
    bytes[at++] = 77; // M
    number(x);
    number(y);
  }
  // Segment k runs from the anchor at offset p to the one at offset s (the
  // closing segment of a closed path from the last anchor to the first).
  const last = closed && count > 1 ? count : count - 1;
  for (let k = 1, p = 0; k <= last && valid; k++, p += 6) {
    const s = k === count ? 0 : k * 6;
    const sx = segments[s];
    const sy = segments[s + 1];
    const ax = Math.round(A * sx + C * sy + E);
    const ay = Math.round(B * sx + D * sy + F);
    valid = withinRange(ax) && withinRange(ay);
    const line = straight(segments, p, s);
    let c1x = 0;
    let c1y = 0;
    let c2x = 0;
    let c2y = 0;
    if (!line) {
      const h1x = segments[p + 4];
      const h1y = segments[p + 5];
      const h2x = segments[s + 2];
      const h2y = segments[s + 3];
      c1x = Math.round(A * h1x + C * h1y + E);
      c1y = Math.round(B * h1x + D * h1y + F);
      c2x = Math.round(A * h2x + C * h2y + E);
      c2y = Math.round(B * h2x + D * h2y + F);
      valid = valid && withinRange(c1x) && withinRange(c1y) && withinRange(c2x) && withinRange(c2y);
    }
    if (k < count && small(ax, ay, c1x, c1y, c2x, c2y, line, x, y, t)) {
      pending = true;
      px = ax;
      py = ay;
      continue;
    }
    if (pending) {
      // The run ends where this segment starts, which may begin the next run.
      bytes[at++] = 108; // l
      number(px - x);
      number(py - y);
      x = px;
      y = py;
      pending = false;
      if (k < count && small(ax, ay, c1x, c1y, c2x, c2y, line, x, y, t)) {
        pending = true;
        px = ax;
        py = ay;
        continue;
      }
    }
    if (line) {
      if (k === count) break; // "z" draws the closing line
      bytes[at++] = 108; // l
    } else {
      bytes[at++] = 99; // c
      number(c1x - x);
      number(c1y - y);
      number(c2x - x);
      number(c2y - y);
    }
    number(ax - x);
    number(ay - y);
    x = ax;
    y = ay;
  }
  if (pending) {
    bytes[at++] = 108;
    number(px - x);
    number(py - y);
  }
  if (closed && count > 1) bytes[at++] = 122; // z
  return valid ? decoder.decode(bytes.subarray(0, at)) : '';
}

// The segment to (ax, ay), with handles (c1x, c1y) and (c2x, c2y) unless it
// is a line, stays within t of (x, y) along each axis.
function small(ax, ay, c1x, c1y, c2x, c2y, line, x, y, t) {
  return near(ax, ay, x, y, t) && (line || (near(c1x, c1y, x, y, t) && near(c2x, c2y, x, y, t)));
}

// (x, y) lies within t of (cx, cy) along each axis.
function near(x, y, cx, cy, t) {
  return x - cx <= t && cx - x <= t && y - cy <= t && cy - y <= t;
}

// The segment from the one at offset p to the one at offset s is a line.
function straight(segments, p, s) {
  return (
    segments[p + 4] === segments[p] &&
    segments[p + 5] === segments[p + 1] &&
    segments[s + 2] === segments[s] &&
    segments[s + 3] === segments[s + 1]
  );
}

// Integers a browser parses exactly; NaN and infinities fail too.
function withinRange(value) {
  return value > -1e15 && value < 1e15;
}

// The two digits of 0..99, for writing numbers two digits at a time.
const PAIRS = new Uint8Array(200);
for (let i = 0; i < 100; i++) {
  PAIRS[2 * i] = DIGIT_0 + ((i / 10) | 0);
  PAIRS[2 * i + 1] = DIGIT_0 + (i % 10);
}

// Writes an integer count of 10^-places units, preceded by a space when it
// has no minus sign.
function number(value) {
  let v = value;
  if (v < 0) {
    bytes[at++] = MINUS;
    v = -v;
  } else {
    bytes[at++] = SEPARATOR;
  }
  if (places > 0) {
    decimal(v);
    return;
  }
  whole(v);
}

// v / 10^places with its trailing zeros (and a bare point) left out.
function decimal(v) {
  const unit = 10 ** places;
  const high = Math.floor(v / unit);
  let low = v - high * unit;
  whole(high);
  if (low === 0) return;
  bytes[at++] = DOT;
  let digits = places;
  while (low % 10 === 0) {
    low /= 10;
    digits--;
  }
  const end = at + digits;
  for (let k = end - 1; k >= at; k--) {
    bytes[k] = DIGIT_0 + (low % 10);
    low = Math.floor(low / 10);
  }
  at = end;
}

// A non-negative integer without leading zeros.
function whole(v) {
  if (v < 1e4) {
    below10000(v);
  } else if (v < 1e8) {
    const high = (v / 1e4) | 0;
    below10000(high);
    four(v - high * 1e4);
  } else {
    const text = String(v);
    for (let k = 0; k < text.length; k++) bytes[at++] = text.charCodeAt(k);
  }
}

// 0..9999 without leading zeros.
function below10000(v) {
  if (v < 10) {
    bytes[at++] = DIGIT_0 + v;
  } else if (v < 100) {
    bytes[at++] = PAIRS[2 * v];
    bytes[at++] = PAIRS[2 * v + 1];
  } else if (v < 1000) {
    const high = (v / 100) | 0;
    const low = v - high * 100;
    bytes[at++] = DIGIT_0 + high;
    bytes[at++] = PAIRS[2 * low];
    bytes[at++] = PAIRS[2 * low + 1];
  } else {
    four(v);
  }
}

// 0..9999 as exactly four digits.
function four(v) {
  const high = (v / 100) | 0;
  const low = v - high * 100;
  bytes[at++] = PAIRS[2 * high];
  bytes[at++] = PAIRS[2 * high + 1];
  bytes[at++] = PAIRS[2 * low];
  bytes[at++] = PAIRS[2 * low + 1];
}
