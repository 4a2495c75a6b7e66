"""Ambrel and Corvel in Python: every worksheet function of both add-ins.

The same routines, drug models and messages as the Excel add-ins and the
LibreOffice extension, under the worksheet names and argument names::

    import numpy as np
    import ambrel

    pk = ambrel.PropSchnider(40, 70, 170, ambrel.JLBM(70, 170, True))
    dt = np.r_[0.0, np.full(360, 1 / 6)]           # 60 minutes in 10-second rows
    rates = ambrel.TciCe(dt, np.r_[0.0, np.full(360, 3.0)], 200, pk)
    ce = ambrel.PredCe(dt, rates, np.zeros(361), pk)

Columns are NumPy arrays (or sequences) and come back as NumPy arrays of
float64; a drug model gives a ParameterSet (V1 … ke0 by name), which the PK
functions take in the place of their six constants. Bad input raises
ValueError with the worksheet's message. The routines run without the
interpreter lock, so threads compute side by side.

Units are the caller's and never converted: minutes, mg, litres (so mg/L =
µg/mL) as in the declarations; covariates in kg, cm and years.
"""

from importlib import metadata as _metadata

from ._functions import make_functions as _make_functions
from ._sets import ParameterSet

try:
    __version__ = _metadata.version("ambrel")
except _metadata.PackageNotFoundError:  # not installed: a build tree's copy
    __version__ = "unknown"

_functions = _make_functions()
globals().update(_functions)

#: The worksheet functions of each add-in, by name, in the add-in's order.
addins = {}
for _f in _functions.values():
    addins.setdefault(_f.declaration["addin"], []).append(_f.__name__)
addins = {name: tuple(names) for name, names in addins.items()}

__all__ = ["ParameterSet", "addins", *_functions]
del _f
