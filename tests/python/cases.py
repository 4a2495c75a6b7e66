"""Inputs for every worksheet function, made from its declaration: its
arguments, in order, each filled by the input table below for its name, with
realistic values drawn at random (drug models at random patients, dosing
schemes of random steps, rates, boluses and targets), then bad values of each
argument's kind put in one argument at a time.

A function whose argument has no entry in INPUTS is a function these tests do
not cover yet: test_every_argument_has_inputs fails for it.
"""

import math

import numpy as np

import ambrel

DECLARATIONS = {name: getattr(ambrel, name).declaration for a in ambrel.addins.values() for name in a}
MODELS = [name for name, d in DECLARATIONS.items() if d["model"]]
HYBRID = ("A", "B", "C", "l1", "l2", "l3")
VOLCL = ("V1", "V2", "V3", "Cl1", "Cl2", "Cl3")


class Scenario:
    """A patient's model and a dosing scheme of n rows."""

    def __init__(self, rng):
        self.rng = rng
        self.pk = self._model()
        self.hybrid = np.asarray(ambrel.Cl2Hyb(self.pk[:6]))
        self.ke0 = self.pk.ke0 if "ke0" in self.pk.names else float(rng.uniform(0.05, 1.5))
        self.n = int(rng.choice([1, 2, 3, int(rng.integers(4, 60)), int(rng.integers(60, 400))]))

    def _model(self):
        # A drug model that accepts the patient (ModelCheck "OK"), at covariates
        # drawn over adults and children.
        rng = self.rng
        for _ in range(200):
            name = str(rng.choice(MODELS))
            age, weight, height = rng.uniform(1, 85), rng.uniform(10, 140), rng.uniform(80, 200)
            male = bool(rng.integers(2))
            if ambrel.ModelCheck(name, age, weight, height, male) != "OK":
                continue
            values = {"Age": age, "age": age, "Weight": weight, "weight": weight, "mass": weight,
                      "Height": height, "height": height, "LBM": ambrel.JLBM(weight, height, male),
                      "pma": age + 40 / 52, "MALE": male, "male": male, "patient": True, "venous": False,
                      "opiates": True}
            pk = getattr(ambrel, name)(*[values[p["name"]] for p in DECLARATIONS[name]["parameters"]])
            if pk.V1 > 0 and pk.Cl1 > 0:
                return pk
        raise RuntimeError("no model accepted a patient")

    def steps(self):
        rng, n = self.rng, self.n
        kind = rng.integers(4)
        if kind == 0:
            dt = np.full(n, 1 / 6)
        elif kind == 1:
            dt = rng.uniform(0, 3, n)
        elif kind == 2:
            dt = rng.choice([0.0, 0.25, 1 / 6, 1.0, 10.0], n)
        else:
            dt = np.round(rng.exponential(2, n), 2)
        dt[0] = 0.0
        return dt

    def rates(self):
        r = self.rng.uniform(0, 200, self.n)
        r[self.rng.random(self.n) < 0.3] = 0
        return r

    def boluses(self):
        b = np.zeros(self.n)
        b[self.rng.random(self.n) < 0.1] = self.rng.uniform(1, 150)
        if self.rng.random() < 0.5:
            b[0] = self.rng.uniform(10, 200)
        return b

    def concentrations(self, high=8.0):
        c = self.rng.uniform(0, high, self.n)
        c[self.rng.random(self.n) < 0.1] = 0
        return c

    def targets(self):
        levels = self.rng.choice([0.0, 1.0, 2.5, 3.0, 4.0, 6.0], max(1, self.n // 30 + 1))
        t = np.repeat(levels, 30)[:self.n]
        return np.resize(t, self.n)

    def durations(self):
        k = int(self.rng.integers(1, 12))
        return np.sort(self.rng.uniform(0, 600, k))


def _positive(low, high):
    return lambda s: float(s.rng.uniform(low, high))


def _layout_for_param(s, function):
    # Cl2Hyb takes volumes and clearances, Hyb2Cl hybrid constants: the other
    # layout than the one the function returns.
    rows = tuple(n for n, _ in DECLARATIONS[function]["returns"]["rows"])
    return s.pk[:6] if rows == HYBRID else s.hybrid.copy()


# Inputs by argument name: (scenario, function name) -> a value.
INPUTS = {
    "deltaTimes": lambda s, f: s.steps(),
    "Rate": lambda s, f: s.rates(),
    "IVBolus": lambda s, f: s.boluses(),
    "targetConc": lambda s, f: s.targets(),
    "decrConc": lambda s, f: s.concentrations(4) + 0.05,
    "Times": lambda s, f: s.durations(),
    "param": _layout_for_param,
    "concEff": lambda s, f: s.concentrations(),
    "BIS": lambda s, f: s.rng.uniform(1, 92, s.n),
    "CeA": lambda s, f: s.concentrations(),
    "CeB": lambda s, f: s.concentrations(10),
    "CeHypnotic": lambda s, f: s.concentrations(),
    "CeOpioid": lambda s, f: s.concentrations(10),
    **{name: (lambda k: lambda s, f: float(s.hybrid[k]))(k) for k, name in enumerate(HYBRID)},
    **{name: (lambda k: lambda s, f: float(s.pk[k]))(k) for k, name in enumerate(VOLCL)},
    "ke0": lambda s, f: s.ke0,
    "maxRate": lambda s, f: float(s.rng.choice([200.0, s.rng.uniform(5, 1000)])),
    "decr": lambda s, f: float(s.rng.choice([50.0, 80.0, s.rng.uniform(1, 99)])),
    "peak_time": lambda s, f: _positive(0.5, 6)(s),
    "eZero": lambda s, f: _positive(80, 100)(s),
    "eMax": lambda s, f: _positive(0, 20)(s),
    "IC50": lambda s, f: _positive(1, 5)(s),
    "gam": lambda s, f: _positive(1, 5)(s),
    "C50A": lambda s, f: _positive(1, 8)(s),
    "C50B": lambda s, f: _positive(1, 8)(s),
    "gamma": lambda s, f: _positive(1, 5)(s),
    "alpha": lambda s, f: float(s.rng.uniform(-0.5, 3)),
    "C50Hypnotic": lambda s, f: _positive(1, 8)(s),
    "gammaHypnotic": lambda s, f: _positive(1, 8)(s),
    "C50Opioid": lambda s, f: _positive(0.5, 5)(s),
    "gammaOpioid": lambda s, f: _positive(0.5, 3)(s),
    "stimulus": lambda s, f: _positive(0.5, 4)(s),
    "Weight": lambda s, f: _positive(3, 150)(s),
    "weight": lambda s, f: _positive(3, 150)(s),
    "mass": lambda s, f: _positive(3, 60)(s),
    "Height": lambda s, f: _positive(50, 200)(s),
    "height": lambda s, f: _positive(50, 200)(s),
    "Age": lambda s, f: _positive(0.5, 90)(s),
    "age": lambda s, f: _positive(0.5, 90)(s),
    "pma": lambda s, f: _positive(0.8, 90)(s),
    "LBM": lambda s, f: _positive(10, 80)(s),
    "MALE": lambda s, f: bool(s.rng.integers(2)),
    "male": lambda s, f: bool(s.rng.integers(2)),
    "patient": lambda s, f: bool(s.rng.integers(2)),
    "venous": lambda s, f: bool(s.rng.integers(2)),
    "opiates": lambda s, f: bool(s.rng.integers(2)),
    "model": lambda s, f: str(s.rng.choice(MODELS)),
}


def _as_given(value, rng):
    """A column as a caller may hand it over: an array of its own layout, a
    list, a slice of a larger array, a row, integers where they are whole."""
    if not isinstance(value, np.ndarray):
        return value
    how = rng.integers(8)
    if how == 6:
        return np.ascontiguousarray(value[::-1])[::-1]  # read backwards in memory
    if how == 7:
        return value.astype(">f8")  # the other byte order
    if how == 0:
        return value.tolist()
    if how == 1:
        wide = np.empty(2 * value.size)
        wide[::2] = value
        return wide[::2]  # not contiguous: read where it lies
    if how == 2:
        return value.reshape(1, -1)  # a row
    if how == 3:
        return value.reshape(-1, 1)  # a column of a 2-D array
    if how == 4 and np.all(value == np.round(value)) and np.all(np.abs(value) < 2**53):
        return value.astype(np.int64)
    return value


def good(function, rng, count):
    """count calls of the function on realistic inputs."""
    d = DECLARATIONS[function]
    cases = []
    for _ in range(count):
        s = Scenario(rng)
        cases.append([_as_given(INPUTS[p["name"]](s, function), rng) for p in d["parameters"]])
    return cases


# Bad values by argument kind, each with a reason.
BAD = {
    "column": [
        (None, "left out"),
        ([], "no range at all"),
        ([[]], "a row of nothing: no range at all"),
        (np.zeros((0, 1)), "an array of no rows"),
        ("set", "an empty cell inside"),
        ("nan", "NaN inside: an error cell"),
        ("inf", "infinity inside: an error cell"),
        ([[1.0, 2.0], [3.0, 4.0]], "two rows and two columns"),
        ([1.0, "abc"], "a text that is no number"),
        ([" 2.5"], "a text that reads as a number"),
        ("abc", "a single text"),
        (True, "a single flag"),
        (2.0, "a single number: a column of one"),
        ([1.0, True], "a flag inside"),
        (["abc"], "a column of one text"),
        (float("nan"), "a single NaN"),
    ],
    "number": [
        (None, "left out: 0"),
        ("abc", "a text: #VALUE!"),
        (" 2.5", "a text that reads as a number"),
        ("1e400", "a text beyond a double"),
        (True, "a flag: 1"),
        (float("nan"), "NaN: #NUM!"),
        (float("-inf"), "infinity: #NUM!"),
        ([1.0], "an array: #VALUE!"),
        (0.0, "zero"),
        (-1.0, "negative"),
    ],
    "flag": [
        (None, "left out"),
        ("yes", "a text that is no flag"),
        ("true", "TRUE in any case"),
        (" 0 ", "a text that reads as a number"),
        (2.0, "a number: not 0 is TRUE"),
        (0, "0 is FALSE"),
        (float("nan"), "NaN: an error cell"),
        ([True], "an array"),
    ],
    "optional flag": [
        (None, "left out: not given"),
        ("maybe", "a text that is no flag"),
        (float("nan"), "NaN: an error cell"),
        (1.0, "a number"),
    ],
    "text": [
        (None, "left out"),
        (5.0, "a number"),
        (True, "a flag"),
        ("PROPMARSH", "a name in another case"),
        ("nonsense", "no function's name"),
        (["PropMarsh"], "an array"),
        ("", "an empty text"),
    ],
}


def _first_row_unread(declaration, parameter, value):
    """A bad cell that would stand in the first row of a prediction's step or
    rate, which Excel's predictions never read (test_row_zero_is_converted)."""
    if value is None or not declaration["row_form"] or parameter["name"] not in ("deltaTimes", "Rate"):
        return False
    cells = np.ravel(np.asarray(value, dtype=object))
    if len(cells) != 1:
        return False
    return isinstance(cells[0], str) or (isinstance(cells[0], float) and not math.isfinite(cells[0]))


def bad(function, rng):
    """(arguments, reason): a good call with one argument replaced by each
    bad value of its kind."""
    d = DECLARATIONS[function]
    cases = []
    for i, p in enumerate(d["parameters"]):
        base = good(function, rng, 1)[0]
        base = [np.asarray(v, dtype=float) if isinstance(v, list) else v for v in base]
        for value, why in BAD[p["kind"]]:
            if _first_row_unread(d, p, value):
                continue
            args = list(base)
            length = len(np.ravel(base[i])) if p["kind"] == "column" else 1
            if isinstance(value, str) and value in ("set", "nan", "inf") and p["kind"] == "column":
                # Past the first row: Excel's predictions never read the
                # first row's step and rate (test_row_zero_is_converted); a
                # column of one row gets a second.
                column = np.ravel(np.asarray(base[i], dtype=float)).tolist()
                if length == 1:
                    column.append(0.0)
                k = int(rng.integers(1, len(column)))
                column[k] = None if value == "set" else float(value)
                value = column
            args[i] = value
            cases.append((args, f"{p['name']}: {why}"))
    return cases
