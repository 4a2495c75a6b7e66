"""The package as a Python user meets it: one function per declaration with
its argument names, docstrings that carry the declarations' units and
messages, the ParameterSet, and the ways a model can be given."""

import inspect
import pickle

import numpy as np
import pytest

import ambrel
import cases


def test_one_function_per_declaration_with_its_argument_names():
    names = [n for a in ambrel.addins.values() for n in a]
    assert set(ambrel.addins) == {"Ambrel", "Corvel"}
    assert len(names) == len(set(names)) == len(cases.DECLARATIONS)
    for name in names:
        f = getattr(ambrel, name)
        d = f.declaration
        assert f.__name__ == d["name"] == name and f.__module__ == "ambrel"
        signature = [p for p in inspect.signature(f).parameters if p != "pk"]
        assert signature == [p["name"] for p in d["parameters"]]
        assert name in ambrel.__all__


def test_docstrings_carry_units_results_and_every_message():
    for name, d in cases.DECLARATIONS.items():
        doc = " ".join(getattr(ambrel, name).__doc__.split())
        for p in d["parameters"]:
            assert f"{p['name']} :" in doc
            if p["unit"]:
                assert p["unit"] in doc
            assert " ".join(p["empty"].split()) in doc
        if d["returns"]["unit"]:
            assert d["returns"]["unit"] in doc
        for text, remedy in list(d["messages"]) + [m for p in d["parameters"] for m in p["messages"]]:
            assert f'"{" ".join(text.split())}"' in doc, (name, text)
            if remedy:
                assert " ".join(remedy.split()) in doc


def test_only_model_arguments_and_optional_flags_may_be_left_out():
    for name, d in cases.DECLARATIONS.items():
        parameters = inspect.signature(getattr(ambrel, name)).parameters
        required = [n for n, p in parameters.items() if p.default is inspect.Parameter.empty]
        first = required[-1] if required else None
        # Everything before the model (or before an optional flag) is required.
        assert all(parameters[n].default is inspect.Parameter.empty for n in list(parameters)[:len(required)])
        if "pk" in parameters:
            assert "A" in parameters or "V1" in parameters
            assert list(parameters).index("A" if "A" in parameters else "V1") == len(required), name
        elif first is not None:
            assert len(required) == len(d["parameters"]) - sum(p["kind"] == "optional flag" for p in d["parameters"])
    with pytest.raises(TypeError, match="missing required argument 'LBM'"):
        ambrel.PropSchnider(40, 70, 170)
    with pytest.raises(TypeError, match="takes 4 arguments"):
        ambrel.PropSchnider(40, 70, 170, 55, 1)
    with pytest.raises(TypeError, match="unexpected keyword argument 'lbm'"):
        ambrel.PropSchnider(40, 70, 170, lbm=55)
    with pytest.raises(TypeError, match="multiple values"):
        ambrel.PropSchnider(40, 70, 170, 55, Age=40)


SCHNIDER = ambrel.PropSchnider(40, 70, 170, ambrel.JLBM(70, 170, True))
HYBRID = ambrel.Cl2Hyb(SCHNIDER[:6])
DT = np.r_[0.0, np.full(60, 1 / 6)]
TARGET = np.r_[0.0, np.full(60, 3.0)]


def bits(x):
    return np.asarray(x, dtype=np.float64).view(np.uint64).tolist()


