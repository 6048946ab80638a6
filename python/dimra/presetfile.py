"""The user's presets: named lightings, set once and recalled on any board.

The presets file is dimractl's to read and write (``dimractl preset``), as it
is for the Dimra window and dimra-mqtt: these functions run it, so that there
is one reader and one writer of the file. It is
``$XDG_CONFIG_HOME/dimra/presets.json`` (``~/.config/dimra/presets.json`` by
default; ``%APPDATA%\\Dimra\\presets.json`` on Windows), or the file that
$DIMRA_PRESETS names. ``Board.apply_preset(name)`` applies one.
"""

import json
from typing import Dict, Optional

from .board import _checked_value, run_dimractl
from .errors import BadUsage


def presets() -> Dict[str, Dict[str, int]]:
    """The presets, by name in the file's order, each the values it sets,
    named as Board.get() names them::

        {'Part A': {'frequency': 20000, 'ch1': 40, 'ch2': 60, 'ch3': 0}, '暗场': {'ch3': 85}}

    A preset left out of the file (a value out of range, a name taken
    above it) is warned of as a RuntimeWarning naming the file, its line and
    what is wrong, and the others are given. A file that cannot be read
    raises BadUsage naming its line and the reason; no file is no presets.
    """
    listed = json.loads(run_dimractl("--json", "preset", "list"))
    return {preset["name"]: dict(preset["values"]) for preset in listed}


def save_preset(name: str, frequency: Optional[int] = None, ch1: Optional[int] = None, ch2: Optional[int] = None,
                ch3: Optional[int] = None) -> None:
    """Saves the values given as the preset name, in place of a preset of
    that name, else after the last: frequency in Hz (25-150000), duties in %
    (0-100), at least one of them; a preset leaves the others as they are.

    A name of 1 to 64 characters of any script, without control
    characters. A bad name or value raises BadUsage, as does a file that
    cannot be read, which is never written over; a write that fails raises
    LinkLost (an I/O error). Either way the file is as it was.
    """
    given = {"frequency": frequency, "ch1": ch1, "ch2": ch2, "ch3": ch3}
    values = {key: _checked_value(key, v, "nothing was saved") for key, v in given.items() if v is not None}
    if not values:
        raise BadUsage("a preset sets at least one of frequency, ch1, ch2, ch3; nothing was saved")
    options = [f"--{'freq' if key == 'frequency' else key}={number}" for key, number in values.items()]
    run_dimractl("preset", "save", *options, "--", _checked_name(name))


def delete_preset(name: str) -> None:
    """Deletes the preset name; one that is not there raises BadUsage naming
    the presets there are."""
    run_dimractl("preset", "delete", "--", _checked_name(name))


def _checked_name(name: str) -> str:
    """name, which goes after "--", so that one that starts with a dash is no option."""
    if not isinstance(name, str):
        raise BadUsage(f"a preset's name is text, not {name!r}")
    if "\0" in name:  # which no program's arguments can carry
        raise BadUsage(f"preset {name!r}: the name holds a control character")
    return name
