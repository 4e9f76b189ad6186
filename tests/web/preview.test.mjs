// The page's preview of a motion in Debian's chromium (WebGL on SwiftShader):
// the views drawn, before and after in step, the controls, the findings'
// frames, the user's avatar, nothing fetched from elsewhere, the phone
// layout, and the lazy start.
import assert from 'node:assert/strict';
import { existsSync, readdirSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
  ROOT, SAMPLES, assertFitsTheWidth, checkFiles, motionSet, openPage, pictureFigures, runTool, sampleNames,
  samplesPresent, startBrowser,
} from './harness.mjs';
import { humanoidBoneOf } from '../../web/preview.js';

const MODELS = resolve(ROOT, '../shared/models');
const avatarPath = existsSync(MODELS) ? readdirSync(MODELS).filter((n) => n.endsWith('.vrm')).map((n) => join(MODELS, n))[0] : null;

let env;
let set;
before(async () => {
  env = await startBrowser();
  set = motionSet();
});
after(async () => {
  await env.close();
  set.remove();
});

// A page with the motions checked; every request it makes is recorded.
async function checked(names, viewport = { width: 1366, height: 768 }, dir = set.dir) {
  const requests = [];
  const opened = await openPage(env, 'en-US', { viewport }, async (context) => {
    context.on('request', (r) => requests.push(r.url()));
  });
  await checkFiles(opened.page, names.map((n) => join(dir, n)));
  return { ...opened, requests };
}

const previewOf = (page, name) => page.locator(`[data-tarvel-file="${name}"] [data-tarvel-preview]`);

// Scrolls a preview into view and waits until it shows its first frame.
async function started(preview) {
  await preview.scrollIntoViewIfNeeded();
  await preview.page().waitForFunction((p) => p.dataset.started === 'true' || p.querySelector('.preview-state.error'),
    await preview.elementHandle(), { timeout: 60000 });
  assert.equal(await preview.locator('.preview-state.error').count(), 0,
    await preview.locator('.preview-state').textContent());
}

const attr = (preview, name) => preview.getAttribute(name);

test('a finding colours the humanoid bone its bone belongs to', () => {
  const cases = {
    左腕捩: 'leftUpperArm', 右腕捩2: 'rightUpperArm', 右手捩: 'rightLowerArm', 左肩P: 'leftShoulder',
    左足D: 'leftUpperLeg', 右ひざD: 'rightLowerLeg', 左足首D: 'leftFoot', 下半身: 'hips', 腰: 'hips',
    上半身２: 'chest', 上半身3: 'upperChest', 左足ＩＫ親: 'leftFoot', '左足_+': 'leftUpperLeg', '頭 ': 'head',
    右腕: 'rightUpperArm', 左ひじ: 'leftLowerArm', 右つま先: 'rightToes',
  };
  for (const [mmd, humanoid] of Object.entries(cases)) assert.equal(humanoidBoneOf(mmd), humanoid, mmd);
  for (const none of ['左髪1', 'スカート', '両目', '左']) assert.equal(humanoidBoneOf(none), null, none);
});

