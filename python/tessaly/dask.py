"""Tessaly on Dask: convert text files block by block, or the text of a bag or of a (Dask or
pandas) series partition by partition.

Each task receives the converter pickled as its options; a worker builds it once and reuses it
for every later task. Within a task the conversion runs on one thread, since Dask already runs a
task per worker thread.

Text files are best converted with :func:`convert_text_files`: each task converts a block of
whole lines as one text, so the work is the conversion itself. A bag of lines from
``dask.bag.read_text`` makes a Python str of every line, splits, converts and joins them in
Python one by one, which costs more than converting them.

>>> from tessaly.dask import convert_text_files
>>> blocks = convert_text_files("corpus-*.txt", "s2t")
>>> blocks.map(str.encode).map(len).sum().compute()
"""

from tessaly import Converter


def _convert_partition(texts, converter):
    return converter.convert_batch(list(texts), threads=1)


def _convert_pandas(series, converter):
    import pandas

    values = series.tolist()
    missing = series.isna().tolist()
    if any(missing):
        values = [None if gone else value for value, gone in zip(values, missing)]
    converted = converter.convert_batch(values, threads=1)
    return pandas.Series(converted, index=series.index, name=series.name, dtype=object)


def _converter(mode, options):
    if isinstance(mode, Converter):
        if options:
            raise TypeError("options go with a mode's name, not with a Converter")
        return mode
    return Converter(mode, **options)


def _convert_block(block, converter):
    text = converter._convert_utf8(block)
    if text is None:
        block.decode("utf-8")  # raises UnicodeDecodeError, naming the first bad byte
    return [text]


def convert_text_files(paths, mode, *, blocksize="64MiB", **options):
    """A bag of the conversions of UTF-8 text files, a block of whole lines per item.

    ``paths``: a path, a glob or a list of them, as ``dask.bytes.read_bytes`` takes;
    ``blocksize``: about how much text a task converts (cut after a line feed). ``mode`` is a
    mode's name with :class:`tessaly.Converter`'s keyword options, or a Converter. The items are
    str in the files' order; joined, those of one file are the file converted, line breaks as they
    were. Bytes that are not UTF-8 raise UnicodeDecodeError in the task.
    """
    import dask
    import dask.bag
    import dask.bytes

    converter = _converter(mode, options)
    _, files = dask.bytes.read_bytes(paths, delimiter=b"\n", blocksize=blocksize, sample=False)
    convert = dask.delayed(_convert_block, pure=True)
    return dask.bag.from_delayed([convert(block, converter) for blocks in files for block in blocks])


def convert_bag(bag, mode, **options):
    """A bag of the conversions of a dask.bag.Bag's items (str, bytes or None).

    ``mode`` is a mode's name with :class:`tessaly.Converter`'s keyword options, or a Converter.
    Items keep their order and partitions; ``dask.bag.read_text`` lines keep their line feeds.
    """
    converter = _converter(mode, options)
    return bag.map_partitions(_convert_partition, converter)


def convert_series(series, mode, **options):
    """The conversions of a pandas or Dask series of str (or bytes), same index and name.

    Missing values (None, NaN, pandas.NA) stay None. For a Dask series the work is done per
    partition on the workers; a pandas series is converted at once here.
    """
    converter = _converter(mode, options)
    if hasattr(series, "map_partitions"):
        return series.map_partitions(_convert_pandas, converter, meta=(series.name, object))
    return _convert_pandas(series, converter)
