// The page's VRM-ready copy: the button of a motion with fixable findings
// downloads the same bytes as tarvel-fix writes and shows the verdict
// tarvel-report gives the copy; a motion with nothing to fix has no button.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync, renameSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { ROOT, assertFitsTheWidth, checkFiles, motionSet, openPage, runTool, startBrowser } from './harness.mjs';

const FIX_TOOL = process.env.TARVEL_FIX || join(ROOT, 'build/release/tarvel-fix');
// Generated motions (tests/web/motion_set.py); the first under a Japanese name.
const TWIST = 'ねじれ.vmd';       // twist bones, a shoulder P and a lone 上半身２ over split key intervals
const PLAIN = 'd_bone.vmd';       // a D bone turning: needs checking, nothing the copy repairs
const CUT = 'cut_in_bones.vmd';   // the twist motion cut inside its bone keys
const RIGHT = 'twist_right.vmd';  // a right arm's twist bone turning: a second motion to repair

let env;
let t;
let fixed;  // tarvel-fix --json on the four motions, copies in out/
before(async () => {
  t = motionSet();
  renameSync(join(t.dir, 'twists.vmd'), join(t.dir, TWIST));
  mkdirSync(join(t.dir, 'out'));
  const r = spawnSync(FIX_TOOL, ['--json', '--out-dir', 'out', TWIST, PLAIN, CUT, RIGHT],
    { cwd: t.dir, encoding: 'utf8', env: { ...process.env, LC_ALL: 'C.UTF-8' } });
  assert.equal(r.status, 1, 'the cut motion is not fixed');
  fixed = JSON.parse(r.stdout).files;
  assert.deepEqual(fixed.map((f) => f.status), ['fixed', 'nothing-to-fix', 'cut', 'fixed']);
  env = await startBrowser();
});
after(async () => {
  if (env) await env.close();
  if (t) t.remove();
});

// Presses the file's button from the keyboard and waits for what it shows:
// the downloaded copy and the verdict given, or why there is none.
async function pressFix(page, name) {
  const block = page.locator(`[data-tarvel-file="${name}"]`);
  await block.locator('[data-tarvel-fix]').focus();
  const download = page.waitForEvent('download');
  download.catch(() => {});  // none comes when there is no copy
  await page.keyboard.press('Enter');
  await block.locator('.fix-verdict, .fix-failed').first().waitFor();
  const shown = await block.locator('.fix-result').evaluate((r) => ({
    failed: r.querySelector('.fix-failed') ? r.querySelector('.fix-failed').textContent : null,
    labels: Array.from(r.querySelectorAll('.fix-labels [data-category]'), (l) => l.dataset.category),
    category: r.querySelector('.fix-verdict') ? r.querySelector('.fix-verdict').dataset.category : null,
    verdict: r.querySelector('.fix-verdict') ? r.querySelector('.fix-verdict').textContent : null,
  }));
  if (shown.failed === null) {
    const d = await download;
    shown.file = d.suggestedFilename();
    shown.bytes = readFileSync(await d.path());
  }
  return shown;
}

for (const [locale, viewport] of [['en-US', { width: 1366, height: 768 }], ['ja-JP', { width: 390, height: 844 }]]) {
  test(`the copy's bytes and verdict are tarvel-fix's and tarvel-report's (${locale}, ${viewport.width} px)`, async () => {
    const { page, context, errors } = await openPage(env, locale, { viewport });
    await checkFiles(page, [TWIST, PLAIN, CUT].map((n) => join(t.dir, n)));
    const buttons = await page.$$eval('[data-tarvel-file]', (blocks) => blocks.map((b) =>
      b.querySelectorAll('button[data-tarvel-fix]').length));
    assert.deepEqual(buttons, [1, 0, 1], 'a button where a finding is fixable, none elsewhere');

    const shown = await pressFix(page, TWIST);
    assert.equal(shown.file, 'ねじれ.vrm.vmd');
    assert.ok(shown.bytes.equals(readFileSync(join(t.dir, fixed[0].copy))), 'the bytes tarvel-fix writes');
    const [copy] = JSON.parse(runTool(t.dir, ['--json', fixed[0].copy]).stdout).files;
    assert.notEqual(copy.verdict.category, 'fix', 'the copy no longer needs fixing');
    assert.equal(shown.category, copy.verdict.category);
    assert.equal(shown.verdict, copy.verdict.text);
    assert.deepEqual(shown.labels.sort(), [...copy.verdict.categories].sort());

    // A motion cut inside its bone keys: no copy, and the reason tarvel-fix gives.
    const cut = await pressFix(page, CUT);
    assert.ok(cut.failed.includes(fixed[2].reason), cut.failed);

    if (viewport.width < 500) await assertFitsTheWidth(page, viewport.width);
    assert.deepEqual(errors, []);
    await context.close();
  });
}

