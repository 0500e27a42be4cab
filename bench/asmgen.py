#!/usr/bin/env python3
"""Makes a class whose symbol tables a SIC/XE pass 1 assembled, each
student's with its own mistakes, and writes what is in every file.

    bench/asmgen.py --students N --seed S --out DIR [--mix M] [--tests K]

writes DIR/references/tN.sym (the correct pass 1's symbol table: address
and label a line, in the order the labels are defined), DIR/sources/tN.asm
(the test programs), DIR/submissions/<student>/tN.sym and DIR/truth.json.
A seed makes the same bytes every time; --mix (default: the seed) draws how
often each mistake occurs and how many combine, so that nothing is tuned
to one mix.

The programs are written here (a COPY with its read and write subroutines,
literals with LTORG and at END, a recursive factorial, record layouts with
ORG, EQU expressions with `*` and label differences, formats 1 to 4) and
made up from the seed, of varied sizes. Each student's assembler is this
pass 1 with switchable MISTAKES; cosmetics (COSMETICS: printf formats,
letter case, cut labels, order, a header, CR LF, a BOM) and typos come on
top, and a few students copy another's files.

truth.json keeps classgen's shape (bench/classgen.py: "tests",
"students" -> "files" -> "causes", "typos", "typo_lines", "typos_only",
"pairs", "groups", "copies"), and per file adds:
  mistakes      the planted pass-1 mistakes that show in the file, each
                {"name", "statements": the source lines it concerns}
  offsets       per reference line, the student's address less the
                reference's where the line is printed with its label
                (null where it is not)
  order         "reference", "byLabel" or "hash"
  printed       the file's lines in order: the reference line each
                prints, null for a line that prints none (a header, a
                literal, a name printed twice)
  doubled       reference lines printed twice (the second is the one
                that prints none)
  absent        reference lines not printed
An offset cause is {"kind": "offset", "d", "from_line", "to_line",
"lines"}: a run of reference lines whose addresses are off alike.
"""
import argparse
import json
import os
import random
import re

FORMAT1 = {"FIX", "FLOAT", "HIO", "NORM", "SIO", "TIO"}
FORMAT2 = {"ADDR", "CLEAR", "COMPR", "DIVR", "MULR", "RMO", "SHIFTL", "SHIFTR", "SUBR", "SVC", "TIXR"}
FORMAT3 = {"ADD", "AND", "COMP", "DIV", "J", "JEQ", "JGT", "JLT", "JSUB", "LDA", "LDB", "LDCH", "LDL", "LDS", "LDT",
           "LDX", "MUL", "OR", "RD", "RSUB", "STA", "STB", "STCH", "STL", "STS", "STT", "STX", "SUB", "TD", "TIX",
           "WD"}
NO_SIZE = {"BASE", "NOBASE", "END"}

COPY = """\
. COPY: copies records from an input device to an output device
COPY     START   {start}
FIRST    STL     RETADR
         LDB     #LENGTH
         BASE    LENGTH
CLOOP   +JSUB    RDREC
         LDA     LENGTH
         COMP    #0
         JEQ     ENDFIL
        +JSUB    WRREC
         J       CLOOP
ENDFIL   LDA     =C'EOF'
         STA     BUFFER
         LDA     #3
         STA     LENGTH
        +JSUB    WRREC
         J       @RETADR
         LTORG
RETADR   RESW    1
LENGTH   RESW    1
BUFFER   RESB    4096
BUFEND   EQU     *
MAXLEN   EQU     BUFEND-BUFFER
.
.        RDREC: reads a record into the buffer
.
RDREC    CLEAR   X
         CLEAR   A
         CLEAR   S
        +LDT     #MAXLEN
RLOOP    TD      INPUT
         JEQ     RLOOP
         RD      INPUT
         COMPR   A,S
         JEQ     EXIT
         STCH    BUFFER,X
         TIXR    T
         JLT     RLOOP
EXIT     STX     LENGTH
         RSUB
INPUT    BYTE    X'F1'
.
.        WRREC: writes the record from the buffer
.
WRREC    CLEAR   X
         LDT     LENGTH
WLOOP    TD      =X'05'
         JEQ     WLOOP
         LDCH    BUFFER,X
         WD      =X'05'
         TIXR    T
         JLT     WLOOP
         RSUB
         END     FIRST
"""

