#!/usr/bin/env python3
"""The README's propofol plan in Python, with the package ambrel.

A 40-year-old, 70 kg, 170 cm man; Schnider parameters (with James' lean body
mass); effect-site TCI at 3 ug/mL for 60 minutes in 10-second rows with a pump
limit of 200 mg/min; the plasma and effect-site concentrations those rates give
and the predicted BIS of that effect-site course; the 50 % context-sensitive
decrement times. Units: L, min, mg, mg/L (= ug/mL).

Prints the same table as examples/propofol_tci.sh (a test holds them equal)
and draws the hour with matplotlib into OUTDIR/propofol_tci_python.png.

usage: propofol_tci.py [OUTDIR]    (OUTDIR defaults to the current folder)
"""

import sys
from pathlib import Path

import numpy as np

import ambrel

# The patient and his model: JLBM (Ambrel) feeds PropSchnider (Corvel).
AGE, WEIGHT, HEIGHT, MALE = 40, 70, 170, True
pk = ambrel.PropSchnider(AGE, WEIGHT, HEIGHT, ambrel.JLBM(WEIGHT, HEIGHT, MALE))

# 60 minutes in 10-second rows: the steps in minutes (the first row is time
# 0), the target 3 ug/mL from the first step on, no boluses.
rows = 361
dt = np.r_[0.0, np.full(rows - 1, 1 / 6)]
target = np.r_[0.0, np.full(rows - 1, 3.0)]
bolus = np.zeros(rows)

rate = ambrel.TciCe(dt, target, 200, pk)        # mg/min over the step that ends at each row
cp = ambrel.PredCp(dt, rate, bolus, pk)         # ug/mL at each row's time
ce = ambrel.PredCe(dt, rate, bolus, pk)
bis = ambrel.BisEleveld(ce, AGE)                 # Eleveld's BIS of that effect-site course
durations = [10, 20, 30, 40, 50, 60]
half_cp = ambrel.CsDtCp(durations, pk, 50)       # min for the plasma level to halve
half_ce = ambrel.CsDtCe(durations, pk, 50)       # the same for the effect site, with the set's ke0

minutes = np.arange(rows) / 6

print("Propofol, Schnider model: 40 years, 70 kg, 170 cm, male")
print("  V1 %.2f L, V2 %.2f L, V3 %.0f L, Cl1 %.3f L/min, Cl2 %.3f L/min, Cl3 %.3f L/min, ke0 %.3f /min" % tuple(pk))
print()
print("Effect-site TCI, target 3 ug/mL, pump limit 200 mg/min")
print("%9s %16s %16s %12s %12s %8s" % ("time", "rate", "dose in step", "Cp", "Ce", "BIS"))
print("%9s %16s %16s %12s %12s %8s" % ("(min)", "(mg/min)", "(mg)", "(ug/mL)", "(ug/mL)", ""))
total = 0.0
for i in range(1, rows):
    total += rate[i] / 6
    # Every row of the first two minutes, then each minute.
    if i <= 12 or i % 6 == 0:
        print("%9.2f %16.2f %16.2f %12.3f %12.3f %8.1f" % (i / 6, rate[i], rate[i] / 6, cp[i], ce[i], bis[i]))
print()
print("Propofol given in 60 minutes: %.0f mg" % total)
print()
print("50 % context-sensitive decrement times")
print("%18s %18s %22s" % ("infusion (min)", "plasma (min)", "effect site (min)"))
for d, p, e in zip(durations, half_cp, half_ce):
    print("%18d %18.2f %22.2f" % (d, p, e))

# The picture: the concentrations above (the first three minutes enlarged),
# the pump's rate below, held over each 10-second step.
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
out.mkdir(parents=True, exist_ok=True)
figure, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(8, 5.6), height_ratios=[3, 2])
figure.suptitle("Propofol, effect-site TCI at 3 µg/mL (Schnider; 40 y, 70 kg, 170 cm, male)")
top.plot(minutes, cp, lw=2, color="#1f77b4", label="Cp (plasma)")
top.plot(minutes, ce, lw=2.5, ls="--", color="#d62728", label="Ce (effect site)")
top.set_ylabel("concentration (µg/mL)")
top.set_ylim(0, 11)
top.grid(True)
top.legend(loc="upper right")
inset = top.inset_axes([0.3, 0.35, 0.45, 0.55])
inset.plot(minutes, cp, lw=2, color="#1f77b4")
inset.plot(minutes, ce, lw=2.5, ls="--", color="#d62728")
inset.set_xlim(0, 3)
inset.set_ylim(0, 11)
inset.set_title("the first three minutes", fontsize=9)
inset.grid(True)
# A row's rate runs over the step that ends at that row.
bottom.step(minutes, rate, where="pre", lw=1.5, color="#555555", label="infusion rate")
bottom.set_ylabel("rate (mg/min)")
bottom.set_ylim(0, 220)
bottom.set_xlim(0, 60)
bottom.set_xlabel("time (min)")
bottom.grid(True)
bottom.legend(loc="upper right")
figure.tight_layout()
picture = out / "propofol_tci_python.png"
figure.savefig(picture, dpi=100)
print(f"\n(picture: {picture})", file=sys.stderr)
