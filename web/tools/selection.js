// The selection tool: a click on a path selects it alone, Shift-click adds or
// removes it, a click on empty space clears the selection, and a marquee
// drag selects the paths it touches (with Shift, adds them). The host's
// selection is the only one: every change goes to it.
const MARQUEE_THRESHOLD = 3; // client pixels before a press becomes a marquee

export class SelectionTool {
  // host: {paths(), select(indices), view}
  constructor(host) {
    this.host = host;
    this.name = 'selection';
    this.press = null;
  }

  // hit: paint-order index of the path under the pointer, or -1.
  down(client, hit, shift) {
    this.press = {client, hit, shift, marquee: false};
  }

  move(client) {
    const press = this.press;
    if (!press) return;
    if (!press.marquee && Math.hypot(client.x - press.client.x, client.y - press.client.y) < MARQUEE_THRESHOLD) return;
    press.marquee = true;
    this.host.view.showMarquee(press.client, client);
  }

  up(client) {
    const press = this.press;
    this.press = null;
    if (!press) return;
    const paths = this.host.paths();
    const selected = new Set(paths.flatMap((path, index) => (path.selected ? [index] : [])));
    if (press.marquee) {
      this.host.view.showMarquee(null);
      const inside = touchedBy(paths, this.host.view.artworkPoint(press.client.x, press.client.y),
        this.host.view.artworkPoint(client.x, client.y));
      this.host.select(press.shift ? [...new Set([...selected, ...inside])] : inside);
    } else if (press.hit < 0) {
      if (!press.shift) this.host.select([]);
    } else if (press.shift) {
      if (selected.has(press.hit)) selected.delete(press.hit);
      else selected.add(press.hit);
      this.host.select([...selected]);
    } else {
      this.host.select([press.hit]);
    }
  }

  cancel() {
    if (this.press && this.press.marquee) this.host.view.showMarquee(null);
    this.press = null;
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
