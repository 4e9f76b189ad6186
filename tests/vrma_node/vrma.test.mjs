// The VRM Animation files against real clients: the Khronos glTF validator
// and three.js's GLTFLoader with @pixiv/three-vrm-animation's plugin, in
// Node. The files come from vrma_make_sample (synthetic data: the left arm
// lifts and bends, the hips bounce, "aa" and the custom "ウィンク２") and
// from tarvel-fix --vrma on the real samples (skipped without them).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import validator from 'gltf-validator';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { VRMAnimationLoaderPlugin } from '@pixiv/three-vrm-animation';

const ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const MAKE_VRMA = process.env.TARVEL_MAKE_VRMA || join(ROOT, 'build/release/tests/vrma_make_sample');
const FIX_TOOL = process.env.TARVEL_FIX || join(ROOT, 'build/release/tarvel-fix');
const SAMPLES = resolve(ROOT, '../shared/samples');

let dir;
before(() => {
  if (!existsSync(MAKE_VRMA)) throw new Error(`no ${MAKE_VRMA}: build the release preset first`);
  dir = mkdtempSync(join(tmpdir(), 'tarvel-vrma-'));
});
after(() => rmSync(dir, { recursive: true, force: true }));

function makeSample(frames) {
  const out = join(dir, `sample-${frames}.vrma`);
  const r = spawnSync(MAKE_VRMA, [out, String(frames)], { encoding: 'utf8' });
  assert.equal(r.status, 0, r.stderr);
  return new Uint8Array(readFileSync(out));
}

// Runs fn with console.warn and console.error recorded; returns what they said.
async function quietly(fn) {
  const said = [];
  const { warn, error } = console;
  console.warn = (...a) => said.push(a.join(' '));
  console.error = (...a) => said.push(a.join(' '));
  try {
    return { result: await fn(), said };
  } finally {
    console.warn = warn;
    console.error = error;
  }
}

async function loadVrma(bytes) {
  const loader = new GLTFLoader();
  loader.register((parser) => new VRMAnimationLoaderPlugin(parser));
  const buffer = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
  return new Promise((done, fail) => loader.parse(buffer, '', done, fail));
}

async function validate(bytes) {
  const report = await validator.validateBytes(bytes, { maxIssues: 0 });
  return report.issues;
}

function assertValid(issues, name) {
  assert.equal(issues.numErrors, 0, `${name}: ${JSON.stringify(issues.messages.filter((m) => m.severity === 0))}`);
  assert.equal(issues.numWarnings, 0, `${name}: ${JSON.stringify(issues.messages.filter((m) => m.severity === 1))}`);
  // The extension it does not know is told as information.
  const unknown = issues.messages.filter((m) => m.code === 'UNSUPPORTED_EXTENSION');
  assert.equal(unknown.length, 1, name);
  assert.equal(unknown[0].severity, 2, name);
  assert.match(unknown[0].message, /VRMC_vrm_animation/);
}

for (const frames of [1, 91, 9000]) {
  test(`${frames} frames: the validator finds no error and no warning`, async () => {
    assertValid(await validate(makeSample(frames)), `${frames} frames`);
  });

  test(`${frames} frames: three-vrm-animation loads it without a word`, async () => {
    const { result: gltf, said } = await quietly(() => loadVrma(makeSample(frames)));
    assert.deepEqual(said, []);
    const animations = gltf.userData.vrmAnimations;
    assert.equal(animations.length, 1);
    const a = animations[0];
    assert.ok(Math.abs(a.duration - (frames - 1) / 30) < 1e-5, `duration ${a.duration}`);
    assert.ok(Math.abs(a.restHipsPosition.y - 0.95) < 1e-6);
    assert.deepEqual([...a.humanoidTracks.translation.keys()], ['hips']);
    const turning = frames > 1 ? ['leftUpperArm', 'leftLowerArm'] : [];
    assert.deepEqual([...a.humanoidTracks.rotation.keys()].sort(), turning.sort());
    assert.deepEqual([...a.expressionTracks.preset.keys()], frames > 1 ? ['aa'] : []);
    assert.deepEqual([...a.expressionTracks.custom.keys()], ['ウィンク２']);
    for (const track of [...a.humanoidTracks.rotation.values(), ...a.humanoidTracks.translation.values(),
      ...a.expressionTracks.preset.values(), ...a.expressionTracks.custom.values()]) {
      assert.equal(track.times.length, frames, track.name);
      assert.equal(track.validate(), true, track.name);
    }
    if (frames > 1) {
      // The arm lifts about the figure's Z up to 60 degrees half way (the
      // rest pose has no rotation, so the track is the file's own).
      const arm = a.humanoidTracks.rotation.get('leftUpperArm');
      for (const f of [0, Math.floor(frames / 3), Math.floor((frames - 1) / 2), frames - 1]) {
        const z = arm.values[f * 4 + 2], w = arm.values[f * 4 + 3];
        const lift = Math.sin((f / (frames - 1)) * Math.PI) * (Math.PI / 3);
        assert.ok(Math.abs(2 * Math.atan2(z, w) - lift) < 1e-5, `frame ${f}`);
      }
      // The custom expression holds its weight in the track's values.
      const wink = a.expressionTracks.custom.get('ウィンク２');
      assert.ok(wink.values.every((v) => v === 0.5));
    }
  });
}

test('every real sample with bone keys: valid, and loaded without a word with its duration and tracks',
  { skip: !existsSync(SAMPLES) && 'no ../shared/samples' }, async () => {
    const out = join(dir, 'samples');
    mkdirSync(out);
    const r = spawnSync(FIX_TOOL, ['--vrma', '--json', '--out-dir', out, SAMPLES], { encoding: 'utf8' });
    const doc = JSON.parse(r.stdout);
    const written = doc.files.filter((f) => f.status === 'written');
    assert.ok(written.length > 0);
    // The only motions without a file have no bone keys or are not motions.
    for (const f of doc.files.filter((x) => x.status !== 'written'))
      assert.ok(['no-bone-keys', 'not-a-motion'].includes(f.status), `${f.path}: ${f.status} ${f.reason}`);
    for (const f of written) {
      const bytes = new Uint8Array(readFileSync(f.vrma));
      assert.equal(bytes.length, f.bytes);
      assertValid(await validate(bytes), f.path);
      const { result: gltf, said } = await quietly(() => loadVrma(bytes));
      assert.deepEqual(said, [], f.path);
      const a = gltf.userData.vrmAnimations[0];
      assert.ok(Math.abs(a.duration - f.duration) < 1e-4, `${f.path}: duration ${a.duration}, told ${f.duration}`);
      assert.deepEqual([...a.humanoidTracks.translation.keys()], ['hips']);
      assert.deepEqual([...a.humanoidTracks.rotation.keys()].sort(), [...f.bones].sort(), f.path);
      const presets = f.expressions.preset.map((p) => p.name);
      for (const name of a.expressionTracks.preset.keys()) assert.ok(presets.includes(name), `${f.path}: ${name}`);
      for (const name of a.expressionTracks.custom.keys())
        assert.ok(f.expressions.custom.includes(name), `${f.path}: ${name}`);
      for (const track of a.humanoidTracks.rotation.values()) assert.equal(track.times.length, f.frames);
    }
  });
