"""A release that does not load raises the loader's reason; one that refuses
its records raises that reason; wrong arguments raise TypeError or
ValueError and never crash the interpreter."""

import os
import re
import shutil
import subprocess
import sys
import pytest

import drg


def check_reason(folder):
    """The reason `drg tables check` gives on standard error, without the folder it puts in front of a file."""
    run = subprocess.run([os.environ["DRG_TOOL"], "tables", "check", folder], capture_output=True, text=True)
    assert run.returncode == 1
    return run.stderr.strip().removeprefix(f"{folder}/")


def raise_first_count(path):
    data = bytearray(path.read_bytes())
    data[0:10] = str(int(data[0:10]) + 1).ljust(10).encode()
    path.write_bytes(data)


# A missing folder: check says so before any file is opened.
DAMAGES = {
    "missing folder": (lambda folder: shutil.rmtree(folder), "the folder cannot be opened"),
    "short file": (lambda folder: os.truncate(folder / "Tccl", 150), "Tccl"),
    "count beyond the file": (lambda folder: raise_first_count(folder / "Tmdc.idx"), "Tmdc.idx"),
    "count of another file": (lambda folder: raise_first_count(folder / "Tcode"), "Tcode"),
}


@pytest.mark.parametrize("damage", DAMAGES, ids=list(DAMAGES))
def test_a_release_that_does_not_load_raises_its_reason(tables, tmp_path, damage):
    spoil, file_at_fault = DAMAGES[damage]
    folder = tmp_path / "release"
    shutil.copytree(tables, folder)
    spoil(folder)
    with pytest.raises(drg.ReleaseError) as raised:
        drg.Release(folder)
    if damage != "missing folder":
        assert str(raised.value) == f"{folder}: {check_reason(folder)}"
    assert file_at_fault in str(raised.value)


def test_a_release_that_refuses_records_raises_on_grouping(tables, lines, tmp_path):
    folder = tmp_path / "release"
    shutil.copytree(tables, folder)
    conditions = bytearray((folder / "Tcond.idx").read_bytes())
    conditions[100 + 1] = ord("l")  # condition 1 said to be derived
    (folder / "Tcond.idx").write_bytes(conditions)
    release = drg.Release(folder)
    reason = "the release refuses every record: " + check_reason(folder)
    (tmp_path / "in").write_bytes(b"".join(lines))
    (tmp_path / "out").write_bytes(b"an old output\n")
    for call in (lambda: release.group(lines[0]), lambda: release.group_lines(lines, jobs=3),
                 lambda: release.group_columns(lines), lambda: release.group_file(tmp_path / "in", tmp_path / "out")):
        with pytest.raises(drg.ReleaseError, match="^" + re.escape(reason)):
            call()
    # As drg group: refused before the output is opened, so an old one is kept.
    assert (tmp_path / "out").read_bytes() == b"an old output\n"
    assert release.explain(lines[0])["status"] == "refused"


WRONG_TYPES = {
    "Release(int)": lambda release: drg.Release(3),
    "group(int)": lambda release: release.group(5),
    "group(None)": lambda release: release.group(None),
    "group(bytearray)": lambda release: release.group(bytearray(b"x")),
    "group_lines(one line)": lambda release: release.group_lines(b"a line"),
    "group_lines(not iterable)": lambda release: release.group_lines(5),
    "group_lines(an int among lines)": lambda release: release.group_lines([b"x", 3]),
    "group_lines(jobs=str)": lambda release: release.group_lines([b"x"], jobs="2"),
    "group_columns(a None among lines)": lambda release: release.group_columns(["x", None]),
    "explain(float)": lambda release: release.explain(1.5),
    "explain(line_number=str)": lambda release: release.explain(b"x", line_number="1"),
    "group_file(int, int)": lambda release: release.group_file(1, 2),
    "group_frame(list)": lambda release: drg.group_frame([b"x"], release),
    # Made with __new__ alone, an instance has no object behind it.
    "Release.__new__ then group": lambda release: drg.Release.__new__(drg.Release).group(b"x"),
    "Release.__new__ then group_file": lambda release: drg.Release.__new__(drg.Release).group_file(__file__, "out"),
    "GroupResult.__new__ then mdc": lambda release: drg.GroupResult.__new__(drg.GroupResult).mdc,
    "GroupResult state of other types": lambda release: drg.GroupResult.__new__(drg.GroupResult).__setstate__(
        ("001", "A01A", "3", "A01A3Z", b"x")),
    "a method on another type": lambda release: drg.Release.group(5, b"x"),
}