FACT = """\
. FACT: n! by a recursive routine that keeps its frame on a stack
FACT     START   {start}
MAIN     LDA     #5
         STA     NUM
        +JSUB    RFACT
         STA     RESULT
         J       HALT
.
RFACT    STL     @SP
         LDT     #3
         LDA     SP
         ADDR    T,A
         STA     SP
         LDA     NUM
         COMP    #1
         JGT     RECUR
         LDA     #1
         J       UNWIND
RECUR    STA     @SP
         SUB     #1
         STA     NUM
        +JSUB    RFACT
         MUL     NUM
         STA     NUM
UNWIND   LDA     SP
         SUBR    T,A
         STA     SP
         LDL     @SP
         RSUB
HALT     J       HALT
NUM      RESW    1
RESULT   RESW    1
SP       WORD    STACK
DEPTH    EQU     12
STACK    RESW    12
STKEND   EQU     *
STKLEN   EQU     STKEND-STACK
         END     MAIN
"""

RECORDS = """\
. RECS: record layouts laid over one buffer with ORG
RECS     START   {start}
BEGIN    LDX     #0
         LDS     #RECLEN
LOOP     LDA     TABLE,X
         COMP    =W'0'
         JEQ     DONE
        +STA     TOTAL
         ADDR    S,X
         COMPR   X,T
         JLT     LOOP
DONE     FIX
         J       DONE
         LTORG
TOTAL    RESW    1
TABLE    RESB    120
         ORG     TABLE
ID       RESW    1
NAME     RESB    10
SCORE    RESW    2
TAG      BYTE    C'AB'
         ORG
ENDTAB   EQU     *
RECLEN   EQU     TAG-ID+2
COUNT    EQU     ENDTAB-TABLE
HEAD     BYTE    C'SCORES'
CODES    BYTE    X'0A0B0C'
         WORD    7
LAST     RESB    20
         END     BEGIN
"""

LITERALS = """\
. LITS: literals placed at LTORG and at END
LITS     START   {start}
INIT     LDA     =C'ABC'
         STA     BUF1
        +LDT     =X'0010'
         CLEAR   X
         COMPR   A,T
         JEQ     SECOND
         LTORG
BUF1     RESW    2
FLAGS    BYTE    X'FF00'
SECOND   LDA     =C'Z'
         WD      =X'06'
        +STA     BUF2
         SHIFTL  A,4
         NORM
         RSUB
BUF2     RESW    3
WIDTH    EQU     BUF2-BUF1
MSG      BYTE    C'DONE'
         END     INIT
"""

HAND_WRITTEN = [("copy", COPY), ("fact", FACT), ("records", RECORDS), ("literals", LITERALS)]


