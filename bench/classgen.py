#!/usr/bin/env python3
"""Makes a class of students' symbol tables whose every mistake is known.

    bench/classgen.py --students N --seed S --out DIR [--honest] [--typos-only]
                      [--planted-share F] [--pairs N] [--groups N] [--copies-as-they-come]
                      [--mixed]

writes DIR/references/<test>, DIR/submissions/<student>/<test> and
DIR/truth.json, which says for every file the causes really in it, with
their parameters, and its typos, and which students copied. A seed makes
the same bytes every time.

Each student's assembler has some of COMMON_BUGS, each drawn on its own with
its prevalence, and they show in all of the student's files. Typos come on
top. A planted student has no common bug but one or two causes drawn on a
few tests, of every kind, so that single causes and pairs of causes can be
counted. A copier hands in another student's files with a few lines
retyped, sometimes disguised. A copy is found by the source's own wrong
lines that it shares: so that every planted copy can be found, a source's
copied files get at least 2 typos of their own (the targets are set on
copies that carry evidence); --copies-as-they-come leaves the sources as
they are, for a measure of how many copies carry none. --honest plants no copying; --typos-only
leaves nothing but typos.

--mixed draws the class's mix from the seed, so that nothing is tuned to
one: each common bug's prevalence, and for the bugs that have parameters
(how far off, from which line, how many characters kept) a few variants,
each student with the bug taking one; the typo rate; how many copy; and
how each copier disguises: the source's files re-saved (CR LF),
re-padded (a trailing blank, or tabs), as they are, or a copy of the
source's assembler run by the copier, with their own typos and way of
saving. Each copy record then says what its students share: "edits",
the source's typos the copies keep; "rare_edits", those of them that no
student outside the copy's pair or ring also wrote (a typo changes one
character, and in a large class the same typo recurs by chance, which is
no evidence of copying); and "rare_set", whether the set of assembler
mistakes they share on some copied test is no other student's.

A cause is plain data, a kind and its parameters:
  decimal                     addresses printed with %04d
  address_form forms [width]  right value, but with a 0x "prefix", "lower"
                              case digits, another "width" (0: no padding)
  offset d from_line          addresses from reference line from_line on
                              are off by d
  case                        labels lower-cased
  swapped                     the label printed before the address
  shift at by                 by > 0: reference lines at.. left out;
                              by < 0: -by header lines added before line at
  last_left_out               the reference's last symbol not printed
  moved line after            reference line `line` printed after
                              reference line `after`
  truncated width             labels cut to `width` characters
  crlf, bom, trailing_empty_line
truth.json holds each file's causes as the file shows them, as a diagnosis
would name them, a pattern's with the lines that show it ("lines") and the
fewest and most a diagnosis may count once typos are on some of them
("lines_least", "lines_most"): one address_form with the forms that some line shows (a
decimal address can show only another width);
an offset's d is the whole offset of its lines and step its own part (a
student may start at 0x100 and be one off after a directive); a shift
gains from_line, the student's first line that holds the reference's line
`by` away. A cause that changes no line is left out, and CR LF line ends
that a trailing blank makes harmless (the CR is then a third field, which
is ignored) carry "costs": false. Line numbers count from 1.
"""
import argparse
import json
import os
import random
import string

TESTS = ["t%d.sym" % n for n in range(1, 6)]
HEADER = "ADDR SYMBOL"
UPPER = string.ascii_uppercase
ALNUM = UPPER * 3 + string.digits  # digits are rarer than letters in labels
KIND_ORDER = ["decimal", "address_form", "offset", "case", "swapped", "truncated", "shift",
              "last_left_out", "moved", "crlf", "bom", "trailing_empty_line"]
FORMS = ("prefix", "lower", "width")
TYPO_COUNTS, TYPO_WEIGHTS = (0, 1, 2, 3, 4, 5), (35, 30, 20, 10, 3, 2)
DISGUISES = ({"crlf": True}, {"blank": True}, {"tabs": True})

