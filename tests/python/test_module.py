"""The Python module against orbench-cli: the same settings give the same bytes and values."""

import csv
import hashlib
import io
import json
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import textwrap
import threading
import time
import unittest
import warnings

import numpy as np

import orbench

CLI = os.environ["ORBENCH_CLI"]
CASEMIXES = pathlib.Path(os.environ["ORBENCH_CASEMIXES"])
ORTHO = str(CASEMIXES / "orthopaedics.txt")


def cli(*args, cwd=None, check=True):
    """orbench-cli's exit code, stdout and stderr."""
    done = subprocess.run([CLI, *args], cwd=cwd, capture_output=True, text=True, env={**os.environ, "LC_ALL": "C"})
    if check and done.returncode != 0:
        raise AssertionError(f"orbench-cli {' '.join(args)}: {done.stderr}")
    return done.returncode, done.stdout, done.stderr


def tree(folder, skip=("manifest.json",)):
    """Relative path -> SHA-256 of every file under folder."""
    folder = pathlib.Path(folder)
    return {
        str(p.relative_to(folder)): hashlib.sha256(p.read_bytes()).hexdigest()
        for p in sorted(folder.rglob("*"))
        if p.is_file() and p.name not in skip
    }


class Work(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = pathlib.Path(self.dir.name)

    def tearDown(self):
        self.dir.cleanup()


class SameAsTheCommandLine(Work):
    def test_generated_files_are_byte_identical(self):
        cases = [
            (ORTHO, dict(or_days=5, loads=[0.9, 1.0], per_load=3), ["--ordays", "5", "--loads", "0.9,1.0", "--per-load", "3"]),
            (ORTHO, dict(or_days=3, loads=[1.1], per_load=2, seed=-1, deviation=0.05, case_mix_type=3),
             ["--ordays", "3", "--loads", "1.1", "--per-load", "2", "--seed", "-1", "--deviation", "0.05", "--type", "3"]),
            (None, dict(or_days=2, loads=[0.8], per_load=2, case_mix_type=12, capacity=600),
             ["--on-the-fly", "--type", "12", "--ordays", "2", "--loads", "0.8", "--per-load", "2", "--capacity", "600"]),
        ]
        for number, (mix_file, keywords, args) in enumerate(cases):
            with self.subTest(args=args):
                capacity = keywords.get("capacity", 480)
                mix = orbench.read_case_mix(mix_file, capacity=capacity) if mix_file else None
                made = orbench.generate(mix, **keywords)
                self.assertEqual(len(made), len(keywords["loads"]) * keywords["per_load"])
                (self.path / f"py{number}").mkdir()
                for instance in made:
                    instance.write(self.path / f"py{number}" / f"{instance.name}.txt")
                cli("generate", *(["--casemix", mix_file] if mix_file else []), *args, "--out", str(self.path / f"cli{number}"))
                self.assertEqual(tree(self.path / f"py{number}"), tree(self.path / f"cli{number}"))
                self.assertTrue(all(instance.text().encode() == (self.path / f"cli{number}" / f"{instance.name}.txt").read_bytes()
                                    for instance in made))

    def test_overlap_selection_samples_and_stats_match(self):
        mix = orbench.read_case_mix(ORTHO)
        made = orbench.generate(mix, 4, [0.9], per_load=6)
        files = []
        for instance in made:
            files.append(str(self.path / f"{instance.name}.txt"))
            instance.write(files[-1])
        read = [orbench.read_instance(f, mix) for f in files]
        self.assertEqual([i.name for i in read], [i.name for i in made])  # named after their files

        matrix = orbench.overlap_matrix(read, epsilon=0.02)
        _, out, _ = cli("overlap", "--casemix", ORTHO, "--epsilon", "0.02", "--select", "3", *files)
        lines = out.splitlines()
        self.assertEqual(["\t".join(f"{v:.5f}" for v in row) for row in matrix], lines[:6])
        chosen, largest = orbench.select(matrix, 3)
        self.assertEqual(lines[6:], ["chosen: " + " ".join(map(str, chosen)), f"max overlap: {largest:.5f}"])
        np.testing.assert_array_equal(matrix, orbench.overlap_matrix(made, epsilon=0.02))

        durations = orbench.sample(read, 5, seed=7)
        _, out, _ = cli("--seed", "7", "sample", "--casemix", ORTHO, "--scenarios", "5", "--format", "wide", *files)
        rows = list(csv.reader(io.StringIO(out)))[1:]
        self.assertEqual(durations.shape, (len(rows), 5))
        np.testing.assert_array_equal(durations, np.array([[float(v) for v in row[3:]] for row in rows]))
        full = orbench.sample(made, 5, seed=7, decimals=None)
        self.assertEqual([[f"{v:.9f}" for v in row] for row in full], [row[3:] for row in rows])

        _, out, _ = cli("export", "--casemix", ORTHO, "--format", "json", *files)
        self.assertEqual([json.loads(line) for line in out.splitlines()], [i.to_dict() for i in read])

        _, out, _ = cli("stats", "--csv", "--casemix", ORTHO, *files)
        table = list(csv.DictReader(io.StringIO(out)))
        got = orbench.stats(read, summary=True)
        self.assertEqual(len(got), len(table))
        for row, want in zip(got, table):
            self.assertEqual(set(row), set(want))
            for key, value in row.items():
                self.assertEqual(f"{value:.9f}" if isinstance(value, float) else str(value), want[key], key)

    def test_batch_writes_the_same_tree(self):
        settings = dict(or_days=[3], loads=[0.9, 1.0], per_combination=4, select=2)
        messages = []
        result = orbench.run_batch([ORTHO], out=str(self.path / "py"), on_message=messages.append, **settings)
        cli("batch", "--casemix", ORTHO, "--ordays", "3", "--loads", "0.9,1.0", "--per-combination", "4",
            "--select", "2", "--out", str(self.path / "cli"))
        self.assertEqual(tree(self.path / "py"), tree(self.path / "cli"))
        self.assertTrue(result["complete"])
        self.assertEqual(result["files"]["selected"], 4)
        self.assertEqual(result["files"]["marked"], 4)
        self.assertEqual(messages, result["messages"])
        self.assertTrue(result["summary"].startswith("Run finished: 8 instances written"), result["summary"])
        _, out, _ = cli("verify", str(self.path / "py"))
        self.assertIn("all match", out)


class Errors(Work):
    """Every error the command line reports is an exception with its message."""

    def test_errors_carry_the_command_lines_message(self):
        bad = self.path / "bad.txt"
        bad.write_text("ID\tDistributionType\tP1\tP2\tP3\tFrequency\n1\tNormal\tx\t1\t0\t1\n")
        mix = orbench.read_case_mix(ORTHO)
        (self.path / "link.txt").symlink_to(self.path / "elsewhere.txt")
        cases = [
            (FileNotFoundError, lambda: orbench.read_case_mix(self.path / "none.txt"),
             ["casemix", str(self.path / "none.txt")]),
            (ValueError, lambda: orbench.read_case_mix(bad), ["casemix", str(bad)]),
            (OSError, lambda: mix.write(self.path / "link.txt"), ["casemix", ORTHO, "--write", str(self.path / "link.txt")]),
        ]
        for kind, call, args in cases:
            with self.subTest(args=args):
                code, _, err = cli(*args, check=False)
                self.assertNotEqual(code, 0)
                with self.assertRaises(kind) as raised:
                    call()
                self.assertEqual("orbench-cli: " + str(raised.exception), err.strip().splitlines()[0])
        refusals = [
            (lambda: orbench.generate(mix, 0, [0.9]), "or_days 0: must be at least 1"),
            (lambda: orbench.generate(mix, 2, [0.9, -1]), "loads -1: must be greater than 0"),
            (lambda: orbench.generate(None, 2, [0.9], case_mix_type=-1), "case_mix_type -1: must be from 0 to 16"),
            (lambda: orbench.overlap_matrix([], engine="fast"), "engine fast: must be exact or solver"),
            (lambda: orbench.select(np.zeros((3, 3)), 3), "Cannot select 3 of 3 instances"),
            (lambda: orbench.run_batch([ORTHO], out=str(self.path / "b"), deviation=0), "deviation 0: must be greater than 0"),
            (lambda: orbench.run_batch([], out=str(self.path / "b")), "No case mix selected. Aborting."),
        ]
        for call, message in refusals:
            with self.subTest(message=message):
                with self.assertRaises(ValueError) as raised:
                    call()
                self.assertTrue(str(raised.exception).startswith(message), str(raised.exception))

    def test_draw_limit_and_earlier_runs(self):
        mix = orbench.read_case_mix(ORTHO)
        with self.assertRaises(orbench.DrawLimitError) as raised:
            orbench.generate(mix, 5, [0.9], per_load=3, deviation=1e-9, max_draws=50)
        self.assertTrue(str(raised.exception).startswith("Could not generate all instances for case mix orthopaedics, #ORdays: 5"))
        self.assertIsInstance(raised.exception.instances, list)
        settings = dict(out=str(self.path / "r"), or_days=[2], loads=[0.9], per_combination=2, select=1)
        orbench.run_batch([ORTHO], **settings)
        with self.assertRaises(FileExistsError) as raised:
            orbench.run_batch([ORTHO], **settings)
        self.assertIn("use overwrite=True", str(raised.exception))
        self.assertTrue(orbench.run_batch([ORTHO], overwrite=True, **settings)["complete"])

    def test_ctrl_c_raises_keyboard_interrupt_within_a_second(self):
        script = textwrap.dedent(f"""
            import sys, time, orbench
            mix = orbench.read_case_mix({ORTHO!r})
            made = orbench.generate(mix, 40, [1.0], per_load=150)
            print("ready", flush=True)
            try:
                orbench.overlap_matrix(made, engine="solver")
            except KeyboardInterrupt:
                print("interrupted", time.monotonic(), flush=True)
        """)
        child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True, env=os.environ)
        self.assertEqual(child.stdout.readline().strip(), "ready")
        time.sleep(0.5)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=30)
        word, at = out.split()
        self.assertEqual(word, "interrupted")
        self.assertLess(float(at) - sent, 1.0)


