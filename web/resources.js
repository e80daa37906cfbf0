// The plug-in's own cursor and icon for the page, from the same text pixel
// maps the Windows build turns into resources (resources/cursor.txt,
// resources/icon.txt): "cursor W H" or "icon W H", "hotspot X Y", sixteen
// "colour INDEX R G B" lines, "key CHAR INDEX" lines, then "picture" and H
// rows of W characters where "." is transparent; "#" starts a comment.

export class PixelMapError extends Error {}

export function parsePixelMap(text) {
  const map = {kind: null, width: 0, height: 0, hotspot: null, palette: [], keys: new Map(), rows: []};
  let inPicture = false;
  const lines = text.split(/\r?\n/);
  for (let number = 1; number <= lines.length; number++) {
    const raw = lines[number - 1];
    const fail = (what) => {
      throw new PixelMapError(`line ${number}: ${what}`);
    };
    if (inPicture) {
      if (map.rows.length === map.height) continue;
      if (raw.length !== map.width) fail(`picture row is ${raw.length} characters wide, not ${map.width}`);
      for (const char of raw)
        if (char !== '.' && !map.keys.has(char)) fail(`picture uses "${char}", which no key defines`);
      map.rows.push(raw);
      continue;
    }
    const words = raw.split('#')[0].trim().split(/\s+/).filter(Boolean);
    if (words.length === 0) continue;
    const [directive, ...args] = words;
    const integer = (word) => (/^\d+$/.test(word) ? Number(word) : fail(`"${word}" is not a whole number`));
    if ((directive === 'cursor' || directive === 'icon') && args.length === 2) {
      map.kind = directive;
      [map.width, map.height] = args.map(integer);
    } else if (directive === 'hotspot' && args.length === 2) {
      map.hotspot = args.map(integer);
    } else if (directive === 'colour' && args.length === 4) {
      const [index, ...rgb] = args.map(integer);
      if (index !== map.palette.length) fail(`palette entry ${index} is out of order`);
      map.palette.push(rgb);
    } else if (directive === 'key' && args.length === 2 && args[0].length === 1) {
      map.keys.set(args[0], integer(args[1]));
    } else if (directive === 'picture' && args.length === 0) {
      inPicture = true;
    } else {
      fail(`cannot read "${raw.trim()}"`);
    }
  }
  if (!map.kind || map.rows.length !== map.height)
    throw new PixelMapError('the map needs a kind line and a full picture');
  if (map.kind === 'cursor' && !map.hotspot) throw new PixelMapError('a cursor needs a hot spot');
  return map;
}

// A PNG data URL of the picture, each map pixel `scale` by `scale` pixels.
export function pixelMapImage(map, scale = 1) {
  const canvas = document.createElement('canvas');
  canvas.width = map.width * scale;
  canvas.height = map.height * scale;
  const context = canvas.getContext('2d');
  map.rows.forEach((row, y) => {
    [...row].forEach((char, x) => {
      if (char === '.') return;
      const [r, g, b] = map.palette[map.keys.get(char)];
      context.fillStyle = `rgb(${r} ${g} ${b})`;
      context.fillRect(x * scale, y * scale, scale, scale);
    });
  });
  return canvas.toDataURL('image/png');
}

// {icon: data URL, cursor: CSS cursor value with the map's hot spot}.
export async function loadPluginImages(base = '/resources/') {
  const [icon, cursor] = await Promise.all(
    ['icon.txt', 'cursor.txt'].map(async (name) => {
      const response = await fetch(base + name);
      if (!response.ok) throw new PixelMapError(`${name}: ${response.status} ${response.statusText}`);
      return parsePixelMap(await response.text());
    }),
  );
  const [hotX, hotY] = cursor.hotspot;
  return {
    icon: pixelMapImage(icon),
    cursor: `url(${pixelMapImage(cursor)}) ${hotX} ${hotY}, crosshair`,
    cursorMap: cursor,
  };
}
