"""Every worksheet function gives in Python what it gives in a worksheet cell:
the same numbers bit for bit, the same message, for the same inputs. The
worksheet is xlhost, Excel's stand-in, with the add-ins built from the same
tree; both sides run through one xlhost process per test session.
"""

import numpy as np
import pytest

import ambrel
import cases
import worksheet

SEED = 20231
GOOD_PER_FUNCTION = 40


class Comparison:
    def __init__(self, function, reason, call, arguments):
        self.function, self.reason, self.call = function, reason, call
        self.formula = worksheet.formula(function, arguments)


def _plain(function, args, reason, sheet):
    fn = getattr(ambrel, function)
    return Comparison(function, reason, lambda: fn(*args), [worksheet.argument(a, sheet) for a in args])


def _with_sets(function, rng, sheet):
    """The model given as a ParameterSet: a drug model's (volumes and
    clearances, with its ke0 where it has one) and Cl2Hyb's hybrid constants.
    The worksheet gets the same constants through Cl2Hyb and Hyb2Cl itself."""
    fn = getattr(ambrel, function)
    names = [p["name"] for p in cases.DECLARATIONS[function]["parameters"]]
    block = cases.HYBRID if "A" in names else cases.VOLCL
    start = names.index(block[0])
    found = []
    for _ in range(6):
        s = cases.Scenario(rng)
        args = cases.good(function, rng, 1)[0]
        hybrid = ambrel.Cl2Hyb(s.pk[:6])
        for pk, kind in ((s.pk, "drug model"), (hybrid, "hybrid constants")):
            layout = pk.names[:6]
            values = "{" + ";".join(worksheet._number(v) for v in pk[:6]) + "}"
            if layout == block:
                constants = [worksheet._number(v) for v in pk[:6]]
            else:
                converter = "Cl2Hyb" if block == cases.HYBRID else "Hyb2Cl"
                constants = [f"INDEX({converter}({values}),{k})" for k in range(1, 7)]
            after = start + 6
            extra = []
            if after < len(names) and names[after] == "ke0" and "ke0" in pk.names:
                extra = [worksheet._number(pk.ke0)]
                after += 1
            rest = args[after:]
            arguments = ([worksheet.argument(a, sheet) for a in args[:start]] + constants + extra
                         + [worksheet.argument(a, sheet) for a in rest])
            py_args = args[:start] + [pk] + rest
            found.append(Comparison(function, f"the model as a set of {kind}",
                                    (lambda a: lambda: fn(*a))(py_args), arguments))
            # The same by keyword.
            named = dict(zip(names[after:], rest))
            found.append(Comparison(function, f"the model as pk=, a set of {kind}",
                                    (lambda a, k, p: lambda: fn(*a, pk=p, **k))(args[:start], named, pk),
                                    arguments))
    return found


@pytest.fixture(scope="module")
def compared():
    rng = np.random.default_rng(SEED)
    sheet = worksheet.Sheet()
    comparisons = []
    for function in cases.DECLARATIONS:
        for args in cases.good(function, rng, GOOD_PER_FUNCTION):
            comparisons.append(_plain(function, args, "realistic input", sheet))
        for args, reason in cases.bad(function, rng):
            comparisons.append(_plain(function, args, reason, sheet))
        if "pk" in getattr(ambrel, function).__signature__.parameters:
            comparisons += _with_sets(function, rng, sheet)
    results = worksheet.run([c.formula for c in comparisons], sheet)
    by_function = {}
    for c, cells in zip(comparisons, results):
        by_function.setdefault(c.function, []).append((c, cells))
    return by_function


def test_every_argument_has_inputs():
    missing = [f"{f}: {p['name']}" for f, d in cases.DECLARATIONS.items() for p in d["parameters"]
               if p["name"] not in cases.INPUTS]
    assert not missing, "arguments without inputs in cases.INPUTS: " + ", ".join(missing)


@pytest.mark.parametrize("function", list(cases.DECLARATIONS))
def test_same_cells_as_the_worksheet(compared, function):
    rows = compared[function]
    assert len(rows) >= GOOD_PER_FUNCTION
    differ = []
    for c, cells in rows:
        mine = worksheet.python_cells(c.call)
        if not worksheet.same(mine, cells):
            differ.append(f"{c.reason}: {c.formula[:300]}\n  worksheet {str(cells)[:300]}\n  python    {str(mine)[:300]}")
    assert not differ, f"{len(differ)} of {len(rows)} calls differ:\n" + "\n".join(differ[:5])


def test_cases_reach_results_and_messages(compared):
    # A comparison of nothing but messages would prove little: most calls on
    # realistic input give numbers, and every kind of bad value gives a message.
    numbers = messages = 0
    for rows in compared.values():
        for c, cells in rows:
            if isinstance(cells[0][0], float):
                numbers += c.reason == "realistic input"
            else:
                messages += 1
    total = sum(len(r) for r in compared.values())
    realistic = sum(c.reason == "realistic input" for r in compared.values() for c, _ in r)
    assert numbers > 0.8 * realistic, (numbers, realistic)
    assert messages > 0.2 * (total - realistic), (messages, total)


# Excel's predictions stream their columns through the PK core's row loop,
# which never reads the first row's step or rate (nothing is given before time
# 0), and so leave an unconvertible cell there unreported; every other way
# converts every cell first. Python converts them all: its message is the one
# decrCe, which takes the same columns the ordinary way, gives in the worksheet.
@pytest.mark.parametrize("column", ["deltaTimes", "Rate"])
@pytest.mark.parametrize("cell", [float("nan"), "abc", None])
def test_row_zero_is_converted(column, cell):
    dt, rate, bolus = [0.0, 1.0, 1.0], [1.0, 1.0, 1.0], [0.0, 0.0, 0.0]
    columns = {"deltaTimes": dt, "Rate": rate}
    columns[column][0] = cell
    model = [0.1, 0.01, 0.001, 0.5, 0.05, 0.005]
    sheet = worksheet.Sheet()
    reference = worksheet.formula("decrCe", [worksheet.argument(a, sheet) for a in (dt, rate, bolus, [1.0, 1.0, 1.0])]
                                  + [worksheet._number(v) for v in model + [0.3]])
    expected = worksheet.run([reference], sheet)[0]
    assert expected[0][0]["text"].endswith(f", {column} Conversion to Double")
    for call in (lambda: ambrel.PredCp(dt, rate, bolus, *model), lambda: ambrel.PredCe(dt, rate, bolus, *model, 0.3),
                 lambda: ambrel.PredCpVCl(dt, rate, bolus, *ambrel.Hyb2Cl(model))):
        assert worksheet.python_cells(call) == expected


def test_comparison_tells_every_bit():
    x = 0.1
    assert worksheet.same([[x]], [[x]])
    assert not worksheet.same([[x]], [[float(np.nextafter(x, 1))]])
    assert not worksheet.same([[0.0]], [[-0.0]])
    # The worksheet shows a number that is not finite as #NUM!.
    assert worksheet.same([[float("nan")]], [[{"error": "#NUM!"}]])
    assert worksheet.same([[float("-inf")]], [[{"error": "#NUM!"}]])
    assert not worksheet.same([[float("inf")]], [[{"error": "#VALUE!"}]])
    assert not worksheet.same([[{"text": "a"}]], [[{"text": "b"}]])
    assert not worksheet.same([[x]], [[x], [x]])
