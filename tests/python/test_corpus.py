"""Every PDF of the shared corpus opens without a crash, a hang, a stray
exception, excessive memory or output.

Each file runs in a forked child, so one crash or hang costs only that file;
the child's peak memory comes from wait4 and its output from its own
descriptors 1 and 2.
"""
import json
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pytest

import inkra
from conftest import CORPUS

pytestmark = pytest.mark.skipif(not CORPUS.is_dir(), reason="shared corpus not present")

TIME_LIMIT = 20.0  # seconds per file
MEMORY_LIMIT = 2 << 30  # bytes of peak resident memory per file
HARD_STOP = 180.0  # a child still running this long is killed as hung
WORKERS = 2

# Files that the PDF object reader itself needs longer than the limit to
# load (or to give up on), measured with nothing of ours involved; they are
# held to HARD_STOP instead and listed in the test output.
READER_SLOW = {
    "damaged/qpdf__fuzz-69977a.pdf",  # qpdf alone: about 18 s to load
    "damaged/qpdf__fuzz-69977d.pdf",  # qpdf alone: about 44 s, then fails
}

ALLOWED = (FileNotFoundError, PermissionError, OSError, inkra.InkraError, IndexError)


def corpus_files():
    """Every PDF of the corpus, the reader-slow ones first so that they
    overlap with the rest."""
    files = sorted(p for p in CORPUS.rglob("*") if p.is_file() and p.suffix.lower() == ".pdf")
    return sorted(files, key=lambda p: p.relative_to(CORPUS).as_posix() not in READER_SLOW)


def run_child(path, result_path):
    """In the forked child: open one document and record what happened."""
    sink, name = tempfile.mkstemp()
    os.unlink(name)
    os.dup2(sink, 1)
    os.dup2(sink, 2)
    resource.setrlimit(resource.RLIMIT_AS, (2 * MEMORY_LIMIT, 2 * MEMORY_LIMIT))
    outcome = {"raised": None, "allowed": True}
    start = time.perf_counter()
    try:
        inkra.Document(str(path))
    except BaseException as e:  # noqa: BLE001 - every kind is recorded
        outcome["raised"] = f"{type(e).__name__}: {e}"[:300]
        outcome["allowed"] = isinstance(e, ALLOWED)
    outcome["seconds"] = time.perf_counter() - start
    outcome["printed"] = os.fstat(sink).st_size
    with open(result_path, "w") as f:
        json.dump(outcome, f)
    os._exit(0)


def run_corpus(files, tmp):
    results = {}
    pending = list(enumerate(files))
    running = {}  # pid -> (index, path, started)
    sys.stdout.flush()
    sys.stderr.flush()
    while pending or running:
        while pending and len(running) < WORKERS:
            i, path = pending.pop(0)
            pid = os.fork()
            if pid == 0:
                try:
                    run_child(path, tmp / f"{i}.json")
                finally:
                    os._exit(3)
            running[pid] = (i, path, time.monotonic())
        time.sleep(0.005)
        for pid, (i, path, started) in list(running.items()):
            done, status, usage = os.wait4(pid, os.WNOHANG)
            if done == 0:
                if time.monotonic() - started > HARD_STOP:
                    os.kill(pid, signal.SIGKILL)
                continue
            del running[pid]
            result_file = tmp / f"{i}.json"
            r = json.loads(result_file.read_text()) if result_file.exists() else {}
            r["status"] = status
            r["peak_bytes"] = usage.ru_maxrss * 1024
            r["wall"] = time.monotonic() - started
            results[path] = r
    return results


def test_every_corpus_file_opens_soundly(tmp_path):
    files = corpus_files()
    assert files, "corpus directory holds no PDF"
    results = run_corpus(files, tmp_path)
    faults, slow = [], []
    for path, r in sorted(results.items()):
        rel = path.relative_to(CORPUS).as_posix()
        limit = HARD_STOP if rel in READER_SLOW else TIME_LIMIT
        if os.WIFSIGNALED(r["status"]):
            faults.append(f"{rel}: killed by signal {os.WTERMSIG(r['status'])} after {r['wall']:.1f} s")
            continue
        if "seconds" not in r:
            faults.append(f"{rel}: child ended without a result (status {r['status']})")
            continue
        if not r["allowed"]:
            faults.append(f"{rel}: raised {r['raised']}")
        if r["seconds"] > limit:
            faults.append(f"{rel}: took {r['seconds']:.1f} s")
        if r["peak_bytes"] > MEMORY_LIMIT:
            faults.append(f"{rel}: peak memory {r['peak_bytes'] / 2**20:.0f} MiB")
        if r["printed"]:
            faults.append(f"{rel}: printed {r['printed']} bytes")
        if r["seconds"] > 2:
            slow.append(f"{rel}: {r['seconds']:.1f} s, {r['peak_bytes'] / 2**20:.0f} MiB")
    assert len(results) == len(files)
    if slow:
        print("slowest files:\n  " + "\n  ".join(slow))
    assert not faults, "\n".join(faults)


def test_resource_readers_over_every_page():
    """The four resource readers on every page, through the C++ driver."""
    build = os.environ.get("INKRA_BUILD_DIR")
    driver = Path(build) / "inkra_read_corpus" if build else None
    if not driver or not driver.exists():
        pytest.skip("inkra_read_corpus not built (configure with -DINKRA_TESTS=ON)")
    files = corpus_files()
    slow = [str(p) for p in files if p.relative_to(CORPUS).as_posix() in READER_SLOW]
    rest = [str(p) for p in files if p.relative_to(CORPUS).as_posix() not in READER_SLOW]
    procs = [
        subprocess.Popen([str(driver), *part], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        for part in (slow, rest)
        if part
    ]
    lines = []
    for p in procs:
        out, err = p.communicate(timeout=30 * 60)
        assert err == ""
        lines += out.splitlines()
    assert len(lines) == len(files)
    faults = []
    for line in lines:
        path, status, seconds, peak_mib, *_ = line.split("\t")
        rel = Path(path).relative_to(CORPUS).as_posix()
        if status in ("ok", "unopenable"):
            continue
        if status == "timeout" and rel in READER_SLOW:
            continue  # the reader's own load, see READER_SLOW
        faults.append(f"{rel}: {status} after {seconds} s, {peak_mib} MiB")
    assert not faults, "\n".join(faults)
