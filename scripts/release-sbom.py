#!/usr/bin/env python3
"""Writes the release's SPDX 2.3 JSON document (scripts/release.sh calls it).

Usage: release-sbom.py --version V --commit C --epoch S --output FILE KIND=ARCHIVE=UNPACKED...

Each shipped file is a package with its checksums and licence. Each binary inside it is a file of that
package, read from the unpacked tree: what it links dynamically (with the oldest runtime that has every
symbol version it asks for) and what it carries linked in (the toolchain's static runtimes, with the
Debian package they came from). The document's time and name come from the commit and
SOURCE_DATE_EPOCH alone, so two builds of one commit give the same document.
"""

import argparse
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys

SUPPLIER = "Organization: KORFlowID developers"
OUR_LICENCE = "LicenseRef-KORFlowID"
OUR_LICENCE_TEXT = ("No licence has been granted for KORFlowID yet; until one is, all rights are reserved by "
                    "the copyright holders.")
COPYRIGHT = "Copyright 2024-2026 KORFlowID developers"
GCC_RUNTIME_LICENCE = "GPL-3.0-or-later WITH GCC-exception-3.1"

# Shared objects of the C library and what they belong to.
GLIBC_SONAMES = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "librt.so.1",
                 "ld-linux-x86-64.so.2", "ld-linux-aarch64.so.1"}
RUNTIMES = {
    # name: (licence, the symbol version prefixes that tell its minimum)
    "glibc": ("LGPL-2.1-or-later", ("GLIBC_",)),
    "libstdc++": (GCC_RUNTIME_LICENCE, ("GLIBCXX_", "CXXABI_")),
    "libgcc": (GCC_RUNTIME_LICENCE, ("GCC_",)),
}
# Compiler of each ELF machine: it tells which static runtimes went into a static binary.
COMPILERS = {"Advanced Micro Devices X86-64": "g++", "AArch64": "aarch64-linux-gnu-g++"}
MINGW_CXX = "x86_64-w64-mingw32-g++-posix"


def command(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True,
                          env=dict(os.environ, LC_ALL="C")).stdout


def digest(path, algorithm):
    h = hashlib.new(algorithm)
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()


def spdx_id(text):
    return "SPDXRef-" + re.sub(r"[^A-Za-z0-9.-]+", "-", text).strip("-")


def debian_package_of(path):
    """(package, version) of the Debian package that holds a file."""
    real = os.path.realpath(path)
    owner = command("dpkg", "-S", real).splitlines()[0].split(":")[0]
    return owner, command("dpkg-query", "-W", "-f", "${Version}", owner)


def upstream(debian_version):
    """12.2.0-14+deb12u1 -> 12.2.0; 10.0.0-3 -> 10.0.0"""
    version = debian_version.split(":", 1)[-1]
    return version.rsplit("-", 1)[0] if "-" in version else version


def version_key(version):
    return [int(part) if part.isdigit() else part for part in re.split(r"[._]", version)]


class Document:
    def __init__(self, version, commit, epoch):
        created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
        self.version = version
        self.doc = {
            "spdxVersion": "SPDX-2.3",
            "dataLicense": "CC0-1.0",
            "SPDXID": "SPDXRef-DOCUMENT",
            "name": f"KORFlowID-{version}",
            "documentNamespace": f"https://korflowid.example.org/spdx/KORFlowID-{version}-{commit}-{epoch}",
            "creationInfo": {
                "created": created,
                "creators": [SUPPLIER, f"Tool: korflowid-release-{version}"],
                "comment": f"Built from commit {commit} with SOURCE_DATE_EPOCH={epoch}; BUILDINFO names "
                           "the toolchain.",
            },
            "documentDescribes": [],
            "packages": [],
            "files": [],
            "relationships": [],
            "hasExtractedLicensingInfos": [{
                "licenseId": OUR_LICENCE,
                "name": "KORFlowID: no licence granted",
                "extractedText": OUR_LICENCE_TEXT,
            }],
        }
        self.runtimes = {}

    def relate(self, element, kind, related, comment=None):
        relationship = {"spdxElementId": element, "relationshipType": kind, "relatedSpdxElement": related}
        if comment:
            relationship["comment"] = comment
        if relationship not in self.doc["relationships"]:
            self.doc["relationships"].append(relationship)

    def runtime(self, name, version, licence, linkage, comment, origin=""):
        """A runtime package, one per name, kind of linking, version and Debian package it came from."""
        key = (name, linkage, version, origin)
        if key not in self.runtimes:
            ident = spdx_id(f"{name}-{linkage}-{version}-{origin}")
            self.runtimes[key] = ident
            package = {
                "name": name,
                "SPDXID": ident,
                "versionInfo": version,
                "downloadLocation": "NOASSERTION",
                "filesAnalyzed": False,
                "licenseConcluded": "NOASSERTION",
                "licenseDeclared": licence,
                "copyrightText": "NOASSERTION",
                "primaryPackagePurpose": "LIBRARY",
                "comment": comment,
            }
            self.doc["packages"].append(package)
        return self.runtimes[key]