// The entries of a zip file, read by Python's zipfile (which checks every
// entry's CRC): { name: bytes }.
function unzip(path) {
  const r = spawnSync('python3', ['-c', `
import base64, json, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
print(json.dumps({i.filename: base64.b64encode(z.read(i)).decode() for i in z.infolist()}))
`, path], { encoding: 'utf8' });
  assert.equal(r.status, 0, r.stderr);
  return Object.fromEntries(Object.entries(JSON.parse(r.stdout)).map(([n, b]) => [n, Buffer.from(b, 'base64')]));
}

test('one zip of every copy, with tarvel-fix\'s bytes, offered once several motions can be repaired', async () => {
  const { page, context, errors } = await openPage(env, 'en-US');
  // the page, offline once loaded, asks nothing of anywhere but its own site
  const elsewhere = [];
  page.on('request', (r) => { if (!/^(blob|data):/.test(r.url()) && !r.url().startsWith(env.url)) elsewhere.push(r.url()); });
  await context.setOffline(true);
  await checkFiles(page, [TWIST, PLAIN].map((n) => join(t.dir, n)));
  assert.equal(await page.locator('button[data-tarvel-fix-all]:visible').count(), 0, 'one fixable motion: no zip');

  await checkFiles(page, [TWIST, PLAIN, CUT, RIGHT].map((n) => join(t.dir, n)));
  const all = page.locator('button[data-tarvel-fix-all]');
  assert.equal(await all.count(), 1);
  const [download] = await Promise.all([page.waitForEvent('download'), all.click()]);
  assert.match(download.suggestedFilename(), /\.zip$/);
  const entries = unzip(await download.path());
  assert.deepEqual(Object.keys(entries).sort(), ['twist_right.vrm.vmd', 'ねじれ.vrm.vmd']);
  for (const f of fixed.filter((x) => x.copy)) {
    const name = f.copy.split('/').pop();
    assert.ok(entries[name].equals(readFileSync(join(t.dir, f.copy))), `${name} has the bytes tarvel-fix writes`);
  }
  // The motion that gives no copy is named, with tarvel-fix's reason.
  const said = await page.locator('.fix-all-result').textContent();
  assert.ok(said.includes(CUT) && said.includes(fixed[2].reason), said);
  assert.deepEqual(elsewhere, []);
  assert.deepEqual(errors, []);
  await context.close();
});

// Folding a twist into the arm adds its turn to the arm's own twist: the
// page names what the copy newly shows, with its cause, as tarvel-fix does.
test('the copy names what it newly shows, with its cause', async () => {
  const ARM = 'arm.vmd';
  const made = spawnSync('python3', ['-c', `
import sys
sys.path.insert(0, 'tools')
from make_motions import Motion, quat
m = Motion()
for bone, d in (('左腕', 120), ('左腕捩', 60)):
    m.bone(bone, 0)
    m.bone(bone, 30, rot=quat((1, -0.7, 0), d))
open(sys.argv[1], 'wb').write(m.bytes())
`, join(t.dir, ARM)], { cwd: ROOT, encoding: 'utf8' });
  assert.equal(made.status, 0, made.stderr);
  const r = spawnSync(FIX_TOOL, ['--json', '--out-dir', 'out', ARM], { cwd: t.dir, encoding: 'utf8' });
  const [arm] = JSON.parse(r.stdout).files;
  assert.deepEqual(arm.newInCopy.map((f) => [f.code, f.bone, f.foldedIn]), [['arm-twist-rough', '左腕', ['左腕捩']]]);
  const { page, context, errors } = await openPage(env, 'en-US');
  await checkFiles(page, [join(t.dir, ARM)]);
  await pressFix(page, ARM);
  const added = await page.locator(`[data-tarvel-file="${ARM}"] .fix-new li`).evaluateAll((items) =>
    items.map((li) => ({ code: li.dataset.code, text: li.textContent })));
  assert.deepEqual(added.map((a) => a.code), ['arm-twist-rough']);
  assert.ok(added[0].text.startsWith('左腕 twists by 160° or more'), added[0].text);
  assert.ok(added[0].text.includes('(左腕捩 folded into it)'), added[0].text);
  assert.deepEqual(errors, []);
  await context.close();
});
