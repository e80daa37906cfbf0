// The page by the keyboard alone, in Chromium and Firefox, with real key
// presses: Tab reaches each control, Space presses the one it reached
// without losing the focus, a menu closes when the focus leaves it, and
// (in Chromium's accessibility tree, which Firefox does not give out) each
// control a screen reader lands on says what it is.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {frames, launchBrowser, withFreshPage} from './browser.mjs';

const focused = (page) => page.evaluate(() => document.activeElement?.id ?? '');
const shown = (page) =>
  page.evaluate(() => ['edit', 'about'].filter((menu) => !document.getElementById(`${menu}-panel`).hidden));

async function press(page, key) {
  await page.keyboard.press(key);
  await frames(page);
}

// Tabs forward until `id` has the focus (at most 20 presses).
async function tabTo(page, id) {
  for (let i = 0; i < 20 && (await focused(page)) !== id; i++) await press(page, 'Tab');
  assert.equal(await focused(page), id, `Tab reaches #${id}`);
}

// The node of Chromium's accessibility tree that has the focus: {role, name, ...}.
async function focusedNode(page) {
  const find = (node) => (node.focused ? node : (node.children ?? []).map(find).find(Boolean));
  return find(await page.accessibility.snapshot({interestingOnly: false}));
}

for (const kind of ['chrome', 'firefox']) {
  const label = kind === 'chrome' ? 'Chromium' : 'Firefox';
  let session;
  before(async () => {
    session = await launchBrowser({browser: kind});
  });
  after(() => session?.close());

  test(`${label}: Space presses the control Tab reached and keeps the focus on it; after a click it pans`, async () => {
    await withFreshPage(session, async (page) => {
      const zoom = () => page.$eval('#status-zoom', (node) => node.textContent);
      const logShown = () => page.$eval('#log-shown', (box) => box.checked);
      const before = await zoom();
      await tabTo(page, 'zoom-in');
      await press(page, ' ');
      assert.notEqual(await zoom(), before, 'Space on Zoom in zoomed');
      assert.equal(await focused(page), 'zoom-in', 'and the focus stayed on it');
      await tabTo(page, 'log-shown');
      const wasShown = await logShown();
      await press(page, ' ');
      assert.equal(await logShown(), !wasShown, 'Space on the log switch folds or shows the log');
      assert.equal(await focused(page), 'log-shown');
      await page.click('.log label');
      await press(page, ' ');
      assert.equal(await logShown(), wasShown, 'after a click on it, Space pans and leaves the log as it is');
    });
  });

  test(`${label}: a menu closes when Tab takes the focus out of it, so two never hang open`, async () => {
    await withFreshPage(session, async (page) => {
      await tabTo(page, 'edit-button');
      await press(page, 'Enter');
      assert.deepEqual(await shown(page), ['edit'], 'Enter opens Edit');
      assert.equal(await focused(page), 'edit-deselect', 'at its first item that can be done now');
      await press(page, 'Escape');
      await press(page, ' ');
      assert.equal(await focused(page), 'edit-deselect', 'Space opens it there too');
      await page.keyboard.down('Shift');
      await press(page, 'Tab');
      await page.keyboard.up('Shift');
      assert.deepEqual([await focused(page), await shown(page)], ['edit-button', ['edit']], 'Shift+Tab to its button');
      await press(page, 'Tab');
      assert.deepEqual([await focused(page), await shown(page)], ['edit-deselect', ['edit']], 'Tab into it again');
      await press(page, 'Tab');
      assert.deepEqual([await focused(page), await shown(page)], ['about-button', []], 'out of it, Edit closes');
      await press(page, 'ArrowDown');
      await press(page, 'Tab');
      await press(page, 'Tab');
      assert.deepEqual(await shown(page), [], 'About closes too when the focus moves on from it');
    });
  });
}

// A test on a Chromium session of its own, whose accessibility tree it reads.
function inChromium(name, body) {
  test(`Chromium: ${name}`, async () => {
    const session = await launchBrowser();
    try {
      await withFreshPage(session, body);
    } finally {
      await session.close();
    }
  });
}

