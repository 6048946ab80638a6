"""Dimra's three-channel PWM LED dimmer board, from Python.

    import dimra

    with dimra.Board("COM1") as board:          # or a path: "/dev/ttyUSB0"
        board.set(frequency=2000, ch1=40)
        print(board.get())                      # {'frequency': 2000, 'ch1': 40, 'ch2': 0, 'ch3': 0}
        for report in board.reports(timeout=5):
            print(report)                       # {'ch1': 40}, as the board reports

    print(dimra.list_ports())

    dimra.save_preset("Part A", frequency=20000, ch1=40, ch2=60, ch3=0)
    print(dimra.presets())                      # {'Part A': {'frequency': 20000, 'ch1': 40, 'ch2': 60, 'ch3': 0}}
    with dimra.Board("COM1") as board:
        board.apply_preset("Part A", verify=True)
    dimra.delete_preset("Part A")

The board is reached through one ``dimractl session`` for the life of the
Board object: dimractl speaks the protocol, holds and locks the port and
closes it; the presets, which the Dimra window and dimra-mqtt share, are read
and written by dimractl too. dimractl is found on PATH, or where $DIMRACTL
says. Pure Python, standard library only.
"""

from .board import RANGES, Board, list_ports
from .errors import (BadUsage, DimraError, LinkLost, NoAnswer, NoPermission, NoSuchPort, PortInUse,
                     VerifyFailed)
from .presetfile import delete_preset, presets, save_preset

__all__ = ["Board", "list_ports", "RANGES", "presets", "save_preset", "delete_preset", "DimraError", "LinkLost",
           "BadUsage", "NoSuchPort", "NoPermission", "PortInUse", "NoAnswer", "VerifyFailed"]
