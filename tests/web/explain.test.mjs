// What a person sees on the page, in English and Japanese, on a desktop and
// a phone: the category labels, the findings explained with their frames
// (checked against tarvel-report --json), the legend, the summary of many
// files, folders, and a file too large for the browser.
import assert from 'node:assert/strict';
import {
  closeSync, copyFileSync, ftruncateSync, mkdirSync, openSync, readFileSync, readdirSync, statSync,
} from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
  assertFitsTheWidth, checkFiles, motionSet, openPage, runTool, startBrowser, tempDir,
} from './harness.mjs';

const LABELS = {
  en: { fix: 'Needs fixing', dropout: 'Needs checking', rough: 'Somewhat rough', slight: 'Slightly rough', ok: 'Usable as it is' },
  ja: { fix: '要修正', dropout: '確認要', rough: 'やや荒れ', slight: '少し荒れ', ok: 'OK' },
};
const SCREENS = { desktop: { width: 1366, height: 768 }, phone: { width: 390, height: 844 } };
const RUNS = [['en-US', 'desktop'], ['ja-JP', 'phone'], ['ja-JP', 'desktop'], ['en-US', 'phone']];

let env;
let set;  // the generated motions
before(async () => {
  set = motionSet();
  env = await startBrowser();
});
after(async () => {
  await env.close();
  set.remove();
});

// The frame a finding is placed at, from the JSON: the larger twist for
// twists, the largest movement for a bone that only moves, the frame IK goes
// off, else the largest rotation; none for facts about names and keys.
function expectedFrame(f, bones) {
  if (f.code === 'ik-off') return f.frame;
  const b = bones.find((x) => x.name === f.bone);
  if (!b || f.code.startsWith('name-')) return undefined;
  if (/^(twist-bone|arm-twist-)/.test(f.code)) {
    const { plus, minus } = b.twist;
    return (minus.degrees < plus.degrees ? plus : minus).frame;
  }
  if (f.severity === 'info' && /^(upper-body-3|leg-ik-parent-full-width)$/.test(f.code)) return b.positionFrame;
  return b.rotationFrame;
}

// What the advice must not say of a finding: to convert or fix the motion
// (the VRM-ready copy is offered once, by its button).
const SUGGESTS = { en: /convert|fix|repair|edit|VRM-ready/i, ja: /変換|修正|直/ };
const COPY_SENTENCE = { en: 'VRM-ready copy', ja: 'VRM 用に修正したモーションのコピー' };

