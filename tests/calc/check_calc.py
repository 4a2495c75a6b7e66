#!/usr/bin/python3
"""The Calc add-in in a real LibreOffice, checked against xlhost.

  check_calc.py workbook OXT XLHOST FUNCTIONS.json WORKBOOK NAME,NAME,...
      recalculates the workbook (.fods or .xlsx) headless with the extension
      installed: no cell shows an error, every formula that calls our
      functions equals xlhost evaluating it (in dependency order, each on
      xlhost's own results), every number typed in is read by a formula, the
      named functions are all called, and an .xlsx stores what Calc computes.
  check_calc.py formulas OXT XLHOST FUNCTIONS.json FORMULAS.txt
      the formulas of FORMULAS.txt, and for every argument of every function
      in FUNCTIONS.json its bad values, each in Calc and in xlhost; fails if a
      function of the tables has no formula in FORMULAS.txt.
  check_calc.py current OXT EXAMPLES_DIR
      the example workbooks in EXAMPLES_DIR are what workbooks.py there
      writes now (the .fods but for its save date).
  check_calc.py wizard OXT FUNCTIONS.json
      every function in Calc's function list under Add-In, with the tables'
      names and help texts.

Numbers must agree within 1e-12 relative, texts and errors exactly.
Needs Debian's /usr/bin/python3 with python3-uno.
"""
import csv
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "calc", "tools"))
import localc  # noqa: E402

TOLERANCE = 1e-12
ADD_IN_CATEGORY = 11  # the Function Wizard's "Add-In"


# ---------------------------------------------------------------- cells and formulas

def column_name(index):
    name = ""
    index += 1
    while index:
        index, rest = divmod(index - 1, 26)
        name = chr(ord("A") + rest) + name
    return name


def column_index(name):
    index = 0
    for c in name:
        index = index * 26 + ord(c) - ord("A") + 1
    return index - 1


REFERENCE = re.compile(r"\$?([A-Z]{1,3})\$?([0-9]+)(?::\$?([A-Z]{1,3})\$?([0-9]+))?")


def outside_strings(formula):
    """The formula with the insides of its "texts" blanked out."""
    return re.sub(r'"(?:[^"]|"")*"', lambda m: '"' + " " * (len(m.group(0)) - 2) + '"', formula)


def references(formula):
    """Every cell (row, column) that the formula reads."""
    cells = set()
    for m in REFERENCE.finditer(outside_strings(formula)):
        if m.start() and (formula[m.start() - 1].isalnum() or formula[m.start() - 1] == "."):
            continue  # part of a name, such as CL2HYB
        c1, r1 = column_index(m.group(1)), int(m.group(2)) - 1
        c2, r2 = (column_index(m.group(3)), int(m.group(4)) - 1) if m.group(3) else (c1, r1)
        for r in range(r1, r2 + 1):
            for c in range(c1, c2 + 1):
                cells.add((r, c))
    return cells


def excel_syntax(formula):
    """Calc's en-US formula as xlhost reads it: no array braces, no '$'."""
    if formula.startswith("{") and formula.endswith("}"):
        formula = formula[1:-1]
    blanked = outside_strings(formula)
    return "".join(c for c, b in zip(formula, blanked) if b != "$")


# A cell as both sides report it: ("number", x), ("text", s), ("error", "#VALUE!").

def cells_of(ranges):
    for a in ranges.getRangeAddresses():
        for r in range(a.StartRow, a.EndRow + 1):
            for c in range(a.StartColumn, a.EndColumn + 1):
                yield (r, c)


def lo_area(sheet, last_row, last_column, first_column=0):
    """Every cell of the area as ("number", x), ("text", s), ("error", "#VALUE!") or
    ("empty", ""), and the set of formula cells, in a few calls."""
    area = sheet.getCellRangeByPosition(first_column, 0, last_column, last_row)
    data = area.getDataArray()
    errors = set(cells_of(area.queryFormulaCells(4)))  # FormulaResult.ERROR
    texts = set(cells_of(area.queryFormulaCells(2))) | set(cells_of(area.queryContentCells(4)))  # STRING
    formulas = set(cells_of(area.queryContentCells(16)))  # CellFlags.FORMULA
    values = {}
    for r, row in enumerate(data):
        for c, v in enumerate(row, start=first_column):
            if (r, c) in errors:
                values[(r, c)] = ("error", sheet.getCellByPosition(c, r).getString())
            elif isinstance(v, float):
                values[(r, c)] = ("number", v)
            elif (r, c) in texts:
                values[(r, c)] = ("text", v)
            else:
                values[(r, c)] = ("empty", "")
    return values, formulas


