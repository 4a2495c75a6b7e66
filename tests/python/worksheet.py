"""The worksheet side of the comparison: Python values written as a formula's
arguments for xlhost (Excel's stand-in), one xlhost run for many formulas, and
both sides' results as the same grid of cells.

Where a Python value has no literal in a formula, it takes the worksheet value
the package reads it as: NaN and ±inf are #NUM!, an empty list is an omitted
argument, and a column with None in it is a range of the sheet with empty
cells there.
"""

import csv
import json
import math
import os
import subprocess
import tempfile

import numpy as np

import ambrel

XLHOST = os.environ.get("AMBREL_XLHOST", "xlhost")


def _number(x):
    x = float(x)
    if not math.isfinite(x):
        return "#NUM!"
    return repr(x)


def _scalar(v):
    if v is None:
        return ""
    if isinstance(v, (bool, np.bool_)):
        return "TRUE" if v else "FALSE"
    if isinstance(v, str):
        return '"' + v.replace('"', '""') + '"'
    return _number(v)


def _column_name(k):
    name = ""
    k += 1
    while k:
        k, r = divmod(k - 1, 26)
        name = chr(ord("A") + r) + name
    return name


class Sheet:
    """The cells that columns with empty cells in them are read from: one
    sheet column each, from row 1 down."""

    def __init__(self):
        self.columns = []

    def reference(self, values):
        k = len(self.columns)
        self.columns.append(values)
        return f"{_column_name(k)}1:{_column_name(k)}{len(values)}"

    def write(self, path):
        rows = max((len(c) for c in self.columns), default=0)
        with open(path, "w", newline="") as f:
            w = csv.writer(f, lineterminator="\n")
            for r in range(rows):
                row = []
                for c in self.columns:
                    v = c[r] if r < len(c) else None
                    row.append("" if v is None else ("TRUE" if v is True else "FALSE" if v is False else repr(float(v))))
                w.writerow(row)


def _grid(value):
    """A Python argument as rows of cells, or None if it is no range."""
    if isinstance(value, ambrel.ParameterSet):
        value = np.asarray(value)
    if isinstance(value, np.ndarray):
        if value.ndim == 0:
            return None
        if value.size == 0:
            return []
        if value.ndim == 1:
            return [[v] for v in value.tolist()]
        return value.reshape(value.shape[0], -1).tolist()
    if isinstance(value, (list, tuple)):
        if any(isinstance(v, (list, tuple, np.ndarray)) for v in value):
            rows = [list(np.asarray(v).ravel().tolist()) if isinstance(v, np.ndarray) else
                    list(v) if isinstance(v, (list, tuple)) else [v] for v in value]
            width = max(len(r) for r in rows)
            return [r + [None] * (width - len(r)) for r in rows]
        return [[v] for v in value]
    return None


def argument(value, sheet):
    """One argument of a formula."""
    grid = _grid(value)
    if grid is None:
        return _scalar(value)
    if not grid or not grid[0]:
        return ""  # no range at all: as an omitted argument
    cells = [c for row in grid for c in row]
    if any(c is None for c in cells):
        if len(grid[0]) != 1:
            raise ValueError("empty cells only in a column")
        return sheet.reference([row[0] for row in grid])
    return "{" + ";".join(",".join(_scalar(c) for c in row) for row in grid) + "}"


def formula(name, arguments):
    return f"={name}(" + ",".join(arguments) + ")"


def run(formulas, sheet):
    """Every formula through one xlhost, its result as rows of cells."""
    with tempfile.TemporaryDirectory() as work:
        command = [XLHOST, "--json"]
        if sheet.columns:
            path = os.path.join(work, "cells.csv")
            sheet.write(path)
            command += ["--sheet", path]
        done = subprocess.run(command + ["-"], input="\n".join(formulas) + "\n", capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"xlhost failed ({done.returncode}): {done.stderr}")
    results = [json.loads(line, parse_int=float)["result"] for line in done.stdout.splitlines()]
    if len(results) != len(formulas):
        raise RuntimeError(f"{len(formulas)} formulas, {len(results)} results")
    return results


def python_cells(call):
    """What the Python call gives, as the cells a worksheet would show."""
    try:
        result = call()
    except ValueError as e:
        text = str(e)
        for code in ("#VALUE!", "#NUM!"):
            if text.startswith(code + ":"):
                return [[{"error": code}]]
        return [[{"text": text}]]
    if isinstance(result, str):
        return [[{"text": result}]]
    if isinstance(result, float):
        return [[result]]
    if isinstance(result, ambrel.ParameterSet):
        return [[v] for v in result]
    assert isinstance(result, np.ndarray) and result.dtype == np.float64 and result.ndim == 1, repr(result)
    return [[v] for v in result.tolist()]


def _cell_key(c):
    """A cell for comparison: a double by its bits. A number that is not
    finite, which Python hands over as it is, shows #NUM! on the worksheet."""
    if isinstance(c, float):
        if not math.isfinite(c):
            return _cell_key({"error": "#NUM!"})
        return ("num", np.float64(c).view(np.uint64).item())
    if isinstance(c, dict) and "num" in c:
        return ("num", np.float64(float(c["num"])).view(np.uint64).item())
    return ("cell", json.dumps(c, sort_keys=True))


def same(a, b):
    return [[_cell_key(c) for c in row] for row in a] == [[_cell_key(c) for c in row] for row in b]
