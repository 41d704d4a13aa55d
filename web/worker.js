// The attack, away from the page's thread: the library's own search, its progress told
// back a few times a second.
'use strict';
importScripts('rotorwerk_web.js');

const engine = createRotorwerk();
onmessage = async ({ data }) => {
  const module = await engine;
  const wiring = module.loadWiring(data.wiring, data.chinese);
  const result = !wiring.ok ? wiring
    : module.attackBytes(data.code, data.crib, data.language, data.timeLimit, data.chinese,
      (stage, share) => postMessage({ progress: { stage, share } }));
  postMessage({ result });
};
