// The page: files in, the converter in a worker, the 3D view, messages and downloads.
import { View } from './view.js';
import { makeZip } from './zip.js';

const $ = (id) => document.getElementById(id);
const view = new View($('view'));
const worker = new Worker('worker.js');
const files = [];  // {name, bytes, item, triangles, messages, failed, times}
let selected = null;
let nextJob = 1;
const jobs = new Map();  // id -> {resolve, onProgress}

// Everything the browser test looks at.
window.tarvexPage = { files, ready: Promise.resolve(), busy: 0 };

worker.onmessage = (event) => {
  const answer = event.data;
  const job = jobs.get(answer.id);
  if (!job) return;
  if ('progress' in answer) return job.onProgress(answer.progress);
  jobs.delete(answer.id);
  job.resolve(answer);
};

// Converts the file's bytes into `format` in the worker. The input is copied: the file keeps them.
// How long the worker took is kept with the file, for the page to show.
async function convert(file, format, full, onProgress = () => {}) {
  const id = nextJob++;
  const bytes = file.bytes.slice(0);
  const answer = await new Promise((resolve) => {
    jobs.set(id, { resolve, onProgress });
    worker.postMessage({ id, name: file.name, bytes, full, format }, [bytes]);
  });
  if (answer.seconds !== undefined) {
    file.times.set(format + (full ? '' : ' (default mode)'), answer.seconds);
    if (selected === file) showTimes(file);
  }
  return answer;
}

const duration = (seconds) =>
  seconds < 0.001 ? 'under 1 ms' : seconds < 1 ? Math.round(seconds * 1000) + ' ms' : seconds.toFixed(2) + ' s';

function showTimes(file) {
  $('times').textContent = file.times.size === 0 ? '' : 'Converted to ' +
    [...file.times].map(([what, seconds]) => '.' + what + ' in ' + duration(seconds)).join(', ');
}

const fullMode = () => document.querySelector('input[name=mode]:checked').value === 'full';

function showProgress(text, percent) {
  $('progress').hidden = percent === null;
  $('progress').querySelector('progress').value = percent ?? 0;
  $('progress').querySelector('span').textContent = text;
}

async function addFiles(list) {
  for (const handle of list) {
    const file = { name: handle.name, bytes: null, messages: '', triangles: null, failed: false,
                   times: new Map() };
    file.item = document.createElement('li');
    file.item.innerHTML = '<span class="name"></span><span class="state">waiting</span>';
    file.item.querySelector('.name').textContent = handle.name;
    file.item.onclick = () => select(file);
    $('list').append(file.item);
    files.push(file);
    file.pending = handle;
  }
  window.tarvexPage.busy++;
  const work = (async () => {
    for (const file of files.filter((f) => f.pending)) {
      const handle = file.pending;
      delete file.pending;
      file.item.querySelector('.state').textContent = 'reading';
      file.bytes = await handle.arrayBuffer();
      await open(file);
    }
  })();
  window.tarvexPage.ready = work.finally(() => window.tarvexPage.busy--);
  return work;
}

// The view's glTF is always a full read; the messages are those of the chosen mode's VRML
// conversion when that is the default mode, since that is what its downloads will say.
async function open(file) {
  select(file);
  const state = file.item.querySelector('.state');
  const answer = await convert(file, 'glb', true, (percent) => {
    state.textContent = 'converting ' + percent + '%';
    if (selected === file) showProgress('Reading ' + file.name, percent);
  });
  showProgress('', null);
  file.messages = answer.messages;
  file.status = answer.status;
  if (!fullMode()) {
    const wrl = await convert(file, 'wrl', false);
    file.messages = wrl.messages;
  }
  file.failed = !answer.output;
  file.item.classList.toggle('failed', file.failed);
  file.glb = answer.output ?? null;
  if (file.failed) {
    state.textContent = firstLine(answer.messages) || 'could not be converted';
  } else {
    state.innerHTML = '';
    state.append((answer.status === 0 ? 'converted' : 'converted with a problem') + ' in ' +
                 duration(answer.seconds), ' ');
    for (const format of ['glb', 'gltf', 'x3d', 'wrl']) {
      const button = document.createElement('button');
      button.textContent = '.' + format;
      button.title = 'Save as ' + format;
      button.onclick = (e) => { e.stopPropagation(); download(file, format); };
      state.append(button);
    }
  }
  $('zip').disabled = !files.some((f) => !f.failed && f.bytes);
  if (selected === file) await show(file);
}