def xl_cell(json_cell):
    if json_cell is None:
        return ("empty", "")
    if isinstance(json_cell, (int, float)):
        return ("number", float(json_cell))
    if "num" in json_cell:
        return ("error", "#NUM!")  # nan or inf: Excel, and Calc, show #NUM!
    if "text" in json_cell:
        return ("text", json_cell["text"])
    if "error" in json_cell:
        return ("error", json_cell["error"])
    if "bool" in json_cell:
        return ("number", 1.0 if json_cell["bool"] else 0.0)  # Calc has no booleans
    raise ValueError("unknown xlhost cell %r" % json_cell)


def same(a, b):
    if a[0] != b[0]:
        return False
    if a[0] == "number":
        x, y = a[1], b[1]
        if x == y:
            return True
        return abs(x - y) <= TOLERANCE * max(abs(x), abs(y))
    return a[1] == b[1]


def csv_field(value):
    kind, v = value
    if kind == "number":
        return repr(v)
    if kind == "empty":
        return ""
    return v  # a text, or an error such as #N/A that xlhost reads back as one


def write_sheet(path, cells):
    rows = 1 + max((r for r, _ in cells), default=0)
    columns = 1 + max((c for _, c in cells), default=0)
    with open(path, "w", newline="") as f:
        out = csv.writer(f)
        for r in range(rows):
            out.writerow([csv_field(cells.get((r, c), ("empty", ""))) for c in range(columns)])


def xlhost(program, formulas, sheet_cells, workdir):
    """xlhost's result of each formula: a list of rows of cells (None: no value)."""
    sheet = os.path.join(workdir, "sheet.csv")
    write_sheet(sheet, sheet_cells)
    run = subprocess.run([program, "--json", "--sheet", sheet, "-"], input="\n".join(formulas) + "\n",
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=600)
    if run.returncode != 0:
        raise SystemExit("xlhost failed (%d): %s" % (run.returncode, run.stderr))
    results = [json.loads(line)["result"] for line in run.stdout.splitlines() if line.strip()]
    if len(results) != len(formulas):
        raise SystemExit("xlhost answered %d of %d formulas" % (len(results), len(formulas)))
    return results


class Report:
    def __init__(self):
        self.compared = 0
        self.failures = []

    def compare(self, where, formula, calc, excel):
        self.compared += 1
        if not same(calc, excel):
            self.failures.append("%s %s: Calc %r, xlhost %r" % (where, formula, calc, excel))

    def finish(self, what):
        for line in self.failures[:40]:
            print("MISMATCH", line)
        if len(self.failures) > 40:
            print("... and %d more" % (len(self.failures) - 40))
        print("%s: %d cells compared, %d differ" % (what, self.compared, len(self.failures)))
        return 1 if self.failures or not self.compared else 0


# ---------------------------------------------------------------- the example workbooks

def xlsx_formulas(path):
    """The formulas an .xlsx holds, read by openpyxl (not by the library that
    wrote it), and the results it stores: ([(cell, area or None, formula)],
    {(row, column): ("number", x) or ("text", s)}) for its first sheet."""
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    formulas = []
    for row in sheet.iter_rows():
        for cell in row:
            value = cell.value
            text = getattr(value, "text", value)  # openpyxl 3.1 gives an ArrayFormula
            if not (isinstance(text, str) and text.startswith("=")):
                continue
            if hasattr(value, "ref"):
                area = value.ref
            else:  # openpyxl 3.0
                area = getattr(sheet, "formula_attributes", {}).get(cell.coordinate, {}).get("ref")
            formulas.append((cell.coordinate, area if area and ":" in area else None, text))
    stored = {}
    for row in openpyxl.load_workbook(path, data_only=True).worksheets[0].iter_rows():
        for cell in row:
            if isinstance(cell.value, bool):
                stored[(cell.row - 1, cell.column - 1)] = ("number", 1.0 if cell.value else 0.0)
            elif isinstance(cell.value, (int, float)):
                stored[(cell.row - 1, cell.column - 1)] = ("number", float(cell.value))
            elif isinstance(cell.value, str):
                stored[(cell.row - 1, cell.column - 1)] = ("text", cell.value)
    return formulas, stored


