#!/usr/bin/env python3
"""Packs the Python package korflowid and a built library into a wheel, with the standard library only.

    make_wheel.py --package DIR --library FILE --library-name NAME --version V --platform TAG
                  --summary TEXT --output-dir DIR [--source-dir DIR]

The wheel is reproducible: the same inputs give the same bytes on any machine in any time zone. Its
members are sorted, their permissions fixed (0644, the library 0755), and their times all one moment:
SOURCE_DATE_EPOCH when set, else the time of the source tree's last commit, else 1980-01-01, written as
UTC fields. The package's __version__ line is rewritten to --version, so that the Python version
follows the project's.
"""

from __future__ import annotations

import argparse
import base64
import csv
import hashlib
import io
import os
import re
import subprocess
import sys
import time
import zipfile
from typing import List, Optional, Tuple

NAME = "korflowid"
ZIP_EPOCH = 315532800  # 1980-01-01T00:00:00Z, the earliest time a ZIP member can carry
ZIP_LATEST = 4354819199  # 2107-12-31T23:59:59Z, the latest


def source_time(source_dir: Optional[str]) -> int:
    if os.environ.get("SOURCE_DATE_EPOCH"):
        epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    else:
        epoch = ZIP_EPOCH
        if source_dir:
            try:
                out = subprocess.run(
                    ["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                    check=True, capture_output=True, text=True,
                ).stdout.strip()
                epoch = int(out) if out else ZIP_EPOCH
            except (OSError, subprocess.CalledProcessError, ValueError):
                pass
    return min(max(epoch, ZIP_EPOCH), ZIP_LATEST)


def with_version(init: bytes, version: str) -> bytes:
    pattern = re.compile(rb'^__version__ = "[^"]*"$', re.MULTILINE)
    replaced, count = pattern.subn(b'__version__ = "' + version.encode("ascii") + b'"', init)
    if count != 1:
        sys.exit("make_wheel: __init__.py needs exactly one line __version__ = \"...\"")
    return replaced


def record_line(name: str, data: bytes) -> List[str]:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode("ascii")
    return [name, "sha256=" + digest, str(len(data))]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--package", required=True, help="the package's source directory")
    parser.add_argument("--library", required=True, help="the built (stripped) library")
    parser.add_argument("--library-name", required=True, help="its name in the package, the SONAME")
    parser.add_argument("--version", required=True)
    parser.add_argument("--platform", required=True, help="e.g. manylinux_2_28_x86_64")
    parser.add_argument("--summary", required=True)
    parser.add_argument("--output-dir", required=True)
    parser.add_argument("--source-dir", help="where to ask git for the last commit's time")
    args = parser.parse_args()

    tag = "py3-none-" + args.platform
    dist_info = "{}-{}.dist-info".format(NAME, args.version)
    members: List[Tuple[str, bytes, int]] = []
    for entry in sorted(os.listdir(args.package)):
        path = os.path.join(args.package, entry)
        if not os.path.isfile(path) or entry.endswith((".pyc", ".pyo")):
            continue
        with open(path, "rb") as file:
            data = file.read()
        if entry == "__init__.py":
            data = with_version(data, args.version)
        members.append((NAME + "/" + entry, data, 0o644))
    with open(args.library, "rb") as file:
        members.append((NAME + "/" + args.library_name, file.read(), 0o755))
    members.sort()

    metadata = "\n".join([
        "Metadata-Version: 2.1",
        "Name: " + NAME,
        "Version: " + args.version,
        "Summary: " + args.summary,
        "Requires-Python: >=3.8",
        "Classifier: Operating System :: POSIX :: Linux",
        "Classifier: Programming Language :: Python :: 3",
        "Classifier: Typing :: Typed",
        "Description-Content-Type: text/plain",
        "",
        "The KORFlowID library, with a Python interface over its C interface (ctypes).",
        "It reads the environment variable KOR_HOME (or a home given to each call) and",
        "the version files of an installation tree, and tells which flow and release",
        "the installation is and what its installer recorded.",
        "",
    ])
    wheel = "\n".join([
        "Wheel-Version: 1.0",
        "Generator: korflowid make_wheel.py",
        "Root-Is-Purelib: false",
        "Tag: " + tag,
        "",
    ])
    members.append((dist_info + "/METADATA", metadata.encode("utf-8"), 0o644))
    members.append((dist_info + "/WHEEL", wheel.encode("utf-8"), 0o644))
    record = io.StringIO()
    writer = csv.writer(record, lineterminator="\n")
    for name, data, _ in members:
        writer.writerow(record_line(name, data))
    writer.writerow([dist_info + "/RECORD", "", ""])
    members.append((dist_info + "/RECORD", record.getvalue().encode("utf-8"), 0o644))

    moment = time.gmtime(source_time(args.source_dir))[:6]
    os.makedirs(args.output_dir, exist_ok=True)
    target = os.path.join(args.output_dir, "{}-{}-{}.whl".format(NAME, args.version, tag))
    partial = target + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data, mode in members:
            info = zipfile.ZipInfo(name, date_time=moment)
            info.create_system = 3  # Unix, so that the mode below is read
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    os.replace(partial, target)
    print("make_wheel: " + target)


if __name__ == "__main__":
    main()
