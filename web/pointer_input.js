// Pointer, touch and wheel over the view: mouse, pen and touch alike, the
// primary pointer's press, moves and release go to the active tool as
// pointer records, or pan the view (the middle button, or a press with
// Space held); two fingers put down together pan and zoom it, and the wheel
// scrolls and zooms it (web/view_navigation.js). Every gesture on the view
// is the page's own: the browser neither scrolls, flings nor opens its
// context menu there.

// How far (client pixels) a first finger may have moved when a second
// lands for the two to pan and zoom the view rather than the first to go on
// with its drag: fingers put down together never travel further.
const PINCH_SLOP = 24;

export class PointerInput {
  // svg: the view's element; view: its DocumentView (web/view.js);
  // navigation: its ViewNavigation; app: what the gestures reach of the page:
  //   tool()            the active tool (web/tools/)
  //   paths()           the host's paths, for the art under the pointer
  //   shiftLatched()    the palette's Shift, held for a screen with no keyboard
  //   spaceDown()       Space held: a press pans
  //   pointerMoved(record)  the pointer's new place, for the status bar
  //   panChanged()      a pan began or ended (the cursor shows it)
  //   toolReleased()    the tool's press ended (the document may have changed)
  //   released()        a press ended, the tool's or a pan's: what waited for it is done
  //   abortPress()      takes back the tool's press, as Escape does
  //   notice(text, kind), guard(fn)
  constructor(svg, view, navigation, app) {
    this.svg = svg;
    this.view = view;
    this.navigation = navigation;
    this.app = app;
    this.inside = false; // the pointer is over the view
    this.lastClient = null; // where the pointer was last seen over the view
    this.warnedOutside = false; // the person was told the drag goes on outside the view
    this.fingers = new Map(); // touch pointer id -> {x, y}, the touches on the view
    this.press = null; // {id, client} of the press the tool is working on, until its release
    this.listen();
  }

  // The client pixel the pointer rests on over the view, or null while it
  // is elsewhere.
  get hovering() {
    return this.inside ? this.lastClient : null;
  }

  // A gesture under way on the view: a pan, a pinch, or a press the tool is
  // working on.
  get gestureUnderway() {
    return this.navigation.panning || this.navigation.pinching || this.app.tool().busy;
  }

  listen() {
    const svg = this.svg;
    const guard = this.app.guard;
    // Mouse, pen and touch alike; only the primary pointer works the tools,
    // so a second finger on a touch screen neither moves nor ends a drag.
    const primary = (handler) => (event) => {
      if (event.isPrimary) guard(() => handler(event));
    };
    // Two fingers put down together pan and zoom the view.
    for (const type of ['pointerdown', 'pointermove', 'pointerup', 'pointercancel']) {
      svg.addEventListener(type, (event) => guard(() => this.touchChanged(event)));
    }
    svg.addEventListener(
      'pointerdown',
      primary((event) => this.pointerDown(event)),
    );
    svg.addEventListener(
      'pointermove',
      primary((event) => this.pointerMove(event)),
    );
    svg.addEventListener(
      'pointerup',
      primary((event) => this.pointerUp(event)),
    );
    svg.addEventListener(
      'lostpointercapture',
      primary(() => this.pointerLost()),
    );
    svg.addEventListener(
      'pointercancel',
      primary(() => this.pointerLost()),
    );
    svg.addEventListener('pointerenter', (event) => guard(() => this.pointerEnter(event)));
    svg.addEventListener('pointerleave', () => {
      this.inside = false;
    });
    svg.addEventListener('wheel', (event) => guard(() => this.wheel(event)), {passive: false});
    svg.addEventListener('contextmenu', (event) => event.preventDefault());
    // Every gesture on the view is the page's own, touches too: left to the
    // browser, a quick drag ends in a fling that swallows the next tap on a
    // control.
    for (const type of ['touchstart', 'touchmove']) {
      svg.addEventListener(type, (event) => event.preventDefault(), {passive: false});
    }
  }

