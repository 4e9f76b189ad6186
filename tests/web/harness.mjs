// Shared parts of the browser tests: the built site served on 127.0.0.1,
// Debian's chromium driven by playwright-core, the page's results read back,
// and tarvel-report run on the same files for comparison.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { serveSite } from '../../web/serve.mjs';

export const ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const SITE = join(ROOT, 'build-web/site');
export const SAMPLES = resolve(ROOT, '../shared/samples');
export const REPORT_TOOL = process.env.TARVEL_REPORT || join(ROOT, 'build/release/tarvel-report');
export const MAKE_MOTION = process.env.TARVEL_MAKE_MOTION || join(ROOT, 'build/release/tests/web_make_motion');
export const CHROMIUM = process.env.TARVEL_CHROMIUM || '/usr/bin/chromium';

export const samplesPresent = existsSync(SAMPLES);
export function sampleNames() {
  return samplesPresent ? readdirSync(SAMPLES).filter((n) => n.endsWith('.vmd')).sort() : [];
}

// A fresh temporary folder, removed by the returned function.
export function tempDir() {
  const dir = mkdtempSync(join(tmpdir(), 'tarvel-web-'));
  return { dir, remove: () => rmSync(dir, { recursive: true, force: true }) };
}

// The generated motions of tests/web/motion_set.py (every verdict, fixable
// findings, files cut short or not motions) in a fresh temporary folder:
// { dir, names (sorted), remove }.
export function motionSet() {
  const t = tempDir();
  const made = spawnSync('python3', [join(ROOT, 'tests/web/motion_set.py'), t.dir], { encoding: 'utf8' });
  if (made.status !== 0) {
    t.remove();
    throw new Error(`motion_set.py failed: ${made.stderr}`);
  }
  return { ...t, names: readdirSync(t.dir).filter((n) => n.endsWith('.vmd')).sort() };
}

