#!/usr/bin/python3
"""The example workbooks, for Excel (.xlsx) and for LibreOffice (.fods), from
one description each:

  propofol_tci      the README's propofol plan: Schnider model, effect-site
                    TCI, Cp, Ce and BIS, the decrement times
  remifentanil_tci  a remifentanil plan with Eleveld's model and its
                    context-sensitive decrement times

Every number a user may change is an input at the top of the sheet, and every
formula reads from them: the targets, the steps and the pump limit of the
dosing scheme are formulas over the inputs, never copies of them.

The .xlsx is written by xlsxwriter with legacy (Ctrl+Shift+Enter) array
formulas, which every Excel from 2010 to 365 computes. LibreOffice with the
extension installed then computes each workbook: its results go into the
.xlsx as the cells' stored values (what Excel shows in Protected View, before
it calculates), and LibreOffice stores the same workbook as .fods. LibreOffice
7.4 does not bind an .xlsx's calls of add-in functions when it opens one
(they show #NAME?), so the formulas are typed in afresh, as a user would.

usage: /usr/bin/python3 examples/workbooks.py OXT OUTDIR
Needs Debian's /usr/bin/python3 with python3-xlsxwriter and python3-uno.
"""
import datetime
import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "calc", "tools"))

import xlsxwriter  # noqa: E402
from xlsxwriter.utility import xl_cell_to_rowcol, xl_range_abs, xl_rowcol_to_cell  # noqa: E402

NAMES = ("propofol_tci", "remifentanil_tci")
# The scheme: 360 steps after the row of time 0 (an hour in 10-second steps).
STEPS = 360
HEADER = 19  # the scheme's header row (1-based), its first row the one below
FIRST = HEADER + 1
LAST = FIRST + STEPS
INDUCTION = 12  # steps left out of the chart of maintenance rates (2 minutes at 10 s)
# Fixed document dates keep the .xlsx the same from run to run.
CREATED = datetime.datetime(2024, 1, 1)


class Sheet:
    """A worksheet as data: cells (a text, number, flag, formula or array
    formula, with a style), column widths and charts."""

    def __init__(self, name, title):
        self.name = name
        self.title = title
        self.cells = {}  # (row, column), 0-based -> (kind, content, style, range)
        self.widths = {}
        self.heights = {2: 45, HEADER - 1: 30}  # 0-based rows of wrapped headers
        self.charts = []

    def _put(self, ref, kind, content, style, area=None):
        self.cells[xl_cell_to_rowcol(ref)] = (kind, content, style, area)

    def text(self, ref, s, style=None):
        self._put(ref, "text", s, style)

    def number(self, ref, x, style=None):
        self._put(ref, "number", x, style)

    def flag(self, ref, b, style=None):
        self._put(ref, "flag", b, style)

    def formula(self, ref, f, style=None):
        self._put(ref, "formula", f, style)

    def array(self, area, f, style=None):
        """A legacy array formula over AREA, such as E20:E380."""
        self._put(area.split(":")[0], "array", f, style, area)

    def formulas(self):
        """(top-left ref, area or None, formula) of every formula cell."""
        for (r, c), (kind, content, _, area) in sorted(self.cells.items()):
            if kind in ("formula", "array"):
                yield xl_rowcol_to_cell(r, c), area, content


# ---------------------------------------------------------------- the two plans

def inputs(sheet, rows):
    """Labels in A, values in B from row 4 on; returns {key: absolute ref}."""
    refs = {}
    for i, (key, label, value) in enumerate(rows):
        row = 4 + i
        sheet.text("A%d" % row, label)
        if isinstance(value, bool):
            sheet.flag("B%d" % row, value, "input")
        else:
            sheet.number("B%d" % row, value, "input")
        refs[key] = "$B$%d" % row
    return refs


