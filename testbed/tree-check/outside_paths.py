#!/usr/bin/env python3
"""Finds paths in the tree's build files, scripts and sources that lead out of the checkout.

A clone of the project has nothing beside it, so a test or build step that reads `../something`
past the top folder works only on the machine it was written on. Paths anchored at the top folder
(CMake's PROJECT_SOURCE_DIR, a test's ORVA_SOURCE_DIR), at the file's own folder (CMake's
CMAKE_CURRENT_SOURCE_DIR, a script's `$(dirname "$0")`) or plainly relative in CMake are resolved
and must stay inside. Usage: outside_paths.py [TOP]; exit 1 and one line per finding when any leads out.
"""
import os
import re
import subprocess
import sys

SUFFIXES = ('.cmake', '.txt', '.sh', '.py', '.cpp', '.h', '.in', '.json')
TOP_ANCHORS = re.compile(r'\$\{(?:PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR|sourceDir)\}((?:/[^\s"\')};]*)?)')
HERE_ANCHORS = re.compile(r'\$\{(?:CMAKE_CURRENT_SOURCE_DIR|CMAKE_CURRENT_LIST_DIR)\}((?:/[^\s"\')};]*)?)')
SCRIPT_HERE = re.compile(r'\$\(dirname\s+"?\$(?:0|\{BASH_SOURCE\[0\]\}|BASH_SOURCE)"?\)((?:/[^\s"\')]*)?)')
# ORVA_SOURCE_DIR followed by "+ "/a/b"" or by "/ "a" / "b"" pieces.
CXX_TOP = re.compile(r'ORVA_SOURCE_DIR\)?\s*((?:[+/]\s*"[^"]*"\s*)+)')
CMAKE_RELATIVE = re.compile(r'\b(?:include|add_subdirectory)\s*\(\s*"?(\.\.[^\s")]*)')
NAMED = re.compile(r'\.\./shared\b|ORVA_SHARED_DIR')


def tracked_files(top):
    try:
        out = subprocess.run(['git', '-C', top, 'ls-files', '-z'], check=True, capture_output=True).stdout
        return [f for f in out.decode().split('\0') if f]
    except (OSError, subprocess.CalledProcessError):
        found = []
        for folder, dirs, names in os.walk(top):
            dirs[:] = [d for d in dirs if not d.startswith(('.', 'build'))]
            found += [os.path.relpath(os.path.join(folder, n), top) for n in names]
        return found


def wanted(top, path):
    if path.endswith(SUFFIXES) or os.path.basename(path) == 'CMakeLists.txt':
        return True
    try:  # scripts without a suffix
        with open(os.path.join(top, path), 'rb') as f:
            return f.read(2) == b'#!'
    except OSError:
        return False


def leaves(top, base, rel):
    target = os.path.normpath(os.path.join(base, rel.lstrip('/')))
    return not (target == top or target.startswith(top + os.sep))


def check_line(top, path, line):
    here = os.path.dirname(os.path.join(top, path))
    if NAMED.search(line):
        yield 'names a folder beside the checkout'
    for m in TOP_ANCHORS.finditer(line):
        if leaves(top, top, m.group(1)):
            yield 'leads out of the top folder: ' + m.group(0)
    for m in HERE_ANCHORS.finditer(line):
        if leaves(top, here, m.group(1)):
            yield 'leads out of the top folder: ' + m.group(0)
    for m in SCRIPT_HERE.finditer(line):
        if leaves(top, here, m.group(1)):
            yield 'leads out of the top folder: ' + m.group(0)
    for m in CXX_TOP.finditer(line):
        rel = '/'.join(re.findall(r'"([^"]*)"', m.group(1)))
        if leaves(top, top, rel):
            yield 'leads out of the top folder: ' + m.group(0).strip()
    if path.endswith(('.cmake', 'CMakeLists.txt')):
        for m in CMAKE_RELATIVE.finditer(line):
            if leaves(top, here, m.group(1)):
                yield 'leads out of the top folder: ' + m.group(0)


def main():
    top = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else os.getcwd())
    me = os.path.relpath(os.path.realpath(__file__), top)
    findings = 0
    for path in tracked_files(top):
        if path == me or not wanted(top, path):
            continue
        try:
            with open(os.path.join(top, path), encoding='utf-8', errors='replace') as f:
                lines = f.readlines()
        except OSError:
            continue
        for number, line in enumerate(lines, 1):
            for why in check_line(top, path, line):
                print(f'{path}:{number}: {why}')
                findings += 1
    if findings:
        print(f'{findings} path(s) lead out of {top}: a clone of the project has nothing beside it; '
              'copy what is needed into the tree.', file=sys.stderr)
        return 1
    print('no path leads out of the checkout')
    return 0


if __name__ == '__main__':
    sys.exit(main())
