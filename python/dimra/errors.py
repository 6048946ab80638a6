"""The exceptions of the dimra package, one for each of dimractl's exit codes."""

from typing import Dict, Type


class DimraError(Exception):
    """Something went wrong with the board, its port or a request.

    ``exit_code`` is the exit code that ``dimractl`` gives for the same cause
    and ``message`` its message for the user; ``details``, where there are
    any, are the system's own words for a bug report.
    """

    #: The exit code of the cause that the class stands for.
    code = 1

    def __init__(self, message: str, exit_code: int = -1, details: str = "") -> None:
        super().__init__(message)
        self.message = message
        self.exit_code = exit_code if exit_code >= 0 else self.code
        self.details = details

    def __str__(self) -> str:
        return self.message + (f"\n  details: {self.details}" if self.details else "")


class LinkLost(DimraError):
    """An I/O error, the device lost, or the dimractl session itself ended (1)."""

    code = 1


class BadUsage(DimraError):
    """A value out of range, a preset that is not there or a presets file that cannot be read, or a
    request that cannot be done (2); nothing was sent, and the presets file is as it was."""

    code = 2


class NoSuchPort(DimraError):
    """There is no such port, or the path is no serial device (3)."""

    code = 3


class NoPermission(DimraError):
    """The user may not open the port; the message says how to grant it (4)."""

    code = 4


class PortInUse(DimraError):
    """Another program holds the port, the Dimra window for example (5)."""

    code = 5


class NoAnswer(DimraError):
    """The board did not answer within the timeout (6)."""

    code = 6


class VerifyFailed(DimraError):
    """The board reports other values than were set (7)."""

    code = 7


_BY_CODE: Dict[int, Type[DimraError]] = {
    cls.code: cls for cls in (LinkLost, BadUsage, NoSuchPort, NoPermission, PortInUse, NoAnswer, VerifyFailed)
}


def error_for(exit_code: int, message: str, details: str = "") -> DimraError:
    """The exception for one of dimractl's exit codes; LinkLost for any other."""
    cls = _BY_CODE.get(exit_code)
    if cls is None:
        return LinkLost(message, LinkLost.code, details)
    return cls(message, exit_code, details)
