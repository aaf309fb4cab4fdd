"""group_frame adds the result columns to a pandas DataFrame; the package
itself works without pandas."""

import os
import subprocess
import sys

import pandas
import pytest

import drg


def test_group_frame_adds_the_result_columns_on_the_frames_index(release, lines):
    sample = lines[:400]
    frame = pandas.DataFrame({"claim": [line.decode("latin-1") for line in sample], "n": range(len(sample))},
                             index=range(1000, 1000 + len(sample)))
    grouped = drg.group_frame(frame, release, column="claim", jobs=2)
    results = [release.group(line) for line in sample]
    assert list(grouped.columns) == ["claim", "n", "mdc", "adrg", "pccl", "drg"]
    assert grouped.index.equals(frame.index)
    for column in ("mdc", "adrg", "pccl", "drg"):
        assert grouped[column].tolist() == [getattr(result, column) for result in results]
    assert grouped["pccl"].dtype.kind == "i"
    assert list(frame.columns) == ["claim", "n"]  # the frame given is left as it was


@pytest.mark.parametrize("missing", [None, float("nan"), pandas.NA])
def test_a_missing_record_is_named_by_the_frames_index(release, lines, missing):
    frame = pandas.DataFrame({"record": [lines[0].decode("latin-1"), missing]}, index=["a", "b"])
    with pytest.raises(TypeError, match=r"^df\['record'\] has no record at index 'b' \(a missing value\)$"):
        drg.group_frame(frame, release)


def test_two_columns_of_the_name_are_refused(release, lines):
    line = lines[0].decode("latin-1")
    frame = pandas.DataFrame([[line, line]], columns=["record", "record"])
    with pytest.raises(ValueError, match="^df has 2 columns named 'record'; the records must be in one$"):
        drg.group_frame(frame, release)


def test_the_package_groups_without_pandas(tables, lines):
    script = (
        "import sys; sys.modules['pandas'] = None\n"
        "import drg\n"
        f"print(drg.Release({str(tables)!r}).group({lines[0]!r}).drg)\n"
        "try:\n"
        "    drg.group_frame(None, None)\n"
        "except ImportError as error:\n"
        "    print(error)\n"
    )
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=os.environ)
    assert run.returncode == 0, run.stderr
    assert run.stdout.splitlines() == [drg.Release(tables).group(lines[0]).drg,
                                       "drg.group_frame needs pandas (Debian: python3-pandas)"]
