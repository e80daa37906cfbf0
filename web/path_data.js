// Path data for SVG from host segments, fast enough to rebuild 10^5 segments
// within a frame. Coordinates are written as integers in units of 1/quantum
// artwork unit with y negated (artwork y grows upwards, SVG y downwards), as
// relative commands from the rounded current point, so rounding never
// accumulates along a path. Straight segments (both handles on their anchors)
// become "l", others "c". Digits are written into one reused byte buffer and
// decoded once, which costs a fraction of number-to-string conversions.

const SEPARATOR = 32;
const MINUS = 45;
const DIGIT_0 = 48;
const decoder = new TextDecoder('latin1');
let bytes = new Uint8Array(1 << 16);
let at = 0;

// The power of two that puts a quarter to an eighth of a view pixel in one unit
// of path data at this zoom, so paths look exact at this zoom and pan needs no
// rebuild.
export function quantumFor(zoom) {
  return 2 ** Math.ceil(Math.log2(Math.max(zoom, 2 ** -20) * 4));
}

// `segments`: 6 floats per segment (anchor, in, out); `count` segments.
// Returns '' when a point is not finite or beyond what path data can show,
// so a path with such points is not drawn rather than drawn wrong.
export function pathData(segments, count, closed, quantum) {
  if (count < 1) return '';
  const need = count * 80 + 16;
  if (bytes.length < need) bytes = new Uint8Array(need + (need >> 1));
  at = 0;
  const q = quantum;
  let x = Math.round(segments[0] * q);
  let y = Math.round(-segments[1] * q);
  let valid = withinRange(x) && withinRange(y);
  bytes[at++] = 77; // M
  number(x);
  number(y);
  const end = count * 6;
  for (let s = 6, p = 0; s < end && valid; p = s, s += 6) {
    const ax = Math.round(segments[s] * q);
    const ay = Math.round(-segments[s + 1] * q);
    valid = withinRange(ax) && withinRange(ay);
    if (straight(segments, p, s)) {
      bytes[at++] = 108; // l
    } else {
      const c1x = Math.round(segments[p + 4] * q);
      const c1y = Math.round(-segments[p + 5] * q);
      const c2x = Math.round(segments[s + 2] * q);
      const c2y = Math.round(-segments[s + 3] * q);
      valid = valid && withinRange(c1x) && withinRange(c1y) && withinRange(c2x) && withinRange(c2y);
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
  if (closed && valid && count > 1) {
    const s = 0;
    const p = end - 6;
    if (!straight(segments, p, s)) {
      const c1x = Math.round(segments[p + 4] * q);
      const c1y = Math.round(-segments[p + 5] * q);
      const c2x = Math.round(segments[s + 2] * q);
      const c2y = Math.round(-segments[s + 3] * q);
      valid = withinRange(c1x) && withinRange(c1y) && withinRange(c2x) && withinRange(c2y);
      bytes[at++] = 99;
      number(c1x - x);
      number(c1y - y);
      number(c2x - x);
      number(c2y - y);
      number(Math.round(segments[0] * q) - x);
      number(Math.round(-segments[1] * q) - y);
    }
    bytes[at++] = 122; // z
  }
  return valid ? decoder.decode(bytes.subarray(0, at)) : '';
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

// Writes an integer, preceded by a space when it has no minus sign.
function number(value) {
  let v = value;
  if (v < 0) {
    bytes[at++] = MINUS;
    v = -v;
  } else {
    bytes[at++] = SEPARATOR;
  }
  if (v < 10) {
    bytes[at++] = DIGIT_0 + v;
    return;
  }
  if (v < 1e9) {
    let digits = 2;
    for (let limit = 100; v >= limit; limit *= 10) digits++;
    let e = at + digits;
    at = e;
    while (v >= 10) {
      const rest = (v / 10) | 0;
      bytes[--e] = DIGIT_0 + v - rest * 10;
      v = rest;
    }
    bytes[--e] = DIGIT_0 + v;
    return;
  }
  const text = String(v);
  for (let k = 0; k < text.length; k++) bytes[at++] = text.charCodeAt(k);
}
