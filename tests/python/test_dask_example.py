"""examples/dask_group.py groups a file on a Dask cluster into exactly the
bytes drg-batch writes: as one file on a local cluster of two worker
processes, and as part files on a running scheduler."""

import os
import random
import re
import subprocess
import sys

import pytest
from dask.distributed import LocalCluster

from conftest import SOURCE_DIR
from records import batch_output, mixed_lines

EXAMPLE = os.path.join(SOURCE_DIR, "examples", "dask_group.py")


@pytest.fixture(scope="module")
def record_file(tables, tmp_path_factory):
    """About 8 MB of lines: some 16 partitions of 500 kB."""
    folder = tmp_path_factory.mktemp("dask")
    data = b"".join(mixed_lines(random.Random(7), 20000, SOURCE_DIR))
    (folder / "in").write_bytes(data)
    return folder / "in", batch_output(tables, data, tmp_path_factory.mktemp("batch"))


def run_example(tmp_path, *arguments):
    # The workers' scratch space in the test's folder, not in the shared /tmp.
    env = dict(os.environ, DASK_TEMPORARY_DIRECTORY=str(tmp_path))
    run = subprocess.run([sys.executable, EXAMPLE, *map(str, arguments), "--blocksize", "500kB"],
                         cwd=tmp_path, env=env, capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    return run.stderr


def test_one_file_on_a_local_cluster_of_two_worker_processes(tables, record_file, tmp_path):
    source, expected = record_file
    report = run_example(tmp_path, tables, source, tmp_path / "out", "--workers", 2, "--threads", 1)
    assert (tmp_path / "out").read_bytes() == expected
    partitions = re.search(r"^20000 records in (\d+) partitions", report, re.MULTILINE)
    assert partitions and int(partitions[1]) >= 10


def test_part_files_on_a_running_scheduler(tables, record_file, tmp_path):
    source, expected = record_file
    (tmp_path / "parts").mkdir()
    (tmp_path / "parts" / "part-99999").write_bytes(b"left from an earlier run")
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=False, protocol="tcp",
                      dashboard_address=None, local_directory=str(tmp_path)) as cluster:
        run_example(tmp_path, tables, source, tmp_path / "parts", "--scheduler", cluster.scheduler_address, "--parts")
    parts = sorted((tmp_path / "parts").iterdir())
    assert len(parts) >= 10 and parts[-1].name != "part-99999"
    assert b"".join(part.read_bytes() for part in parts) == expected


@pytest.mark.parametrize("parts", [False, True], ids=["one file", "part files"])
def test_an_empty_input_gives_no_records(tables, tmp_path, parts):
    # As drg-batch: an empty output, or no part files to join.
    (tmp_path / "in").write_bytes(b"")
    options = ["--parts"] if parts else []
    report = run_example(tmp_path, tables, tmp_path / "in", tmp_path / "out", "--workers", 1, "--threads", 1, *options)
    assert report.startswith("0 records in 0 partitions")
    if parts:
        assert os.listdir(tmp_path / "out") == []
    else:
        assert (tmp_path / "out").read_bytes() == b""


@pytest.mark.parametrize("output", ["in", "link to in", "parts"])
def test_an_output_that_would_empty_the_input_is_refused(tables, tmp_path, output):
    # The input as the output file, or as a stale part file to be removed.
    (tmp_path / "parts").mkdir()
    source = tmp_path / ("parts/part-00000" if output == "parts" else "in")
    source.write_bytes(b"a record\n")
    (tmp_path / "link to in").symlink_to(source)
    options = ["--parts"] if output == "parts" else []
    run = subprocess.run([sys.executable, EXAMPLE, tables, source, tmp_path / output, *options], cwd=tmp_path,
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 1 and "would empty it before it is read" in run.stderr, run.stderr
    assert source.read_bytes() == b"a record\n"
