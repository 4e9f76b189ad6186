// The VRM Animation on a real avatar in headless Chromium: @pixiv/three-vrm
// loads the VRM model of ../shared/models/ (skipped without it),
// @pixiv/three-vrm-animation applies the file tarvel-fix --vrma writes, and
// at sampled frames each humanoid bone of the avatar points where MMD's
// forward kinematics puts it (within 2 degrees; see avatar_page.mjs for
// how). The motions: generated ones (turning arms and elbows, legs on
// their IK, legs on their own keys with the IK off, fingers, the figure
// turned round by 全ての親) and the real samples with bone keys (skipped
// without ../shared/samples). The page's script is bundled with esbuild
// and served, with the files, by request interception: nothing leaves the
// machine.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { basename, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { build } from 'esbuild';
import { ROOT, SAMPLES, launchChromium, sampleNames, samplesPresent, tempDir } from './harness.mjs';

const MODELS = resolve(ROOT, '../shared/models');
const MODEL = join(MODELS, 'VRMC_vrm_expressions_isBinary_Overrides.vrm');
const FIX_TOOL = process.env.TARVEL_FIX || join(ROOT, 'build/release/tarvel-fix');
const AVATAR_MOTION = process.env.TARVEL_AVATAR_MOTION || join(ROOT, 'build/release/tests/web_avatar_motion');
const ORIGIN = 'http://avatar.test';
const LIMIT_DEG = 2;
// Every frame of a motion of up to SAMPLED frames; else SAMPLED frames
// spread over it, the first and the last among them.
const SAMPLED = 121;
const GENERATED = ['arms', 'legs_ik', 'legs_keyed', 'fingers', 'turned_round'];

const skip = !existsSync(MODEL) && 'no VRM model in ../shared/models';
let env;

before(async () => {
  if (skip) return;
  for (const tool of [FIX_TOOL, AVATAR_MOTION])
    if (!existsSync(tool)) throw new Error(`no ${tool}: build the release preset first`);
  const temp = tempDir();
  const made = spawnSync(AVATAR_MOTION, ['motions', temp.dir], { encoding: 'utf8' });
  if (made.status !== 0) throw new Error(`web_avatar_motion: ${made.stderr}`);
  const bundle = await build({
    entryPoints: [join(ROOT, 'tests/web/avatar_page.mjs')],
    bundle: true,
    format: 'iife',
    write: false,
    logLevel: 'silent',
  });
  const files = new Map([
    ['/', { type: 'text/html', body: '<!doctype html><meta charset="utf-8"><script src="/check.js"></script>' }],
    ['/check.js', { type: 'text/javascript', body: bundle.outputFiles[0].text }],
    ['/model.vrm', { type: 'application/octet-stream', body: readFileSync(MODEL) }],
  ]);
  const browser = await launchChromium();
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  // Every request is answered here; anything not ours is refused.
  await page.route('**/*', (route) => {
    const url = new URL(route.request().url());
    const file = url.origin === ORIGIN && files.get(url.pathname);
    return file ? route.fulfill({ status: 200, contentType: file.type, body: file.body }) : route.abort();
  });
  await page.goto(`${ORIGIN}/`);
  await page.waitForFunction(() => typeof window.avatarCheck === 'function');
  env = { temp, files, browser, page, errors };
});

after(async () => {
  if (!env) return;
  await env.browser.close();
  env.temp.remove();
});

// The motion's frames as the pose stage plays it; 0 when it does not (no
// bone keys, no motion).
function framesOf(motion) {
  const r = spawnSync(AVATAR_MOTION, ['joints', motion, '0'], { encoding: 'utf8' });
  return r.status === 0 ? JSON.parse(r.stdout).frames : 0;
}

// tarvel-fix --vrma on the motion, the joints of the pose stage at the
// sampled frames, and the avatar check in the page: its result.
async function check(motion) {
  const stem = basename(motion, '.vmd');
  const out = join(env.temp.dir, `${stem}.vrma`);
  const fixed = spawnSync(FIX_TOOL, ['--vrma', '-o', out, motion], { encoding: 'utf8' });
  assert.equal(fixed.status, 0, fixed.stdout + fixed.stderr);
  const frames = framesOf(motion);
  assert.ok(frames > 0);
  const picked = frames <= SAMPLED ? Array.from({ length: frames }, (_, i) => i)
    : Array.from({ length: SAMPLED }, (_, i) => Math.round((i * (frames - 1)) / (SAMPLED - 1)));
  const r = spawnSync(AVATAR_MOTION, ['joints', motion, ...picked.map(String)],
    { encoding: 'utf8', maxBuffer: 1 << 26 });
  assert.equal(r.status, 0, r.stderr);
  const doc = JSON.parse(r.stdout);
  env.files.set(`/${stem}.vrma`, { type: 'application/octet-stream', body: readFileSync(out) });
  const result = await env.page.evaluate((a) => window.avatarCheck(a), {
    model: '/model.vrm',
    motion: `/${stem}.vrma`,
    rest: doc.rest,
    parents: doc.parents,
    samples: picked.map((frame) => ({ frame, joints: doc.joints[frame] })),
  });
  assert.deepEqual(env.errors, []);
  assert.deepEqual(result.said, [], `${stem}: the clients said something`);
  assert.ok(Math.abs(result.duration - (frames - 1) / 30) < 1e-4, `${stem}: duration ${result.duration}`);
  return { stem, ...result };
}

function assertPointing(r, t) {
  const w = r.worst;
  t.diagnostic(`${r.stem}: worst ${w.deg.toFixed(3)}° (${w.bone}→${w.child} at frame ${w.frame}); ` +
    `the avatar's own rest directions up to ${r.rest.deg.toFixed(1)}° from the animation's (${r.rest.bone}→${r.rest.child})`);
  // Every edge of the avatar's trunk, arms and legs was compared.
  const compared = new Set(r.angles[0].edges.map(([p]) => p));
  const limbs = ['Shoulder', 'UpperArm', 'LowerArm', 'Hand', 'UpperLeg', 'LowerLeg', 'Foot'];
  for (const b of ['spine', 'chest', 'upperChest', 'neck', ...limbs.flatMap((l) => [`left${l}`, `right${l}`])])
    assert.ok(compared.has(b), `${r.stem}: ${b} not compared`);
  assert.ok(w.deg <= LIMIT_DEG, `${r.stem}: ${w.bone}→${w.child} ${w.deg}° off at frame ${w.frame}`);
}

for (const name of GENERATED) {
  test(`${name}: the avatar's bones point where MMD puts them`, { skip }, async (t) => {
    assertPointing(await check(join(env.temp.dir, `${name}.vmd`)), t);
  });
}

test('the real samples with bone keys: the avatar\'s bones point where MMD puts them',
  { skip: skip || (!samplesPresent && 'no ../shared/samples') }, async (t) => {
    let checked = 0;
    for (const n of sampleNames()) {
      const motion = join(SAMPLES, n);
      if (!framesOf(motion)) continue;  // no bone keys, or no motion: no file to check
      assertPointing(await check(motion), t);
      checked++;
    }
    assert.ok(checked > 0);
  });
