// Runs the converter off the page's thread: one conversion at a time, in the module's memory.
// Asked {id, name, bytes, full, format}, it answers {id, status, messages, outputName, output,
// seconds} (output absent when nothing was written), and {id, progress} while it reads.
'use strict';
importScripts('tarvex.js');

// The library's statuses: converted, or read in part and written (the output holds what was read).
const ok = 0, incomplete = 1;

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
  const output = outputName(name, format);
  let input = 0;
  try {
    const started = performance.now();
    input = tarvex._malloc(Math.max(1, bytes.byteLength));
    if (!input) throw new Error('out of memory');
    // The heap may have grown: take its view after the allocation.
    tarvex.HEAPU8.set(new Uint8Array(bytes), input);
    const status = tarvex.ccall('tarvex_web_convert', 'number',
      ['number', 'number', 'string', 'string', 'string', 'number'],
      [input, bytes.byteLength, name, output, format, full ? 1 : 0]);
    tarvex._free(input);
    input = 0;
    const answer = { id, status, outputName: output,
      messages: tarvex.UTF8ToString(tarvex._tarvex_web_messages()) };
    if (status === ok || status === incomplete) {
      const at = tarvex._tarvex_web_output();
      answer.output = tarvex.HEAPU8.slice(at, at + (tarvex._tarvex_web_output_size() >>> 0)).buffer;
    }
    answer.seconds = (performance.now() - started) / 1000;
    postMessage(answer, answer.output ? [answer.output] : []);
  } catch (e) {
    if (input) tarvex._free(input);
    postMessage({ id, status: -1, messages: 'The page could not convert ' + name + ': ' + e });
  }
};
