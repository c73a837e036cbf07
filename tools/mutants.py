#!/usr/bin/env python3
"""Faults put into the game's code one at a time, to see whether the unit tests catch them.

Each fault (a mutant) is one small change at a random place of an area's code: a comparison
flipped (< to >=, == to !=, ...) or moved by one (< to <=), && and || swapped, true and false
swapped, a ! dropped, a condition negated, + and - or ++ and -- swapped, a constant made one
more or one less, a call left out, a bool answer turned round. For each, only what the changed
file goes into is built, and the unit tests whose programs hold it run (ctest, the e2e label left
out, each with a timeout of a few times its own time) until one fails: the fault is caught. A
fault that does not build, or that leaves the compiled code as it was, is not counted.

The work happens in a copy of the checkout under build-mutants/ (its working tree as it is,
changes not yet committed included), built with ccache, so the checkout itself is never changed,
even when the run is interrupted. Each area prints
    mutants: end 9 of 10 caught (90%)
and the faults no test caught (file:line and the change), to be held by a test. The exit status
is 1 when an area's share is under --require (90 unless given), 2 on a wrong argument.

AREA is one of: """

import argparse
import fcntl
import fnmatch
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(HERE, "build-mutants")
TREE = os.path.join(WORK, "tree")
BUILD = os.path.join(TREE, "build")  # beside the sources as in a checkout, so ccache hits
CONFIGURE = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DTINTMAZE_WERROR=ON"]
BUILD_TIMEOUT = 900  # seconds for building one fault
TEST_TIMEOUT_FACTOR, TEST_TIMEOUT_LEAST = 4, 60  # a test's timeout: so many times its own time

# Each area: the files it covers (globs), and optionally a pattern of the functions whose bodies
# count (their signatures) and one of the lines that count anywhere in those files; with neither,
# the whole file counts.
AREAS = {
    "files": ([("files/*.cpp", None, None)],
              "the data files: reading and saving in place, locks, faults, links"),
    "links": ([("files/datafile.cpp", r"\b(leadsNowhere|userName|othersIn|listedWriters|"
                r"whoMayHavePut|follow|openFound|stillNamed|openPlainFile)\(", None)],
              "where a file's name leads, link by link, and whom it trusts"),
    "end": ([("window/ending.cpp", None, None), ("files/inflight.cpp", None, None)],
            "ending the game at any moment, and the writes it waits for"),
    "wait": ([("window/filewait.cpp", None, None), ("window/cover.cpp", None, None)],
             "the window's wait for a data file off its thread"),
    "focus": ([("window/form1.cpp", r"[Ff]ocus|seenControl|seenByPlayer", None),
               ("window/*.cpp", None, r"[Ff]ocus")],
              "where the focus goes: Tab, changes of screen, boxes and the wait"),
    "names": ([("window/accessible*.cpp", None, None)] +
              [(folder + "/*.cpp", None, r"tellScreenReaders|setAccessible|QAccessible")
               for folder in ("window", "game", "menu", "scores", "palette")],
              "what a screen reader hears of the controls"),
}

__doc__ += ", ".join(AREAS) + " (all of them unless given):\n" + "\n".join(
    f"  {name:6} {description}" for name, (_, description) in AREAS.items())


def run(command, timeout=None, **options):
    """Runs `command` niced, its output captured; returns (status, output), status None on a
    timeout."""
    try:
        done = subprocess.run(["nice"] + command, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=timeout, **options)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired:
        return None, ""


# The copy of the checkout.

def sync_tree():
    """Makes the copy's sources those of the checkout's working tree, writing only the files
    that differ (the build then rebuilds only those)."""
    listed = subprocess.run(["git", "-C", HERE, "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], stdout=subprocess.PIPE, check=True)
    names = {name for name in listed.stdout.decode().split("\0")
             if name and os.path.isfile(os.path.join(HERE, name))}
    for name in names:
        source, copy = os.path.join(HERE, name), os.path.join(TREE, name)
        with open(source, "rb") as f:
            data = f.read()
        if os.path.isfile(copy):
            with open(copy, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        write(copy, data)
        shutil.copymode(source, copy)
    for folder, subfolders, files in os.walk(TREE):
        if folder == TREE:
            subfolders.remove("build") if "build" in subfolders else None
        for file in files:
            path = os.path.join(folder, file)
            if os.path.relpath(path, TREE) not in names:
                os.remove(path)


def write(path, data):
    """Replaces the file at `path` by one holding `data` (bytes or text) at once."""
    temporary = path + ".mutant-new"
    with open(temporary, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())
    os.replace(temporary, path)


# The code: comments and literals blanked, functions found, faults listed.

def blanked(text):
    """`text` with every comment, string and character literal replaced by spaces (line breaks
    kept), so that only code is looked at; offsets stay the same."""
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|R"\((?:.|\n)*?\)"|"(?:\\.|[^"\\\n])*"|'
                         r"'(?:\\.|[^'\\\n])*'", re.S)
    return pattern.sub(lambda m: re.sub(r"[^\n]", " ", m.group()), text)


