#!/usr/bin/env python3
"""Groups a large file of hospital-stay records on a Dask cluster.

The input is read as a bag of lines in partitions of whole lines (about
--blocksize bytes each). Every worker opens the release once, when it joins
the cluster, and groups the partitions it is given. The output is

- one file (the default): the grouped partitions come back to this program,
  which writes them in input order as they finish, with only a few of them
  in flight at a time;
- part files (--parts): the workers write each partition themselves into the
  folder OUTPUT as part-00000, part-00001, ...; joined in name order they
  are the one file.

Either way the bytes are exactly those drg-batch writes for the same input.
The tables, the input and, with --parts, the output folder must be at the same
path on every machine of the cluster (a shared file system).

    python3 examples/dask_group.py TABLES INPUT OUTPUT            # on a local cluster
    python3 examples/dask_group.py --scheduler tcp://HOST:8786 TABLES INPUT OUTPUT
"""

import argparse
import collections
import contextlib
import glob
import os
import sys
import time

import dask
import dask.bag
from dask.distributed import Client, LocalCluster, WorkerPlugin, get_worker

import drg

PLUGIN_NAME = "drg-release"


class OpenRelease(WorkerPlugin):
    """Opens the release once on every worker, on those that join later too."""

    def __init__(self, tables):
        self.tables = tables
        self.release = None

    def setup(self, worker):
        self.release = drg.Release(self.tables)


def group_partition(lines):
    """The number of records of one partition and their output bytes.

    The lines are str as read_text gives them, decoded as Latin-1, which
    drg takes back byte for byte."""
    release = get_worker().plugins[PLUGIN_NAME].release
    # A worker runs one partition per thread, so one grouping thread each.
    return len(lines), "".join(release.group_lines(lines, jobs=1)).encode("latin-1")


def write_part(lines, folder, index):
    records, data = group_partition(lines)
    with open(os.path.join(folder, f"part-{index:05d}"), "wb") as part:
        part.write(data)
    return records


def write_in_order(client, partitions, output, in_flight):
    """Groups the partitions on the cluster and writes them to one file in
    input order, with at most `in_flight` of them submitted at a time."""
    pending = collections.deque()
    records = 0
    with open(output, "wb") as out:

        def write_oldest():
            count, data = pending.popleft().result()
            out.write(data)
            return count

        for partition in partitions:
            if len(pending) == in_flight:
                records += write_oldest()
            pending.append(client.compute(dask.delayed(group_partition)(partition)))
        while pending:
            records += write_oldest()
    return records


def stale_parts(folder):
    return glob.glob(os.path.join(folder, "part-*"))


def write_parts(partitions, folder):
    os.makedirs(folder, exist_ok=True)
    for stale in stale_parts(folder):
        os.remove(stale)
    tasks = [dask.delayed(write_part)(partition, folder, i) for i, partition in enumerate(partitions)]
    return sum(dask.compute(*tasks))


def arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("tables", help="folder of the 22 table files of the release")
    parser.add_argument("input", help="file of record lines")
    parser.add_argument("output", help="output file, or with --parts the folder of part files")
    parser.add_argument("--scheduler", help="address of a running scheduler (default: a local cluster)")
    parser.add_argument("--workers", type=int, help="worker processes of the local cluster")
    parser.add_argument("--threads", type=int, help="threads per worker of the local cluster")
    parser.add_argument("--blocksize", default="64MiB", help="bytes per partition (default 64MiB)")
    parser.add_argument("--parts", action="store_true", help="let the workers write part files into OUTPUT")
    return parser.parse_args(argv)


def main(argv=None):
    args = arguments(argv)
    # Paths as every machine sees them on the shared file system.
    tables, source, output = (os.path.abspath(path) for path in (args.tables, args.input, args.output))
    # Opened for writing, or removed as a stale part file, the input would be
    # gone before the workers read it.
    replaced = stale_parts(output) if args.parts else [output]
    if os.path.exists(source) and any(os.path.exists(path) and os.path.samefile(source, path) for path in replaced):
        what = f"a part file in {args.output}" if args.parts else f"the output {args.output}"
        sys.exit(f"error: the input is {what}: the run would empty it before it is read")
    with contextlib.ExitStack() as stack:
        if args.scheduler:
            client = stack.enter_context(Client(args.scheduler))
        else:
            cluster = stack.enter_context(LocalCluster(n_workers=args.workers, threads_per_worker=args.threads,
                                                       dashboard_address=None))
            client = stack.enter_context(Client(cluster))
        client.register_worker_plugin(OpenRelease(tables), name=PLUGIN_NAME)

        started = time.monotonic()
        # "\n" alone ends a line: a CR LF line keeps its CR, as drg-batch reads it.
        # An empty file has no partitions, which read_text refuses ("No files found").
        partitions = []
        if os.path.getsize(source) > 0:
            lines = dask.bag.read_text(source, blocksize=args.blocksize, encoding="latin-1", linedelimiter="\n")
            partitions = lines.to_delayed()
        if args.parts:
            records = write_parts(partitions, output)
        else:
            threads = sum(client.nthreads().values())
            records = write_in_order(client, partitions, output, in_flight=max(4, 2 * threads))
        print(f"{records} records in {len(partitions)} partitions grouped in {time.monotonic() - started:.1f} s",
              file=sys.stderr)


if __name__ == "__main__":
    main()
