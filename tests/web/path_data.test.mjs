// The view's path data read back with svgpath: every anchor and handle at
// its rounded place (no drift along long paths), lines as lines, the closing
// curve, and nothing drawn for points path data cannot hold.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import svgpath from 'svgpath';
import {pathData, quantumFor} from '../../web/path_data.js';

const absolute = (d) => svgpath(d).abs().segments;

test('path data puts every point at its rounded place, however long the path', () => {
  const count = 5001;
  const floats = new Float32Array(count * 6);
  for (let i = 0; i < count; i++) {
    const x = i * 0.37 - 900.123;
    const y = Math.sin(i) * (i % 2 === 0 ? 1234.5 : 3456789.1); // numbers of up to eight digits
    const curve = i % 3 !== 0 && i % 7 !== 1;
    floats.set([x, y, curve ? x - 0.77 : x, curve ? y + 2.2 : y, curve ? x + 0.41 : x, curve ? y - 1.9 : y], i * 6);
  }
  const q = quantumFor(1.5);
  assert.equal(q, 4);
  const at = (value, negate) => Math.round((negate ? -value : value) * q) + 0; // no -0
  const segments = absolute(pathData(floats, count, true, q));
  assert.deepEqual(segments[0], ['M', at(floats[0]), at(floats[1], true)]);
  for (let i = 1; i < count; i++) {
    const [p, s] = [(i - 1) * 6, i * 6];
    const anchor = [at(floats[s]), at(floats[s + 1], true)];
    const straight =
      floats[p + 4] === floats[p] &&
      floats[p + 5] === floats[p + 1] &&
      floats[s + 2] === floats[s] &&
      floats[s + 3] === floats[s + 1];
    const expected = straight
      ? ['L', ...anchor]
      : ['C', at(floats[p + 4]), at(floats[p + 5], true), at(floats[s + 2]), at(floats[s + 3], true), ...anchor];
    assert.deepEqual(segments[i], expected, `segment ${i}`);
  }
  // The closing segment is a curve (the last point has handles), then Z.
  assert.deepEqual(segments[count], [
    'C',
    at(floats[count * 6 - 2]),
    at(floats[count * 6 - 1], true),
    at(floats[2]),
    at(floats[3], true),
    at(floats[0]),
    at(floats[1], true),
  ]);
  assert.equal(segments[count + 1][0].toUpperCase(), 'Z');
});

test('a path with a point that is not finite, or beyond what path data holds, is not drawn', () => {
  const path = (value) => Float32Array.from([0, 0, 0, 0, 0, 0, value, 1, value, 1, value, 1]);
  assert.notEqual(pathData(path(3e7), 2, false, 1), '');
  for (const value of [NaN, Infinity, -Infinity, 3e38])
    assert.equal(pathData(path(value), 2, false, 1), '', String(value));
  assert.equal(pathData(new Float32Array(0), 0, false, 1), '');
});

test('segments denser than the tolerance are merged, and every anchor stays within it of a point drawn', () => {
  // A wavy ring of 2000 curve segments, 40 units across: at 4 units per
  // path data unit, a segment is about a tenth of a unit long.
  const count = 2000;
  const floats = new Float32Array(count * 6);
  for (let i = 0; i < count; i++) {
    const angle = (2 * Math.PI * i) / count;
    const r = 20 * (1 + 0.1 * Math.sin(9 * angle));
    const [x, y, tx, ty] = [r * Math.cos(angle), r * Math.sin(angle), -Math.sin(angle) * 0.02, Math.cos(angle) * 0.02];
    floats.set([x, y, x - tx, y - ty, x + tx, y + ty], i * 6);
  }
  const q = 4;
  const exact = absolute(pathData(floats, count, true, q, 0));
  const merged = absolute(pathData(floats, count, true, q, 1));
  // About one command per unit of the ring's 500 units of length.
  assert.ok(merged.length < count / 3, `${merged.length} commands`);
  const drawn = merged.filter((s) => s.length >= 3).map((s) => s.slice(-2));
  for (let i = 0; i < count; i++) {
    const [x, y] = [Math.round(floats[i * 6] * q), Math.round(-floats[i * 6 + 1] * q)];
    assert.ok(
      drawn.some(([dx, dy]) => Math.abs(dx - x) <= 1 && Math.abs(dy - y) <= 1),
      `anchor ${i} (${x}, ${y}) is near a point drawn`,
    );
  }
  assert.equal(merged.at(-1)[0].toUpperCase(), 'Z');
  assert.deepEqual(merged.at(-2).slice(-2), exact.at(-2).slice(-2), 'the closing curve ends on the first anchor');
});
