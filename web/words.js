// The page's own words in English and Chinese; the program's messages come from the
// library in the page's language.
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
    start: '开始', stop: '停止', noSettings: '请先载入配置',
    stopped: '已停止', download: '下载', chooseFile: '请选择文件',
    in: '输入', plugboard: '插头', right: '右转子', middle: '中转子', left: '左转子',
    reflector: '反射器',
    ready: '配置可用：转子配置文件%1，起始配置文件%2',
    wiringOnly: '转子配置文件可用：%1，无起始配置文件（破译只需转子配置文件）',
    noStart: '此操作需要起始配置文件：仅有转子配置文件时只能破译',
    noWiring: '起始配置文件需要其转子配置文件：请同时选择转子配置文件',
    typedIn: '（手动输入）', newKey: '（新密钥）',
    tooLarge: '%1过大，不是配置文件：%2字节，最多%3字节',
    cannotTell: '无法判断%1和%2中哪个是转子配置文件：请分别用各自的选择框选择',
    dropTwo: '请拖放一个或两个配置文件',
    working: '处理中……', failed: '浏览器中的处理失败：%1',
  },
};
const ENGLISH = {
  noSettings: 'load settings first', stopped: 'stopped', download: 'Download',
  chooseFile: 'choose a file first',
  ready: 'settings in use: wiring file %1, start file %2',
  wiringOnly: 'wiring file in use: %1, without a start file (the attack needs no more)',
  noStart: 'this needs a start file: the wiring file alone serves only the attack',
  noWiring: 'a start file needs its wiring file: choose the wiring file too',
  typedIn: '(typed in)', newKey: '(new key)',
  tooLarge: '%1 is too large for a settings file: %2 bytes, at most %3',
  cannotTell: 'cannot tell which of %1 and %2 is the wiring file: choose each in its own picker',
  dropTwo: 'drop one or two settings files',
  working: 'working...', failed: 'the browser could not do it: %1',
};

// The word for `key`, its %1, %2 ... filled with `values`.
function word(key, ...values) {
  const text = (chinese && WORDS.zh[key]) || ENGLISH[key] || key;
  return text.replace(/%(\d)/g, (_, n) => String(values[Number(n) - 1]));
}

const $ = (id) => document.getElementById(id);

function translate() {
  document.documentElement.lang = chinese ? 'zh-CN' : 'en';
  if (!chinese) return;
  for (const element of document.querySelectorAll('[data-i18n]')) {
    const text = WORDS.zh[element.dataset.i18n];
    if (text) element.textContent = text;
  }
}
