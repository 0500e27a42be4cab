#!/usr/bin/env python3
"""Checks that the generated classes hold what their truth says, and that the
evaluator reads the tool's outputs as they are written.

    python3 bench/test_explain_quality.py
"""
import importlib.machinery
import importlib.util
import json
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


classgen = load("classgen", "classgen.py")
quality = load("explain_quality", "explain-quality")


def expected_order(n, causes):
    """The reference line each student line should hold (None: a header),
    from the causes' documented meaning."""
    kinds = {c["kind"]: c for c in causes}
    order = list(range(1, n + 1))
    if "last_left_out" in kinds:
        order.pop()
    if "moved" in kinds:
        moved = kinds["moved"]
        order.remove(moved["line"])
        order.insert(order.index(moved["after"]) + 1 if moved["after"] in order else len(order), moved["line"])
    if "shift" in kinds:
        shift = kinds["shift"]
        at = order.index(shift["at"])
        assert shift["from_line"] == at + 1 + max(-shift["by"], 0)
        if shift["by"] > 0:
            del order[at:at + shift["by"]]
        else:
            order[at:at] = [None] * -shift["by"]
    return order


def wrong_lines(data, ref, causes):
    """The student's line numbers that the causes do not explain."""
    kinds = {c["kind"]: c for c in causes}
    text = data.decode()
    assert text.startswith("\ufeff") == ("bom" in kinds)
    lines = text.removeprefix("\ufeff").split("\n")
    assert lines.pop() == ""
    assert all(line.rstrip(" ").endswith("\r") == ("crlf" in kinds) for line in lines)
    if "trailing_empty_line" in kinds:
        assert lines.pop().strip() == ""
    order = expected_order(len(ref), causes)
    assert len(lines) == len(order)
    offsets = sorted((c["from_line"], c["d"]) for c in causes if c["kind"] == "offset")
    forms = kinds["address_form"]["forms"] if "address_form" in kinds else []
    wrong = []
    for number, (line, i) in enumerate(zip(lines, order), 1):
        fields = line.split()
        if i is None:
            if fields != classgen.HEADER.split():
                wrong.append(number)
            continue
        address, label = fields[::-1] if "swapped" in kinds else fields
        value, want = ref[i - 1]
        value += next((d for start, d in reversed(offsets) if start <= i), 0)
        want = want[:kinds["truncated"]["width"]] if "truncated" in kinds else want
        want = want.lower() if "case" in kinds else want
        digits = address.removeprefix("0x")
        read = int(digits, 10 if "decimal" in kinds else 16)
        form_right = (address.startswith("0x") == ("prefix" in forms)
                      and (digits != digits.upper()) <= ("lower" in forms)
                      and (len(digits) != 4) <= ("width" in forms))
        if read != value or label != want or not form_right:
            wrong.append(number)
    return wrong


