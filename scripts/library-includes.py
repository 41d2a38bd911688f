#!/usr/bin/env python3
"""Prints which component folders of library/ include which, and fails on a cycle.

Each `#include "library/<folder>/..."` in a file under library/<other>/ is an
edge other -> folder; files directly under library/ (the facade, the factory,
the C interface) count as the folder "(top)". The edges are printed one folder
a line; folders that include each other, round about, are printed with the
includes between them and make the exit status 1, so the layering can be
checked from CI or by hand:

    python3 scripts/library-includes.py [--quiet]
"""
import re
import sys
from collections import defaultdict
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s+"library/([^"/]+)/[^"]+"')
TOP = "(top)"


def folder_of(path: Path, root: Path) -> str:
    parts = path.relative_to(root).parts
    return parts[0] if len(parts) > 1 else TOP


def read_edges(root: Path):
    edges = defaultdict(lambda: defaultdict(set))  # from -> to -> files
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        source = folder_of(path, root)
        for line in path.read_text(errors="replace").splitlines():
            match = INCLUDE.match(line)
            if match and match.group(1) != source:
                edges[source][match.group(1)].add(path.relative_to(root).as_posix())
    return edges


def circles(edges):
    """The groups of folders that include each other, round about (the
    strongly connected components of more than one folder), each sorted."""
    index, low, on_stack, stack, groups = {}, {}, set(), [], []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for target in sorted(edges.get(node, {})):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return groups


def main() -> int:
    root = Path(__file__).resolve().parent.parent / "library"
    edges = read_edges(root)
    if "--quiet" not in sys.argv:
        for source in sorted(edges):
            targets = edges[source]
            print(f"{source:10} -> " + ", ".join(sorted(targets)))
    groups = circles(edges)
    if not groups:
        print("no cycles between library folders")
        return 0
    for group in groups:
        print("cycle among: " + ", ".join(group))
        for a in group:
            for b in group:
                if b in edges.get(a, {}):
                    print(f"  {a} -> {b}: " + ", ".join(sorted(edges[a][b])))
    return 1

if __name__ == "__main__":
    sys.exit(main())