def made_up(rng, size):
    """A program of about `size` statements: routines of operations of every
    format with labels here and there, data between them."""
    taken = set()

    def label():
        while True:
            name = rng.choice("ABCDEFGHKLMPRSTW") + "".join(rng.choice("ABCDEFGHIJKLMNOPRSTUVWXYZ0123456789")
                                                             for _ in range(rng.randint(2, 5)))
            if name not in taken:
                taken.add(name)
                return name

    name = label()
    lines = [". %s: made up from the seed" % name, "%-8s START   %X" % (name, rng.choice((0, 0x100, 0x1000, 0x2000)))]
    first = label()
    data, used_literal = [], False
    for k in range(size):
        roll = rng.random()
        lab = first if k == 0 else (label() if rng.random() < 0.35 else "")
        if roll < 0.45 or k == 0:
            op = rng.choice(sorted(FORMAT3))
            operand = "" if op == "RSUB" else rng.choice(("#%d" % rng.randint(0, 99), "DATA", "=C'%s'" % rng.choice(
                ("EOF", "X", "HELLO")), "=X'%02X'" % rng.randint(0, 255))) if rng.random() < 0.3 else "DATA"
            used_literal = used_literal or operand.startswith("=")
            lines.append("%-8s %-7s %s" % (lab, op, operand))
        elif roll < 0.6:
            lines.append("%-8s+%-7s %s" % (lab, rng.choice(("JSUB", "LDA", "STA", "LDT")), "DATA"))
        elif roll < 0.72:
            op = rng.choice(sorted(FORMAT2))
            lines.append("%-8s %-7s %s" % (lab, op, "A,X" if op not in ("CLEAR", "TIXR", "SVC") else "X"))
        elif roll < 0.77:
            lines.append("%-8s %s" % (lab, rng.choice(sorted(FORMAT1))))
        elif roll < 0.8 and used_literal:
            lines.append("%-8s LTORG" % "")
            used_literal = False
        else:
            lab = lab or label()
            kind = rng.choice(("RESW", "RESB", "BYTEC", "BYTEX", "WORD", "EQU")) if data else "RESW"
            if kind != "EQU":
                data.append(lab)
            if kind == "RESW":
                lines.append("%-8s RESW    %d" % (lab, rng.randint(1, 20)))
            elif kind == "RESB":
                lines.append("%-8s RESB    %d" % (lab, rng.choice((1, 8, 10, 64, 100, 256, 1000))))
            elif kind == "BYTEC":
                lines.append("%-8s BYTE    C'%s'" % (lab, "".join(rng.choice("ABCXYZ ") for _ in range(rng.randint(1, 8)))
                                                     .strip() or "Q"))
            elif kind == "BYTEX":
                lines.append("%-8s BYTE    X'%s'" % (lab, "".join(rng.choice("0123456789ABCDEF")
                                                                  for _ in range(2 * rng.randint(1, 4)))))
            elif kind == "WORD":
                lines.append("%-8s WORD    %d" % (lab, rng.randint(0, 4095)))
            else:
                lines.append("%-8s EQU     *" % lab if rng.random() < 0.4 else
                             "%-8s EQU     %s-%s" % (lab, data[-1], first))
    lines.append("DATA     WORD    0")
    lines.append("         END     %s" % first)
    return "\n".join(lines) + "\n"


# ----------------------------------------------------------------- pass 1

def parse(text):
    statements = []
    for number, line in enumerate(text.splitlines(), 1):
        if not line.strip() or line.lstrip().startswith("."):
            continue
        fields = re.findall(r"(?:[^\s']|'[^']*')+", line)
        label = "" if line[0].isspace() else fields.pop(0)
        op = fields[0] if fields else ""
        if op == "+" and len(fields) > 1:
            op = "+" + fields.pop(1)
        operand = fields[1] if len(fields) > 1 else ""
        statements.append({"line": number, "label": label, "op": op, "operand": operand})
    return statements


def constant_size(operand, mistakes):
    kind, inside = operand[0].upper(), operand[2:-1]
    if kind == "C":
        return len(inside) + ("bytec_long" in mistakes)
    if kind == "X":
        return len(inside) if "bytex_digits" in mistakes else (len(inside) + 1) // 2
    return 3  # =W'..': a word


def evaluate(expression, symbols, location):
    total, sign = 0, 1
    for term in re.split(r"([+-])", expression):
        if term in "+-" and term:
            sign = -1 if term == "-" else 1
        elif term == "*":
            total += sign * location
        elif term.isdigit():
            total += sign * int(term)
        elif term in symbols:
            total += sign * symbols[term]
        else:
            return None
    return total


