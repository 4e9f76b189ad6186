// The page's Worker: runs the core (tarvel.js and tarvel.wasm) on the motions
// the page hands over, one file at a time, and posts each file's result as
// soon as it is known; on request it makes a motion's VRM-ready copy, or one
// zip of the copies of several. Nothing leaves the browser. Bundled with its
// imports into one file of the site.
import { zipSync } from 'fflate';

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

// Passes a text to a core function as a zero-terminated UTF-8 argument.
function withText(text, call) {
  const m = core;
  const size = m.lengthBytesUTF8(text) + 1;
  const arg = m._malloc(size);
  if (!arg) throw new Error('out of memory');
  m.stringToUTF8(text, arg, size);
  try {
    return call(arg);
  } finally {
    m._free(arg);
  }
}

// What the page shows of a file's JSON object (as tarvel-report --json gives
// it): the status, the verdict, the findings with the bones they name, the
// report's lines, the keys and duration. A file cut short has both its
// status (where it was cut, what that loses) and its verdict, judged on the
// keys read before the cut.
function shownPart(name, file) {
  const findings = file.findings || [];  // of a cut file too: facts of what was read
  const bones = {};
  for (const b of file.bones || []) {
    if (findings.some((f) => f.bone === b.name)) bones[b.name] = b;
  }
  return {
    name,
    status: file.status,
    message: file.detail ? file.detail.message : '',
    detail: file.detail || null,
    verdict: file.verdict ? file.verdict : null,
    cameraOnly: findings.some((f) => f.code === 'camera-only'),
    findings,
    bones,
    lines: file.report || [],
    keys: file.keys,
    seconds: file.duration ? file.duration.seconds : undefined,
    frames: file.duration ? file.duration.frames : undefined,
    // bone keys, every one read (a file cut after them keeps them whole)
    boneKeysWhole: (file.bones || []).length > 0 && (file.status === 'complete' ||
      (file.status === 'cut' && !!file.detail && !['header', 'modelName', 'bone'].includes(file.detail.section))),
  };
}

// The bytes of a file, or null when the browser cannot read it.
async function bytesOf(file) {
  try {
    return new Uint8Array(await file.arrayBuffer());
  } catch (e) {
    return null;
  }
}

// The largest file the browser reads into the page's memory.
const READ_MAX = 2 ** 31 - 1;

// Writes a motion into the file system under its name as the report shows
// it (a path inside a folder given has its folders made around it), runs
// call, and removes what it wrote. Bytes the browser could not read are not
// written: the core then finds no file and says so, as tarvel-report does
// for a missing one.
function withMotion(name, bytes, call) {
  let written = false;
  const folders = name.split('/').slice(0, -1).map((_, i, all) => all.slice(0, i + 1).join('/'));
  if (bytes) {
    try {
      if (folders.length) core.FS.mkdirTree(`${MOTION_DIR}/${folders[folders.length - 1]}`);
      core.FS.writeFile(name, bytes, { canOwn: true });  // no copy
      written = true;
    } catch (e) {
      // a name the file system refuses: not written, so not read
    }
  }
  try {
    return call();
  } finally {
    if (written) core.FS.unlink(name);
    for (const f of folders.reverse()) {
      try { core.FS.rmdir(`${MOTION_DIR}/${f}`); } catch (e) { /* not empty, or never made */ }
    }
  }
}

// Checks one motion.
function checkFile(name, bytes) {
  const json = withMotion(name, bytes, () => withText(name, (arg) => core.UTF8ToString(core._tarvel_check(arg))));
  return shownPart(name, JSON.parse(json));
}

// Makes the VRM-ready copy of one motion, as tarvel-fix makes it beside the
// motion: { status, reason } when there is none, else also its name (without
// the folders), its bytes and what the check of the copy shows.
function fixFile(name, bytes) {
  return withMotion(name, bytes, () => {
    const answer = JSON.parse(withText(name, (arg) => core.UTF8ToString(core._tarvel_fix(arg))));
    if (!answer.copy) return { status: answer.status, reason: answer.reason };
    let copy;
    try {
      copy = core.FS.readFile(answer.copy);
    } finally {
      core.FS.unlink(answer.copy);
    }
    return {
      status: answer.status,
      name: answer.copy.split('/').pop(),
      path: answer.copy,
      bytes: copy,
      folds: answer.folds,
      result: shownPart(answer.copy, answer.file),
    };
  });
}

// A file too large for the browser: not read, and said so.
function tooLarge(name) {
  const json = withText(name, (arg) => core.UTF8ToString(core._tarvel_too_large(arg)));
  return shownPart(name, JSON.parse(json));
}

function setAlias(bytes) {
  const path = EXE_DIR + '/alias.ini';
  try { core.FS.unlink(path); } catch (e) { /* there was none */ }
  if (bytes) core.FS.writeFile(path, bytes, { canOwn: true });
}

