#!/usr/bin/env python3
"""Refuses an #include "..." that climbs the module's layering or steps sideways.

Rooms, lowest first: platform <- module <- framework <- {query, calc, print, chart} <- browse
<- tryout. A room includes its own files and the rooms below it; the four rooms in braces do
not include each other. host/ sees platform/, host/include/, schema/ and module/EntryPoints.h
(plus its own sub-folder); schema/ sees platform/. A test folder sees what the folder it tests
sees, that folder itself, the test support and its own files.

Usage: check_includes.py [ROOT]   (exit 1 and one line per refused include: file:line: reason)
"""
import os
import re
import sys

RANK = {"platform": 0, "module": 1, "framework": 2, "query": 3, "calc": 3, "print": 3,
        "chart": 3, "browse": 4, "tryout": 5}
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def allowed(where, target):
    """Whether code at path `where` (relative, '/'-separated) may include `target`."""
    parts = where.split("/")
    top = parts[0]
    ttop = target.split("/")[0]
    if top == "tests":
        tested = parts[1] if len(parts) > 2 else ""
        if target.startswith("tests/support/"):
            return True
        if target.startswith("tests/" + tested + "/"):
            return True
        if ttop == "schema":
            return True
        if tested == "host":
            return allowed("host/app/x.cpp", target)
        if tested in RANK or tested == "schema":
            return allowed(tested + "/x.cpp", target)
        return True  # tests/tools, tests/fuzz: scripts and harnesses over the whole tree
    if top == "bench":
        return True
    if top == "host":
        own = "/".join(parts[:2]) + "/"
        return (ttop in ("platform", "schema") or target.startswith("host/include/")
                or target == "module/EntryPoints.h" or target.startswith(own))
    if top == "schema":
        return ttop in ("platform", "schema")
    if top in RANK:
        if ttop == top:
            return True
        if target.startswith("host/include/"):
            return top != "platform"
        if ttop in RANK:
            return RANK[ttop] < RANK[top]
        return False
    return True


def check(root):
    problems = []
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root).replace(os.sep, "/")
        if rel_dir == ".":
            dirnames[:] = [d for d in dirnames if not d.startswith(("build", ".")) and d != "tools"]
            continue
        for name in sorted(filenames):
            if not name.endswith(SOURCE_EXT):
                continue
            rel = rel_dir + "/" + name
            with open(os.path.join(dirpath, name), encoding="utf-8", errors="replace") as f:
                for n, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if "/" not in target:
                        continue  # generated ui_*.h and the like, beside the file
                    if not allowed(rel, target):
                        problems.append(f"{rel}:{n}: includes {target}, above or beside its folder")
    return problems


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    problems = check(root)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