def model_block(sheet, name, call, with_ke0):
    """The model's parameters in D4:D10, its hybrid constants in F4:F9."""
    sheet.text("C3", name, "bold")
    labels = ["V1 (L)", "V2 (L)", "V3 (L)", "Cl1 (L/min)", "Cl2 (L/min)", "Cl3 (L/min)", "ke0 (1/min)"]
    for i, label in enumerate(labels if with_ke0 else labels[:6]):
        sheet.text("C%d" % (4 + i), label)
    sheet.array("D4:D10" if with_ke0 else "D4:D9", call, "0.0000")
    sheet.text("E3", "Hybrid constants", "bold")
    for i, label in enumerate(["A (1/L)", "B (1/L)", "C (1/L)", "l1 (1/min)", "l2 (1/min)", "l3 (1/min)"]):
        sheet.text("E%d" % (4 + i), label)
    sheet.array("F4:F9", "=Cl2Hyb(D4:D9)", "0.000000")
    return "F4,F5,F6,F7,F8,F9"


def decrement_block(sheet, durations, decrement, hybrid):
    sheet.text("H3", "Infusion (min)", "header")
    sheet.text("I3", "Plasma decrement time (min)", "header")
    sheet.text("J3", "Effect-site decrement time (min)", "header")
    for i, minutes in enumerate(durations):
        sheet.number("H%d" % (4 + i), minutes, "input")
    last = 3 + len(durations)
    sheet.array("I4:I%d" % last, "=CsDtCp(H4:H%d,%s,%s)" % (last, hybrid, decrement), "0.00")
    sheet.array("J4:J%d" % last, "=CsDtCe(H4:H%d,%s,D10,%s)" % (last, hybrid, decrement), "0.00")
    sheet.text("H%d" % (last + 1), "The time for the concentration to fall by the decrement once an infusion "
                                   "that kept it constant for the time in H stops.", "note")


def scheme(sheet, refs, dose, concentration, with_bis):
    """The dosing scheme from row FIRST: steps, times and targets from the
    inputs, the pump's rates from TciCe, Cp and Ce (and BIS) from them."""
    columns = ["Step (min)", "Time (min)", "Target (%s)" % concentration, "Bolus (%s)" % dose,
               "Rate (%s/min)" % dose, "Cp (%s)" % concentration, "Ce (%s)" % concentration]
    if with_bis:
        columns.append("BIS")
    sheet.text("A%d" % (HEADER - 2),
               "Each row: the step (min) since the row above, the target over that step, a bolus given at the "
               "row's time (it adds to the plan in Cp and Ce; TciCe does not plan with it), the rate the pump runs "
               "over the step that ends at this row, and Cp, Ce%s at the row's time. The first row is time 0."
               % (" and BIS" if with_bis else ""), "note")
    for i, label in enumerate(columns):
        sheet.text(xl_rowcol_to_cell(HEADER - 1, i), label, "header")
    sheet.number("A%d" % FIRST, 0, "0.000")
    sheet.formula("B%d" % FIRST, "=A%d" % FIRST, "0.000")
    sheet.number("C%d" % FIRST, 0, "0.00")
    for row in range(FIRST + 1, LAST + 1):
        sheet.formula("A%d" % row, "=%s/60" % refs["step"], "0.000")
        sheet.formula("B%d" % row, "=B%d+A%d" % (row - 1, row), "0.000")
        sheet.formula("C%d" % row, "=%s" % refs["target"], "0.00")
    for row in range(FIRST, LAST + 1):
        sheet.number("D%d" % row, 0, "input")
    col = lambda c: "%s%d:%s%d" % (c, FIRST, c, LAST)  # noqa: E731
    hybrid = "F4,F5,F6,F7,F8,F9"
    sheet.array(col("E"), "=TciCe(%s,%s,%s,%s,D10)" % (col("A"), col("C"), refs["limit"].replace("$", ""), hybrid),
                "0.00")
    sheet.array(col("F"), "=PredCp(%s,%s,%s,%s)" % (col("A"), col("E"), col("D"), hybrid), "0.000")
    sheet.array(col("G"), "=PredCe(%s,%s,%s,%s,D10)" % (col("A"), col("E"), col("D"), hybrid), "0.000")
    if with_bis:
        sheet.array(col("H"), "=BisEleveld(%s,%s)" % (col("G"), refs["age"].replace("$", "")), "0.0")
    return col


