#!/usr/bin/env python3
"""Compiles and runs the code examples of README.md and docs/*.md as they are written.

Usage: scripts/check-doc-examples.py PREFIX [FILE.md...]
  PREFIX  an installed tree of the library (cmake --install), which the C++ and C examples are built
          against and whose bin/ comes first on PATH for the shell examples.

Each fenced block is taken by its language:
  cpp      compiled with c++ -std=c++17 -Wall -Wextra -Werror through the prefix's pkg-config file, run
  c        compiled with cc -std=c99 -Wall -Wextra -pedantic -Werror against the prefix's korflowid.h, run
  python   run with $KORFLOWID_PYTHON (default python3), which must import korflowid
  sh       run with bash -euo pipefail from the top of the clone
  console  each "$ command" line run from the top of the clone; the lines up to the next one are its
           output, standard output and standard error together
Programs run with KOR_HOME naming the sample installation and HOME a scratch folder. A text block right
after an example, marked <!-- prints -->, is what the example must print. Other languages (text, cmake)
are not run. Every relative link must name README.md, CHANGELOG.md or a page of docs/, which are installed
together, so that the links hold in the packages too. On the line before a block:
  <!-- not run: REASON -->       skips it, for systems CI does not have
  <!-- run by CI: FILE -->       each command of the block (lines, split at " && ") must appear in FILE,
                                 a CI script that runs it
"""
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MARKER = re.compile(r"^<!-- (not run: .+|run by CI: (\S+)|prints) -->$")
FENCE = re.compile(r"^( *)```(\S*)\s*$")


def blocks(path):
    """Yields (line number, language, marker, text) for every fenced block of a Markdown file."""
    lines = path.read_text(encoding="utf-8").split("\n")
    i = 0
    previous = ""
    while i < len(lines):
        match = FENCE.match(lines[i])
        if not match:
            if lines[i].strip():
                previous = lines[i].strip()
            i += 1
            continue
        start = i
        indent = len(match.group(1))  # a block inside a list item
        i += 1
        body = []
        while i < len(lines) and not lines[i].strip().startswith("```"):
            body.append(lines[i][indent:])
            i += 1
        marker = previous if MARKER.match(previous) else ""
        yield start + 1, match.group(2), marker, "\n".join(body) + "\n"
        previous = ""
        i += 1