def calls(formula):
    return {name.upper() for name in re.findall(r"([A-Za-z_][A-Za-z0-9_.]*)\(", outside_strings(formula))}


def check_workbook(oxt, program, functions_path, path, required):
    """PATH opened in Calc with the extension: no error cell; every formula
    that calls our functions gives what xlhost gives on the same cells; every
    number typed into the workbook is read by some formula; it calls each
    function of REQUIRED. An .xlsx's formulas are typed in afresh (Calc 7.4
    does not bind its calls of add-in functions), and its stored results must
    be what Calc computes."""
    with open(functions_path, encoding="utf-8") as f:
        ours = {fn["name"].upper() for fn in json.load(f)}
    report = Report()
    problems = []
    called = set()
    xlsx = path.endswith(".xlsx")
    with localc.Office([oxt]) as office, tempfile.TemporaryDirectory() as workdir:
        # A copy: the office's lock file must not outlive a failed run beside the original.
        copy = os.path.join(workdir, os.path.basename(path))
        shutil.copyfile(path, copy)
        doc = office.load(copy)
        if xlsx:
            formulas_in_file, stored = xlsx_formulas(path)
            sheet = doc.Sheets.getByIndex(0)
            doc.calculateAll()
            bound = sum(1 for ref, _, f in formulas_in_file if calls(f) & ours
                        and not sheet.getCellRangeByName(ref).getError())
            print("Calc bound %d of the %d formulas that call the add-ins as it opened %s"
                  % (bound, sum(1 for _, _, f in formulas_in_file if calls(f) & ours), os.path.basename(path)))
            localc.type_formulas(doc, sheet, formulas_in_file)
        else:
            doc.calculateAll()
        for sheet in doc.Sheets:
            cursor = sheet.createCursor()
            cursor.gotoEndOfUsedArea(False)
            values, formula_cells = lo_area(sheet, cursor.RangeAddress.EndRow, cursor.RangeAddress.EndColumn)
            where = lambda r, c: "%s!%s%d" % (sheet.Name, column_name(c), r + 1)  # noqa: E731
            problems += ["%s shows %s" % (where(*cell), v[1]) for cell, v in sorted(values.items()) if v[0] == "error"]
            groups, seen = [], set()
            for (r, c) in sorted(formula_cells):
                if (r, c) in seen:
                    continue
                # An array formula fills its whole range; a plain one its cell.
                cell = sheet.getCellByPosition(c, r)
                area = sheet.createCursorByRange(cell)
                try:
                    area.collapseToCurrentArray()
                except Exception:
                    pass
                a = area.RangeAddress
                cells = [(rr, cc) for rr in range(a.StartRow, a.EndRow + 1)
                         for cc in range(a.StartColumn, a.EndColumn + 1)]
                seen.update(cells)
                formula = excel_syntax(cell.getPropertyValue("FormulaLocal"))
                names = calls(formula)
                if names & ours and names - ours:
                    problems.append("%s %s mixes our functions with others: xlhost cannot check it"
                                    % (where(r, c), formula))
                called.update(names & ours)
                groups.append((formula, cells, references(formula), bool(names & ours)))
            # Every number typed in (or a formula that reads nothing, such as
            # =TRUE()) is an input: some formula must read it.
            read = set().union(*(g[2] for g in groups)) if groups else set()
            inputs = {cell for cell, v in values.items() if v[0] == "number" and cell not in formula_cells}
            inputs |= {g[1][0] for g in groups if not g[2] and not g[3]}
            problems += ["%s (%s) is read by no formula" % (where(*cell), csv_field(values[cell]))
                         for cell in sorted(inputs - read)]
            if xlsx and sheet.Name == doc.Sheets.getByIndex(0).Name:
                for cell in sorted(c for g in groups for c in g[1]):
                    if cell in stored and not same(stored[cell], values[cell]):
                        problems.append("%s stores %r, Calc computes %r" % (where(*cell), stored[cell], values[cell]))
                    elif cell not in stored:
                        problems.append("%s stores no result" % where(*cell))
            # Cells of other formulas are taken as Calc computed them; xlhost
            # evaluates each formula of ours once everything it reads is
            # known, on its own results: the chain is checked, not each link.
            known = {cell: v for cell, v in values.items() if v[0] != "empty"}
            ours_pending = [g for g in groups if g[3]]
            for g in ours_pending:
                for cell in g[1]:
                    known.pop(cell, None)
            pending = ours_pending
            while pending:
                produced = {c for h in pending for c in h[1]}
                ready = [g for g in pending if all(ref in known or ref not in produced for ref in g[2])]
                if not ready:
                    raise SystemExit("circular references in " + path)
                results = xlhost(program, [g[0] for g in ready], known, workdir)
                for (formula, cells, _, _), result in zip(ready, results):
                    rows = result if result is not None else [[None]]
                    top, left = cells[0]
                    for (r, c) in cells:
                        i, j = r - top, c - left
                        if len(rows) == 1 and len(rows[0]) == 1:
                            value = xl_cell(rows[0][0])  # a single value fills an array range
                        elif i < len(rows) and j < len(rows[i]):
                            value = xl_cell(rows[i][j])
                        else:
                            value = ("error", "#N/A")
                        known[(r, c)] = value
                        report.compare(where(r, c), formula, values[(r, c)], value)
                pending = [g for g in pending if g not in ready]
        doc.close(True)
    status = report.finish("workbook " + os.path.basename(path))
    for line in problems[:20] + (["..."] if len(problems) > 40 else []) + problems[max(20, len(problems) - 20):]:
        print("PROBLEM", line)
    if problems:
        print("%d problems in %s" % (len(problems), os.path.basename(path)))
        status = 1
    missing = {name.upper() for name in required} - called
    if missing:
        print("%s calls no %s" % (os.path.basename(path), ", ".join(sorted(missing))))
        status = 1
    return status


