// Shared by the browser tests and benchmarks: Debian's Chromium (or its
// Firefox ESR), headless, driven by puppeteer-core (which downloads no
// browser), with a fresh profile under build/, and the page's static
// server on a free loopback port.
import assert from 'node:assert/strict';
import {mkdirSync, mkdtempSync, rmSync} from 'node:fs';
import {join} from 'node:path';
import puppeteer from 'puppeteer-core';
import {REPO_ROOT, startServer} from '../../web/serve.mjs';

export const CHROMIUM = process.env.SW_CHROMIUM ?? '/usr/bin/chromium';
export const FIREFOX = process.env.SW_FIREFOX ?? '/usr/bin/firefox-esr';
export const BUILD_DIR = join(REPO_ROOT, 'build', 'web');
export const SCREENSHOT_DIR = join(BUILD_DIR, 'screenshots');

// {browser, server, url, close()}: close() ends the browser, the server and
// the profile folder. `browser`: 'chrome' (Chromium) or 'firefox'.
export async function launchBrowser({width = 1280, height = 800, browser: kind = 'chrome'} = {}) {
  const profiles = join(BUILD_DIR, 'profiles');
  mkdirSync(profiles, {recursive: true});
  const userDataDir = mkdtempSync(join(profiles, `${kind}-`));
  const server = await startServer({port: 0, host: '127.0.0.1'});
  let browser;
  try {
    browser = await puppeteer.launch(kind === 'firefox' ? {
      browser: 'firefox',
      executablePath: FIREFOX,
      headless: true,
      defaultViewport: {width, height},
      userDataDir,
      // Nothing of the browser's own reaches the network.
      extraPrefsFirefox: {'network.proxy.type': 0, 'app.update.enabled': false, 'browser.safebrowsing.malware.enabled': false,
        'browser.safebrowsing.phishing.enabled': false, 'network.captive-portal-service.enabled': false},
    } : {
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
    });
  } catch (error) {
    server.close();
    rmSync(userDataDir, {recursive: true, force: true});
    throw error;
  }
  const url = `http://127.0.0.1:${server.address().port}/`;
  return {
    browser,
    server,
    url,
    async close() {
      await browser.close();
      await new Promise((resolve) => server.close(resolve));
      rmSync(userDataDir, {recursive: true, force: true});
    },
  };
}

// A new tab on the page, every console error and page error collected in
// `problems`, ready once window.slantWarper.ready has resolved.
export async function openPage(session) {
  const page = await session.browser.newPage();
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

// Runs `body` on a fresh tab of `session` and closes it; fails if the page
// logged a console or page error meanwhile.
export async function withFreshPage(session, body) {
  const {page, problems} = await openPage(session);
  try {
    await body(page);
    assert.deepEqual(problems, [], 'no console or page error');
  } finally {
    await page.close();
  }
}

// Calls the page's hook window.slantWarper[name] with JSON-able arguments.
export const callHook = (page, name, ...args) => page.evaluate((n, a) => window.slantWarper[n](...a), name, args);
