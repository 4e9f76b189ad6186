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
    notRead: 'This file could not be read completely, so it gets no verdict.',
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
    notRead: 'このファイルは最後まで読めなかったため、判定はありません。',
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
for (const el of document.querySelectorAll('[data-text]')) {
  const t = T[el.dataset.text];
  if (typeof t === 'string') el.textContent = t;
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

// One file's block: its name, then the verdict (or why there is none), then
// the report's lines in their colours.
function renderFile(block, r) {
  block.replaceChildren(el('h2', 'name', r.name));
  if (r.read) {
    block.append(el('p', 'verdict', r.verdict));
  } else {
    block.append(el('p', 'status', T.notRead));
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

function renderSummary() {
  const body = summary.querySelector('tbody');
  body.replaceChildren();
  for (const r of entries) {
    const tr = el('tr');
    tr.append(el('td', '', r.read ? r.verdict.split('\n')[0] : T.notRead));
    tr.append(el('td', 'number', r.keys === undefined ? '' : String(r.keys)));
    tr.append(el('td', 'number', r.duration === undefined ? '' : r.duration));
    tr.append(el('td', '', r.name));
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
    renderSummary();
    setState(T.checked(files.length));
  }
};
worker.onerror = (event) => setState(T.failed + (event.message || ''), true);

function setAlias(file) {
  aliasFile = file;
  $('alias-name').textContent = file ? file.name : '';
  $('alias-clear').hidden = !file;
  if (files.length) check(files);  // the names and headings change
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
  if (alias) {
    aliasFile = alias;
    $('alias-name').textContent = alias.name;
    $('alias-clear').hidden = false;
  }
  if (motions.length) check(motions);
  else if (alias && files.length) check(files);
});