def functions(code):
    """The function bodies of `code` outside other bodies (in namespaces and classes too):
    (signature, first line, last line), lines counted from 0."""
    found, stack, start = [], [], 0
    for i, char in enumerate(code):
        inside = any(kind == "body" for kind, _, _ in stack)
        if char == "{":
            head = code[start:i]
            if inside:
                stack.append(("block", head, i))
                continue
            head = " ".join(line for line in head.split("\n") if not line.lstrip().startswith("#"))
            head = re.sub(r"^\s*((public|protected|private)\s*:\s*)*", "", " ".join(head.split()))
            scope = re.search(r"\b(namespace|class|struct)\b[^()]*$", head)
            stack.append(("scope" if scope else "body", head, i))
            start = i + 1
        elif char == "}" and stack:
            kind, head, opened = stack.pop()
            if kind == "body" and "(" in head:
                found.append((head, code.count("\n", 0, opened), code.count("\n", 0, i)))
            if kind != "block":
                start = i + 1
        elif char == ";" and not inside:
            start = i + 1
    return found


def chosen_lines(code, text, function_pattern, line_pattern):
    """The lines of a file an area covers (0-based), None for every line."""
    if not function_pattern and not line_pattern:
        return None
    lines = set()
    if function_pattern:
        for signature, first, last in functions(code):
            if re.search(function_pattern, signature):
                lines.update(range(first, last + 1))
    if line_pattern:
        lines.update(i for i, line in enumerate(text.split("\n"))
                     if re.search(line_pattern, line))
    return lines


SWAPS = {"<": ">=", "<=": ">", ">": "<=", ">=": "<", "==": "!=", "!=": "==",
         "&&": "||", "||": "&&", "+": "-", "-": "+", "++": "--", "--": "++",
         "true": "false", "false": "true"}
BOUNDS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
KEYWORDS = {"return", "if", "for", "while", "switch", "case", "else", "do", "delete", "throw",
            "using", "typedef", "static_assert", "co_return", "sizeof"}


def closing(code, opened):
    """The offset of the bracket that closes the one at `opened`, or None."""
    depth = 0
    for i in range(opened, len(code)):
        depth += {"(": 1, ")": -1}.get(code[i], 0)
        if depth == 0:
            return i
    return None


def statement_starts(code):
    """Where a statement may start in `code`: a line's first character after an end of a
    statement, a block's start or end, a label, an else or a ) (the head of an if, for or
    while, most likely); and the place after such a head on its own line."""
    starts = []
    for m in re.finditer(r"^[ \t]*(?=\S)", code, re.M):
        before = code[:m.start()].rstrip()
        if (not before or before[-1] in ";{})" or re.search(r"(\belse|[^:]:)$", before)):
            starts.append(m.end())
    for m in re.finditer(r"\b(?:if|for|while) (\()", code):
        end = closing(code, m.start(1))
        if end is not None and code[end + 1:end + 2] == " ":
            starts.append(end + 2)
    starts += [m.end() for m in re.finditer(r"\belse ", code)]
    return starts