@pytest.mark.parametrize("call", WRONG_TYPES, ids=list(WRONG_TYPES))
def test_a_wrong_argument_type_raises_type_error(release, call):
    with pytest.raises(TypeError):
        WRONG_TYPES[call](release)


WRONG_VALUES = {
    "a GroupResult state with a pccl beyond any C integer": (
        lambda release: drg.GroupResult.__new__(drg.GroupResult).__setstate__(("001", "A01A", 10**30, "A01A3Z", b"x")),
        ValueError, "^pccl in a GroupResult state is out of range"),
    "a GroupResult state with a pccl beyond a C int": (
        lambda release: drg.GroupResult.__new__(drg.GroupResult).__setstate__(("001", "A01A", 2**31, "A01A3Z", b"x")),
        ValueError, "^pccl in a GroupResult state is out of range"),
    "a str character beyond Latin-1": (lambda release: release.group("R\u0100"), ValueError, "U\\+00FF"),
    "no jobs": (lambda release: release.group_lines([b"x"], jobs=0), ValueError, "jobs"),
    # pybind11's own message would repeat every line of the input.
    "jobs as text": (lambda release: release.group_lines([b"x" * 40] * 1000, jobs="2"), TypeError,
                     "^jobs must be an int or None, not str$"),
    "jobs beyond any C integer": (lambda release: release.group_columns([b"x"], jobs=2**70), ValueError,
                                  "^jobs must be from 1 to 256$"),
    "jobs beyond a C int": (lambda release: release.group_file(__file__, "/nonexistent/out", jobs=-2**31 - 1),
                            ValueError, "^jobs must be from 1 to 256$"),
    "a bytearray as lines": (lambda release: release.group_lines(bytearray(b"R1\n")), TypeError,
                             "^lines must be an iterable of lines, not one bytearray"),
    "thousands of jobs": (lambda release: release.group_file(__file__, "/nonexistent/out", jobs=2000), ValueError,
                          "jobs must be from 1 to 256"),
    "a missing input": (lambda release: release.group_file("/nonexistent/in", "out"), FileNotFoundError,
                        "/nonexistent/in"),
    "a folder as input": (lambda release: release.group_file(os.path.dirname(__file__), "/nonexistent/out"),
                          IsADirectoryError, "python"),
    "an output that cannot be made": (lambda release: release.group_file(__file__, "/nonexistent/out"),
                                      FileNotFoundError, "/nonexistent/out"),
    # Two records in one item would group the first and pass the second through.
    "a line break inside a line": (lambda release: release.group(b"R1\nR2\n"), ValueError,
                                   "^line holds more than one line"),
    "a line break inside lines[1]": (lambda release: release.group_lines([b"R1\n", "R2\nR3"]), ValueError,
                                     "^lines\\[1\\] holds more than one line"),
    "a blank line after lines[0]": (lambda release: release.group_columns([b"R1\r\n\n"]), ValueError,
                                    "^lines\\[0\\] holds more than one line"),
}


# Outputs that name a file the run needs (also through a link): the output
# named, the file it is, the start of the message, and what happens after the
# release is opened from a relative path: "chdir" changes the working
# directory, "rename" renames the folder; neither may hide a table file. The
# release's folder name is not UTF-8, which the message gives with
# replacement characters.
FOLDER = os.fsdecode(b"release\xff")
SPOILING_OUTPUTS = {
    "same path": ("in", "in", "output {output} is the input", None),
    "link": ("link to in", "in", "output {output} is the input", None),
    "table file": (f"{FOLDER}/Tccl", f"{FOLDER}/Tccl",
                   "output {output} is table file Tccl of the release in {release}:", None),
    "link to a table file": ("link to Tdx.idx", f"{FOLDER}/Tdx.idx",
                             "output {output} is table file Tdx.idx of the release in {release}:", None),
    "table file after a chdir": (f"{FOLDER}/Tccl", f"{FOLDER}/Tccl",
                                 "output {output} is table file Tccl of the release in {release}:", "chdir"),
    "table file of a renamed folder": ("renamed/Tccl", f"{FOLDER}/Tccl",
                                       "output {output} is table file Tccl of the release in {release}:", "rename"),
    # A new build renames new files into place, and the folder holds another release's files.
    "table file of a rebuilt folder": (f"{FOLDER}/Tccl", f"{FOLDER}/Tccl",
                                       "output {output} is table file Tccl of the release in {release}:", "rebuild"),
}


