// The settings in use: each picker's file is the file it names, typed texts are taken as
// typed, and the status line names where each text came from.
'use strict';

// A settings file is a few hundred bytes; anything far larger is not one, and is refused
// before it is read.
const SETTINGS_LIMIT = 64 * 1024;

// The texts in use, and the names of the files they came from (null: typed in).
let settings = null;
const sources = { wiring: null, start: null };

function status(text, failed) {
  const line = $('settings-status');
  line.textContent = text;
  line.classList.toggle('error', Boolean(failed));
}

// A file's text, or a refusal naming it when it is too large to be a settings file.
async function settingsText(file) {
  if (file.size > SETTINGS_LIMIT) {
    return { error: word('tooLarge', file.name, file.size, SETTINGS_LIMIT) };
  }
  return { text: await file.text() };
}

function nameOf(kind) {
  return sources[kind] === null ? word('typedIn') : sources[kind];
}

function describeSettings(result) {
  if (!result.start) return word('wiringOnly', nameOf('wiring'));
  return `${word('ready', nameOf('wiring'), nameOf('start'))}: ${result.rotors} / ` +
    `${result.slots.join(' ')} / ${result.plugs.join(' ')} / ${result.offsets.join(' ')}`;
}

// Takes the settings of `result`; a fault leaves none in use.
function useSettings(result) {
  settings = result.ok ? { wiring: result.wiring, start: result.start } : null;
  status(result.ok ? describeSettings(result) : result.error, !result.ok);
  settingsChanged();
  if (!result.ok) return false;
  $('wiring-text').value = result.wiring;
  $('start-text').value = result.start;
  return true;
}

// The two texts as they stand: the wiring alone when there is no start text.
function loadTexts() {
  const wiring = $('wiring-text').value;
  const start = $('start-text').value;
  const names = [sources.wiring || '', sources.start || ''];
  if (start.trim() === '' && sources.start === null) {
    return engine.loadWiring(wiring, names[0], chinese);
  }
  if (wiring.trim() === '' && sources.wiring === null) {
    return { ok: false, error: word('noWiring') };
  }
  return engine.loadSettings(wiring, start, ...names, chinese);
}

// A picker's file as the text of its kind; a refusal leaves no settings in use.
async function takeFile(kind, file) {
  const read = await settingsText(file);
  if (read.error) return useSettings({ ok: false, error: read.error });
  $(`${kind}-text`).value = read.text;
  sources[kind] = file.name;
  return useSettings(loadTexts());
}

// What a dropped file is: its name says so, or else its first item (a reflector of 26
// letters begins a wiring file, a number a start file).
function kindOf(name, text) {
  const wiring = name.includes('config');
  if (wiring !== name.includes('init')) return wiring ? 'wiring' : 'start';
  return /^\s*[a-z]{26}/.test(text) ? 'wiring' : 'start';
}

async function dropFiles(files) {
  if (files.length === 0) return false;  // a text or a link dropped: nothing to take
  if (files.length > 2) return useSettings({ ok: false, error: word('dropTwo') });
  const read = [];
  for (const file of files) {
    const got = await settingsText(file);
    if (got.error) return useSettings({ ok: false, error: got.error });
    read.push([kindOf(file.name, got.text), file, got.text]);
  }
  if (read.length === 2 && read[0][0] === read[1][0]) {
    return useSettings({ ok: false, error: word('cannotTell', files[0].name, files[1].name) });
  }
  for (const [kind, file, text] of read) {
    $(`${kind}-text`).value = text;
    sources[kind] = file.name;
  }
  return useSettings(loadTexts());
}

function wireSettings() {
  $('use').addEventListener('click', () => useSettings(loadTexts()));
  for (const kind of ['wiring', 'start']) {
    const picker = $(`${kind}-file`);
    picker.addEventListener('change', () => {
      if (picker.files.length > 0) takeFile(kind, picker.files[0]);
    });
    // A text edited by hand is no longer the file's.
    $(`${kind}-text`).addEventListener('input', () => { sources[kind] = null; });
  }
  const drop = $('drop');
  drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    dropFiles([...event.dataTransfer.files]);
  });
}
