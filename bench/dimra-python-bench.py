#!/usr/bin/env python3
"""Times the Python package dimra against the virtual board; not a test.

Usage: bench/dimra-python-bench.py [build directory]   (default: build, built beforehand)

Prints, for 5 runs of 500 set() calls from a Python loop against the board
paced at 9600 baud, how long the loop took and how long until get() showed
the board at the last values; and the get() round trip, 200 times, against
the paced board and against one that answers at once, on an idle line.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import dimra  # noqa: E402

LINE_BYTES_PER_SECOND = 960  # 9600 baud, 8N1
REPORT_BYTES = 3 * 8 + 10  # the board's answer to the open-link frame: three duties, then the frequency
OPEN_LINK_BYTES = 7


def start_board(build: str, folder: str, *options: str) -> "tuple[subprocess.Popen, str]":
    path = os.path.join(folder, "board" + "".join(options))
    board = subprocess.Popen([os.path.join(build, "board", "dimra-board"), "--link", path, *options],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    assert board.stdout is not None
    if not any(line.startswith("DIMRA_COM1=") for line in board.stdout):
        sys.exit("dimra-python-bench: the virtual board did not start")
    board.stdout.close()
    return board, path


def sets(port: str) -> "tuple[float, float, bool]":
    """500 set() calls: seconds for the loop, seconds until get() shows the last values, and whether it does."""
    with dimra.Board(port) as board:
        board.get()
        start = time.perf_counter()
        for i in range(500):
            board.set(frequency=25 + 37 * i, ch1=i % 101, ch2=100 - i % 101)
        looped = time.perf_counter() - start
        values = board.get()
        settled = time.perf_counter() - start
    last = {"frequency": 25 + 37 * 499, "ch1": 499 % 101, "ch2": 100 - 499 % 101, "ch3": 0}
    return looped, settled, values == last


def round_trips(port: str, gap: float, count: int = 200) -> "list[float]":
    """Milliseconds of each get(), after a first one that takes the linking report, gap seconds apart."""
    with dimra.Board(port) as board:
        board.get()
        times = []
        for _ in range(count):
            time.sleep(gap)
            start = time.perf_counter()
            board.get()
            times.append((time.perf_counter() - start) * 1000)
    return sorted(times)


def main() -> None:
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    os.environ.setdefault("DIMRACTL", os.path.join(build, "ctl", "dimractl"))
    with tempfile.TemporaryDirectory() as folder:
        paced, paced_port = start_board(build, folder)
        at_once, at_once_port = start_board(build, folder, "--no-pacing")
        try:
            runs = [sets(paced_port) for _ in range(5)]
            paced_trips = round_trips(paced_port, 0)
            # The link paces its frames to the line's speed: the open-link
            # frame waits until the last one would have left a real line, so
            # that against a board answering at once each get() comes on an
            # idle line, as it does on a real one, where the report takes
            # longer than that.
            at_once_trips = round_trips(at_once_port, 0.010)
        finally:
            for board in (paced, at_once):
                board.terminate()
                board.wait()

    looped = sorted(r[0] for r in runs)
    settled = sorted(r[1] for r in runs)
    print(f"500 set() calls, 5 runs: loop median {statistics.median(looped):.3f} s, worst {looped[-1]:.3f} s; "
          f"until get() shows the last values: median {statistics.median(settled):.3f} s, worst {settled[-1]:.3f} s; "
          f"last values right in {sum(r[2] for r in runs)} of 5")

    # The paced board sends its first byte at once and each further one a
    # byte time later: the report takes 29 byte times to arrive.
    report_ms = (REPORT_BYTES - 1) * 1000 / LINE_BYTES_PER_SECOND
    median, p99 = statistics.median(paced_trips), paced_trips[int(len(paced_trips) * 0.99) - 1]
    print(f"get() round trip, paced board, {len(paced_trips)} calls: median {median:.2f} ms, p99 {p99:.2f} ms; "
          f"less the report's {report_ms:.1f} ms on the line: median {median - report_ms:.2f} ms, "
          f"p99 {p99 - report_ms:.2f} ms")
    median, p99 = statistics.median(at_once_trips), at_once_trips[int(len(at_once_trips) * 0.99) - 1]
    print(f"get() round trip, board answering at once on an idle line (the host's own time), "
          f"{len(at_once_trips)} calls: median {median:.2f} ms, p99 {p99:.2f} ms")
    line_ms = (OPEN_LINK_BYTES + REPORT_BYTES) * 1000 / LINE_BYTES_PER_SECOND
    print(f"on a real line the exchange's {OPEN_LINK_BYTES + REPORT_BYTES} bytes take {line_ms:.1f} ms")


if __name__ == "__main__":
    main()
