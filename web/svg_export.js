// Writes the host's document as an SVG file: one <path> per host path in
// paint order, with the fill, stroke and stroke width the art was imported
// with, every coordinate in the shortest decimal form that reads back to the
// same 32-bit float, y negated (artwork y grows upwards). Paths with points
// that are not finite are left out and counted, since SVG cannot hold them.

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
  const box = left <= right ? [left - MARGIN, top - MARGIN, right - left + 2 * MARGIN, bottom - top + 2 * MARGIN] : [0, 0, 100, 100];
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
  const point = (i) => `${float(flat[i])} ${float(-flat[i + 1])}`;
  const parts = [`M${point(0)}`];
  const count = flat.length / 6;
  const edge = (from, to) => {
    const p = from * 6;
    const s = to * 6;
    const line = flat[p + 4] === flat[p] && flat[p + 5] === flat[p + 1] && flat[s + 2] === flat[s] && flat[s + 3] === flat[s + 1];
    return line ? `L${point(s)}` : `C${point(p + 4)} ${point(s + 2)} ${point(s)}`;
  };
  for (let i = 1; i < count; i++) parts.push(edge(i - 1, i));
  if (closed && count > 1) {
    const closing = edge(count - 1, 0);
    if (closing[0] === 'C') parts.push(closing);
    parts.push('Z');
  }
  return parts.join('');
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
