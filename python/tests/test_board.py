"""The dimra package against the built dimractl ($DIMRACTL, else the one on PATH) and virtual board ($DIMRA_BOARD)."""

import faulthandler
import json
import os
import random
import subprocess
import tempfile
import threading
import time
import unittest
from concurrent.futures import ThreadPoolExecutor
from unittest import mock

import dimra

OPEN_LINK = bytes.fromhex("3DAA00000000E7")


def answer_open_link(master: int, ch1: int) -> None:
    """Plays a board that answers every open-link frame with its channel 1 reply alone, at ch1."""
    reply = bytes([0x3D, 0xAA, 0x00, 1, 0, 1, ch1])
    try:
        while True:
            if OPEN_LINK in os.read(master, 1024):
                os.write(master, reply + bytes([sum(reply) & 0xFF]))
    except OSError:
        pass  # the last program with the line open has closed it


class BoardTest(unittest.TestCase):
    def setUp(self) -> None:
        faulthandler.dump_traceback_later(60, exit=True)  # a call that hangs fails the run, with every thread's stack
        self.addCleanup(faulthandler.cancel_dump_traceback_later)
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.port = os.path.join(self.dir.name, "board")
        self.board = subprocess.Popen([os.environ["DIMRA_BOARD"], "--link", self.port, "--no-pacing"],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(self.board.wait, 5)
        self.addCleanup(self.board.terminate)
        self.assertTrue(any(line.startswith("DIMRA_COM1=") for line in self.board.stdout), "no board")
        self.board.stdout.close()

    def pty(self, ch1=None) -> str:
        """A pseudo-terminal's device, with a board that answers as answer_open_link when ch1 is given."""
        master, slave = os.openpty()
        self.addCleanup(os.close, master)
        if ch1 is not None:  # the board stops once the slave side is closed, before its master is
            player = threading.Thread(target=answer_open_link, args=(master, ch1), daemon=True)
            player.start()
            self.addCleanup(player.join, 5)
        self.addCleanup(os.close, slave)
        return os.ttyname(slave)

    def test_set_get_off_and_close_deliver_in_order(self) -> None:
        with dimra.Board(self.port) as board:
            self.assertEqual(board.get(), {"frequency": 1000, "ch1": 0, "ch2": 0, "ch3": 0})
            for i in range(300):  # merged on the way: the board ends at the last values
                board.set(ch1=i % 101, ch3=100 - i % 101)
            board.set(frequency=2000, ch2=7, verify=True)
            self.assertEqual(board.get(), {"frequency": 2000, "ch1": 97, "ch2": 7, "ch3": 3})
            board.off()
            self.assertEqual(board.get(), {"frequency": 2000, "ch1": 0, "ch2": 0, "ch3": 0})
            board.set(ch2=55)  # still on its way when the board is closed
        with mock.patch.dict(os.environ, DIMRA_PRESETS=os.path.join(self.dir.name, "presets.json")), \
                dimra.Board(self.port, timeout=2) as board:
            self.assertEqual(board.get(), {"frequency": 2000, "ch1": 0, "ch2": 55, "ch3": 0})
            dimra.save_preset("暗场", ch1=5, ch3=85)  # the session reads the file as each preset is asked for
            self.assertEqual(dimra.presets(), {"暗场": {"ch1": 5, "ch3": 85}})
            board.apply_preset("暗场", verify=True)
            self.assertEqual(board.get(), {"frequency": 2000, "ch1": 5, "ch2": 55, "ch3": 85})
            self.assertRaisesRegex(dimra.BadUsage, 'no preset "A"; the presets are "暗场"', board.apply_preset, "A")
            with open(os.environ["DIMRA_PRESETS"], encoding="utf-8") as file:  # a preset the user wrote wrong
                written = json.load(file)
            written["presets"].append({"name": "B", "ch1": 101})
            with open(os.environ["DIMRA_PRESETS"], "w", encoding="utf-8") as file:
                json.dump(written, file)
            with self.assertWarnsRegex(RuntimeWarning, r'presets.json:1: preset "B" is left out: ch1 101 is outside 0 to 100 %'):
                self.assertEqual(dimra.presets(), {"暗场": {"ch1": 5, "ch3": 85}})
            self.assertRaisesRegex(dimra.BadUsage, 'preset "B" is left out: ch1 101', board.apply_preset, "B")

    def test_reports_come_as_the_board_sends_them_and_end_with_its_loss(self) -> None:
        with dimra.Board(self.port) as board:
            board.get()  # the report that linked is all in
            reports = board.reports(timeout=5)
            board.set(ch1=33)
            board.get()
            self.assertEqual([next(reports) for _ in range(4)],
                             [{"ch1": 33}, {"ch2": 0}, {"ch3": 0}, {"frequency": 1000}])
            self.board.terminate()
            with self.assertRaises(dimra.LinkLost) as caught:
                next(reports)
            self.assertIn("lost the board", caught.exception.message)
            self.assertRaises(dimra.LinkLost, board.get)

    def test_an_interrupt_inside_set_leaves_the_board_usable(self) -> None:
        with dimra.Board(self.port) as board:
            pipe = board._process.stdin
            for value, sent in ((9, False), (10, True)):  # Ctrl+C inside the write, before the line went or after

                def interrupted(line: bytes, sent: bool = sent) -> None:
                    board._process.stdin = pipe
                    if sent:
                        pipe.write(line)
                    raise KeyboardInterrupt

                board._process.stdin = mock.Mock(write=interrupted)
                self.assertRaises(KeyboardInterrupt, board.set, ch1=value)
                self.assertEqual(board.get()["ch1"], value if sent else 0)

    def test_threads_share_a_board(self) -> None:
        def set_and_get(channel: str) -> None:
            for i in range(60):
                board.set(**{channel: i})
                self.assertEqual(board.get()[channel], i)

        with dimra.Board(self.port) as board, ThreadPoolExecutor(2) as pool:
            pipe = board._process.stdin  # each line takes its own while to write: the threads' requests overlap
            board._process.stdin = mock.Mock(wraps=pipe, write=lambda line: time.sleep(random.random() / 50) or pipe.write(line))
            list(pool.map(set_and_get, ("ch1", "ch2")))

    def test_each_error_raises_its_exception(self) -> None:
        def out_of_range_sends_nothing() -> None:
            with dimra.Board(self.port) as board:
                try:
                    board.set(ch1=40, ch2=101)
                finally:
                    self.assertEqual(board.get()["ch1"], 0)

        def in_use() -> None:
            with dimra.Board(self.port):
                dimra.Board(self.port)

        def no_permission() -> None:  # root may open any device; nobody may not
            device, wrapper = self.pty(), os.path.join(self.dir.name, "dimractl-as-nobody")
            os.chmod(device, 0)
            with open(wrapper, "w") as script:
                script.write(f'#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups "{dimra.board.find_dimractl()}" "$@"\n')
            os.chmod(wrapper, 0o755)
            with mock.patch.dict(os.environ, {"DIMRACTL": wrapper} if os.geteuid() == 0 else {}):
                dimra.Board(device)

        def verify_finds_another_value() -> None:
            with dimra.Board(self.pty(ch1=39), timeout=0.5) as board:
                board.set(ch1=40, verify=True)

        def session_killed() -> None:
            try:
                with dimra.Board(self.port) as board:
                    board._process.kill()
                    board.get()
            finally:  # the next open finds the port free and removes the lock left behind
                dimra.Board(self.port).close()

        rows = [
            ("a value out of range", out_of_range_sends_nothing, dimra.BadUsage, "ch2: 101 is outside 0 to 100 %"),
            *[(f"timeout {t!r}", lambda t=t: dimra.Board(self.port, timeout=t), dimra.BadUsage, "timeout")
              for t in (float("nan"), float("inf"), "1", -1, True, 0.0009, 3600.0004)],
            ("no such port", lambda: dimra.Board(os.path.join(self.dir.name, "none")), dimra.NoSuchPort, "no such port"),
            ("port in use", in_use, dimra.PortInUse, "in use"),
            ("no permission", no_permission, dimra.NoPermission, "no permission"),
            ("a board that never answers", lambda: dimra.Board(self.pty(), timeout=0.2), dimra.NoAnswer, "within 200 ms"),
            ("verify", verify_finds_another_value, dimra.VerifyFailed, "ch1 set to 40, board reports 39"),
            ("the session killed", session_killed, dimra.LinkLost, "signal 9"),
        ]
        for name, action, expected, words in rows:
            with self.subTest(name):
                with self.assertRaises(expected) as caught:
                    action()
                self.assertEqual(caught.exception.exit_code, expected.code)
                self.assertIn(words, caught.exception.message)

    def test_dimractl_found_in_the_install_folder_on_windows(self) -> None:
        installed = os.path.join(self.dir.name, "dimractl.exe")
        on_path = os.path.join(self.dir.name, "bin", "dimractl.exe")
        os.mkdir(os.path.dirname(on_path))
        for program in (installed, on_path):
            open(program, "w").close()
            os.chmod(program, 0o755)
        keys = {("HKLM", "Software\\Dimra", 1 | 256): {"InstallDir": self.dir.name}}  # the installer's, 64-bit view
        winreg = mock.MagicMock(HKEY_LOCAL_MACHINE="HKLM", KEY_READ=1, KEY_WOW64_64KEY=256)
        winreg.OpenKey = lambda *key: mock.MagicMock(**{"__enter__.return_value": keys[key[0], key[1], key[3]]})
        winreg.QueryValueEx = lambda key, name: (key[name], 1)
        with mock.patch.dict("sys.modules", {"winreg": winreg}), mock.patch("sys.platform", "win32"), \
                mock.patch.dict(os.environ, {"PATH": os.path.join(self.dir.name, "none")}):
            os.environ.pop("DIMRACTL", None)  # and no dimractl on PATH
            self.assertEqual(dimra.board.find_dimractl(), installed)

        def not_installed(*key):
            raise FileNotFoundError(2, "The system cannot find the file specified")

        # $DIMRACTL, then PATH, then the install folder, then the one built in the source tree.
        built = os.path.normpath(os.path.join(os.path.dirname(dimra.__file__), "..", "..", "build", "ctl", "dimractl"))
        fallback = built if os.access(built, os.X_OK) else None  # else no dimractl at all, 127
        rows = [
            ("$DIMRACTL before the others", {"DIMRACTL": "C:\\tools\\dimractl.exe", "PATH": os.path.dirname(on_path)},
             winreg.OpenKey, "C:\\tools\\dimractl.exe"),
            ("PATH before the install folder", {"PATH": os.path.dirname(on_path)}, winreg.OpenKey, on_path),
            ("not installed", {"PATH": os.path.join(self.dir.name, "none")}, not_installed, None),
            ("an install folder without dimractl.exe", {"PATH": os.path.join(self.dir.name, "none")},
             lambda *key: mock.MagicMock(**{"__enter__.return_value": {"InstallDir": os.path.dirname(on_path) + "x"}}),
             None),
        ]
        for name, environment, open_key, expected in rows:
            with self.subTest(name), mock.patch.dict("sys.modules", {"winreg": winreg}), \
                    mock.patch("sys.platform", "win32"), mock.patch.object(winreg, "OpenKey", open_key), \
                    mock.patch.dict(os.environ, {"PATHEXT": ".exe", **environment}):
                if "DIMRACTL" not in environment:
                    os.environ.pop("DIMRACTL", None)
                try:
                    found = dimra.board.find_dimractl()
                except dimra.DimraError as error:
                    found = None if error.exit_code == 127 else error
                self.assertEqual(found, expected or fallback)
