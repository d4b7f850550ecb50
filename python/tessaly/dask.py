"""Tessaly on Dask: convert the text of a bag or of a (Dask or pandas) series partition by partition.

Each task receives the converter pickled as its options; a worker builds it once and reuses it
for every later task. Within a task the partition converts on one thread, since Dask already
runs a task per worker thread.

>>> import dask.bag as db
>>> from tessaly.dask import convert_bag
>>> convert_bag(db.read_text("corpus-*.txt"), "s2t").to_textfiles("out-*.txt")
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
