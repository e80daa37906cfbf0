// Takes the picture of a real drawing (docs/page.md) before and after a drag
// (docs/real_drawing.png): openclipart's computer icon (gradients, frames
// with holes, text) opened in the page in headless Chromium, the view
// before and after a drag with the slantWarper tool, side by side, the
// selection cleared so that the art shows as it is drawn.
//
//   node docs/take_real_drawing.mjs [OUT.png]
import {readFileSync, writeFileSync} from 'node:fs';
import {PNG} from 'pngjs';
import {launchBrowser, openPage} from '../tests/web/browser.mjs';

const FILE = '/usr/share/openclipart/svg/computer/icons/etiquette-theme/stock/computer.svg';
const out = process.argv[2] ?? new URL('./real_drawing.png', import.meta.url).pathname;
const session = await launchBrowser({width: 1280, height: 760});
try {
  const {page, problems} = await openPage(session);
  await page.evaluate((text) => window.slantWarper.openSvg(text), readFileSync(FILE, 'utf8'));
  const view = await page.$eval('#document', (svg) => JSON.parse(JSON.stringify(svg.getBoundingClientRect())));
  const clip = {x: view.left, y: view.top, width: view.width, height: view.height};
  const frames = () =>
    page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
  const unselected = async () => {
    await page.keyboard.press('v');
    await page.mouse.click(view.left + 4, view.top + 4);
    await frames();
    return PNG.sync.read(await page.screenshot({clip}));
  };
  const before = await unselected();
  await page.keyboard.down('Control');
  await page.keyboard.press('a');
  await page.keyboard.up('Control');
  await page.keyboard.press('w');
  const at = (x, y) => page.evaluate((a, b) => window.slantWarper.clientPoint(a, b), x, y);
  const start = await at(12, -24);
  const end = await at(46, -10);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  await page.mouse.move(end.x, end.y, {steps: 8});
  await page.mouse.up();
  const after = await unselected();
  const gap = 12;
  const both = new PNG({width: before.width * 2 + gap, height: before.height});
  for (let i = 0; i < both.data.length; i += 4) both.data.set([0x2b, 0x2d, 0x31, 0xff], i);
  PNG.bitblt(before, both, 0, 0, before.width, before.height, 0, 0);
  PNG.bitblt(after, both, 0, 0, after.width, after.height, before.width + gap, 0);
  writeFileSync(out, PNG.sync.write(both));
  if (problems.length > 0) throw new Error(problems.join('\n'));
  console.log(`wrote ${out}`);
} finally {
  await session.close();
}
