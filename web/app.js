// The page: every letter, file and key is the library's, run as WebAssembly here;
// this script only shows them. Nothing is fetched but the page's own files.
'use strict';

const chinese = (navigator.language || '').toLowerCase().startsWith('zh');
const WORDS = {
  en: {},  // the page's own English, in its HTML
  zh: {
    tagline: '在本页中运行的三转子密码机：数据不会离开本页。', settings: '配置',
    wiringFile: '转子配置文件（enigma_config.ef）', startFile: '起始配置文件（enigma_init.ef）',
    dropHint: '也可将两个文件拖放到此处，或粘贴到下方。', wiringText: '转子配置文件内容',
    startText: '起始配置文件内容', use: '使用此配置', rotors: '转子数', plugs: '插头对数',
    generate: '生成新密钥', machine: '逐字输入', back: '后退一步', reset: '回到起始偏移',
    typed: '输入', lit: '亮灯', files: '文件', textFile: '文本文件', label: '语言',
    codingType: '编码类型', encrypt: '加密', codeFile: '代码文件', decrypt: '解密',
    attack: '破译', attackHint: '仅凭转子配置文件求出代码文件的起始配置。',
    crib: '已知明文（文本或文本@N）', language: '语言', timeLimit: '时间限制（秒）',
    start: '开始', stop: '停止', ready: '配置可用', noSettings: '请先载入配置',
    stopped: '已停止', download: '下载', chooseFile: '请选择文件',
    in: '输入', plugboard: '插头', right: '右转子', middle: '中转子', left: '左转子',
    reflector: '反射器',
  },
};
const ENGLISH = {
  ready: 'settings in use', noSettings: 'load settings first', stopped: 'stopped',
  download: 'Download', chooseFile: 'choose a file first',
};
function word(key) {
  return (chinese && WORDS.zh[key]) || ENGLISH[key] || key;
}

const $ = (id) => document.getElementById(id);
const LETTERS = 'abcdefghijklmnopqrstuvwxyz';
const STAGE_NAMES = ['in', 'plugboard', 'right_rotor', 'middle_rotor', 'left_rotor', 'reflector',
  'left_back', 'middle_back', 'right_back', 'plugboard_back'];

// What the tests and a curious user can read back: the bytes of each download.
const page = { downloads: {}, ready: false };
window.rotorwerkPage = page;

let engine = null;
let settings = null;  // the texts in use, for the attack's worker
let typed = '';

function translate() {
  document.documentElement.lang = chinese ? 'zh-CN' : 'en';
  if (!chinese) return;
  for (const element of document.querySelectorAll('[data-i18n]')) {
    const text = WORDS.zh[element.dataset.i18n];
    if (text) element.textContent = text;
  }
}

function status(text, failed) {
  const line = $('settings-status');
  line.textContent = text;
  line.classList.toggle('error', Boolean(failed));
}

function offer(where, name, bytes) {
  page.downloads[name] = bytes;
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  link.download = name;
  link.textContent = `${word('download')} ${name}`;
  $(where).append(link);
}

function useSettings(result) {
  if (!result.ok) {
    status(result.error, true);
    return false;
  }
  settings = { wiring: result.wiring, start: result.start };
  $('wiring-text').value = result.wiring;
  $('start-text').value = result.start;
  status(`${word('ready')}: ${result.rotors} / ${result.slots.join(' ')} / ` +
         `${result.plugs.join(' ')} / ${result.offsets.join(' ')}`);
  typed = '';
  show(null);
  return true;
}

