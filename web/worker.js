// The page's Worker: runs the core (tarvel.js and tarvel.wasm) on the motions
// the page hands over, one file at a time, and posts each file's result as
// soon as it is known. Nothing leaves the browser.
'use strict';
importScripts('tarvel.js');

const MOTION_DIR = '/in';
const EXE_DIR = '/tarvel';
let core = null;
let newest = 0;  // the newest batch; an older one stops before its next file

const ready = createTarvel().then((m) => {
  m.FS.mkdir(EXE_DIR);
  m.FS.mkdir(MOTION_DIR);
  m.FS.chdir(MOTION_DIR);
  m._tarvel_start();
  core = m;
  postMessage({ type: 'ready' });
}, (err) => {
  postMessage({ type: 'failed', reason: String(err) });
});

// The text tarvel-report prints for one file: "# NAME", one "rrggbb<TAB>text"
// row per report line, "#verdict", the verdict text. A name may hold a line
// break, so the header is skipped by its known length and a row that does not
// start with a colour continues the line before it.
function parseReport(name, text) {
  const header = '# ' + name + '\n';
  const mark = text.lastIndexOf('\n#verdict\n');
  const body = text.slice(header.length, mark + 1);
  const lines = [];
  for (const row of body.split('\n').slice(0, -1)) {
    if (/^[0-9a-f]{6}\t/.test(row)) lines.push({ colour: row.slice(0, 6), text: row.slice(7) });
    else if (lines.length) lines[lines.length - 1].text += '\n' + row;
  }
  const verdict = text.slice(mark + '\n#verdict\n'.length).replace(/\n$/, '');
  return { lines, verdict };
}

// Runs the core on the file name in the motion directory.
function runCore(name) {
  const m = core;
  const size = m.lengthBytesUTF8(name) + 1;
  const arg = m._malloc(size + 4);
  if (!arg) return null;
  m.stringToUTF8(name, arg + 4, size);
  const textPtr = m._tarvel_check(arg + 4, arg);
  const status = m.HEAP32[arg >> 2];
  m._free(arg);
  if (!textPtr) return null;
  return { status, text: m.UTF8ToString(textPtr) };
}

// The bytes of a file, or null when the browser cannot read it.
async function bytesOf(file) {
  try {
    return new Uint8Array(await file.arrayBuffer());
  } catch (e) {
    return null;
  }
}

// Checks one motion. Bytes the browser could not read are not written: the
// core then finds no file and says so, as tarvel-report does for a missing one.
function checkFile(name, bytes) {
  let written = false;
  if (bytes) {
    try {
      core.FS.writeFile(name, bytes, { canOwn: true });  // no copy
      written = true;
    } catch (e) {
      // a name the file system refuses: not written, so not read
    }
  }
  const out = runCore(name);
  if (written) core.FS.unlink(name);
  if (!out) return { name, read: false, lines: [], verdict: '' };
  const report = parseReport(name, out.text);
  return { name, read: out.status === 0, lines: report.lines, verdict: report.verdict };
}

function setAlias(bytes) {
  const path = EXE_DIR + '/alias.ini';
  try { core.FS.unlink(path); } catch (e) { /* there was none */ }
  if (bytes) core.FS.writeFile(path, bytes, { canOwn: true });
}

self.onmessage = async (event) => {
  const msg = event.data;
  if (msg.type !== 'check') return;
  const batch = msg.batch;
  newest = batch;
  await ready;
  if (!core || batch !== newest) return;
  const alias = msg.alias ? await bytesOf(msg.alias) : null;
  if (batch !== newest) return;
  setAlias(alias);
  for (let i = 0; i < msg.files.length; i++) {
    const bytes = await bytesOf(msg.files[i]);
    if (batch !== newest) return;
    postMessage({ type: 'file', batch, index: i, result: checkFile(msg.files[i].name, bytes) });
  }
  postMessage({ type: 'done', batch });
};
