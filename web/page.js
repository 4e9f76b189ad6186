// The page: hands the chosen motions to the Worker and shows each report as it
// arrives, in the order the files were given. The page's own texts follow the
// browser's language; the report's texts and the verdict are the core's own.
'use strict';
import { askVrma, hasPreview, previewArea, vrmaAnswered } from './preview.js';

// Categories, most severe first, as the JSON names them.
const CATEGORIES = ['fix', 'dropout', 'rough', 'slight', 'ok'];

// Where a file is cut and what that loses, in Japanese, from the detail the
// JSON gives (the core's message says the same in English).
function cutDetailJa(d) {
  const SECTIONS = {
    header: 'ヘッダー', modelName: 'モデル名', bone: 'ボーン', morph: 'モーフ', camera: 'カメラ',
    light: '照明', selfShadow: 'セルフ影', showIk: '表示・IK',
  };
  const part = SECTIONS[d.section] || d.section;
  const read = d.inCount ? 0 : d.read || 0;
  let where;
  if (d.reason === 'negative count') {
    const count = d.section === 'showIk' ? '表示・IKキーの数か、その記録の IK の数' : `${part}キーの数 (${d.declared}) `;
    where = `${count}があり得ない値のため、${d.endOffset} バイト目で読むのをやめました。`;
  } else if (d.section === 'header' || d.section === 'modelName') {
    where = `${part}の途中でファイルが終わっています (${d.endOffset} バイト)。`;
  } else if (d.inCount) {
    where = `${part}キーの数の途中でファイルが終わっています (${d.endOffset} バイト)。`;
  } else {
    where = `${part}キーの途中で切れています: ${d.declared} 個のうち ${d.read} 個を読みました (ファイルは ${d.endOffset} バイト)。`;
  }
  const keys = `${read > 0 ? `最初の ${read} 個より後の` : ''}${part}キー`;
  let loss;
  if (d.section === 'header' || d.section === 'modelName' || (d.section === 'bone' && read === 0)) loss = 'キーはすべて失われます。';
  else if (d.section === 'bone') loss = `失われるもの: ${keys}と、それ以降のすべて (モーフキーを含む)。`;
  else if (d.section === 'morph') loss = `ボーンキーは揃っています。失われるもの: ${keys}と、それ以降のすべて。`;
  else loss = `ボーンとモーフのキーは揃っているので、アバターに使うものは失われません。失われるもの: ${keys}${d.section === 'showIk' ? '' : 'と、それ以降のすべて'}。`;
  return where + loss;
}

