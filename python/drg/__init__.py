"""The DRG grouper: hospital-stay records grouped into their MDC, ADRG, PCCL
and DRG code with the 22 table files of one classification release.

    import drg
    release = drg.Release("/path/to/tables")
    result = release.group(line)         # result.mdc, .adrg, .pccl, .drg, .line
    lines = release.group_lines(lines, jobs=4)
    release.group_file("valtic.in", "valtic.out")
    frame = drg.group_frame(frame, release, column="record")   # with pandas

Lines are str or bytes; a str is taken as Latin-1 (one byte per character),
so every byte of a record comes back as it went in. A release is immutable:
threads may share one.
"""

from drg._drg import GroupResult, Release, ReleaseError

__all__ = ["GroupResult", "Release", "ReleaseError", "group_frame"]

_RESULT_COLUMNS = {"mdc": object, "adrg": object, "pccl": "int64", "drg": object}


def group_frame(df, release, column="record", jobs=None):
    """Groups the record lines in `df[column]` and returns a copy of the
    DataFrame with the columns mdc, adrg, pccl and drg added (replaced, when
    they are there), aligned with its index.

    The lines are grouped as Release.group_columns groups them, on `jobs`
    threads (default: one per core, at most 16). Needs pandas; the rest of
    the package does not.
    """
    try:
        import pandas
    except ImportError as error:
        raise ImportError("drg.group_frame needs pandas (Debian: python3-pandas)") from error
    if not isinstance(df, pandas.DataFrame):
        raise TypeError(f"df must be a pandas DataFrame, not {type(df).__name__}")
    if not isinstance(release, Release):
        raise TypeError(f"release must be a drg.Release, not {type(release).__name__}")
    records = df[column]
    # Named by the frame's own labels: group_columns would name a position.
    if isinstance(records, pandas.DataFrame):
        raise ValueError(f"df has {records.shape[1]} columns named {column!r}; the records must be in one")
    missing = records.isna()
    if missing.any():
        raise TypeError(f"df[{column!r}] has no record at index {missing.idxmax()!r} (a missing value)")
    columns = release.group_columns(records, jobs)
    return df.assign(**{
        name: pandas.Series(columns[name], index=df.index, dtype=dtype) for name, dtype in _RESULT_COLUMNS.items()
    })
