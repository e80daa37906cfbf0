// Pictures for the drawing tests: an SVG text rendered by librsvg's
// rsvg-convert, screenshots decoded, and how many of the drawn pixels two
// pictures of the same size disagree on.
import {spawn} from 'node:child_process';
import {PNG} from 'pngjs';

export const RSVG = process.env.SW_RSVG ?? '/usr/bin/rsvg-convert';

// A promise of {width, height, data (RGBA)}: an SVG text drawn by
// rsvg-convert on the file's own canvas.
export function rsvgPicture(svgText) {
  return new Promise((resolve, reject) => {
    const child = spawn(RSVG, ['--format', 'png'], {stdio: ['pipe', 'pipe', 'ignore']});
    const chunks = [];
    child.stdout.on('data', (chunk) => chunks.push(chunk));
    child.on('error', reject);
    child.on('close', (status) => {
      if (status !== 0) reject(new Error(`rsvg-convert failed (${status})`));
      else resolve(PNG.sync.read(Buffer.concat(chunks)));
    });
    child.stdin.end(svgText);
  });
}

export function decodePng(buffer) {
  return PNG.sync.read(Buffer.from(buffer));
}

export function encodePng(picture) {
  const png = new PNG({width: picture.width, height: picture.height});
  png.data = Buffer.from(picture.data);
  return PNG.sync.write(png);
}

// Pixels laid on white, compared channel by channel: `drawn` counts the
// pixels that are not white in either picture, `differing` those among
// them where a channel differs by more than `threshold` (of 255), so the
// antialiasing of an edge moved by a fraction of a pixel does not count.
// With `slack` 1, a pixel matches where each channel lies within the range
// the other picture's pixels around it (3 by 3) span, widened by the
// threshold: pictures placed a fraction of a pixel apart by two drawing
// paths then agree, an edge blended on one side matching the two pixels it
// lies between on the other.
export function comparePictures(a, b, {threshold = 64, slack = 0} = {}) {
  if (a.width !== b.width || a.height !== b.height) {
    throw new Error(`pictures of ${a.width}x${a.height} and ${b.width}x${b.height} pixels`);
  }
  const matches = (pa, picture, x, y) => {
    for (let k = 0; k < 3; k++) {
      let low = 255;
      let high = 0;
      for (let dy = -slack; dy <= slack; dy++) {
        for (let dx = -slack; dx <= slack; dx++) {
          const [nx, ny] = [x + dx, y + dy];
          if (nx < 0 || ny < 0 || nx >= picture.width || ny >= picture.height) continue;
          const value = onWhite(picture.data, (ny * picture.width + nx) * 4)[k];
          low = Math.min(low, value);
          high = Math.max(high, value);
        }
      }
      if (pa[k] < low - threshold || pa[k] > high + threshold) return false;
    }
    return true;
  };
  let drawn = 0;
  let differing = 0;
  for (let y = 0; y < a.height; y++) {
    for (let x = 0; x < a.width; x++) {
      const i = (y * a.width + x) * 4;
      const pa = onWhite(a.data, i);
      const pb = onWhite(b.data, i);
      if (Math.min(pa[0], pa[1], pa[2], pb[0], pb[1], pb[2]) >= 250) continue;
      drawn++;
      if (!matches(pa, b, x, y) || !matches(pb, a, x, y)) differing++;
    }
  }
  return {drawn, differing, fraction: drawn === 0 ? 0 : differing / drawn};
}

function onWhite(data, i) {
  const alpha = data[i + 3] / 255;
  return [0, 1, 2].map((k) => data[i + k] * alpha + 255 * (1 - alpha));
}