const TEXTS = {
  en: {
    lead: 'Checks MMD motions (.vmd) before you play them on a VRM avatar: the bones and morphs they drive, the bones that will cause trouble, and whether the motion is usable as it is.',
    private: 'Your files never leave this computer: they are checked here, in your browser.',
    pickMotions: 'Choose motions (.vmd)',
    pickFolder: 'Choose a folder',
    pickAlias: 'Choose alias.ini',
    clearAlias: 'Remove alias.ini',
    dropHint: 'Or drop motions or a folder here. An alias.ini gives English headings and your own names, as beside the desktop program.',
    loading: 'Loading the checker…',
    ready: 'Ready: choose or drop motions.',
    failed: 'The checker could not be started in this browser: ',
    checking: (done, all) => `Checking… ${done} of ${all}`,
    checked: (all) => (all === 1 ? '1 motion checked.' : `${all} motions checked.`),
    noMotions: 'No motions (.vmd) in what was given.',
    folderHint: 'This browser cannot open a dropped folder. Open the folder, select the motions inside (Ctrl+A or ⌘A) and drop them here, or use “Choose a folder”.',
    pending: 'Checking…',
    status: {
      unreadable: 'Could not be read, so there is no verdict.',
      'not-a-motion': 'Not a motion file (.vmd), so there is no verdict.',
      cut: 'The file is cut short: the verdict below is judged on the keys read before the cut.',
    },
    statusShort: { complete: 'Complete', unreadable: 'Could not be read', 'not-a-motion': 'Not a motion', cut: 'Cut short' },
    // where a file is cut, in the page's language (null: the core's words)
    cutDetail: null,
    category: {
      fix: 'Needs fixing', dropout: 'Needs checking', rough: 'Somewhat rough',
      slight: 'Slightly rough', ok: 'Usable as it is',
    },
    cameraOnly: 'camera only',
    seconds: (s) => `${s.toFixed(2)} s`,
    colVerdict: 'Verdict',
    colKeys: 'Keys',
    colDuration: 'Duration',
    colFile: 'File',
    download: 'Download the JSON report',
    filterLabel: 'Show',
    filterAll: (n) => `All files (${n})`,
    files: (n) => (n === 1 ? '1 file' : `${n} files`),
    findingsTitle: 'What this means',
    legendTitle: 'Colours of the report',
    // The findings of a file, one sentence each: which bone, what it does,
    // where (the frame), then what it means or what to do.
    most: (f, deg) => (f === null ? '' : ` — most at frame ${f}${deg === null ? '' : ` (${deg}°)`}`),
    find: {
      'twist-bone': (b, w) => `${b} is a twist bone and turns${w}. A VRM model has no such bone: this movement drops out.`,
      'upper-body-2-full-width': (b, w) => `${b} (full-width 2) turns without 上半身2${w}. It drops out on a VRM model.`,
      'plus-bone': (b, w) => `${b} is a P+ bone and turns${w}. It drops out on a VRM model.`,
      'leg-d-bone': (b, w) => `${b} is a D bone and turns${w}.`,
      'arm-d-bone': (b, w) => `${b} is a D bone and turns${w}.`,
      'upper-body-3': (b, w) => `${b} turns${w}.`,
      'leg-ik-parent-full-width': (b, w) => `${b} (full-width IK) turns${w}.`,
      moves: (b, w) => `${b} moves without turning${w}. It is named only when the motion has other drop-out factors.`,
      'leg-ik-parent': (b, w) => `${b}, a leg IK parent, turns far${w}.`,
      'leg-ik-parent-turned': (b, w) => `${b}, a leg IK parent, turns a little${w}. This does not change the verdict.`,
      'shoulder-p-bone': (b, w) => `${b}, a shoulder P bone, turns${w}.`,
      'arm-twist-rough': (b, w) => `${b} twists by 160° or more${w}.`,
      'arm-twist-slight': (b, w) => `${b} twists by 145° or more${w}.`,
      'lower-body': (b, w) => `${b} turns${w}.`,
      waist: (b, w) => `${b} turns${w}.`,
      'camera-only': () => 'This is a camera, light or shadow motion only: it has no bone or morph keys, so the avatar does not move.',
      'no-keys': () => 'The motion has no keys at all.',
      'ik-off': (n, f) => `IK of ${n} is switched off from frame ${f}.`,
      'name-cut': (n, kind) => `The ${kind} name ${n} is cut inside a double-byte character at the end of its field; it is shown as read.`,
      'name-not-shift-jis': (n, kind) => `The ${kind} name ${n} is not valid Shift-JIS; it is shown as well as it can be.`,
    },
    movedAt: (f) => ` It moves most at frame ${f}.`,
    kind: { bone: 'bone', morph: 'morph', model: 'model' },
    fixable: 'You can make a VRM-ready copy of the motion that repairs what its twist bones, shoulder P bones and a lone 上半身２ lose: use the button below, or tarvel-fix.',
    fixButton: 'Download the VRM-ready copy',
    fixNote: 'The copy moves the turns of the twist bones, the shoulder P bones and a lone 上半身２ into the bones next to them; nothing else changes. A motion’s terms of use may forbid modifying it or passing on a modified copy: check them before you use or share the copy.',
    fixing: 'Making the copy…',
    fixDone: 'Downloaded: ',
    fixVerdict: 'The copy’s verdict:',
    fixFailed: 'No copy was made: ',
    fixAll: 'Download all VRM-ready copies (.zip)',
    fixAllDone: (n) => (n === 1 ? 'Downloaded, with 1 copy: ' : `Downloaded, with ${n} copies: `),
    fixAllNone: (name) => `No copy of ${name}: `,
    fixNew: 'New in the copy:',
    foldedInto: (b) => `(${b} folded into it)`,
    vrmaButton: 'Download as VRM Animation (.vrma)',
    vrmaNote: 'The motion for VRM apps, the legs’ IK solved: the same file as tarvel-fix --vrma writes. A motion’s terms of use may forbid converting it or passing on a converted file: check them before you use or share a .vrma file.',
    vrmaMaking: 'Making the VRM Animation…',
    vrmaFailed: 'No VRM Animation was made: ',
    // what a finding means for the avatar (the copy is offered by its button)
    advice: {
      fix: 'As it is, the avatar loses this movement.',
      dropout: 'The viewer cannot reproduce this movement; the motion’s ReadMe may say whether that matters.',
      rough: 'Playable, but this part will look somewhat rough or shifted.',
      slight: 'Playable as it is; this part may look slightly rough.',
    },
    legend: [
      ['ff0000', 'Red', 'twist bones (腕捩, 手捩), P+ bones (…_+), 上半身２ turning without 上半身2, and leg IK parents written with full-width ＩＫ (左足ＩＫ親). When they turn, the first three make the motion “Needs fixing”, the full-width IK parents “Needs checking”.'],
      ['ff5000', 'Orange', 'D bones (足D, ひざD, 足首D, 腕D, ひじD) and arm IK bones (腕ＩＫ). A D bone that turns makes the motion “Needs checking”.'],
      ['ff7800', 'Dark orange', 'shoulder P bones (肩P), 上半身3, センター親 and センター補助. A shoulder P bone or 上半身3 that turns makes the motion “Needs checking”.'],
      ['fff000', 'Yellow', '腰; 下半身 that turns while it moves, or turns by 35° or more; an arm or elbow twisted by 160° or more (“Somewhat rough”); a leg IK parent (足IK親) that turns far (“Needs checking”).'],
      ['fafa96', 'Pale yellow', '下半身 turned by 15° to 35° (“Somewhat rough”: 下半身 counts whenever it turns); an arm or elbow twisted by 145° to 160° (“Slightly rough”); a leg IK parent that turns a little (no effect on the verdict).'],
      ['ffffff', 'White', 'every other bone and morph, and the headings.'],
    ],
  },
  ja: {
    lead: 'MMD モーション (.vmd) を VRM アバターで再生する前に確認します: 使われているボーンとモーフ、問題を起こすボーン、そのまま使えるかどうか。',
    private: 'ファイルはこのコンピューターから出ません: このブラウザーの中で確認します。',
    pickMotions: 'モーションを選ぶ (.vmd)',
    pickFolder: 'フォルダーを選ぶ',
    pickAlias: 'alias.ini を選ぶ',
    clearAlias: 'alias.ini を外す',
    dropHint: 'モーションやフォルダーをここにドロップしても確認できます。alias.ini があると、デスクトップ版と同じく見出しが英語になり、独自の名前が使われます。',
    loading: '確認プログラムを読み込んでいます…',
    ready: '準備完了: モーションを選ぶかドロップしてください。',
    failed: 'このブラウザーでは確認プログラムを起動できませんでした: ',
    checking: (done, all) => `確認中… ${done} / ${all}`,
    checked: (all) => `${all} 個のモーションを確認しました。`,
    noMotions: '渡されたものの中にモーション (.vmd) がありません。',
    folderHint: 'このブラウザーでは、ドロップしたフォルダーを開けません。フォルダーを開いて中のモーションを選び (Ctrl+A または ⌘A)、ここにドロップするか、「フォルダーを選ぶ」を使ってください。',
    pending: '確認中…',
    status: {
      unreadable: '読み込めなかったため、判定はありません。',
      'not-a-motion': 'モーションファイル (.vmd) ではないため、判定はありません。',
      cut: 'ファイルが途中で切れています: 下の判定は、切れる前に読めたキーによるものです。',
    },
    statusShort: { complete: '最後まで読めた', unreadable: '読み込めません', 'not-a-motion': 'モーションではありません', cut: '途中で切れています' },
    cutDetail: cutDetailJa,
    category: { fix: '要修正', dropout: '確認要', rough: 'やや荒れ', slight: '少し荒れ', ok: 'OK' },
    cameraOnly: 'カメラのみ',
    seconds: (s) => `${s.toFixed(2)} 秒`,
    colVerdict: '判定',
    colKeys: 'キー数',
    colDuration: '長さ',
    colFile: 'ファイル',
    download: 'JSON レポートをダウンロード',
    filterLabel: '表示',
    filterAll: (n) => `すべてのファイル (${n})`,
    files: (n) => `${n} 個のファイル`,
    findingsTitle: '判定の内容',
    legendTitle: 'レポートの色',
    most: (f, deg) => (f === null ? '' : ` (最大はフレーム ${f}${deg === null ? '' : `、${deg}°`})`),
    find: {
      'twist-bone': (b, w) => `${b} は捩りボーンで、回転しています${w}。VRM モデルにはないボーンのため、この動きは抜け落ちます。`,
      'upper-body-2-full-width': (b, w) => `${b} (全角の２) が 上半身2 なしで回転しています${w}。VRM モデルでは抜け落ちます。`,
      'plus-bone': (b, w) => `${b} は P+ ボーンで、回転しています${w}。VRM モデルでは抜け落ちます。`,
      'leg-d-bone': (b, w) => `${b} は D ボーンで、回転しています${w}。`,
      'arm-d-bone': (b, w) => `${b} は D ボーンで、回転しています${w}。`,
      'upper-body-3': (b, w) => `${b} が回転しています${w}。`,
      'leg-ik-parent-full-width': (b, w) => `${b} (全角の ＩＫ) が回転しています${w}。`,
      moves: (b, w) => `${b} は回転せずに移動しています${w}。ほかにボーン抜けの要因があるときだけ挙げられます。`,
      'leg-ik-parent': (b, w) => `${b} (足IK親) が大きく回転しています${w}。`,
      'leg-ik-parent-turned': (b, w) => `${b} (足IK親) が少し回転しています${w}。判定には影響しません。`,
      'shoulder-p-bone': (b, w) => `${b} (肩P ボーン) が回転しています${w}。`,
      'arm-twist-rough': (b, w) => `${b} が 160° 以上捩れています${w}。`,
      'arm-twist-slight': (b, w) => `${b} が 145° 以上捩れています${w}。`,
      'lower-body': (b, w) => `${b} が回転しています${w}。`,
      waist: (b, w) => `${b} が回転しています${w}。`,
      'camera-only': () => 'カメラ・照明・セルフ影だけのモーションです: ボーンとモーフのキーがないため、アバターは動きません。',
      'no-keys': () => 'キーがひとつもないモーションです。',
      'ik-off': (n, f) => `${n} の IK はフレーム ${f} から OFF になっています。`,
      'name-cut': (n, kind) => `${kind}名 ${n} は、欄の終わりで 2 バイト文字の途中が切れています。読んだままを表示しています。`,
      'name-not-shift-jis': (n, kind) => `${kind}名 ${n} は Shift-JIS として正しくありません。できる範囲で表示しています。`,
    },
    movedAt: (f) => `移動が最大なのはフレーム ${f} です。`,
    kind: { bone: 'ボーン', morph: 'モーフ', model: 'モデル' },
    fixable: '捩りボーン・肩P ボーン・上半身2 なしで回る上半身２ で失われる動きは直せます: 下のボタンで VRM 用に修正したモーションのコピーを作れます (tarvel-fix でも作れます)。',
    fixButton: 'VRM 用に修正したコピーをダウンロード',
    fixNote: 'コピーでは、捩りボーン・肩P ボーン・上半身2 なしで回る上半身２ の回転を隣のボーンに移します。ほかは変わりません。モーションの利用規約で改変や改変したものの配布が禁じられていることがあります: 使う前・配る前に確認してください。',
    fixing: 'コピーを作成中…',
    fixDone: 'ダウンロードしました: ',
    fixVerdict: 'コピーの判定:',
    fixFailed: 'コピーは作れませんでした: ',
    fixAll: 'VRM 用に修正したコピーをまとめてダウンロード (.zip)',
    fixAllDone: (n) => `${n} 個のコピーをまとめてダウンロードしました: `,
    fixAllNone: (name) => `${name} のコピーは作れませんでした: `,
    fixNew: 'コピーで新たに出たもの:',
    foldedInto: (b) => `(${b} の回転を移したため)`,
    vrmaButton: 'VRM アニメーション (.vrma) としてダウンロード',
    vrmaNote: 'VRM 対応アプリ向けのモーションです (足の IK も解いてあります)。tarvel-fix --vrma が書くものと同じファイルです。モーションの利用規約で変換や変換したものの配布が禁じられていることがあります: 使う前・配る前に確認してください。',
    vrmaMaking: 'VRM アニメーションを作成中…',
    vrmaFailed: 'VRM アニメーションは作れませんでした: ',
    advice: {
      fix: 'このままではアバターでこの動きが失われます。',
      dropout: 'この動きはビューアーで再現できません。問題になるかどうかはモーションの ReadMe を確認してください。',
      rough: '再生はできますが、この部分はやや荒れる／ややズレます。',
      slight: 'そのまま再生できます。この部分は少し荒れることがあります。',
    },
    legend: [
      ['ff0000', '赤', '捩りボーン (腕捩・手捩)、P+ ボーン (…_+)、上半身2 なしで回る上半身２、全角の ＩＫ で書かれた足IK親 (左足ＩＫ親)。回っていれば、前の三つは「要修正」、全角の IK 親は「確認要」になります。'],
      ['ff5000', 'オレンジ', 'D ボーン (足D・ひざD・足首D・腕D・ひじD) と腕IK (腕ＩＫ)。D ボーンが回っていれば「確認要」になります。'],
      ['ff7800', '濃いオレンジ', '肩P ボーン、上半身3、センター親、センター補助。肩P や上半身3 が回っていれば「確認要」になります。'],
      ['fff000', '黄色', '腰。移動しながら回るか、35° 以上回る下半身。160° 以上捩れる腕・ひじ (「やや荒れ」)。大きく回る足IK親 (「確認要」)。'],
      ['fafa96', '薄い黄色', '15°～35° 回る下半身 (「やや荒れ」: 下半身は回れば数えます)。145°～160° 捩れる腕・ひじ (「少し荒れ」)。少し回る足IK親 (判定には影響しません)。'],
      ['ffffff', '白', 'そのほかのボーンとモーフ、見出し。'],
    ],
  },
};

