"""A Dimra board as a Python object, over one long-lived ``dimractl session``.

The protocol, the port, its lock and the way the port is closed are
dimractl's; this module starts it, writes one JSON request a line and reads
its answers and events (``man dimractl`` describes them).
"""

import json
import numbers
import operator
import os
import queue
import re
import shutil
import subprocess
import threading
import warnings
from collections import deque
from typing import IO, Any, Deque, Dict, Iterator, List, Optional, Union

from .errors import BadUsage, DimraError, LinkLost, error_for

#: What each value may be, as dimractl checks it: (lowest, highest, unit).
RANGES = {"frequency": (25, 150000, "Hz"), "ch1": (0, 100, "%"), "ch2": (0, 100, "%"), "ch3": (0, 100, "%")}

_MESSAGE_PREFIX = "dimractl: "
_DETAILS_PREFIX = "  details: "
_STDERR_KEPT = 16 * 1024  # the tail of dimractl's messages kept for an error
_EXIT_WAIT = 5.0  # seconds a session that has closed its output may take to exit
_SYNC_ECHO = re.compile(r'"(dimra-sync-\d+)"')  # a sync request named in the session's refusal of it


def find_dimractl() -> str:
    """The dimractl to run: $DIMRACTL when set, else the one on PATH, else,
    on Windows, dimractl.exe in the folder Dimra's installer put it in (the
    InstallDir it keeps in the registry), else, for the package used from
    Dimra's source tree, the one built in build/."""
    import sys

    built = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build", "ctl", "dimractl")
    program = os.environ.get("DIMRACTL") or shutil.which("dimractl")
    if not program and sys.platform == "win32":
        import winreg

        try:  # the installer is a 64-bit program: its view of the registry, whatever this Python is
            with winreg.OpenKey(winreg.HKEY_LOCAL_MACHINE, r"Software\Dimra", 0,
                                winreg.KEY_READ | winreg.KEY_WOW64_64KEY) as key:
                program = shutil.which(os.path.join(winreg.QueryValueEx(key, "InstallDir")[0], "dimractl.exe"))
        except OSError:
            pass  # not installed
    program = program or shutil.which(os.path.normpath(built))
    if not program:
        raise DimraError("dimractl is not on PATH; install Dimra, or set DIMRACTL to the program's path", 127)
    return program


def _ended_error(returncode: Optional[int], stderr: str) -> DimraError:
    """What a dimractl that has ended says about it: its last message, with
    its details, as the exception for its exit code."""
    lines = stderr.rstrip("\n").split("\n")
    starts = [i for i, line in enumerate(lines) if line.startswith(_MESSAGE_PREFIX)]
    block = lines[starts[-1]:] if starts else []
    message = "\n".join(line for line in block if not line.startswith(_DETAILS_PREFIX))[len(_MESSAGE_PREFIX):]
    details = "\n".join(line[len(_DETAILS_PREFIX):] for line in block if line.startswith(_DETAILS_PREFIX))
    if returncode is not None and returncode < 0:
        message = message or f"the dimractl session was ended by signal {-returncode}"
    else:
        message = message or stderr.strip() or f"the dimractl session ended with exit code {returncode}"
    return error_for(returncode if returncode is not None else LinkLost.code, message, details)


def _checked_value(name: str, value: Any, undone: str = "nothing was sent") -> int:
    """value as a whole number within its range, else BadUsage saying what was undone."""
    low, high, unit = RANGES[name]
    try:
        if isinstance(value, bool):
            raise TypeError
        number = operator.index(value)
    except TypeError:
        raise BadUsage(f'{name}: "{value}" is not a whole number; {undone}') from None
    if not low <= number <= high:
        raise BadUsage(f"{name}: {number} is outside {low} to {high} {unit}; {undone}")
    return number


def _copy(error: DimraError) -> DimraError:
    """A fresh exception like error, raised with a traceback of its own."""
    return error_for(error.exit_code, error.message, error.details)


