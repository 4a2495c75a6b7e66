#!/usr/bin/env python3
"""One propofol plan given to 10,000 simulated patients: how far their
effect-site concentrations spread.

The plan is the README's: effect-site TCI at 3 ug/mL for 60 minutes in
10-second rows (pump limit 200 mg/min), computed with the Schnider model for a
40-year-old, 70 kg, 170 cm man. Each simulated patient receives exactly those
rates; their own Schnider parameters (from their covariates, with James' lean
body mass) give their own Ce course.

The covariates are drawn by this example, uniformly and independently: age 18
to 80 years, weight 45 to 120 kg, height 150 to 195 cm, men and women alike;
a patient for whom ModelCheck does not answer "OK" for the model (a lean body
mass past the peak of James' formula, say) is drawn again. These ranges are
this example's choice, not the study population's. The spread shown is that of
the covariates alone: no variability of the model's parameters between or
within patients is simulated, and none is claimed as published.

Prints percentiles of Ce over the hour and the time the 10,000 patients take,
and draws them into OUTDIR/propofol_population.png.

usage: propofol_population.py [OUTDIR] [--patients N] [--threads T] [--seed S]
"""

import argparse
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np

import ambrel

ROWS = 361
DT = np.r_[0.0, np.full(ROWS - 1, 1 / 6)]
TARGET = np.r_[0.0, np.full(ROWS - 1, 3.0)]
BOLUS = np.zeros(ROWS)


def plan():
    """The rates for the nominal patient (mg/min, one per 10-second row)."""
    pk = ambrel.PropSchnider(40, 70, 170, ambrel.JLBM(70, 170, True))
    return ambrel.TciCe(DT, TARGET, 200, pk)


def draw_patients(count, rng):
    """count patients (age, weight, height, male) whom ModelCheck accepts for PropSchnider."""
    patients = []
    while len(patients) < count:
        age, weight, height = rng.uniform(18, 80), rng.uniform(45, 120), rng.uniform(150, 195)
        male = bool(rng.integers(2))
        if ambrel.ModelCheck("PropSchnider", age, weight, height, male) == "OK":
            patients.append((age, weight, height, male))
    return patients


def effect_site(patients, rates):
    """Each patient's Ce course under the same rates, one row per patient."""
    out = np.empty((len(patients), ROWS))
    for k, (age, weight, height, male) in enumerate(patients):
        pk = ambrel.PropSchnider(age, weight, height, ambrel.JLBM(weight, height, male))
        out[k] = ambrel.PredCe(DT, rates, BOLUS, pk)
    return out


def effect_site_threaded(patients, rates, threads):
    """The same, the patients shared among threads (the routines run without
    the interpreter lock)."""
    chunks = np.array_split(np.arange(len(patients)), threads)
    with ThreadPoolExecutor(threads) as pool:
        parts = pool.map(lambda c: effect_site([patients[i] for i in c], rates), chunks)
        return np.vstack(list(parts))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("outdir", nargs="?", default=".")
    parser.add_argument("--patients", type=int, default=10_000)
    parser.add_argument("--threads", type=int, default=1)
    parser.add_argument("--seed", type=int, default=2024)
    args = parser.parse_args()

    rng = np.random.default_rng(args.seed)
    rates = plan()
    start = time.perf_counter()
    patients = draw_patients(args.patients, rng)
    drawn = time.perf_counter()
    if args.threads > 1:
        ce = effect_site_threaded(patients, rates, args.threads)
    else:
        ce = effect_site(patients, rates)
    done = time.perf_counter()

    minutes = np.arange(ROWS) / 6
    levels = [5, 25, 50, 75, 95]
    spread = np.percentile(ce, levels, axis=0)
    print(f"Propofol, one effect-site TCI plan (3 ug/mL, Schnider, for 40 y, 70 kg, 170 cm, male)")
    print(f"given to {len(patients)} simulated patients: Ce (ug/mL), percentiles over the patients")
    print("%9s" % "time" + "".join("%9s" % f"{p}%" for p in levels))
    for i in [1, 3, 6, 9, 12, 18, 30, 60, 120, 180, 240, 300, 360]:
        print("%9.2f" % minutes[i] + "".join("%9.3f" % spread[j, i] for j in range(len(levels))))
    print(f"\nModelCheck and drawing the patients: {drawn - start:.2f} s; "
          f"their Ce courses ({args.threads} thread{'s' if args.threads > 1 else ''}): {done - drawn:.2f} s")

    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    out = Path(args.outdir)
    out.mkdir(parents=True, exist_ok=True)
    figure, axis = plt.subplots(figsize=(8, 4.5))
    axis.fill_between(minutes, spread[0], spread[4], color="#d62728", alpha=0.15, label="5 % to 95 %")
    axis.fill_between(minutes, spread[1], spread[3], color="#d62728", alpha=0.3, label="25 % to 75 %")
    axis.plot(minutes, spread[2], color="#d62728", lw=2, label="median")
    axis.axhline(3, color="#555555", lw=1, ls=":", label="target for the nominal patient")
    axis.set_xlim(0, 60)
    axis.set_ylim(0, None)
    axis.set_xlabel("time (min)")
    axis.set_ylabel("Ce (µg/mL)")
    axis.set_title(f"One propofol plan, {len(patients)} simulated patients (covariates only)")
    axis.grid(True)
    axis.legend(loc="lower right")
    figure.tight_layout()
    picture = out / "propofol_population.png"
    figure.savefig(picture, dpi=100)
    print(f"(picture: {picture})", file=sys.stderr)


if __name__ == "__main__":
    main()
