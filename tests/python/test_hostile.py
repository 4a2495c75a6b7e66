"""Whatever a caller hands over, a function answers with its result or a
ValueError with the worksheet's kind of message: random arguments from a pool
of odd Python values, into every function. A crash would end the test run."""

import datetime
import decimal
import fractions

import numpy as np
import pytest

import ambrel
import cases

RAGGED = [[1.0, 2.0], [3.0]]
SELF = []
SELF.append(SELF)

POOL = [
    None, True, False, 0, 1, -1, 2**70, -(2**1100), 0.0, -0.0, 1e-320, 1e308, -1e308, float("nan"), float("inf"),
    "", " ", "2.5", "TRUE", "x" * 1000, "\u00b5g/mL", b"bytes", bytearray(b"1"), {}, {"a": 1}, set(), object(),
    decimal.Decimal("1.5"), decimal.Decimal("NaN"), fractions.Fraction(1, 3), 1 + 2j, datetime.date(2020, 1, 1),
    (x for x in range(3)), range(5), range(0), [], [[]], [None], [None, None], RAGGED, SELF, [1, [2, [3]]],
    np.float32(2.5), np.int64(7), np.bool_(True), np.array(3.0), np.array([]), np.zeros((0, 3)),
    np.ones((2, 2, 2)), np.ones((1, 1, 5)), np.array([1, "a"], dtype=object), np.array(["1", "2"]),
    np.array([1 + 1j, 2]), np.array(["2020-01-01"], dtype="datetime64[D]"), np.array([True, False]),
    np.arange(10, dtype=np.uint8), np.arange(6.0).reshape(2, 3), np.arange(6.0).reshape(3, 2)[:, 1],
    np.full(3, np.nan), np.array([1.0, 2.0], dtype=np.float16), np.array([(1, 2.0)], dtype="i4,f8"),
    ambrel.PropSchnider(40, 70, 170, 55), ambrel.PropMarsh(70),
]


@pytest.mark.parametrize("function", list(cases.DECLARATIONS))
def test_odd_values_give_a_result_or_the_worksheets_kind_of_message(function):
    rng = np.random.default_rng(abs(hash(function)) % 2**32)
    f = getattr(ambrel, function)
    d = cases.DECLARATIONS[function]
    n = len(d["parameters"])
    for _ in range(150):
        good = cases.good(function, rng, 1)[0]
        args = [POOL[rng.integers(len(POOL))] if rng.random() < 0.4 else good[i] for i in range(n)]
        try:
            result = f(*args)
        except ValueError as e:
            assert str(e) and "\n" not in str(e)
            continue
        except TypeError as e:
            # A set in the model's place stands for its arguments: those
            # after it are too many.
            assert "the ParameterSet in the place of" in str(e), e
            assert any(isinstance(a, ambrel.ParameterSet) for a in args)
            continue
        shape = d["returns"]["shape"]
        if shape == "number":
            assert isinstance(result, float)
        elif shape == "text":
            assert isinstance(result, str)
        elif shape == "fixed column":
            assert isinstance(result, ambrel.ParameterSet)
        else:
            assert isinstance(result, np.ndarray) and result.ndim == 1 and result.size > 0