describe('each motion explained', () => {
  for (const [locale, screen] of RUNS) {
    test(`labels, findings with frames and the legend (${locale}, ${screen})`, async () => {
      const lang = locale.slice(0, 2);
      const names = set.names;
      const doc = JSON.parse(runTool(set.dir, ['--json', ...names]).stdout);
      const { page, context, errors } = await openPage(env, locale, { viewport: SCREENS[screen] });
      await checkFiles(page, names.map((n) => join(set.dir, n)));
      const blocks = await page.$$eval('[data-tarvel-file]', (all, sentence) => all.map((b) => ({
        labels: Array.from(b.querySelectorAll('.labels [data-category]'), (l) => [l.dataset.category, l.textContent]),
        items: Array.from(b.querySelectorAll('[data-tarvel-findings] li'), (li) => ({
          code: li.dataset.code, frame: li.dataset.frame, text: li.textContent,
          advice: li.querySelector('.advice') ? li.querySelector('.advice').textContent : '' })),
        order: Array.from(b.children, (c) => c.className || c.tagName),
        // where the sentence about the VRM-ready copy stands
        copySentence: Array.from(b.querySelectorAll(':not(button)'), (e) => e)
          .filter((e) => Array.from(e.childNodes).some((n) => n.nodeType === 3 && n.textContent.includes(sentence)))
          .map((e) => (e.closest('.fix') && e.closest('.fix').querySelector('[data-tarvel-fix]') ? 'by the button' : e.className)),
        status: b.querySelector('.status') ? b.querySelector('.status').textContent : null,
      })), COPY_SENTENCE[lang]);
      let framed = 0;
      doc.files.forEach((file, i) => {
        const shown = blocks[i];
        if (!file.verdict) {
          assert.deepEqual(shown.labels, [], `${file.path} has no verdict`);
          assert.equal(shown.items.length, (file.findings || []).length, `findings of ${file.path}`);
          return;
        }
        assert.deepEqual(shown.labels, file.verdict.categories.map((c) => [c, LABELS[lang][c]]).sort((a, b) =>
          (a[0] === file.verdict.category ? -1 : b[0] === file.verdict.category ? 1 : 0)), `labels of ${file.path}`);
        // the verdict comes first; a file cut short has its status before it
        const first = file.status === 'complete' ? ['name', 'labels', 'verdict'] : ['name', 'status', 'labels'];
        assert.deepEqual(shown.order.slice(0, 3), first, 'the verdict comes first');
        assert.equal(shown.items.length, file.findings.length, `one item per finding of ${file.path}`);
        file.findings.forEach((f, k) => {
          const item = shown.items[k];
          assert.equal(item.code, f.code);
          const frame = expectedFrame(f, file.bones);
          assert.equal(item.frame, frame === undefined || frame === null ? undefined : String(frame), `${file.path}: ${f.code}`);
          if (item.frame !== undefined) {
            framed++;
            assert.ok(item.text.includes(`${lang === 'en' ? 'frame ' : 'フレーム '}${item.frame}`), item.text);
            if (f.bone) assert.ok(item.text.includes(f.bone), item.text);
          }
          // what it means, never a suggestion to convert or fix
          assert.doesNotMatch(item.advice, SUGGESTS[lang], `${file.path}: ${f.code}`);
          // Japanese sentences for a Japanese reader, English ones otherwise
          assert.equal(/[ぁ-ん]/.test(item.text.replace(f.bone || f.ik || '', '')), lang === 'ja', item.text);
        });
      });
      // The sentence about the VRM-ready copy: once, by the button, in a
      // motion with a finding the copy repairs.
      doc.files.forEach((file, i) => {
        const fixable = (file.findings || []).some((f) => f.fixable === true);
        assert.deepEqual(blocks[i].copySentence, fixable ? ['by the button'] : [], `the copy's sentence in ${file.path}`);
      });
      // A Japanese page says where a motion is cut in Japanese.
      doc.files.forEach((file, i) => {
        if (lang === 'ja' && file.status === 'cut')
          assert.doesNotMatch(blocks[i].status.replace(/IK/g, ''), /[A-Za-z]/, `the status of ${file.path}`);
      });
      assert.ok(framed > 5, 'the motions have findings with frames');
      assert.ok(doc.files.some((f) => (f.findings || []).some((x) => x.fixable === true)), 'some findings are fixable');
      const camera = blocks[doc.files.findIndex((f) => f.path.includes('camera'))];
      assert.deepEqual(camera.items.map((x) => x.code), ['camera-only']);

      // The legend names every colour of the report lines.
      const legend = await page.$$eval('[data-tarvel-legend] .swatch', (s) => s.map((x) => x.dataset.colour));
      const used = new Set(doc.files.flatMap((f) => (f.report || []).map((l) => l.colour)));
      used.delete('000000');  // the empty first line
      for (const c of used) assert.ok(legend.includes(c), `the legend names ${c}`);
      assert.ok(legend.includes('ff7800'), 'the legend has the shoulder P bones\' colour');
      if (screen === 'phone') await assertFitsTheWidth(page, SCREENS.phone.width);
      assert.deepEqual(errors, []);
      await context.close();
    });
  }
});

// The numbers of tarvel-report --summary's last line, "total: N files: N
// complete, ...; N fix, ...": { files, complete, cut, ..., fix, ..., ok }.
function summaryTotals(dir, names) {
  const line = runTool(dir, ['--summary', ...names]).stdout.trimEnd().split('\n').pop();
  assert.match(line, /^total: /);
  const counts = {};
  for (const [, n, what] of line.matchAll(/(\d+) ([a-z-]+)/g)) counts[what] = Number(n);
  return counts;
}

