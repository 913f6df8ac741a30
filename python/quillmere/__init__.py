"""Quillmere from Python: the engine's C interface (libquillmere.so) through
ctypes, with nothing but the standard library.

    import quillmere
    with quillmere.Engine("project.db") as engine:
        report = engine.run_pipeline(bill_pricing=True, progress=print_stage)
        print(report["project_cost"])
        ok = engine.call("JiSuanZHDJ", 1211, False).result

The library is found through the environment variable QUILLMERE_LIBRARY (a
path), else by the dynamic loader as libquillmere.so.1. docs/C_API.md
describes the functions underneath.
"""

import ctypes
import json
import os
from collections import namedtuple

__all__ = ["Engine", "QuillmereError", "Cancelled", "CallResult", "OK", "FAILED", "MISUSE", "ERROR", "CANCELLED"]

# Result codes of quillmere.h.
OK, FAILED, MISUSE, ERROR, CANCELLED = 0, 1, 2, 3, 4
_OPEN_READONLY, _OPEN_CREATE = 0x1, 0x2
_ABI_VERSION = 1

_PROGRESS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int,
                             ctypes.c_double)
_MESSAGE = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p)

# What a member call gives back: the member's result (the text, "" on
# success; the Boolean of JiSuanZHDJ; the price of JiSuanQDDJ), its
# by-reference numbers by parameter name, and the message boxes it raised.
CallResult = namedtuple("CallResult", "result out messages")


class QuillmereError(Exception):
    """A call that did not succeed: `code` is the result code, `message` the
    engine's text, `report` the parsed result JSON when there was one (the
    member's outcome, or the pipeline report naming the failed stage)."""

    def __init__(self, code, message, report=None):
        super().__init__(message)
        self.code = code
        self.message = message
        self.report = report


class Cancelled(QuillmereError):
    """The progress callback stopped the pipeline; the stages before stay committed."""


_library = None


def _load():
    global _library
    if _library is None:
        lib = ctypes.CDLL(os.environ.get("QUILLMERE_LIBRARY") or "libquillmere.so.%d" % _ABI_VERSION)
        engine_pp = ctypes.POINTER(ctypes.c_void_p)
        text_p = ctypes.POINTER(ctypes.c_void_p)  # char**, read and freed by hand
        for name, result, arguments in [
            ("qm_open_v2", ctypes.c_int, [ctypes.c_char_p, ctypes.c_int, engine_pp]),
            ("qm_close", None, [ctypes.c_void_p]),
            ("qm_errmsg", ctypes.c_char_p, [ctypes.c_void_p]),
            ("qm_call", ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, text_p]),
            ("qm_run_pipeline", ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p, _PROGRESS, ctypes.c_void_p, text_p]),
            ("qm_set_message_handler", None, [ctypes.c_void_p, _MESSAGE, ctypes.c_void_p]),
            ("qm_busy_timeout", ctypes.c_int, [ctypes.c_void_p, ctypes.c_int]),
            ("qm_quick_check", ctypes.c_int, [ctypes.c_void_p]),
            ("qm_free", None, [ctypes.c_void_p]),
            ("qm_version", ctypes.c_char_p, []),
            ("qm_abi_version", ctypes.c_int, []),
        ]:
            function = getattr(lib, name)
            function.restype = result
            function.argtypes = arguments
        if lib.qm_abi_version() != _ABI_VERSION:
            raise ImportError("libquillmere has ABI %d, this client speaks %d" % (lib.qm_abi_version(), _ABI_VERSION))
        _library = lib
    return _library


def version():
    """The version of the loaded library."""
    return _load().qm_version().decode()


def _text(value):
    return value.decode("utf-8", "replace") if value is not None else ""