function pageLanguage() {
  const langs = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language || 'en'];
  return String(langs[0]).toLowerCase().startsWith('ja') ? 'ja' : 'en';
}

const lang = pageLanguage();
const T = TEXTS[lang];
document.documentElement.lang = lang;
for (const node of document.querySelectorAll('[data-text]')) {
  const t = T[node.dataset.text];
  if (typeof t === 'string') node.textContent = t;
}

const $ = (id) => document.getElementById(id);
const state = $('state');
const results = $('results');
const summary = $('summary');
const download = $('download');
const fixAll = $('fix-all');
const fixAllResult = $('fix-all-result');
const filter = $('filter');

const worker = new Worker('worker.js');
let workerReady = false;
let batch = 0;        // the newest batch of files
let files = [];       // its files, in order: { file, name }
let entries = [];     // its results (undefined until known)
let aliasFile = null;
let documentText = '';  // the JSON document of the files shown
let sorting = { key: null, up: true };
let notice = '';      // said beside every state of the files shown (a folder not opened)
let copies = [];      // the VRM-ready copies made, by file: { name, url }
let vrmas = [];       // the VRM Animations made, by file: { name, url }
let zipUrl = null;    // the zip of every copy, once made

function setState(text, error) {
  state.textContent = [text, notice].filter(Boolean).join(' ');
  state.classList.toggle('error', !!error || !!notice);
}