def concentration_charts(sheet, drug, concentration, dose, top):
    """Cp, Ce and the target over the plan and over its first 5 minutes, the
    rate below: scatter charts with straight lines (Excel 2010 draws them)."""
    time = (sheet.name, FIRST - 1, 1, LAST - 1, 1)

    def series(column, name, line):
        return {"name": name, "categories": time, "values": (sheet.name, FIRST - 1, column, LAST - 1, column),
                "line": line, "marker": {"type": "none"}}

    lines = [series(5, "Cp (plasma)", {"color": "#1f77b4", "width": 2}),
             series(6, "Ce (effect site)", {"color": "#d62728", "width": 2.25, "dash_type": "dash"}),
             series(2, "Target", {"color": "#000000", "width": 1, "dash_type": "round_dot"})]
    for title, maximum, row in (("%s over the plan" % drug, None, top),
                                ("The first 5 minutes", 5, top + 16)):
        x_axis = {"name": "time (min)", "min": 0, "major_gridlines": {"visible": True}}
        if maximum:
            x_axis.update(max=maximum, major_unit=1)
        sheet.charts.append({"at": "L%d" % row, "title": title, "series": lines, "x_axis": x_axis,
                             "y_axis": {"name": "concentration (%s)" % concentration, "min": 0}})
    rate = series(4, "rate", {"color": "#555555", "width": 1.5})
    sheet.charts.append({"at": "L%d" % (top + 32), "title": "The pump's rate", "legend": False, "series": [rate],
                         "x_axis": {"name": "time (min)", "min": 0, "major_gridlines": {"visible": True}},
                         "y_axis": {"name": "rate (%s/min)" % dose, "min": 0}})
    # Beside the induction the maintenance rates would be a line along 0.
    after = dict(rate, categories=(sheet.name, FIRST - 1 + INDUCTION, 1, LAST - 1, 1),
                 values=(sheet.name, FIRST - 1 + INDUCTION, 4, LAST - 1, 4))
    sheet.charts.append({"at": "L%d" % (top + 48), "title": "The pump's rate after the first %d steps" % INDUCTION,
                         "legend": False, "series": [after],
                         "x_axis": {"name": "time (min)", "min": 0, "major_gridlines": {"visible": True}},
                         "y_axis": {"name": "rate (%s/min)" % dose, "min": 0}})


def propofol():
    s = Sheet("Propofol", "Propofol: an effect-site plan with the Schnider model")
    s.text("A1", s.title, "title")
    s.text("A2", "Change the yellow cells; every other number follows from them. "
                 "Units: L, min, mg, \u00b5g/mL (= mg/L).", "note")
    refs = inputs(s, [("age", "Age (years)", 40), ("weight", "Weight (kg)", 70), ("height", "Height (cm)", 170),
                      ("male", "Male (TRUE or FALSE)", True),
                      ("target", "Target, effect site (\u00b5g/mL)", 3), ("limit", "Pump limit (mg/min)", 200),
                      ("step", "Step (s)", 10), ("decrement", "Decrement (%)", 50)])
    s.text("A13", "Lean body mass (kg)")
    s.formula("B13", "=JLBM(B5,B6,B7)", "0.00")
    s.text("A14", "Model check")
    s.formula("B14", '=ModelCheck("PropSchnider",B4,B5,B6,B7)')
    model_block(s, "Schnider", "=PropSchnider(B4,B5,B6,B13)", True)
    decrement_block(s, [10, 20, 30, 40, 50, 60], "B11", "F4,F5,F6,F7,F8,F9")
    col = scheme(s, refs, "mg", "\u00b5g/mL", with_bis=True)
    s.text("A15", "Plan length (min)")
    s.formula("B15", "=B%d" % LAST, "0.0")
    s.text("A16", "Propofol in the plan (mg)")
    s.formula("B16", "=SUMPRODUCT(%s,%s)+SUM(%s)" % (col("A"), col("E"), col("D")), "0")
    concentration_charts(s, "Propofol", "\u00b5g/mL", "mg", 3)
    s.charts.append({"at": "L%d" % 67, "title": "Predicted BIS (Eleveld) of that effect-site course", "legend": False,
                     "series": [{"name": "BIS", "categories": (s.name, FIRST - 1, 1, LAST - 1, 1),
                                 "values": (s.name, FIRST - 1, 7, LAST - 1, 7),
                                 "line": {"color": "#2ca02c", "width": 2}, "marker": {"type": "none"}}],
                     "x_axis": {"name": "time (min)", "min": 0, "major_gridlines": {"visible": True}},
                     "y_axis": {"name": "BIS", "min": 0, "max": 100}})
    s.widths = {"A": 30, "B": 11, "C": 12, "D": 11, "E": 14, "F": 12, "G": 12, "H": 14, "I": 14, "J": 16}
    return s