function readFile(input) {
  const file = input.files[0];
  return file ? file.arrayBuffer().then((buffer) => [file.name, new Uint8Array(buffer)]) : null;
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

function press(letter) {
  if (!settings) return status(word('noSettings'), true);
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

async function loadDropped(files) {
  for (const file of files) {
    const text = await file.text();
    if (file.name.includes('config')) $('wiring-text').value = text;
    if (file.name.includes('init')) $('start-text').value = text;
  }
  useSettings(engine.loadSettings($('wiring-text').value, $('start-text').value, chinese));
}

async function encryptFile() {
  if (!settings) return status(word('noSettings'), true);
  const read = readFile($('text-file'));
  if (!read) return ($('file-lines').textContent = word('chooseFile'));
  const [, bytes] = await read;
  const result = engine.encryptBytes(bytes, $('label').value === 'zh', $('coding-type').value,
    chinese);
  $('file-lines').textContent = result.ok ? '' : result.error;
  if (result.ok) offer('file-downloads', 'enigma_code.txt', result.bytes);
  return undefined;
}

async function decryptFile() {
  if (!settings) return status(word('noSettings'), true);
  const read = readFile($('code-file'));
  if (!read) return ($('file-lines').textContent = word('chooseFile'));
  const [name, bytes] = await read;
  const result = engine.decryptBytes(bytes, name, chinese);
  $('file-lines').textContent = result.ok ? result.lines.join('\n') : result.error;
  if (result.ok) offer('file-downloads', name.replace(/(\.[^.]*)?$/, '.txt'), result.bytes);
  return undefined;
}

// The attack runs in a worker, so that the page stays alive; Stop ends the worker.
let worker = null;
function stopAttack(text) {
  if (worker) worker.terminate();
  worker = null;
  $('attack-start').disabled = false;
  $('attack-stop').disabled = true;
  if (text) $('attack-lines').textContent = text;
}

async function startAttack() {
  if (!settings) return status(word('noSettings'), true);
  const read = readFile($('attack-file'));
  if (!read) return ($('attack-lines').textContent = word('chooseFile'));
  const [, bytes] = await read;
  stopAttack();
  worker = new Worker('worker.js');
  $('attack-start').disabled = true;
  $('attack-stop').disabled = false;
  $('attack-lines').textContent = '';
  $('attack-progress').value = 0;
  worker.onmessage = ({ data }) => {
    if (data.progress) {
      $('attack-progress').value = data.progress.share;
      return;
    }
    const result = data.result;
    stopAttack(result.ok ? [...result.lines, '', result.start].join('\n') : result.error);
    page.attack = result;
  };
  worker.postMessage({
    code: bytes, wiring: settings.wiring, crib: $('crib').value,
    language: $('attack-language').value, timeLimit: Number($('time-limit').value) || 300, chinese,
  });
  return undefined;
}

function wire() {
  $('use').addEventListener('click', () =>
    useSettings(engine.loadSettings($('wiring-text').value, $('start-text').value, chinese)));
  $('generate').addEventListener('click', () => {
    $('key-downloads').replaceChildren();
    // The fields' own limits, also for a number typed beyond them.
    const within = (id) => {
      const field = $(id);
      const value = Math.round(Number(field.value)) || 0;
      field.value = Math.min(Number(field.max), Math.max(Number(field.min), value));
      return Number(field.value);
    };
    if (useSettings(engine.generateSettings(within('rotors'), within('plugs'), chinese))) {
      const encoder = new TextEncoder();
      offer('key-downloads', 'enigma_config.ef', encoder.encode(settings.wiring));
      offer('key-downloads', 'enigma_init.ef', encoder.encode(settings.start));
    }
  });
  for (const id of ['wiring-file', 'start-file']) {
    $(id).addEventListener('change', () => loadDropped([...$('wiring-file').files,
      ...$('start-file').files]));
  }
  const drop = $('drop');
  drop.addEventListener('dragover', (event) => { event.preventDefault(); drop.classList.add('over'); });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    loadDropped([...event.dataTransfer.files]);
  });
  $('back').addEventListener('click', () => replay(typed.slice(0, -1)));
  $('reset').addEventListener('click', () => replay(''));
  $('encrypt').addEventListener('click', encryptFile);
  $('decrypt').addEventListener('click', decryptFile);
  $('attack-start').addEventListener('click', startAttack);
  $('attack-stop').addEventListener('click', () => stopAttack(word('stopped')));
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
