// The page's VRM Animation: the button of every motion with bone keys
// downloads NAME.vrma with the bytes tarvel-fix --vrma writes, or says why
// there is none in tarvel-fix's words; a motion without bone keys has no
// button.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync, renameSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import {
  ROOT, SAMPLES, assertFitsTheWidth, checkFiles, motionSet, openPage, sampleNames, samplesPresent, startBrowser, tempDir,
} from './harness.mjs';

const FIX_TOOL = process.env.TARVEL_FIX || join(ROOT, 'build/release/tarvel-fix');
// Generated motions (tests/web/motion_set.py): twist bones, a shoulder P and
// a morph under a Japanese name; a D bone; the left leg's IK switched off;
// arms alone; cut inside its morph keys; a key ten hours and more away;
// morphs alone and a camera alone (no bone keys).
const TWIST = 'ねじれ.vmd';
const MADE = [TWIST, 'd_bone.vmd', 'ik_off.vmd', 'arm_twist_170.vmd'];
const REFUSED = ['cut_in_morphs.vmd', 'negative_shadow_count.vmd'];
const NO_BONES = ['morphs.vmd', 'camera.vmd'];

let env;
let t;
let written;  // tarvel-fix --vrma --json on the motions with bone keys, by path
before(async () => {
  t = motionSet();
  renameSync(join(t.dir, 'twists.vmd'), join(t.dir, TWIST));
  mkdirSync(join(t.dir, 'out'));
  const r = spawnSync(FIX_TOOL, ['--vrma', '--json', '--out-dir', 'out', ...MADE, ...REFUSED],
    { cwd: t.dir, encoding: 'utf8', env: { ...process.env, LC_ALL: 'C.UTF-8' } });
  assert.equal(r.status, 1, r.stderr);
  written = Object.fromEntries(JSON.parse(r.stdout).files.map((f) => [f.path, f]));
  assert.deepEqual(MADE.map((n) => written[n].status), MADE.map(() => 'written'));
  assert.deepEqual(REFUSED.map((n) => written[n].status), ['cut', 'too-long']);
  env = await startBrowser();
});
after(async () => {
  if (env) await env.close();
  if (t) t.remove();
});

// Presses the file's VRM Animation button from the keyboard and waits for
// what it shows: the file downloaded, or why there is none.
async function pressVrma(page, name) {
  const block = page.locator(`[data-tarvel-file="${name}"]`);
  await block.locator('[data-tarvel-vrma]').focus();
  const download = page.waitForEvent('download');
  download.catch(() => {});  // none comes when there is no file
  await page.keyboard.press('Enter');
  const result = block.locator('.vrma-result');
  await result.locator('.vrma-done, .vrma-failed').first().waitFor({ timeout: 60000 });
  const failed = await result.locator('.vrma-failed').count() ? await result.locator('.vrma-failed').textContent() : null;
  if (failed !== null) return { failed };
  const d = await download;
  return { file: d.suggestedFilename(), bytes: readFileSync(await d.path()) };
}

for (const [locale, viewport, label] of [['en-US', { width: 1366, height: 768 }, /VRM Animation/],
  ['ja-JP', { width: 390, height: 844 }, /VRM アニメーション/]]) {
  test(`each .vrma has tarvel-fix --vrma's bytes (${locale}, ${viewport.width} px)`, async () => {
    const { page, context, errors } = await openPage(env, locale, { viewport });
    const names = [...MADE, ...REFUSED, ...NO_BONES];
    await checkFiles(page, names.map((n) => join(t.dir, n)));
    const buttons = await page.$$eval('[data-tarvel-file]', (blocks) => Object.fromEntries(blocks.map((b) =>
      [b.dataset.tarvelFile, b.querySelectorAll('button[data-tarvel-vrma]').length])));
    assert.deepEqual(buttons, Object.fromEntries(names.map((n) => [n, NO_BONES.includes(n) ? 0 : 1])));
    assert.match(await page.locator('[data-tarvel-vrma]').first().textContent(), label);

    for (const name of MADE) {
      const shown = await pressVrma(page, name);
      assert.equal(shown.failed, undefined, `${name}: ${shown.failed}`);
      assert.equal(shown.file, name.replace(/\.vmd$/, '.vrma'));
      assert.ok(shown.bytes.equals(readFileSync(join(t.dir, written[name].vrma))), `${name}: the bytes tarvel-fix writes`);
    }
    // No file, and the reason tarvel-fix gives.
    for (const name of REFUSED) {
      const shown = await pressVrma(page, name);
      assert.ok(shown.failed && shown.failed.includes(written[name].reason), `${name}: ${shown.failed}`);
    }
    // Pressed again, the file made is downloaded again, not made anew.
    const again = await pressVrma(page, TWIST);
    assert.ok(again.bytes.equals(readFileSync(join(t.dir, written[TWIST].vrma))));

    if (viewport.width < 500) await assertFitsTheWidth(page, viewport.width);
    assert.deepEqual(errors, []);
    await context.close();
  });
}

test('every real sample with bone keys: the bytes of tarvel-fix --vrma', { skip: samplesPresent ? false : 'the sample motions are absent' }, async () => {
  const out = tempDir();
  try {
    const names = sampleNames();
    const r = spawnSync(FIX_TOOL, ['--vrma', '--json', '--out-dir', out.dir, ...names],
      { cwd: SAMPLES, encoding: 'utf8', env: { ...process.env, LC_ALL: 'C.UTF-8' } });
    const files = JSON.parse(r.stdout).files.filter((f) => f.status === 'written');
    assert.ok(files.length >= 5, `${files.length} samples written`);
    const { page, context, errors } = await openPage(env, 'en-US');
    await checkFiles(page, names.map((n) => join(SAMPLES, n)));
    assert.equal(await page.locator('[data-tarvel-vrma]').count(), files.length, 'a button on each motion tarvel-fix converts');
    for (const f of files) {
      const shown = await pressVrma(page, f.path);
      assert.ok(shown.bytes && shown.bytes.equals(readFileSync(f.vrma)), `${f.path}: the bytes tarvel-fix writes`);
    }
    assert.deepEqual(errors, []);
    await context.close();
  } finally {
    out.remove();
  }
});