@pytest.mark.parametrize("output", SPOILING_OUTPUTS, ids=list(SPOILING_OUTPUTS))
def test_an_output_that_is_the_input_or_a_table_file_is_refused_and_the_file_kept(tables, tmp_path, monkeypatch,
                                                                                   output):
    named, kept, message, change = SPOILING_OUTPUTS[output]
    shutil.copytree(tables, tmp_path / FOLDER)
    (tmp_path / "in").write_bytes(b"not a record\n" * 3)
    (tmp_path / "link to in").symlink_to(tmp_path / "in")
    (tmp_path / "link to Tdx.idx").symlink_to(tmp_path / FOLDER / "Tdx.idx")
    data = (tmp_path / kept).read_bytes()
    monkeypatch.chdir(tmp_path)
    given = FOLDER if change else tmp_path / FOLDER
    release = drg.Release(given)
    if change == "chdir":
        monkeypatch.chdir(tmp_path.parent)
    elif change == "rename":
        os.rename(tmp_path / FOLDER, tmp_path / "renamed")
    elif change == "rebuild":
        shutil.copyfile(tmp_path / kept, tmp_path / "new Tccl")
        os.replace(tmp_path / "new Tccl", tmp_path / kept)
    message = os.fsencode(message.format(output=tmp_path / named, release=given)).decode(errors="replace")
    with pytest.raises(ValueError, match="^" + re.escape(message)):
        release.group_file(tmp_path / "in", tmp_path / named)
    assert (tmp_path / named).read_bytes() == data


@pytest.mark.parametrize("case", WRONG_VALUES, ids=list(WRONG_VALUES))
def test_a_wrong_value_raises_with_what_is_wrong(release, case):
    call, error, text = WRONG_VALUES[case]
    with pytest.raises(error, match=text):
        call(release)


def mypy_errors(tmp_path, source):
    """The lines of `source` that mypy finds fault with, as "use.py:LINE"."""
    pytest.importorskip("mypy")
    (tmp_path / "use.py").write_text(source)
    # A copy found through MYPYPATH only: on this interpreter's path mypy
    # would take it for an installed package and keep quiet about its errors.
    shutil.copytree(os.path.dirname(drg.__file__), tmp_path / "stubs" / "drg",
                    ignore=shutil.ignore_patterns("*.py", "*.so"))
    env = {**os.environ, "MYPYPATH": str(tmp_path / "stubs")}
    env.pop("PYTHONPATH", None)
    run = subprocess.run([sys.executable, "-m", "mypy", "--cache-dir", "cache", "use.py"], cwd=tmp_path, env=env,
                         capture_output=True, text=True)
    return [line.split(": error: ")[0] for line in run.stdout.splitlines() if ": error: " in line], run.stdout


def test_the_type_hints_pass_mypy_and_refuse_to_make_a_result(tmp_path):
    errors, report = mypy_errors(tmp_path, "import drg\nresult = drg.GroupResult()\n")
    assert errors == ["use.py:2"], report


def test_the_type_hints_take_the_arguments_the_calls_take(release, tmp_path):
    # jobs and line_number take any integer with __index__ (numpy's), and a
    # frame's column is named by any label, not only a str.
    source = """import drg
class Count:
    def __index__(self) -> int:
        return 2
def use(release: drg.Release, frame: object, folder: str) -> None:
    release.group_lines([b"x"], jobs=Count())
    release.group_columns([b"x"], jobs=Count())
    release.group_file(f"{folder}/use.py", f"{folder}/out", jobs=Count())
    release.explain(b"x", line_number=Count())
    drg.group_frame(frame, release, column=0, jobs=Count())
"""
    errors, report = mypy_errors(tmp_path, source)
    assert errors == [], report
    pandas = pytest.importorskip("pandas")
    namespace = {}
    exec(source, namespace)  # and the calls take them
    namespace["use"](release, pandas.DataFrame({0: [b"x"]}), str(tmp_path))
