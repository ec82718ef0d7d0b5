"""A small study with Orbench from Python: how much overtime does a simple schedule give?

1. Generate a set of instances of a case mix at one load (seeded, as orbench-cli generate).
2. Keep the k instances that overlap least, so that the study does not test the same thing twice.
3. Draw duration scenarios for their surgeries.
4. Assign each instance's surgeries to its OR-days first fit by expected duration, longest first,
   and report each OR-day's overtime over the scenarios: its mean, the chance of any overtime and
   the 90th percentile.

    python3 examples/overtime_study.py --casemix casemixes/orthopaedics.txt
"""

import argparse

import numpy as np

import orbench


def first_fit(expected, or_days, capacity):
    """The OR-day (0-based) of each surgery: longest expected duration first, each into the first
    OR-day whose expected work still has room for it, else into the one with the most room."""
    room = np.full(or_days, float(capacity))
    day = np.empty(len(expected), dtype=int)
    for s in sorted(range(len(expected)), key=lambda s: -expected[s]):
        fits = np.flatnonzero(room >= expected[s])
        day[s] = fits[0] if fits.size else int(np.argmax(room))
        room[day[s]] -= expected[s]
    return day


def overtime(durations, day, or_days, capacity):
    """Overtime in minutes per OR-day (rows) and scenario (columns)."""
    work = np.zeros((or_days, durations.shape[1]))
    np.add.at(work, day, durations)
    return np.maximum(work - capacity, 0.0)


def study(casemix, or_days, load, per_load, keep, scenarios, seed):
    mix = orbench.read_case_mix(casemix)
    instances = orbench.generate(mix, or_days, [load], per_load=per_load, seed=seed)
    chosen, largest = orbench.select(orbench.overlap_matrix(instances), keep)
    kept = [instances[i] for i in chosen]
    durations = orbench.sample(kept, scenarios, seed=seed)
    rows, first = [], 0
    for instance in kept:
        expected = np.array([s.mean for s in instance.surgeries])
        block = durations[first:first + len(expected)]
        first += len(expected)
        day = first_fit(expected, instance.or_days, mix.capacity)
        late = overtime(block, day, instance.or_days, mix.capacity)
        for d in range(instance.or_days):
            rows.append((instance.name, d + 1, late[d].mean(), (late[d] > 0).mean(), np.percentile(late[d], 90)))
    return largest, rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--casemix", default="casemixes/orthopaedics.txt")
    parser.add_argument("--or-days", type=int, default=10)
    parser.add_argument("--load", type=float, default=0.9)
    parser.add_argument("--per-load", type=int, default=20)
    parser.add_argument("--keep", type=int, default=5)
    parser.add_argument("--scenarios", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=12345)
    a = parser.parse_args()
    largest, rows = study(a.casemix, a.or_days, a.load, a.per_load, a.keep, a.scenarios, a.seed)
    print(f"kept {a.keep} of {a.per_load} instances; their largest mutual overlap is {largest:.3f}")
    print("instance\tOR-day\tmean overtime (min)\tP(overtime > 0)\t90th percentile (min)")
    for name, day, mean, chance, p90 in rows:
        print(f"{name}\t{day}\t{mean:.1f}\t{chance:.3f}\t{p90:.1f}")


if __name__ == "__main__":
    main()
