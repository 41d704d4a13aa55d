#!/usr/bin/env bash
# The Python package as pip builds it: a wheel from a copy of the sources, installed into
# a fresh virtual environment, where the Python suite runs against the installed module.
#   python_wheel_test.sh SOURCE PYTHON PROGRAM
set -euo pipefail
source=$1 python=$2 program=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A copy, so that the build leaves nothing in the sources and sees no build folder.
mkdir "$work/src"
tar -C "$source" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$work/src" -xf -
if ! "$python" -m pip wheel --no-build-isolation --no-deps --no-index -w "$work/wheels" \
    "$work/src" >"$work/pip.log" 2>&1; then
  tail -n 40 "$work/pip.log"
  echo "python_wheel: pip wheel failed"
  exit 1
fi
wheel=$(echo "$work"/wheels/rotorwerk-*.whl)
# The module, the package and its stubs, and the licence in the metadata.
listing=$("$python" -m zipfile -l "$wheel")
for file in rotorwerk/__init__.py rotorwerk/__init__.pyi rotorwerk/py.typed rotorwerk/_native; do
  grep -q " *$file" <<<"$listing" || { echo "python_wheel: $file is not in the wheel"; exit 1; }
done
metadata=$("$python" -c "import sys, zipfile
wheel = zipfile.ZipFile(sys.argv[1])
print(wheel.read(next(n for n in wheel.namelist() if n.endswith('.dist-info/METADATA'))).decode())" "$wheel")
grep -q '^License: Apache-2.0$' <<<"$metadata" || { echo "python_wheel: no licence"; exit 1; }
grep -qE '^Version: [0-9]+\.[0-9]+\.[0-9]+((a|b|rc)[0-9]+)?$' <<<"$metadata" ||
  { echo "python_wheel: no version in pip's form"; exit 1; }

# Debian's pytest from the system's packages; nothing of the build tree.
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install -q --no-index --no-deps "$wheel"
cd "$work"
unset PYTHONPATH
installed=$("$work/venv/bin/python" -c 'import rotorwerk; print(rotorwerk.__file__)')
case $installed in
  "$work/venv/"*) ;;
  *) echo "python_wheel: rotorwerk came from $installed, not the virtual environment"; exit 1 ;;
esac
ROTORWERK_PROGRAM=$program "$work/venv/bin/python" -m pytest -q -p no:cacheprovider \
  "$source/tests/python_module_test.py"
echo "python_wheel: the wheel's module passed the Python suite in a virtual environment"
