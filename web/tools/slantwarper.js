// The slantWarper tool as the host drives it: the pointer's press, moves and
// release become the plug-in's mouse messages with the artwork point and the
// keyboard's Shift at that moment; the host asks for the cursor when the
// pointer comes over the view. Shift pressed or released during a drag
// takes effect at once, as a drag message at the same point.
export class SlantWarperTool {
  // host: {send(event), hasSelection(), paths(), notice(text, kind)}
  constructor(host) {
    this.host = host;
    this.name = 'slantWarper';
    this.dragging = false;
    this.start = null; // where the drag under way was pressed: Escape releases it there
    this.last = null;
    this.shift = false;
  }

  // Between the press and its release: a drag under way.
  get busy() {
    return this.dragging;
  }

  trackCursor(point) {
    if (!this.dragging) this.host.send({caller: 'AI Tool', selector: 'AI Track Cursor', point});
  }

  // record: a pointer record ({client, point, shift, hit}).
  down({point, shift}) {
    if (!this.host.hasSelection()) {
      this.host.notice(
        this.host.paths().length === 0
          ? 'The drawing has no paths or shapes: the drag changes nothing.'
          : 'Nothing is selected: the drag changes nothing. Select paths with the selection tool (V) or Ctrl+A first.',
        'warning',
      );
    }
    this.dragging = true;
    this.start = point;
    this.last = point;
    this.shift = shift;
    this.host.send({caller: 'AI Tool', selector: 'AI Mouse Down', point, shift});
  }

  move({point, shift}) {
    if (!this.dragging) return;
    this.last = point;
    this.shift = shift;
    this.host.send({caller: 'AI Tool', selector: 'AI Mouse Drag', point, shift});
  }

  shiftChanged(shift) {
    if (this.dragging && shift !== this.shift) this.move({point: this.last, shift});
  }

  up({point, shift}) {
    if (!this.dragging) return;
    this.dragging = false;
    this.host.send({caller: 'AI Tool', selector: 'AI Mouse Up', point, shift});
  }

  // The drag ends where the pointer was last seen when the page loses it.
  cancel() {
    if (this.dragging) this.up({point: this.last, shift: this.shift});
  }

  // The drag taken back: released where it was pressed, which the plug-in
  // undoes as a click.
  abort() {
    if (this.dragging) this.up({point: this.start, shift: this.shift});
  }

  // A new world replaced the one the drag was in: nothing more to send.
  forget() {
    this.dragging = false;
  }
}
