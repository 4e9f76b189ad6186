// The page's VRM-ready copy: the button of a motion with fixable findings
// downloads the same bytes as tarvel-fix writes and shows the verdict
// tarvel-report gives the copy; a motion with nothing to fix has no button.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { ROOT, assertFitsTheWidth, checkFiles, openPage, runTool, startBrowser, tempDir } from './harness.mjs';

const FIX_TOOL = process.env.TARVEL_FIX || join(ROOT, 'build/release/tarvel-fix');
const TWIST = 'ねじれ.vmd';  // twist bones, a shoulder P and a lone 上半身２ over split key intervals
const PLAIN = 'plain.vmd';   // a D bone turning: needs checking, nothing the copy repairs
const CUT = 'cut.vmd';       // the twist motion cut inside its bone keys

// The motions, written with the generator of tools/make_motions.py.
const MAKE = `
import sys
sys.path.insert(0, 'tools')
from make_motions import Motion, camera, quat
out = sys.argv[1]
m = Motion()
for f, d in ((0, 0), (30, 70), (55, -40)):
    m.bone('左腕捩', f, rot=quat((1, -0.3, 0), d))
for f, d in ((0, 10), (20, 50), (40, 20)):
    m.bone('左腕', f, rot=quat((0.2, 0, 1), d))
m.bone('右手捩', 12, rot=quat((1, 0, 0), 35))
m.bone('右手首', 0, rot=quat((0, 1, 0), 15))
m.bone('右手首', 24, rot=quat((0, 1, 0.4), -30))
m.bone('右肩P', 10, rot=quat((0, 0, 1), 12))
m.bone('右肩P', 25, rot=quat((0, 0, 1), -8))
m.bone('右肩', 0, rot=quat((0, 0, 1), 5))
m.bone('右腕', 5, rot=quat((1, 0, 1), 40))
m.bone('上半身２', 0)
m.bone('上半身２', 15, rot=quat((0, 1, 0), 25))
m.bone('センター', 8, pos=(0.5, 0, 1))
m.morph('あ', 3, 0.5)
m.cams = [camera(0)]
twist = m.bytes()
open(out + '/${TWIST}', 'wb').write(twist)
open(out + '/${CUT}', 'wb').write(twist[:54 + 111 * 5 + 40])
m = Motion()
m.bone('左足D', 0)
m.bone('左足D', 20, rot=quat((1, 0, 0), 30))
m.bone('上半身', 10, rot=quat((0, 1, 0), 20))
open(out + '/${PLAIN}', 'wb').write(m.bytes())
`;

let env;
let t;
let fixed;  // tarvel-fix --json on the three motions, copies in out/
before(async () => {
  t = tempDir();
  const made = spawnSync('python3', ['-c', MAKE, t.dir], { cwd: ROOT, encoding: 'utf8' });
  assert.equal(made.status, 0, made.stderr);
  mkdirSync(join(t.dir, 'out'));
  const r = spawnSync(FIX_TOOL, ['--json', '--out-dir', 'out', TWIST, PLAIN, CUT],
    { cwd: t.dir, encoding: 'utf8', env: { ...process.env, LC_ALL: 'C.UTF-8' } });
  assert.equal(r.status, 1, 'the cut motion is not fixed');
  fixed = JSON.parse(r.stdout).files;
  assert.deepEqual(fixed.map((f) => f.status), ['fixed', 'nothing-to-fix', 'cut']);
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