def test_a_set_stands_for_the_model_arguments_it_names():
    explicit = ambrel.TciCe(DT, TARGET, 200, *HYBRID, SCHNIDER.ke0)
    ways = {
        "drug model in A's place": ambrel.TciCe(DT, TARGET, 200, SCHNIDER),
        "drug model as pk": ambrel.TciCe(DT, TARGET, 200, pk=SCHNIDER),
        "all by name": ambrel.TciCe(deltaTimes=DT, targetConc=TARGET, maxRate=200, pk=SCHNIDER),
        "hybrid set, ke0 after it": ambrel.TciCe(DT, TARGET, 200, HYBRID, SCHNIDER.ke0),
        "hybrid set, ke0 by name": ambrel.TciCe(DT, TARGET, 200, pk=HYBRID, ke0=SCHNIDER.ke0),
        "worksheet names": ambrel.TciCe(DT, TARGET, 200, A=HYBRID.A, B=HYBRID.B, C=HYBRID.C, l1=HYBRID.l1,
                                        l2=HYBRID.l2, l3=HYBRID.l3, ke0=SCHNIDER.ke0),
    }
    for way, rates in ways.items():
        assert bits(rates) == bits(explicit), way
    # The set's ke0 fills ke0, and what follows it comes next: decr here.
    assert ambrel.CsDtCe([10, 60], SCHNIDER, 50).tolist() == ambrel.CsDtCe([10, 60], *HYBRID, SCHNIDER.ke0, 50).tolist()
    # Hybrid constants where volumes and clearances are taken: through Hyb2Cl.
    volcl = ambrel.Hyb2Cl(HYBRID[:6])
    zeros = np.zeros(61)
    assert bits(ambrel.PredCpVCl(DT, TARGET, zeros, HYBRID)) == bits(ambrel.PredCpVCl(DT, TARGET, zeros, *volcl))
    assert bits(ambrel.PredCpVCl(DT, TARGET, zeros, SCHNIDER)) == bits(ambrel.PredCpVCl(DT, TARGET, zeros, *SCHNIDER[:6]))


def test_a_set_and_an_argument_of_the_same_name_do_not_mix():
    with pytest.raises(TypeError, match="ke0 both from the parameter set"):
        ambrel.TciCe(DT, TARGET, 200, SCHNIDER, ke0=0.26)
    with pytest.raises(TypeError, match="both as pk and as arguments"):
        ambrel.TciCe(DT, TARGET, 200, HYBRID.A, pk=HYBRID)
    with pytest.raises(TypeError, match="takes a ParameterSet as pk"):
        ambrel.TciCe(DT, TARGET, 200, pk=list(HYBRID))
    with pytest.raises(TypeError, match="the ParameterSet in the place of A stands for A, B, C, l1, l2, l3, ke0"):
        ambrel.TciCe(DT, TARGET, 200, SCHNIDER, 0.26)  # the set has a ke0 already
    other = ambrel.TciCe(DT, TARGET, 200, SCHNIDER.replace(ke0=0.26))
    assert bits(other) == bits(ambrel.TciCe(DT, TARGET, 200, *HYBRID, 0.26))
    # A set of six without ke0 leaves ke0 to the caller: left out, it is 0.
    with pytest.raises(ValueError, match="Check PK parameters!"):
        ambrel.TciCe(DT, TARGET, 200, HYBRID)


def test_a_set_in_a_column_argument_is_its_column():
    # As on the worksheet: a drug model's column of seven is refused by
    # Cl2Hyb, its first six rows are taken.
    with pytest.raises(ValueError, match="We need exactly 6 parameters!"):
        ambrel.Cl2Hyb(SCHNIDER)
    assert ambrel.Cl2Hyb(ambrel.PropMarsh(70)) == ambrel.Cl2Hyb(list(ambrel.PropMarsh(70)))


def test_parameter_set():
    pk = SCHNIDER
    assert pk.names == ("V1", "V2", "V3", "Cl1", "Cl2", "Cl3", "ke0")
    assert len(pk) == 7 and pk[0] == pk.V1 and pk[-1] == pk.ke0 == 0.456
    assert list(pk) == [pk.V1, pk.V2, pk.V3, pk.Cl1, pk.Cl2, pk.Cl3, pk.ke0]
    assert isinstance(pk[:6], np.ndarray) and pk[:6].tolist() == list(pk)[:6]
    array = np.asarray(pk)
    assert array.dtype == np.float64 and not array.flags.writeable
    assert pk.as_dict()["Cl1"] == pk.Cl1
    assert "ke0" in dir(pk)
    with pytest.raises(AttributeError, match="immutable"):
        pk.V1 = 5
    with pytest.raises(AttributeError, match="no 'A'"):
        pk.A
    changed = pk.replace(ke0=0.26)
    assert changed.ke0 == 0.26 and pk.ke0 == 0.456 and changed.V1 == pk.V1 and changed != pk
    assert pickle.loads(pickle.dumps(pk)) == pk
    assert eval(repr(pk), {"ParameterSet": ambrel.ParameterSet}) == pk
    # Six rows where the model has no ke0.
    assert ambrel.PropMarsh(70).names == ("V1", "V2", "V3", "Cl1", "Cl2", "Cl3")
    assert HYBRID.names == ("A", "B", "C", "l1", "l2", "l3")


