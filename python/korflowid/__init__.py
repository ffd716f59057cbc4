"""Which flow and release an installation is, and what its installer recorded.

The answers come from the KORFlowID library, which the package carries beside this module and calls
through its C interface. Every function takes ``home``:

* ``None`` (the default) asks about the process's own installation, the one the environment variable
  KOR_HOME names. The library reads KOR_HOME from the process environment, which ``os.environ``
  updates, so a value set there before the first call is seen. As for a C++ caller, the flow is kept
  for the life of the process once it is found, and the report once it was read whole.
* A ``str`` or ``os.PathLike`` names another installation the way KOR_HOME would
  (``.../RJGQ.2.1/kor``). It is read afresh on every call, and nothing of it is kept.

Text is decoded as UTF-8; bytes that are not UTF-8 are kept with ``surrogateescape``, so
``text.encode("utf-8", "surrogateescape")`` gives the file's bytes back. A ``home`` given as ``str``
is encoded the same way.

>>> import korflowid
>>> korflowid.flow("/opt/inst/RJGQ.2.1/kor")
<Flow.RJ: 1>
>>> korflowid.release_name("/opt/inst/RJGQ.2.1/kor")
'GQ.2.1'
"""

from __future__ import annotations

import enum
import os
from typing import Any, Callable, Optional, Tuple, Union

from . import _native

__version__ = "1.1.0"

__all__ = [
    "Error",
    "Flow",
    "NoHomeError",
    "NoRootError",
    "ReadError",
    "Release",
    "Status",
    "abbreviated_flow_name",
    "exact_access_date",
    "flow",
    "flow_code",
    "flow_id_from_file",
    "flow_name",
    "full_flow_name",
    "install_id",
    "library_version",
    "release",
    "release_name",
    "report",
    "root",
    "update_name",
    "value",
]

