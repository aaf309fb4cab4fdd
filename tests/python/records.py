"""Record lines for the sample release, and what drg-batch makes of them."""

import os
import subprocess
from pathlib import Path


def _codes(source_file):
    lines = Path(source_file).read_text().splitlines()
    rows = [line.split("\t")[0] for line in lines if line and not line.startswith("#")]
    return rows[1:]  # after the column names


def _date(rng, first_year, last_year):
    return f"{rng.randint(first_year, last_year):04d}{rng.randint(1, 12):02d}{rng.randint(1, 28):02d}"


def random_record(rng, diagnoses, procedures):
    """One 305-byte record in the sample release's codes, with some unknown
    codes and odd fields."""
    dx = [rng.choice(diagnoses) if rng.random() < 0.9 else "Z99.9" for _ in range(rng.randint(1, 10))]
    px = [rng.choice(procedures) for _ in range(rng.randint(0, 4))]
    birth = _date(rng, 1905, 2012)
    record = (
        f"R{rng.randint(0, 9999999):07d}"
        + birth[2:]
        + str(rng.randint(0, 9))  # birth century and sex
        + "000000"
        + _date(rng, 2004, 2013)
        + f"{rng.randint(0, 120):3d}"
        + str(rng.choice([0, 1, 1, 1, 4, 7]))
        + "".join(code.ljust(6) for code in dx).ljust(60)
        + "".join(code.ljust(5) for code in px).ljust(180)
        + f"{rng.choice([0, 0, 0, 900, 1200, 2400, 3500]):5d}"
        + f"{rng.choice([0, 0, 0, 24, 100, 500]):5d}"
    )
    return record.ljust(305)


def mixed_lines(rng, count, source_dir):
    """Lines of every kind as bytes: records that group and records that do
    not, lower case, Latin-1 bytes, NUL bytes, short, empty and overlong
    lines, CR LF; the last one without its line end."""
    release = Path(source_dir) / "data" / "sample-release"
    diagnoses, procedures = _codes(release / "diagnoses.tsv"), _codes(release / "procedures.tsv")
    lines = []
    for _ in range(count):
        text = random_record(rng, diagnoses, procedures).encode("latin-1")
        kind = rng.randrange(12)
        if kind == 0:
            text = text.lower()
        elif kind == 1:
            text = text[: rng.randrange(306)]
        elif kind == 2:
            text += bytes(rng.randrange(256) for _ in range(rng.randrange(1, 40)))
        elif kind == 3:
            at = rng.randrange(len(text))
            text = text[:at] + bytes([rng.choice([0, 0xE9, 0xFF, 0x0D])]) + text[at + 1 :]
        elif kind == 4:
            text += b"x" * rng.randrange(3000)
        text = text.replace(b"\n", b" ")
        lines.append(text + (b"\r\n" if rng.random() < 0.1 else b"\n"))
    lines[-1] = lines[-1].rstrip(b"\r\n")
    return lines


def batch_output(tables, data, folder):
    """What drg-batch writes for the input `data`, run in `folder` with the
    table files of `tables`."""
    folder = Path(folder)
    for table in Path(tables).resolve().iterdir():
        (folder / table.name).symlink_to(table)
    (folder / "valtic.in").write_bytes(data)
    run = subprocess.run([os.environ["DRG_BATCH"]], cwd=folder, capture_output=True)
    assert run.returncode == 1, run.stdout  # 1: a complete run
    return (folder / "valtic.out").read_bytes()
