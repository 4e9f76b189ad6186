// A motion's preview in its block of the page: the views and the controls,
// made as soon as the motion is checked; the drawing (viewer.js, three and
// the VRM packages) is loaded and the motion's VRM Animation asked of the
// Worker only when the preview is scrolled into view or a finding's frame is
// asked for. "Before" is the motion as a VRM viewer plays it (its export with
// no fold: bones without a humanoid counterpart dropped, the leg IK solved);
// "after" is the same for its VRM-ready copy. A motion with nothing to fix
// has only the one view.

const TEXTS = {
  en: {
    title: 'Preview',
    before: 'Before: the motion in a VRM viewer',
    after: 'After: the copy fixed for VRM',
    only: 'The motion in a VRM viewer',
    play: 'Play',
    pause: 'Pause',
    speed: 'Speed',
    frame: 'Frame',
    reset: 'Reset the camera',
    avatar: 'Your avatar (.vrm)',
    avatarNote: 'It stays on this computer.',
    time: (f, last) => `frame ${f} / ${last} · ${(f / 30).toFixed(2)} s`,
    preparing: 'Preparing the preview…',
    unavailable: 'The preview is unavailable: ',
    loaded: (name) => `Showing ${name}.`,
    notVrm: (why) => `Not a VRM avatar: ${why}.`,
    dropAvatar: 'Drag the mouse or a finger to turn the camera, the wheel or two fingers to zoom; drop a .vrm here to see the motion on it.',
  },
  ja: {
    title: 'プレビュー',
    before: '修正前: VRM ビューアーでのモーション',
    after: '修正後: VRM 用に修正したコピー',
    only: 'VRM ビューアーでのモーション',
    play: '再生',
    pause: '一時停止',
    speed: '速度',
    frame: 'フレーム',
    reset: 'カメラを戻す',
    avatar: '自分のアバター (.vrm)',
    avatarNote: 'ファイルはこのコンピューターから出ません。',
    time: (f, last) => `フレーム ${f} / ${last} · ${(f / 30).toFixed(2)} 秒`,
    preparing: 'プレビューを準備しています…',
    unavailable: 'プレビューは使えません: ',
    loaded: (name) => `${name} で表示しています。`,
    notVrm: (why) => `VRM アバターではありません: ${why}。`,
    dropAvatar: 'マウスや指でドラッグするとカメラが回り、ホイールや 2 本指でズームします。.vrm をここにドロップするとそのアバターで表示します。',
  },
};
const T = () => TEXTS[document.documentElement.lang === 'ja' ? 'ja' : 'en'];

const SPEEDS = [0.25, 0.5, 0.75, 1, 1.5, 2];

// The humanoid bone a bone of the motion (an MMD name) belongs to, for the
// colours of the findings: a twist bone is its arm's, a shoulder P its
// shoulder's, a D bone its leg's, 下半身 and the centre chain the hips'.
const SIDED = {
  肩: 'Shoulder', 肩P: 'Shoulder', 肩C: 'Shoulder',
  腕: 'UpperArm', 腕捩: 'UpperArm', 腕D: 'UpperArm',
  ひじ: 'LowerArm', ひじD: 'LowerArm', 手捩: 'LowerArm', 手首: 'Hand', 腕IK: 'Hand',
  足: 'UpperLeg', 足D: 'UpperLeg', ひざ: 'LowerLeg', ひざD: 'LowerLeg',
  足首: 'Foot', 足首D: 'Foot', 足IK: 'Foot', 足IK親: 'Foot', つま先: 'Toes', つま先IK: 'Toes',
};
const CENTRAL = {
  全ての親: 'hips', センター: 'hips', センター親: 'hips', センター補助: 'hips', グルーブ: 'hips',
  腰: 'hips', 下半身: 'hips', 上半身: 'spine', 上半身2: 'chest', 上半身3: 'upperChest', 首: 'neck', 頭: 'head',
};
export function humanoidBoneOf(mmd) {
  const name = mmd.trim().replace(/_?\+$/, '')
    .replace(/[０-９]/g, (d) => String.fromCharCode(d.charCodeAt(0) - 0xfee0)).replace(/ＩＫ/g, 'IK');
  if (CENTRAL[name]) return CENTRAL[name];
  const side = name[0] === '左' ? 'left' : name[0] === '右' ? 'right' : null;
  const part = side ? SIDED[name.slice(1).replace(/[0-9]$/, '')] : undefined;
  return part ? side + part : null;
}