describe('thirty files', () => {
  let t;
  const names = [];
  let doc;
  before(() => {
    t = tempDir();
    for (let i = 0; i < 30; i++) {
      const from = set.names[i % set.names.length];
      const name = `${String(29 - i).padStart(2, '0')}_${from}`;
      copyFileSync(join(set.dir, from), join(t.dir, name));
      names.push(name);
    }
    doc = JSON.parse(runTool(t.dir, ['--json', ...names]).stdout);
  });
  after(() => t && t.remove());

  for (const [locale, screen] of [['en-US', 'desktop'], ['ja-JP', 'phone']]) {
    test(`sorted, filtered, linked and totalled (${locale}, ${screen})`, async () => {
      const lang = locale.slice(0, 2);
      const { page, context } = await openPage(env, locale, { viewport: SCREENS[screen] });
      await checkFiles(page, names.map((n) => join(t.dir, n)));
      const rows = () => page.$$eval('table[data-tarvel-summary] tbody tr:not([hidden])', (trs) => trs.map((tr) => ({
        name: tr.querySelector('a').textContent, href: tr.querySelector('a').getAttribute('href'),
        group: tr.dataset.group })));
      const byName = Object.fromEntries(doc.files.map((f) => [f.path, f]));
      const rank = (r) => ['other', 'fix', 'dropout', 'rough', 'slight', 'ok'].indexOf(r.group);

      // The totals above the table are tarvel-report --summary's: every file
      // once by its status, every file with a verdict (a cut one too) once
      // by its category.
      const totals = await page.$$eval('#totals [data-total]', (s) => s.map((x) =>
        [x.dataset.total, Number(x.dataset.count), x.textContent]));
      const tool = summaryTotals(t.dir, names);
      assert.ok(tool.cut > 0 && doc.files.some((f) => f.status === 'cut' && f.verdict), 'cut motions with a verdict');
      assert.deepEqual(Object.fromEntries(totals.map(([what, n]) => [what, n])), tool);
      for (const [what, n, text] of totals) assert.match(text, new RegExp(`(^|\\D)${n}(\\D|$)`), `${what} shows ${n}`);
      const categories = await page.$$eval('#totals [data-category]', (s) => s.map((x) => [x.dataset.category, x.parentNode.textContent]));
      assert.deepEqual(categories, Object.entries(doc.summary.verdict).map(([c, n]) => [c, `${LABELS[lang][c]} ${n}`]));
      // every label on the page is one of the five, under its category
      const labels = await page.$$eval('[data-category]:not(.verdict)', (s) => s.map((x) => [x.dataset.category, x.textContent]));
      assert.ok(labels.length > 30 && labels.every(([c, text]) => LABELS[lang][c] === text), 'labels are the category names');

      // Sorting by each column, and the other way round on a second click.
      await page.click('th[data-sort="verdict"]');
      let shown = await rows();
      assert.ok(shown.every((r, i) => i === 0 || rank(shown[i - 1]) <= rank(r)), 'most severe first');
      assert.equal(shown[0].group, 'other');
      await page.click('th[data-sort="verdict"]');
      shown = await rows();
      assert.ok(shown.every((r, i) => i === 0 || rank(shown[i - 1]) >= rank(r)), 'least severe first');
      await page.click('th[data-sort="keys"]');
      const keys = (await rows()).map((r) => byName[r.name].keys ?? -1);
      assert.deepEqual(keys, [...keys].sort((a, b) => a - b));
      // by the keyboard
      await page.focus('th[data-sort="duration"] button');
      await page.keyboard.press('Enter');
      const seconds = (await rows()).map((r) => (byName[r.name].duration ? byName[r.name].duration.seconds : -1));
      assert.deepEqual(seconds, [...seconds].sort((a, b) => a - b));
      assert.equal(await page.getAttribute('th[data-sort="duration"]', 'aria-sort'), 'ascending');
      await page.click('th[data-sort="name"]');
      assert.deepEqual((await rows()).map((r) => r.name), [...names].sort());

      // Filtering by each category and status: exactly the files counted
      // in its total, rows and blocks.
      for (const c of ['fix', 'dropout', 'rough', 'ok', 'cut', 'not-a-motion']) {
        await page.selectOption('select[data-tarvel-filter]', c);
        shown = await rows();
        assert.equal(shown.length, tool[c], `files in ${c}`);
        assert.ok(shown.every((r) => byName[r.name].status === c || (byName[r.name].verdict || {}).category === c));
        assert.equal(await page.locator('#results [data-tarvel-file]:not([hidden])').count(), shown.length);
      }
      await page.selectOption('select[data-tarvel-filter]', '');
      assert.equal((await rows()).length, 30);

      // Each row links to its file's block.
      for (const r of await rows()) {
        assert.match(r.href, /^#/);
        assert.equal(await page.getAttribute(r.href, 'data-tarvel-file'), r.name);
      }
      const last = (await rows())[29];
      await page.click(`a[href="${last.href}"]`);
      assert.equal(await page.evaluate(() => location.hash), last.href);

      // The download stands above the table, and gives the document.
      await page.evaluate(() => window.scrollTo(0, 0));
      const [button, table] = await Promise.all([page.locator('#download').boundingBox(), page.locator('table[data-tarvel-summary]').boundingBox()]);
      assert.ok(button.y + button.height <= table.y, 'the download is reachable without scrolling past the table');
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
      assert.deepEqual(JSON.parse(readFileSync(await download.path(), 'utf8')), doc);
      if (screen === 'phone') await assertFitsTheWidth(page, SCREENS.phone.width);
      await context.close();
    });
  }
});

// A folder lib of motions (and a text file) in dir; tarvel-report's document
// for it, checked from dir.
function makeLibrary(dir) {
  const cube = join(set.dir, 'plain.vmd');
  for (const p of ['lib/b.vmd', 'lib/a.VMD', 'lib/a/c.vmd', 'lib/sub/deeper/d.vmd', 'lib/notes.txt']) {
    mkdirSync(join(dir, p, '..'), { recursive: true });
    copyFileSync(cube, join(dir, p));
  }
  return JSON.parse(runTool(dir, ['--json', 'lib']).stdout);
}

// A folder as the page's drop handler meets it: its name, and its children
// or its bytes (base64).
function describeTree(path, name) {
  if (!statSync(path).isDirectory()) return { name, data: readFileSync(path).toString('base64') };
  return { name, children: readdirSync(path).map((n) => describeTree(join(path, n), n)) };
}

describe('folders and files too large', () => {
  test('a dropped folder is walked; one the browser cannot open says how to choose its files', async () => {
    const t = tempDir();
    try {
      const tool = makeLibrary(t.dir);
      const { page, context } = await openPage(env);
      // Chromium gives a drop's folders as entries; here they are made up
      // (listed backwards), beside a folder whose listing fails.
      await page.evaluate(({ tree, locked }) => {
        const entry = (n) => (n.children ? {
          isFile: false, isDirectory: true, name: n.name,
          createReader() {
            let given = false;
            return { readEntries(ok, no) {
              if (n.locked) no(new DOMException('not allowed', 'NotReadableError'));
              else ok(given ? [] : (given = true, n.children.map(entry).reverse()));
            } };
          },
        } : {
          isFile: true, isDirectory: false, name: n.name,
          file(ok) { ok(new File([Uint8Array.from(atob(n.data), (c) => c.charCodeAt(0))], n.name)); },
        });
        const tops = [tree, locked];
        const drop = new DataTransfer();
        for (const n of tops) drop.items.add(new File([], n.name));
        let next = 0;
        DataTransferItem.prototype.webkitGetAsEntry = () => entry(tops[next++]);
        document.dispatchEvent(new DragEvent('drop', { dataTransfer: drop, bubbles: true, cancelable: true }));
      }, { tree: describeTree(join(t.dir, 'lib'), 'lib'), locked: { name: 'locked', children: [], locked: true } });
      await page.waitForFunction(() => document.querySelectorAll('#results [data-tarvel-file]').length === 4 &&
        !document.querySelector('#results .pending') && !document.querySelector('#download').hidden);
      const shown = await page.$$eval('[data-tarvel-file]', (b) => b.map((x) => x.dataset.tarvelFile));
      assert.deepEqual(shown, tool.files.map((f) => f.path));
      assert.match(await page.textContent('#state'), /cannot open a dropped folder.*Choose a folder/);
      await context.close();
    } finally {
      t.remove();
    }
  });

  test('a chosen folder is walked for motions in tarvel-report\'s order', async () => {
    const t = tempDir();
    try {
      const tool = makeLibrary(t.dir);
      const { page, context } = await openPage(env);
      await page.setInputFiles('#folder', join(t.dir, 'lib'));
      await page.waitForFunction(() => document.querySelectorAll('#results [data-tarvel-file]').length === 4 &&
        !document.querySelector('#results .pending'));
      const shown = await page.$$eval('[data-tarvel-file]', (b) => b.map((x) => x.dataset.tarvelFile));
      assert.deepEqual(shown, tool.files.map((f) => f.path));
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
      assert.deepEqual(JSON.parse(readFileSync(await download.path(), 'utf8')), tool);
      await context.close();
    } finally {
      t.remove();
    }
  });

  test('a file over 2 GiB says so instead of "no such file"', async () => {
    const t = tempDir();
    try {
      const big = join(t.dir, 'huge.vmd');
      const fd = openSync(big, 'w');
      ftruncateSync(fd, 2 ** 31 + 4096);  // sparse
      closeSync(fd);
      const { page, context } = await openPage(env);
      const [shown] = await checkFiles(page, [big, join(set.dir, 'morphs.vmd')]);
      assert.equal(shown.status, 'unreadable');
      assert.match(shown.statusText, /larger than the browser can read \(over 2 GiB\)/);
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
      const file = JSON.parse(readFileSync(await download.path(), 'utf8')).files[0];
      assert.deepEqual([file.status, file.detail.reason], ['unreadable', 'larger than the browser can read (over 2 GiB)']);
      await context.close();
    } finally {
      t.remove();
    }
  });
});