// Debian's chromium started headless (playwright gives each launch a fresh
// profile; the flags keep chromium off the network and away from a GPU).
export function launchChromium() {
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    // WebGL (the preview) on SwiftShader, chromium's software renderer
    args: ['--no-sandbox', '--disable-gpu', '--enable-unsafe-swiftshader', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// The site served and a browser started.
export async function startBrowser() {
  if (!existsSync(join(SITE, 'index.html'))) throw new Error(`no site in ${SITE}: run scripts/web --build`);
  const { server, url } = await serveSite(SITE);
  const browser = await launchChromium();
  return {
    url,
    browser,
    close: async () => {
      await browser.close();
      server.close();
    },
  };
}

// A new page in the given browser language, loaded and ready to check;
// setUp(context), when given, runs before the page opens.
export async function openPage(env, locale = 'en-US', contextOptions = {}, setUp = null) {
  const context = await env.browser.newContext({ locale, acceptDownloads: true, ...contextOptions });
  if (setUp) await setUp(context);
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(env.url);
  await page.waitForFunction(() => document.querySelector('#state').dataset.ready === 'yes');
  return { page, context, errors };
}

// Gives the files to the motion input and waits for every result. Returns one
// entry per checked motion, in the page's order.
export async function checkFiles(page, paths) {
  await page.setInputFiles('#motions', paths);
  await page.waitForFunction((n) => document.querySelectorAll('#results [data-tarvel-file]').length === n &&
    !document.querySelector('#results .pending'), paths.length, { timeout: 120000 });
  return readResults(page);
}

export function readResults(page) {
  return page.$$eval('#results [data-tarvel-file]', (blocks) => blocks.map((b) => ({
    name: b.dataset.tarvelFile,
    lines: Array.from(b.querySelectorAll('.line'), (l) => ({ colour: l.dataset.colour, text: l.textContent })),
    verdict: b.querySelector('.verdict') ? b.querySelector('.verdict').textContent : null,
    category: b.querySelector('.verdict') ? b.querySelector('.verdict').dataset.category : null,
    status: b.querySelector('.status') ? b.querySelector('.status').dataset.status : 'complete',
    statusText: b.querySelector('.status') ? b.querySelector('.status').textContent : null,
  })));
}

// tarvel-report's text for one file: "# NAME", the report's lines (colour,
// tab, text), "#status STATUS: why" for a file not complete, and for a file
// that was read "#verdict" and the verdict text.
export function parseReportText(name, text) {
  const header = `# ${name}\n`;
  if (!text.startsWith(header)) throw new Error(`unexpected report: ${text.slice(0, 80)}`);
  const rows = text.slice(header.length).split('\n');
  const lines = [];
  let i = 0;
  for (; i < rows.length && !rows[i].startsWith('#') && i < rows.length - 1; i++) {
    lines.push({ colour: rows[i].slice(0, 6), text: rows[i].slice(7) });
  }
  let status = 'complete';
  let why = '';
  if (rows[i] && rows[i].startsWith('#status ')) {
    [, status, why] = rows[i].match(/^#status ([a-z-]+): (.*)$/);
    i++;
  }
  const verdict = rows[i] === '#verdict' ? rows.slice(i + 1).join('\n').replace(/\n$/, '') : null;
  return { name, lines, status, why, verdict };
}

// Runs tarvel-report (or a copy of it, to have an alias.ini beside it) on
// files named as the page names them, from their folder; returns its output.
export function runTool(dir, args, tool = REPORT_TOOL) {
  const r = spawnSync(tool, args, { cwd: dir, encoding: 'utf8', env: { ...process.env, LC_ALL: 'C.UTF-8' } });
  if (r.error) throw r.error;
  return r;
}

// tarvel-report's text report of one file.
export function runReport(dir, name, tool = REPORT_TOOL) {
  return parseReportText(name, runTool(dir, [name], tool).stdout);
}

// A copy of tarvel-report in dir, where it looks for alias.ini.
export function copyReportTool(dir) {
  const copy = join(dir, 'tarvel-report');
  cpSync(REPORT_TOOL, copy);
  return copy;
}

// Gives one file to the motion input and returns the milliseconds from the
// input's change to its verdict (or status) in the page.
export async function timeCheck(page, path) {
  await page.setInputFiles('#motions', []);
  await page.evaluate((name) => {
    window.timing = {};
    document.querySelector('#motions').addEventListener('change', () => {
      window.timing.start = performance.now();
    }, { once: true, capture: true });
    const shown = new MutationObserver(() => {
      const block = document.querySelector(`[data-tarvel-file="${CSS.escape(name)}"]`);
      if (block && block.querySelector('.verdict, .status')) {
        window.timing.end = performance.now();
        shown.disconnect();
      }
    });
    shown.observe(document.querySelector('#results'), { childList: true, subtree: true });
  }, basename(path));
  await page.setInputFiles('#motions', path);
  await page.waitForFunction(() => window.timing.end, null, { timeout: 120000 });
  return page.evaluate(() => window.timing.end - window.timing.start);
}

// Nothing but the report lines' own scroller is wider than the window.
export function assertFitsTheWidth(page, width) {
  return page.evaluate((w) => {
    const wide = Array.from(document.querySelectorAll('body *'))
      .filter((e) => !e.closest('.report') && e.getBoundingClientRect().right > w + 0.5)
      .map((e) => `${e.tagName}.${e.className}`);
    return { scroll: document.documentElement.scrollWidth, wide };
  }, width).then(({ scroll, wide }) => {
    assert.ok(scroll <= width, `the page scrolls sideways: ${scroll} > ${width}`);
    assert.deepEqual(wide, [], 'elements wider than the window');
  });
}

// Figures of pictures (PNG screenshots), decoded by the page: for one, how
// many distinct colours it has; for two of one size, the share of pixels of
// either with no pixel of a close colour within 2 pixels in the other (two
// elements side by side can be cut a pixel apart).
export function pictureFigures(page, first, second = null) {
  return page.evaluate(async ([a, b]) => {
    const picture = async (b64) => {
      const image = await createImageBitmap(new Blob([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))]));
      const c = new OffscreenCanvas(image.width, image.height).getContext('2d');
      c.drawImage(image, 0, 0);
      return { w: image.width, h: image.height, p: c.getImageData(0, 0, image.width, image.height).data };
    };
    const one = await picture(a);
    const colours = new Set();
    for (let i = 0; i < one.p.length; i += 4) colours.add((one.p[i] << 16) | (one.p[i + 1] << 8) | one.p[i + 2]);
    if (!b) return { colours: colours.size };
    const two = await picture(b);
    const unmatched = (x, y) => {
      let count = 0;
      for (let j = 0; j < x.h; j++) {
        for (let i = 0; i < x.w; i++) {
          const k = (j * x.w + i) * 4;
          let near = false;
          for (let dj = -2; dj <= 2 && !near; dj++) {
            for (let di = -2; di <= 2 && !near; di++) {
              const jj = j + dj;
              const ii = i + di;
              if (jj < 0 || ii < 0 || jj >= y.h || ii >= y.w) continue;
              const m = (jj * y.w + ii) * 4;
              near = Math.abs(x.p[k] - y.p[m]) + Math.abs(x.p[k + 1] - y.p[m + 1]) + Math.abs(x.p[k + 2] - y.p[m + 2]) <= 24;
            }
          }
          if (!near) count++;
        }
      }
      return count / (x.w * x.h);
    };
    return { colours: colours.size, differ: Math.max(unmatched(one, two), unmatched(two, one)) };
  }, [first.toString('base64'), second && second.toString('base64')]);
}
