"""Named columns: a drug model's parameter set, the hybrid constants."""

from collections.abc import Sequence

import numpy as np


class ParameterSet(Sequence):
    """A model's parameters by name, as a worksheet function returns them in a column.

    A drug model gives V1, V2, V3 (L), Cl1, Cl2, Cl3 (L/min) and, where the model
    has one, ke0 (1/min); Cl2Hyb gives the hybrid constants A, B, C (1/L) and
    l1, l2, l3 (1/min). Read a value by name (``pk.V1``, ``pk.ke0``) or by
    position (``pk[0]``); ``numpy.asarray(pk)`` and ``list(pk)`` give the column.

    Functions that take the six hybrid constants (or V1 … Cl3) take a set in
    their place, in the position of the first of them or as ``pk=``; a set of
    volumes and clearances is turned into hybrid constants by Cl2Hyb, as on the
    worksheet, and its ke0 goes to the function's ke0. A set is immutable:
    ``pk.replace(ke0=0.26)`` gives a new one. A model of your own:
    ``ParameterSet(V1=4.27, V2=23.98, V3=238, Cl1=1.64, Cl2=1.6, Cl3=0.84, ke0=0.456)``.
    """

    __slots__ = ("_names", "_values")

    def __init__(self, *names_and_values, **values):
        """ParameterSet(V1=4.27, V2=23.98, …, ke0=0.456), or ParameterSet(names, values)."""
        if names_and_values and values or len(names_and_values) not in (0, 2):
            raise TypeError("ParameterSet(V1=…, V2=…, …) or ParameterSet(names, values)")
        names, values = names_and_values if names_and_values else (values.keys(), list(values.values()))
        names = tuple(names)
        values = np.array(values, dtype=np.float64)
        if values.shape != (len(names),):
            raise ValueError(f"{len(names)} names for {values.size} values")
        values.flags.writeable = False
        object.__setattr__(self, "_names", names)
        object.__setattr__(self, "_values", values)

    @classmethod
    def _adopt(cls, names, values):
        """A set over a fresh float64 array of the right length, taken as it is."""
        new = object.__new__(cls)
        values.flags.writeable = False
        object.__setattr__(new, "_names", names)
        object.__setattr__(new, "_values", values)
        return new

    @property
    def names(self):
        """The names of the values, in order: ('V1', 'V2', …)."""
        return self._names

    def __getattr__(self, name):
        # Only for names that are no attribute of the class: the values.
        try:
            return float(self._values[self._names.index(name)])
        except ValueError:
            raise AttributeError(f"this set has no {name!r}; it has {', '.join(self._names)}") from None

    def __setattr__(self, name, value):
        raise AttributeError("a ParameterSet is immutable: use replace()")

    def __dir__(self):
        return sorted(set(super().__dir__()) | set(self._names))

    def __len__(self):
        return len(self._names)

    def __getitem__(self, index):
        if isinstance(index, slice):
            return self._values[index].copy()
        return float(self._values[index])

    def __iter__(self):
        return iter(self._values.tolist())

    def __array__(self, dtype=None, copy=None):
        if dtype is None or np.dtype(dtype) == self._values.dtype:
            return self._values
        return self._values.astype(dtype)

    def replace(self, **values):
        """A copy with some values changed: ``pk.replace(ke0=0.26)``."""
        unknown = set(values) - set(self._names)
        if unknown:
            raise AttributeError(f"this set has no {', '.join(sorted(unknown))}; it has {', '.join(self._names)}")
        new = [values.get(n, v) for n, v in zip(self._names, self._values.tolist())]
        return ParameterSet(self._names, new)

    def as_dict(self):
        """The values by name, in order."""
        return dict(zip(self._names, self._values.tolist()))

    def __eq__(self, other):
        if not isinstance(other, ParameterSet):
            return NotImplemented
        return self._names == other._names and bool(np.array_equal(self._values, other._values))

    __hash__ = None

    def __repr__(self):
        return "ParameterSet(" + ", ".join(f"{n}={v!r}" for n, v in zip(self._names, self._values.tolist())) + ")"

    def __reduce__(self):
        return (ParameterSet, (self._names, self._values.tolist()))