def pass1(statements, mistakes=frozenset(), literals_alike=True):
    """The symbol table this assembler prints: [(address, label, source
    line of what defines it, what defines it)], in the order defined.
    literals_alike: its BYTE mistakes size literals too (one routine sizes
    both); otherwise literals are sized right."""
    table, symbols, pool, location, saved = [], {}, [], 0, None

    def dump():
        nonlocal location
        for literal in pool:
            table.append((location, literal, None, "literal"))
            location += constant_size(literal[1:], mistakes if literals_alike else ())
        pool.clear()

    for st in statements:
        op, operand, label = st["op"].upper(), st["operand"], st["label"]
        if op == "START":
            location = int(operand, 10 if "start_dec" in mistakes and operand.isdigit() else 16)
        if operand.startswith("=") and operand not in pool:
            pool.append(operand)
        if label and op != "EQU":
            symbols[label] = location
            table.append((location, label, st["line"], "name" if op == "START" else "label"))
        if op == "START":
            continue
        if op == "EQU":
            value = location if "equ_loc" in mistakes and operand != "*" else evaluate(operand, symbols, location)
            symbols[label] = value
            table.append((value, label, st["line"], "equ"))
        elif op == "ORG":
            if "org_ignored" not in mistakes:
                if operand:
                    saved, location = location, evaluate(operand, symbols, location)
                else:
                    location = saved
        elif op == "LTORG":
            if "ltorg_ignored" not in mistakes:
                dump()
        elif op == "END":
            dump()
        elif op in NO_SIZE:
            pass
        elif op == "BYTE":
            location += constant_size(operand, mistakes)
        elif op == "WORD":
            location += 3
        elif op == "RESW":
            location += int(operand) * (1 if "resw_bytes" in mistakes else 3)
        elif op == "RESB":
            location += int(operand, 16 if "resb_hex" in mistakes else 10)
        elif op.startswith("+"):
            location += 3 if "plus3" in mistakes else 4
        elif op in FORMAT1:
            location += 3 if "short3" in mistakes else 1
        elif op in FORMAT2:
            location += 3 if "short3" in mistakes else 2
        elif op in FORMAT3:
            location += 3
        else:
            raise ValueError("unknown operation %r" % op)
    return table


# What a student's assembler may do wrong in pass 1: its name, and the
# statements it concerns (a predicate on a statement).
MISTAKES = {
    "plus3": lambda st: st["op"].startswith("+"),
    "short3": lambda st: st["op"].upper() in FORMAT1 | FORMAT2,
    "bytec_long": lambda st: st["op"].upper() == "BYTE" and st["operand"][:1].upper() == "C",
    "bytex_digits": lambda st: st["op"].upper() == "BYTE" and st["operand"][:1].upper() == "X",
    "resw_bytes": lambda st: st["op"].upper() == "RESW",
    "resb_hex": lambda st: st["op"].upper() == "RESB",
    "start_dec": lambda st: st["op"].upper() == "START",
    "equ_loc": lambda st: st["op"].upper() == "EQU" and st["operand"] != "*",
    "equ_out": lambda st: st["op"].upper() == "EQU",
    "ltorg_ignored": lambda st: st["op"].upper() == "LTORG",
    "org_ignored": lambda st: st["op"].upper() == "ORG",
    "literals_in_table": lambda st: st["operand"].startswith("="),
    "name_out": lambda st: st["op"].upper() == "START" and st["label"],
    "name_doubled": lambda st: st["op"].upper() == "START" and st["label"],
}
# The BYTE mistakes, and the literals an assembler that sizes literals as
# constants gets wrong with them.
LITERAL_FORMS = {"bytec_long": "=C", "bytex_digits": "=X"}
# Mistakes that say what is printed, not where.
PRINTING = {"equ_out", "literals_in_table", "name_out", "name_doubled"}
EXCLUSIVE = [{"equ_out", "equ_loc"}, {"name_out", "name_doubled"}]

COSMETICS = ["crlf", "bom", "header", "lower_hex", "prefix", "width", "decimal", "case", "cut", "sorted", "hash",
             "swapped"]


