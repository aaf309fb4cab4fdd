"""The sample release compiled by the table tool, random lines for it and
drg-batch's output for them, shared by the Python tests."""

import os
import random
import subprocess

import pytest

import drg
from records import batch_output, mixed_lines

SOURCE_DIR = os.environ["DRG_SOURCE_DIR"]
LINE_COUNT = 3000


@pytest.fixture(scope="session")
def tables(tmp_path_factory):
    folder = tmp_path_factory.mktemp("tables")
    subprocess.run(
        [os.environ["DRG_TOOL"], "tables", "build", f"{SOURCE_DIR}/data/sample-release", folder],
        check=True,
        stdout=subprocess.DEVNULL,
    )
    return folder


@pytest.fixture(scope="session")
def release(tables):
    return drg.Release(tables)


@pytest.fixture(scope="session")
def lines():
    return mixed_lines(random.Random(15), LINE_COUNT, SOURCE_DIR)


@pytest.fixture(scope="session")
def expected(tables, lines, tmp_path_factory):
    return batch_output(tables, b"".join(lines), tmp_path_factory.mktemp("batch"))
