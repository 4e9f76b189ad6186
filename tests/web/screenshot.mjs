// A picture of the page for the README: the motions checked in a window of
// the given width, the page from its top down to the given height.
//   node tests/web/screenshot.mjs OUT.png WIDTH HEIGHT LOCALE MOTION...
import { checkFiles, openPage, startBrowser } from './harness.mjs';

const [out, width, height, locale, ...motions] = process.argv.slice(2);
const env = await startBrowser();
try {
  const w = Number(width);
  const h = Number(height);
  const { page } = await openPage(env, locale, { viewport: { width: w, height: Math.min(h, 900) } });
  await checkFiles(page, motions);
  await page.screenshot({ path: out, fullPage: true, clip: { x: 0, y: 0, width: w, height: h } });
} finally {
  await env.close();
}
