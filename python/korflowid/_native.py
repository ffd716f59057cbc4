"""The library's C interface, declared for ctypes; private to the package.

The library is the one that lies beside this module: libKORFlowID.so.1 in a wheel for Linux,
KORFlowID.dll beside a Windows caller's copy. The environment variable KORFLOWID_LIBRARY, when set,
names another library file instead (a build tree's, for development and tests). Neither
LD_LIBRARY_PATH nor the system's search path is consulted for the default, so the package never
picks up a different installed version by accident.
"""

from __future__ import annotations

import ctypes
import os
import sys
from typing import Any, Callable, List, Optional, Tuple

LIBRARY_VARIABLE = "KORFLOWID_LIBRARY"

if sys.platform == "win32":
    _LIBRARY_NAME = "KORFlowID.dll"
elif sys.platform == "darwin":
    _LIBRARY_NAME = "libKORFlowID.1.dylib"
else:
    _LIBRARY_NAME = "libKORFlowID.so.1"

# kor_status
OK = 0
ABSENT = 1
NO_HOME = -1
NO_ROOT = -2
READ_FAILED = -3
NO_MEMORY = -4
BAD_ARGUMENT = -5
TOO_LARGE = -6

# kor_field
FIELD_INSTALL_ID = 1
FIELD_EXACT_ACCESS_DATE = 2
FIELD_FLOW_ID = 3
FIELD_FULL_FLOW_NAME = 4
FIELD_UPDATE_NAME = 5
FIELD_ABBREVIATED_FLOW_NAME = 6


def library_path() -> str:
    """The file the package loads: KORFLOWID_LIBRARY when set, else the library beside the module."""
    chosen = os.environ.get(LIBRARY_VARIABLE)
    if chosen:
        return chosen
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), _LIBRARY_NAME)


def _load() -> ctypes.CDLL:
    path = library_path()
    try:
        return ctypes.CDLL(path)
    except OSError as error:
        raise ImportError(
            "korflowid cannot load its library {!r} ({}); reinstall the wheel, or set {} "
            "to the file of a built libKORFlowID".format(path, error, LIBRARY_VARIABLE)
        ) from error


_lib = _load()

_c_int32_p = ctypes.POINTER(ctypes.c_int32)
_c_char_pp = ctypes.POINTER(ctypes.c_char_p)
_c_size_t_p = ctypes.POINTER(ctypes.c_size_t)


def _declare(name: str, restype: Any, argtypes: List[Any]) -> Callable[..., Any]:
    function = getattr(_lib, name)
    function.restype = restype
    function.argtypes = argtypes
    return function  # type: ignore[no-any-return]


# Every status comes back as a C int; the enum's underlying type is int on every ABI we build for.
kor_flow = _declare("kor_flow", ctypes.c_int, [ctypes.c_char_p, _c_int32_p, _c_char_pp])
kor_release = _declare("kor_release", ctypes.c_int, [ctypes.c_char_p, _c_int32_p, _c_char_pp])
_buffer_arguments = [ctypes.c_char_p, ctypes.c_size_t, _c_size_t_p]
kor_root = _declare("kor_root", ctypes.c_int, [ctypes.c_char_p] + _buffer_arguments)
kor_flow_code = _declare("kor_flow_code", ctypes.c_int, [ctypes.c_char_p] + _buffer_arguments)
kor_report = _declare("kor_report", ctypes.c_int, [ctypes.c_char_p] + _buffer_arguments)
kor_value = _declare("kor_value", ctypes.c_int, [ctypes.c_char_p, ctypes.c_int] + _buffer_arguments)
kor_label_value = _declare(
    "kor_label_value", ctypes.c_int, [ctypes.c_char_p, ctypes.c_char_p] + _buffer_arguments
)
kor_status_text = _declare("kor_status_text", ctypes.c_char_p, [ctypes.c_int])
kor_library_version = _declare("kor_library_version", ctypes.c_char_p, [])


def status_text(status: int) -> str:
    """The library's sentence for `status`."""
    text: Optional[bytes] = kor_status_text(status)
    return (text or b"").decode("utf-8", "replace")


def library_version() -> str:
    """The version the loaded library was built as."""
    text: Optional[bytes] = kor_library_version()
    return (text or b"").decode("ascii", "replace")


def identification(function: Callable[..., Any], home: Optional[bytes]) -> Tuple[int, int, str]:
    """Calls kor_flow or kor_release: (status, id, name)."""
    number = ctypes.c_int32(0)
    name = ctypes.c_char_p(None)
    status = int(function(home, ctypes.byref(number), ctypes.byref(name)))
    return status, number.value, (name.value or b"").decode("ascii", "replace")


def text(function: Callable[..., Any], arguments: Tuple[Any, ...], guess: int) -> Tuple[int, bytes]:
    """Calls a function of the buffer contract until its whole text fits: (status, bytes).

    The first call uses a buffer of `guess` bytes; when the length it reports does not fit, the call
    is repeated with a buffer of that length. A text that grows between the two calls (an installer
    writing a version file) only costs another round.
    """
    size = guess
    while True:
        buffer = ctypes.create_string_buffer(size)
        length = ctypes.c_size_t(0)
        status = int(function(*arguments, buffer, size, ctypes.byref(length)))
        # Only a failed read leaves a text worth having beside its status.
        if status < 0 and status != READ_FAILED:
            return status, b""
        if length.value < size:
            return status, buffer.raw[: length.value]
        size = length.value + 1
