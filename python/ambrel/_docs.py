"""Docstrings written from the declarations: what each argument is, in which
unit, what None (an empty cell) means, the result with its unit, and every
message the function can raise with what to do about it."""

import textwrap

_WIDTH = 79


def _para(text, indent):
    return textwrap.fill(text, _WIDTH, initial_indent=indent, subsequent_indent=indent)


def _sentence(text):
    text = text.strip()
    return text[:1].upper() + text[1:] + ("" if text.endswith((".", "!", "?")) else ".")


def _kind(p):
    kind = {
        "number": "float",
        "column": "column (1-D array or sequence)",
        "flag": "bool",
        "optional flag": "bool or None",
        "text": "str",
    }[p["kind"]]
    return f"{kind}, {p['unit']}" if p["unit"] else kind


def _result(returns):
    if returns["shape"] == "fixed column":
        rows = ", ".join(f"{n} ({u})" if u else n for n, u in returns["rows"])
        return f"ParameterSet: {rows}"
    kind = {"number": "float", "column": "numpy.ndarray of float64, one value per row", "text": "str"}[returns["shape"]]
    return f"{kind}, {returns['unit']}" if returns["unit"] else kind


def docstring(d, call):
    lines = [_para(_sentence(" ".join(d["help"].split())), "")]
    lines.append("")
    lines.append(_para(f"{d['addin']}'s worksheet function {d['name']}, the same in Excel, LibreOffice Calc "
                       f"and here: the same routine, the same numbers, the same messages.", ""))
    lines += ["", "Parameters", "----------"]
    for p in d["parameters"]:
        lines.append(f"{p['name']} : {_kind(p)}")
        if p["meaning"]:
            lines.append(_para(_sentence(p["meaning"]), "    "))
        lines.append(_para(f"None (left out, or an empty cell): {p['empty']}.", "    "))
    if call.block:
        start, layout = call.block
        names = ", ".join(layout)
        lines.append(f"pk : ParameterSet, keyword only")
        lines.append(_para(
            f"In the place of {names}: a set of them, or a drug model's set (volumes and clearances, turned "
            f"into these by the function that converts them, as on the worksheet); its further values, such "
            f"as ke0, go to the arguments of their names. The set may also be given positionally in the "
            f"place of {layout[0]}.", "    "))
    lines += ["", "Returns", "-------", _result(d["returns"])]
    if d["returns"]["meaning"]:
        lines.append(_para(_sentence(d["returns"]["meaning"]), "    "))
    messages = list(d["messages"]) + [m for p in d["parameters"] for m in p["messages"]]
    lines += ["", "Raises", "------", "ValueError"]
    lines.append(_para("With the text the worksheet cell shows: the routine's messages first, in the order it "
                       "checks, then those of the arguments' conversion (a {placeholder} is filled in):", "    "))
    for text, remedy in messages:
        lines.append(_para(f'"{text}"', "    "))
        if remedy:
            lines.append(_para(remedy, "        "))
    if any(p["kind"] == "number" for p in d["parameters"]):
        lines.append(_para('"#VALUE!: <argument> has to be a number", "#NUM!: <argument> has to be a finite '
                           'number": where the worksheet shows that error value, for a number argument given a '
                           "text or an array, or NaN or infinity.", "    "))
    model = d.get("model")
    if model and model["ranges"]:
        lines += ["", "Study population", "----------------"]
        for covariate, low, high, shown in model["ranges"]:
            lines.append(f"{covariate}: {shown}")
    return "\n".join(lines) + "\n"