class Threads(unittest.TestCase):
    def test_threads_share_a_case_mix_and_get_what_they_get_alone(self):
        mix = orbench.read_case_mix(ORTHO)
        alone = [i.text() for i in orbench.generate(mix, 10, [1.0], per_load=20)]
        results = {}

        def work(k):
            made = orbench.generate(mix, 10, [1.0], per_load=20)
            results[k] = ([i.text() for i in made], orbench.overlap_matrix(made[:8]).sum(), len(mix.types))

        threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(timeout=60)
        self.assertFalse(any(t.is_alive() for t in threads))
        self.assertEqual([results[k][0] for k in range(4)], [alone] * 4)
        self.assertEqual(len({results[k][1] for k in range(4)}), 1)


class Surface(unittest.TestCase):
    def test_names_stubs_and_values(self):
        stub = (pathlib.Path(orbench.__file__).parent / "_orbench.pyi").read_text()
        for name in orbench.__all__:  # the stubs keep up with the module
            self.assertRegex(stub, rf"(?m)^(def |class ){name}\b|^{name}:", name)
        mix = orbench.read_case_mix(ORTHO)
        _, out, _ = cli("casemix", ORTHO)
        for t, line in zip(mix.types, out.splitlines()):
            self.assertEqual(
                "\t".join([str(t.id), t.kind, *(f"{v:.9f}" for v in (t.mean, t.sd, t.x, t.y, t.frequency)),
                           ",".join(map(str, t.case_mix_types))]), line)
        instance = orbench.generate(mix, 2, [1.0], per_load=1)[0]
        self.assertEqual([s.number for s in instance.surgeries], list(range(1, len(instance) + 1)))
        cx, cy = instance.center_of_mass
        self.assertAlmostEqual(cx, sum(s.x for s in instance.surgeries) / len(instance), places=12)
        self.assertEqual(len(orbench.theoretical_case_mix()), 99 * 100)


if __name__ == "__main__":
    unittest.main()
