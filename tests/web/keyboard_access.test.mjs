// The page by the keyboard alone, in Chromium and Firefox, with real key
// presses: Space presses the control Tab reached, a menu opens at its first
// item and closes when the focus leaves it, and (in Chromium's
// accessibility tree, which Firefox does not give out) each control and
// notice a screen reader meets says what it is.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {frames, launchBrowser, withFreshPage} from './browser.mjs';

const focused = (page) => page.evaluate(() => document.activeElement?.id ?? '');
const shown = (page) =>
  page.evaluate(() => [...document.querySelectorAll('.menu-panel:not([hidden])')].map((p) => p.id));

// Presses the keys together, as a chord.
async function press(page, ...keys) {
  for (const key of keys) await page.keyboard.down(key);
  for (const key of keys.reverse()) await page.keyboard.up(key);
  await frames(page);
}

async function tabTo(page, id) {
  for (let i = 0; i < 20 && (await focused(page)) !== id; i++) await press(page, 'Tab');
  assert.equal(await focused(page), id, `Tab reaches #${id}`);
}

// What a screen reader says of the focused control, from Chromium's tree.
async function said(page) {
  const find = (node) => (node.focused ? node : (node.children ?? []).map(find).find(Boolean));
  const {role, name, haspopup, expanded, keyshortcuts, pressed} = find(await page.accessibility.snapshot());
  const popup = haspopup ? ` ${haspopup} ${expanded ? 'open' : 'closed'}` : '';
  return `${role} "${name}"${popup}${keyshortcuts ? ` ${keyshortcuts}` : ''}${pressed ? ' pressed' : ''}`;
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
      assert.deepEqual([(await zoom()) !== before, await focused(page)], [true, 'zoom-in'], 'zoomed, focus kept');
      await tabTo(page, 'log-shown');
      await press(page, ' ');
      assert.deepEqual([await logShown(), await focused(page)], [false, 'log-shown'], 'the log folded, focus kept');
      await page.click('.log label');
      await press(page, ' ');
      assert.equal(await logShown(), true, 'after a click on it, Space pans and leaves the log as it is');
    });
  });

  test(`${label}: Enter and Space open a menu at its first item; the focus leaving it closes it`, async () => {
    await withFreshPage(session, async (page) => {
      const state = async () => [await focused(page), await shown(page)];
      await tabTo(page, 'edit-button');
      await press(page, 'Enter');
      assert.deepEqual(await state(), ['edit-deselect', ['edit-panel']], 'the one item that can be done now');
      await press(page, 'Escape');
      await press(page, ' ');
      await press(page, 'Shift', 'Tab');
      assert.deepEqual(await state(), ['edit-button', ['edit-panel']], 'Space opened it; Shift+Tab to its button');
      await press(page, 'Tab');
      await press(page, 'Tab');
      assert.deepEqual(await state(), ['about-button', []], 'Tab out of it closes it');
      await press(page, 'ArrowDown');
      await press(page, 'Tab');
      await press(page, 'Tab');
      assert.deepEqual(await shown(page), [], 'and About when the focus moves on from it');
    });
  });

  if (kind !== 'chrome') continue;

  test('Chromium: the palette, the menus and the about text say to a screen reader what they are', async () => {
    await withFreshPage(session, async (page) => {
      const names = [];
      for (const id of ['tool-selection', 'tool-slantwarper', 'zoom-in', 'zoom-out', 'zoom-fit']) {
        await tabTo(page, id);
        names.push(await said(page));
      }
      const palette = [
        '"Selection" V',
        '"slantWarper" W pressed',
        '"Zoom in" +',
        '"Zoom out" -',
        '"Fit the selection" 0',
      ];
      assert.deepEqual(
        names,
        palette.map((name) => `button ${name}`),
      );
      await tabTo(page, 'about-button');
      assert.equal(await said(page), 'button "About" menu closed');
      await press(page, 'Shift', 'Tab');
      await press(page, 'ArrowDown');
      assert.equal(await said(page), 'menuitem "Deselect" Shift+Control+A', 'named without its keys');
      await press(page, 'Escape');
      await press(page, 'Tab');
      await press(page, 'Enter');
      assert.equal(await said(page), 'menuitem "About p.k plug-ins" menu closed', 'its drawn arrow not read');
      await press(page, 'Enter');
      assert.equal(await said(page), 'menuitem "About p.k plug-ins" menu open');
      await press(page, 'ArrowDown');
      await press(page, 'Enter');
      await page.waitForSelector('#alert[open]');
      const dialog = await page.accessibility.snapshot({root: await page.$('#alert')});
      assert.match(dialog.name, /^slantWarper 0\.1b/, 'the about text names its dialog');
      await press(page, 'Escape');
      assert.equal(await focused(page), 'about-button', 'Escape closes it, the focus back on the About menu');
    });
  });

  test('Chromium: a notice is told by a live region there before it: information politely, a warning at once', async () => {
    await withFreshPage(session, async (page) => {
      const cdp = await page.createCDPSession();
      const live = async () => {
        const {nodes} = await cdp.send('Accessibility.getFullAXTree');
        const byId = new Map(nodes.map((node) => [node.nodeId, node]));
        const text = (node) =>
          node.role?.value === 'StaticText'
            ? node.name.value
            : (node.childIds ?? []).map((id) => text(byId.get(id))).join('');
        const regions = nodes.filter((node) => !node.ignored && ['status', 'alert'].includes(node.role?.value));
        return regions.map((node) => `${node.role.value}: ${text(node)}`);
      };
      assert.deepEqual(await live(), ['status: ', 'alert: '], 'both there, silent, before any notice');
      await press(page, 'Control', 'z');
      assert.deepEqual(await live(), ['status: Nothing to undo.', 'alert: ']);
      await press(page, 'Shift', 'Control', 'a');
      const {x, y} = await page.$eval('#document', (view) => view.getBoundingClientRect().toJSON());
      await page.mouse.click(x + 200, y + 200);
      await frames(page);
      assert.match((await live())[1], /^alert: Nothing is selected/, 'a drag with nothing selected is told at once');
      await cdp.detach();
    });
  });
}
