"""The package installs as README says, offline, into a fresh virtual
environment, from a copy of the source tree (so that the build it makes stays
out of this one), and the installed package computes what this build's does,
bit for bit."""

import json
import os
import shutil
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DEBIAN_PYTHON = "/usr/bin/python3"

PLAN = """
import json, sys
import numpy as np
import ambrel
pk = ambrel.PropSchnider(40, 70, 170, ambrel.JLBM(70, 170, True))
dt = np.r_[0.0, np.full(4320, 1 / 6)]
rates = ambrel.TciCe(dt, np.r_[0.0, np.full(4320, 3.0)], 200, pk)
ce = ambrel.PredCe(dt, rates, np.zeros(4321), pk)
message = ""
try:
    ambrel.PredCp(dt, rates[:5], np.zeros(4321), pk)
except ValueError as e:
    message = str(e)
result = {"file": ambrel.__file__, "version": ambrel.__version__, "values": [x.hex() for x in [*pk, *rates, *ce]], "message": message}
"""


def ignored(folder, names):
    # Build folders, their outputs and caches: what a fresh checkout lacks.
    return [n for n in names if n.startswith("build") or n in ("dist", ".git", "__pycache__", ".pytest_cache")
            or n.endswith(".egg-info")]


def test_installs_into_a_fresh_environment_and_computes_the_same(tmp_path):
    tree = tmp_path / "ambrel"
    shutil.copytree(ROOT, tree, ignore=ignored)
    env = tmp_path / "env"
    subprocess.run([DEBIAN_PYTHON, "-m", "venv", "--system-site-packages", str(env)], check=True)
    python = env / "bin" / "python"
    # The command README gives, with --no-index: nothing may come from PyPI.
    environment = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONDONTWRITEBYTECODE")}
    environment["CMAKE_BUILD_PARALLEL_LEVEL"] = "2"
    installed = subprocess.run([str(env / "bin" / "pip"), "install", "--no-build-isolation", "--no-index", "./python"],
                               cwd=tree, env=environment, capture_output=True, text=True)
    assert installed.returncode == 0, installed.stdout[-3000:] + installed.stderr[-3000:]

    ran = subprocess.run([str(python), "-c", PLAN + "json.dump(result, sys.stdout)\n"], cwd=tmp_path, env=environment, capture_output=True, text=True)
    assert ran.returncode == 0, ran.stderr
    theirs = json.loads(ran.stdout)
    assert Path(theirs["file"]).is_relative_to(env), theirs["file"]

    ours = {}
    exec(PLAN, ours)
    assert theirs["values"] == ours["result"]["values"]  # bit for bit
    assert theirs["message"] == ours["result"]["message"] == "Columns of different length!"

    version = (ROOT / "VERSION").read_text().split()[0] if (ROOT / "VERSION").exists() else None
    shown = subprocess.run([str(python), "-m", "pip", "show", "ambrel"], env=environment, capture_output=True, text=True)
    assert f"Version: {theirs['version']}" in shown.stdout
    if version:
        assert theirs["version"] == version
    assert "Requires: numpy" in shown.stdout
