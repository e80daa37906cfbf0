// The page by the keyboard alone, in Chromium and Firefox, with real key
// presses: Tab reaches each control, and Space presses the one it reached
// without losing the focus.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {frames, launchBrowser, withFreshPage} from './browser.mjs';

const focused = (page) => page.evaluate(() => document.activeElement?.id ?? '');
async function press(page, key) {
  await page.keyboard.press(key);
  await frames(page);
}

// Tabs forward until `id` has the focus (at most 20 presses).
async function tabTo(page, id) {
  for (let i = 0; i < 20 && (await focused(page)) !== id; i++) await press(page, 'Tab');
  assert.equal(await focused(page), id, `Tab reaches #${id}`);
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
}
