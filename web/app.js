// The page: every letter, file and key is the library's, run as WebAssembly here;
// this script only shows them. Nothing is fetched but the page's own files.
'use strict';

const LETTERS = 'abcdefghijklmnopqrstuvwxyz';
const STAGE_NAMES = ['in', 'plugboard', 'right_rotor', 'middle_rotor', 'left_rotor', 'reflector',
  'left_back', 'middle_back', 'right_back', 'plugboard_back'];

// What the tests and a curious user can read back: the bytes of each download, the
// attack's progress and its result.
const page = { downloads: {}, ready: false };
window.rotorwerkPage = page;

// The module in this page, for typing and the settings; files and the attack run in
// workers made from the same module.
const createRotorwerk = rotorwerkModule();
let engine = null;
let typed = '';

function offer(where, name, bytes) {
  page.downloads[name] = bytes;
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  link.download = name;
  link.textContent = `${word('download')} ${name}`;
  $(where).append(link);
}

// The rotor windows, the lamp lit and the signal path of the last letter.
function show(step) {
  const positions = engine.positions();
  ['left', 'middle', 'right'].forEach((name, k) => {
    $(`window-${name}`).textContent = positions.length ? positions[k] : '-';
  });
  for (const lamp of document.querySelectorAll('.lamp')) lamp.classList.remove('lit');
  $('typed').textContent = typed;
  const svg = $('path');
  svg.replaceChildren();
  if (!step) return;
  const out = step.stages[8];
  document.querySelector(`.lamp[data-letter="${LETTERS[out]}"]`).classList.add('lit');
  // Out along the top, through the rotors to the reflector, and back along the bottom.
  const spots = [[30, 40], [95, 40], [190, 40], [285, 40], [380, 40], [500, 95],
    [380, 150], [285, 150], [190, 150], [95, 150]];
  const names = ['in', 'plugboard', 'right', 'middle', 'left', 'reflector', 'left', 'middle',
    'right', 'plugboard'];
  const letters = [step.input, ...step.stages.slice(0, 9)];
  const ns = 'http://www.w3.org/2000/svg';
  const wire = document.createElementNS(ns, 'polyline');
  wire.setAttribute('class', 'wire');
  wire.setAttribute('points', spots.map(([x, y]) => `${x},${y}`).join(' '));
  svg.append(wire);
  spots.forEach(([x, y], k) => {
    const box = document.createElementNS(ns, 'circle');
    box.setAttribute('class', 'stage');
    Object.entries({ cx: x, cy: y, r: 16 }).forEach(([a, v]) => box.setAttribute(a, v));
    const letter = document.createElementNS(ns, 'text');
    letter.setAttribute('x', x);
    letter.setAttribute('y', y + 5);
    letter.dataset.stage = STAGE_NAMES[k];
    letter.textContent = k === 0 ? step.inputText : LETTERS[letters[k]];
    const name = document.createElementNS(ns, 'text');
    name.setAttribute('class', 'name');
    name.setAttribute('x', x);
    name.setAttribute('y', y + (k < 5 ? -22 : 30));
    name.textContent = word(names[k]);
    svg.append(box, letter, name);
  });
}

// What a job needs before it runs: settings, and for all but the attack a start file.
function missing(needsStart) {
  if (!settings) return word('noSettings');
  return needsStart && !settings.start ? word('noStart') : null;
}

function press(letter) {
  const lacking = missing(true);
  if (lacking) return status(lacking, true);
  const step = engine.press(letter);
  if (!step.stages) return undefined;
  step.inputText = letter;
  step.input = LETTERS.indexOf(letter.toLowerCase());
  typed += letter;
  const out = LETTERS[step.stages[8]];
  $('lit').textContent += letter === letter.toUpperCase() ? out.toUpperCase() : out;
  show(step);
  return step;
}

function replay(text) {
  engine.resetMachine();
  typed = '';
  $('lit').textContent = '';
  let step = null;
  for (const letter of text) step = press(letter);
  if (!step) show(null);
}

function buildBoards() {
  for (const letter of LETTERS) {
    const lamp = document.createElement('span');
    lamp.className = 'lamp';
    lamp.dataset.letter = letter;
    lamp.textContent = letter.toUpperCase();
    $('lamps').append(lamp);
    const key = document.createElement('button');
    key.className = 'key';
    key.textContent = letter.toUpperCase();
    key.setAttribute('aria-label', letter);
    key.addEventListener('click', () => press(letter.toUpperCase()));
    $('keys').append(key);
  }
  document.addEventListener('keydown', (event) => {
    const target = event.target.tagName;
    if (target === 'INPUT' || target === 'TEXTAREA' || target === 'SELECT') return;
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    if (/^[a-zA-Z]$/.test(event.key)) {
      press(event.key);
      event.preventDefault();
    } else if (event.key === 'Backspace') {
      replay(typed.slice(0, -1));
      event.preventDefault();
    }
  });
}

// A number field's value within the field's own limits, also for a number typed beyond
// them; `empty` for a field left empty.
function within(id, empty) {
  const field = $(id);
  const value = field.value.trim() === '' ? empty : Math.round(Number(field.value)) || 0;
  field.value = Math.min(Number(field.max), Math.max(Number(field.min), value));
  return Number(field.value);
}

// The settings changed: the machine starts again from them.
function settingsChanged() {
  replay('');
}

// Workers made from the module's source and the worker's, as a page opened from disk
// may load no worker file.
const workerSource = URL.createObjectURL(new Blob(
  [`${rotorwerkModule}\n(${rotorwerkWorker})(rotorwerkModule());\n`],
  { type: 'text/javascript' }));

