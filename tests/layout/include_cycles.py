#!/usr/bin/env python3
"""Fails when the folders' includes form a cycle: a stage that includes a later one (the model
including the builder, a reader including a writer) ties the pipeline into a knot. Fails too on
includes that make no cycle yet tie the layout wrong: the geometry including the model (the
maths sits below the scene), and one writer including a sibling writer's folder (what writers
share lives in writers/common).

usage: include_cycles.py SOURCE_DIR   prints the folder graph, exits 1 on a cycle or such include
"""
import collections
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
NESTED = ("readers", "writers")


def is_build_tree(top):
    return (root / top / "CMakeCache.txt").exists() or (top.startswith("build") and top != "builder")


def folder(path):
    parts = pathlib.PurePosixPath(path).parts
    if len(parts) < 2 or parts[0] == "tests" or is_build_tree(parts[0]):
        return None
    return "/".join(parts[:2]) if parts[0] in NESTED else parts[0]


def forbidden(here, there):
    if here == "geometry" and there == "scene":
        return True
    return here.startswith("writers/") and there.startswith("writers/") and there != "writers/common"


edges = collections.defaultdict(set)
wrong = []
for source in sorted(list(root.rglob("*.cpp")) + list(root.rglob("*.h"))):
    here = folder(source.relative_to(root).as_posix())
    if here is None:
        continue
    for include in re.findall(r'#include "([^"]+/[^"]+)"', source.read_text(errors="replace")):
        there = folder(include)
        if there and there != here:
            edges[here].add(there)
            if forbidden(here, there):
                wrong.append(f'{source.relative_to(root).as_posix()}: #include "{include}"')

for here in sorted(edges):
    print(here, "->", " ".join(sorted(edges[here])))
for line in wrong:
    print("include against the layout:", line)

colour = {}


def visit(node, path):
    colour[node] = "open"
    for nxt in sorted(edges.get(node, ())):
        if colour.get(nxt) == "open":
            print("cycle:", " -> ".join(path + [node, nxt]))
            sys.exit(1)
        if nxt not in colour:
            visit(nxt, path + [node])
    colour[node] = "done"


for node in sorted(edges):
    if node not in colour:
        visit(node, [])
if wrong:
    sys.exit(1)
print("no cycle")
