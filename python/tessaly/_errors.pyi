class TessalyError(Exception): ...

class ConversionError(TessalyError):
    kind: str | None
    mode: str | None
    routine: str | None
    offset: int | None
    detail: str | None
    index: int | None
    def __init__(
        self,
        message: str,
        *,
        kind: str | None = ...,
        mode: str | None = ...,
        routine: str | None = ...,
        offset: int | None = ...,
        detail: str | None = ...,
        index: int | None = ...,
    ) -> None: ...

class _LossFields:
    count: int
    kind: str | None
    first_offset: int
    index: int | None

class LossError(_LossFields, TessalyError):
    def __init__(
        self, message: str, *, count: int = ..., kind: str | None = ..., first_offset: int = ...,
        index: int | None = ...,
    ) -> None: ...

class LossWarning(_LossFields, UserWarning):
    def __init__(
        self, message: str, *, count: int = ..., kind: str | None = ..., first_offset: int = ...,
        index: int | None = ...,
    ) -> None: ...
