"""Times the Python module: duration scenarios into NumPy, and generation through Python against
orbench-cli doing the same work.

    PYTHONPATH=build/python python3 bench/python_bench.py BINDIR CASEMIXDIR

Ends with one PASS or FAIL line per target; the exit status is 1 when a target failed.
"""

import os
import subprocess
import sys
import tempfile
import time

import orbench


def best_of(runs, work):
    """The shortest wall time of several runs of work()."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    bindir, casemixes = sys.argv[1], sys.argv[2]
    mix_file = os.path.join(casemixes, "mixed_hospital.txt")
    mix = orbench.read_case_mix(mix_file)
    results = []

    instances = orbench.generate(mix, 40, [1.0], per_load=30)
    surgeries = sum(len(i) for i in instances)
    seconds = best_of(3, lambda: orbench.sample(instances, 1000))
    print(f"sample: 30 instances of 40 OR-days ({surgeries} surgeries) x 1000 scenarios into NumPy: {seconds:.3f} s "
          f"({seconds / surgeries / 1000 * 1e9:.0f} ns a value)")
    results.append((seconds < 0.5, f"sample into NumPy in {seconds:.3f} s (target under 0.5 s)"))

    loads = [0.80, 0.85, 0.90, 0.95, 1.00, 1.05, 1.10, 1.15, 1.20]
    with tempfile.TemporaryDirectory() as work:
        def through_python():
            for instance in orbench.generate(mix, 20, loads, per_load=30):
                instance.write(os.path.join(work, "py_" + instance.name + ".txt"))

        def through_cli():
            subprocess.run([os.path.join(bindir, "orbench-cli"), "generate", "--casemix", mix_file, "--ordays", "20",
                            "--loads", ",".join(map(str, loads)), "--per-load", "30", "--out", work],
                           check=True, stdout=subprocess.DEVNULL)

        python_seconds, cli_seconds = best_of(5, through_python), best_of(5, through_cli)
    ratio = python_seconds / cli_seconds
    print(f"generate: 270 instances of 20 OR-days, written: Python {python_seconds:.3f} s, "
          f"orbench-cli {cli_seconds:.3f} s ({ratio:.2f} times)")
    results.append((ratio <= 1.1, f"generate through Python at {ratio:.2f} times orbench-cli's time (target at most 1.10)"))

    for passed, text in results:
        print(("PASS: " if passed else "FAIL: ") + text)
    return 0 if all(passed for passed, _ in results) else 1


if __name__ == "__main__":
    sys.exit(main())