#: What a ``home`` argument may be: None for KOR_HOME, or the path KOR_HOME would hold.
Home = Union[None, str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class Flow(enum.IntEnum):
    """The product line of an installation; the values are those of the C++ ``KORFlow::FlowId``."""

    UNKNOWN = 0
    RJ = 1
    TAVO_PRO = 2
    OPV = 3
    TAVO = 4
    MIRQ = 5
    YB = 6
    UZ = 7
    ZAL = 8
    Z_TORVIK = 9


class Release(enum.IntEnum):
    """The release of the flow; the values are those of the C++ ``KORFlow::FlowVersionId``.

    A release whose name begins with a digit has a ``V`` in front: ``V5_2_6`` is "5.2.6".
    """

    UNKNOWN = 0
    V5_2_6 = 1
    V5_2_7 = 2
    GQ_0 = 3
    GQ_1 = 4
    GQ_2 = 5
    GQ = 6
    V3_6 = 7
    GQ_1_1 = 8
    GQ_1_2 = 9
    V4_1 = 10
    GQ_1_1_1 = 11
    GQ_2_1 = 12
    GQ_2_2 = 13


class Status(enum.IntEnum):
    """The library's statuses, as ``Error.status`` carries them."""

    OK = _native.OK
    ABSENT = _native.ABSENT
    NO_HOME = _native.NO_HOME
    NO_ROOT = _native.NO_ROOT
    READ_FAILED = _native.READ_FAILED
    NO_MEMORY = _native.NO_MEMORY
    BAD_ARGUMENT = _native.BAD_ARGUMENT
    TOO_LARGE = _native.TOO_LARGE


class Error(Exception):
    """The installation gave no answer. The message is the library's sentence for ``status``.

    Raised as such for a report of 20000 bytes or more, which the library does not deliver.
    """

    def __init__(self, message: str, status: int) -> None:
        super().__init__(message)
        #: The library's status (a ``Status`` value).
        self.status = status

    def __reduce__(self) -> Tuple[Any, ...]:
        # So that the error survives pickling, as it crosses a process pool.
        return type(self), (str(self), self.status)


class NoHomeError(Error):
    """KOR_HOME is not set (for ``home=None``), or ``home`` is empty."""


class NoRootError(Error):
    """The home cannot be reduced to a flow directory (a single relative name such as ``kor``)."""


class ReadError(Error):
    """A file or folder of the installation could not be read just now (permission, I/O, no
    descriptor left). Nothing was kept, so the next call reads afresh.

    ``partial`` holds what was read all the same: the report so far, or the value where it was
    found; ``None`` when nothing was.
    """

    def __init__(self, message: str, status: int, partial: Optional[str] = None) -> None:
        super().__init__(message, status)
        self.partial = partial

    def __reduce__(self) -> Tuple[Any, ...]:
        return type(self), (str(self), self.status, self.partial)


def _decode(data: bytes) -> str:
    return data.decode("utf-8", "surrogateescape")


def _encode(text: Union[str, bytes], what: str) -> bytes:
    data = text if isinstance(text, bytes) else text.encode("utf-8", "surrogateescape")
    if b"\0" in data:
        raise ValueError("embedded null character in " + what)
    return data


def _home(home: Home) -> Optional[bytes]:
    if home is None:
        return None
    return _encode(os.fspath(home), "home")


def _check(status: int, partial: Optional[bytes] = None) -> None:
    """Turns a status other than OK and ABSENT into the exception a Python caller expects."""
    if status in (_native.OK, _native.ABSENT):
        return
    sentence = _native.status_text(status)
    if status == _native.NO_HOME:
        raise NoHomeError(sentence, status)
    if status == _native.NO_ROOT:
        raise NoRootError(sentence, status)
    if status == _native.READ_FAILED:
        raise ReadError(sentence, status, _decode(partial) if partial else None)
    if status == _native.NO_MEMORY:
        raise MemoryError(sentence)
    if status == _native.BAD_ARGUMENT:
        raise ValueError(sentence)
    raise Error(sentence, status)


def _identify(function: Callable[..., Any], home: Home) -> Tuple[int, str]:
    status, number, name = _native.identification(function, _home(home))
    _check(status)
    return number, name


def flow(home: Home = None) -> Flow:
    """The flow of the installation, ``Flow.UNKNOWN`` when its flow directory names none.

    Raises NoHomeError without a home and NoRootError for a home that cannot be reduced.
    """
    number, _ = _identify(_native.kor_flow, home)
    return Flow(number)


def flow_name(home: Home = None) -> str:
    """The flow's fixed name, ``"TAVOPro"`` for ``Flow.TAVO_PRO``; ``"UNKNOWN"`` for none."""
    return _identify(_native.kor_flow, home)[1]


def release(home: Home = None) -> Release:
    """The release of the flow, ``Release.UNKNOWN`` when the flow directory names none."""
    number, _ = _identify(_native.kor_release, home)
    return Release(number)


def release_name(home: Home = None) -> str:
    """The release's fixed name, ``"GQ.2.1"`` for ``Release.GQ_2_1``; ``"UNKNOWN"`` for none."""
    return _identify(_native.kor_release, home)[1]


def _text(
    function: Callable[..., Any], home: Home, *arguments: object, guess: int = 256
) -> Tuple[int, bytes]:
    status, data = _native.text(function, (_home(home),) + arguments, guess)
    _check(status, data)
    return status, data


def root(home: Home = None) -> str:
    """The installation root: the home followed by ``"/../"``, nothing normalised."""
    return _decode(_text(_native.kor_root, home)[1])


def flow_code(home: Home = None) -> str:
    """The flow marker found in the flow directory's name (``"KW"`` for ``KORGQ.1``), or the whole
    name when it holds none."""
    return _decode(_text(_native.kor_flow_code, home)[1])


def report(home: Home = None) -> str:
    """The installation report: the version files' lines, oldest first, then the installed patches,
    each line ending in ``"\\r\\n"``. Empty when the installation records nothing.

    Raises ReadError when a file could not be read (its ``partial`` holds the report so far), and
    Error for a report of 20000 bytes or more.
    """
    return _decode(_text(_native.kor_report, home, guess=4096)[1])


def _field(field: int, home: Home) -> Optional[str]:
    status, data = _text(_native.kor_value, home, field)
    return None if status == _native.ABSENT else _decode(data)


def value(label: str, home: Home = None) -> Optional[str]:
    """The value of the report line that begins with ``label``, as the report writes it, colon
    included (``value("Install Directory:")``); ``None`` when the installation lacks the label.

    The value is the rest of the line without its leading blanks and line end.
    """
    if not isinstance(label, str):
        raise TypeError("label must be str, not " + type(label).__name__)
    status, data = _text(_native.kor_label_value, home, _encode(label, "label"))
    return None if status == _native.ABSENT else _decode(data)


def install_id(home: Home = None) -> Optional[str]:
    """The value of ``Install Id:``, or None."""
    return _field(_native.FIELD_INSTALL_ID, home)


def exact_access_date(home: Home = None) -> Optional[str]:
    """The value of ``Exact Access Date:``, or None."""
    return _field(_native.FIELD_EXACT_ACCESS_DATE, home)


def flow_id_from_file(home: Home = None) -> Optional[str]:
    """The value of ``Flow Id:`` as the installer wrote it, or None."""
    return _field(_native.FIELD_FLOW_ID, home)


def full_flow_name(home: Home = None) -> Optional[str]:
    """The value of ``Full Flow Name:``, or None."""
    return _field(_native.FIELD_FULL_FLOW_NAME, home)


def update_name(home: Home = None) -> Optional[str]:
    """The value of ``UPDATE Name:``, or None."""
    return _field(_native.FIELD_UPDATE_NAME, home)


def abbreviated_flow_name(home: Home = None) -> Optional[str]:
    """The full flow name without ``"Vantorium Enterprise"``, what precedes it and one separator
    (``"TAVO Flow"`` for ``"Vantorium Enterprise TAVO Flow"``); the full flow name when it holds no
    long flow name; None without one."""
    return _field(_native.FIELD_ABBREVIATED_FLOW_NAME, home)


def library_version() -> str:
    """The version of the loaded library; equal to ``__version__`` for the bundled one."""
    return _native.library_version()
