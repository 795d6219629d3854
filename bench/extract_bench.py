"""Times inkra.extract_text over the committed real-producer PDFs.

    python3 bench/extract_bench.py [ROUNDS]

Prints pages per second and the process's peak resident memory.
"""

import resource
import sys
import time
from pathlib import Path

import inkra

ROOT = Path(__file__).resolve().parent.parent
files = sorted(ROOT.glob("tests/data/**/*.pdf")) + sorted(ROOT.glob("examples/*.pdf"))
rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 20

pages = sum(len(inkra.Document(f)) for f in files)
start = time.perf_counter()
for _ in range(rounds):
    for f in files:
        inkra.extract_text(f)
elapsed = time.perf_counter() - start
peak_mib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
print(f"{len(files)} files, {pages} pages x {rounds} rounds in {elapsed:.2f} s: "
      f"{pages * rounds / elapsed:.1f} pages/s, peak RSS {peak_mib:.0f} MiB")