def check_current(oxt, examples):
    """The example workbooks in EXAMPLES are what examples/workbooks.py writes
    now: the .xlsx byte for byte, the .fods but for its save date."""
    sys.path.insert(0, examples)
    import workbooks
    meta = re.compile(rb"<office:meta>.*?</office:meta>", re.S)
    stale = []
    with tempfile.TemporaryDirectory() as workdir:
        workbooks.write(oxt, workdir)
        for name in workbooks.NAMES:
            for suffix in (".xlsx", ".fods"):
                with open(os.path.join(workdir, name + suffix), "rb") as new, \
                        open(os.path.join(examples, name + suffix), "rb") as old:
                    if meta.sub(b"", new.read()) != meta.sub(b"", old.read()):
                        stale.append(name + suffix)
    for f in stale:
        print("examples/%s differs from what examples/workbooks.py writes now (./dev.sh workbooks)" % f)
    print("%d of %d workbooks current" % (2 * len(workbooks.NAMES) - len(stale), 2 * len(workbooks.NAMES)))
    return 1 if stale else 0


# ---------------------------------------------------------------- the formula table

# Data the formulas read, at A1:K9 of the first sheet (and in xlhost's CSV).
DATA = {
    "A": [0, 1, 1],                  # a valid column: time steps
    "B": [0, 5, 5],                  # rates
    "C": [10, 0, 0],                 # boluses
    "D": [1, None, 3],               # an empty cell inside a range
    "E": [1, "abc", 3],              # a text inside a range
    "F": [15.96, 23.43, 133.7, 1.51, 1.70, 0.83, 0.456],  # a Marsh-like volumes/clearances and a ke0
    "G": [1, 2],                     # G1:H2, two columns
    "H": [3, 4],
    "I": [],                         # I1: an empty cell
    "J": ["=1/0", 1, 2],             # an error value, in a range
    "K": [40, 70, 170, 1, 55],       # a patient: age, weight, height, male, lean body mass
}
VALID = {"Number": "1", "Column": "A1:A3", "Flag": "1", "OptionalFlag": "1", "Text": '"x"'}
# Bad values of each kind, as typed in a cell. Each reaches the conversion of
# its own argument, with every argument before it valid.
BAD = {
    "Number": ['"abc"', "", '" 2.5 "', "A1:A3", "TRUE", "-0"],
    "Column": ["", "D1:D3", "E1:E3", "G1:H2", '"abc"', '{"1";" 2 ";"3e0"}', "7", "{1,2,3}", '""'],
    "Flag": ["", '"abc"', '"TRUE"', '"false"', "A1:A3", "0", "D2:D2", '""'],
    "OptionalFlag": ["", '"abc"', '"TRUE"', "A1:A3", "0", "D2:D2"],
    "Text": ["5", "", '"abc"', "0.1"],
}
# Where Calc cannot do what Excel does, the Calc formula on the left and, on
# the right, the xlhost formula it must equal (or the Calc error it shows).
DIFFERENT = {
    # One empty cell reads as 0 in Calc: Excel passes it as empty.
    "Number": [],
    "Column": [("I1", "0")],
    "Flag": [("I1", "0")],
    "OptionalFlag": [("I1", "0")],
    "Text": [("I1", "0")],
}
# An error value never reaches a Calc add-in: Calc shows the error itself, or
# Err:504 for a range that holds one.
ERRORS = {"Column": [("J1", "#DIV/0!"), ("J1:J3", "Err:504")], "Flag": [("J1", "#DIV/0!")],
          "OptionalFlag": [("J1", "#DIV/0!")], "Text": [("J1", "#DIV/0!")], "Number": [("J1", "#DIV/0!")]}