def printed(table, mistakes):
    rows = []
    for address, label, line, what in table:
        if what == "literal" and "literals_in_table" not in mistakes:
            continue
        if what == "equ" and "equ_out" in mistakes:
            continue
        if what == "name" and "name_out" in mistakes:
            continue
        rows.append((address, label, line, what))
        if what == "name" and "name_doubled" in mistakes:
            rows.append((address, label, line, what))
    return rows


def draw_mix(rng):
    """How often each mistake and cosmetic occurs in one class."""
    return {"mistakes": {m: round(rng.uniform(0.02, 0.35), 3) for m in MISTAKES},
            "most_combined": rng.choice((1, 2, 3, 3)),
            "cosmetics": {c: round(rng.uniform(0.0, 0.15), 3) for c in COSMETICS},
            "typos": [round(w, 3) for w in (rng.uniform(30, 60), rng.uniform(10, 30), rng.uniform(0, 15))],
            "clean": round(rng.uniform(0.05, 0.25), 3),
            # students whose assembler sizes literals as it sizes constants
            "literals_alike": round(rng.uniform(0.3, 1.0), 3)}


def draw_student(rng, mix):
    if rng.random() < mix["clean"]:
        return set(), set()
    drawn = [m for m, share in mix["mistakes"].items() if rng.random() < share]
    rng.shuffle(drawn)
    chosen = set()
    for m in drawn:
        if len(chosen) >= mix["most_combined"]:
            break
        if not any(m in group and chosen & group for group in EXCLUSIVE):
            chosen.add(m)
    cosmetics = {c for c, share in mix["cosmetics"].items() if rng.random() < share}
    if {"sorted", "hash"} <= cosmetics:
        cosmetics.discard("hash")
    if "decimal" in cosmetics:
        cosmetics -= {"lower_hex", "prefix"}
    return chosen, cosmetics


def hash_order(label):
    h = 0
    for c in label:
        h = (h * 31 + ord(c)) % 101
    return h


def render(ref_rows, rows, cosmetics, rng, typo_count, cut):
    """The file's lines as text, and what it is: each line's reference line
    (None for a line of no reference line) and the typos' reference lines."""
    if "sorted" in cosmetics:
        rows = sorted(rows, key=lambda r: r[1])
    elif "hash" in cosmetics:
        rows = sorted(rows, key=lambda r: (hash_order(r[1]), r[1]))
    width = 6 if "width" in cosmetics else 4
    if "decimal" in cosmetics:
        form = "%0*d"
    else:
        form = ("0x" if "prefix" in cosmetics else "") + ("%0*x" if "lower_hex" in cosmetics else "%0*X")
    line_of = {}
    for k, (address, label, line, what) in enumerate(ref_rows):
        line_of.setdefault((label, what), k + 1)
    seen, lines, whose, entries, doubled = set(), [], [], [], []
    if "header" in cosmetics:
        lines.append("ADDRESS SYMBOL")
        whose.append(None)
        entries.append((None, None))
    for address, label, line, what in rows:
        ref_line = line_of.get((label, what))
        if ref_line in seen:
            doubled.append(ref_line)
            ref_line = None
        seen.add(ref_line)
        shown = label.lower() if "case" in cosmetics else label
        shown = shown[:cut] if "cut" in cosmetics else shown
        a = form % (width, address)
        lines.append([a, shown])
        whose.append(ref_line)
        entries.append((ref_line, address))
    typos = []
    spots = [k for k, w in enumerate(whose) if w is not None]
    for k in rng.sample(spots, min(typo_count, len(spots))):
        fields = lines[k]
        if rng.random() < 0.5:
            text = fields[0]
            at = rng.randrange(2 if text.startswith("0x") else 0, len(text))
            digits = "0123456789" if "decimal" in cosmetics else "0123456789abcdef" if "lower_hex" in cosmetics \
                else "0123456789ABCDEF"
            fields[0] = text[:at] + rng.choice(digits.replace(text[at], "")) + text[at + 1:]
        else:
            text = fields[1]
            at = rng.randrange(len(text))
            pool = "abcdefghijklmnopqrstuvwxyz" if text[at].islower() else "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
            fields[1] = text[:at] + rng.choice(pool.replace(text[at], "") if text[at].isalpha() else pool) + \
                text[at + 1:]
        typos.append(whose[k])
    end = "\r\n" if "crlf" in cosmetics else "\n"
    text = "".join(((f[1] + " " + f[0]) if "swapped" in cosmetics else " ".join(f)) + end if isinstance(f, list)
                   else f + end for f in lines)
    return ("\ufeff" if "bom" in cosmetics else "") + text, entries, sorted(typos), doubled