# name, share of the class, why an assembler prints it, its cause on a test.
# Where a bug needs a place (the directive after which addresses run one
# ahead, the EQU symbol kept apart), it is the test program's, so everyone
# with the bug is wrong on the same lines.
COMMON_BUGS = [
    ("crlf", 0.30, "the table was saved on Windows", lambda t: {"kind": "crlf"}),
    ("off_by_one", 0.25, "the location counter moves once more after the test's DS directive",
     lambda t: {"kind": "offset", "d": 1, "from_line": t["construct_line"]}),
    ("no_end_label", 0.15, "the label on the END line is never entered", lambda t: {"kind": "last_left_out"}),
    ("header", 0.12, "a header line is printed above the table", lambda t: {"kind": "shift", "at": 1, "by": -1}),
    ("no_padding", 0.12, "%X instead of %04X",
     lambda t: {"kind": "address_form", "forms": ["width"], "width": 0}),
    ("lower_labels", 0.10, "labels are folded to lower case as they are read", lambda t: {"kind": "case"}),
    ("six_letters", 0.10, "labels are kept in 6-character fields", lambda t: {"kind": "truncated", "width": 6}),
    ("equ_last", 0.08, "EQU symbols are kept in a table of their own, printed last",
     lambda t: {"kind": "moved", "line": t["equ_line"], "after": t["lines"]}),
    ("start_0x100", 0.08, "the location counter starts at 0x100, as for a .COM file",
     lambda t: {"kind": "offset", "d": 0x100, "from_line": 1}),
    ("decimal", 0.05, "%04d instead of %04X", lambda t: {"kind": "decimal"}),
]


def make_reference(rng, lines):
    taken, table = set(), []
    address = rng.choice((0, 0, 0, 0x20, 0x100))
    while len(table) < lines:
        label = rng.choice(UPPER) + "".join(rng.choice(ALNUM) for _ in range(rng.randint(2, 7)))
        if label not in taken:
            taken.add(label)
            table.append((address, label))
            address += rng.choice((1, 2, 2, 3, 3, 3, 4, 6)) if rng.random() < 0.9 else rng.randint(8, 80)
    return table


def plant(rng, ref, kind):
    """A cause of this kind with parameters drawn for this reference."""
    n = len(ref)
    cause = {"kind": kind}
    if kind == "address_form":
        cause["forms"] = [f for f in FORMS if rng.random() < 0.5] or [rng.choice(FORMS)]
        if "width" in cause["forms"]:
            cause["width"] = rng.choice((0, 6))
    elif kind == "offset":
        cause["from_line"] = 1 if rng.random() < 0.6 else rng.randint(2, n - 3)
        d = rng.choice((1, 1, 2, 3, 4, 16, 256, 4096, -1))
        cause["d"] = 1 if ref[cause["from_line"] - 1][0] + d < 0 else d
    elif kind == "shift":
        cause["by"] = rng.choice((1, 1, 1, 2, -1, -1, -1, -2))
        cause["at"] = rng.randint(1, n - abs(cause["by"]) - 3)  # at least 3 lines stay shifted
    elif kind == "moved":
        cause["line"] = rng.randint(1, n)
        cause["after"] = rng.choice([q for q in range(1, n + 1) if q not in (cause["line"] - 1, cause["line"])])
    elif kind == "truncated":
        cause["width"] = rng.choice((5, 6))
    return cause


def compatible(a, b):
    # A shift and a moved line together leave no run of shifted lines to the
    # end that either could be named by.
    return a != b and {a, b} != {"shift", "moved"}


def plant_causes(rng, ref):
    first = rng.choice(KIND_ORDER)
    if rng.random() < 0.5:
        return [plant(rng, ref, first)]
    return [plant(rng, ref, first), plant(rng, ref, rng.choice([k for k in KIND_ORDER if compatible(first, k)]))]


def address_writer(causes):
    forms = [c for c in causes if c["kind"] == "address_form"]
    width = next((c["width"] for c in forms if "width" in c), 4)
    if any(c["kind"] == "decimal" for c in causes):
        return lambda value: "%0*d" % (width, value)
    prefix = "0x" if any("prefix" in c["forms"] for c in forms) else ""
    lower = any("lower" in c["forms"] for c in forms)
    return lambda value: prefix + ("%0*x" if lower else "%0*X") % (width, value)


def render(ref, causes):
    """The lines an assembler with these causes prints: (address, label,
    reference line) for a symbol, a string for any other line."""
    one = {c["kind"]: c for c in causes}
    order = list(range(1, len(ref) + 1))
    if "last_left_out" in one:
        order.pop()
    if "moved" in one and one["moved"]["line"] in order:
        moved = one["moved"]
        order.remove(moved["line"])
        order.insert(order.index(moved["after"]) + 1 if moved["after"] in order else len(order), moved["line"])
    offsets = [(c["from_line"], c["d"]) for c in causes if c["kind"] == "offset"]
    write = address_writer(causes)
    width = one["truncated"]["width"] if "truncated" in one else None
    rows = []
    for line in order:
        value, label = ref[line - 1]
        value += sum(d for start, d in offsets if start <= line)
        label = label[:width] if width else label
        rows.append((write(value), label.lower() if "case" in one else label, line))
    if "shift" in one:
        shift = one["shift"]
        at = next(k for k, row in enumerate(rows) if row[2] == shift["at"])
        rows[at:at + max(shift["by"], 0)] = [HEADER] * max(-shift["by"], 0)
    return rows