def elf_facts(path):
    """(machine, soname or None, needed sonames, {soname: [symbol versions]}, static) of an ELF file."""
    header = command("readelf", "-h", path)
    machine = re.search(r"Machine:\s+(.*)", header).group(1).strip()
    dynamic = command("readelf", "-d", path)
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[(.*?)\]", dynamic)
    soname = re.search(r"\(SONAME\)\s+Library soname: \[(.*?)\]", dynamic)
    segments = command("readelf", "-l", path)
    static = not needed and "INTERP" not in segments
    versions = {}
    current = None
    for line in command("readelf", "-V", path).splitlines():
        if line.startswith("Version "):  # a section: definitions or needs
            current = None
            continue
        file_line = re.search(r"File: (\S+)", line)
        if file_line:
            current = file_line.group(1)
            versions.setdefault(current, [])
            continue
        name = re.search(r"Name: (\S+)", line)
        if name and current:
            versions[current].append(name.group(1))
    return machine, soname.group(1) if soname else None, needed, versions, static


def newest(versions, prefix):
    found = [v[len(prefix):] for v in versions if v.startswith(prefix)]
    return max(found, key=version_key) if found else None


def pe_imports(path):
    return re.findall(r"^\tDLL Name: (\S+)", command("x86_64-w64-mingw32-objdump", "-p", path), re.M)


