#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""`kivocom serve` under load: exchanges per second and replies misdelivered with eight clients
(pySerial, gensiot and kivocom in turn, one per switch port of a simulated bb8 rack), and the
latency of one exchange through the server against the same exchange done directly on the port.

    bench/serve/serve_bench.py build [EXCHANGES]      (default 1000 per client)

Needs python3-serial and gensio-bin; prints tables."""
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
os.environ.setdefault("KIVOCOM_LIBRARY", os.path.join(build, "src", "libkivocom.so.1"))
sys.path[:0] = [os.path.join(SOURCE, "tests", "serve"), os.path.join(SOURCE, "python")]

import serve_clients as sc  # noqa: E402

paths = sc.Paths(os.path.join(build, "tools", "kivocom"), os.path.join(build, "tests", "serve", "kivocom_serve_rack"))


def ms(seconds, q):
    ordered = sorted(seconds)
    return 1000 * ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def row(label, seconds):
    return f"| {label:<34} | {len(seconds):>9} | {ms(seconds, 0.5):>8.2f} | {ms(seconds, 0.95):>8.2f} | {ms(seconds, 0.99):>8.2f} |"


rack = sc.Rack(paths)
try:
    direct = sc.direct_exchanges(rack.device, "A", count)
    server = sc.Server(paths, rack.device)
    try:
        alone = {kind: sc.Tally(kind, "A") for kind in sc.CLIENTS}
        for kind, tally in alone.items():
            sc.run_client(sc.CLIENTS[kind], server, "A", count, tally)
        started = time.perf_counter()
        tallies = sc.load(server, count)
        elapsed = time.perf_counter() - started
    finally:
        server.stop()
finally:
    rack.close()

total = sum(t.replies for t in tallies)
print(f"\nLoad: 8 clients x {count} exchanges of ID through a bb8 switch, 115200 baud, simulated rack\n")
print("| clients | exchanges | replies right | misdelivered | failures | seconds | exchanges/s |")
print("|---|---|---|---|---|---|---|")
print(f"| 8 | {8 * count} | {total} | {sum(t.misdelivered for t in tallies)} | "
      f"{sum(len(t.failures) for t in tallies)} | {elapsed:.1f} | {total / elapsed:.0f} |")
print("\nLatency per exchange, milliseconds (one client alone unless said)\n")
print(f"| {'path':<34} | exchanges | median   | 95th     | 99th     |")
print("|---|---|---|---|---|")
print(row("direct on the port (kivocom)", direct))
for kind, tally in alone.items():
    print(row(f"through serve ({kind})", tally.seconds))
for kind in sc.CLIENTS:
    print(row(f"through serve, 8 at once ({kind})", [s for t in tallies if t.kind == kind for s in t.seconds]))
failures = [f for t in tallies + list(alone.values()) for f in t.failures]
if failures:
    print("\nfailures:", failures[:10])
