// Runs the converter off the page's thread: one conversion at a time, in the module's memory.
// Asked {id, name, bytes, full, format}, it answers {id, status, messages, output} (output
// absent when nothing was written), and {id, progress} while it reads.
'use strict';
importScripts('tarvex.js');

let current = 0;
const ready = createTarvex({
  print: () => {},
  printErr: () => {},
  onProgress: (percent) => postMessage({ id: current, progress: percent }),
});

// The output keeps the input's name with the format's extension, as a batch of the program names
// its files; messages then read as the program's do.
function outputName(name, format) {
  const dot = name.lastIndexOf('.');
  return (dot > 0 ? name.slice(0, dot) : name) + '.' + format;
}

onmessage = async (event) => {
  const tarvex = await ready;
  const { id, name, bytes, full, format } = event.data;
  current = id;
  const folder = '/job' + id;
  tarvex.FS.mkdir(folder);
  tarvex.FS.chdir(folder);
  const output = outputName(name, format);
  try {
    tarvex.FS.writeFile(name, new Uint8Array(bytes));
    const args = (full ? ['--full'] : []).concat(['--', name, output]);
    const status = tarvex.ccall('tarvex_web_run', 'number', ['string'], [args.join('\n')]);
    const messages = tarvex.UTF8ToString(tarvex.ccall('tarvex_web_messages', 'number', [], []));
    let result;
    try {
      result = tarvex.FS.readFile(output);
    } catch (e) {
      result = null;
    }
    const answer = { id, status, messages, outputName: output };
    if (result) answer.output = result.buffer;
    postMessage(answer, result ? [result.buffer] : []);
  } catch (e) {
    postMessage({ id, status: 1, messages: 'The page could not convert ' + name + ': ' + e });
  } finally {
    for (const file of [name, output]) {
      try { tarvex.FS.unlink(file); } catch (e) { /* not written */ }
    }
    tarvex.FS.chdir('/');
    tarvex.FS.rmdir(folder);
  }
};