inChromium(
  'the Edit and About menus are menus to a screen reader, their items named without the keys',
  async (page) => {
    const node = async () => {
      const {role, name, haspopup, expanded, keyshortcuts} = await focusedNode(page);
      return {role, name, haspopup, expanded, keyshortcuts};
    };
    await tabTo(page, 'edit-button');
    assert.deepEqual(await node(), {
      role: 'button',
      name: 'Edit',
      haspopup: 'menu',
      expanded: false,
      keyshortcuts: undefined,
    });
    await press(page, 'ArrowDown');
    assert.deepEqual(
      await node(),
      {role: 'menuitem', name: 'Deselect', haspopup: undefined, expanded: undefined, keyshortcuts: 'Shift+Control+A'},
      'the one item that can be done now',
    );
    await press(page, 'Escape');
    await tabTo(page, 'about-button');
    await press(page, 'ArrowDown');
    assert.deepEqual(
      await node(),
      {role: 'menuitem', name: 'About p.k plug-ins', haspopup: 'menu', expanded: false, keyshortcuts: undefined},
      'the About menu opens on an item that holds a closed submenu',
    );
    await press(page, 'Enter');
    assert.equal((await node()).expanded, true, 'Enter opens the submenu, and it says so');
    await press(page, 'ArrowDown');
    assert.deepEqual(await node().then(({role, name}) => [role, name]), ['menuitem', 'slantWarper...']);
    // The about text's dialog is named by its text, so it is read as it opens.
    await press(page, 'Enter');
    await page.waitForSelector('#alert[open]');
    const find = (tree) => (tree.role === 'dialog' ? tree : (tree.children ?? []).map(find).find(Boolean));
    const dialog = find(await page.accessibility.snapshot({interestingOnly: false}));
    assert.match(dialog.name, /^slantWarper 0\.1b/);
    assert.deepEqual(await node().then(({role, name}) => [role, name]), ['button', 'OK'], 'the focus on its OK');
    await press(page, 'Escape');
    assert.equal(await focused(page), 'about-button', 'Escape closes it, the focus back on the About menu');
  },
);

inChromium("the palette's buttons are named for what they do, not by their glyphs", async (page) => {
  const names = [];
  for (const id of ['tool-selection', 'tool-slantwarper', 'zoom-in', 'zoom-out', 'zoom-fit']) {
    await tabTo(page, id);
    const {name, pressed} = await focusedNode(page);
    names.push([name, pressed]);
  }
  assert.deepEqual(names, [
    ['Selection', false],
    ['slantWarper', true],
    ['Zoom in', undefined],
    ['Zoom out', undefined],
    ['Fit the selection', undefined],
  ]);
});

inChromium(
  'a notice is said by a live region that was there before it: information politely, a warning at once',
  async (page) => {
    const cdp = await page.createCDPSession();
    // The live regions the accessibility tree holds: [role, the text in them].
    const live = async () => {
      const {nodes} = await cdp.send('Accessibility.getFullAXTree');
      const byId = new Map(nodes.map((node) => [node.nodeId, node]));
      const text = (node) =>
        node.role?.value === 'StaticText'
          ? node.name.value
          : (node.childIds ?? []).map((id) => text(byId.get(id))).join('');
      return nodes
        .filter((node) => !node.ignored && ['status', 'alert'].includes(node.role?.value))
        .map((node) => [node.role.value, text(node)]);
    };
    assert.deepEqual(
      await live(),
      [
        ['status', ''],
        ['alert', ''],
      ],
      'both are there, silent, before any notice',
    );
    await page.keyboard.down('Control');
    await press(page, 'z');
    await page.keyboard.up('Control');
    assert.deepEqual(await live(), [
      ['status', 'Nothing to undo.'],
      ['alert', ''],
    ]);
    await page.keyboard.down('Control');
    await page.keyboard.down('Shift');
    await press(page, 'a');
    await page.keyboard.up('Shift');
    await page.keyboard.up('Control');
    const {x, y} = await page.$eval('#document', (view) => view.getBoundingClientRect().toJSON());
    await page.mouse.move(x + 200, y + 200);
    await page.mouse.down();
    await page.mouse.up();
    await frames(page);
    const [, alert] = await live();
    assert.match(alert[1], /^Nothing is selected/, 'a drag with nothing selected is told at once');
    await cdp.detach();
  },
);