def offset_runs(offsets):
    runs, k = [], 0
    while k < len(offsets):
        d = offsets[k]
        if d is None or d == 0:
            k += 1
            continue
        j = k
        while j + 1 < len(offsets) and offsets[j + 1] in (d, None):
            j += 1
        while offsets[j] is None:
            j -= 1
        runs.append({"kind": "offset", "d": d, "from_line": k + 1, "to_line": j + 1,
                     "lines": sum(1 for x in offsets[k:j + 1] if x == d)})
        k = j + 1
    return runs


def file_truth(statements, ref_rows, mistakes, cosmetics, entries, typos, cut, doubled, literals_alike=True):
    """What one file holds (see the module's notes)."""
    n = len(ref_rows)
    offsets = [None] * n
    for ref_line, address in entries:
        if ref_line is not None:
            offsets[ref_line - 1] = address - ref_rows[ref_line - 1][0]
    printed_lines = {ref_line for ref_line, _ in entries}
    absent = [k + 1 for k in range(n) if (k + 1) not in printed_lines]
    order = "byLabel" if "sorted" in cosmetics else "hash" if "hash" in cosmetics else "reference"
    causes = [{"kind": c} for c in ("crlf", "bom", "decimal", "case", "swapped") if c in cosmetics]
    # A form the file's addresses show: lowercase digits only where some
    # address holds a hexadecimal letter, as classgen's truth has it.
    letters = any(address is not None and any(c in "ABCDEF" for c in "%X" % address) for _, address in entries)
    forms = [f for f, c in (("prefix", "prefix"), ("lower", "lower_hex"), ("width", "width"))
             if c in cosmetics and (f != "lower" or letters)]
    if forms:
        causes.append({"kind": "address_form", "forms": forms})
    if "cut" in cosmetics and any(len(r[1]) > cut for r in ref_rows):
        causes.append({"kind": "truncated", "width": cut})
    if "header" in cosmetics:
        causes.append({"kind": "shift", "at": 1, "by": -1, "from_line": 1})
    causes += offset_runs(offsets)
    shown = []
    reference_table = [(r[0], r[1]) for r in ref_rows]
    for m in sorted(mistakes):
        alone = pass1(statements, {m}, literals_alike)
        if m in PRINTING:
            visible = printed(alone, {m}) != printed(pass1(statements), set())
        else:
            visible = [(r[0], r[1]) for r in printed(alone, set())] != reference_table
        if visible:
            concerns = MISTAKES[m]
            if literals_alike and m in LITERAL_FORMS:
                # Its assembler sizes a literal as that constant: the
                # statements using one are the mistake's too.
                concerns = lambda st, m=m: MISTAKES[m](st) or st["operand"][:2].upper() == LITERAL_FORMS[m]
            shown.append({"name": m, "statements": [st["line"] for st in statements if concerns(st)]})
    return {"causes": causes, "mistakes": shown, "offsets": offsets, "order": order,
            "printed": [ref_line for ref_line, _ in entries], "doubled": doubled,
            "absent": absent, "typos": len(typos), "typo_lines": typos,
            "typos_only": not causes and not shown and bool(typos)}


