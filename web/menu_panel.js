// One drop-down of the menu bar: its button opens and closes its panel, and
// a press outside both, or Escape, closes it.
export class MenuPanel {
  constructor(button, panel) {
    this.button = button;
    this.panel = panel;
    button.addEventListener('click', () => this.toggle());
    document.addEventListener('pointerdown', (event) => {
      if (!button.contains(event.target) && !panel.contains(event.target)) this.close();
    });
    document.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') this.close();
    });
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
    this.panel.hidden = true;
    this.button.setAttribute('aria-expanded', 'false');
  }
}
