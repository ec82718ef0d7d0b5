"""The example study runs as documented and computes what it says."""

import importlib.util
import os
import pathlib
import subprocess
import sys
import unittest

import numpy as np

import orbench

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "overtime_study.py"
ORTHO = str(pathlib.Path(os.environ["ORBENCH_CASEMIXES"]) / "orthopaedics.txt")
found = importlib.util.spec_from_file_location("overtime_study", EXAMPLE)
study = importlib.util.module_from_spec(found)
found.loader.exec_module(study)


class OvertimeStudy(unittest.TestCase):
    def test_schedule_and_overtime_by_hand(self):
        day = study.first_fit(np.array([300.0, 200.0, 200.0, 100.0]), 2, 480)
        self.assertEqual(day.tolist(), [0, 1, 1, 0])  # 300 | 200 200 | 100 into the room left by 300
        day = study.first_fit(np.array([500.0, 500.0]), 1, 480)  # nothing fits: the day with most room
        self.assertEqual(day.tolist(), [0, 0])
        late = study.overtime(np.array([[400.0, 500.0], [100.0, 0.0], [0.0, 0.0]]), np.array([0, 0, 1]), 2, 480)
        self.assertEqual(late.tolist(), [[20.0, 20.0], [0.0, 0.0]])

    def test_script_reports_every_or_day_of_the_kept_instances(self):
        run = subprocess.run([sys.executable, str(EXAMPLE), "--casemix", ORTHO, "--or-days", "3", "--per-load", "6",
                              "--keep", "2", "--scenarios", "300"], capture_output=True, text=True, check=True)
        lines = run.stdout.splitlines()
        instances = orbench.generate(orbench.read_case_mix(ORTHO), 3, [0.9], per_load=6)
        chosen, largest = orbench.select(orbench.overlap_matrix(instances), 2)
        self.assertEqual(lines[0], f"kept 2 of 6 instances; their largest mutual overlap is {largest:.3f}")
        rows = [line.split("\t") for line in lines[2:]]
        self.assertEqual([(r[0], int(r[1])) for r in rows],
                         [(instances[i].name, d) for i in chosen for d in (1, 2, 3)])
        for _, _, mean, chance, p90 in rows:
            self.assertTrue(float(mean) >= 0 and 0 <= float(chance) <= 1 and float(p90) >= 0)
        self.assertTrue(any(float(r[2]) > 0 for r in rows))  # at a load of 0.9 some day runs late


if __name__ == "__main__":
    unittest.main()
