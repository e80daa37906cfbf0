// Starts the page: the engine and the plug-in's own images, then the app with
// the sample art, and the hooks on window.slantWarper for tests and tools.
import {createEngine} from './engine.js';
import {installHooks} from './hooks.js';
import {App} from './app.js';
import {loadPluginImages} from './resources.js';

async function start() {
  const [engine, images] = await Promise.all([createEngine(), loadPluginImages()]);
  const app = new App(engine, images);
  app.startSample();
  return app;
}

const started = start();
started.catch((error) => {
  const notice = document.getElementById('notice');
  document.getElementById('notice-text').textContent =
    `The page could not start: ${error && error.message ? error.message : error}. ` +
    'Build the WebAssembly build first (scripts/playground.sh does).';
  notice.dataset.kind = 'error';
  notice.hidden = false;
});
installHooks({started});
