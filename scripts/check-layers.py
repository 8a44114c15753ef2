#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers, each using only those below it:
  host <- expr <- functions registry <- parser <- params <- families <- FunctionTable.cpp <- module <- cli
The registry is FunctionFactory and the built-in base FunctionNode.h; every other file of
src/functions is a family. Built-ins that parse at run time include only parser/ExpressionParser.h
of the parser.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
ORDER = ["host", "expr", "registry", "parser", "params", "families", "table", "module", "cli"]
REGISTRY = {"FunctionFactory.h", "FunctionFactory.cpp", "FunctionNode.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of_source(path):
    rel = path.relative_to(ROOT).parts
    if rel[0] == "cli":
        return "cli"
    folder = rel[1]
    if folder == "functions":
        if rel[-1] == "FunctionTable.cpp":
            return "table"
        return "registry" if rel[-1] in REGISTRY else "families"
    return folder


def layer_of_include(include):
    parts = include.split("/")
    if len(parts) == 1:
        return None  # a header beside the file, or a generated one
    folder, name = parts[0], parts[-1]
    if folder == "functions":
        return "registry" if name in REGISTRY else "families"
    return folder if folder in ORDER else None


def main():
    problems = []
    files = [p for p in (ROOT / "src").rglob("*") if p.suffix in (".h", ".cpp")]
    files += [p for p in (ROOT / "cli").rglob("*") if p.suffix in (".h", ".cpp")]
    for path in sorted(files):
        own = layer_of_source(path)
        if own not in ORDER:
            continue
        for include in INCLUDE.findall(path.read_text(encoding="utf-8")):
            used = layer_of_include(include)
            if used is None:
                continue
            if own == "families" and used == "parser" and include != "parser/ExpressionParser.h":
                problems.append(f"{path.relative_to(ROOT)}: a built-in includes {include}; only parser/ExpressionParser.h")
                continue
            if ORDER.index(used) > ORDER.index(own):
                problems.append(f"{path.relative_to(ROOT)}: includes {include}, of the {used} layer above its own ({own})")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the layer order")
        return 1
    print(f"layers: {len(files)} files follow the layer order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