const firstLine = (text) => text.split('\n').find((line) => line.trim()) ?? '';

async function select(file) {
  selected = file;
  for (const f of files) f.item.classList.toggle('selected', f === file);
  if (file.bytes && 'failed' in file) await show(file);
}

async function show(file) {
  $('title').textContent = file.name;
  const messages = $('messages');
  messages.textContent = file.messages || 'No messages: everything was read.';
  messages.classList.toggle('error', file.failed);
  showTimes(file);
  $('outline').innerHTML = '';
  const cameras = $('camera');
  cameras.length = 1;
  if (!file.glb) {
    view.clear();
    return;
  }
  const shown = await view.show(file.glb.slice(0));
  file.triangles = shown.triangles;
  shown.cameras.forEach((name, i) => cameras.add(new Option(name, String(i))));
  cameras.value = 'fit';
  for (const line of shown.outline) {
    const li = document.createElement('li');
    li.textContent = '\u00a0'.repeat(2 * line.depth) + line.label + (line.what ? ': ' + line.what : '');
    $('outline').append(li);
  }
}

// The bytes the program writes for this file in `format`, in the chosen mode.
async function output(file, format) {
  const answer = await convert(file, format, fullMode());
  if (!answer.output) throw new Error(firstLine(answer.messages) || file.name + ' could not be converted');
  return { name: answer.outputName, bytes: new Uint8Array(answer.output), seconds: answer.seconds };
}

function save(blob, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

async function download(file, format) {
  try {
    const { name, bytes } = await output(file, format);
    save(new Blob([bytes]), name);
  } catch (e) {
    $('messages').textContent = e.message;
  }
}

$('zip').onclick = async () => {
  const format = $('allFormat').value;
  const entries = [];
  const names = new Set();
  for (const file of files.filter((f) => !f.failed && f.bytes)) {
    showProgress('Converting ' + file.name, Math.round((100 * entries.length) / files.length));
    try {
      const entry = await output(file, format);
      // Two inputs of one name in different folders: the second gets a number.
      let name = entry.name;
      for (let n = 2; names.has(name); n++) name = entry.name.replace(/(\.[^.]+)$/, '-' + n + '$1');
      names.add(name);
      entries.push({ name, bytes: entry.bytes });
    } catch (e) {
      $('messages').textContent = e.message;
    }
  }
  showProgress('', null);
  save(makeZip(entries), 'tarvex-' + format + '.zip');
};

$('pick').onchange = (e) => addFiles([...e.target.files]);
const drop = $('drop');
drop.ondragover = (e) => { e.preventDefault(); drop.classList.add('over'); };
drop.ondragleave = () => drop.classList.remove('over');
drop.ondrop = (e) => {
  e.preventDefault();
  drop.classList.remove('over');
  addFiles([...e.dataTransfer.files]);
};
document.body.ondragover = (e) => e.preventDefault();
document.body.ondrop = (e) => { e.preventDefault(); addFiles([...e.dataTransfer.files]); };
for (const radio of document.querySelectorAll('input[name=mode]')) {
  radio.onchange = async () => {
    for (const file of files.filter((f) => f.bytes)) await open(file);
  };
}
$('fit').onclick = () => { $('camera').value = 'fit'; view.fit(); };
$('camera').onchange = (e) => (e.target.value === 'fit' ? view.fit() : view.useCamera(Number(e.target.value)));

// For the browser test and for people who script the page: convert without a download.
window.tarvexPage.output = async (index, format) => output(files[index], format);
window.tarvexPage.addFiles = addFiles;