def faults_in(text, code, lines):
    """The faults one may put into `text` (`code` is it blanked) on `lines` (None: all):
    (offset, length, replacement) each."""
    found = []
    text_lines = code.split("\n")

    def wanted(offset):
        line = code.count("\n", 0, offset)
        return (lines is None or line in lines) and not text_lines[line].lstrip().startswith("#")

    for m in re.finditer(r"(?<= )(<=|>=|==|!=|<|>|&&|\|\||\+|-)(?= )", code):
        found.append((m.start(), len(m.group()), SWAPS[m.group()]))
        if m.group() in BOUNDS:
            found.append((m.start(), len(m.group()), BOUNDS[m.group()]))
    for m in re.finditer(r"\b(true|false)\b|\+\+|--", code):
        found.append((m.start(), len(m.group()), SWAPS[m.group()]))
    for m in re.finditer(r"(?<![\w!=<>&|])!(?!=)", code):
        found.append((m.start(), 1, ""))
    for m in re.finditer(r"(?<![\w.'])(\d+)(?![\w.'])", code):
        value = int(m.group())
        found.append((m.start(), len(m.group()), str(value + 1)))
        if value > 0:
            found.append((m.start(), len(m.group()), str(value - 1)))
    for m in re.finditer(r"\bif (\()", code):
        end = closing(code, m.start(1))
        declares = re.match(r"\((?:const )?[\w:]+(?:<[^()]*>)?[*& ]+\w+ = ", code[m.start(1):end])
        if end is not None and ";" not in code[m.start(1):end] and not declares:
            found.append((m.start(1), end + 1 - m.start(1), "(!" + text[m.start(1):end + 1] + ")"))
    # A call left out: a statement that is a call alone becomes an empty block.
    for start in statement_starts(code):
        m = re.compile(r"(?:::)?[A-Za-z_][\w:.\->\[\]]*\(").match(code, start)
        if not m or m.group().lstrip(":").split(":")[0].rstrip("(") in KEYWORDS:
            continue
        end = closing(code, m.end() - 1)
        if end is not None and code[end + 1:end + 2] == ";":
            found.append((start, end + 2 - start, "{}"))
    # A bool answer turned round, in a function whose signature says bool.
    offsets = [0] + [m.end() for m in re.finditer("\n", code)]
    for signature, first, last in functions(code):
        if not re.match(r"(?:(?:static|inline|constexpr|virtual|\[\[nodiscard\]\])\s+)*bool\b",
                        signature):
            continue
        for m in re.finditer(r"\breturn ([^;{}]+);", code[offsets[first]:offsets[last]]):
            start, end = offsets[first] + m.start(1), offsets[first] + m.end(1)
            if m.group(1).strip() not in ("true", "false"):
                found.append((start, end - start, "!(" + text[start:end] + ")"))
    return sorted({fault for fault in found if wanted(fault[0])})


def candidates(area):
    """Every fault of `area`: (file, offset, length, replacement)."""
    found = []
    for pattern, function_pattern, line_pattern in AREAS[area][0]:
        names = subprocess.run(["git", "-C", HERE, "ls-files", "--cached", "--others",
                                "--exclude-standard", "--", pattern],
                               stdout=subprocess.PIPE, text=True, check=True).stdout.split()
        for name in sorted(n for n in names if fnmatch.fnmatch(n, pattern)):
            with open(os.path.join(TREE, name), encoding="utf-8") as f:
                text = f.read()
            code = blanked(text)
            lines = chosen_lines(code, text, function_pattern, line_pattern)
            found += [(name,) + fault for fault in faults_in(text, code, lines)]
    return sorted(set(found))


def describe(fault):
    """file:line, the text changed and what it became, and the line as it was."""
    name, offset, length, replacement = fault
    with open(os.path.join(TREE, name), encoding="utf-8") as f:
        text = f.read()
    line = text.count("\n", 0, offset) + 1
    before = " ".join(text[offset:offset + length].split())
    after = " ".join(replacement.split()) if replacement else "(nothing)"
    shown = text.split("\n")[line - 1].strip()
    return f"{name}:{line}: `{before}` -> `{after}`    in: {shown}"


# Building and testing.