// The copy of a File given by the page under its shown name, or why there
// is none.
async function fixGiven(file, name) {
  if (file.size > READ_MAX) return { status: 'unreadable', reason: 'larger than the browser can read' };
  const bytes = await bytesOf(file);
  try {
    return fixFile(name, bytes);
  } catch (e) {
    return { status: 'failed', reason: String(e) };
  }
}

// A copy asked for by the page, for a file of the batch msg.batch.
async function fix(msg) {
  await ready;
  if (!core) return;
  const fixed = await fixGiven(msg.file, msg.name);
  postMessage({ type: 'fixed', batch: msg.batch, index: msg.index, ...fixed }, fixed.bytes ? [fixed.bytes.buffer] : []);
}

// The copies of several files in one zip, each under its path beside its
// motion (NAME.vrm.vmd, inside the folders given); a path met twice gets a
// number. Posts the zip (null when no copy was made), the names of the
// copies in it, and the files without one with the reason.
async function fixAll(msg) {
  await ready;
  if (!core) return;
  const entries = {};
  const copies = [];
  const failed = [];
  for (const { file, name } of msg.files) {
    const fixed = await fixGiven(file, name);
    if (!fixed.bytes) {
      failed.push({ name, reason: fixed.reason || fixed.status });
      continue;
    }
    let path = fixed.path;
    for (let n = 2; path in entries; n++) path = fixed.path.replace(/(\.vrm\.vmd)$/, ` (${n})$1`);
    entries[path] = fixed.bytes;
    copies.push(path);
  }
  const zip = copies.length ? zipSync(entries) : null;
  postMessage({ type: 'fixed-all', batch: msg.batch, zip, copies, failed }, zip ? [zip.buffer] : []);
}

// The VRM Animation (.vrma) of a motion, or of its VRM-ready copy when
// msg.copy: the core's export, the file tarvel-fix --vrma writes when
// msg.fold (the page's download), with no fold (bones without a humanoid
// counterpart dropped, the leg IK solved) when not (the preview). The core's
// tarvel_vrma(name, fold) writes NAME.vrma beside the motion and answers, as
// tarvel_fix does, a JSON object with "vrma" (its path, for the worker to
// read and remove) or "reason". Posts { bytes, name } (the file's name
// without the folders) or { reason }.
async function vrma(msg) {
  await ready;
  if (!core) return;
  const answer = { type: 'vrma', id: msg.id, batch: msg.batch, index: msg.index, copy: msg.copy };
  const fail = (reason) => postMessage({ ...answer, reason });
  if (msg.file.size > READ_MAX) {
    fail('larger than the browser can read');
    return;
  }
  const bytes = await bytesOf(msg.file);
  let made;
  try {
    made = withMotion(msg.name, bytes, () => {
      let source = msg.name;
      if (msg.copy) {
        const fixed = JSON.parse(withText(msg.name, (arg) => core.UTF8ToString(core._tarvel_fix(arg))));
        if (!fixed.copy) return { reason: fixed.reason || fixed.status };
        source = fixed.copy;
      }
      try {
        const exported = JSON.parse(withText(source, (arg) => core.UTF8ToString(core._tarvel_vrma(arg, msg.fold ? 1 : 0))));
        if (!exported.vrma) return { reason: exported.reason || 'no VRM Animation' };
        try {
          return { bytes: core.FS.readFile(exported.vrma), name: exported.vrma.split('/').pop() };
        } finally {
          core.FS.unlink(exported.vrma);
        }
      } finally {
        if (source !== msg.name) core.FS.unlink(source);
      }
    });
  } catch (e) {
    made = { reason: String(e) };
  }
  if (made.bytes) postMessage({ ...answer, bytes: made.bytes.buffer, name: made.name }, [made.bytes.buffer]);
  else fail(made.reason);
}

self.onmessage = async (event) => {
  const msg = event.data;
  if (msg.type === 'vrma') {
    vrma(msg);
    return;
  }
  if (msg.type === 'fix') {
    fix(msg);
    return;
  }
  if (msg.type === 'fix-all') {
    fixAll(msg);
    return;
  }
  if (msg.type !== 'check') return;
  const batch = msg.batch;
  newest = batch;
  await ready;
  if (!core || batch !== newest) return;
  const alias = msg.alias ? await bytesOf(msg.alias) : null;
  if (batch !== newest) return;
  setAlias(alias);
  core._tarvel_begin();
  for (let i = 0; i < msg.files.length; i++) {
    const file = msg.files[i];
    const name = msg.names ? msg.names[i] : file.name;
    if (file.size > READ_MAX) {
      postMessage({ type: 'file', batch, index: i, result: tooLarge(name) });
      continue;
    }
    const bytes = await bytesOf(file);
    if (batch !== newest) return;
    postMessage({ type: 'file', batch, index: i, result: checkFile(name, bytes) });
  }
  const document = core.UTF8ToString(core._tarvel_document());
  postMessage({ type: 'done', batch, document, summary: JSON.parse(document).summary });
};
