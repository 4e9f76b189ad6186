// Figures of the page: the gzipped size of the site's code, and the time to
// the first verdict for a motion in a freshly loaded page. With --screenshot
// FILE it also saves a picture of the page showing that motion.
//   node tests/web/measure.mjs [MOTION] [--screenshot FILE]
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { basename, join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { SAMPLES, SITE, openPage, sampleNames, startBrowser, timeCheck } from './harness.mjs';

const args = process.argv.slice(2);
const shotAt = args.indexOf('--screenshot');
const shot = shotAt >= 0 ? args.splice(shotAt, 2)[1] : null;
const largest = () => sampleNames().map((n) => join(SAMPLES, n))
  .sort((a, b) => statSync(b).size - statSync(a).size)[0];
const motion = args[0] || largest();

let total = 0;
for (const f of readdirSync(SITE).sort()) {
  const bytes = readFileSync(join(SITE, f));
  const gz = gzipSync(bytes, { level: 9 }).length;
  total += gz;
  console.log(`${f}: ${bytes.length} bytes, ${gz} gzipped`);
}
console.log(`site: ${total} bytes gzipped`);

const env = await startBrowser();
try {
  const start = Date.now();
  const { page } = await openPage(env, 'en-US', { viewport: { width: 1100, height: 900 } });
  const ready = Date.now() - start;
  const name = basename(motion);
  const verdictAt = await timeCheck(page, motion);
  console.log(`${name} (${statSync(motion).size} bytes): page ready in ${ready} ms, ` +
    `verdict ${verdictAt.toFixed(0)} ms after the file was chosen`);
  if (shot) await page.screenshot({ path: shot });
} finally {
  await env.close();
}
