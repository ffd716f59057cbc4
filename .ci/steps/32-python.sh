#!/usr/bin/env bash
# The Python package korflowid: the wheel of preset python (build-python/) is checked (tag, members,
# RECORD hashes, the library's machine and symbol versions, the same bytes when packed again in
# another time zone), installed with pip into a fresh venv of Debian's Python, and its tests run there
# from outside the source tree, so that the installed package and its bundled library are what is
# imported; mypy --strict checks the package as Python 3.8 sees it. The arm64 wheel (preset
# python-arm64) gets the same checks of the file; without an arm64 Python here it is not imported.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
source_dir=$PWD
# Debian's interpreter, whose pytest and mypy are the packaged ones; PATH may lead to another.
python=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# check_wheel WHEEL MACHINE: the file itself, without installing it.
check_wheel() {
  local wheel=$1 machine=$2
  "$python" - "$wheel" <<'EOF'
import base64, hashlib, os, re, sys, zipfile
path = sys.argv[1]
name, version, python_tag, abi_tag, platform = os.path.basename(path)[:-len(".whl")].split("-")
info = "{}-{}.dist-info/".format(name, version)
expected = ["korflowid/__init__.py", "korflowid/_native.py", "korflowid/libKORFlowID.so.1",
            "korflowid/py.typed", info + "METADATA", info + "WHEEL", info + "RECORD"]
def fail(why): sys.exit("{}: {}".format(path, why))
with zipfile.ZipFile(path) as wheel:
    members = wheel.infolist()
    if [m.filename for m in members] != expected:
        fail("members {}".format([m.filename for m in members]))
    data = {m.filename: wheel.read(m) for m in members}
    modes = {m.filename: m.external_attr >> 16 for m in members}
if name != "korflowid" or (python_tag, abi_tag) != ("py3", "none") or not platform.startswith("manylinux_2_28_"):
    fail("name or tag")
meta = data[info + "WHEEL"].decode().splitlines()
if "Tag: {}-{}-{}".format(python_tag, abi_tag, platform) not in meta or "Root-Is-Purelib: false" not in meta:
    fail("WHEEL says {}".format(meta))
metadata = data[info + "METADATA"].decode().split("\n\n")[0].splitlines()
for line in ("Name: korflowid", "Version: " + version, "Requires-Python: >=3.8"):
    if line not in metadata:
        fail("METADATA lacks " + line)
if '\n__version__ = "{}"\n'.format(version).encode() not in data["korflowid/__init__.py"]:
    fail("__version__ is not " + version)
record = [line.split(",") for line in data[info + "RECORD"].decode().splitlines()]
if [r[0] for r in record] != expected or record[-1][1:] != ["", ""]:
    fail("RECORD names {}".format([r[0] for r in record]))
for member, digest, size in record[:-1]:
    actual = base64.urlsafe_b64encode(hashlib.sha256(data[member]).digest()).rstrip(b"=").decode()
    if digest != "sha256=" + actual or int(size) != len(data[member]):
        fail("RECORD does not match " + member)
if modes["korflowid/libKORFlowID.so.1"] != 0o100755 or modes["korflowid/__init__.py"] != 0o100644:
    fail("modes {}".format({k: oct(v) for k, v in modes.items()}))
print("ok   {}: {} members, RECORD matches".format(os.path.basename(path), len(members)))
EOF
  case $wheel in *"_$machine.whl") ;; *) echo "$wheel: not a wheel for $machine" >&2; exit 1 ;; esac
  local library=$work/$machine/libKORFlowID.so.1
  mkdir -p "$work/$machine"
  "$python" -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("korflowid/libKORFlowID.so.1"))' \
    "$wheel" >"$library"
  local description
  description=$(file -b "$library")
  case $machine in
    x86_64) grep -q 'x86-64' <<<"$description" ;;
    aarch64) grep -q 'ARM aarch64' <<<"$description" ;;
  esac || { echo "$wheel: its library is $description" >&2; exit 1; }
  grep -q ', stripped' <<<"$description" || { echo "$wheel: its library is not stripped" >&2; exit 1; }
  scripts/check-symbol-versions.sh "$library"
}

cmake --workflow --preset python >"$work/python.log" 2>&1 || { cat "$work/python.log"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-python/CMakeCache.txt)
wheel=$source_dir/build-python/korflowid-$version-py3-none-manylinux_2_28_x86_64.whl
check_wheel "$wheel" x86_64
# Packed again half a world away: the same bytes, as a release's second build must give.
cp "$wheel" "$work/first.whl"
TZ=Pacific/Kiritimati cmake --build --preset python >"$work/again.log" 2>&1 || { cat "$work/again.log"; exit 1; }
cmp "$work/first.whl" "$wheel" || { echo "the wheel packed again differs" >&2; exit 1; }
echo "ok   $(basename "$wheel"): $(stat -c %s "$wheel") bytes, the same when packed again"

# Nothing of the source tree or a build tree may stand in for the installed package.
unset KORFLOWID_LIBRARY LD_LIBRARY_PATH PYTHONPATH KOR_HOME
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --quiet --no-index --no-cache-dir --disable-pip-version-check "$wheel"
(
  cd "$work"
  venv_python=$work/venv/bin/python
  installed=$("$venv_python" -c 'import korflowid; print(korflowid.__file__)')
  case $installed in "$work/venv/"*) ;; *) echo "korflowid imported from $installed" >&2; exit 1 ;; esac
  "$venv_python" -m pytest -q -p no:cacheprovider "$source_dir/python/tests/test_korflowid.py"
  # What a Python session on the sample installation prints, for whoever reads the log.
  KOR_HOME=$source_dir/examples/RJGQ.2.1/kor "$venv_python" -c '
import korflowid
print("korflowid", korflowid.__version__, "library", korflowid.library_version())
print(repr(korflowid.flow()), korflowid.flow_name(), repr(korflowid.release()), korflowid.release_name())
print(repr(korflowid.install_id()), repr(korflowid.abbreviated_flow_name()), repr(korflowid.value("No Such Label:")))'
)

# Typed as Python 3.8 sees it, and no syntax newer than 3.8 anywhere in the package or its tests.
mypy --strict --python-version 3.8 --cache-dir "$work/mypy" python/korflowid
"$python" -c '
import ast, sys
for path in sys.argv[1:]:
    ast.parse(open(path, encoding="utf-8").read(), path, feature_version=(3, 8))' \
  python/korflowid/*.py python/tests/test_korflowid.py python/make_wheel.py
echo "ok   the package is typed and reads as Python 3.8"

cmake --workflow --preset python-arm64 >"$work/arm64.log" 2>&1 || { cat "$work/arm64.log"; exit 1; }
check_wheel "$source_dir/build-python-arm64/korflowid-$version-py3-none-manylinux_2_28_aarch64.whl" aarch64

echo "== Python package checked in $((SECONDS - started)) s"
