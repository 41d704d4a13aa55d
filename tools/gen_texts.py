#!/usr/bin/env python3
"""Writes console/texts.h: every console text as exact GBK bytes and as UTF-8.

The GBK form is what the tool writes on a GBK console; the UTF-8 form is used when
the locale's character set is UTF-8. Run from the repository root after editing a
text below, with the version the build names (ROTORWERK_VERSION_LABEL in CMakeLists.txt):
python3 tools/gen_texts.py 1.0-beta1 > console/texts.h
A test checks that the file is what this writes.
"""
import sys

VERSION = sys.argv[1]

BOX = "+" + "-" * 48 + "+"
WIDTH = 50

def boxed(inner):
    line = "|" + inner
    pad = WIDTH - 1 - len(line.encode("gbk"))
    assert pad >= 0, inner
    return line + " " * pad + "|"

BANNER = [
    BOX,
    boxed("Rotorwerk Pro加密器v" + VERSION),
    "|-u 正常使用 -h 帮助                             |",
    BOX,
]

HELP = [
    BOX,
    "|-u下参数列表：                                  |",
    "|  string s                      操作文本的文件名|",
    "|  int t                                 操作类型|",
    "|    0:普通解密 1:普通加密                       |",
    "|  [bool lang]             操作文本语言（仅加密）|",
    "|    1:QZ编码中文 0:英文                         |",
    "|  [string type]           RW编码类型（仅加密时）|",
    BOX,
    "|文件配置：                                      |",
    "|  enigma_config.ef: 存储转子、反射器信息        |",
    "|  enigma_init.ef: 存储使用的转子、插头、偏移信息|",
    BOX,
    "|加密说明：                                      |",
    "|  本程序只会加密英文字母，对数字、空白符、特殊符|",
    "|  号、非基本ASCII字符均不会加密。               |",
    BOX,
    boxed("Rotorwerk Pro v" + VERSION),
    BOX,
]

USAGE = """用法：
  rotorwerk                  交互式控制台
  rotorwerk encrypt FILE [-l en|zh] [-t RW-26001A|RW-26001B] [-o PATH] [-s DIR]
      加密FILE（-为标准输入），代码文件写入PATH（默认enigma_code.txt，-为标准输出）
  rotorwerk decrypt FILE [-o PATH] [-s DIR]
      解密代码文件FILE，明文写入PATH（默认标准输出），语言与警告写入标准错误
  rotorwerk keygen [-s DIR] [--rotors N] [--plugs P] [--force]
      生成新的配置文件（转子数N为1至10，默认5；插头数P为0至13，默认10）
  rotorwerk check [-s DIR]   检查配置文件并显示摘要
  rotorwerk --help | -h      显示本帮助
  rotorwerk --version | -V   显示版本
  -s DIR：enigma_config.ef与enigma_init.ef所在目录（默认当前目录）
退出状态：0 成功；1 错误；2 用法错误；3 解密完成但核验失败
"""

for line in BANNER + HELP:
    assert len(line.encode("gbk")) == WIDTH, line