class GeneratedClass(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.truth = classgen.generate(400, 7, cls.folder.name, planted_share=0.5)
        cls.refs = {}
        for test in classgen.TESTS:
            with open(os.path.join(cls.folder.name, "references", test)) as f:
                cls.refs[test] = [(int(a, 16), label) for a, label in (line.split() for line in f)]

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def read(self, student, test):
        with open(os.path.join(self.folder.name, "submissions", student, test), "rb") as f:
            return f.read()

    def test_the_truth_explains_every_line_but_the_typos(self):
        kinds = set()
        for student, record in self.truth["students"].items():
            for test, file in record["files"].items():
                with self.subTest(student=student, test=test):
                    wrong = wrong_lines(self.read(student, test), self.refs[test], file["causes"])
                    self.assertEqual(wrong, file["typo_lines"])
                    self.assertEqual(file["typos_only"], not file["causes"] and bool(wrong))
                    kinds.update(c["kind"] for c in file["causes"])
        self.assertEqual(kinds, set(classgen.KIND_ORDER))

    def test_every_cause_recorded_changes_the_file(self):
        # Undoing a recorded cause must leave lines the reference would not
        # have: a cause that changes nothing cannot be asked of a diagnosis.
        for student, record in list(self.truth["students"].items())[:150]:
            for test, file in record["files"].items():
                if file["typos"] or "copied_from" in file:
                    continue
                for k, cause in enumerate(file["causes"]):
                    if cause["kind"] in ("bom", "crlf", "trailing_empty_line", "last_left_out", "shift"):
                        continue  # shown by the bytes or the count, which the check above holds
                    others = file["causes"][:k] + file["causes"][k + 1:]
                    with self.subTest(student=student, test=test, cause=cause):
                        try:
                            unexplained = wrong_lines(self.read(student, test), self.refs[test], others)
                        except (AssertionError, ValueError):
                            continue  # the file no longer even reads as the rest: the cause shows
                        self.assertTrue(unexplained)

    def test_copies_share_their_sources_typos(self):
        for copy in self.truth["copies"]:
            shared = 0
            for test in copy["tests"]:
                source = self.truth["students"][copy["source"]]["files"][test]["typo_lines"]
                copier = self.truth["students"][copy["copier"]]["files"][test]
                self.assertLessEqual(set(source), set(copier["typo_lines"]))
                self.assertIn(copier["typos"] - len(source), range(2, 6))
                shared += len(source)
            self.assertGreaterEqual(shared, 3, copy)

    def test_a_seed_makes_the_same_bytes(self):
        def snapshot(seed):
            with tempfile.TemporaryDirectory() as folder:
                truth = classgen.generate(60, seed, folder)
                files = {}
                for root, _, names in os.walk(folder):
                    for name in names:
                        with open(os.path.join(root, name), "rb") as f:
                            files[os.path.relpath(os.path.join(root, name), folder)] = f.read()
                return json.dumps(truth, sort_keys=True), files
        self.assertEqual(snapshot(3), snapshot(3))
        self.assertNotEqual(snapshot(3)[1], snapshot(4)[1])


class MixedClass(unittest.TestCase):
    def test_copies_record_what_they_share_and_the_mix_varies(self):
        with tempfile.TemporaryDirectory() as folder:
            truth = classgen.generate(300, 11, folder, mixed=True, top_up=False)
            other = classgen.generate(300, 12, None, mixed=True, top_up=False)
        self.assertNotEqual([b["prevalence"] for b in truth["common_bugs"]],
                            [b["prevalence"] for b in other["common_bugs"]])
        for copy in truth["copies"]:
            source = truth["students"][copy["source"]]["files"]
            copier = truth["students"][copy["copier"]]["files"]
            kept = sum(len(set(source[t]["typo_lines"]) & set(copier[t]["typo_lines"])) for t in copy["tests"])
            # A copy of the assembler keeps none of the source's typos.
            self.assertEqual(copy["edits"], 0 if copy["disguise"] == "assembler" else kept, copy)
            self.assertLessEqual(copy["rare_edits"], copy["edits"])
            self.assertIn(copy["rare_set"], (True, False))

    def test_a_typo_another_student_also_wrote_is_not_the_copys_own(self):
        def file(rows, changes=None, digits="0123456789ABCDEF"):
            return {"base": {"rows": rows, "digits": digits}, "changes": changes or {}}
        rows = [("1000", "FIRST", 1), ("1003", "NEXT", 2)]
        decimal = [("4096", "FIRST", 1), ("4099", "NEXT", 2)]
        files = {}
        for t in classgen.TESTS:
            files["a", t] = file(rows)
            files["b", t] = file(rows)
            files["c", t] = file(rows)
        t1, t2 = classgen.TESTS[0], classgen.TESTS[1]
        # a's two typos, both kept by its copier b; c, honest, prints the
        # second alike, in decimal and lower case, which is the same line.
        files["a", t1] = files["b", t1] = file(rows, {0: ("1000", "FIRTS", 1)})
        files["a", t2] = files["b", t2] = file(rows, {1: ("1013", "NEXT", 2)})
        files["c", t2] = file(decimal, {1: ("4115", "next", 2)}, digits="0123456789")
        record = {"source": "a", "copier": "b", "tests": [t1, t2], "edits": 2}
        classgen.share_edits(files, [record], ["a", "b", "c"], [])
        self.assertEqual(record["rare_edits"], 1)
        # d's assembler puts every line one further on, and d mistypes the
        # first label as a did: the same typo, at another address.
        files["d", t1] = file([("1001", "FIRST", 1), ("1004", "NEXT", 2)], {0: ("1001", "FIRTS", 1)})
        for t in classgen.TESTS[1:]:
            files["d", t] = file(rows)
        record = {"source": "a", "copier": "b", "tests": [t1, t2], "edits": 2}
        classgen.share_edits(files, [record], ["a", "b", "d"], [])
        self.assertEqual(record["rare_edits"], 1)
        # In a ring, what its members share is still its own.
        record = {"source": "a", "copier": "b", "tests": [t1, t2], "edits": 2}
        classgen.share_edits(files, [record], ["a", "b", "c"], [["a", "b", "c"]])
        self.assertEqual(record["rare_edits"], 2)

    def test_scores_groups_and_pairs_listed_apart(self):
        truth = {"pairs": [["a", "b"]], "groups": [["c", "d", "e"]],
                 "copies": [{"source": "a", "copier": "b", "edits": 3, "rare_edits": 3, "rare_set": False},
                            {"source": "c", "copier": "d", "edits": 0, "rare_edits": 0, "rare_set": True},
                            {"source": "c", "copier": "e", "edits": 1, "rare_edits": 1, "rare_set": False},
                            {"source": "f", "copier": "g", "edits": 2, "rare_edits": 0, "rare_set": False}]}
        listed = [(frozenset("cde"), 4, False, "4 identical hand edits"),
                  (frozenset("xy"), 3, False, "3 identical hand edits"),
                  (frozenset("ab"), 1, True, quality.RARE_SET),
                  (frozenset("uv"), 1, True, quality.RARE_SET)]
        s = quality.score_mixed(truth, listed)
        self.assertEqual((s["pairs"], s["pairs_found"], s["group_pairs"], s["group_pairs_found"]), (1, 1, 1, 1))
        self.assertEqual((s["one_edit"], s["one_edit_found"]), (1, 1))
        # Typos that others wrote too are no target, however many.
        self.assertEqual((s["common_edits"], s["common_edits_found"]), (1, 0))
        # x and y are honest, and listed above a planted pair listed apart,
        # which is no ranking: u and v, listed apart, are no honest pair.
        self.assertEqual(s["honest"], 1)
        self.assertTrue(s["planted_first"])
        self.assertFalse(quality.score_mixed(truth, listed[1:2] + listed[:1])["planted_first"])


class Evaluator(unittest.TestCase):
    def test_todays_texts_read_as_causes(self):
        examples = {
            "CR LF line ends": ("crlf", {}),
            "CR LF line ends on 3 of 10 lines": ("crlf", {}),
            "a trailing empty line": ("trailing_empty_line", {}),
            "line 4 left out (what follows is a line early)": ("shift", {"from_line": 4, "by": 1}),
            "lines 4 and 5 left out (what follows is 2 lines early)": ("shift", {"from_line": 4, "by": 2}),
            "2 lines added before line 1 (what follows is 2 lines late)": ("shift", {"from_line": 3, "by": -2}),
            "a line added before line 7 (what follows is a line late)": ("shift", {"from_line": 8, "by": -1}),
            "addresses written with a 0x prefix, lowercase digits and another width (8 lines)":
                ("address_form", {"forms": ["lower", "prefix", "width"], "count": 8}),
            "addresses off by +256 (12 lines)": ("offset", {"d": 256, "count": 12}),
            "addresses off by +12438 (+0x3096) on reference lines 3 to 9 (7 lines)":
                ("offset", {"d": 12438, "from_lines": [3], "count": 7}),
            "addresses below the reference's by an amount that grows by 1 at reference lines 4, 7 and 10, to -3"
            " (11 lines)": ("offset_steps", {"steps": [{"from_line": 4, "d": -1, "step": -1},
                                                       {"from_line": 7, "d": -2, "step": -1},
                                                       {"from_line": 10, "d": -3, "step": -1}]}),
            "addresses above the reference's by an amount that grows from +256 (+0x100) by 2 at reference line 5"
            " and by 14 at 8, to +272 (+0x110) (9 lines)":
                ("offset_steps", {"steps": [{"from_line": 5, "d": 258, "step": 2},
                                            {"from_line": 8, "d": 272, "step": 14}]}),
            "addresses off by -1 from reference line 9 on (2 lines)":
                ("offset", {"d": -1, "from_lines": [9], "count": 2}),
            "addresses off by +1 from reference line 45 or 46 on (9 lines)":
                ("offset", {"d": 1, "from_lines": [45, 46], "count": 9}),
            "line 2 printed after line 6": ("moved", {"line": 2, "after": 6}),
            "line 5 printed before line 1": ("moved", {"line": 5, "before": 1}),
            "labels cut to 6 characters (30 lines)": ("truncated", {"width": 6, "count": 30}),
            "the reference's last line left out": ("last_left_out", {}),
        }
        for text, cause in examples.items():
            self.assertEqual(quality.diagnose(text), cause, text)
        self.assertIsNone(quality.diagnose("something new"))

    def test_a_cause_is_found_only_with_its_parameters(self):
        offset = {"kind": "offset", "d": 257, "step": 1, "from_line": 9, "lines": 12, "lines_least": 10,
                  "lines_most": 12}
        self.assertTrue(quality.matches(("offset", {"d": 1}), offset, [offset], 20))
        # "(N lines)": the lines that show it, less those that typos hit.
        self.assertTrue(quality.matches(("offset", {"d": 1, "count": 11}), offset, [offset], 20))
        self.assertFalse(quality.matches(("offset", {"d": 1, "count": 13}), offset, [offset], 20))
        self.assertFalse(quality.matches(("offset", {"d": 1, "count": 1}), offset, [offset], 20))
        self.assertTrue(quality.matches(("offset", {"d": 257}), offset, [offset], 20))
        self.assertFalse(quality.matches(("offset", {"d": 256}), offset, [offset], 20))
        # The first line a range may start at, where typos hide which.
        self.assertTrue(quality.matches(("offset", {"d": 1, "from_lines": [8, 9]}), offset, [offset], 20))
        self.assertFalse(quality.matches(("offset", {"d": 1, "from_lines": [10]}), offset, [offset], 20))
        # A typo on the line before a range that happens to show its offset,
        # or on its first line, moves where the file shows it start: the
        # truth's typo lines are the file's, which a header moves.
        self.assertTrue(quality.matches(("offset", {"d": 1, "from_lines": [8]}), offset, [offset], 20, {8}))
        self.assertTrue(quality.matches(("offset", {"d": 1, "from_lines": [10]}), offset, [offset], 20, {9}))
        self.assertTrue(quality.matches(("offset", {"d": 1, "from_lines": [7]}), offset, [offset], 20, {7, 8}))
        self.assertFalse(quality.matches(("offset", {"d": 1, "from_lines": [7]}), offset, [offset], 20, {7}))
        self.assertFalse(quality.matches(("offset", {"d": 1, "from_lines": [10]}), offset, [offset], 20, {10}))
        header = {"causes": [{"kind": "shift", "at": 1, "by": -1}], "typo_lines": [10]}
        self.assertEqual(quality.typo_reference_lines(header), {9})
        # An offset that grows is true where each step is a cause's.
        later = {"kind": "offset", "d": 259, "step": 2, "from_line": 14}
        steps = ("offset_steps", {"steps": [{"from_line": 9, "d": 257, "step": 1},
                                            {"from_line": 14, "d": 259, "step": 2}]})
        self.assertTrue(quality.matches(steps, offset, [offset, later], 20))
        self.assertFalse(quality.matches(steps, offset, [offset], 20))
        shift = {"kind": "shift", "at": 1, "by": -1, "from_line": 2}
        self.assertFalse(quality.matches(("shift", {"from_line": 2, "by": 1}), shift, [shift], 20))
        # Moving line 3 after line 4 is moving line 4 before line 3.
        moved = {"kind": "moved", "line": 3, "after": 4}
        self.assertTrue(quality.matches(("moved", {"line": 4, "after": 2}), moved, [moved], 20))
        self.assertFalse(quality.matches(("moved", {"line": 4, "after": 30}), moved, [moved], 20))

    def test_gradebook_and_page_as_the_tool_writes_them(self):
        with tempfile.TemporaryDirectory() as folder:
            gradebook = os.path.join(folder, "g.csv")
            with open(gradebook, "wb") as f:
                f.write(b'student,t1.sym,t2.sym,total,notes\r\nout of,3,3,6,\r\n'
                        b's1,0,3,3,"t1.sym: from line 2 on, each line is the reference\'s line before (1 line added);'
                        b' t2.sym: CR LF line ends"\r\nt1.sym,3,3,6,\r\n')
            notes, tests = quality.read_gradebook(gradebook)
            self.assertEqual(tests, ["t1.sym", "t2.sym"])
            self.assertEqual(notes, {"s1": {"t1.sym": ["from line 2 on, each line is the reference's line before"
                                                       " (1 line added)"], "t2.sym": ["CR LF line ends"]}})
            page = os.path.join(folder, "p.html")
            head = "<h2>Suspected copying</h2>\n<p class=\"note\">Pairs, &#8722;</p>\n"
            rest = "<h2>Students</h2>\n<table>\n<tr><th>student</th></tr>\n<tr><td>s1 and s2</td><td>1</td></tr>\n</table>"
            for body, pairs in (("<p>No pair.</p>\n", []),
                                ("<table>\n<tr><th>students</th><th>weight</th><th>what</th></tr>\n"
                                 "<tr><td>s3 and s4</td><td class=\"n\">5.5</td><td>t1.sym line 3</td></tr>\n</table>\n",
                                 [(frozenset(("s3", "s4")), 5.5, False, "t1.sym line 3")]),
                                # A group, and a pair listed apart under a heading of its own.
                                ("<table>\n<tr><td>s3, s4 and s5</td><td class=\"n\">4</td><td>x</td></tr>\n</table>\n"
                                 "<h3>Sharing a set</h3>\n<table>\n<tr><td>s6 and s7</td><td class=\"n\">1</td><td>y</td>"
                                 "</tr>\n</table>\n",
                                 [(frozenset(("s3", "s4", "s5")), 4, False, "x"), (frozenset(("s6", "s7")), 1, True, "y")])):
                with open(page, "w") as f:
                    f.write(head + body + rest)
                self.assertEqual(quality.read_pairs(page), pairs)


if __name__ == "__main__":
    unittest.main()
