// The page's keyboard shortcuts: which key asks for what. The keys are the
// page's wherever the focus is, but in a field one types into: Ctrl/Cmd+S
// exports instead of saving the page, Space pans instead of pressing the
// button or ticking the box last clicked, and +, − and 0 (with Ctrl/Cmd
// too) zoom the view, not the browser's page. A control the keyboard gave
// the focus (Tab, the arrows of a menu) is pressed by Space as anywhere
// else, so the keyboard alone works every button and keeps its place. A
// key counts by the letter or digit of its place on a keyboard laid out
// for another script (web/shortcut_key.js). What each command does, and
// whether it can be done now, is the app's.
import {editCommandFor} from './edit_menu.js';
import {shortcutKey} from './shortcut_key.js';

export class Keyboard {
  // commands: what the keys ask for, each done by the app:
  //   shift(down)      Shift pressed (true) or released (false)
  //   abortPress()     Escape: takes back the tool's press under way
  //   edit(command)    Ctrl/Cmd+Z, Shift+Ctrl/Cmd+Z, Ctrl+Y: 'undo' or 'redo'
  //   select(all)      Ctrl/Cmd+A (true), Shift+Ctrl/Cmd+A (false)
  //   open(), export() Ctrl/Cmd+O, Ctrl/Cmd+S
  //   zoom(factor)     + and − (1.25, 0.8)
  //   fit()            0
  //   tool(name)       V 'selection', W 'slantWarper'
  //   spaceChanged()   Space pressed or released: a press on the view pans
  // guard(fn): runs a handler, showing what it throws.
  constructor(commands, guard) {
    this.commands = commands;
    this.spaceDown = false; // Space held: a press on the view pans
    // Whether the last input was a key, and whether the element that has
    // the focus got it from one; captured before any handler moves the focus.
    this.lastInputKey = false;
    this.focusFromKeys = false;
    window.addEventListener('keydown', () => (this.lastInputKey = true), true);
    window.addEventListener('pointerdown', () => (this.lastInputKey = false), true);
    document.addEventListener('focusin', () => (this.focusFromKeys = this.lastInputKey));
    window.addEventListener('keydown', (event) => guard(() => this.keyDown(event)));
    window.addEventListener('keyup', (event) => guard(() => this.keyUp(event)));
    window.addEventListener('blur', () => {
      this.spaceDown = false;
    });
  }

  keyDown(event) {
    const commands = this.commands;
    // Only a field one types into keeps its keys; a checkbox or a button
    // with the focus (the log's fold, the last button clicked) does not, so
    // a click on them never leaves the shortcuts to the browser.
    if (typesText(event.target) || document.querySelector('dialog[open]')) return;
    if (event.key === 'Shift') {
      commands.shift(true);
      return;
    }
    if (event.key === 'Escape') {
      commands.abortPress();
      return;
    }
    const edit = editCommandFor(event);
    if (edit) {
      event.preventDefault();
      commands.edit(edit);
      return;
    }
    const command = event.ctrlKey || event.metaKey;
    const key = shortcutKey(event);
    if (command && key === 'a') {
      // Shift+Ctrl+A deselects, as in drawing programs.
      event.preventDefault();
      commands.select(!event.shiftKey);
    } else if (command && key === 'o') {
      event.preventDefault();
      commands.open();
    } else if (command && key === 's') {
      // The browser would save the page itself; here a save is the export.
      event.preventDefault();
      commands.export();
    } else if (key === ' ' && this.focusFromKeys && isControl(document.activeElement)) {
      // The control the keyboard reached: Space presses it.
      return;
    } else if (key === ' ') {
      // Space pans; it must not also press the button or tick the box last
      // clicked.
      event.preventDefault();
      if (isControl(document.activeElement)) document.activeElement.blur();
      if (!this.spaceDown) {
        this.spaceDown = true;
        commands.spaceChanged();
      }
    } else if (!event.altKey && ['+', '=', '-', '0'].includes(key)) {
      // With Ctrl/Cmd too, as drawing programs take them: the view's zoom,
      // not the browser's zoom of the whole page.
      event.preventDefault();
      if (key === '0') commands.fit();
      else commands.zoom(key === '-' ? 0.8 : 1.25);
    } else if (command || event.altKey) {
      return;
    } else if (key === 'v') {
      commands.tool('selection');
    } else if (key === 'w') {
      commands.tool('slantWarper');
    }
  }

  keyUp(event) {
    if (event.key === 'Shift') this.commands.shift(false);
    if (event.key === ' ' && this.spaceDown) {
      this.spaceDown = false;
      this.commands.spaceChanged();
    }
  }
}

// Whether keys pressed in `target` are text typed into it.
function typesText(target) {
  if (target instanceof HTMLTextAreaElement || target instanceof HTMLSelectElement) return true;
  if (target instanceof HTMLElement && target.isContentEditable) return true;
  return target instanceof HTMLInputElement && !['checkbox', 'radio', 'button', 'file'].includes(target.type);
}

// Whether Space would press or tick `element`.
function isControl(element) {
  return element instanceof HTMLButtonElement || element instanceof HTMLInputElement;
}
