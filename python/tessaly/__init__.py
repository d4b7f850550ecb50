"""Tessaly: text between byte listings and character sets, and simplified/traditional Chinese.

The module runs the conversions of ``tessaly-cli`` through the shared library libtessaly:

>>> import tessaly
>>> tessaly.convert("汉字", "s2t")
'漢字'
>>> conv = tessaly.Converter("s2twp")
>>> conv.convert_batch(["软件", None, "网络"])
['軟體', None, '網路']

A :class:`Converter` is made once from its options and is then immutable: share it between
threads, pickle it (it travels as its options and is rebuilt once per process), hand it to
Dask (:mod:`tessaly.dask`). Conversions release the GIL.

Losses (characters the encoding lacks, hex pieces without a value, ...) are reported as a
:class:`LossWarning` each, or raised as :class:`LossError` with ``strict=True``; a fault raises
:class:`ConversionError`; options the library does not know raise ValueError naming the valid
ones.
"""

import os
import threading
from collections.abc import Iterable, Mapping

from tessaly._errors import ConversionError, LossError, LossWarning, TessalyError
from tessaly._tessaly import (
    _Converter,
    data_version,
    encodings,
    library_version,
    mode_info,
    modes,
    opencc_version,
)

__all__ = [
    "Converter",
    "ConversionError",
    "LossError",
    "LossWarning",
    "TessalyError",
    "convert",
    "data_version",
    "encodings",
    "mode_info",
    "modes",
]

__version__ = library_version


_DELETION_CLASSES = ("spaces", "dots", "commas", "tabs", "newlines")


def _text_option(name, value):
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    return value


def _phrase_text(phrases):
    lines = []
    for source, target in phrases.items():
        if not isinstance(source, str) or not isinstance(target, str):
            raise TypeError("phrases map str to str")
        for text in (source, target):
            if any(c in text for c in "\t\n\r"):
                raise ValueError(f"a phrase holds no tab or line break: {text!r}")
        if not source:
            raise ValueError("a phrase is one character at least")
        lines.append(f"{source}\t{target}\n")
    return "".join(lines)


def _deletions(delete):
    if delete is None:
        return ""
    if isinstance(delete, str):
        return delete
    if isinstance(delete, Iterable):
        names = list(delete)
        for name in names:
            if name not in _DELETION_CLASSES:
                raise ValueError(
                    f"no character class {name!r} to delete; the classes are "
                    + ", ".join(_DELETION_CLASSES)
                    + " (or delete='all' or 'none')"
                )
        return ",".join(names) if names else "none"
    raise TypeError(f"delete must be None, 'all', 'none' or class names, not {type(delete).__name__}")


def _key(mode, encoding="utf-8", data=None, phrases=None, separator="none", delete=None,
         newlines="as-is", strict=False, seed=None, cache=None):
    """The options as one tuple of plain values: what a converter is made from and pickles as."""
    phrase_file = ""
    phrase_text = ""
    if phrases is None:
        pass
    elif isinstance(phrases, Mapping):
        phrase_text = _phrase_text(phrases)
        if not phrase_text:
            raise ValueError("phrases is an empty mapping; pass None for no phrases")
    elif isinstance(phrases, (str, os.PathLike)):
        phrase_file = os.path.abspath(os.fsdecode(phrases))
        # A file that cannot be opened is the system's error, as Python's own open() gives it.
        with open(phrase_file, "rb"):
            pass
    else:
        raise TypeError(f"phrases must be a path or a mapping, not {type(phrases).__name__}")
    if data is None or data == "system":
        data = ""
    elif isinstance(data, (str, os.PathLike)):
        data = os.path.abspath(os.fsdecode(data))
    else:
        raise TypeError(f"data must be None, 'system' or a folder, not {type(data).__name__}")
    if seed is not None:
        if not isinstance(seed, int) or not 0 <= seed <= 0xFFFFFFFF:
            raise ValueError("seed must be an int from 0 to 4294967295")
    if cache is False:
        cache = ""
    elif cache is not None and cache is not True:
        cache = os.path.abspath(os.fsdecode(cache))
    else:
        cache = None
    return (
        _text_option("mode", mode),
        _text_option("encoding", encoding),
        data,
        phrase_file,
        phrase_text,
        _text_option("separator", separator),
        _deletions(delete),
        _text_option("newlines", newlines),
        bool(strict),
        seed,
        cache,
    )


