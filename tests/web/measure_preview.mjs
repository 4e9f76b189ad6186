// Figures of a motion's preview at 1366×768: the time from its block coming
// into view to its first frame shown (in a freshly loaded page, the
// motion already checked), and the frame time while it plays (the intervals
// between animation frames over 5 s: median and 95th percentile).
//   node tests/web/measure_preview.mjs [MOTION]
import { statSync } from 'node:fs';
import { basename, join } from 'node:path';
import { SAMPLES, checkFiles, openPage, sampleNames, startBrowser } from './harness.mjs';

const largest = () => sampleNames().map((n) => join(SAMPLES, n)).sort((a, b) => statSync(b).size - statSync(a).size)[0];
const motion = process.argv[2] || largest();

const env = await startBrowser();
try {
  const { page } = await openPage(env, 'en-US', { viewport: { width: 1366, height: 768 } });
  // the preview far below the fold until it is scrolled to
  await page.evaluate(() => { document.getElementById('results').style.marginTop = '3000px'; });
  await checkFiles(page, [motion]);
  const preview = page.locator('[data-tarvel-preview]');
  const handle = await preview.elementHandle();
  const start = await page.evaluate((p) => new Promise((done) => {
    const seen = new IntersectionObserver((e) => {
      if (!e.some((x) => x.isIntersecting)) return;
      seen.disconnect();
      const at = performance.now();
      const shown = new MutationObserver(() => {
        if (p.dataset.started !== 'true') return;
        shown.disconnect();
        done(performance.now() - at);
      });
      shown.observe(p, { attributes: true });
    });
    seen.observe(p);
    p.scrollIntoView();
  }), handle);
  await preview.locator('[data-tarvel-play]').click();
  const intervals = await page.evaluate(() => new Promise((done) => {
    const times = [];
    const step = (now) => {
      times.push(now);
      if (now - times[0] < 5000) requestAnimationFrame(step);
      else done(times.slice(1).map((t, i) => t - times[i]).sort((a, b) => a - b));
    };
    requestAnimationFrame(step);
  }));
  const at = (q) => intervals[Math.min(intervals.length - 1, Math.floor(q * intervals.length))].toFixed(1);
  const renderer = await page.evaluate(() => {
    const gl = document.createElement('canvas').getContext('webgl2');
    const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
    return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : 'unknown';
  });
  console.log(`${basename(motion)} (${statSync(motion).size} bytes): ` +
    `first frame ${start.toFixed(0)} ms after coming into view; ` +
    `frame time median ${at(0.5)} ms, 95th percentile ${at(0.95)} ms over ${intervals.length} frames (${renderer})`);
} finally {
  await env.close();
}