def remifentanil():
    s = Sheet("Remifentanil", "Remifentanil: an effect-site plan with Eleveld's model")
    s.text("A1", s.title, "title")
    s.text("A2", "Change the yellow cells; every other number follows from them. "
                 "Units: L, min, \u00b5g, ng/mL (= \u00b5g/L).", "note")
    refs = inputs(s, [("age", "Age (years)", 40), ("weight", "Weight (kg)", 70), ("height", "Height (cm)", 170),
                      ("male", "Male (TRUE or FALSE)", True),
                      ("target", "Target, effect site (ng/mL)", 4), ("limit", "Pump limit (\u00b5g/min)", 1000),
                      ("step", "Step (s)", 10), ("decrement", "Decrement (%)", 50)])
    s.text("A13", "Model check")
    s.formula("B13", '=ModelCheck("RemiEleveld",B4,B5,B6,B7)')
    model_block(s, "Eleveld", "=RemiEleveld(B4,B5,B6,B7)", True)
    decrement_block(s, [15, 30, 60, 120, 240, 480], "B11", "F4,F5,F6,F7,F8,F9")
    col = scheme(s, refs, "\u00b5g", "ng/mL", with_bis=False)
    s.text("A14", "Plan length (min)")
    s.formula("B14", "=B%d" % LAST, "0.0")
    s.text("A15", "Remifentanil in the plan (\u00b5g)")
    s.formula("B15", "=SUMPRODUCT(%s,%s)+SUM(%s)" % (col("A"), col("E"), col("D")), "0")
    concentration_charts(s, "Remifentanil", "ng/mL", "\u00b5g", 3)
    s.charts.append({"at": "L%d" % 67, "title": "Context-sensitive decrement times", "chart": "scatter_markers",
                     "series": [{"name": "plasma", "categories": (s.name, 3, 7, 8, 7), "values": (s.name, 3, 8, 8, 8),
                                 "line": {"color": "#1f77b4", "width": 2}},
                                {"name": "effect site", "categories": (s.name, 3, 7, 8, 7),
                                 "values": (s.name, 3, 9, 8, 9),
                                 "line": {"color": "#d62728", "width": 2, "dash_type": "dash"}}],
                     "x_axis": {"name": "infusion (min)", "min": 0, "major_gridlines": {"visible": True}},
                     "y_axis": {"name": "decrement time (min)", "min": 0}})
    s.widths = {"A": 30, "B": 11, "C": 12, "D": 11, "E": 14, "F": 12, "G": 12, "H": 14, "I": 14, "J": 16}
    return s


BOOKS = {"propofol_tci": propofol, "remifentanil_tci": remifentanil}


# ---------------------------------------------------------------- Excel

STYLES = {
    "title": {"bold": True, "font_size": 14},
    "bold": {"bold": True},
    "note": {"italic": True, "font_color": "#555555"},
    "header": {"bold": True, "bottom": 1, "text_wrap": True},
    "input": {"bg_color": "#FFF2CC", "border": 1, "border_color": "#BFBFBF"},
}


