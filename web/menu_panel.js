// One drop-down of the menu bar: its button opens and closes its panel, and
// a press outside both, or Escape, closes it. As in a drawing program's
// menus, the arrow keys move through the items that can be chosen now (an
// arrow on the button opens the panel at its first or last item, Enter or
// Space at its first), and closing the panel from an item, by choosing it
// or by Escape, gives the focus back to the button, so that the keyboard
// alone reaches every command and never loses its place. The focus leaving
// the button and the panel (Tab on from the last item, Shift+Tab back past
// the button) closes it, so a menu the keyboard left never hangs open over
// the page or over the next menu.
const STEPS = {ArrowDown: 1, ArrowUp: -1};

export class MenuPanel {
  constructor(button, panel) {
    this.button = button;
    this.panel = panel;
    // Opened by Enter or Space (a click of detail 0), the panel takes the
    // focus at its first item, as a menu button does.
    button.addEventListener('click', (event) => {
      this.toggle();
      if (!this.panel.hidden && event.detail === 0) this.focusNext(1);
    });
    document.addEventListener('pointerdown', (event) => {
      if (!button.contains(event.target) && !panel.contains(event.target)) this.close();
    });
    document.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') this.close();
    });
    for (const element of [button, panel]) {
      element.addEventListener('focusout', (event) => {
        const to = event.relatedTarget;
        if (to && !button.contains(to) && !panel.contains(to)) this.hide();
      });
      element.addEventListener('keydown', (event) => {
        const step = STEPS[event.key];
        if (!step || event.altKey || event.ctrlKey || event.metaKey || event.shiftKey) return;
        event.preventDefault();
        this.open();
        this.focusNext(step);
      });
    }
  }

  toggle() {
    if (this.panel.hidden) this.open();
    else this.close();
  }

  open() {
    this.panel.hidden = false;
    this.button.setAttribute('aria-expanded', 'true');
  }

  close() {
    if (this.panel.contains(document.activeElement)) this.button.focus();
    this.hide();
  }

  // Closes the panel wherever the focus is.
  hide() {
    this.panel.hidden = true;
    this.button.setAttribute('aria-expanded', 'false');
  }

  // Moves the focus `step` items on from the focused one, round the ends,
  // over the items shown and enabled (a closed submenu's are not shown);
  // from outside the items, to the first (step 1) or the last.
  focusNext(step) {
    const items = [...this.panel.querySelectorAll('.menu-item')].filter(
      (item) => !item.disabled && item.getClientRects().length > 0,
    );
    if (items.length === 0) return;
    const at = items.indexOf(document.activeElement);
    const next = at < 0 ? (step > 0 ? 0 : items.length - 1) : (at + step + items.length) % items.length;
    items[next].focus();
  }
}
