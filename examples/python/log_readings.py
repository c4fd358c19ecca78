#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Queries a meter every second and logs its readings to a CSV file. Copy it and change the
port, baud rate, style, address and command for your instrument.

    python3 log_readings.py /dev/ttyUSB0 readings.csv          (a device path or "COM3")
    python3 log_readings.py --simulate readings.csv            (a simulated omega meter)
"""
from __future__ import annotations

import csv
import sys
import time
from datetime import datetime

import kivocom


def log(port: str | int, path: str, count: int = 5, interval: float = 1.0) -> None:
    with kivocom.open(port, baud=9600, style="omega", address="01", timeout=1.0) as meter, \
            open(path, "w", newline="") as out:
        writer = csv.writer(out)
        writer.writerow(["time", "reading"])
        for _ in range(count):
            try:
                reading = meter.query("PV")
            except kivocom.Timeout:
                print("no reply in time; is the meter on and the address right?", file=sys.stderr)
                continue
            writer.writerow([datetime.now().isoformat(timespec="seconds"), reading])
            print(reading)
            time.sleep(interval)


def main() -> None:
    if len(sys.argv) != 3:
        sys.exit(f"usage: {sys.argv[0]} DEVICE|COMn|--simulate FILE.csv")
    if sys.argv[1] == "--simulate":
        with kivocom.Simulator() as sim:
            sim.add_instrument("omega", address="01", replies={"PV": "+0021.70"})
            log(sim.device, sys.argv[2], interval=0.2)
    else:
        log(sys.argv[1], sys.argv[2])


if __name__ == "__main__":
    main()
