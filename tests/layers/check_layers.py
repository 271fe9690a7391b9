#!/usr/bin/env python3
"""Checks that the program's dependencies point one way.

Between folders: app -> ui, monitor -> controls -> toolkit (ui and monitor may
use each other: the main window's class is declared in ui and its monitoring
defined in monitor). Inside toolkit, each unit may use only the units listed
below it. No cycle anywhere.

Two graphs are checked: the includes, and, given the object files of the
program's library (--objects DIR --nm PROGRAM), the calls, read off the
symbols each object file needs and the one that defines them; a function
declared low and defined high shows only there.

Usage: check_layers.py [ROOT] [--objects DIR --nm NM]. Exits 1 with the
offending edges listed.
"""
import argparse
import os
import re
import subprocess
import sys

# Folder order, lowest first; a folder may include its own files and those
# of lower folders only.
FOLDERS = {"toolkit": 0, "controls": 1, "ui": 2, "monitor": 2, "app": 3}

# The toolkit's units, lowest first.
TOOLKIT = [
    "LibraryErrors", "Platform", "Dpi", "Exceptions", "TextUtils", "Files", "IniFiles", "Classes", "Handles", "Window",
    "Graphics", "Controls", "StdCtrls", "Buttons", "ExtCtrls", "Menus",
    "Thread", "Accessible", "Forms", "Application", "Dialogs",
]

# Files that together define one class count as one unit: the main window's
# class is declared in ui/VintrelU.h, and its monitoring and its files are
# defined in monitor/.
ONE_CLASS = {"monitor/Controller": "ui/VintrelU", "monitor/Settings": "ui/VintrelU"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(root):
    for folder in FOLDERS:
        base = os.path.join(root, folder)
        if not os.path.isdir(base):
            continue
        for name in sorted(os.listdir(base)):
            if name.endswith((".h", ".cpp")):
                yield f"{folder}/{name}"


def unit(path):
    return os.path.splitext(path)[0]


def class_unit(name):
    return ONE_CLASS.get(name, name)


def check_edge(path, target, problems, what):
    folder, other = path.split("/")[0], target.split("/")[0]
    if FOLDERS[other] > FOLDERS[folder]:
        problems.append(f"{path} {what} {target}: {other} lies above {folder}")
    if folder == other == "toolkit" and unit(target) != unit(path):
        mine, theirs = unit(path).split("/")[1], unit(target).split("/")[1]
        if mine not in TOOLKIT or theirs not in TOOLKIT:
            problems.append(f"{path} or {target}: a toolkit unit missing from the checker's order")
        elif TOOLKIT.index(theirs) > TOOLKIT.index(mine):
            problems.append(f"{path} {what} {target}: {theirs} lies above {mine} in the toolkit")


def find_cycles(edges, problems, what):
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == "open":
                problems.append(f"{what} cycle: " + " -> ".join(trail[trail.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = "done"

    for node in sorted(edges):
        if node not in state:
            visit(node, [node])


def include_graph(root, problems):
    edges = {}
    count = 0
    for path in sources(root):
        count += 1
        with open(os.path.join(root, path), encoding="latin-1") as f:
            targets = [t for t in INCLUDE.findall(f.read()) if t.split("/")[0] in FOLDERS]
        for target in targets:
            check_edge(path, target, problems, "includes")
        edges.setdefault(class_unit(unit(path)), set()).update(
            class_unit(unit(t)) for t in targets if class_unit(unit(t)) != class_unit(unit(path)))
    find_cycles(edges, problems, "include")
    return count


def call_graph(objects, nm, problems):
    """Units by object file: what each defines, and what each needs."""
    defined, needed = {}, {}
    for dirpath, _, names in os.walk(objects):
        for name in names:
            if not name.endswith((".cpp.obj", ".cpp.o")):
                continue
            rel = os.path.relpath(os.path.join(dirpath, name), objects).replace(os.sep, "/")
            source = rel.rsplit(".", 2)[0]  # toolkit/Window.cpp.obj -> toolkit/Window
            if source.split("/")[0] not in FOLDERS:
                continue
            out = subprocess.run([nm, os.path.join(dirpath, name)], capture_output=True, text=True, check=True).stdout
            for line in out.splitlines():
                fields = line.split()
                if len(fields) == 2 and fields[0] == "U":
                    needed.setdefault(source, set()).add(fields[1])
                elif len(fields) == 3 and fields[1] in "TDBR":
                    defined.setdefault(fields[2], set()).add(source)
    edges = {}
    for source, symbols in needed.items():
        for symbol in symbols:
            owners = defined.get(symbol, set())
            if len(owners) != 1:
                continue  # the runtime's, or inline code every user carries
            (owner,) = owners
            if owner != source:
                check_edge(source + ".cpp", owner + ".cpp", problems, "calls")
                if class_unit(owner) != class_unit(source):
                    edges.setdefault(class_unit(source), set()).add(class_unit(owner))
    find_cycles(edges, problems, "call")
    return len(needed)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root", nargs="?", default=".")
    parser.add_argument("--objects")
    parser.add_argument("--nm", default="nm")
    args = parser.parse_args()
    problems = []
    files = include_graph(args.root, problems)
    objects = call_graph(args.objects, args.nm, problems) if args.objects else 0
    for problem in sorted(set(problems)):
        print(problem)
    print(f"{files} source files, {objects} object files, {len(set(problems))} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