def write_xlsx(sheet, path, values=None):
    """The workbook as .xlsx; VALUES ((row, column) -> number or text) are
    stored as the formula cells' results."""
    values = values or {}
    book = xlsxwriter.Workbook(path)
    book.set_properties({"title": sheet.title, "created": CREATED, "author": "Ambrel"})
    book.set_calc_mode("auto")
    formats = {}

    def fmt(style):
        if style is None:
            return None
        if style not in formats:
            formats[style] = book.add_format(STYLES.get(style, {"num_format": style}))
        return formats[style]

    ws = book.add_worksheet(sheet.name)
    for column, width in sheet.widths.items():
        ws.set_column("%s:%s" % (column, column), width)
    for row, height in sheet.heights.items():
        ws.set_row(row, height)
    for (r, c), (kind, content, style, area) in sorted(sheet.cells.items()):
        if kind == "text":
            ws.write_string(r, c, content, fmt(style))
        elif kind == "number":
            ws.write_number(r, c, content, fmt(style))
        elif kind == "flag":
            ws.write_boolean(r, c, content, fmt(style))
        elif kind == "formula":
            ws.write_formula(r, c, content, fmt(style), values.get((r, c), 0))
        else:
            (r1, c1), (r2, c2) = (xl_cell_to_rowcol(a) for a in area.split(":"))
            ws.write_array_formula(r1, c1, r2, c2, "{%s}" % content, fmt(style), values.get((r1, c1), 0))
            for rr in range(r1, r2 + 1):
                for cc in range(c1, c2 + 1):
                    if (rr, cc) != (r1, c1) and (rr, cc) in values:
                        v = values[(rr, cc)]
                        if isinstance(v, str):
                            ws.write_string(rr, cc, v, fmt(style))
                        else:
                            ws.write_number(rr, cc, v, fmt(style))
    for layout in sheet.charts:
        chart = book.add_chart({"type": "scatter", "subtype": "straight" if layout.get("chart") != "scatter_markers"
                                else "straight_with_markers"})
        for series in layout["series"]:
            s = dict(series)
            s["categories"] = "=%s!%s" % (sheet.name, xl_range_abs(*series["categories"][1:]))
            s["values"] = "=%s!%s" % (sheet.name, xl_range_abs(*series["values"][1:]))
            chart.add_series(s)
        chart.set_title({"name": layout["title"], "name_font": {"size": 12}})
        chart.set_x_axis(layout["x_axis"])
        chart.set_y_axis(dict(layout["y_axis"], major_gridlines={"visible": True}))
        chart.set_legend({"none": True} if layout.get("legend") is False else {"position": "bottom"})
        chart.set_size({"width": 640, "height": 300})
        ws.insert_chart(layout["at"], chart)
    ws.activate()
    book.close()


# ---------------------------------------------------------------- LibreOffice

def computed_values(sheet, sheet_spec):
    """Every formula cell's result; refuses errors and empty results."""
    values = {}
    for ref, area, formula in sheet_spec.formulas():
        cells = sheet.getCellRangeByName(area or ref)
        a = cells.RangeAddress
        for r in range(a.StartRow, a.EndRow + 1):
            for c in range(a.StartColumn, a.EndColumn + 1):
                cell = sheet.getCellByPosition(c, r)
                if cell.getError():
                    raise SystemExit("%s!%s shows %s (%s): is the extension installed?"
                                     % (sheet_spec.name, xl_rowcol_to_cell(r, c), cell.getString(), formula))
                kind = cell.FormulaResultType2  # FormulaResult: VALUE 1, STRING 2, ERROR 4
                values[(r, c)] = cell.getString() if kind == 2 else cell.getValue()
    return values


def write(oxt, outdir, names=NAMES):
    import localc
    os.makedirs(outdir, exist_ok=True)
    with localc.Office([oxt]) as office, tempfile.TemporaryDirectory() as work:
        for name in names:
            layout = BOOKS[name]()
            draft = os.path.join(work, name + ".xlsx")
            write_xlsx(layout, draft)
            doc = office.load(draft)
            sheet = doc.Sheets.getByName(layout.name)
            # LibreOffice 7.4 reads an .xlsx's calls of add-in functions as
            # unknown names: the formulas are typed in afresh.
            localc.type_formulas(doc, sheet, list(layout.formulas()))
            values = computed_values(sheet, layout)
            doc.storeToURL(localc.uno.systemPathToFileUrl(os.path.abspath(os.path.join(outdir, name + ".fods"))),
                           (localc.prop("FilterName", "OpenDocument Spreadsheet Flat XML"),))
            doc.close(True)
            write_xlsx(layout, os.path.join(work, "final.xlsx"), values)
            shutil.move(os.path.join(work, "final.xlsx"), os.path.join(outdir, name + ".xlsx"))
            print(os.path.join(outdir, name + ".xlsx"), os.path.join(outdir, name + ".fods"))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    write(sys.argv[1], sys.argv[2])
