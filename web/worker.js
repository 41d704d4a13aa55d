// The page's long work, away from its thread: files enciphered and deciphered, and the
// attack, which pauses between its items for the page's Stop. The page makes its workers
// from this function's source and the module's, so that they run from a page opened
// from disk too, where a browser loads no worker file.
function rotorwerkWorker(createRotorwerk) {
  'use strict';
  let engine = null;
  let stopped = false;  // a Stop may come before the module is ready
  const ready = createRotorwerk().then((module) => {
    engine = module;
    engine.stopAsked = stopped;
  });

  // The settings a job names: the wiring alone, or with a start file.
  function load(job) {
    return job.start ? engine.loadSettings(job.wiring, job.start, '', '', job.chinese)
      : engine.loadWiring(job.wiring, '', job.chinese);
  }

  async function attack(job) {
    const progress = (stage, share) => postMessage({ progress: { stage, share } });
    if (!engine.prepareAttack(job.code, job.crib, job.language, job.timeLimit, job.chinese,
      progress)) {
      return null;
    }
    await engine.ccall('rotorwerkAttack', null, [], [], { async: true });
    return engine.attackResult();
  }

  const jobs = {
    encrypt: (job) => engine.encryptBytes(job.bytes, job.chineseLabel, job.codingType, job.chinese),
    decrypt: (job) => engine.decryptBytes(job.bytes, job.name, job.chinese),
    attack,
  };

  // One job at a time, in the order they came; a stop is seen at once.
  let queue = Promise.resolve();
  self.onmessage = ({ data }) => {
    if (data.stop) {
      stopped = true;
      if (engine) engine.stopAsked = true;
      return;
    }
    queue = queue.then(() => ready).then(async () => {
      const settings = load(data);
      const result = settings.ok ? await jobs[data.job](data) : settings;
      const transfer = result && result.bytes ? [result.bytes.buffer] : [];
      postMessage({ id: data.id, result }, transfer);
    });
  };
}
