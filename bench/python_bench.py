#!/usr/bin/env python3
"""What Python costs on top of the C++ core, per call, for the 12-hour
effect-site TCI in 10-second rows (4,321 rows) of the README's propofol
patient, and the time of the 10,000-patient example.

Each round times every call through the package (ambrel) and the same call on
the PK core from C++ (ambrel_core_bench: the columns passed by value, as a C++
caller passes them), one after the other in this process; the ratio is taken
within the round, and the median over the rounds is printed with the spread
(smallest..largest). The population example, and sixteen twelve-hour plans,
run once per round with one thread and with two.

usage: PYTHONPATH=build/python bench/python_bench.py [--rounds N]
"""

import argparse
import statistics
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np

import ambrel
import ambrel_core_bench as core

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
import propofol_population as population  # noqa: E402

ROWS = 4321
DT = np.r_[0.0, np.full(ROWS - 1, 1 / 6)]
TARGET = np.r_[0.0, np.full(ROWS - 1, 3.0)]
BOLUS = np.zeros(ROWS)
PK = ambrel.PropSchnider(40, 70, 170, ambrel.JLBM(70, 170, True))
HYBRID = list(ambrel.Cl2Hyb(PK[:6]))
KE0 = PK.ke0
RATES = ambrel.TciCe(DT, TARGET, 200, PK)
AS_LISTS = (DT.tolist(), RATES.tolist(), BOLUS.tolist())


def per_call(fn, seconds=0.05):
    """Seconds per call of fn, over as many calls as fill about `seconds`."""
    fn()
    n, start = 0, time.perf_counter()
    while True:
        fn()
        n += 1
        elapsed = time.perf_counter() - start
        if elapsed >= seconds:
            return elapsed / n


def repeats_for(seconds_per_call, seconds=0.05):
    return max(1, int(seconds / max(seconds_per_call, 1e-9)))


# label: (the call through Python, the same on the core: repeats -> seconds per call)
CALLS = {
    "TciCe, 4,321 rows": (
        lambda: ambrel.TciCe(DT, TARGET, 200, *HYBRID, KE0),
        lambda r: core.TciCe(DT, TARGET, 200, HYBRID, KE0, r)),
    "TciCe, 4,321 rows, the model as a set": (
        lambda: ambrel.TciCe(DT, TARGET, 200, PK),
        lambda r: core.TciCe(DT, TARGET, 200, HYBRID, KE0, r)),
    "PredCp, 4,321 rows": (
        lambda: ambrel.PredCp(DT, RATES, BOLUS, *HYBRID),
        lambda r: core.PredCp(DT, RATES, BOLUS, HYBRID, r)),
    "PredCe, 4,321 rows": (
        lambda: ambrel.PredCe(DT, RATES, BOLUS, *HYBRID, KE0),
        lambda r: core.PredCe(DT, RATES, BOLUS, HYBRID, KE0, r)),
    "PredCe, 4,321 rows from lists": (
        lambda: ambrel.PredCe(*AS_LISTS, *HYBRID, KE0),
        lambda r: core.PredCe(DT, RATES, BOLUS, HYBRID, KE0, r)),
    "PropSchnider(JLBM)": (
        lambda: ambrel.PropSchnider(40, 70, 170, ambrel.JLBM(70, 170, True)),
        lambda r: core.PropSchnider(40, 70, 170, True, r)),
}


# Twelve-hour plans of 16 patients, computed one after the other and by two
# threads: long calls, in which the routines run without the interpreter lock.
PLAN_PATIENTS = [(20 + 4 * k, 50 + 4 * k, 155 + 2 * k, k % 2 == 0) for k in range(16)]


def twelve_hour_plan(patient):
    age, weight, height, male = patient
    pk = ambrel.PropSchnider(age, weight, height, ambrel.JLBM(weight, height, male))
    rates = ambrel.TciCe(DT, TARGET, 200, pk)
    return ambrel.PredCe(DT, rates, BOLUS, pk)


def plans(threads, pool):
    if threads == 1:
        return [twelve_hour_plan(p) for p in PLAN_PATIENTS]
    return list(pool.map(twelve_hour_plan, PLAN_PATIENTS))


def spread(values, scale=1.0, digits=3):
    values = sorted(v * scale for v in values)
    return f"{statistics.median(values):.{digits}g} ({values[0]:.{digits}g}..{values[-1]:.{digits}g})"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rounds", type=int, default=11)
    parser.add_argument("--patients", type=int, default=10_000)
    args = parser.parse_args()

    ratios = {label: [] for label in CALLS}
    python_times = {label: [] for label in CALLS}
    core_times = {label: [] for label in CALLS}
    population_times = {1: [], 2: []}
    plan_times = {1: [], 2: []}
    pool = ThreadPoolExecutor(2)
    rng = np.random.default_rng(1)
    patients = population.draw_patients(args.patients, rng)
    rates = population.plan()
    for _ in range(args.rounds):
        for label, (through_python, on_core) in CALLS.items():
            p = per_call(through_python)
            c = on_core(repeats_for(p))
            python_times[label].append(p)
            core_times[label].append(c)
            ratios[label].append(p / c)
        for threads in population_times:
            start = time.perf_counter()
            if threads == 1:
                population.effect_site(patients, rates)
            else:
                population.effect_site_threaded(patients, rates, threads)
            population_times[threads].append(time.perf_counter() - start)
            start = time.perf_counter()
            plans(threads, pool)
            plan_times[threads].append(time.perf_counter() - start)

    print(f"Python against the C++ core, per call ({args.rounds} rounds: median (smallest..largest))")
    print(f"{'call':40}{'Python (us)':>26}{'C++ core (us)':>26}{'ratio':>24}")
    for label in CALLS:
        print(f"{label:40}{spread(python_times[label], 1e6):>26}{spread(core_times[label], 1e6):>26}"
              f"{spread(ratios[label]):>24}")
    print()
    print(f"The population example, {len(patients)} patients' Ce courses (PropSchnider, JLBM, PredCe of 361 rows each):")
    for threads, times in population_times.items():
        print(f"  {threads} thread{'s' if threads > 1 else ' '}: {spread(times)} s")
    ratio = [a / b for a, b in zip(population_times[1], population_times[2])]
    print(f"  one thread / two threads: {spread(ratio)}")
    print()
    print(f"Twelve-hour plans (TciCe, PredCe) of {len(PLAN_PATIENTS)} patients:")
    for threads, times in plan_times.items():
        print(f"  {threads} thread{'s' if threads > 1 else ' '}: {spread(times, 1e3)} ms")
    ratio = [a / b for a, b in zip(plan_times[1], plan_times[2])]
    print(f"  one thread / two threads: {spread(ratio)}")
    pool.shutdown()


if __name__ == "__main__":
    main()