TEXTS = [
    ("kBanner", "Banner at the top of every pass.", "".join(l + "\n" for l in BANNER)),
    ("kHelpScreen", "Help screen shown by -h.", "".join(l + "\n" for l in HELP)),
    ("kFileNotFound", "The text file named with -u cannot be opened.", "[错误] 文件不存在"),
    ("kCannotReadFile", "The text file failed while it was being read.", "[错误] 无法读取文件"),
    ("kNoSuchCodingType", "The coding type given for encryption is not registered.", "[错误] 无此编码类型"),
    ("kWrittenToFile", "Output written; the file's name follows.", "[成功] 成功输出到文件"),
    ("kCannotWriteFile", "Output could not be written, any old file is kept; the file's name follows.", "[错误] 无法写入文件"),
    ("kCannotOutputText", "Deciphered text could not be written out; the command ends.", "[错误] 无法输出解密文本"),
    ("kFormatProblem", "The code file does not start with a known header word.", "[错误] 格式存在问题"),
    ("kLanguageLine", "Start of the language line of a deciphered text.", "文本使用语言："),
    ("kChineseLabel", "Language label of \"RW-Chn\".", "中文（QZ编码）"),
    ("kEnglishLabel", "Language label of \"RW-Eng\".", "英文"),
    ("kUnknownCodingType", "The code file's coding type is missing or unknown.", "[警告] 文件编码类型不存在"),
    ("kCheckFailed", "One check letter does not match its start offset.", "[警告] 核验出现错误：起始位置不正确"),
    ("kSettingsFault", "Start of a settings fault: file and item follow.", "[错误] 配置文件有误："),
    ("kItemOpen", "Settings item parentheses, opening.", "（"),
    ("kItemClose", "Settings item parentheses, closing.", "）"),
    ("kItemCannotOpen", "Settings file cannot be opened.", "无法打开"),
    ("kItemReflector", "Reflector word.", "反射器"),
    ("kItemRotorCount", "Rotor count.", "转子数"),
    ("kItemRotor", "Rotor word, followed by its number.", "转子"),
    ("kItemPlugCount", "Plug pair count.", "插头数"),
    ("kItemPlug", "Plug pair, followed by its number.", "插头"),
    ("kItemLeftRotor", "Left slot rotor number.", "左转子"),
    ("kItemMiddleRotor", "Middle slot rotor number.", "中转子"),
    ("kItemRightRotor", "Right slot rotor number.", "右转子"),
    ("kItemLeftOffset", "Left start offset.", "左偏移"),
    ("kItemMiddleOffset", "Middle start offset.", "中偏移"),
    ("kItemRightOffset", "Right start offset.", "右偏移"),
    ("kNameFollows", "Between a message and the file it names, on the command line.", "："),
    ("kUsage", "Usage of the command line, shown by --help.", USAGE),
    ("kCommandLineFault", "A command line that cannot be used; the fault follows.", "[错误] 命令行有误："),
    ("kUsageHint", "After a command-line fault.", "（rotorwerk --help 查看用法）"),
    ("kKeyFilesWritten", "keygen succeeded; the directory follows.", "[成功] 已生成配置文件："),
    ("kFileExists", "keygen would overwrite a file; its name follows.", "[错误] 文件已存在，使用--force覆盖："),
    ("kNotRegularFile", "keygen: a key file's name leads to a directory, device or FIFO; its name follows.", "[错误] 不是普通文件："),
    ("kCannotWriteOutput", "Screens or messages for standard output were lost; the run fails.", "[错误] 无法写入标准输出"),
    ("kNoRandomness", "The system's random source failed.", "[错误] 无法取得随机数"),
    ("kSummaryRotorCount", "check: the rotor count follows.", "转子数："),
    ("kSummarySlots", "check: the slots' rotor numbers follow.", "转子（左 中 右）："),
    ("kSummaryPlugs", "check: the plug pairs follow.", "插头："),
    ("kSummaryOffsets", "check: the start offsets follow.", "偏移（左 中 右）："),
    ("kSettingsSound", "check found no fault.", "[成功] 配置文件无误"),
    ("kOffsetOutOfRange", "check: a start offset outside 0..25; its item follows.", "[警告] 偏移不在0至25之间，核验字母必然失败："),
    ("kSelfPlug", "check: a plug pair of a letter with itself; the letter follows.", "[警告] 插头连接字母自身："),
]

def literal(text, encoding):
    """C string literals, one a line. GBK bytes become three-digit octal escapes
    (a hex escape would swallow a following letter); UTF-8 stays readable."""
    pieces = []
    for ch in text:
        if ch == "\n":
            pieces.append('\\n"\n    "')
        elif ch in "\\\"":
            pieces.append("\\" + ch)
        elif ord(ch) >= 0x80 and encoding == "gbk":
            pieces.append("".join("\\%03o" % b for b in ch.encode("gbk")))
        else:
            pieces.append(ch)
    body = '"' + "".join(pieces) + '"'
    tail = '\n    ""'
    return body[: -len(tail)] if body.endswith(tail) else body


print("// Every console text of the tool, as exact GBK bytes and as UTF-8.")
print("// Generated by tools/gen_texts.py; edit the texts there, not here.")
print("#pragma once")
print()
print('#include "platform/console_text.h"')
print()
print("// One literal a screen line keeps the boxes readable.")
print("// clang-format off")
print("namespace rotorwerk::texts {")
for name, why, text in TEXTS:
    print()
    print("// " + why)
    print("inline constexpr ConsoleText %s{" % name)
    print("    // GBK")
    print("    %s," % literal(text, "gbk"))
    print("    // UTF-8")
    print("    %s};" % literal(text, "utf-8"))
print()
print("// All of the above, so that tests can check each pair against a converter.")
print("inline constexpr ConsoleText kAll[] = {")
print("    " + ", ".join(n for n, _, _ in TEXTS) + "};")
print()
print("}  // namespace rotorwerk::texts")
print("// clang-format on")
