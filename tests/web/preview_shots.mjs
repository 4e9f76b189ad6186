// Pictures of a motion's preview for the README and docs/: in a window 1366
// px wide, paused at the frame of its first finding with a frame (the camera
// on that finding's bone), again on a phone 390 px wide, and on an avatar
// (the whole body, at that frame).
//   node tests/web/preview_shots.mjs OUTDIR MOTION [AVATAR.vrm]
import { join } from 'node:path';
import { checkFiles, openPage, startBrowser } from './harness.mjs';

const [out, motion, avatar] = process.argv.slice(2);
const env = await startBrowser();

async function shoot(width, height, file, withAvatar) {
  const { page, context } = await openPage(env, 'en-US', { viewport: { width, height } });
  await checkFiles(page, [motion]);
  const preview = page.locator('[data-tarvel-preview]').first();
  await preview.scrollIntoViewIfNeeded();
  await page.waitForFunction(() => document.querySelector('[data-tarvel-preview]').dataset.started === 'true', null, { timeout: 60000 });
  if (withAvatar) {
    await preview.locator('[data-tarvel-avatar]').setInputFiles(withAvatar);
    await page.waitForFunction(() => document.querySelector('[data-tarvel-avatar-status]').dataset.tarvelAvatarStatus === 'loaded');
  }
  const finding = page.locator('li[data-fixable][data-frame], li[data-frame]').first();
  if (await finding.count()) await finding.click();
  if (withAvatar) await preview.locator('[data-tarvel-camera-reset]').click();
  await preview.scrollIntoViewIfNeeded();
  await preview.screenshot({ path: join(out, file) });
  await context.close();
}

try {
  await shoot(1366, 768, 'preview-1366.png');
  await shoot(390, 844, 'preview-390.png');
  if (avatar) await shoot(1366, 768, 'preview-avatar-1366.png', avatar);
} finally {
  await env.close();
}