function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

function categoryLabel(tag, category, text) {
  const label = el(tag, 'category-label', text === undefined ? T.category[category] : text);
  label.dataset.category = category;
  return label;
}

// The legend of the report's colours.
for (const [colour, name, what] of T.legend) {
  const item = el('li');
  const swatch = el('span', 'swatch');
  swatch.style.background = '#' + colour;
  swatch.dataset.colour = colour;
  item.append(swatch, el('strong', null, name), document.createTextNode(' — ' + what));
  $('legend').querySelector('ul').append(item);
}

const degrees = (v) => (typeof v === 'number' ? v.toFixed(1) : null);

// Where a finding happens: its frame (or null) and the angle there.
function findingPlace(f, bone) {
  if (f.code === 'ik-off') return { frame: f.frame, deg: null };
  if (!bone) return { frame: null, deg: null };
  if ((f.code === 'twist-bone' || f.code.startsWith('arm-twist')) && bone.twist) {
    // the larger side, the minus side when equal (as the report line)
    const side = bone.twist.minus.degrees < bone.twist.plus.degrees ? bone.twist.plus : bone.twist.minus;
    return { frame: side.frame, deg: degrees(side.degrees) };
  }
  if (f.severity === 'info' && (f.code === 'upper-body-3' || f.code === 'leg-ik-parent-full-width'))
    return { frame: bone.positionFrame, deg: null };
  return { frame: bone.rotationFrame, deg: degrees(bone.rotation) };
}