class Engine:
    """One open project database and the calculation on it. Use it from one
    thread at a time; close it (or leave the `with` block) when done."""

    def __init__(self, path, readonly=False, create=False, on_message=None):
        self._lib = _load()
        self._handle = ctypes.c_void_p()
        self._message_callback = None
        flags = (_OPEN_READONLY if readonly else 0) | (_OPEN_CREATE if create else 0)
        code = self._lib.qm_open_v2(os.fsencode(path), flags, ctypes.byref(self._handle))
        if code != OK:
            message = _text(self._lib.qm_errmsg(self._handle))
            self._lib.qm_close(self._handle)
            self._handle = None
            raise QuillmereError(code, message)
        if on_message is not None:
            self.on_message(on_message)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if getattr(self, "_handle", None):
            self._lib.qm_close(self._handle)
            self._handle = None

    def __del__(self):
        self.close()

    def on_message(self, handler):
        """Message boxes go to handler(prompt, style, title) as they are raised;
        None stops that. They are in each result's messages either way."""
        self._require_open()
        if handler is None:
            self._message_callback = None
            self._lib.qm_set_message_handler(self._handle, _MESSAGE(), None)
            return
        self._message_callback = _MESSAGE(lambda user, prompt, style, title: handler(_text(prompt), style,
                                                                                    _text(title)))
        self._lib.qm_set_message_handler(self._handle, self._message_callback, None)

    def call(self, member, *args):
        """Calls one member by its exact name with its arguments in order
        (bool, int, float, str; a by-reference number gives its starting
        value). Returns a CallResult; raises QuillmereError when the member
        reports a failure (code FAILED) or the call is wrong (MISUSE)."""
        self._require_open()
        arguments = json.dumps(list(args)).encode()
        result = ctypes.c_void_p()
        code = self._lib.qm_call(self._handle, member.encode("utf-8", "surrogateescape"), arguments,
                                 ctypes.byref(result))
        report = self._take(result)
        if code != OK:
            raise QuillmereError(code, _text(self._lib.qm_errmsg(self._handle)), report)
        return CallResult(report["result"], report["out"], report["messages"])

    def run_pipeline(self, progress=None, **options):
        """Runs the whole pipeline with the options of `quillmere calc`
        (bill_pricing, fee_programme, method, floor_area, clear_current,
        install_diff) and returns its report, a dict. progress(stage, index,
        count, seconds) is called before each stage; a true answer cancels
        the run there (Cancelled), as does an exception it raises (re-raised
        here). A failed stage raises QuillmereError with the report."""
        self._require_open()
        raised = []

        def report_stage(user, stage, index, count, seconds):
            try:
                return 1 if progress(_text(stage), index, count, seconds) else 0
            except BaseException as error:  # the C side must not see it; cancel and re-raise below
                raised.append(error)
                return 1

        callback = _PROGRESS(report_stage) if progress is not None else _PROGRESS()
        result = ctypes.c_void_p()
        code = self._lib.qm_run_pipeline(self._handle, json.dumps(options).encode(), callback, None,
                                         ctypes.byref(result))
        report = self._take(result)
        if raised:
            raise raised[0]
        if code == CANCELLED:
            raise Cancelled(code, _text(self._lib.qm_errmsg(self._handle)), report)
        if code != OK:
            raise QuillmereError(code, _text(self._lib.qm_errmsg(self._handle)), report)
        return report

    def busy_timeout(self, milliseconds):
        """How long a call waits for another connection's lock on the file
        (5000 ms when opened; 0 fails at once)."""
        self._require_open()
        self._check(self._lib.qm_busy_timeout(self._handle, milliseconds))

    def quick_check(self):
        """SQLite's quick check of the file: returns when it is sound; raises
        QuillmereError (code FAILED) with the checker's words when damaged."""
        self._require_open()
        self._check(self._lib.qm_quick_check(self._handle))

    def _check(self, code):
        if code != OK:
            raise QuillmereError(code, _text(self._lib.qm_errmsg(self._handle)))

    def _take(self, pointer):
        """The JSON text the library handed out, parsed and freed."""
        if not pointer.value:
            return None
        try:
            return json.loads(ctypes.string_at(pointer.value).decode("utf-8"))
        finally:
            self._lib.qm_free(pointer)

    def _require_open(self):
        if not self._handle:
            raise QuillmereError(MISUSE, "the engine is closed")