// The files' worker lives as long as the page; each job is answered by its id. A worker
// that fails (a file too large for its memory) answers every job it held with the reason.
const fileJobs = { worker: null, waiting: new Map(), next: 0 };
function fileWorker() {
  if (fileJobs.worker) return fileJobs.worker;
  const worker = new Worker(workerSource);
  worker.onmessage = ({ data }) => {
    fileJobs.waiting.get(data.id)(data.result);
    fileJobs.waiting.delete(data.id);
  };
  worker.onerror = (event) => {
    worker.terminate();
    fileJobs.worker = null;
    for (const answer of fileJobs.waiting.values()) {
      answer({ ok: false, error: word('failed', event.message) });
    }
    fileJobs.waiting.clear();
  };
  fileJobs.worker = worker;
  return worker;
}

function fileJob(job, bytes) {
  const id = fileJobs.next++;
  return new Promise((resolve) => {
    fileJobs.waiting.set(id, resolve);
    fileWorker().postMessage({ ...job, id, bytes }, [bytes.buffer]);
  });
}

// A file of the picker `field` through the files' worker, under the settings in use when
// it was asked for; the page stays alive meanwhile. Null when there is nothing to do.
async function runFile(field, job) {
  const lacking = missing(true);
  if (lacking) {
    status(lacking, true);
    return null;
  }
  const file = $(field).files[0];
  if (!file) {
    $('file-lines').textContent = word('chooseFile');
    return null;
  }
  const keys = { wiring: settings.wiring, start: settings.start, chinese, name: file.name };
  $('file-lines').textContent = word('working');
  try {
    const bytes = new Uint8Array(await file.arrayBuffer());
    return { file, result: await fileJob({ ...job, ...keys }, bytes) };
  } catch (error) {
    return { file, result: { ok: false, error: word('failed', error.message) } };
  }
}

async function encryptFile() {
  const done = await runFile('text-file', {
    job: 'encrypt', chineseLabel: $('label').value === 'zh', codingType: $('coding-type').value,
  });
  if (!done) return;
  $('file-lines').textContent = done.result.ok ? '' : done.result.error;
  if (done.result.ok) offer('file-downloads', 'enigma_code.txt', done.result.bytes);
}

async function decryptFile() {
  const done = await runFile('code-file', { job: 'decrypt' });
  if (!done) return;
  const { file, result } = done;
  $('file-lines').textContent = result.ok ? result.lines.join('\n') : result.error;
  if (result.ok) offer('file-downloads', file.name.replace(/(\.[^.]*)?$/, '.txt'), result.bytes);
}

// The attack runs in a worker of its own; Stop asks it to stop, and it answers with the
// best key found so far. A worker that does not answer soon is ended.
let attacker = null;
function attackDone(text) {
  if (attacker) attacker.terminate();
  attacker = null;
  $('attack-start').disabled = false;
  $('attack-stop').disabled = true;
  if (text !== undefined) $('attack-lines').textContent = text;
}

function attackShown(result) {
  if (!result.ok) return result.error;
  return result.scored ? [...result.lines, '', result.start].join('\n') : result.lines.join('\n');
}

async function startAttack() {
  const lacking = missing(false);
  if (lacking) return status(lacking, true);
  const file = $('attack-file').files[0];
  if (!file) return ($('attack-lines').textContent = word('chooseFile'));
  const bytes = new Uint8Array(await file.arrayBuffer());
  attackDone();
  const worker = new Worker(workerSource);
  attacker = worker;
  $('attack-start').disabled = true;
  $('attack-stop').disabled = false;
  $('attack-lines').textContent = '';
  $('attack-progress').value = 0;
  worker.onerror = (event) => {
    if (worker === attacker) attackDone(word('failed', event.message));
  };
  worker.onmessage = ({ data }) => {
    if (worker !== attacker) return;
    if (data.progress) {
      page.progress = data.progress;
      $('attack-progress').value = data.progress.share;
      return;
    }
    page.attack = data.result;
    attackDone(attackShown(data.result));
  };
  worker.postMessage({
    job: 'attack', code: bytes, wiring: settings.wiring, crib: $('crib').value,
    language: $('attack-language').value, timeLimit: within('time-limit', 300), chinese,
  }, [bytes.buffer]);
  return undefined;
}

const STOP_WAIT_MS = 5000;
function stopAttack() {
  if (!attacker) return;
  const worker = attacker;
  worker.postMessage({ stop: true });
  $('attack-stop').disabled = true;
  setTimeout(() => { if (attacker === worker) attackDone(word('stopped')); }, STOP_WAIT_MS);
}

function wire() {
  wireSettings();
  $('generate').addEventListener('click', () => {
    $('key-downloads').replaceChildren();
    sources.wiring = sources.start = word('newKey');
    if (useSettings(engine.generateSettings(within('rotors', 5), within('plugs', 10), chinese))) {
      const encoder = new TextEncoder();
      offer('key-downloads', 'enigma_config.ef', encoder.encode(settings.wiring));
      offer('key-downloads', 'enigma_init.ef', encoder.encode(settings.start));
    }
  });
  $('back').addEventListener('click', () => replay(typed.slice(0, -1)));
  $('reset').addEventListener('click', () => replay(''));
  $('encrypt').addEventListener('click', encryptFile);
  $('decrypt').addEventListener('click', decryptFile);
  $('attack-start').addEventListener('click', startAttack);
  $('attack-stop').addEventListener('click', stopAttack);
}

translate();
buildBoards();
wire();
createRotorwerk().then((module) => {
  engine = module;
  page.engine = module;
  page.press = press;
  page.ready = true;
  show(null);
});