// Whether a motion has a preview: bone keys, all of them read.
export const hasPreview = (r) => !!r.boneKeysWhole;

// The report's colour of each humanoid bone a finding concerns (the first,
// most severe finding's colour where several do).
function findingColours(r) {
  const colours = {};
  for (const f of r.findings) {
    const bone = f.bone !== undefined && r.bones[f.bone];
    const humanoid = bone && humanoidBoneOf(f.bone);
    if (humanoid && bone.colour && bone.colour !== 'ffffff' && !colours[humanoid]) colours[humanoid] = bone.colour;
  }
  return colours;
}

// The Worker's answers to the VRM Animations asked of it, by request.
const waiting = new Map();
let asked = 0;
export function askVrma(worker, msg) {
  const id = ++asked;
  return new Promise((answer) => {
    waiting.set(id, answer);
    worker.postMessage({ type: 'vrma', id, ...msg });
  });
}
export function vrmaAnswered(msg) {
  const answer = waiting.get(msg.id);
  waiting.delete(msg.id);
  if (answer) answer(msg);
}

let viewer = null;
function loadViewer() {
  viewer ||= new Promise((ok, fail) => {
    const script = document.createElement('script');
    script.src = 'viewer.js';
    script.onload = () => ok(self.tarvelViewer);
    script.onerror = () => fail(new Error('viewer.js could not be loaded'));
    document.head.append(script);
  });
  return viewer;
}

// The avatar the user gave last (its bytes and name), shown in every preview.
let avatar = null;
const started = new Set();

function el(tag, attrs = {}, text) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, v);
  if (text !== undefined) e.textContent = text;
  return e;
}

