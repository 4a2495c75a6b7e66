"""The routines run without the interpreter lock, so Python threads compute
side by side, and give what they give alone.

Whether a call lets the lock go is seen without a clock: with a switch
interval of an hour, a thread holding the lock keeps it until it lets it go
itself. The main thread then runs Python code while a worker's call computes
only if that call let the lock go; held through the call, the main thread
would get it back only when the worker has finished.
"""

import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import ambrel

PK = ambrel.PropSchnider(40, 70, 170, ambrel.JLBM(70, 170, True))
ROWS = 1_000_000  # long enough that the worker is still computing when the main thread looks
DT = np.r_[0.0, np.full(ROWS - 1, 1 / 6)]
TARGET = np.r_[0.0, np.full(ROWS - 1, 3.0)]
RATES = ambrel.TciCe(DT[:4321], TARGET[:4321], 200, PK)
LONG_RATES = np.resize(RATES, ROWS)


def ran_meanwhile(call):
    """How often the main thread ran Python code while call() computed in a worker."""
    started, done = threading.Event(), threading.Event()

    def work():
        started.set()
        call()
        done.set()

    before = sys.getswitchinterval()
    sys.setswitchinterval(3600)
    try:
        worker = threading.Thread(target=work)
        worker.start()
        started.wait()
        count = 0
        # Each wait lets the lock go for a moment, so a worker that wants it
        # back can finish; it counts only while the worker is still computing.
        while not done.wait(0.0005):
            count += 1
        worker.join()
    finally:
        sys.setswitchinterval(before)
    return count


@pytest.mark.parametrize("name, call", [
    ("TciCe, the ordinary way", lambda: ambrel.TciCe(DT, TARGET, 200, PK)),
    ("PredCe, row by row on the arrays", lambda: ambrel.PredCe(DT, LONG_RATES, np.zeros(ROWS), PK)),
    ("TciCe from lists", lambda: ambrel.TciCe(DT.tolist(), TARGET.tolist(), 200, PK)),
])
def test_the_main_thread_runs_while_a_routine_computes(name, call):
    assert ran_meanwhile(call) > 0, f"{name} held the interpreter lock while it computed"


def test_threads_give_what_one_thread_gives():
    # Eight plans of different patients, four threads: each equal bit for
    # bit to the same plan computed alone.
    patients = [(25 + 7 * k, 50 + 9 * k, 155 + 4 * k, k % 2 == 0) for k in range(8)]

    def plan(patient):
        age, weight, height, male = patient
        pk = ambrel.PropSchnider(age, weight, height, ambrel.JLBM(weight, height, male))
        rates = ambrel.TciCe(DT[:4321], TARGET[:4321], 200, pk)
        return np.concatenate([rates, ambrel.PredCe(DT[:4321], rates, np.zeros(4321), pk)])

    alone = [plan(p) for p in patients]
    with ThreadPoolExecutor(4) as pool:
        together = list(pool.map(plan, patients * 2))
    for k, result in enumerate(together):
        assert result.view(np.uint64).tolist() == alone[k % 8].view(np.uint64).tolist()
