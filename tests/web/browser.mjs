// Shared by the browser tests and benchmarks: Debian's Chromium (or its
// Firefox ESR), headless, driven by puppeteer-core (which downloads no
// browser), with a fresh profile under build/, and the page as its static
// site (built from the checkout into a folder of the session's own) on a
// free loopback port.
import assert from 'node:assert/strict';
import {mkdirSync, mkdtempSync, rmSync} from 'node:fs';
import {join} from 'node:path';
import puppeteer from 'puppeteer-core';
import {startServer} from '../../web/serve.mjs';
import {REPO_ROOT, buildSite} from '../../web/site.mjs';

export const CHROMIUM = process.env.SW_CHROMIUM ?? '/usr/bin/chromium';
export const FIREFOX = process.env.SW_FIREFOX ?? '/usr/bin/firefox-esr';
export const BUILD_DIR = join(REPO_ROOT, 'build', 'web');
export const SCREENSHOT_DIR = join(BUILD_DIR, 'screenshots');

// {browser, server, url, close()}: close() ends the browser, the server and
// the profile and site folders. Given a `url`, the browser opens that page
// instead, and the session builds and serves no site (server is null).
// `browser`: 'chrome' (Chromium) or 'firefox'.
export async function launchBrowser({width = 1280, height = 800, url = null, browser: kind = 'chrome'} = {}) {
  const profiles = join(BUILD_DIR, 'profiles');
  mkdirSync(profiles, {recursive: true});
  const userDataDir = mkdtempSync(join(profiles, `${kind}-`));
  let site = null;
  let server = null;
  let browser;
  try {
    if (!url) {
      mkdirSync(join(BUILD_DIR, 'sites'), {recursive: true});
      site = mkdtempSync(join(BUILD_DIR, 'sites', 'site-'));
      await buildSite({out: site});
      server = await startServer({root: site, port: 0, host: '127.0.0.1'});
      url = `http://127.0.0.1:${server.address().port}/`;
    }
    browser = await puppeteer.launch(
      kind === 'firefox'
        ? {
            browser: 'firefox',
            executablePath: FIREFOX,
            headless: true,
            defaultViewport: {width, height},
            userDataDir,
            // Nothing of the browser's own reaches the network.
            extraPrefsFirefox: {
              'network.proxy.type': 0,
              'app.update.enabled': false,
              'browser.safebrowsing.malware.enabled': false,
              'browser.safebrowsing.phishing.enabled': false,
              'network.captive-portal-service.enabled': false,
            },
          }
        : {
            executablePath: CHROMIUM,
            headless: true,
            defaultViewport: {width, height},
            args: [
              '--no-sandbox',
              '--disable-gpu',
              '--disable-quic',
              '--no-first-run',
              '--disable-background-networking',
              '--disable-component-update',
              '--disable-sync',
              `--user-data-dir=${userDataDir}`,
            ],
          },
    );
  } catch (error) {
    if (server) server.close();
    if (site) rmSync(site, {recursive: true, force: true});
    rmSync(userDataDir, {recursive: true, force: true});
    throw error;
  }
  return {
    browser,
    server,
    url,
    async close() {
      await browser.close();
      if (server) await new Promise((resolve) => server.close(resolve));
      if (site) rmSync(site, {recursive: true, force: true});
      rmSync(userDataDir, {recursive: true, force: true});
    },
  };
}

// A new tab on the page, every console error and page error collected in
// `problems`, ready once window.slantWarper.ready has resolved. A `viewport`
// (puppeteer's: width, height, isMobile, hasTouch, ...) is set before the
// page loads.
export async function openPage(session, {viewport = null} = {}) {
  const page = await session.browser.newPage();
  if (viewport) await page.setViewport(viewport);
  const problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
  await page.goto(session.url, {waitUntil: 'load'});
  await page.waitForFunction(() => Boolean(window.slantWarper && window.slantWarper.ready), {timeout: 30000});
  await page.evaluate(() => window.slantWarper.ready);
  return {page, problems};
}

// Runs `body` on a fresh tab of `session` and closes it, unless the body
// did; fails if the page logged a console or page error meanwhile.
export async function withFreshPage(session, body, options = {}) {
  const {page, problems} = await openPage(session, options);
  try {
    await body(page);
    assert.deepEqual(problems, [], 'no console or page error');
  } finally {
    if (!page.isClosed()) await page.close();
  }
}

// Calls the page's hook window.slantWarper[name] with JSON-able arguments.
export const callHook = (page, name, ...args) => page.evaluate((n, a) => window.slantWarper[n](...a), name, args);

// Resolves once the page has painted twice: what a change asked to repaint
// (the drawing, the status bar, the Edit menu's items) is on the page by then.
export const frames = (page) =>
  page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