// The preview of the motion r shown in block: the views and controls, ready
// at once; started when first seen. ask(copy) asks the Worker for the no-fold
// VRM Animation of the motion (copy false) or of its VRM-ready copy (true).
export function previewArea(block, r, ask) {
  const t = T();
  const fixable = r.findings.some((f) => f.fixable === true);
  const root = el('section', { class: 'preview', 'data-tarvel-preview': '', 'data-frame': '0', 'data-playing': 'false' });
  root.append(el('h3', {}, t.title));
  const views = el('div', { class: fixable ? 'preview-views two' : 'preview-views' });
  const canvases = [];
  const view = (which, caption) => {
    const figure = el('figure');
    const canvas = el('canvas', { [`data-tarvel-preview-${which}`]: '', width: '400', height: '300' });
    figure.append(el('figcaption', {}, caption), canvas);
    views.append(figure);
    canvases.push(canvas);
  };
  if (fixable) view('before', t.before);
  view('after', fixable ? t.after : t.only);
  const play = el('button', { type: 'button', 'data-tarvel-play': '' }, t.play);
  const last = Math.max(0, r.frames || 0);
  const slider = el('input', { type: 'range', min: '0', max: String(last), step: '1', value: '0',
    'data-tarvel-frame': '', 'aria-label': t.frame });
  const time = el('span', { class: 'preview-time' }, t.time(0, last));
  const speed = el('select', { 'data-tarvel-speed': '' });
  for (const s of SPEEDS) speed.append(new Option(`${s}×`, String(s), s === 1, s === 1));
  const speedLabel = el('label', { class: 'preview-speed' }, `${t.speed} `);
  speedLabel.append(speed);
  const reset = el('button', { type: 'button', 'data-tarvel-camera-reset': '' }, t.reset);
  const avatarInput = el('input', { type: 'file', accept: '.vrm', 'data-tarvel-avatar': '' });
  const avatarLabel = el('label', { class: 'button preview-avatar' }, t.avatar);
  avatarLabel.append(avatarInput);
  const avatarStatus = el('span', { class: 'preview-avatar-status', 'data-tarvel-avatar-status': '', role: 'status' });
  const controls = el('div', { class: 'preview-controls' });
  controls.append(play, slider, time, speedLabel, reset);
  const own = el('div', { class: 'preview-own' });
  own.append(avatarLabel, avatarStatus);
  const state = el('p', { class: 'preview-state', role: 'status' });
  root.append(views, controls, own, el('p', { class: 'preview-hint' }, `${t.dropAvatar} ${t.avatarNote}`), state);

  let preview = null;
  let lastFrame = last;
  const setFrame = (f) => {
    root.dataset.frame = String(f);
    slider.value = String(f);
    time.textContent = t.time(f, lastFrame);
  };
  const setPlaying = (on) => {
    root.dataset.playing = on ? 'true' : 'false';
    play.textContent = on ? t.pause : t.play;
  };
  const sayAvatar = (value, text) => {
    avatarStatus.dataset.tarvelAvatarStatus = value;
    avatarStatus.textContent = text;
  };

  // Starts once: the animations from the Worker, then the views.
  let starting = null;
  const start = () => {
    starting ||= (async () => {
      state.textContent = t.preparing;
      const answers = await Promise.all((fixable ? [false, true] : [false]).map((copy) => ask(copy)));
      const missing = answers.find((a) => !a.bytes);
      if (missing) throw new Error(missing.reason || 'no VRM Animation');
      const made = (await loadViewer()).start({ canvases, onFrame: setFrame, onPlaying: setPlaying },
        answers.map((a) => a.bytes), findingColours(r));
      await made.ready;
      preview = made;
      lastFrame = preview.lastFrame;
      slider.max = String(lastFrame);
      preview.speed = Number(speed.value);
      setFrame(0);
      state.textContent = '';
      root.dataset.started = 'true';
      started.add(showAvatar);
      if (avatar) showAvatar().catch(() => {});
    })().catch((e) => {
      state.textContent = t.unavailable + (e.message || e);
      state.classList.add('error');
      throw e;
    });
    return starting;
  };
  const whenStarted = (then) => start().then(then, () => {});

  // The avatar given last, in this preview's views.
  async function showAvatar() {
    await preview.setAvatar(avatar.bytes);
    sayAvatar('loaded', t.loaded(avatar.name));
  }
  async function takeAvatar(file) {
    if (!file) return;
    const bytes = await file.arrayBuffer();
    if (!(await start().then(() => true, () => false))) return;  // the preview says why
    try {
      await preview.setAvatar(bytes);
    } catch (e) {
      sayAvatar(e.message, t.notVrm(e.message));
      return;
    }
    avatar = { bytes, name: file.name };
    sayAvatar('loaded', t.loaded(file.name));
    for (const other of started) if (other !== showAvatar) other().catch(() => {});
  }

  const seen = new IntersectionObserver((entries) => {
    if (entries.some((e) => e.isIntersecting)) {
      seen.disconnect();
      start().catch(() => {});
    }
  });
  seen.observe(root);

  play.addEventListener('click', () => whenStarted(() => preview.setPlaying(!preview.playing)));
  slider.addEventListener('input', () => whenStarted(() => {
    preview.setPlaying(false);
    preview.showFrame(Number(slider.value));
  }));
  speed.addEventListener('change', () => { if (preview) preview.speed = Number(speed.value); });
  reset.addEventListener('click', () => { if (preview) preview.resetCamera(); });
  avatarInput.addEventListener('change', () => takeAvatar(avatarInput.files[0]));
  root.addEventListener('dragover', (e) => {
    e.preventDefault();
    e.stopPropagation();
  });
  root.addEventListener('drop', (e) => {
    e.preventDefault();
    e.stopPropagation();
    takeAvatar(e.dataTransfer.files[0]);
  });

  // A finding's frame: both views paused there, the camera on its bone.
  block.addEventListener('click', (e) => {
    const li = e.target.closest('[data-tarvel-findings] > li[data-frame]');
    if (!li) return;
    const finding = r.findings[Array.prototype.indexOf.call(li.parentNode.children, li)];
    const bone = finding && finding.bone !== undefined ? humanoidBoneOf(finding.bone) : null;
    const frame = Number(li.dataset.frame);
    setFrame(Math.min(frame, lastFrame));
    whenStarted(() => {
      preview.setPlaying(false);
      preview.showFrame(Math.min(frame, preview.lastFrame));
      preview.focus(bone);
    });
  });
  return root;
}
