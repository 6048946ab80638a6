"""Dimra's three-channel PWM LED dimmer board, from Python.

    import dimra

    with dimra.Board("COM1") as board:          # or a path: "/dev/ttyUSB0"
        board.set(frequency=2000, ch1=40)
        print(board.get())                      # {'frequency': 2000, 'ch1': 40, 'ch2': 0, 'ch3': 0}
        for report in board.reports(timeout=5):
            print(report)                       # {'ch1': 40}, as the board reports

    print(dimra.list_ports())

The board is reached through one ``dimractl session`` for the life of the
Board object: dimractl speaks the protocol, holds and locks the port and
closes it. dimractl is found on PATH, or where $DIMRACTL says. Pure Python,
standard library only.
"""

from .board import RANGES, Board, list_ports
from .errors import (BadUsage, DimraError, LinkLost, NoAnswer, NoPermission, NoSuchPort, PortInUse,
                     VerifyFailed)

__all__ = ["Board", "list_ports", "RANGES", "DimraError", "LinkLost", "BadUsage", "NoSuchPort",
           "NoPermission", "PortInUse", "NoAnswer", "VerifyFailed"]