  // What a tool is told of one pointer event: the client pixel, the
  // artwork point, Shift, Alt, and (asked for) the host places of the
  // element under the pointer and of the groups it is drawn in.
  record(event) {
    const client = {x: event.clientX, y: event.clientY};
    const view = this.view;
    const paths = this.app.paths;
    return {
      client,
      point: view.artworkPoint(client.x, client.y),
      shift: event.shiftKey || this.app.shiftLatched(),
      alt: event.altKey,
      get hit() {
        return view.artNear(client, paths());
      },
      get groups() {
        return view.groupsNear(client, paths());
      },
    };
  }

  // The host asks the slantWarper tool for its cursor when the pointer
  // comes over the view.
  pointerEnter(event) {
    this.inside = true;
    this.lastClient = {x: event.clientX, y: event.clientY};
    const tool = this.app.tool();
    if (tool.name === 'slantWarper' && !this.navigation.panning) {
      tool.trackCursor(this.view.artworkPoint(event.clientX, event.clientY));
    }
  }

  // Keeps track of the touches on the view; a second finger that lands
  // while the first has hardly moved takes back the first's press (as
  // Escape does) and the two pan and zoom the view until one lifts. A
  // second finger that lands later changes nothing: the first is drawing.
  touchChanged(event) {
    if (event.pointerType !== 'touch') return;
    const client = {x: event.clientX, y: event.clientY};
    if (event.type === 'pointerdown') {
      this.fingers.set(event.pointerId, client);
      const first = this.press && this.fingers.get(this.press.id);
      const travel = first ? Math.hypot(first.x - this.press.client.x, first.y - this.press.client.y) : Infinity;
      if (!event.isPrimary && this.fingers.size === 2 && travel <= PINCH_SLOP && !this.navigation.panning) {
        this.app.abortPress();
        this.navigation.startPinch([...this.fingers.values()]);
      }
    } else if (event.type === 'pointermove') {
      if (!this.fingers.has(event.pointerId)) return;
      this.fingers.set(event.pointerId, client);
      if (this.navigation.pinching) this.navigation.pinchTo([...this.fingers.values()]);
    } else {
      this.fingers.delete(event.pointerId);
      if (this.navigation.pinching) this.navigation.endPinch();
    }
  }

  pointerDown(event) {
    if (this.gestureUnderway) return;
    if (event.button === 1 || (event.button === 0 && this.app.spaceDown())) {
      event.preventDefault();
      this.svg.setPointerCapture(event.pointerId);
      this.navigation.startPan({x: event.clientX, y: event.clientY});
      this.app.panChanged();
      return;
    }
    if (event.button !== 0) return;
    this.svg.setPointerCapture(event.pointerId);
    this.press = {id: event.pointerId, client: {x: event.clientX, y: event.clientY}};
    this.warnedOutside = false;
    this.app.tool().down(this.record(event));
  }

  pointerMove(event) {
    const record = this.record(event);
    this.lastClient = record.client;
    this.app.pointerMoved(record);
    if (this.navigation.panning) {
      this.navigation.panTo(record.client);
      return;
    }
    const tool = this.app.tool();
    if (tool.busy && !this.view.contains(record.client.x, record.client.y) && !this.warnedOutside) {
      this.warnedOutside = true;
      this.app.notice('The pointer is outside the view: the drag goes on until you release the button.', 'info');
    }
    tool.move(record);
  }

  pointerUp(event) {
    if (this.navigation.panning) {
      this.navigation.endPan();
      this.app.panChanged();
      this.app.released();
      return;
    }
    this.press = null;
    this.app.tool().up(this.record(event));
    this.app.toolReleased();
    this.app.released();
  }

  // Capture ended without a release the page saw: the gesture ends where the
  // pointer was last seen, so the host never keeps a drag open.
  pointerLost() {
    if (this.navigation.panning) this.navigation.endPan();
    this.press = null;
    const tool = this.app.tool();
    const dragging = tool.dragging;
    tool.cancel();
    if (dragging) this.app.notice('The drag ended where the pointer was last seen in the page.', 'info');
    this.app.toolReleased();
    this.app.released();
  }

  // The wheel scrolls and zooms the view, but not under a press the tool
  // works on (a drag's stretch or a marquee would change under the pointer).
  wheel(event) {
    event.preventDefault();
    if (this.app.tool().busy) return;
    this.navigation.wheel(event);
  }
}
