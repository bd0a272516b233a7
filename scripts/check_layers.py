#!/usr/bin/env python3
"""Checks every #include of the tree against the layer order in
scripts/layers.txt: a file may include its own unit and the units below it,
never one above or beside it, and nothing outside tests/ includes tests/.
Exits 1 and names each offending line when one does, 2 when the order
itself is malformed.

    scripts/check_layers.py [TOP]    TOP: the top of the tree (default: this script's)
"""

import os
import re
import subprocess
import sys

SOURCE = re.compile(r"\.(c|cc|cpp|cxx|h|hh|hpp|inc|ipp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def malformed(where, what):
    print(f"{where}: {what}", file=sys.stderr)
    sys.exit(2)


def in_tests(unit):
    return unit == "tests" or unit.startswith("tests/")


def read_order(path):
    """{unit: units it sits on}, each of those written before it."""
    below = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            unit, colon, rest = line.partition(":")
            unit = unit.strip().rstrip("/")
            where = f"{path}:{number}"
            if not colon or not unit:
                malformed(where, "not 'unit: units it sits on'")
            if unit in below:
                malformed(where, f"{unit} is named twice")
            for u in rest.split():
                # Lowest first: a unit can only sit on one written above it,
                # so the order never loops.
                if u not in below:
                    malformed(where, f"{unit} sits on {u}, which is not written above it")
            below[unit] = rest.split()
    return below


def reachable(below):
    """{unit: every unit it may include, itself too}."""
    allowed = {}
    for unit, direct in below.items():  # lowest first, so each direct one is done
        allowed[unit] = {unit}.union(*(allowed[u] for u in direct))
    return allowed


def unit_of(path, units):
    best = None
    for u in units:
        if (path == u or path.startswith(u + "/")) and (best is None or len(u) > len(best)):
            best = u
    return best


def source_files(top):
    """The tree's sources, tracked or new, without build folders."""
    try:
        out = subprocess.run(["git", "-C", top, "ls-files", "-co", "--exclude-standard"],
                             capture_output=True, text=True, check=True).stdout
        return sorted(p for p in out.splitlines() if SOURCE.search(p))
    except (OSError, subprocess.CalledProcessError):
        pass
    files = []
    for folder, dirs, names in os.walk(top):
        dirs[:] = [d for d in dirs if not d.startswith(".")
                   and not os.path.exists(os.path.join(folder, d, "CMakeCache.txt"))]
        files += [os.path.relpath(os.path.join(folder, n), top) for n in names if SOURCE.search(n)]
    return sorted(files)


def target_of(file, form, name, top):
    """The tree path an include names, or None for a header from outside."""
    first = name.split("/", 1)[0]
    if "/" in name and os.path.isdir(os.path.join(top, first)):
        return os.path.normpath(name)
    beside = os.path.normpath(os.path.join(os.path.dirname(file), name))
    if form == '"' and os.path.isfile(os.path.join(top, beside)):
        return beside
    return None


def main():
    top = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    order = os.path.join(top, "scripts", "layers.txt")
    below = read_order(order)
    allowed = reachable(below)
    units = list(below)
    faults, includes = [], 0
    files = source_files(top)
    for file in files:
        unit = unit_of(file, units)
        if unit is None:
            faults.append(f"{file}: in no unit of scripts/layers.txt")
            continue
        with open(os.path.join(top, file), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = target_of(file, m.group(1), m.group(2), top)
                if target is None:
                    continue
                includes += 1
                there = unit_of(target, units)
                if there in allowed[unit]:
                    continue
                if there is not None and in_tests(there) and not in_tests(unit):
                    why = "into tests/ from outside it"
                elif there is None:
                    why = "a folder in no unit of scripts/layers.txt"
                elif unit in allowed[there]:
                    why = f"up a layer: {there} sits above {unit}"
                else:
                    why = f"across: {unit} does not sit on {there}"
                faults.append(f"{file}:{number}: includes {m.group(2)}, {why}")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"layers: {len(faults)} include(s) against scripts/layers.txt", file=sys.stderr)
        return 1
    print(f"layers: {len(files)} files, {includes} includes of the tree, all down the order of scripts/layers.txt")
    return 0


if __name__ == "__main__":
    sys.exit(main())
