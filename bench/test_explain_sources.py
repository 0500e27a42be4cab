#!/usr/bin/env python3
"""Checks that bench/asmgen.py's pass 1 assembles as the reference tool
expects, that its mistakes move what they should, and that
bench/explain-sources judges offsets by their ranges.

    python3 bench/test_explain_sources.py
"""
import importlib.machinery
import importlib.util
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ left in the work tree


def load(name, file):
    loader = importlib.machinery.SourceFileLoader(name, os.path.join(HERE, file))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(name, loader))
    loader.exec_module(module)
    return module


asmgen = load("asmgen", "asmgen.py")
judge = load("explain_sources", "explain-sources")
CASE = os.path.join(os.path.dirname(HERE), "tests", "class-cases", "sources-assembler-mistakes")


def table(text, mistakes=frozenset()):
    return [(address, label) for address, label, _, _ in
            asmgen.printed(asmgen.pass1(asmgen.parse(text), mistakes), mistakes)]


class PassOne(unittest.TestCase):
    def test_the_golden_copy_program_assembles_to_its_reference(self):
        # Another program than ours, assembled by hand: our pass 1 must agree.
        with open(os.path.join(CASE, "sources", "t1.asm")) as f:
            got = table(f.read())
        with open(os.path.join(CASE, "references", "t1.sym")) as f:
            want = [(int(a, 16), label) for a, label in (line.split() for line in f)]
        self.assertEqual(got, want)

    def test_each_mistake_moves_what_it_concerns(self):
        text = asmgen.COPY.replace("{start}", "1000")
        right = dict((label, address) for address, label in table(text))
        for mistake, label, moved in (("plus3", "ENDFIL", -2), ("resw_bytes", "BUFFER", -4),
                                      ("start_dec", "FIRST", 1000 - 0x1000), ("resb_hex", "RDREC", 0x4096 - 4096),
                                      ("short3", "RLOOP", 3)):
            wrong = dict((l, a) for a, l in table(text, {mistake}))
            self.assertEqual(wrong[label] - right[label], moved, mistake)
        self.assertNotIn("MAXLEN", dict((l, a) for a, l in table(text, {"equ_out"})))
        self.assertEqual([l for _, l in table(text, {"name_doubled"})][:2], ["COPY", "COPY"])
        self.assertIn("=C'EOF'", [l for _, l in table(text, {"literals_in_table"})])

    def test_a_byte_mistake_moves_the_literal_pool_only_where_literals_are_sized_alike(self):
        text = asmgen.LITERALS.replace("{start}", "1000")
        statements = asmgen.parse(text)
        right, alike, apart = ({l: a for a, l, _, _ in asmgen.printed(table, set())} for table in (
            asmgen.pass1(statements), asmgen.pass1(statements, {"bytec_long"}, True),
            asmgen.pass1(statements, {"bytec_long"}, False)))
        # BUF1 follows the first pool, which holds =C'ABC' and no BYTE C'..'.
        self.assertEqual(alike["BUF1"] - right["BUF1"], 1)
        self.assertEqual(apart["BUF1"], right["BUF1"])

    def test_a_class_is_the_same_for_a_seed_and_its_truth_matches_its_files(self):
        with tempfile.TemporaryDirectory() as folder:
            truth = asmgen.generate(30, 5, os.path.join(folder, "a"))
            again = asmgen.generate(30, 5, os.path.join(folder, "b"))
            self.assertEqual(truth, again)
            for name, record in truth["students"].items():
                for test, file in record["files"].items():
                    with open(os.path.join(folder, "a", "submissions", name, test), "rb") as f:
                        lines = f.read().decode("utf-8-sig").splitlines()
                    self.assertEqual(len(lines), len(file["printed"]))
                    # Lowercase digits are a form of the file's only where an
                    # address shows a letter.
                    kinds = {cause["kind"]: cause for cause in file["causes"]}
                    at = 1 if "swapped" in kinds else 0
                    addresses = [line.split()[at] for line in lines if len(line.split()) == 2]
                    shows = any(any(c in "abcdef" for c in a.removeprefix("0x")) for a in addresses)
                    lower = "lower" in kinds.get("address_form", {}).get("forms", [])
                    self.assertTrue(shows or not lower, (name, test))