class _Answer:
    """One request's answer, filled in by the reader thread.

    ``maybe``: the request's write was interrupted before it surely went out.
    ``sync``: the op of a request the session refuses, naming it, sent after
    such a write, so that its answer tells whether the line before went out.
    """

    def __init__(self, sync: Optional[str] = None) -> None:
        self.sync = sync
        self.maybe = False
        self.ready = threading.Event()
        self.reply: Dict[str, Any] = {}
        self.error: Optional[DimraError] = None

    def fill(self, reply: Dict[str, Any]) -> None:
        self.reply = reply
        if not reply.get("ok"):
            e = reply.get("error", {})
            self.error = error_for(e.get("exit_code", 1), e.get("message", ""), e.get("details", ""))
        self.ready.set()

    def fail(self, error: DimraError) -> None:
        self.error = error
        self.ready.set()


_END = object()  # the session has ended: no more reports


class Board:
    """The board on one port, held for as long as the object is open.

    ``port`` is COMn, as the Dimra window numbers them (COM1 to COM256), a
    device path, or a board that dimra-mqtt serves on another computer:
    ``mqtt://[user@]host[:port]/<board-id>``, ``mqtts://`` for TLS, with the
    password in DIMRA_MQTT_PASSWORD or the file DIMRA_MQTT_PASSWORD_FILE
    names. ``timeout`` is how long, in seconds, the board may take to answer.
    Opening waits until the board has answered: a port that cannot be opened
    (or a broker that cannot be reached) raises NoSuchPort, NoPermission or
    PortInUse, a board that does not answer (or that no running bridge
    serves) NoAnswer. Use it in a ``with`` statement, or call close()::

        with dimra.Board("/dev/ttyUSB0") as board:      # or "mqtt://broker.lab/bench"
            board.set(frequency=2000, ch1=40)
            print(board.get())

    set() returns as soon as the request is on its way, so that a loop of
    settings goes out merged, as a drag of the window's sliders does; an error
    of such a set is raised by the next call. Every other method waits for its
    answer.

    Several threads may share a Board: one lock takes each request, with the
    place of its answer, in turn, and every call gets its own answer. A
    KeyboardInterrupt (Ctrl+C) anywhere in a call leaves the Board usable: a
    request either goes out whole or not at all, and no answer goes astray.
    """

    def __init__(self, port: Union[str, "os.PathLike[str]"] = "COM1", timeout: float = 1.0) -> None:
        if isinstance(timeout, bool) or not isinstance(timeout, numbers.Real) or not 0.001 <= timeout <= 3600:
            raise BadUsage(f"timeout: {timeout!r} is not a number of seconds from 0.001 to 3600")
        timeout_ms = round(timeout * 1000)
        self.device: Optional[str] = None  #: the device the port opened, or the board's address, once linked
        self._answers: Deque[_Answer] = deque()  # asked, in order, not yet answered
        self._unchecked: Deque[_Answer] = deque()  # sets nobody has waited for
        self._reports: "queue.Queue[Any]" = queue.Queue()
        self._watching = False
        self._lock = threading.Lock()  # a request and the place of its answer, in turn
        self._unsure = False  # a write was interrupted: a sync request goes first
        self._syncs = 0
        self._linked = threading.Event()
        self._ended: Optional[DimraError] = None  # why the session is over
        self._closed = False
        self._stderr = ""
        program = find_dimractl()
        try:
            self._process = subprocess.Popen(
                [program, "-p", os.fspath(port), "-t", str(timeout_ms), "session"],
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                start_new_session=True,  # Ctrl+C is the script's to handle; close() then drains the port
            )
        except OSError as e:
            raise DimraError(f"cannot run {program}: {e.strerror}", 127) from None
        self._stderr_reader = threading.Thread(target=self._read_stderr, daemon=True)
        self._stderr_reader.start()
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()
        try:
            self._linked.wait()
        except BaseException:  # Ctrl+C while the board is awaited: the port closes again
            self._cleanup()
            raise
        if self._ended is not None:
            self._cleanup()
            self._raise_ended()

    def __enter__(self) -> "Board":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def set(self, frequency: Optional[int] = None, ch1: Optional[int] = None, ch2: Optional[int] = None,
            ch3: Optional[int] = None, verify: bool = False) -> None:
        """Sends the values given: frequency in Hz (25-150000), duties in % (0-100).

        Values are checked first: one out of range raises BadUsage and nothing
        is sent. With verify, waits for the board to report again and raises
        VerifyFailed where it holds other values.
        """
        given = {"frequency": frequency, "ch1": ch1, "ch2": ch2, "ch3": ch3}
        values = {name: _checked_value(name, v) for name, v in given.items() if v is not None}
        if not values:
            raise BadUsage("set needs at least one of frequency, ch1, ch2, ch3")
        request: Dict[str, Any] = {"op": "set", "values": values}
        if verify:
            request["verify"] = True
            self._wait(self._send(request))
            return
        self._unchecked.append(self._send(request))
        self._raise_unchecked()

    def get(self) -> Dict[str, Optional[int]]:
        """The values the board reports: frequency, ch1, ch2, ch3; None for one not reported."""
        reply = self._wait(self._send({"op": "get"}))
        if reply.get("message"):
            warnings.warn(reply["message"], RuntimeWarning, stacklevel=2)
        return dict(reply["values"])

    def off(self) -> None:
        """Sets the three channels to 0 % and waits until the frames have left the computer."""
        self._wait(self._send({"op": "off"}))

    def apply_preset(self, name: str, verify: bool = False) -> None:
        """Applies the user's preset of that name (see dimra.presets()) as set() with its values would.

        The preset is read from the presets file as the request is read: one
        that is not there raises BadUsage naming the presets there are, one
        left out of the file (a value out of range) BadUsage naming what is
        wrong with it, and a file that cannot be read BadUsage naming its
        line and the reason; nothing is sent. Waits until the frames have
        left the computer; with verify, until the board reports again, and
        raises VerifyFailed where it holds other values.
        """
        if not isinstance(name, str):
            raise BadUsage(f"a preset's name is text, not {name!r}")
        request: Dict[str, Any] = {"op": "preset", "name": name}
        if verify:
            request["verify"] = True
        self._wait(self._send(request))

    def reports(self, timeout: Optional[float] = None) -> Iterator[Dict[str, int]]:
        """The board's reports from now on, one dict each as they come: {"ch1": 40}.

        The iteration ends when the board is closed, or when no report has
        come for timeout seconds; it raises LinkLost where the session dies.
        From the first call on, every report is kept until it is read.
        """
        if not self._watching:
            self._watching = True
            try:
                self._wait(self._send({"op": "watch", "on": True}))
            except DimraError:
                self._watching = False
                raise
        return self._iterate_reports(timeout)

    def close(self) -> None:
        """Lets what waits reach the board, then closes and unlocks the port.

        Raises the error of a set that nobody has seen yet, or of the close.
        """
        if self._closed:
            return
        try:
            if self._ended is None:
                self._wait(self._send({"op": "close"}))
            self._raise_unchecked(wait=True)
        finally:
            self._closed = True
            self._cleanup()

    def _iterate_reports(self, timeout: Optional[float]) -> Iterator[Dict[str, int]]:
        while True:
            try:
                item = self._reports.get(timeout=timeout)
            except queue.Empty:
                return
            if item is _END:
                self._reports.put(_END)  # for the next iteration too
                if self._closed:
                    return
                self._raise_ended()
            yield item

    def _send(self, request: Dict[str, Any]) -> _Answer:
        if self._closed:
            raise DimraError("the board is closed")
        self._raise_ended()
        answer = _Answer()
        try:
            with self._lock:
                if self._ended is not None:
                    answer.fail(self._ended)
                    return answer
                if self._unsure:
                    self._syncs += 1
                    sync = f"dimra-sync-{self._syncs}"
                    self._write(_Answer(sync), {"op": sync})
                self._write(answer, request)
        except OSError:
            self._reader.join()  # the session is gone: its end says why
        return answer

    def _write(self, answer: _Answer, request: Dict[str, Any]) -> None:
        """Queues answer and writes its request, the lock held. The line goes
        whole into the writer's buffer or not at all, and what is there goes
        out with this flush or the next; interrupted before the line surely
        went in, the answer is one that may never come, and a sync request
        goes before the next line."""
        line = (json.dumps(request, separators=(",", ":")) + "\n").encode()
        written = False
        try:
            self._answers.append(answer)
            assert self._process.stdin is not None
            self._process.stdin.write(line)
            written = True
            self._unsure = False
            self._process.stdin.flush()
        except BaseException:
            if not written:
                answer.maybe = self._unsure = True
            raise

    def _wait(self, answer: _Answer) -> Dict[str, Any]:
        answer.ready.wait()
        self._raise_unchecked()
        if answer.error is not None:
            raise _copy(answer.error)
        return answer.reply

    def _raise_unchecked(self, wait: bool = False) -> None:
        """Raises the first error among the sets answered (all of them: wait) so far."""
        while self._unchecked and (wait or self._unchecked[0].ready.is_set()):
            try:
                answer = self._unchecked.popleft()
            except IndexError:  # another thread took the last one
                return
            answer.ready.wait()
            if answer.error is not None:
                self._unchecked.clear()
                raise _copy(answer.error)

    def _raise_ended(self) -> None:
        if self._ended is not None:
            raise _copy(self._ended)

    def _read_stdout(self) -> None:
        assert self._process.stdout is not None
        for raw in self._process.stdout:
            try:
                line = json.loads(raw)
            except ValueError:
                continue
            event = line.get("event")
            if event == "linked":
                self.device = line.get("device")
                self._linked.set()
            elif event == "report":  # the session sends them only once watched
                self._reports.put(dict(line.get("values", {})))
            elif event is None:
                self._answer(line)
        # The session has ended: whatever still waits learns why.
        try:
            returncode: Optional[int] = self._process.wait(timeout=_EXIT_WAIT)
        except subprocess.TimeoutExpired:
            self._process.kill()
            returncode = self._process.wait()
        self._stderr_reader.join()
        with self._lock:
            self._ended = _ended_error(returncode, self._stderr)
            waiting, self._answers = list(self._answers), deque()
        for answer in waiting:
            answer.fail(self._ended)
        self._reports.put(_END)
        self._linked.set()

    def _answer(self, reply: Dict[str, Any]) -> None:
        """Hands reply to the request it answers, in the order written. A
        request that may not have gone out is passed over when the reply is a
        sync request's: the session answered nothing for it."""
        echo = _SYNC_ECHO.search(str(reply.get("error", {}).get("message", "")))
        while self._answers:
            answer = self._answers.popleft()  # queued before its line was written
            if not answer.maybe or answer.sync == (echo and echo.group(1)):
                answer.fill(reply)
                return

    def _read_stderr(self) -> None:
        stream: Optional[IO[bytes]] = self._process.stderr
        assert stream is not None
        for raw in stream:
            self._stderr = (self._stderr + raw.decode("utf-8", "replace"))[-_STDERR_KEPT:]

    def _cleanup(self) -> None:
        """Ends the input, so that the session closes, and waits until it has."""
        try:
            if self._process.stdin is not None:
                self._process.stdin.close()
        except OSError:
            pass
        self._reader.join()
        for stream in (self._process.stdout, self._process.stderr):
            if stream is not None:
                stream.close()


def list_ports() -> List[Dict[str, Optional[str]]]:
    """The ports as the Dimra window lists them (COM1 to COM12, then every higher
    one with a device), as ``dimractl --json list`` gives them.

    Each entry has the keys port ("COM1"), entry (the window's text),
    device, stable (its /dev/serial link) and description; None where there
    is none.
    """
    ports: List[Dict[str, Optional[str]]] = json.loads(run_dimractl("--json", "list"))
    return ports


def run_dimractl(*args: str) -> bytes:
    """What dimractl with args prints on standard output; its error, as the
    exception for its exit code, where it fails. Its notes on standard error
    (a preset left out of the file) are warned of as RuntimeWarning."""
    run = subprocess.run([find_dimractl(), *args], capture_output=True)
    if run.returncode != 0:
        raise _ended_error(run.returncode, run.stderr.decode("utf-8", "replace"))
    for line in run.stderr.decode("utf-8", "replace").splitlines():
        if line.startswith(_MESSAGE_PREFIX):
            warnings.warn(line[len(_MESSAGE_PREFIX):], RuntimeWarning, stacklevel=3)
    return run.stdout
