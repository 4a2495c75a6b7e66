"""The Python functions, made from the worksheet functions' declarations.

Each declaration (name, arguments with kind, unit and meaning, result, messages)
gives one Python function of the same name and argument names, its signature and
its docstring. The call binds the arguments, lets a ParameterSet stand for the
model arguments it names, and hands every argument, in argument order, to the
declaration's entry, which converts them by the worksheet's argument contract.
"""

import inspect
import keyword

import numpy as np

from . import _ambrel
from ._docs import docstring
from ._sets import ParameterSet

# The keyword under which a ParameterSet can be given to a function that
# takes a model's six constants.
SET_KEYWORD = "pk"

_UNBOUND = object()


def _converters(declarations):
    """The functions that turn one model layout into another, by the names of
    the layout they return: a single column in, a fixed column out
    (Cl2Hyb gives A … l3, Hyb2Cl gives V1 … Cl3)."""
    found = {}
    for d in declarations:
        p = d["parameters"]
        if d["returns"]["shape"] == "fixed column" and len(p) == 1 and p[0]["kind"] == "column":
            found[tuple(name for name, _ in d["returns"]["rows"])] = d
    return found


def _block(declaration, layouts):
    """Where a function takes one of the layouts as consecutive numbers: the
    position of its first argument and the layout's names; or None."""
    names = [p["name"] for p in declaration["parameters"]]
    kinds = [p["kind"] for p in declaration["parameters"]]
    for layout in layouts:
        width = len(layout)
        for start in range(len(names) - width + 1):
            if tuple(names[start:start + width]) == layout and all(k == "number" for k in kinds[start:start + width]):
                return start, layout
    return None


class _Call:
    """Binds a call's arguments to the declaration's argument list."""

    def __init__(self, declaration, converters):
        self.name = declaration["name"]
        self.entry = declaration["entry"]
        self.names = [p["name"] for p in declaration["parameters"]]
        self.position = {n: i for i, n in enumerate(self.names)}
        self.converters = converters
        self.block = _block(declaration, list(converters))
        # Arguments from the model's first one on may be left out (None, as
        # an empty cell), so that a set can stand for them.
        self.first_optional = self.block[0] if self.block else len(self.names)
        for p in declaration["parameters"]:
            if p["kind"] == "optional flag":
                self.first_optional = min(self.first_optional, self.names.index(p["name"]))
        shape = declaration["returns"]
        self.rows = tuple(name for name, _ in shape["rows"]) if shape["shape"] == "fixed column" else None

    def __call__(self, args, kwargs):
        values = self.bind(args, kwargs)
        result = self.entry(*values)
        if self.rows is not None:
            return ParameterSet._adopt(self.rows[:len(result)], result)
        return result

    def bind(self, args, kwargs):
        n = len(self.names)
        block = self.block
        if not kwargs and len(args) == n and not (block and isinstance(args[block[0]], ParameterSet)):
            return args
        values = [_UNBOUND] * n
        from_set = set()
        i = 0
        for a in args:
            if i >= n:
                if from_set:
                    filled = ", ".join(self.names[j] for j in sorted(from_set))
                    raise TypeError(f"{self.name}() got too many arguments: the ParameterSet in the place of "
                                    f"{block[1][0]} stands for {filled}")
                raise TypeError(f"{self.name}() takes {n} arguments, {len(args)} given")
            if block and i == block[0] and isinstance(a, ParameterSet):
                i = self.fill(values, from_set, a)
            else:
                values[i] = a
                i += 1
        for key, a in kwargs.items():
            if key == SET_KEYWORD and block:
                if any(values[j] is not _UNBOUND for j in range(block[0], block[0] + len(block[1]))):
                    raise TypeError(f"{self.name}() got the model both as {SET_KEYWORD} and as arguments")
                if not isinstance(a, ParameterSet):
                    raise TypeError(f"{self.name}() takes a ParameterSet as {SET_KEYWORD}, not {type(a).__name__}")
                self.fill(values, from_set, a)
                continue
            j = self.position.get(key)
            if j is None:
                raise TypeError(f"{self.name}() got an unexpected keyword argument {key!r}")
            if j in from_set:
                raise TypeError(f"{self.name}() got {key} both from the parameter set and as an argument; "
                                f"give the set with another {key} by its replace()")
            if values[j] is not _UNBOUND:
                raise TypeError(f"{self.name}() got multiple values for argument {key!r}")
            values[j] = a
        for j in range(n):
            if values[j] is _UNBOUND:
                if j < self.first_optional:
                    raise TypeError(f"{self.name}() missing required argument {self.names[j]!r}")
                values[j] = None
        return values

    def fill(self, values, from_set, pk):
        """Puts the set's values in the block's place, turned into the block's
        layout by the function that converts between the two where the set is
        of the other, and its further values (ke0) into the arguments of their
        names right after the block; returns the position after them."""
        start, layout = self.block
        names, numbers = pk.names, np.asarray(pk)
        if names[:len(layout)] == layout:
            constants = numbers[:len(layout)].tolist()
            width = len(layout)
        else:
            source = next((s for s in self.converters if s != layout and names[:len(s)] == s), None)
            if source is None:
                raise TypeError(f"{self.name}() takes a set of {', '.join(layout)}; this one has {', '.join(names)}")
            constants = self.converters[layout]["entry"](numbers[:len(source)]).tolist()
            width = len(source)
        for k, v in enumerate(constants):
            values[start + k] = v
            from_set.add(start + k)
        extra = dict(zip(names[width:], numbers[width:].tolist()))
        i = start + len(layout)
        while i < len(self.names) and self.names[i] in extra:
            values[i] = extra[self.names[i]]
            from_set.add(i)
            i += 1
        return i


def _signature(call, declaration):
    parameters = []
    for i, p in enumerate(declaration["parameters"]):
        default = None if i >= call.first_optional else inspect.Parameter.empty
        parameters.append(inspect.Parameter(p["name"], inspect.Parameter.POSITIONAL_OR_KEYWORD, default=default))
    if call.block:
        parameters.append(inspect.Parameter(SET_KEYWORD, inspect.Parameter.KEYWORD_ONLY, default=None))
    return inspect.Signature(parameters)


def make_function(declaration, converters):
    """The Python function of one declaration."""
    for p in declaration["parameters"]:
        if not p["name"].isidentifier() or keyword.iskeyword(p["name"]) or p["name"] == SET_KEYWORD:
            raise ImportError(f"{declaration['name']}: argument {p['name']!r} cannot be a Python argument name")
    call = _Call(declaration, converters)

    def function(*args, **kwargs):
        return call(args, kwargs)

    function.__name__ = function.__qualname__ = declaration["name"]
    function.__module__ = "ambrel"
    function.__signature__ = _signature(call, declaration)
    function.__doc__ = docstring(declaration, call)
    function.declaration = {k: v for k, v in declaration.items() if k != "entry"}
    return function


def make_functions():
    """Every worksheet function of both add-ins, by name, in the add-ins' order."""
    declarations = _ambrel.declarations()
    converters = _converters(declarations)
    functions = {}
    for d in declarations:
        if d["name"] in functions:
            raise ImportError(f"two worksheet functions are called {d['name']}")
        functions[d["name"]] = make_function(d, converters)
    return functions