class Checker:
    def __init__(self, prefix, work):
        self.prefix = prefix
        self.work = work
        self.failures = 0
        self.counts = {}
        home = work / "home"
        home.mkdir()
        pc = sorted(prefix.rglob("korflowid.pc"))
        if not pc:
            sys.exit(f"no korflowid.pc below {prefix}")
        self.env = dict(os.environ)
        self.env.update(HOME=str(home), KOR_HOME=str(ROOT / "examples/RJGQ.2.1/kor"),
                        PATH=f"{prefix / 'bin'}{os.pathsep}{os.environ['PATH']}",
                        PKG_CONFIG_PATH=str(pc[0].parent), LC_ALL="C.UTF-8")
        self.python = os.environ.get("KORFLOWID_PYTHON", "python3")
        self.has_c = (prefix / "include/korflowid.h").exists()
        self.has_python = subprocess.run([self.python, "-c", "import korflowid"], env=self.env,
                                         capture_output=True).returncode == 0

    def count(self, what):
        self.counts[what] = self.counts.get(what, 0) + 1

    def fail(self, where, message, output=""):
        self.failures += 1
        print(f"FAIL {where}: {message}")
        if output:
            print("\n".join("  | " + line for line in output.rstrip("\n").split("\n")))

    def run(self, where, command, expected=None, cwd=ROOT):
        result = subprocess.run(command, cwd=cwd, env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, errors="replace")
        if result.returncode != 0:
            self.fail(where, f"exit status {result.returncode}", result.stdout)
        elif expected is not None and result.stdout != expected:
            self.fail(where, "printed something else; expected:", expected)
            print("  printed:")
            print("\n".join("  | " + line for line in result.stdout.rstrip("\n").split("\n")))
        return result.returncode == 0

    def pkg_config(self, *arguments):
        return subprocess.run(["pkg-config", *arguments, "korflowid"], env=self.env, check=True,
                              capture_output=True, text=True).stdout.split()

    def build_and_run(self, where, language, text, expected):
        n = sum(self.counts.values())
        source = self.work / f"example{n}.{language}"
        program = self.work / f"example{n}"
        source.write_text(text)
        libdir = self.pkg_config("--variable=libdir")[0]
        if language == "cpp":
            compiler = ["c++", "-std=c++17", "-Wall", "-Wextra", "-Werror"]
        else:
            compiler = ["cc", "-std=c99", "-Wall", "-Wextra", "-pedantic", "-Werror"]
        command = [*compiler, str(source), *self.pkg_config("--cflags", "--libs"), f"-Wl,-rpath,{libdir}",
                   "-o", str(program)]
        if self.run(where + " (compile)", command):
            self.run(where, [str(program)], expected)

    def check_ci(self, where, text, script):
        ci = (ROOT / script).read_text() if (ROOT / script).is_file() else None
        if ci is None:
            self.fail(where, f"{script} does not exist")
            return
        for line in text.strip().split("\n"):
            for command in line.strip().split(" && "):
                if command and command not in ci:
                    self.fail(where, f"{script} does not run: {command}")

    def check_console(self, where, text):
        command = None
        output = []
        for line in text.split("\n")[:-1] + [None]:
            if line is None or line.startswith("$ "):
                if command is not None:
                    self.run(where, ["bash", "-c", command], "".join(o + "\n" for o in output))
                if line is not None:
                    command, output = line[2:], []
            elif command is not None:
                output.append(line)

    def check_links(self, path):
        """Every relative link names a file that exists, so that the links hold where docs/ is installed."""
        text = re.sub(r"```.*?```", "", path.read_text(encoding="utf-8"), flags=re.S)
        for target in sorted(set(re.findall(r"\]\(([^)#:\s]+)(?:#[^)]*)?\)", text))):
            if not (path.parent / target).exists():
                self.fail(f"{path.relative_to(ROOT)}", f"links to {target}, which does not exist")
            elif (path.parent / target).resolve().parent not in (ROOT, ROOT / "docs"):
                self.fail(f"{path.relative_to(ROOT)}", f"links to {target}, which is not installed with it")
        self.count("files")

    def check_file(self, path):
        self.check_links(path)
        listed = list(blocks(path))
        for index, (line, language, marker, text) in enumerate(listed):
            where = f"{path.relative_to(ROOT)}:{line} ({language or 'no language'})"
            expected = None
            if index + 1 < len(listed) and listed[index + 1][2] == "<!-- prints -->":
                expected = listed[index + 1][3]
            if marker.startswith("<!-- not run:"):
                print(f"not run   {where}: {marker[14:-4]}")
                self.count("not run")
            elif marker.startswith("<!-- run by CI:"):
                self.check_ci(where, text, MARKER.match(marker).group(2))
                self.count("run by CI")
            elif language == "cpp":
                self.build_and_run(where, "cpp", text, expected)
                self.count("C++")
            elif language == "c":
                if not self.has_c:
                    self.fail(where, "the installed tree has no korflowid.h")
                self.build_and_run(where, "c", text, expected)
                self.count("C")
            elif language == "python":
                if not self.has_python:
                    self.fail(where, f"{self.python} cannot import korflowid")
                self.run(where, [self.python, "-c", text], expected)
                self.count("Python")
            elif language == "sh":
                self.run(where, ["bash", "-euo", "pipefail", "-c", text], expected)
                self.count("shell")
            elif language == "console":
                self.check_console(where, text)
                self.count("console")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    prefix = Path(sys.argv[1]).resolve()
    files = [Path(f).resolve() for f in sys.argv[2:]] or [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
    with tempfile.TemporaryDirectory() as scratch:
        checker = Checker(prefix, Path(scratch))
        for path in files:
            checker.check_file(path)
    summary = ", ".join(f"{what} {n}" for what, n in sorted(checker.counts.items()))
    if checker.failures:
        print(f"doc examples: {checker.failures} failed ({summary})")
        return 1
    print(f"doc examples: all fine ({summary})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
