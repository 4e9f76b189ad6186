// The page: hands the chosen motions to the Worker and shows each report as it
// arrives, in the order the files were given. The page's own texts follow the
// browser's language; the report's texts are the core's own.
'use strict';

const TEXTS = {
  en: {
    lead: 'Checks MMD motions (.vmd) before you play them on a VRM avatar: the bones and morphs they drive, the bones that will cause trouble, and whether the motion is usable as it is.',
    private: 'Your files never leave this computer: they are checked here, in your browser.',
    pickMotions: 'Choose motions (.vmd)',
    pickAlias: 'Choose alias.ini',
    clearAlias: 'Remove alias.ini',
    dropHint: 'Or drop motions here. An alias.ini gives English headings and your own names, as beside the desktop program.',
    loading: 'Loading the checker…',
    ready: 'Ready: choose or drop motions.',
    failed: 'The checker could not be started in this browser: ',
    checking: (done, all) => `Checking… ${done} of ${all}`,
    checked: (all) => (all === 1 ? '1 motion checked.' : `${all} motions checked.`),
    pending: 'Checking…',
    status: {
      unreadable: 'Could not be read, so there is no verdict.',
      'not-a-motion': 'Not a motion file (.vmd), so there is no verdict.',
      cut: 'The file is cut short: the verdict below is judged on the keys read before the cut.',
    },
    statusShort: { unreadable: 'Could not be read', 'not-a-motion': 'Not a motion', cut: 'Cut short' },
    category: {
      fix: 'Needs fixing', dropout: 'Bones will drop out', rough: 'Somewhat rough',
      slight: 'Slightly rough', ok: 'Usable as it is',
    },
    seconds: (s) => `${s.toFixed(2)} s`,
    colVerdict: 'Verdict',
    colKeys: 'Keys',
    colDuration: 'Duration',
    colFile: 'File',
    download: 'Download the JSON report',
  },
  ja: {
    lead: 'MMD モーション (.vmd) を VRM アバターで再生する前に確認します: 使われているボーンとモーフ、問題を起こすボーン、そのまま使えるかどうか。',
    private: 'ファイルはこのコンピューターから出ません: このブラウザーの中で確認します。',
    pickMotions: 'モーションを選ぶ (.vmd)',
    pickAlias: 'alias.ini を選ぶ',
    clearAlias: 'alias.ini を外す',
    dropHint: 'モーションをここにドロップしても確認できます。alias.ini があると、デスクトップ版と同じく見出しが英語になり、独自の名前が使われます。',
    loading: '確認プログラムを読み込んでいます…',
    ready: '準備完了: モーションを選ぶかドロップしてください。',
    failed: 'このブラウザーでは確認プログラムを起動できませんでした: ',
    checking: (done, all) => `確認中… ${done} / ${all}`,
    checked: (all) => `${all} 個のモーションを確認しました。`,
    pending: '確認中…',
    status: {
      unreadable: '読み込めなかったため、判定はありません。',
      'not-a-motion': 'モーションファイル (.vmd) ではないため、判定はありません。',
      cut: 'ファイルが途中で切れています: 下の判定は、切れる前に読めたキーによるものです。',
    },
    statusShort: { unreadable: '読み込めません', 'not-a-motion': 'モーションではありません', cut: '途中で切れています' },
    category: {
      fix: '要修正', dropout: '確認要 (ボーン抜け)', rough: 'やや荒れ', slight: '少し荒れ', ok: 'そのままで使用可能',
    },
    seconds: (s) => `${s.toFixed(2)} 秒`,
    colVerdict: '判定',
    colKeys: 'キー数',
    colDuration: '長さ',
    colFile: 'ファイル',
    download: 'JSON レポートをダウンロード',
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

const worker = new Worker('worker.js');
let workerReady = false;
let batch = 0;        // the newest batch of files
let files = [];       // its files, in order
let entries = [];     // its results (undefined until known)
let aliasFile = null;
let documentText = '';  // the JSON document of the files shown

function setState(text, error) {
  state.textContent = text;
  state.classList.toggle('error', !!error);
}

function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

// One file's block: its name, then for a file not complete its status (with
// the core's own words on it), then the verdict when there is one (a file cut
// short has both), then the report's lines in their colours.
function renderFile(block, r) {
  block.replaceChildren(el('h2', 'name', r.name));
  if (r.status !== 'complete') {
    const status = el('div', 'status');
    status.dataset.status = r.status;
    status.append(el('p', 'status-text', T.status[r.status] || r.status), el('p', 'status-detail', r.message));
    block.append(status);
  }
  if (r.verdict) {
    const verdict = el('p', 'verdict', r.verdict.text);
    verdict.dataset.category = r.verdict.category;
    block.append(verdict);
  }
  const report = el('div', 'report');
  for (const line of r.lines) {
    const row = el('div', 'line', line.text);
    row.dataset.colour = line.colour;
    row.style.color = '#' + line.colour;
    report.append(row);
  }
  block.append(report);
}

// Several files: one row each, in the order given.
function renderSummary() {
  const body = summary.querySelector('tbody');
  body.replaceChildren();
  for (const r of entries) {
    const tr = el('tr');
    const short = T.statusShort[r.status] || r.status;
    const category = r.verdict ? T.category[r.verdict.category] : '';
    const verdict = el('td', 'category', r.status === 'complete' ? category : r.verdict ? `${short}: ${category}` : short);
    if (r.verdict) verdict.dataset.category = r.verdict.category;
    tr.append(verdict);
    tr.append(el('td', 'number', r.keys === undefined ? '' : String(r.keys)));
    tr.append(el('td', 'number', r.seconds === undefined ? '' : T.seconds(r.seconds)));
    tr.append(el('td', 'file', r.name));
    body.append(tr);
  }
  summary.hidden = entries.length < 2;
}

function check(list) {
  files = list;
  entries = new Array(list.length);
  batch++;
  summary.hidden = true;
  download.hidden = true;
  documentText = '';
  results.replaceChildren();
  for (const f of list) {
    const block = el('article', 'file');
    block.dataset.tarvelFile = f.name;
    block.append(el('h2', 'name', f.name), el('p', 'pending', T.pending));
    results.append(block);
  }
  if (!list.length) return;
  if (workerReady) setState(T.checking(0, list.length));
  worker.postMessage({ type: 'check', batch, files: list, alias: aliasFile });
}

worker.onmessage = (event) => {
  const msg = event.data;
  if (msg.type === 'ready') {
    workerReady = true;
    state.dataset.ready = 'yes';
    setState(files.length ? T.checking(0, files.length) : T.ready);
  } else if (msg.type === 'failed') {
    setState(T.failed + msg.reason, true);
  } else if (msg.batch !== batch) {
    // a result of files since replaced
  } else if (msg.type === 'file') {
    entries[msg.index] = msg.result;
    renderFile(results.children[msg.index], msg.result);
    setState(T.checking(msg.index + 1, files.length));
  } else if (msg.type === 'done') {
    documentText = msg.document;
    download.hidden = false;
    renderSummary();
    setState(T.checked(files.length));
  }
};
worker.onerror = (event) => setState(T.failed + (event.message || ''), true);

// The same document tarvel-report --json prints for these files.
download.addEventListener('click', () => {
  const link = el('a');
  link.href = URL.createObjectURL(new Blob([documentText], { type: 'application/json' }));
  link.download = 'tarvel-report.json';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
});

// A new alias file (or none) changes the names and headings: the files shown
// are checked again, unless others are about to be.
function setAlias(file, recheck = true) {
  aliasFile = file;
  $('alias-name').textContent = file ? file.name : '';
  $('alias-clear').hidden = !file;
  if (recheck && files.length) check(files);
}

$('motions').addEventListener('change', (e) => check(Array.from(e.target.files)));
$('alias').addEventListener('change', (e) => setAlias(e.target.files[0] || null));
$('alias-clear').addEventListener('click', () => {
  $('alias').value = '';
  setAlias(null);
});

// Drops anywhere on the page: an alias.ini among the files is taken as the
// alias file, the rest as motions.
document.addEventListener('dragover', (e) => {
  e.preventDefault();
  $('pick').classList.add('dragging');
});
document.addEventListener('dragleave', () => $('pick').classList.remove('dragging'));
document.addEventListener('drop', (e) => {
  e.preventDefault();
  $('pick').classList.remove('dragging');
  const dropped = Array.from(e.dataTransfer.files);
  const alias = dropped.find((f) => f.name.toLowerCase() === 'alias.ini');
  const motions = dropped.filter((f) => f !== alias);
  if (alias) setAlias(alias, !motions.length);
  if (motions.length) check(motions);
});