class Build:
    def __init__(self):
        status, output = run(["cmake", "-S", TREE, "-B", BUILD] + CONFIGURE)
        if status != 0:
            sys.exit(output + "\nmutants: the copy under build-mutants/ does not configure")
        status, output = run(["cmake", "--build", BUILD, "-j", "2"])
        if status != 0:
            sys.exit(output + "\nmutants: the unchanged code does not build")
        listed = subprocess.run(["ctest", "--test-dir", BUILD, "--show-only=json-v1"],
                                stdout=subprocess.PIPE, text=True, check=True)
        self.programs = {}  # unit test -> the programs it runs from the build
        for test in json.loads(listed.stdout)["tests"]:
            labels = [p["value"] for p in test.get("properties", []) if p["name"] == "LABELS"]
            if any("e2e" in label for label in labels):
                continue
            paths = set()
            for argument in test.get("command", []):
                paths.update(p for p in re.findall(re.escape(BUILD) + r"/[^\s;=]+", argument)
                             if os.path.isfile(p) and os.access(p, os.X_OK))
            self.programs[test["name"]] = sorted(paths)
        self.inputs = {}  # program -> every file it is built from
        for program in {p for paths in self.programs.values() for p in paths}:
            listed = subprocess.run(["ninja", "-C", BUILD, "-t", "inputs",
                                     os.path.relpath(program, BUILD)],
                                    stdout=subprocess.PIPE, text=True, check=True)
            self.inputs[program] = set(listed.stdout.split())
        self.seconds = {}  # unit test -> its time on the unchanged code
        self.catches = {}  # unit test -> the faults it caught so far
        self.objects = {}  # source file -> (its object, the hash of its unchanged code)

    def object_of(self, name):
        """The object file built from `name`, and the hash of its code (debug data left out)."""
        if name not in self.objects:
            listed = subprocess.run(["ninja", "-C", BUILD, "-t", "query",
                                     os.path.join(TREE, name)], stdout=subprocess.PIPE,
                                    text=True, check=True).stdout
            outputs = listed.split("outputs:")[1].split()
            self.objects[name] = (outputs[0], self.code_hash(outputs[0]))
        return self.objects[name]

    def code_hash(self, obj):
        with tempfile.NamedTemporaryFile(suffix=".o") as stripped:
            subprocess.run(["objcopy", "--strip-debug", os.path.join(BUILD, obj), stripped.name],
                           check=True)
            return hashlib.sha256(stripped.read()).hexdigest()

    def tests_of(self, name):
        """The unit tests whose programs are built from `name`."""
        path = os.path.join(TREE, name)
        return sorted(test for test, programs in self.programs.items()
                      if any(path in self.inputs[p] for p in programs))

    def failing(self, tests):
        """Runs `tests`, two at a time, each with a timeout of a few times its own time;
        returns those that fail."""
        timeout = max([TEST_TIMEOUT_LEAST] + [int(TEST_TIMEOUT_FACTOR * self.seconds[t])
                                              for t in tests])
        names = "|".join(re.escape(t) for t in tests)
        status, output = run(["ctest", "--test-dir", BUILD, "-j", "2", "-R", f"^({names})$",
                              "--timeout", str(timeout)], timeout=2 * timeout + 60)
        return [t for t in tests if not re.search(rf"\s{re.escape(t)} \.+\s+Passed", output)]

    def time_tests(self, tests):
        """Runs the unit tests on the unchanged code and keeps their times; returns those that
        fail."""
        status, output = run(["ctest", "--test-dir", BUILD, "-j", "2", "--timeout", "600", "-R",
                              "^(" + "|".join(re.escape(t) for t in tests) + ")$"])
        for test in tests:
            m = re.search(rf"\s{re.escape(test)} \.+.*?([\d.]+) sec", output)
            self.seconds[test] = float(m.group(1)) if m else 600
        return [t for t in tests if not re.search(rf"\s{re.escape(t)} \.+\s+Passed", output)]

    def try_fault(self, fault, tests):
        """Puts `fault` into the copy, builds and tests it, and puts the code back. Returns
        ('caught', test), ('survived', None), ('unbuilt', None) or ('same', None)."""
        name, offset, length, replacement = fault
        path = os.path.join(TREE, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        obj, unchanged = self.object_of(name)
        try:
            write(path, text[:offset] + replacement + text[offset + length:])
            status, _ = run(["ninja", "-C", BUILD, obj], timeout=BUILD_TIMEOUT)
            if status != 0:
                return "unbuilt", None
            if self.code_hash(obj) == unchanged:
                return "same", None
            # The test most likely to catch it first, alone, then the others built at once. A
            # test catches the fault when it fails twice, so that a test that fails now and then
            # on its own does not.
            order = sorted(tests, key=lambda t: (-self.catches.get(t, 0), self.seconds[t]))
            for group in (order[:1], order[1:]) if len(order) > 1 else (order,):
                programs = sorted({os.path.relpath(p, BUILD) for t in group
                                   for p in self.programs[t]})
                status, _ = run(["ninja", "-C", BUILD, "-j", "2"] + programs, timeout=BUILD_TIMEOUT)
                if status != 0:
                    return "unbuilt", None
                for test in self.failing(group):
                    if self.failing([test]):
                        self.catches[test] = self.catches.get(test, 0) + 1
                        return "caught", test
            return "survived", None
        finally:
            write(path, text)


def main():
    parser = argparse.ArgumentParser(
        prog="./dev test mutants", description=__doc__.split("\n\n")[0],
        epilog="\n\n".join(__doc__.split("\n\n")[1:]),
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--area", default=",".join(AREAS),
                        help="the areas, comma-separated (default: all)")
    parser.add_argument("--count", type=int, default=10,
                        help="faults counted per area: ones that build and change the code "
                        "(default: 10)")
    parser.add_argument("--seed", type=int, help="the random choice's seed (default: a new one)")
    parser.add_argument("--require", type=int, default=90,
                        help="the share each area must catch, in percent (default: 90)")
    parser.add_argument("--list", action="store_true",
                        help="print every fault each area may get, and try none")
    options = parser.parse_args()
    areas = options.area.split(",")
    unknown = [a for a in areas if a not in AREAS]
    if unknown or options.count < 1:
        parser.error(f"no such area: {', '.join(unknown)}" if unknown else "--count below 1")
    seed = options.seed if options.seed is not None else random.randrange(1, 1_000_000)

    os.makedirs(TREE, exist_ok=True)
    lock = open(os.path.join(WORK, "lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit("mutants: another run uses build-mutants/; wait for it to end")
    sync_tree()
    if options.list:
        for area in areas:
            found = candidates(area)
            print(f"{area}: {len(found)} faults")
            for fault in found:
                print("  " + describe(fault))
        return 0

    print(f"mutants: seed {seed} (--seed {seed} tries the same faults again)", flush=True)
    started = time.monotonic()
    build = Build()
    shuffled = {}  # each area's faults in the order they are tried: the first --count that
    for area in areas:  # build and change the code count
        shuffled[area] = candidates(area)
        random.Random(f"{seed}:{area}").shuffle(shuffled[area])
    tests = sorted({t for faults in shuffled.values() for f in faults for t in build.tests_of(f[0])})
    failing = build.time_tests(tests)
    if failing:
        print(f"mutants: left out, as they fail on the unchanged code: {', '.join(failing)}")
    # The areas take turns, so that a run cut short has tried each about as often.
    results = {area: [] for area in areas}
    counted = {area: 0 for area in areas}
    while any(counted[a] < options.count and shuffled[a] for a in areas):
        for area in areas:
            if counted[area] == options.count or not shuffled[area]:
                continue
            fault = shuffled[area].pop(0)
            affected = [t for t in build.tests_of(fault[0]) if t not in failing]
            start = time.monotonic()
            outcome, test = build.try_fault(fault, affected) if affected else ("survived", None)
            results[area].append((fault, outcome))
            counted[area] += outcome in ("caught", "survived")
            told = {"caught": f"caught by {test}", "survived": "SURVIVED",
                    "unbuilt": "does not build", "same": "compiles to the same code"}[outcome]
            print(f"  {area} {len(results[area])}. {describe(fault)}\n"
                  f"      {told} ({time.monotonic() - start:.0f} s)", flush=True)

    print(f"mutants: {time.monotonic() - started:.0f} s, seed {seed}")
    status = 0
    for area in areas:
        counted = [(f, o) for f, o in results[area] if o in ("caught", "survived")]
        caught = sum(o == "caught" for _, o in counted)
        share = 100 * caught // len(counted) if counted else 100
        left = len(results[area]) - len(counted)
        print(f"mutants: {area} {caught} of {len(counted)} caught ({share}%)"
              + (f"; {left} more did not build or compiled to the same code" if left else ""))
        for fault, outcome in counted:
            if outcome == "survived":
                print("  survived: " + describe(fault))
        if share < options.require:
            status = 1
    return status


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("mutants: ended; build-mutants/ is as it was"))
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("mutants: interrupted; the code in build-mutants/ is as it was")