def present(ref, causes, rows):
    """The causes as the file shows them (see the module's notes), a
    pattern's with the lines that show it."""
    symbols = [row for row in rows if isinstance(row, tuple)]
    kinds = {c["kind"] for c in causes}
    decimal = "decimal" in kinds
    showing = {
        "decimal": lambda row: int(row[0]) >= 10,
        "case": lambda row: row[1] != row[1].upper(),
        "truncated": lambda row: len(ref[row[2] - 1][1]) > width,
        "swapped": lambda row: True,
        "address_form": lambda row: row[0] != ("%04d" if decimal else "%04X") % int(row[0].removeprefix("0x"),
                                                                                    10 if decimal else 16),
    }
    width = next((c["width"] for c in causes if c["kind"] == "truncated"), 0)
    found = []
    for cause in causes:
        kind = cause["kind"]
        if kind in ("decimal", "case", "truncated"):
            visible = any(showing[kind](row) for row in symbols)
        elif kind == "moved":  # moved after the last line, which is left out: still in order
            lines = [row[2] for row in symbols]
            visible = lines != sorted(lines)
        elif kind == "shift":
            visible = True
            cause = dict(cause, from_line=cause["at"] + max(-cause["by"], 0))
        else:
            visible = kind not in ("address_form", "offset")  # folded below
        if visible:
            found.append(dict(cause))
            if kind in showing:
                found[-1]["lines"] = sum(showing[kind](row) for row in symbols)
    if "address_form" in kinds:  # with decimal, only the width can show
        shown = {"prefix": any(row[0].startswith("0x") for row in symbols),
                 "lower": any(c in "abcdef" for row in symbols for c in row[0]),
                 "width": any(len(row[0].removeprefix("0x")) != 4 for row in symbols)}
        forms = [f for f in FORMS if shown[f]]
        if forms:
            found.append({"kind": "address_form", "forms": forms,
                          "lines": sum(showing["address_form"](row) for row in symbols)})
    offsets = sorted((c["from_line"], c["d"]) for c in causes if c["kind"] == "offset")
    for k, (start, d) in enumerate(offsets):
        end = offsets[k + 1][0] if k + 1 < len(offsets) else len(ref) + 1
        lines = sum(start <= row[2] < end for row in symbols)
        if lines:
            found.append({"kind": "offset", "d": sum(step for _, step in offsets[:k + 1]), "step": d,
                          "from_line": start, "lines": lines})
    return sorted(found, key=lambda c: KIND_ORDER.index(c["kind"]))


def assemble_line(row, flags):
    blank = "\t" if flags.get("tabs") else " "
    if isinstance(row, str):
        text = row.replace(" ", blank)
    else:
        text = row[1] + blank + row[0] if flags.get("swapped") else row[0] + blank + row[1]
    return text + (" " if flags.get("blank") else "") + ("\r\n" if flags.get("crlf") else "\n")


def make_base(ref, causes):
    """What every file of one test from one kind of assembler shares."""
    rows = render(ref, causes)
    kinds = {c["kind"] for c in causes}
    flags = {k: True for k in ("swapped", "crlf", "bom", "trailing_empty_line") if k in kinds}
    lower = any("lower" in c.get("forms", ()) for c in causes)
    digits = string.digits if "decimal" in kinds else "0123456789abcdef" if lower else "0123456789ABCDEF"
    return {"rows": rows, "flags": flags, "lines": [assemble_line(row, flags) for row in rows], "digits": digits,
            "spots": [k for k, row in enumerate(rows) if isinstance(row, tuple)],
            "causes": present(ref, causes, rows)}


def mistype(rng, row, digits):
    address, label, line = row
    if rng.random() < 0.5:
        k = rng.randrange(2 if address.startswith("0x") else 0, len(address))
        return address[:k] + rng.choice(digits.replace(address[k], "")) + address[k + 1:], label, line
    k = rng.randrange(len(label))
    pool = string.digits if label[k].isdigit() else string.ascii_lowercase if label[k].islower() else UPPER
    return address, label[:k] + rng.choice(pool.replace(label[k], "")) + label[k + 1:], line