class Converter(_Converter):
    """Converter(mode, *, encoding="utf-8", data=None, phrases=None, separator="none",
    delete=None, newlines="as-is", strict=False, seed=None, cache=None)

    One conversion, made from its options once and run any number of times from any number of
    threads. The options are tessaly-cli's:

    - ``mode``: a name from :func:`modes` ("s2t", "t2s", "s2twp", "hex-encode", ...).
    - ``encoding``: the working encoding, a name from :func:`encodings` or an alias; UTF-8 by
      default (tessaly-cli's default is GBK).
    - ``data``: None or "system" for the system's OpenCC data, or a folder of OpenCC
      configurations.
    - ``phrases``: the user's own phrases, tried before the standard's dictionaries: a path to a
      file in OpenCC's text format (source, tab, target, a line each) or a mapping
      {source: target}.
    - ``separator``: "none", "space", "comma", "dot" or "0x", between two-byte pieces.
    - ``delete``: None (the mode's default), "all", "none", or an iterable of the classes
      "spaces", "dots", "commas", "tabs", "newlines".
    - ``newlines``: "as-is", or "crlf" (the window's treatment of line breaks).
    - ``strict``: a loss raises :class:`LossError` instead of warning.
    - ``seed``: for "random", the seed instead of the clock.
    - ``cache``: where compiled dictionary tables are kept between runs: None for tessaly-cli's
      ($XDG_CACHE_HOME/tessaly), a folder, or False to write nothing.

    Bad options raise ValueError naming the valid ones; a phrase file that cannot be opened
    raises OSError.
    """

    __slots__ = ()

    def __init__(self, mode, *, encoding="utf-8", data=None, phrases=None, separator="none",
                 delete=None, newlines="as-is", strict=False, seed=None, cache=None):
        super().__init__(_key(mode, encoding, data, phrases, separator, delete, newlines,
                              strict, seed, cache))

    def __reduce__(self):
        return (_restore, (self._key,))

    def __eq__(self, other):
        return isinstance(other, Converter) and self._key == other._key

    def __hash__(self):
        return hash(self._key)

    def __repr__(self):
        return f"tessaly.Converter({self.mode!r}, encoding={self.encoding!r})"

    def convert_file(self, src, dst, *, raw=False):
        """Converts the file ``src`` into ``dst`` block by block, in constant memory.

        Text is read as UTF-8 (``raw=True``: bytes of the working encoding, as tessaly-cli
        --raw). The result goes to a temporary file beside ``dst``, synced and renamed onto it
        only when the conversion succeeds; on a fault, a loss under strict, an error or an
        interruption ``dst`` is left as it was and the temporary file removed. A replaced file
        keeps its permissions.
        """
        self._convert_file(os.fsdecode(src), os.fsdecode(dst), bool(raw))


_cache_lock = threading.Lock()
_converters = {}
_CACHE_SIZE = 64


def _remember(key, converter):
    with _cache_lock:
        if key not in _converters and len(_converters) >= _CACHE_SIZE:
            _converters.pop(next(iter(_converters)))
        return _converters.setdefault(key, converter)


def _cached(key):
    """The process's converter for these options, made on first use."""
    converter = _converters.get(key)
    if converter is not None:
        return converter
    converter = Converter.__new__(Converter)
    _Converter.__init__(converter, key)
    return _remember(key, converter)


def _restore(key):
    """Unpickles a converter: the one this process already has for its options, or a new one."""
    return _cached(tuple(key))


def convert(text, mode, **options):
    """Converts ``text`` (str or bytes) in ``mode`` with a converter kept for these options.

    ``options`` are :class:`Converter`'s keywords. The converter is made on the first call and
    reused by later ones with the same options.
    """
    try:
        key = (mode, *sorted(options.items())) if options else mode
        converter = _converters.get(("convert", key))
    except TypeError:  # an option that is not hashable, such as a mapping of phrases
        converter = None
        key = None
    if converter is None:
        converter = _cached(_key(mode, **options))
        if key is not None:
            _remember(("convert", key), converter)
    return converter.convert(text)