describe('a motion the copy repairs', () => {
  let opened;
  let preview;
  before(async () => {
    opened = await checked(['twist_right.vmd', 'plain.vmd']);
    preview = previewOf(opened.page, 'twist_right.vmd');
  });
  after(() => opened.context.close());

  test('has its preview at once, at frame 0 and paused, then draws both views', async () => {
    assert.equal(await attr(preview, 'data-frame'), '0');
    assert.equal(await attr(preview, 'data-playing'), 'false');
    await started(preview);
    for (const which of ['before', 'after']) {
      const shot = await preview.locator(`canvas[data-tarvel-preview-${which}]`).screenshot();
      const { colours } = await pictureFigures(opened.page, shot);
      assert.ok(colours > 50, `the ${which} view is drawn (${colours} colours)`);
    }
    const slider = preview.locator('input[type=range][data-tarvel-frame]');
    assert.equal(await slider.getAttribute('min'), '0');
    assert.equal(await slider.getAttribute('step'), '1');
    assert.ok(Number(await slider.getAttribute('max')) > 0);
    assert.deepEqual(await preview.locator('select[data-tarvel-speed] option').evaluateAll((o) => o.map((x) => x.value)),
      ['0.25', '0.5', '0.75', '1', '1.5', '2']);
    assert.deepEqual(opened.errors, []);
  });

  test('plays, pauses, and the slider shows a frame', async () => {
    await started(preview);
    const play = preview.locator('button[data-tarvel-play]');
    await play.click();
    assert.equal(await attr(preview, 'data-playing'), 'true');
    await opened.page.waitForFunction((p) => Number(p.dataset.frame) > 3, await preview.elementHandle());
    await play.click();
    assert.equal(await attr(preview, 'data-playing'), 'false');
    const paused = await attr(preview, 'data-frame');
    await opened.page.waitForTimeout(300);
    assert.equal(await attr(preview, 'data-frame'), paused, 'paused stays');

    await play.click();
    await preview.locator('input[type=range][data-tarvel-frame]').fill('12');
    assert.equal(await attr(preview, 'data-frame'), '12');
    assert.equal(await attr(preview, 'data-playing'), 'false', 'moving the slider pauses');
  });

  test('playing past the last frame starts again at 0', async () => {
    await started(preview);
    const slider = preview.locator('input[type=range][data-tarvel-frame]');
    const last = Number(await slider.getAttribute('max'));
    await slider.fill(String(last - 1));
    await preview.locator('select[data-tarvel-speed]').selectOption('2');
    await preview.locator('button[data-tarvel-play]').click();
    await opened.page.waitForFunction((p) => Number(p.dataset.frame) < 10, await preview.elementHandle());
    await preview.locator('button[data-tarvel-play]').click();
    await preview.locator('select[data-tarvel-speed]').selectOption('1');
  });

  test('a finding pauses both views at its frame, where the two differ', async () => {
    await started(preview);
    const views = async () => Promise.all(['before', 'after'].map((w) => preview.locator(`canvas[data-tarvel-preview-${w}]`).screenshot()));
    await preview.locator('button[data-tarvel-camera-reset]').click();
    await preview.locator('input[type=range][data-tarvel-frame]').fill('0');
    const shots = await views();
    const atStart = await pictureFigures(opened.page, ...shots);

    const finding = opened.page.locator('[data-tarvel-file="twist_right.vmd"] li[data-code="twist-bone"][data-frame]');
    const frame = await finding.getAttribute('data-frame');
    await preview.locator('button[data-tarvel-play]').click();
    await finding.click();
    assert.equal(await attr(preview, 'data-frame'), frame);
    assert.equal(await attr(preview, 'data-playing'), 'false');
    await preview.scrollIntoViewIfNeeded();
    const atFinding = await pictureFigures(opened.page, ...(await views()));
    assert.ok(atStart.differ < 0.005, `the views agree where nothing turns (${atStart.differ})`);
    assert.ok(atFinding.differ > Math.max(0.01, 4 * atStart.differ), `the views differ at the twist (${atFinding.differ})`);
  });

  test('a motion with nothing to fix has one view', async () => {
    const plain = previewOf(opened.page, 'plain.vmd');
    await started(plain);
    assert.equal(await plain.locator('canvas[data-tarvel-preview-before]').count(), 0);
    assert.equal(await plain.locator('canvas[data-tarvel-preview-after]').count(), 1);
  });

  test('a file that is not a VRM says so', async () => {
    const status = preview.locator('[data-tarvel-avatar-status]');
    assert.equal(await status.getAttribute('data-tarvel-avatar-status'), '');
    await preview.locator('input[type=file][data-tarvel-avatar]').setInputFiles(join(set.dir, 'plain.vmd'));
    await opened.page.waitForFunction((s) => s.dataset.tarvelAvatarStatus, await status.elementHandle());
    assert.equal(await status.getAttribute('data-tarvel-avatar-status'), 'not a glTF binary');
    assert.match(await status.textContent(), /^Not a VRM avatar/);
  });

  test('the avatar shows the motion in both views', { skip: avatarPath ? false : 'no avatar in ../shared/models' }, async () => {
    await started(preview);
    await preview.locator('button[data-tarvel-camera-reset]').click();
    const canvas = preview.locator('canvas[data-tarvel-preview-after]');
    const mannequin = await canvas.screenshot();
    await preview.locator('input[type=file][data-tarvel-avatar]').setInputFiles(avatarPath);
    const status = preview.locator('[data-tarvel-avatar-status]');
    await opened.page.waitForFunction((s) => s.dataset.tarvelAvatarStatus === 'loaded', await status.elementHandle(), { timeout: 30000 });
    const onAvatar = await pictureFigures(opened.page, mannequin, await canvas.screenshot());
    assert.ok(onAvatar.differ > 0.01, `the avatar changes the picture (${onAvatar.differ})`);
    // the other motion's preview shows it too, once started
    const plain = previewOf(opened.page, 'plain.vmd');
    await started(plain);
    await opened.page.waitForFunction((s) => s.dataset.tarvelAvatarStatus === 'loaded',
      await plain.locator('[data-tarvel-avatar-status]').elementHandle(), { timeout: 30000 });
    assert.deepEqual(opened.errors, []);
  });

  test('nothing is asked of another origin', () => {
    const origin = new URL(env.url).origin;
    const away = opened.requests.filter((u) => !u.startsWith(origin + '/') && !/^(blob|data):/.test(u));
    assert.deepEqual(away, []);
    assert.ok(opened.requests.some((u) => u.endsWith('/viewer.js')));
  });
});