// One finding as a sentence in the page's language, with what to do.
function findingItem(f, bones) {
  const li = el('li');
  li.dataset.code = f.code;
  if (f.severity) li.dataset.severity = f.severity;
  const bone = f.bone !== undefined ? bones[f.bone] : undefined;
  const place = findingPlace(f, bone);
  if (place.frame !== null && place.frame !== undefined) li.dataset.frame = String(place.frame);
  const where = T.most(place.frame ?? null, place.deg);
  const say = T.find;
  let text;
  if (f.code === 'ik-off') text = say['ik-off'](f.ik, f.frame);
  else if (f.code === 'name-cut' || f.code === 'name-not-shift-jis') {
    const kind = f.bone !== undefined ? 'bone' : f.morph !== undefined ? 'morph' : 'model';
    text = say[f.code](f[kind] ?? '', T.kind[kind]);
  } else if (f.severity === 'info' && (f.code === 'upper-body-3' || f.code === 'leg-ik-parent-full-width')) {
    text = say.moves(f.bone, where);
  } else if (say[f.code]) {
    text = say[f.code](f.bone ?? '', where);
    if ((f.code === 'lower-body' || f.code === 'waist') && bone && bone.positionFrame !== null && bone.position > 0.01)
      text += T.movedAt(bone.positionFrame);
  } else {
    text = f.message;
  }
  li.append(el('span', 'finding', text));
  if (f.fixable === true) li.dataset.fixable = '';
  const advice = T.advice[f.severity];
  if (advice) li.append(' ', el('span', 'advice', advice));
  return li;
}

// One file's block: its name, its categories, the verdict (or why there is
// none, with the core's own words), the findings explained, then the
// report's lines in their colours.
function renderFile(block, r) {
  block.replaceChildren(el('h2', 'name', r.name));
  // A file not complete: its status and the core's words on it; a file cut
  // short has its verdict below that.
  if (r.status !== 'complete') {
    const status = el('div', 'status');
    status.dataset.status = r.status;
    const detail = r.status === 'cut' && r.detail && T.cutDetail ? T.cutDetail(r.detail) : r.message;
    status.append(el('p', 'status-text', T.status[r.status] || r.status), el('p', 'status-detail', detail));
    block.append(status);
  }
  if (r.verdict) {
    const labels = el('p', 'labels');
    labels.append(categoryLabel('span', r.verdict.category));
    for (const c of r.verdict.categories) {
      if (c !== r.verdict.category) labels.append(' ', categoryLabel('span', c));
    }
    if (r.cameraOnly) labels.append(' ', el('span', 'note', T.cameraOnly));
    const verdict = el('p', 'verdict', r.verdict.text);
    verdict.dataset.category = r.verdict.category;
    block.append(labels, verdict);
  }
  if (r.findings.length) {
    const list = el('ul', 'findings');
    list.dataset.tarvelFindings = '';
    list.setAttribute('aria-label', T.findingsTitle);
    for (const f of r.findings) list.append(findingItem(f, r.bones));
    block.append(list);
  }
  const index = Number(block.dataset.index);
  if (r.findings.some((f) => f.fixable === true)) block.append(fixArea(index));
  if (hasPreview(r)) {
    const { file, name } = files[index];
    block.append(vrmaArea(index));
    block.append(previewArea(block, r, (copy) => askVrma(worker, { batch, index, file, name, copy, fold: false })));
  }
  const report = el('div', 'report');
  report.tabIndex = 0;  // scrolled sideways by the keyboard too
  for (const line of r.lines) {
    const row = el('div', 'line', line.text);
    row.dataset.colour = line.colour;
    row.style.color = '#' + line.colour;
    report.append(row);
  }
  block.append(report);
}

// A button that makes a file, with what it makes said before it (advice,
// when given) and after it (note), and where the result is told: the area
// (class kind), the button (kind-button, data attribute key) and the result.
function buttonArea(kind, key, label, note, advice) {
  const area = el('div', kind);
  const button = el('button', `${kind}-button`, label);
  button.type = 'button';
  button.dataset[key] = '';
  const result = el('div', `${kind}-result`);
  result.setAttribute('role', 'status');
  if (advice) area.append(el('p', `${kind}-advice`, advice));
  area.append(button, el('p', `${kind}-note`, note), result);
  return { area, button, result };
}

// The button that makes and downloads a motion's VRM-ready copy (the same
// bytes as tarvel-fix writes), with what it repairs, what the copy is and,
// once made, the copy's verdict.
function fixArea(index) {
  const { area, button, result } = buttonArea('fix', 'tarvelFix', T.fixButton, T.fixNote, T.fixable);
  button.addEventListener('click', () => {
    if (copies[index]) {
      saveFile(copies[index].url, copies[index].name);
      return;
    }
    button.disabled = true;
    result.replaceChildren(el('p', 'pending', T.fixing));
    worker.postMessage({ type: 'fix', batch, index, file: files[index].file, name: files[index].name });
  });
  return area;
}

// The button that makes and downloads a motion's VRM Animation (the same
// bytes as tarvel-fix --vrma writes), with what it is and, once asked, the
// file or why there is none.
function vrmaArea(index) {
  const { area, button, result } = buttonArea('vrma', 'tarvelVrma', T.vrmaButton, T.vrmaNote);
  button.addEventListener('click', async () => {
    if (vrmas[index]) {
      saveFile(vrmas[index].url, vrmas[index].name);
      return;
    }
    const asked = batch;
    button.disabled = true;
    result.replaceChildren(el('p', 'pending', T.vrmaMaking));
    const { file, name } = files[index];
    const msg = await askVrma(worker, { batch, index, file, name, copy: false, fold: true });
    if (asked !== batch) return;  // files since replaced
    button.disabled = false;
    if (!msg.bytes) {
      const failed = el('p', 'vrma-failed', T.vrmaFailed);
      failed.append(el('span', 'status-detail', msg.reason));
      result.replaceChildren(failed);
      return;
    }
    const url = URL.createObjectURL(new Blob([msg.bytes], { type: 'model/gltf-binary' }));
    vrmas[index] = { name: msg.name, url };
    result.replaceChildren(downloaded('vrma', T.fixDone, url, msg.name));
    saveFile(url, msg.name);
  });
  return area;
}