def add_typos(rng, base, count, avoid=()):
    spots = [k for k in base["spots"] if k not in avoid] if avoid else base["spots"]
    return {k: mistype(rng, base["rows"][k], base["digits"]) for k in rng.sample(spots, min(count, len(spots)))}


def file_bytes(file):
    base, flags = file["base"], dict(file["base"]["flags"], **file["disguise"])
    lines = [assemble_line(row, flags) for row in base["rows"]] if file["disguise"] else list(base["lines"])
    for k, row in file["changes"].items():
        lines[k] = assemble_line(row, flags)
    if flags.get("trailing_empty_line"):
        lines.append(assemble_line("", flags))
    return (("\ufeff" if flags.get("bom") else "") + "".join(lines)).encode()


def file_truth(file):
    causes = [dict(c) for c in file["base"]["causes"]]
    if file["disguise"].get("crlf") and not any(c["kind"] == "crlf" for c in causes):
        causes = sorted(causes + [{"kind": "crlf"}], key=lambda c: KIND_ORDER.index(c["kind"]))
    for cause in causes:
        if cause["kind"] == "crlf" and file["disguise"].get("blank"):
            cause["costs"] = False
        # A pattern's count of lines, told as "(N lines)": the lines a typo
        # also hits may be left out of it, and so may the last lines where
        # a header pushed them past the reference's end; a typo may also
        # make a line show the pattern by chance (a digit one up on the
        # line before an off-by-one).
        if "lines" in cause:
            cause["lines_least"] = max(cause["lines"] - len(file["changes"]) - 2, 0)
            cause["lines_most"] = cause["lines"] + len(file["changes"])
    truth = {"causes": causes, "typos": len(file["changes"]), "typo_lines": sorted(k + 1 for k in file["changes"])}
    truth["typos_only"] = not causes and truth["typos"] > 0
    if "copied_from" in file:
        truth["copied_from"] = file["copied_from"]
    return truth


def mixed_bugs(rng, tests):
    """The common bugs of a mixed class: each one's prevalence drawn, and
    the bugs with parameters in a few variants, one per student who has it.
    Returns [(family, prevalence, [(name, why, cause of a test), ...])]."""
    def at_line(t, lo, hi, pick):
        return max(2, min(t["lines"] - 2, round(t["lines"] * (lo + pick * (hi - lo)))))
    families = []
    for name, share, why, cause in COMMON_BUGS:
        variants = [(name, why, cause)]
        if name == "off_by_one":
            variants = []
            for k in range(rng.randint(1, 4)):
                d, pick = rng.choice((1, 1, 2, 3, 4, 6)), rng.random()
                variants.append(("%s/%d" % (name, k), why,
                                 lambda t, d=d, pick=pick: {"kind": "offset", "d": d, "from_line": at_line(t, .2, .8, pick)}))
        elif name == "start_0x100":
            variants = [("%s/%d" % (name, k), why, lambda t, d=d: {"kind": "offset", "d": d, "from_line": 1})
                        for k, d in enumerate(rng.sample((0x100, 0x1000, 0x20, 0x200, 3), rng.randint(1, 3)))]
        elif name == "six_letters":
            variants = [("%s/%d" % (name, k), why, lambda t, w=w: {"kind": "truncated", "width": w})
                        for k, w in enumerate(rng.sample((5, 6, 8), rng.randint(1, 2)))]
        elif name == "header":
            variants = [("%s/%d" % (name, k), why, lambda t, by=by: {"kind": "shift", "at": 1, "by": by})
                        for k, by in enumerate(rng.sample((-1, -2), rng.randint(1, 2)))]
        families.append((name, min(0.6, share * rng.uniform(0.2, 2.5)), variants))
    return families


