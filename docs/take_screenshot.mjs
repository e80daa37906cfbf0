// Takes the README's picture of the page (docs/playground.png): the sample
// art in the middle of a drag with the slantWarper tool, in headless Chromium.
//
//   node docs/take_screenshot.mjs [OUT.png]
import {launchBrowser, openPage} from '../tests/web/browser.mjs';

const out = process.argv[2] ?? new URL('./playground.png', import.meta.url).pathname;
const session = await launchBrowser({width: 1280, height: 760});
try {
  const {page, problems} = await openPage(session);
  const at = (x, y) => page.evaluate((a, b) => window.slantWarper.clientPoint(a, b), x, y);
  const start = await at(330, -200);
  const end = await at(440, -130);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  await page.mouse.move(end.x, end.y, {steps: 8});
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
  await page.screenshot({path: out});
  await page.mouse.up();
  if (problems.length > 0) throw new Error(problems.join('\n'));
  console.log(`wrote ${out}`);
} finally {
  await session.close();
}
