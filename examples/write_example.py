#!/usr/bin/python3
"""Writes examples/propofol_tci.fods, the README's example as a Calc workbook.

LibreOffice itself writes the file, with the extension installed, so that
every call of our functions is stored the way Calc stores add-in calls (a
hand-written file shows #NAME?). The formulas use only our functions,
references and numbers, so that xlhost can evaluate every one of them.

usage: /usr/bin/python3 examples/write_example.py build/calc/Ambrel.oxt examples/propofol_tci.fods
"""
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "calc", "tools"))
import localc  # noqa: E402

ROWS = 361  # 60 minutes in 10-second steps, and the row of time 0
FIRST = 14  # the first row of the dosing scheme
LAST = FIRST + ROWS - 1


def write(oxt, path):
    with localc.Office([oxt]) as office:
        doc = office.new_spreadsheet()
        sheet = doc.Sheets.getByIndex(0)
        sheet.Name = "Propofol"
        formats = doc.NumberFormats
        locale = doc.CharLocale

        def number_format(code):
            key = formats.queryKey(code, locale, False)
            return key if key >= 0 else formats.addNew(code, locale)

        def text(cell, value):
            sheet.getCellRangeByName(cell).setString(value)

        def value(cell, v):
            sheet.getCellRangeByName(cell).setValue(v)

        def formula(cell, f):
            sheet.getCellRangeByName(cell).setPropertyValue("FormulaLocal", f)

        def array(cells, f):
            # Typed as a user types it (Excel's syntax), stored in Calc's own form.
            top = sheet.getCellRangeByName(cells.split(":")[0])
            top.setPropertyValue("FormulaLocal", f)
            stored = top.getFormula()
            top.setString("")
            sheet.getCellRangeByName(cells).setArrayFormula(stored)

        def fmt(cells, code):
            sheet.getCellRangeByName(cells).NumberFormat = number_format(code)

        text("A1", "Propofol for a 40-year-old, 70 kg, 170 cm man: Schnider model, effect-site TCI at 3 \u00b5g/mL "
                   "for 60 minutes in 10-second rows (pump limit 200 mg/min), the BIS it predicts. "
                   "Units: L, min, mg, \u00b5g/mL.")
        for row, (label, v) in enumerate([("Age (years)", 40), ("Weight (kg)", 70), ("Height (cm)", 170),
                                          ("Male (1 = yes, 0 = no)", 1)], start=3):
            text("A%d" % row, label)
            value("B%d" % row, v)
        text("A7", "Lean body mass (kg)")
        formula("B7", "=JLBM(B4,B5,B6)")
        fmt("B7", "0.00")
        for row, (label, v) in enumerate([("Target (\u00b5g/mL)", 3), ("Pump limit (mg/min)", 200),
                                          ("Decrement (%)", 50)], start=9):
            text("A%d" % row, label)
            value("B%d" % row, v)

        text("D2", "Schnider")
        for row, label in enumerate(["V1 (L)", "V2 (L)", "V3 (L)", "Cl1 (L/min)", "Cl2 (L/min)", "Cl3 (L/min)",
                                     "ke0 (1/min)"], start=3):
            text("C%d" % row, label)
        array("D3:D9", "=PropSchnider(B3,B4,B5,B7)")
        text("F2", "Hybrid constants")
        for row, label in enumerate(["A", "B", "C", "l1", "l2", "l3"], start=3):
            text("E%d" % row, label)
        array("F3:F8", "=Cl2Hyb(D3:D8)")

        text("H2", "Infusion (min)")
        text("I2", "Cp decrement time (min)")
        text("J2", "Ce decrement time (min)")
        for row in range(3, 9):
            value("H%d" % row, 10 * (row - 2))
        array("I3:I8", "=CsDtCp(H3:H8,F3,F4,F5,F6,F7,F8,B11)")
        array("J3:J8", "=CsDtCe(H3:H8,F3,F4,F5,F6,F7,F8,D9,B11)")
        fmt("I3:J8", "0.00")

        headers = ["Step (min)", "Time (min)", "Target (\u00b5g/mL)", "Bolus (mg)", "Rate (mg/min)", "Cp (\u00b5g/mL)",
                   "Ce (\u00b5g/mL)", "BIS"]
        for column, label in zip("ABCDEFGH", headers):
            text("%s%d" % (column, FIRST - 1), label)
        # Row 0 is time 0; each later row holds the step since the row before,
        # the target over it and a bolus at its end.
        rows = [[0 if i == 0 else 1 / 6, i / 6, 0 if i == 0 else 3, 0] for i in range(ROWS)]
        sheet.getCellRangeByName("A%d:D%d" % (FIRST, LAST)).setDataArray(tuple(tuple(r) for r in rows))
        fmt("A%d:B%d" % (FIRST, LAST), "0.000")
        scheme = "A%d:A%d" % (FIRST, LAST)
        array("E%d:E%d" % (FIRST, LAST), "=TciCe(%s,C%d:C%d,B10,F3,F4,F5,F6,F7,F8,D9)" % (scheme, FIRST, LAST))
        array("F%d:F%d" % (FIRST, LAST),
              "=PredCp(%s,E%d:E%d,D%d:D%d,F3,F4,F5,F6,F7,F8)" % (scheme, FIRST, LAST, FIRST, LAST))
        array("G%d:G%d" % (FIRST, LAST),
              "=PredCe(%s,E%d:E%d,D%d:D%d,F3,F4,F5,F6,F7,F8,D9)" % (scheme, FIRST, LAST, FIRST, LAST))
        # The BIS that the effect-site course predicts (an indication only: the
        # BIS model belongs with Eleveld's PK model, not Schnider's).
        array("H%d:H%d" % (FIRST, LAST), "=BisEleveld(G%d:G%d,B3)" % (FIRST, LAST))
        fmt("H%d:H%d" % (FIRST, LAST), "0.0")
        fmt("E%d:E%d" % (FIRST, LAST), "0.00")
        fmt("F%d:G%d" % (FIRST, LAST), "0.000")

        doc.calculateAll()
        for cells in ("B7", "D3:D9", "F3:F8", "I3:J8", "E%d:H%d" % (FIRST, LAST)):
            for row in sheet.getCellRangeByName(cells).getDataArray():
                for v in row:
                    if not isinstance(v, float):
                        raise SystemExit("the workbook computes %r in %s: is the extension installed?" % (v, cells))
        doc.storeToURL(localc.uno.systemPathToFileUrl(os.path.abspath(path)),
                       (localc.prop("FilterName", "OpenDocument Spreadsheet Flat XML"),))
        doc.close(True)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    write(sys.argv[1], sys.argv[2])
