#!/bin/sh
# SPDX-License-Identifier: MIT
# Mutation check of the host tests (see scripts/mutate.py --help): every
# single-token mutant of src/ (sources and internal headers), or of the files
# given, built in a scratch copy of the tree and run against the host test
# programs; prints the survivors.  E.g. `scripts/mutate.sh src/mempool.cpp`,
# `scripts/mutate.sh --sample 20`.  Not part of scripts/test.sh.
set -eu
cd "$(dirname "$0")/.."
LIBKRC_WITH_MUTATE=1 ./scripts/deps.sh
exec python3 scripts/mutate.py "$@"