// What was downloaded (class kind-done): the text, then the file's name as a
// link that saves it again (kind-file).
function downloaded(kind, text, url, name) {
  const done = el('p', `${kind}-done`, text);
  const link = el('a', `${kind}-file`, name);
  link.href = url;
  link.download = name;
  done.append(link);
  return done;
}

// Saves what url holds under the name given, as a download.
function saveFile(url, name) {
  const link = el('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
}

// The worker's answer to a copy asked for: the copy downloaded and its
// verdict shown, or why there is none.
function showFixed(msg) {
  const area = results.children[msg.index].querySelector('.fix');
  if (!area) return;
  const button = area.querySelector('[data-tarvel-fix]');
  const result = area.querySelector('.fix-result');
  button.disabled = false;
  if (!msg.bytes) {
    const failed = el('p', 'fix-failed', T.fixFailed);
    failed.append(el('span', 'status-detail', msg.reason || msg.status));
    result.replaceChildren(failed);
    return;
  }
  const url = URL.createObjectURL(new Blob([msg.bytes], { type: 'application/octet-stream' }));
  copies[msg.index] = { name: msg.name, url };
  result.replaceChildren(downloaded('fix', T.fixDone, url, msg.name));
  const r = msg.result;
  if (r.status !== 'complete') result.append(el('p', 'fix-status', T.statusShort[r.status] || r.status));
  if (r.verdict) {
    const labels = el('p', 'fix-labels');
    labels.append(T.fixVerdict, ' ', categoryLabel('span', r.verdict.category));
    for (const c of r.verdict.categories) {
      if (c !== r.verdict.category) labels.append(' ', categoryLabel('span', c));
    }
    const verdict = el('p', 'fix-verdict', r.verdict.text);
    verdict.dataset.category = r.verdict.category;
    result.append(labels, verdict);
    const added = newInCopy(entries[msg.index], r, msg.folds || []);
    if (added) result.append(added);
  }
  saveFile(url, msg.name);
}

// The statuses of a file, as the JSON names them.
const STATUSES = ['complete', 'cut', 'not-a-motion', 'unreadable'];

// The copy's findings that the motion did not have (none about the bone, or
// only milder ones), each with the bones folded into it (folds: the core's
// list of each bone folded away and the bones it went into): a twist folded
// into an arm adds to the arm's own. Null when there are none.
function newInCopy(motion, copy, folds) {
  const list = el('ul', 'fix-new');
  for (const f of copy.findings) {
    if (f.severity === 'info' || f.bone === undefined || motion.findings.some((g) => g.bone === f.bone &&
      (g.code === f.code || SEVERITY[g.severity] <= SEVERITY[f.severity]))) continue;
    const item = findingItem(f, copy.bones);
    const causes = folds.filter((g) => g.into.includes(f.bone)).map((g) => g.bone);
    if (causes.length) item.append(' ', el('span', 'fix-cause', T.foldedInto(causes.join(', '))));
    list.append(item);
  }
  if (!list.children.length) return null;
  const area = el('div', 'fix-new-area');
  area.append(el('p', 'fix-new-title', T.fixNew), list);
  return area;
}

// The group a file sorts in: its category (a cut file's on the keys read),
// or 'other' when it has no verdict.
const groupOf = (r) => (r.verdict ? r.verdict.category : 'other');

// Whether a file is among those the filter's choice shows: a category takes
// every file with that verdict, a status every file with that status.
const shownBy = (want, r) => !want || r.status === want || (!!r.verdict && r.verdict.category === want);

// One number of the totals: what it counts and how many.
function total(what, count, ...content) {
  const span = el('span', 'total');
  span.dataset.total = what;
  span.dataset.count = String(count);
  span.append(...content);
  return span;
}

// Several files: the totals (the core's, as tarvel-report --summary's
// "total:" line gives them: every file once by its status, every file with a
// verdict once by its category), a filter and one row each, sortable.
function renderSummary(counts) {
  const totals = $('totals');
  totals.replaceChildren(total('files', counts.files, T.files(counts.files)));
  for (const s of STATUSES) totals.append(' ', total(s, counts.status[s], `${T.statusShort[s]} ${counts.status[s]}`));
  for (const c of CATEGORIES) totals.append(' ', total(c, counts.verdict[c], categoryLabel('span', c), ` ${counts.verdict[c]}`));

  const chosen = filter.value;
  filter.replaceChildren(new Option(T.filterAll(entries.length), ''));
  for (const c of CATEGORIES) {
    const option = new Option(T.category[c], c);
    option.dataset.category = c;
    filter.append(option);
  }
  for (const s of STATUSES.slice(1)) filter.append(new Option(T.statusShort[s], s));
  filter.value = chosen;
  if (filter.selectedIndex < 0) filter.value = '';

  const body = summary.querySelector('tbody');
  body.replaceChildren();
  entries.forEach((r, i) => {
    const tr = el('tr');
    tr.dataset.index = String(i);
    tr.dataset.group = groupOf(r);
    const verdict = el('td', 'category');
    if (r.verdict) {
      // a file cut short: its status, then its verdict on the keys read
      if (r.status !== 'complete') verdict.append(`${T.statusShort[r.status] || r.status}: `);
      verdict.append(categoryLabel('span', r.verdict.category));
      if (r.cameraOnly) verdict.append(' ', el('span', 'note', T.cameraOnly));
    } else {
      verdict.append(T.statusShort[r.status] || r.status);
    }
    const link = el('a', null, r.name);
    link.href = '#file-' + i;
    const file = el('td', 'path');
    file.append(link);
    tr.append(verdict, el('td', 'number', r.keys === undefined ? '' : String(r.keys)),
      el('td', 'number', r.seconds === undefined ? '' : T.seconds(r.seconds)), file);
    body.append(tr);
  });
  applySorting();
  applyFilter();
  summary.hidden = entries.length < 2;
}

// Severity for sorting: files not read first, then fix .. ok.
const SEVERITY = { other: 0, fix: 1, dropout: 2, rough: 3, slight: 4, ok: 5 };
const SORT_KEYS = {
  verdict: (r) => SEVERITY[groupOf(r)],
  keys: (r) => (r.keys === undefined ? -1 : r.keys),
  duration: (r) => (r.seconds === undefined ? -1 : r.seconds),
  name: (r) => r.name,
};

function applySorting() {
  const body = summary.querySelector('tbody');
  const rows = Array.from(body.rows);
  for (const th of summary.querySelectorAll('th')) {
    th.setAttribute('aria-sort', th.dataset.sort === sorting.key ? (sorting.up ? 'ascending' : 'descending') : 'none');
  }
  if (!sorting.key) return;
  const key = SORT_KEYS[sorting.key];
  const sign = sorting.up ? 1 : -1;
  rows.sort((a, b) => {
    const ra = entries[a.dataset.index];
    const rb = entries[b.dataset.index];
    const ka = key(ra);
    const kb = key(rb);
    const d = typeof ka === 'string' ? ka.localeCompare(kb) : ka - kb;
    return d ? sign * d : a.dataset.index - b.dataset.index;
  });
  body.append(...rows);
}

function applyFilter() {
  const want = filter.value;
  for (const tr of summary.querySelectorAll('tbody tr')) tr.hidden = !shownBy(want, entries[tr.dataset.index]);
  for (const block of results.children) {
    const r = entries[block.dataset.index];
    block.hidden = !!r && !shownBy(want, r);
  }
}

for (const th of summary.querySelectorAll('th')) {
  th.addEventListener('click', () => {
    sorting = { key: th.dataset.sort, up: sorting.key === th.dataset.sort ? !sorting.up : true };
    applySorting();
  });
}
filter.addEventListener('change', applyFilter);

// Checks the files given: a list of { file, name }, name as the report shows
// it (a path inside a folder given).
function check(list) {
  notice = '';
  for (const c of copies) if (c) URL.revokeObjectURL(c.url);
  copies = [];
  for (const v of vrmas) if (v) URL.revokeObjectURL(v.url);
  vrmas = [];
  if (zipUrl) URL.revokeObjectURL(zipUrl);
  zipUrl = null;
  fixAll.hidden = true;
  fixAll.disabled = false;
  fixAllResult.replaceChildren();
  files = list;
  entries = new Array(list.length);
  batch++;
  summary.hidden = true;
  download.hidden = true;
  documentText = '';
  filter.value = '';
  results.replaceChildren();
  list.forEach((f, i) => {
    const block = el('article', 'file');
    block.id = 'file-' + i;
    block.dataset.index = String(i);
    block.dataset.tarvelFile = f.name;
    block.append(el('h2', 'name', f.name), el('p', 'pending', T.pending));
    results.append(block);
  });
  if (!list.length) return;
  if (workerReady) setState(T.checking(0, list.length));
  worker.postMessage({ type: 'check', batch, files: list.map((f) => f.file), names: list.map((f) => f.name), alias: aliasFile });
}

worker.onmessage = (event) => {
  const msg = event.data;
  if (msg.type === 'ready') {
    workerReady = true;
    state.dataset.ready = 'yes';
    setState(files.length ? T.checking(0, files.length) : T.ready);
  } else if (msg.type === 'failed') {
    setState(T.failed + msg.reason, true);
  } else if (msg.type === 'vrma') {
    vrmaAnswered(msg);
  } else if (msg.batch !== batch) {
    // a result of files since replaced
  } else if (msg.type === 'file') {
    entries[msg.index] = msg.result;
    renderFile(results.children[msg.index], msg.result);
    setState(T.checking(msg.index + 1, files.length));
  } else if (msg.type === 'fixed') {
    showFixed(msg);
  } else if (msg.type === 'fixed-all') {
    showFixedAll(msg);
  } else if (msg.type === 'done') {
    documentText = msg.document;
    download.hidden = false;
    renderSummary(msg.summary);
    fixAll.hidden = fixableFiles().length < 2;
    setState(T.checked(files.length));
  }
};
worker.onerror = (event) => setState(T.failed + (event.message || ''), true);

// The files with a finding the VRM-ready copy repairs, by index.
const fixableFiles = () => entries.flatMap((r, i) => (r && r.findings.some((f) => f.fixable === true) ? [i] : []));

const ZIP_NAME = 'vrm-ready-copies.zip';

// One zip of the copies of every motion the copy repairs.
fixAll.addEventListener('click', () => {
  if (zipUrl) {
    saveFile(zipUrl, ZIP_NAME);
    return;
  }
  fixAll.disabled = true;
  fixAllResult.replaceChildren(el('p', 'pending', T.fixing));
  worker.postMessage({ type: 'fix-all', batch, files: fixableFiles().map((i) => files[i]) });
});

// The worker's zip: downloaded, with the files it has no copy of and why.
function showFixedAll(msg) {
  fixAll.disabled = false;
  fixAllResult.replaceChildren();
  if (msg.zip) {
    zipUrl = URL.createObjectURL(new Blob([msg.zip], { type: 'application/zip' }));
    fixAllResult.append(downloaded('fix', T.fixAllDone(msg.copies.length), zipUrl, ZIP_NAME));
  }
  for (const f of msg.failed) {
    const failed = el('p', 'fix-failed', T.fixAllNone(f.name));
    failed.append(el('span', 'status-detail', f.reason));
    fixAllResult.append(failed);
  }
  if (zipUrl) saveFile(zipUrl, ZIP_NAME);
}

// The same document tarvel-report --json prints for these files.
download.addEventListener('click', () => {
  const url = URL.createObjectURL(new Blob([documentText], { type: 'application/json' }));
  saveFile(url, 'tarvel-report.json');
  setTimeout(() => URL.revokeObjectURL(url), 60000);
});

// A new alias file (or none) changes the names and headings: the files shown
// are checked again, unless others are about to be.
function setAlias(file, recheck = true) {
  aliasFile = file;
  $('alias-name').textContent = file ? file.name : '';
  $('alias-clear').hidden = !file;
  if (recheck && files.length) check(files);
}

const isMotionName = (name) => /\.vmd$/i.test(name);

// Paths compared name by name, as tarvel-report walks a folder: a folder's
// motions stand where its name sorts among the names beside it.
function comparePaths(a, b) {
  const pa = a.split('/');
  const pb = b.split('/');
  for (let i = 0; i < Math.min(pa.length, pb.length); i++) {
    if (pa[i] !== pb[i]) return pa[i] < pb[i] ? -1 : 1;
  }
  return pa.length - pb.length;
}

// The motions of a chosen folder (each file with its path inside it).
function folderMotions(list) {
  return list.filter((f) => isMotionName(f.name))
    .map((f) => ({ file: f, name: f.webkitRelativePath || f.name }))
    .sort((a, b) => comparePaths(a.name, b.name));
}

function checkOrSay(list) {
  if (list.length) check(list);
  else setState(T.noMotions, true);
}

$('motions').addEventListener('change', (e) => check(Array.from(e.target.files, (f) => ({ file: f, name: f.name }))));
$('folder').addEventListener('change', (e) => checkOrSay(folderMotions(Array.from(e.target.files))));
$('alias').addEventListener('change', (e) => setAlias(e.target.files[0] || null));
$('alias-clear').addEventListener('click', () => {
  $('alias').value = '';
  setAlias(null);
});

// Every motion under a dropped folder entry, in sorted order.
async function walkEntry(entry, path, out) {
  if (entry.isFile) {
    if (isMotionName(entry.name)) out.push({ file: await new Promise((ok, no) => entry.file(ok, no)), name: path + entry.name });
    return;
  }
  const reader = entry.createReader();
  const children = [];
  for (;;) {
    const some = await new Promise((ok, no) => reader.readEntries(ok, no));
    if (!some.length) break;
    children.push(...some);
  }
  children.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
  for (const child of children) await walkEntry(child, path + entry.name + '/', out);
}

// Whether a dropped File is in truth a folder (it cannot be read).
async function isFolder(file) {
  if (file.size > 0 && file.type) return false;
  try {
    await file.slice(0, 1).arrayBuffer();
    return false;
  } catch (e) {
    return true;
  }
}

// Drops anywhere on the page: an alias.ini among the files is taken as the
// alias file, folders are walked for motions, the other files are motions.
document.addEventListener('dragover', (e) => {
  e.preventDefault();
  $('pick').classList.add('dragging');
});
document.addEventListener('dragleave', () => $('pick').classList.remove('dragging'));
document.addEventListener('drop', async (e) => {
  e.preventDefault();
  $('pick').classList.remove('dragging');
  // The entries must be taken before the handler yields.
  const dropped = Array.from(e.dataTransfer.files);
  const items = Array.from(e.dataTransfer.items || []).filter((i) => i.kind === 'file');
  const tree = items.length === dropped.length && items.every((i) => i.webkitGetAsEntry)
    ? items.map((i) => i.webkitGetAsEntry()) : null;
  const alias = dropped.find((f) => f.name.toLowerCase() === 'alias.ini');
  const motions = [];
  let unopened = false;
  for (let i = 0; i < dropped.length; i++) {
    const f = dropped[i];
    if (f === alias) continue;
    if (tree && tree[i] && tree[i].isDirectory) {
      try {
        await walkEntry(tree[i], '', motions);
      } catch (err) {
        unopened = true;
      }
    } else if (!tree && await isFolder(f)) {
      unopened = true;
    } else {
      motions.push({ file: f, name: f.name });
    }
  }
  if (alias) setAlias(alias, !motions.length);
  if (motions.length) check(motions);
  if (unopened) {
    notice = T.folderHint;
    setState(motions.length ? T.checking(0, motions.length) : '');
  } else if (!motions.length && !alias) {
    setState(T.noMotions, true);
  }
});
