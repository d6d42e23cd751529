#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Mutation check of the host tests: single-token mutants of src/.

Each mutant changes one token of one line (a relational or logical operator,
a 0/1 or other integer constant by one, an increment, a negation) or deletes
one simple statement.  Mutants are applied one at a time to a scratch copy of
the tree (never the working tree), the library is rebuilt incrementally
(host, optimised, no sanitizers) and the host test programs run against it,
the mutated family's own program first, then the model checks.  A mutant is killed when a test
program fails or times out; mutants that do not compile, and those that
compile to a library identical to the unmutated one (code in a preprocessor
branch not taken, a hint to the optimiser), are counted apart.
The survivors are printed as `file:line: original -> mutant`.
"""
import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Operator tokens, longest first so that "<=" is never read as "<".
TOKEN = re.compile(r"\+\+|--|\+=|-=|==|!=|<=|>=|&&|\|\||<<|>>|->|!|<|>|\b\d+[uUlL]*\b|\b0[xX][0-9a-fA-F]+[uUlL]*\b")
SWAPS = {"==": "!=", "!=": "==", "<=": "<", ">=": ">", "&&": "||", "||": "&&",
         "++": "--", "--": "++", "+=": "-=", "-=": "+="}
DECL = re.compile(r"^(const\s+|static\s+|constexpr\s+)*[A-Za-z_][\w:<>]*(\s*[*&]+\s*|\s+)[A-Za-z_]\w*\s*(=|;|\[|\{)")
NOT_STATEMENT = re.compile(r"^(return|break|continue|case|default|goto|if|for|while|do|else|switch|using|typedef|struct|class|namespace|template|extern)\b")


def code_of(line):
    """The line with string/char literals blanked and any // comment cut."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" " if quote else c)
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def token_mutants(code, line):
    """(start, end, replacement) for each single-token mutation of a line."""
    for m in TOKEN.finditer(code):
        tok, a, b = m.group(), m.start(), m.end()
        spaced = code[a - 1:a] == " " and code[b:b + 1] == " "
        if tok in SWAPS:
            yield a, b, SWAPS[tok]
        elif tok in ("<", ">") and spaced:  # relational, not a template bracket
            yield a, b, tok + "="
        elif tok == "!" and code[b:b + 1] != "=":
            yield a, b, ""
        elif tok[0].isdigit() and not tok.lower().startswith("0x"):
            digits = re.match(r"\d+", tok).group()
            suffix = tok[len(digits):]
            n = int(digits)
            for v in ([1] if n == 0 else [0, 2] if n == 1 else [n - 1, n + 1]):
                yield a, b, str(v) + suffix
    # x + 1 <-> x - 1
    for m in re.finditer(r" ([+-]) (?=\d)", code):
        yield m.start(1), m.end(1), "-" if m.group(1) == "+" else "+"


def is_simple_statement(code, prev_code):
    s = code.strip()
    if not s.endswith(";") or s.count("(") != s.count(")") or "{" in s or "}" in s:
        return False
    if NOT_STATEMENT.match(s) or DECL.match(s):
        return False
    p = prev_code.strip()
    return p == "" or p[-1] in ";{})" or p.endswith("else")


def mutants_of(path):
    """All mutants of one file: (line number, original line, mutated line)."""
    with open(path) as f:
        lines = f.read().split("\n")
    prev, out, compile_time = "", [], False
    for no, line in enumerate(lines, 1):
        code = code_of(line).rstrip().rstrip("\\")  # a macro's continuation lines too
        if code.lstrip().startswith("#") or not code.strip():
            continue
        # A static_assert is checked by the compiler, not by the tests.
        compile_time = compile_time or code.lstrip().startswith("static_assert")
        if compile_time:
            compile_time = not code.rstrip().endswith(";")
            prev = code
            continue
        for a, b, rep in token_mutants(code, line):
            out.append((no, line, line[:a] + rep + line[b:]))
        if is_simple_statement(code, prev):
            indent = line[:len(line) - len(line.lstrip())]
            out.append((no, line, indent + ("{} \\" if line.rstrip().endswith("\\") else "{}")))
        prev = code
    return out


