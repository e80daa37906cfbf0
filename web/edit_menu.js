// The Edit menu: Undo and Redo of the host document's history, chosen from
// the menu or with Ctrl/Cmd+Z, Shift+Ctrl/Cmd+Z and Ctrl+Y, and Select All
// and Deselect (Ctrl/Cmd+A, Shift+Ctrl/Cmd+A), which a touch screen reaches
// only here. Each item shows whether it can be done now (a shortcut during
// a drag waits for its release: app.js, whenReleased).
import {MenuPanel} from './menu_panel.js';
import {shortcutKey} from './shortcut_key.js';

export class EditMenu extends MenuPanel {
  // button, panel: the menu's elements, the panel holding an element with
  // data-edit="undo", "redo", "selectAll" and "deselect"; perform(command)
  // does that command now.
  constructor(button, panel, perform) {
    super(button, panel);
    this.perform = perform;
    this.items = new Map([...panel.querySelectorAll('[data-edit]')].map((item) => [item.dataset.edit, item]));
    for (const [command, item] of this.items) {
      item.addEventListener('click', () => {
        this.close();
        this.perform(command);
      });
    }
  }

  // Which commands can be done now: {undo, redo, selectAll, deselect}.
  update(possible) {
    for (const [command, item] of this.items) item.disabled = !possible[command];
  }
}

// The Edit command a key press asks for: 'undo', 'redo' or null.
export function editCommandFor(event) {
  if (event.altKey || !(event.ctrlKey || event.metaKey)) return null;
  const key = shortcutKey(event);
  if (key === 'z') return event.shiftKey ? 'redo' : 'undo';
  if (key === 'y' && event.ctrlKey && !event.shiftKey) return 'redo';
  return null;
}