def generate(students, seed, out=None, honest=False, typos_only=False, planted_share=0.2, pairs=None, groups=None,
             top_up=True, mixed=False):
    """Makes the class; writes it under `out` when given; returns its truth."""
    rng = random.Random(seed)
    refs = {t: make_reference(rng, rng.randint(20, 200)) for t in TESTS}
    tests = {}
    for t, ref in refs.items():
        n = len(ref)
        tests[t] = {"lines": n, "construct_line": rng.randint(n // 3, 2 * n // 3), "equ_line": rng.randint(2, n - 2)}
    names = ["s%05d" % k for k in range(1, students + 1)]
    typo_weights = TYPO_WEIGHTS
    if mixed:
        families = mixed_bugs(rng, tests)
        bug_table = [(v[0], family[1], v[1], v[2]) for family in families for v in family[2]]
        planted_share = rng.uniform(0.05, 0.3)
        typo_weights = [w * rng.uniform(0.3, 3) if n else w for n, w in zip(TYPO_COUNTS, TYPO_WEIGHTS)]
        bugs = {s: [] if typos_only else
                [(v[0], f[1], v[1], v[2]) for f in families if rng.random() < f[1] for v in [rng.choice(f[2])]]
                for s in names}
        if pairs is None and not honest:
            pairs = rng.randint(1, max(1, students // 40))
            groups = rng.randint(1, max(1, students // 100))
    else:
        bug_table = COMMON_BUGS
        bugs = {s: [] if typos_only else [b for b in COMMON_BUGS if rng.random() < b[1]] for s in names}
    planted = {}
    if not typos_only:
        for s in sorted(rng.sample(names, round(planted_share * students))):
            bugs[s] = []
            planted[s] = {t: plant_causes(rng, refs[t]) for t in sorted(rng.sample(TESTS, rng.randint(1, 3)))}
    if honest or typos_only:
        pairs = groups = 0
    pairs = max(1, round(students / 50)) if pairs is None else pairs
    groups = max(1, round(students / 100)) if groups is None else groups
    pool = [s for s in names if s not in planted]
    rng.shuffle(pool)
    if 2 * pairs + 3 * groups > len(pool):
        raise ValueError("too few students for %d pairs and %d groups" % (pairs, groups))
    planted_pairs = [[pool.pop(), pool.pop()] for _ in range(pairs)]
    planted_groups = [[pool.pop(), pool.pop(), pool.pop()] for _ in range(groups)]
    copies = [(a, b, TESTS if rng.random() < 0.5 else sorted(rng.sample(TESTS, rng.randint(2, 4))))
              for a, b in planted_pairs]
    copies += [(g[0], copier, TESTS) for g in planted_groups for copier in g[1:]]
    # A copy is found by the wrong lines it shares; a source with no typo in
    # what was copied leaves nothing of its own to find.
    sources = {(source, t) for source, _, copied in copies for t in copied}

    cache, files = {}, {}
    for s in names:
        for t in TESTS:
            causes = [bug[3](tests[t]) for bug in bugs[s]] + planted.get(s, {}).get(t, [])
            key = (t, json.dumps(causes, sort_keys=True))
            if key not in cache:
                cache[key] = make_base(refs[t], causes)
            count = rng.choices(TYPO_COUNTS, typo_weights)[0]
            if top_up and (s, t) in sources:
                count = max(count, 2)
            files[s, t] = {"base": cache[key], "changes": add_typos(rng, cache[key], count), "disguise": {}}
    copy_records = []
    for source, copier, copied in copies:
        disguise = rng.choice(DISGUISES) if rng.random() < 0.5 else {}
        # A mixed class's copier may run the source's assembler instead,
        # with typos and a way of saving of their own.
        assembler = mixed and rng.random() < 0.3
        for t in copied:
            original = files[source, t]
            changes = {} if assembler else dict(original["changes"])
            own = rng.choices(TYPO_COUNTS, typo_weights)[0] if assembler else rng.randint(2, 5)
            changes.update(add_typos(rng, original["base"], own, avoid=original["changes"]))
            files[copier, t] = {"base": original["base"], "changes": changes, "disguise": disguise,
                                "copied_from": source}
        record = {"source": source, "copier": copier, "tests": list(copied),
                  "disguise": "assembler" if assembler else next(iter(disguise), None)}
        if mixed:
            record["edits"] = 0 if assembler else sum(len(files[source, t]["changes"]) for t in copied)
        copy_records.append(record)
    if mixed:
        share_sets(files, copy_records, names, planted_groups)
        share_edits(files, copy_records, names, planted_groups)

    truth = {"seed": seed, "mode": {"honest": honest, "typos_only": typos_only, "planted_share": planted_share,
                                    "top_up": top_up, "mixed": mixed, "students": students,
                                    "pairs": len(planted_pairs), "groups": len(planted_groups)},
             "tests": tests,
             "common_bugs": [] if typos_only else [
                 {"name": name, "prevalence": share, "why": why, "causes": {t: cause(tests[t]) for t in TESTS}}
                 for name, share, why, cause in bug_table],
             "pairs": planted_pairs, "groups": planted_groups, "copies": copy_records,
             "students": {s: {"bugs": [b[0] for b in bugs[s]], "planted": planted.get(s, {}),
                              "files": {t: file_truth(files[s, t]) for t in TESTS}} for s in names}}
    if out is not None:
        os.makedirs(os.path.join(out, "references"), exist_ok=True)
        for t, ref in refs.items():
            with open(os.path.join(out, "references", t), "w") as f:
                f.write("".join("%04X %s\n" % symbol for symbol in ref))
        for s in names:
            folder = os.path.join(out, "submissions", s)
            os.makedirs(folder, exist_ok=True)
            for t in TESTS:
                with open(os.path.join(folder, t), "wb") as f:
                    f.write(file_bytes(files[s, t]))
        with open(os.path.join(out, "truth.json"), "w") as f:
            json.dump(truth, f, separators=(",", ":"))
    return truth


COSMETIC = ("crlf", "bom", "trailing_empty_line", "address_form", "swapped")


def share_sets(files, copy_records, names, planted_groups):
    """Marks each copy record whose students share, on some copied test, a
    set of assembler mistakes that no other student's file of that test
    has (cosmetic causes aside)."""
    def set_of(s, t):
        return json.dumps(sorted(json.dumps(c, sort_keys=True) for c in files[s, t]["base"]["causes"]
                                 if c["kind"] not in COSMETIC))
    holders = {}
    for s in names:
        for t in TESTS:
            holders.setdefault((t, set_of(s, t)), set()).add(s)
    ring = {s: set(g) for g in planted_groups for s in g}
    for record in copy_records:
        together = ring.get(record["source"], {record["source"], record["copier"]})
        record["rare_set"] = any(set_of(record["source"], t) != "[]" and
                                 holders[t, set_of(record["source"], t)] <= together for t in record["tests"])


def share_edits(files, copy_records, names, planted_groups):
    """Counts in each copy record the kept typos that no student outside
    the copy's pair or ring writes. A typo is what it changed in the line
    its student's assembler printed, as the tool reads it once that
    assembler's causes are undone: a label mistyped the same way (in any
    case), or an address moved by the same amount, at the same reference
    line. Two students whose assemblers put that line apart (one of them
    off by some offset) still wrote the same typo."""
    def value(file, address):
        decimal = file["base"]["digits"] == string.digits
        return int(address.removeprefix("0x"), 10 if decimal else 16)

    def typo(file, k, row):
        printed = file["base"]["rows"][k]
        if row[1].casefold() != printed[1].casefold():
            return row[2], "label", row[1].casefold()
        return row[2], "address", value(file, row[0]) - value(file, printed[0])

    def typos(file):
        return [typo(file, k, row) for k, row in file["changes"].items()]

    kept = {}
    for record in copy_records:
        if record["edits"]:
            kept[id(record)] = [(t, key) for t in record["tests"] for key in typos(files[record["source"], t])]
    holders = {key: set() for keys in kept.values() for key in keys}
    for s in names:
        for t in TESTS:
            for key in typos(files[s, t]):
                if (t, key) in holders:
                    holders[t, key].add(s)
    ring = {s: set(g) for g in planted_groups for s in g}
    for record in copy_records:
        together = ring.get(record["source"], {record["source"], record["copier"]})
        record["rare_edits"] = sum(holders[key] <= together for key in kept.get(id(record), []))


def main():
    parser = argparse.ArgumentParser(description="Makes a class whose every mistake is known.")
    parser.add_argument("--students", type=int, required=True)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--honest", action="store_true", help="no planted copying")
    parser.add_argument("--typos-only", action="store_true", help="no bugs, no planted causes, no copying")
    parser.add_argument("--planted-share", type=float, default=0.2)
    parser.add_argument("--pairs", type=int, help="planted pairs (default: one per 50 students)")
    parser.add_argument("--groups", type=int, help="planted groups of 3 (default: one per 100 students)")
    parser.add_argument("--copies-as-they-come", action="store_true",
                        help="no typos added to the sources of copies")
    parser.add_argument("--mixed", action="store_true", help="the mix of bugs, typos and copying drawn from the seed")
    args = parser.parse_args()
    generate(args.students, args.seed, args.out, args.honest, args.typos_only, args.planted_share,
             args.pairs, args.groups, top_up=not args.copies_as_they_come, mixed=args.mixed)


if __name__ == "__main__":
    main()