def run(cmd, cwd=None, timeout=None):
    try:
        return subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def scratch_copy(dest):
    """Copies the tracked and untracked-but-not-ignored files of the tree."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                           check=True, stdout=subprocess.PIPE).stdout.decode().split("\0")
    for rel in filter(None, files):
        src = os.path.join(ROOT, rel)
        if not os.path.isfile(src):
            continue
        os.makedirs(os.path.dirname(os.path.join(dest, rel)), exist_ok=True)
        shutil.copy2(src, os.path.join(dest, rel))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("files", nargs="*", help="sources to mutate (default: every .cpp and .h under src/)")
    ap.add_argument("--sample", type=int, metavar="N", help="at most N mutants per file, chosen at random")
    ap.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    ap.add_argument("--timeout", type=float, default=30, help="seconds per test program (default 30)")
    ap.add_argument("--list", action="store_true", help="list the mutants and exit")
    ap.add_argument("--keep", metavar="DIR", help="scratch directory to use and keep (reused if present)")
    args = ap.parse_args()

    files = args.files or sorted(os.path.relpath(os.path.join(d, f), ROOT)
                                 for d, _, names in os.walk(os.path.join(ROOT, "src")) for f in names
                                 if f.endswith((".cpp", ".h")))
    files = [os.path.relpath(os.path.abspath(f), ROOT) if os.path.exists(f) else f for f in files]
    plan = []
    rng = random.Random(args.seed)
    for rel in files:
        ms = mutants_of(os.path.join(ROOT, rel))
        if args.sample is not None and len(ms) > args.sample:
            ms = sorted(rng.sample(ms, args.sample), key=lambda m: m[0])
        plan += [(rel,) + m for m in ms]
    if args.list:
        for rel, no, old, new in plan:
            print(f"{rel}:{no}: {old.strip()} -> {new.strip()}")
        return 0

    scratch = args.keep or tempfile.mkdtemp(prefix="libkrc-mutate-")
    os.makedirs(scratch, exist_ok=True)
    # The scratch tree goes however the run ends (an interrupt included).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        return run_plan(args, plan, files, scratch)
    finally:
        if not args.keep:
            shutil.rmtree(scratch, ignore_errors=True)


def run_plan(args, plan, files, scratch):
    """Builds the scratch tree, then tries every mutant of the plan."""
    scratch_copy(scratch)
    build = os.path.join(scratch, "build")
    print(f"scratch tree: {scratch}; {len(plan)} mutants of {len(files)} files", flush=True)
    t0 = time.time()
    subprocess.run(["cmake", "-S", scratch, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                    "-DCMAKE_CXX_FLAGS_RELEASE=-O1", "-DLIBKRC_BUILD_EXAMPLES=OFF",
                    # warnings must not hide a mutant that only draws one
                    "-DCMAKE_COMPILE_WARNING_AS_ERROR=OFF",
                    "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2"], check=True, stdout=subprocess.DEVNULL)
    tests = sorted(os.path.join(build, "tests", t) for t in os.listdir(os.path.join(build, "tests"))
                   if t.startswith("test_") and os.access(os.path.join(build, "tests", t), os.X_OK))
    for t in tests:
        if run([t], timeout=args.timeout) != 0:
            sys.exit(f"the unmutated tree fails {t}; fix that first")
    print(f"baseline built and passing in {time.time() - t0:.0f} s", flush=True)
    library = os.path.join(build, "liblibkrc.so")
    original_library = digest(library)

    survivors, killed, invalid, unchanged = [], 0, 0, 0
    t0 = time.time()
    for i, (rel, no, old, new) in enumerate(plan, 1):
        path = os.path.join(scratch, rel)
        with open(os.path.join(ROOT, rel)) as f:
            original = f.read()
        lines = original.split("\n")
        lines[no - 1] = new
        with open(path, "w") as f:
            f.write("\n".join(lines))
        family = os.path.splitext(os.path.basename(rel))[0]
        own = os.path.join(build, "tests", "test_" + family)
        model = os.path.join(build, "tests", "test_model")
        order = sorted(tests, key=lambda t: (t != own, t != model))
        if run(["cmake", "--build", build, "--target", "libkrc"]) != 0:
            invalid += 1
            verdict = "does not compile"
        elif digest(library) == original_library:
            unchanged += 1
            verdict = "same machine code"
        elif any(run([t], timeout=args.timeout) != 0 for t in order):
            killed += 1
            verdict = "killed"
        else:
            survivors.append((rel, no, old, new))
            verdict = "SURVIVED"
        print(f"[{i}/{len(plan)}] {verdict}: {rel}:{no}: {old.strip()} -> {new.strip()}", flush=True)
        with open(path, "w") as f:
            f.write(original)
    run(["cmake", "--build", build, "--target", "libkrc"])

    valid = killed + len(survivors)
    print(f"\n{len(plan)} mutants in {time.time() - t0:.0f} s: {killed} killed, {len(survivors)} survived, "
          f"{invalid} did not compile, {unchanged} compiled to the same library; score {100.0 * killed / valid if valid else 100:.1f} %")
    if survivors:
        print("survivors:")
        for rel, no, old, new in survivors:
            print(f"{rel}:{no}: {old.strip()} -> {new.strip()}")
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
