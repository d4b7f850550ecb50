"""The exception and warning classes of tessaly, apart so that the native part can raise them."""


class TessalyError(Exception):
    """Base of the errors a conversion raises (bad options raise ValueError instead)."""


class ConversionError(TessalyError):
    """A fault kept the conversion from giving its whole result.

    ``kind`` is "malformed-input", "tables-unavailable", "library-failure" or
    "internal-mismatch"; ``mode`` and ``routine`` name what failed; ``offset`` is the byte offset
    in the input for malformed input; ``index`` is the item of a batch, else None.
    """

    def __init__(self, message, *, kind=None, mode=None, routine=None, offset=None,
                 detail=None, index=None):
        super().__init__(message)
        self.kind = kind
        self.mode = mode
        self.routine = routine
        self.offset = offset
        self.detail = detail
        self.index = index


class _LossFields:
    """What a loss report holds: how many, of which kind, where the first one is."""

    def _set_loss(self, count, kind, first_offset, index):
        self.count = count
        self.kind = kind
        self.first_offset = first_offset
        self.index = index


class LossError(_LossFields, TessalyError):
    """Raised under ``strict=True`` when a conversion lost something.

    ``count``, ``kind`` and ``first_offset`` describe the first kind of loss (the message names
    every kind); ``kind`` is "unmappable", "empty-hex-piece", "cut-at-zero", "invalid-output"
    or "odd-digit"; ``index`` is the batch item the first one is in, else None.
    """

    def __init__(self, message, *, count=0, kind=None, first_offset=0, index=None):
        super().__init__(message)
        self._set_loss(count, kind, first_offset, index)


class LossWarning(_LossFields, UserWarning):
    """Issued once per kind of loss of a conversion (``strict=False``, the default).

    Attributes as LossError's: ``count``, ``kind``, ``first_offset``, ``index``.
    """

    def __init__(self, message, *, count=0, kind=None, first_offset=0, index=None):
        super().__init__(message)
        self._set_loss(count, kind, first_offset, index)


# They show as tessaly's own, where users catch them.
for _class in (TessalyError, ConversionError, LossError, LossWarning):
    _class.__module__ = "tessaly"
