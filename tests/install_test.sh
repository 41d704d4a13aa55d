#!/usr/bin/env bash
# Installs the built tool into a scratch prefix, and its Debian package into a scratch
# root, and runs each piped on the shipped samples; checks the package with lintian and
# that the manual page renders without warnings.
#   install_test.sh BUILD SOURCE [HARDENED [PYTHON]]
# With BUILD "--first-command" it does what a user does after the README's first
# command: a fresh build of the program alone, then the install, nothing else built.
set -euo pipefail
build=$1
source=$2
hardened=${3:-0}  # built with Debian's hardening flags (not under the sanitizers)
python=${4:-0}    # built with the Python module
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
first_command=0
if [ "$build" = --first-command ]; then
  first_command=1
  build=$work/build
  # The README's own words: the default configuration, only the program's target.
  { cmake -S "$source" -B "$build" && cmake --build "$build" -j2 --target rotorwerk; } \
    >"$work/build.log" 2>&1 || { tail -n 30 "$work/build.log"; echo "FAIL: the first command's build"; exit 1; }
fi

# Enciphers and deciphers the shipped letter with an installed tool and its samples.
round_trip() {
  local binary=$1 examples=$2
  [ -x "$binary" ] || { echo "FAIL: no executable at $binary"; exit 1; }
  local run="$work/run.$RANDOM"
  mkdir "$run"
  cp "$examples"/enigma_config.ef "$examples"/enigma_init.ef "$examples"/letter.txt "$run"/
  out=$(cd "$run" && printf '%s\n' '-u letter.txt 1 0 RW-26001B' '-u enigma_code.txt 0' | "$binary" 2>"$run/err")
  grep -q '^RW-Eng ' "$run/enigma_code.txt" || { echo "FAIL: no code file from $binary"; exit 1; }
  [[ "$out" == *"文本使用语言：英文"$'\n'"$(cat "$run/letter.txt")"* ]] \
    || { echo "FAIL: $binary did not give the letter back"; exit 1; }
  [ "$(cat "$run/err")" = "[成功] 成功输出到文件enigma_code.txt" ] \
    || { echo "FAIL: unexpected messages: $(cat "$run/err")"; exit 1; }
}

# The library's example project, built against an installed library: its code is
# the program's, byte for byte.
consume() {
  local prefix=$1 project=$work/consumer
  cmake -S "$source/doc/library-example" -B "$project" -DCMAKE_PREFIX_PATH="$prefix" \
    >"$work/consumer.log" 2>&1 && cmake --build "$project" >>"$work/consumer.log" 2>&1 ||
    { cat "$work/consumer.log"; echo "FAIL: the example project does not build against $prefix"; exit 1; }
  local got
  got=$("$project/encipher" "$source/examples" "Attack at dawn")
  [ "$got" = "$(printf 'Attack at dawn' | "$build/rotorwerk" encrypt -s "$source/examples" -o - -)"$'\n'"Attack at dawn (verified)" ] ||
    { echo "FAIL: the example project gave: $got"; exit 1; }
  rm -rf "$project"
}
# The Python module, imported from where it was installed.
import_module() {
  local site=$1
  PYTHONPATH=$site /usr/bin/python3 -c 'import rotorwerk, sys; sys.exit(rotorwerk.__version__ != sys.argv[1])' \
    "$("$build/rotorwerk" --version | head -n 1 | cut -d' ' -f4)" ||
    { echo "FAIL: the Python module does not import from $site"; exit 1; }
}

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }
round_trip "$work/prefix/bin/rotorwerk" "$work/prefix/share/doc/rotorwerk/examples"
for file in man/man1/rotorwerk.1.gz bash-completion/completions/rotorwerk \
  zsh/vendor-completions/_rotorwerk fish/vendor_completions.d/rotorwerk.fish; do
  [ -f "$work/prefix/share/$file" ] || { echo "FAIL: $file not installed"; exit 1; }
done
consume "$work/prefix"
if [ "$python" = 1 ]; then
  import_module "$(echo "$work"/prefix/lib/python3.*/dist-packages)"
fi
if [ "$first_command" = 1 ]; then
  echo "install after the first command: ok"
  exit 0
fi

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/rotorwerk_*.deb)
for package in "$work"/package/*.deb; do dpkg-deb -x "$package" "$work/root"; done
round_trip "$work/root/usr/bin/rotorwerk" "$work/root/usr/share/doc/rotorwerk/examples"
consume "$work/root/usr"
if [ "$python" = 1 ]; then
  import_module "$work/root/usr/lib/python3/dist-packages"
fi
for file in bash-completion/completions/rotorwerk zsh/vendor-completions/_rotorwerk \
  fish/vendor_completions.d/rotorwerk.fish; do
  [ -f "$work/root/usr/share/$file" ] || { echo "FAIL: the package has no $file"; exit 1; }
done
# Read whole first: grep -q would stop reading early, and pipefail would see the
# writer's broken pipe as a failure.
fields=$(dpkg-deb -f "$deb" Package Depends)
grep -q '^Package: rotorwerk' <<<"$fields" || { echo "FAIL: package name"; exit 1; }
# Debian's own checker: no errors, no warnings, and in a hardened build no hardening
# tag even among the pedantic and informational ones.
for package in "$work"/package/*.deb; do
  findings=$(lintian --fail-on error,warning "$package" 2>&1 | grep -v 'running with root privileges' || true)
  [ -z "$findings" ] || { echo "FAIL: lintian: $findings"; exit 1; }
  if [ "$hardened" = 1 ]; then
    hardening=$(lintian -I --pedantic "$package" 2>&1 | grep hardening || true)
    [ -z "$hardening" ] || { echo "FAIL: lintian: $hardening"; exit 1; }
  fi
done
# Made again a little later, the packages are the same to the byte.
sleep 1
(cd "$build" && cpack -G DEB -B "$work/again" >/dev/null)
for package in "$work"/package/*.deb; do
  cmp -s "$package" "$work/again/$(basename "$package")" ||
    { echo "FAIL: $(basename "$package") differs when made again"; exit 1; }
done

warnings=$(groff -man -Tutf8 -ww "$source/doc/rotorwerk.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "FAIL: the manual page renders with warnings: $warnings"; exit 1; }
echo "install and package: ok ($(cd "$work/package" && echo *.deb))"