def test_results_are_new_float64_arrays():
    dt = DT.copy()
    rates = ambrel.TciCe(dt, TARGET, 200, SCHNIDER)
    ce = ambrel.PredCe(dt, rates, np.zeros(61), SCHNIDER)
    for result in (rates, ce):
        assert isinstance(result, np.ndarray) and result.dtype == np.float64 and result.shape == (61,)
        assert result.flags.writeable and result.flags.c_contiguous
        assert not np.shares_memory(result, dt)
    assert bits(dt) == bits(DT)  # the caller's columns are left as they were
    assert isinstance(ambrel.JLBM(70, 170, True), float)
    assert ambrel.ModelCheck("PropSchnider", 40, 70, 170, True) == "OK"


class Refusing:
    def __float__(self):
        raise KeyboardInterrupt


def test_an_exception_of_the_callers_value_goes_through_as_it_is():
    with pytest.raises(KeyboardInterrupt):
        ambrel.BMI(Refusing(), 170)


def test_a_value_that_is_no_number_is_refused_with_the_contracts_message():
    with pytest.raises(ValueError, match=r"^command failed, Rate Conversion to Double$"):
        ambrel.PredCp([0, 1], [1, object()], [0, 0], 0.1, 0, 0, 0.2, 0, 0)
    with pytest.raises(ValueError, match=r"^#VALUE!: A has to be a number$"):
        ambrel.PredCp([0, 1], [1, 1], [0, 0], {}, 0, 0, 0.2, 0, 0)


@pytest.mark.parametrize("name", ["PredCp", "PredCe", "PredCpVCl"])
def test_predictions_on_arrays_in_place_equal_the_ordinary_way(name):
    # A float64 array is read where it lies by the row loop, one of another
    # byte order from a converted copy; a list goes the ordinary way, through
    # the contract's conversion and the routine. Long random schemes, bit for
    # bit.
    rng = np.random.default_rng(5)
    f = getattr(ambrel, name)
    for _ in range(5):
        n = int(rng.integers(1, 200_000))
        dt = np.round(rng.exponential(1, n), 3)
        rate = rng.uniform(0, 100, n) * (rng.random(n) < 0.7)
        bolus = rng.uniform(0, 50, n) * (rng.random(n) < 0.05)
        pk = ambrel.PropEleveldFinal(*rng.uniform([40, 150], [120, 190]), 45.8, 45, True, False, True, True)
        in_place = f(dt, rate, bolus, pk)
        for other in ((dt.tolist(), rate.tolist(), bolus.tolist()),
                      (dt.astype(">f8"), rate, bolus),
                      (np.ascontiguousarray(dt[::-1])[::-1], rate.reshape(1, -1), bolus.reshape(-1, 1))):
            assert bits(f(*other, pk)) == bits(in_place)


@pytest.mark.parametrize("name", ["PredCp", "PredCe", "PredCpVCl"])
def test_predictions_on_arrays_in_place_refuse_a_negative_step(name):
    # The row loop tells of a negative step after the first row when it is
    # done; the numbers it wrote meanwhile are no course (time ran backwards)
    # and must not come back, in any layout.
    f = getattr(ambrel, name)
    dt, rate, bolus = np.array([0.0, 1.0, -1.0, 1.0]), np.array([0.0, 5.0, 5.0, 5.0]), np.array([10.0, 0, 0, 0])
    layouts = {
        "list": (dt.tolist(), rate.tolist(), bolus.tolist()),
        "contiguous": (dt, rate, bolus),
        "strided": (np.repeat(dt, 2)[::2], np.repeat(rate, 2)[::2], np.repeat(bolus, 2)[::2]),
        "other byte order": (dt.astype(">f8"), rate, bolus),
        "row and column": (dt.reshape(1, -1), rate.reshape(-1, 1), bolus),
    }
    for layout, columns in layouts.items():
        with pytest.raises(ValueError, match=r"^Time steps cannot be negative!$"):
            f(*columns, SCHNIDER)
            pytest.fail(f"a result for {layout}")
