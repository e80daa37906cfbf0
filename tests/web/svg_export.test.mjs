// Export SVG read back by the importer: the same segments to the last float32
// bit, the same paint, and paths that SVG cannot hold left out and counted.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {exportSvg} from '../../web/svg_export.js';
import {importSvg} from '../../web/svg_import.js';
import {parseXml} from './xml.mjs';

test('an exported document reads back as the same paths and paint', () => {
  const f = Math.fround;
  const paths = [
    {
      name: 'wave',
      closed: false,
      segments: Float32Array.from([
        0,
        0,
        0,
        0,
        f(10.1),
        f(20.7),
        30,
        f(-0.3),
        f(25.5),
        1e-7,
        40,
        5,
        1e6,
        f(-3.3),
        1e6,
        f(-3.3),
        1e6,
        f(-3.3),
      ]),
    },
    {
      name: 'box & <co>',
      closed: true,
      segments: Float32Array.from([0, 0, 0, 0, 0, 0, 5, 0, 5, 0, 5, 0, 5, 5, 5, 5, 5, 5, 0, 5, f(-1.5), 6, 0, 5]),
    },
    {name: 'lost', closed: false, segments: Float32Array.from([0, 0, 0, 0, 0, 0, NaN, 1, 1, 1, 1, 1])},
  ];
  const styles = new Map([
    ['wave', {fill: 'none', stroke: '#123456', strokeWidth: f(2.5)}],
    ['box & <co>', {fill: 'rgb(10, 20, 30)', stroke: 'none', strokeWidth: 1}],
  ]);
  const {text, written, skipped} = exportSvg(paths, (name) => styles.get(name));
  assert.deepEqual([written, skipped], [2, 1]);
  const back = importSvg(text, parseXml).paths;
  assert.deepEqual(
    back.map((path) => path.name),
    ['wave', 'box & <co>'],
  );
  back.forEach((path, i) => {
    assert.equal(path.closed, paths[i].closed);
    assert.deepEqual(path.segments.flat(), [...paths[i].segments], path.name);
    const style = styles.get(path.name);
    assert.deepEqual([path.fill, path.stroke, path.strokeWidth], [style.fill, style.stroke, style.strokeWidth]);
  });
});
