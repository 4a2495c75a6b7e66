"""The Python examples run, and say what the worksheet says: the plan's table
is the one examples/propofol_tci.sh writes through xlhost, character for
character."""

import importlib.util
import os
import subprocess
import sys
from pathlib import Path

import numpy as np

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
PNG = b"\x89PNG\r\n\x1a\n"


def run(script, *args, cwd):
    done = subprocess.run([sys.executable, str(EXAMPLES / script), *args], cwd=cwd, capture_output=True, text=True,
                          env=dict(os.environ, MPLBACKEND="Agg"))
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_the_plan_prints_the_worksheets_table_and_draws_it(tmp_path):
    out = run("propofol_tci.py", str(tmp_path), cwd=tmp_path)
    assert out == (EXAMPLES / "propofol_tci.txt").read_text()
    assert (tmp_path / "propofol_tci_python.png").read_bytes().startswith(PNG)


def load(name):
    loader_spec = importlib.util.spec_from_file_location(name, EXAMPLES / f"{name}.py")
    module = importlib.util.module_from_spec(loader_spec)
    loader_spec.loader.exec_module(module)
    return module


def test_the_population_gets_the_plan_and_threads_change_nothing(tmp_path):
    population = load("propofol_population")
    rates = population.plan()
    # The nominal patient is held at the target: the plan is his.
    nominal = population.effect_site([(40, 70, 170, True)], rates)[0]
    assert abs(nominal[-1] - 3) < 0.01 and nominal.max() < 3.01
    patients = population.draw_patients(300, np.random.default_rng(7))
    assert len(patients) == 300
    alone = population.effect_site(patients, rates)
    together = population.effect_site_threaded(patients, rates, 3)
    assert alone.view(np.uint64).tolist() == together.view(np.uint64).tolist()
    # Patients other than the nominal one end above and below his target.
    assert alone[:, -1].min() < 3 < alone[:, -1].max()

    out = run("propofol_population.py", str(tmp_path), "--patients", "400", "--threads", "2", cwd=tmp_path)
    assert "given to 400 simulated patients" in out
    assert (tmp_path / "propofol_population.png").read_bytes().startswith(PNG)
