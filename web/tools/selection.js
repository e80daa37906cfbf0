// The selection tool: a click on art selects its element alone (every path
// of it, as a drawing program selects a compound path), Shift-click adds or
// removes the element, a click on empty space clears the selection, and a
// marquee drag selects the elements it touches (with Shift, adds them). The
// host's selection is the only one: every change goes to it.
const MARQUEE_THRESHOLD = 3; // client pixels before a press becomes a marquee

export class SelectionTool {
  // host: {paths(), select(places), wholeElements(places), view}
  constructor(host) {
    this.host = host;
    this.name = 'selection';
    this.press = null;
  }

  // record: a pointer record ({client, point, shift, hit}); hit is the host
  // places of the element under the pointer, [] over nothing.
  down(record) {
    this.press = {client: record.client, hit: record.hit, shift: record.shift, marquee: false};
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

// Paths with an anchor or handle inside the artwork rectangle between a and b.
export function touchedBy(paths, a, b) {
  const left = Math.min(a[0], b[0]);
  const right = Math.max(a[0], b[0]);
  const bottom = Math.min(a[1], b[1]);
  const top = Math.max(a[1], b[1]);
  const found = [];
  paths.forEach((path, index) => {
    const s = path.segments;
    for (let i = 0; i < s.length; i += 2) {
      if (s[i] >= left && s[i] <= right && s[i + 1] >= bottom && s[i + 1] <= top) {
        found.push(index);
        return;
      }
    }
  });
  return found;
}