def data_cells():
    cells = {}
    for column, values in DATA.items():
        for row, v in enumerate(values):
            if v is None:
                continue
            if isinstance(v, str) and v.startswith("="):
                cells[(row, column_index(column))] = ("error", "#DIV/0!")
            elif isinstance(v, str):
                cells[(row, column_index(column))] = ("text", v)
            else:
                cells[(row, column_index(column))] = ("number", float(v))
    return cells


def read_formulas(path):
    """FORMULAS.txt: one formula a line, or 'CALC ~ XLHOST' where they differ."""
    cases = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            calc, _, excel = line.partition(" ~ ")
            cases.append((calc.strip(), excel.strip() or calc.strip(), None))
    return cases


def call(name, args):
    return "=%s(%s)" % (name, ",".join(args))


def generated_cases(functions):
    """Each argument of each function given each bad value of its kind."""
    cases = []
    for f in functions:
        kinds = [p["kind"] for p in f["parameters"]]
        valid = [VALID[k] for k in kinds]
        for i, kind in enumerate(kinds):
            for bad in BAD[kind]:
                args = valid[:i] + [bad] + valid[i + 1:]
                cases.append((call(f["name"], args), call(f["name"], args), None))
            for calc, excel in DIFFERENT[kind]:
                cases.append((call(f["name"], valid[:i] + [calc] + valid[i + 1:]),
                              call(f["name"], valid[:i] + [excel] + valid[i + 1:]), None))
            for calc, error in ERRORS[kind]:
                cases.append((call(f["name"], valid[:i] + [calc] + valid[i + 1:]), None, error))
        cases.append((call(f["name"], [""] * len(kinds)), call(f["name"], [""] * len(kinds)), None))
    return cases


