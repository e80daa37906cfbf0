// The host's About menu as the plug-in left it: the items of the "About"
// group, each group hanging from an item as its submenu. Every item is an
// element carrying data-menu-item with its text; choosing one that has no
// submenu hands its text to onChoose.
import {MenuPanel} from './menu_panel.js';

export class AboutMenu extends MenuPanel {
  constructor(button, panel, onChoose) {
    super(button, panel);
    this.onChoose = onChoose;
    this.shown = '';
  }

  // items: [{group, text}]; groups: [{name, parent}] (parent: the text of the
  // item the group hangs from, or null).
  update(items, groups = []) {
    const key = JSON.stringify([items, groups]);
    if (key === this.shown) return;
    this.shown = key;
    this.panel.replaceChildren(this.list('About', items, groups, new Set()));
  }

  list(group, items, groups, seen) {
    const list = document.createElement('ul');
    list.className = 'menu-list';
    list.setAttribute('role', 'menu');
    list.setAttribute('aria-label', group);
    seen.add(group);
    const own = items.filter((item) => item.group === group);
    if (own.length === 0) {
      const empty = document.createElement('li');
      empty.className = 'menu-empty';
      empty.setAttribute('role', 'menuitem');
      empty.setAttribute('aria-disabled', 'true');
      empty.textContent = '(no items)';
      list.append(empty);
    }
    for (const item of own) {
      const entry = document.createElement('li');
      entry.setAttribute('role', 'none');
      const label = document.createElement('button');
      label.type = 'button';
      label.setAttribute('role', 'menuitem');
      label.className = 'menu-item';
      label.dataset.menuItem = item.text;
      label.textContent = item.text;
      entry.append(label);
      const submenu = groups.find((g) => g.parent === item.text && !seen.has(g.name));
      if (submenu) {
        entry.classList.add('has-submenu');
        entry.append(this.list(submenu.name, items, groups, seen));
        label.setAttribute('aria-haspopup', 'menu');
        unfold(entry, false);
        label.addEventListener('click', () => unfold(entry, !entry.classList.contains('open')));
        // Hovering opens a submenu; a touch or a pen's tap only toggles it,
        // since its pointerenter comes just before the click.
        label.addEventListener('pointerenter', (event) => {
          if (event.pointerType === 'mouse') unfold(entry, true);
        });
      } else {
        label.addEventListener('click', () => {
          this.close();
          this.onChoose(item.text);
        });
      }
      list.append(entry);
    }
    return list;
  }

  hide() {
    super.hide();
    for (const entry of this.panel.querySelectorAll('.open')) unfold(entry, false);
  }
}

// Opens or closes the submenu hanging from `entry` (an item's li), and its
// item says which to a screen reader.
function unfold(entry, open) {
  entry.classList.toggle('open', open);
  entry.firstElementChild.setAttribute('aria-expanded', String(open));
}