def binaries(root):
    """Every ELF or PE file below root, symbolic links left out, in sorted order."""
    found = []
    for directory, subdirectories, files in os.walk(root):
        subdirectories.sort()
        for name in sorted(files):
            path = os.path.join(directory, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                magic = f.read(4)
            if magic == b"\x7fELF":
                found.append(("elf", path))
            elif magic[:2] == b"MZ":
                found.append(("pe", path))
    return found


def static_elf_runtimes(document, file_id, machine):
    cxx = COMPILERS.get(machine)
    if not cxx:
        sys.exit(f"release-sbom: no compiler known for ELF machine {machine}")
    for name, archive, licence in (("glibc", "libc.a", "LGPL-2.1-or-later"),
                                   ("libstdc++", "libstdc++.a", GCC_RUNTIME_LICENCE),
                                   ("libgcc", "libgcc.a", GCC_RUNTIME_LICENCE)):
        package, debian_version = debian_package_of(command(cxx, f"-print-file-name={archive}").strip())
        ident = document.runtime(name, upstream(debian_version), licence, "static",
                                 f"Linked into the binary from {archive} of Debian's {package} {debian_version}.",
                                 package)
        document.relate(file_id, "STATIC_LINK", ident)


def dynamic_elf_runtimes(document, file_id, needed, versions, sonames):
    # Each runtime once per binary, with the symbol versions of all its shared objects together
    # (libc.so.6 and the dynamic loader are both glibc).
    runtimes = {}
    for library in needed:
        if library in sonames:
            document.relate(file_id, "DYNAMIC_LINK", sonames[library], f"needs {library}")
            continue
        if library in GLIBC_SONAMES:
            name = "glibc"
        elif library.startswith("libstdc++.so"):
            name = "libstdc++"
        elif library.startswith("libgcc_s.so"):
            name = "libgcc"
        else:
            sys.exit(f"release-sbom: {library} is linked dynamically and not known here")
        runtimes.setdefault(name, ([], []))
        runtimes[name][0].append(library)
        runtimes[name][1].extend(versions.get(library, []))
    for name, (libraries, symbol_versions) in sorted(runtimes.items()):
        licence, prefixes = RUNTIMES[name]
        minimum = [f"{prefix}{newest(symbol_versions, prefix)}" for prefix in prefixes
                   if newest(symbol_versions, prefix)]
        # glibc's own versions name its releases; libstdc++'s and libgcc's are symbol sets.
        version = minimum[0][len("GLIBC_"):] if name == "glibc" and minimum else " ".join(minimum) or "NOASSERTION"
        ident = document.runtime(name, version, licence, "shared",
                                 "The oldest version the binaries that link it dynamically need (from their "
                                 "symbol versions); any later one serves.")
        document.relate(file_id, "DYNAMIC_LINK", ident,
                        f"{', '.join(libraries)}, at least {', '.join(minimum) or 'any version'}")


def pe_runtimes(document, file_id, imports, ours):
    for library in imports:
        if library.lower() in ours:
            document.relate(file_id, "DYNAMIC_LINK", ours[library.lower()], f"needs {library}")
            continue
        ident = document.runtime(library, "NOASSERTION", "NOASSERTION", "system",
                                 "Part of Windows, which every supported version has.")
        document.relate(file_id, "DYNAMIC_LINK", ident)
    # Linked with -static and the posix thread model: MinGW-w64's C runtime start-up and winpthreads
    # come in with GCC's runtimes.
    mingw, mingw_version = debian_package_of(command(MINGW_CXX, "-print-file-name=libmsvcrt.a").strip())
    gcc, gcc_version = debian_package_of(command(MINGW_CXX, "-print-file-name=libstdc++.a").strip())
    for name, licence, package, debian_version, comment in (
            ("mingw-w64-crt", "ZPL-2.1", mingw, mingw_version,
             "Most files ZPL-2.1 or public domain, a few under other permissive terms (Debian's copyright "
             "file of mingw-w64-common lists them)."),
            ("winpthreads", "MIT", mingw, mingw_version, "MinGW-w64's POSIX threads library."),
            ("libstdc++", GCC_RUNTIME_LICENCE, gcc, gcc_version, ""),
            ("libgcc", GCC_RUNTIME_LICENCE, gcc, gcc_version, "")):
        ident = document.runtime(name + " (MinGW-w64)", upstream(debian_version), licence, "static",
                                 f"{comment} Linked in from Debian's {package} {debian_version}.".strip(), package)
        document.relate(file_id, "STATIC_LINK", ident)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--commit", required=True)
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--buildinfo")
    parser.add_argument("--output", required=True)
    parser.add_argument("artifacts", nargs="+", help="KIND=ARCHIVE=UNPACKED")
    args = parser.parse_args()

    document = Document(args.version, args.commit, args.epoch)
    doc = document.doc
    source_id = None
    scanned = []
    for argument in args.artifacts:
        kind, archive, unpacked = argument.split("=", 2)
        name = os.path.basename(archive)
        ident = spdx_id("Package-" + name)
        package = {
            "name": name,
            "SPDXID": ident,
            "versionInfo": args.version,
            "packageFileName": name,
            "supplier": SUPPLIER,
            "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False,
            "checksums": [{"algorithm": "SHA256", "checksumValue": digest(archive, "sha256")},
                          {"algorithm": "SHA512", "checksumValue": digest(archive, "sha512")}],
            "licenseConcluded": OUR_LICENCE,
            "licenseDeclared": OUR_LICENCE,
            "copyrightText": COPYRIGHT,
            "primaryPackagePurpose": "SOURCE" if kind == "source" else "INSTALL" if kind in ("deb", "rpm")
                                     else "ARCHIVE",
        }
        if kind == "rpm":
            package["comment"] = "License tag: " + command("rpm", "-qp", "--qf", "%{LICENSE}", archive)
        doc["packages"].append(package)
        doc["documentDescribes"].append(ident)
        if kind == "source":
            source_id = ident
            continue
        scanned.append((kind, name, ident, unpacked))

    # Binaries first, so that a tool's link to the library of the same kind of package can name it.
    entries = []
    sonames = {}
    for kind, name, package_id, unpacked in scanned:
        for form, path in binaries(unpacked):
            relative = "./" + os.path.relpath(path, unpacked)
            file_id = spdx_id(f"File-{name}-{relative}")
            doc["files"].append({
                "fileName": relative,
                "SPDXID": file_id,
                "fileTypes": ["BINARY"],
                "checksums": [{"algorithm": "SHA1", "checksumValue": digest(path, "sha1")},
                              {"algorithm": "SHA256", "checksumValue": digest(path, "sha256")}],
                "licenseConcluded": "NOASSERTION",
                "licenseInfoInFiles": ["NOASSERTION"],
                "copyrightText": COPYRIGHT,
            })
            document.relate(package_id, "CONTAINS", file_id)
            facts = elf_facts(path) if form == "elf" else None
            if facts and facts[1]:
                sonames.setdefault((kind, facts[1]), file_id)
            if form == "pe" and path.lower().endswith(".dll"):
                sonames.setdefault((kind, os.path.basename(path).lower()), file_id)
            entries.append((kind, file_id, form, path, facts))
    for kind, file_id, form, path, facts in entries:
        ours = {soname: ident for (k, soname), ident in sonames.items() if k == kind}
        if form == "pe":
            pe_runtimes(document, file_id, pe_imports(path), ours)
            continue
        machine, _, needed, versions, static = facts
        if static:
            static_elf_runtimes(document, file_id, machine)
        else:
            dynamic_elf_runtimes(document, file_id, needed, versions, ours)
    if source_id:
        for kind, name, package_id, unpacked in scanned:
            document.relate(package_id, "GENERATED_FROM", source_id)
    for ident in doc["documentDescribes"]:
        document.relate("SPDXRef-DOCUMENT", "DESCRIBES", ident)

    with open(args.output, "w", encoding="utf-8") as f:
        json.dump(doc, f, indent=2)
        f.write("\n")


if __name__ == "__main__":
    main()