def check_formulas(oxt, program, functions_path, formulas_path):
    with open(functions_path, encoding="utf-8") as f:
        functions = json.load(f)
    written = read_formulas(formulas_path)
    called = {m.upper() for calc, _, _ in written for m in re.findall(r"([A-Za-z][A-Za-z0-9]*)\(", calc)}
    missing = [f["name"] for f in functions if f["name"].upper() not in called]
    cases = written + generated_cases(functions)
    report = Report()
    data = data_cells()
    with localc.Office([oxt]) as office, tempfile.TemporaryDirectory() as workdir:
        compared = [c for c in cases if c[1] is not None]
        results = xlhost(program, [c[1] for c in compared], data, workdir)
        expected = {}
        for case, result in zip(compared, results):
            expected[case] = result
        doc = office.new_spreadsheet()
        doc.enableAutomaticCalculation(False)  # one calculation once every formula is in
        sheet = doc.Sheets.getByIndex(0)
        for (r, c), (kind, v) in data.items():
            cell = sheet.getCellByPosition(c, r)
            if kind == "number":
                cell.setValue(v)
            elif kind == "text":
                cell.setString(v)
        for column, values in DATA.items():
            for row, v in enumerate(values):
                if isinstance(v, str) and v.startswith("="):
                    sheet.getCellByPosition(column_index(column), row).setFormula(v)
        # Each case in column M and below, an array formula over one row more
        # than xlhost's column (that row must show #N/A), a plain one for one value.
        placed = []
        row = 0
        column = column_index("M")
        for case in cases:
            calc, _, error = case
            result = expected.get(case)
            height = len(result) if result else 1
            top = sheet.getCellByPosition(column, row)
            top.setPropertyValue("FormulaLocal", calc)
            if height > 1:
                stored = top.getFormula()
                top.setString("")
                sheet.getCellRangeByPosition(column, row, column, row + height).setArrayFormula(stored)
                placed.append((case, row, height + 1))
                row += height + 2
            else:
                placed.append((case, row, 1))
                row += 2
        doc.calculateAll()
        values, _ = lo_area(sheet, row, column, column)
        for case, top, height in placed:
            calc, excel, error = case
            if error is not None:
                report.compare("M%d" % (top + 1), calc, values[(top, column)], ("error", error))
                continue
            result = expected[case]
            rows = result if result is not None else [[None]]
            for i in range(height):
                value = xl_cell(rows[i][0]) if i < len(rows) else ("error", "#N/A")
                report.compare("M%d" % (top + i + 1), calc + (" ~ " + excel if excel != calc else ""),
                               values[(top + i, column)], value)
        doc.close(True)
    status = report.finish("formulas (%d written, %d generated)" % (len(written), len(cases) - len(written)))
    if missing:
        print("functions of the tables with no formula in %s: %s" % (formulas_path, ", ".join(missing)))
        status = 1
    return status


# ---------------------------------------------------------------- the Function Wizard

def check_wizard(oxt, functions_path):
    with open(functions_path, encoding="utf-8") as f:
        functions = json.load(f)
    failures = []
    with localc.Office([oxt]) as office:
        descriptions = office.service("com.sun.star.sheet.FunctionDescriptions")
        listed = {}
        for i in range(descriptions.getCount()):
            d = {p.Name: p.Value for p in descriptions.getByIndex(i)}
            listed[d["Name"]] = d
        for f in functions:
            d = listed.get(f["name"].upper())
            if d is None:
                failures.append("%s is not in Calc's function list" % f["name"])
                continue
            if d["Category"] != ADD_IN_CATEGORY:
                failures.append("%s is in category %d" % (f["name"], d["Category"]))
            if d["Description"] != f["help"]:
                failures.append("%s: help %r, table %r" % (f["name"], d["Description"], f["help"]))
            shown = [(a.Name, a.Description) for a in d["Arguments"] or ()]
            table = [(p["name"], p["help"]) for p in f["parameters"]]
            if shown != table:
                failures.append("%s: arguments %r, table %r" % (f["name"], shown, table))
    for line in failures:
        print("WIZARD", line)
    print("wizard: %d functions checked, %d faults" % (len(functions), len(failures)))
    return 1 if failures or not functions else 0


def main(argv):
    if len(argv) >= 2 and argv[1] == "workbook" and len(argv) == 7:
        return check_workbook(argv[2], argv[3], argv[4], argv[5], [n for n in argv[6].split(",") if n])
    if len(argv) >= 2 and argv[1] == "formulas" and len(argv) == 6:
        return check_formulas(argv[2], argv[3], argv[4], argv[5])
    if len(argv) >= 2 and argv[1] == "current" and len(argv) == 4:
        return check_current(argv[2], argv[3])
    if len(argv) >= 2 and argv[1] == "wizard" and len(argv) == 4:
        return check_wizard(argv[2], argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
