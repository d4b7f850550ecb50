import os
from collections.abc import Iterable, Mapping
from typing import Literal, overload

from tessaly._errors import (
    ConversionError as ConversionError,
    LossError as LossError,
    LossWarning as LossWarning,
    TessalyError as TessalyError,
)
from tessaly._tessaly import (
    _Converter,
    encodings as encodings,
    mode_info as mode_info,
    modes as modes,
)

__version__: str
data_version: str

_Path = str | os.PathLike[str]

class Converter(_Converter):
    def __init__(
        self,
        mode: str,
        *,
        encoding: str = ...,
        data: _Path | None = ...,
        phrases: _Path | Mapping[str, str] | None = ...,
        separator: Literal["none", "space", "comma", "dot", "0x"] = ...,
        delete: Literal["all", "none"] | str | Iterable[str] | None = ...,
        newlines: Literal["as-is", "crlf"] = ...,
        strict: bool = ...,
        seed: int | None = ...,
        cache: _Path | bool | None = ...,
    ) -> None: ...
    def convert_file(self, src: _Path, dst: _Path, *, raw: bool = ...) -> None: ...
    def __eq__(self, other: object) -> bool: ...
    def __hash__(self) -> int: ...

@overload
def convert(text: str, mode: str, **options: object) -> str: ...
@overload
def convert(text: bytes, mode: str, **options: object) -> bytes: ...