def generate(students, seed, out, mix_seed=None, tests=5):
    rng = random.Random(seed)
    mix = draw_mix(random.Random(seed if mix_seed is None else mix_seed))
    programs = list(HAND_WRITTEN)
    rng.shuffle(programs)
    programs = programs[:max(tests - 1, 1)]
    while len(programs) < tests:
        programs.append(("made-up", made_up(rng, rng.choice((20, 40, 80, 160)))))
    texts = {}
    for k, (kind, template) in enumerate(programs, 1):
        start = rng.choice((0, 0x1000, 0x1000, 0x2000, 0x3000))
        texts["t%d" % k] = (kind, template.replace("{start}", "%X" % start))
    parsed = {t: parse(text) for t, (kind, text) in texts.items()}
    refs = {t: printed(pass1(st), set()) for t, st in parsed.items()}
    names = ["s%05d" % k for k in range(1, students + 1)]
    truth = {"seed": seed, "mix": mix, "programs": {t: kind for t, (kind, _) in texts.items()},
             "tests": {t + ".sym": {"lines": len(refs[t])} for t in texts},
             "pairs": [], "groups": [], "copies": [], "students": {}}
    written = {}
    for s in names:
        mistakes, cosmetics = draw_student(rng, mix)
        cut = rng.choice((4, 5))
        # Drawn apart from the class's stream, which stays as it was.
        alike = random.Random("%d-%s" % (seed, s)).random() < mix["literals_alike"]
        record = {"mistakes": sorted(mistakes), "cosmetics": sorted(cosmetics), "literals_alike": alike, "files": {}}
        for t, statements in parsed.items():
            rows = printed(pass1(statements, mistakes, alike), mistakes)
            typo_count = rng.choices((0, 1, 2), mix["typos"])[0]
            text, entries, typos, doubled = render(refs[t], rows, cosmetics, rng, typo_count, cut)
            written[s, t] = text
            record["files"][t + ".sym"] = file_truth(statements, refs[t], mistakes, cosmetics, entries, typos, cut,
                                                     doubled, alike)
        truth["students"][s] = record
    # A few pairs copy: the copier hands in the source's files, a line retyped.
    copiers = rng.sample(names, 2 * max(1, students // 100)) if students >= 4 else []
    for source, copier in zip(copiers[::2], copiers[1::2]):
        truth["pairs"].append([source, copier])
        truth["copies"].append({"source": source, "copier": copier, "tests": sorted(t + ".sym" for t in texts),
                                "disguise": None})
        for t in texts:
            written[copier, t] = written[source, t]
            truth["students"][copier]["files"][t + ".sym"] = dict(truth["students"][source]["files"][t + ".sym"],
                                                                   copied_from=source)
        truth["students"][copier]["mistakes"] = truth["students"][source]["mistakes"]
        truth["students"][copier]["cosmetics"] = truth["students"][source]["cosmetics"]
    if out is not None:
        for folder in ("references", "sources"):
            os.makedirs(os.path.join(out, folder), exist_ok=True)
        for t in texts:
            with open(os.path.join(out, "sources", t + ".asm"), "w") as f:
                f.write(texts[t][1])
            with open(os.path.join(out, "references", t + ".sym"), "w") as f:
                f.write("".join("%04X %s\n" % (r[0], r[1]) for r in refs[t]))
        for s in names:
            folder = os.path.join(out, "submissions", s)
            os.makedirs(folder, exist_ok=True)
            for t in texts:
                with open(os.path.join(folder, t + ".sym"), "wb") as f:
                    f.write(written[s, t].encode())
        with open(os.path.join(out, "truth.json"), "w") as f:
            json.dump(truth, f, separators=(",", ":"))
    return truth


def main():
    parser = argparse.ArgumentParser(description="Makes a class that a SIC/XE pass 1 with mistakes assembled.")
    parser.add_argument("--students", type=int, required=True)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--mix", type=int, help="the seed the mix is drawn from (default: --seed)")
    parser.add_argument("--tests", type=int, default=5)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    generate(args.students, args.seed, args.out, args.mix, args.tests)


if __name__ == "__main__":
    main()