class Judge(unittest.TestCase):
    FILE = {"offsets": [0, 0, -4, -4, -4, 0, -4, -10], "typo_lines": [], "absent": [], "printed": list(range(1, 9)),
            "doubled": [], "causes": [], "order": "reference"}

    def offset(self, **p):
        return {"kind": "addressOffset", "parameters": dict({"lines": 4, "offset": -4, "from": 3, "since": 3}, **p)}

    def test_an_offset_is_true_on_its_range_only(self):
        self.assertTrue(judge.cause_true(self.offset(to=7), self.FILE, 8))
        self.assertFalse(judge.cause_true(self.offset(to=8), self.FILE, 8))  # line 8 is -10
        self.assertFalse(judge.cause_true(self.offset(to=6), self.FILE, 8))  # line 7 is -4 still
        self.assertFalse(judge.cause_true(self.offset(to=7, offset=-3), self.FILE, 8))

    def test_a_typo_is_no_line_of_a_range(self):
        typo = dict(self.FILE, typo_lines=[8])
        self.assertTrue(judge.cause_true(self.offset(to=8), typo, 8))

    def test_lines_told_apart_from_a_range_must_lie_apart(self):
        self.assertTrue(judge.cause_true(self.offset(to=8, besides=[8]), self.FILE, 8))
        self.assertFalse(judge.cause_true(self.offset(to=8, besides=[7, 8]), self.FILE, 8))  # line 7 is -4

    def test_lines_pushed_past_the_end_are_not_counted(self):
        # Two lines added before line 1 push lines 7 and 8 past the end:
        # 3, 4 and 5 are the graded lines at -4, and 7 costs no points.
        added = dict(self.FILE, printed=[None, None] + list(range(1, 9)))
        self.assertTrue(judge.cause_true(self.offset(to=7, lines=3), added, 8))
        self.assertFalse(judge.cause_true(self.offset(to=7, lines=1), added, 8))

    def test_lines_right_as_text_are_not_counted(self):
        # START 1000 read as decimal and printed in decimal: "1000" is the
        # reference's own text on the first two lines, and costs no points.
        with tempfile.TemporaryDirectory() as folder:
            for path, text in (("references/t1.sym", "1000 A\n1000 B\n1006 C\n101A D\n"),
                               ("submissions/s1/t1.sym", "\ufeff1000 A\n1000 B\n1006 C\n1026 D\n"),
                               ("submissions/s2/t1.sym", "1000 A\n1000 B\r\n1006 C\n1026 D\n")):
                os.makedirs(os.path.dirname(os.path.join(folder, path)), exist_ok=True)
                with open(os.path.join(folder, path), "w", encoding="utf-8", newline="") as f:
                    f.write(text)
            file = dict(self.FILE, offsets=[-3096] * 4, printed=[1, 2, 3, 4])
            truth = {"tests": {"t1.sym": {"lines": 4}},
                     "students": {"s1": {"files": {"t1.sym": dict(file)}}, "s2": {"files": {"t1.sym": dict(file)}}}}
            judge.read_values(truth, folder)
        # A byte-order mark or a CR keeps a line wrong.
        self.assertEqual(truth["students"]["s1"]["files"]["t1.sym"]["graded_wrong"], {1, 4})
        self.assertEqual(truth["students"]["s2"]["files"]["t1.sym"]["graded_wrong"], {2, 4})
        told = self.offset(offset=-3096, to=None, lines=2, **{"from": 1, "since": 1})
        self.assertTrue(judge.cause_true(told, truth["students"]["s1"]["files"]["t1.sym"], 4))
        self.assertFalse(judge.cause_true(told, file, 4))  # four lines wrong, as far as it knows
        # A file the grade finds one line wrong in follows no pattern of
        # many lines, whatever its truth says of lines left out and added.
        self.assertEqual(judge.wrong_lines(dict(file, absent=[1], printed=[None, 2, 3, 4])), 6)
        self.assertEqual(judge.wrong_lines(dict(file, absent=[1], printed=[None, 2, 3, 4], wrong_positions=1)), 0)

    def test_a_neighbours_address_is_the_one_the_file_gives_beside_it(self):
        values = [0x100, 0x103, 0x106, 0x10A, 0x110, 0x0C, 0x110, 0x120]
        file = dict(self.FILE, offsets=[0, 0, 0, 0, 0, 0x104, 0, 0])
        told = {"kind": "neighbourAddress", "parameters": {"lines": 1}, "referenceLines": [{"from": 6, "to": 6}]}
        self.assertTrue(judge.cause_true(told, file, 8, values))
        self.assertFalse(judge.cause_true(told, dict(file, offsets=[0, 0, 0, 0, 0, 0x105, 0, 0]), 8, values))


if __name__ == "__main__":
    unittest.main()