test('the preview starts only when it is seen', async () => {
  const names = set.names.filter((n) => !/cut_in_bones|garbage|empty|camera/.test(n));
  const { page, context, requests } = await checked(names, { width: 1366, height: 768 });
  await page.waitForTimeout(1000);
  const previews = page.locator('[data-tarvel-preview]');
  const count = await previews.count();
  assert.ok(count >= 10, `${count} previews`);
  const unseen = previewOf(page, names[names.length - 1]);
  assert.equal(await attr(unseen, 'data-started'), null, 'the last one has not started');
  assert.ok(await page.locator('[data-tarvel-preview][data-started]').count() < count);
  await started(unseen);
  assert.ok(requests.some((u) => u.endsWith('/viewer.js')));
  await context.close();
});

test('on a phone the views stack and fit the width', async () => {
  const { page, context } = await checked(['twist_right.vmd'], { width: 390, height: 844 });
  const preview = previewOf(page, 'twist_right.vmd');
  await started(preview);
  const [b, a] = await Promise.all(['before', 'after'].map((w) => preview.locator(`canvas[data-tarvel-preview-${w}]`).boundingBox()));
  assert.ok(a.y >= b.y + b.height, 'after below before');
  assert.ok(b.width > 300 && b.x + b.width <= 390 && a.x + a.width <= 390);
  await assertFitsTheWidth(page, 390);
  await context.close();
});

describe('the real samples', { skip: samplesPresent ? false : 'the sample motions are absent' }, () => {
  test('every sample with bone keys previews; at a twist, the copy\'s view differs', async () => {
    const names = sampleNames();
    const report = JSON.parse(runTool(SAMPLES, ['--json', ...names]).stdout).files;
    const keyed = report.filter((f) => f.status === 'complete' && f.bones.length).map((f) => f.path);
    const { page, context, errors } = await checked(names, { width: 1366, height: 768 }, SAMPLES);
    const shown = await page.$$eval('[data-tarvel-file]', (blocks) => blocks.filter((b) => b.querySelector('[data-tarvel-preview]'))
      .map((b) => b.dataset.tarvelFile));
    assert.deepEqual(shown, keyed);
    let twists = 0;
    for (const name of shown) {
      const preview = previewOf(page, name);
      await started(preview);
      const shot = await preview.locator('canvas[data-tarvel-preview-after]').screenshot();
      assert.ok((await pictureFigures(page, shot)).colours > 50, `${name} is drawn`);
      const twist = page.locator(`[data-tarvel-file="${name}"] li[data-code="twist-bone"][data-frame]`).first();
      if (!await twist.count()) continue;
      await twist.click();
      await preview.locator('button[data-tarvel-camera-reset]').click();
      await preview.scrollIntoViewIfNeeded();
      const views = await Promise.all(['before', 'after'].map((w) => preview.locator(`canvas[data-tarvel-preview-${w}]`).screenshot()));
      const { differ } = await pictureFigures(page, ...views);
      assert.ok(differ > 0.002, `${name}: the views differ at the twist's frame (${differ})`);
      twists++;
    }
    assert.ok(twists > 0, 'a sample with a twist finding');
    assert.deepEqual(errors, []);
    await context.close();
  });
});
