"""The Python layer over the library: enums, absent labels, errors, encoding, home against KOR_HOME.

Runs against whichever korflowid is importable (CI installs the wheel into a fresh venv and runs this
file from outside the source tree); the sample installation and KORFlow.h are read from the source
tree beside this file.
"""

import os
import pathlib
import pickle
import re
import subprocess
import sys

import pytest

import korflowid

SOURCE = pathlib.Path(__file__).resolve().parents[2]
SAMPLE = SOURCE / "examples" / "RJGQ.2.1" / "kor"


def make_tree(base, name, *version_files):
    """An installation <base>/<name>/kor whose InstallVersions/ holds the given file contents."""
    versions = base / name / "InstallVersions"
    versions.mkdir(parents=True)
    for number, content in enumerate(version_files, 1):
        (versions / "InstallVersion_{}.txt".format(number)).write_bytes(content)
    (base / name / "kor").mkdir()
    return base / name / "kor"


def run_python(code, *args, env=None):
    """Runs `code` in a fresh interpreter, so nothing the library keeps for the process leaks in."""
    result = subprocess.run([sys.executable, "-c", code] + [str(a) for a in args], env=env,
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    return result.stdout.split("\n")[:-1]


@pytest.mark.parametrize("cpp_enum, cpp_prefix, python_enum", [
    ("FlowId", "Flow", korflowid.Flow),
    ("FlowVersionId", "Version", korflowid.Release),
])
def test_enums_match_the_cpp_header(cpp_enum, cpp_prefix, python_enum):
    header = SOURCE / "KORBuildVersion" / "include" / "KORFlow.h"
    if not header.exists():
        pytest.skip("no source tree beside the tests")
    body = re.search(r"enum " + cpp_enum + r" : int32_t \{(.*?)\};", header.read_text(), re.S).group(1)
    cpp = {int(v): n[len(cpp_prefix):] for n, v in re.findall(r"(\w+) = (\d+)", body)}

    def squeeze(name):
        return re.sub(r"^V(?=\d)", "", name.replace("_", "").upper())

    assert {m.value: squeeze(m.name) for m in python_enum} == {v: squeeze(n) for v, n in cpp.items()}


@pytest.mark.parametrize("call, expected", [
    (korflowid.flow, korflowid.Flow.RJ),
    (korflowid.flow_name, "RJ"),
    (korflowid.release, korflowid.Release.GQ_2_1),
    (korflowid.release_name, "GQ.2.1"),
    (korflowid.flow_code, "RJ"),
    (korflowid.install_id, "20240611-RJ-004711"),
    (korflowid.flow_id_from_file, "RJ"),
    (korflowid.full_flow_name, "Vantorium Enterprise RJ Design Flow"),
    (korflowid.abbreviated_flow_name, "RJ Design Flow"),
    (korflowid.update_name, "GQ.2.1 Update 2"),
    (lambda home: korflowid.value("Install Directory:", home), "C:\\Vantorium\\RJGQ.2.1"),
    (lambda home: korflowid.value("Patch #", home), "3"),
])
def test_sample_installation(call, expected):
    assert call(SAMPLE) == expected
    assert type(call(SAMPLE)) is type(expected)


def test_absent_labels_are_none_and_an_empty_tree_an_empty_report(tmp_path):
    home = make_tree(tmp_path, "RJGQ.2.1", b"Install Id: 7\r\n")
    assert korflowid.install_id(home) == "7"
    for call in (korflowid.exact_access_date, korflowid.full_flow_name, korflowid.abbreviated_flow_name,
                 lambda h: korflowid.value("Install Directory:", h)):
        assert call(home) is None
    empty = tmp_path / "TAVOGQ" / "kor"
    empty.mkdir(parents=True)
    assert (korflowid.report(empty), korflowid.update_name(empty)) == ("", None)
    assert (korflowid.flow(empty), korflowid.release(empty)) == (korflowid.Flow.TAVO, korflowid.Release.GQ)


@pytest.mark.parametrize("call, error", [
    (lambda: korflowid.flow(""), korflowid.NoHomeError),
    (lambda: korflowid.root(""), korflowid.NoHomeError),
    (lambda: korflowid.install_id(""), korflowid.NoHomeError),
    (lambda: korflowid.release("kor"), korflowid.NoRootError),
    (lambda: korflowid.flow_code("kor"), korflowid.NoRootError),
    (lambda: korflowid.value("", SAMPLE), ValueError),
    (lambda: korflowid.value("Install\0Id:", SAMPLE), ValueError),
    (lambda: korflowid.value(b"Install Id:", SAMPLE), TypeError),
    (lambda: korflowid.flow("/opt/inst/RJGQ.2.1/k\0or"), ValueError),
    (lambda: korflowid.flow(42), TypeError),
])
def test_errors(call, error):
    with pytest.raises(error) as raised:
        call()
    if issubclass(error, korflowid.Error):
        assert raised.value.status < 0 and str(raised.value)
        copy = pickle.loads(pickle.dumps(raised.value))  # as a process pool hands it back
        assert (type(copy), str(copy), copy.status) == (error, str(raised.value), raised.value.status)


@pytest.mark.parametrize("files, length", [(40, "over 4096"), (150, None)])
def test_long_reports_are_fetched_whole_and_too_long_ones_refused(tmp_path, files, length):
    line = b"Install Directory: " + b"x" * 150 + b"\r\n"
    home = make_tree(tmp_path, "OPVGQ.1", *[line] * files)
    if length is None:
        with pytest.raises(korflowid.Error) as raised:
            korflowid.report(home)
        assert raised.value.status == korflowid.Status.TOO_LARGE
    else:
        text = korflowid.report(home)
        assert len(text) > 4096 and text.count(line.decode()) == files


def test_bytes_that_are_not_utf8_come_back_unchanged(tmp_path):
    flow_name = b"Vantorium Enterprise Caf\xe9 \xff Flow"
    home = make_tree(tmp_path, "RJGQ.2.1\xe9", b"Full Flow Name: " + flow_name + b"\r\n",
                     "UPDATE Name: Größe 2\r\n".encode())
    assert korflowid.full_flow_name(home).encode("utf-8", "surrogateescape") == flow_name
    assert korflowid.update_name(home) == "Größe 2"
    raw_home = os.fsencode(str(tmp_path)) + b"/\xffRJ/kor"
    os.makedirs(raw_home)
    assert korflowid.root(os.fsdecode(raw_home)).encode("utf-8", "surrogateescape") == raw_home + b"/../"
    assert korflowid.flow_code(raw_home) == "RJ"


def test_a_file_that_cannot_be_read_is_a_read_error():
    # No descriptor left: the one fault that stops root as well as anyone else.
    code = "\n".join([
        "import os, resource, sys, korflowid",
        "free = os.open(os.devnull, os.O_RDONLY); os.close(free)",
        "resource.setrlimit(resource.RLIMIT_NOFILE, (free, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))",
        "try: korflowid.report(sys.argv[1])",
        "except korflowid.ReadError as e: print(type(e).__name__, e.status == korflowid.Status.READ_FAILED)",
    ])
    assert run_python(code, SAMPLE) == ["ReadError True"]


def test_home_none_reads_kor_home_as_the_process_environment_has_it(tmp_path):
    code = "\n".join([
        "import os, pathlib, sys, korflowid",
        "try: korflowid.flow()",
        "except korflowid.NoHomeError: print('no home')",
        "print(korflowid.flow(pathlib.Path(sys.argv[1])).name)",
        "os.environ['KOR_HOME'] = sys.argv[2]",
        "print(korflowid.flow().name, korflowid.install_id(), korflowid.install_id(sys.argv[1]))",
    ])
    other = make_tree(tmp_path, "ZALGQ.2.2", b"Install Id: 99\r\n")
    env = {k: v for k, v in os.environ.items() if k != "KOR_HOME"}
    assert run_python(code, SAMPLE, other, env=env) == ["no home", "RJ", "ZAL 99 20240611-RJ-004711"]


def test_version_follows_the_library():
    assert korflowid.__version__ == korflowid.library_version()
