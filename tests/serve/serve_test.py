# SPDX-License-Identifier: MIT
"""`kivocom serve` with real clients over loopback: whole exchanges under load, a client killed
mid-exchange, the instrument unplugged mid-download, SIGTERM, refusals and the whole line."""
import os
import signal
import socket
import subprocess
import time
import unittest

import serve_clients as sc

PATHS = sc.Paths(os.environ["KIVOCOM_TOOL"], os.environ["KIVOCOM_SERVE_RACK"])
IAC, SB, SE, DO, WILL = 255, 250, 240, 253, 251


class ServeTestCase(unittest.TestCase):
    unplug = False
    server_options = ()

    def setUp(self):
        self.rack = sc.Rack(PATHS, self.unplug)
        self.server = sc.Server(PATHS, self.rack.device, *self.server_options)

    def tearDown(self):
        code = self.server.stop()
        self.rack.close()
        self.assertEqual(code, 0, "\n".join(self.server.log))
        self.assertFalse([line for line in self.server.log if "Sanitizer" in line or "runtime error" in line])

    def assertAllDelivered(self, tallies, count):
        for t in tallies:
            self.assertEqual(t.misdelivered, 0, f"{t.kind} on {t.port}: {t.failures[:3]}")
            self.assertEqual((t.replies, t.failures), (count, []), f"{t.kind} on {t.port}")


class WholeExchanges(ServeTestCase):
    def test_eight_mixed_clients_each_get_their_own_replies(self):
        self.assertAllDelivered(sc.load(self.server, 100), 100)

    def test_clients_on_one_switch_port_take_turns(self):
        tallies = [sc.Tally("pyserial", name) for name in "AAAB"]
        threads = [sc.threading.Thread(target=sc.run_client, args=(sc.pyserial_client, self.server, t.port, 50, t))
                   for t in tallies]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertAllDelivered(tallies, 50)

    def test_kivocom_tool_query_and_download_through_the_server(self):
        device = f"rfc2217://127.0.0.1:{self.server.port('C')}"
        query = subprocess.run([PATHS.tool, "query", "ID", "--device", device, "--baud", str(sc.BAUD)],
                               capture_output=True, text=True, timeout=20)
        self.assertEqual((query.returncode, query.stdout), (0, "C\n"))
        download = subprocess.run([PATHS.tool, "download", "DL", "--device", device, "--baud", str(sc.BAUD),
                                   "-n", "200", "--timeout", "1000"], capture_output=True, text=True, timeout=30)
        self.assertEqual(download.returncode, 0, download.stderr)
        self.assertEqual(len(download.stdout.split()), 200)

    def test_a_client_asking_other_settings_is_told_the_ones_in_force(self):
        device = f"rfc2217://127.0.0.1:{self.server.port('A')}"
        query = subprocess.run([PATHS.tool, "query", "ID", "--device", device, "--baud", "9600"],
                               capture_output=True, text=True, timeout=20)
        self.assertNotEqual(query.returncode, 0)
        self.assertTrue(self.server.logged("asked for the rate 9600; told the settings in force"))

    def test_the_whole_line_goes_to_one_client_until_it_leaves(self):
        alone = sc.raw_connection(self.server.whole_line())
        self.assertTrue(self.server.logged("holds the line"))
        alone.sendall(b"\x1b\x020C\r\rID\r")  # the client routes the switch itself
        self.assertEqual(read_line(alone), b"C\r\n")
        waiting = sc.raw_connection(self.server.port("A"))
        waiting.sendall(b"ID\r")
        waiting.settimeout(0.5)
        with self.assertRaises(socket.timeout):
            waiting.recv(10)
        alone.close()
        self.assertEqual(read_line(waiting), b"A\r\n")
        waiting.close()


class Faults(ServeTestCase):
    def test_a_client_killed_mid_download_leaves_the_line_consistent(self):
        killed = subprocess.Popen(["gensiot", "-i", "stdio(self)",
                                   f"telnet(rfc2217),tcp,127.0.0.1,{self.server.port('D')}"],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        killed.stdin.write(b"DL\r")
        killed.stdin.flush()
        self.assertTrue(killed.stdout.readline())  # the download is under way
        killed.kill()
        killed.wait()
        killed.stdin.close()
        killed.stdout.close()
        self.assertTrue(self.server.logged("on switch port D"))
        tally = sc.Tally("pyserial", "D")
        sc.pyserial_client(self.server, "D", 3, tally)  # no leftover download bytes, right port
        self.assertEqual((tally.replies, tally.failures), (3, []))
        self.assertTrue(self.server.logged("left"))

    def test_sigterm_closes_every_connection(self):
        idle = sc.raw_connection(self.server.port("A"))
        downloading = sc.raw_connection(self.server.port("B"))
        downloading.sendall(b"DL\r")
        downloading.recv(10)
        self.assertEqual(self.server.stop(), 0)
        for connection in (idle, downloading):
            _, closed = sc.read_until_closed(connection)
            self.assertTrue(closed)
        self.assertTrue(self.server.logged("the server stops"))


class Unplugged(ServeTestCase):
    unplug = True

    def test_every_waiting_client_gets_the_loss(self):
        downloading = sc.raw_connection(self.server.port("H"))
        downloading.sendall(b"DL\r")
        first = downloading.recv(100)  # under way: the others now wait for the line
        waiting = [sc.raw_connection(self.server.port(name)) for name in "ABC"]
        for connection in waiting:
            connection.sendall(b"ID\r")
        started = time.monotonic()
        data, closed = sc.read_until_closed(downloading)
        self.assertTrue(closed)
        self.assertTrue(0 < len(first + data) <= 500)
        for connection in waiting:
            self.assertEqual(sc.read_until_closed(connection), (b"", True))
        self.assertLess(time.monotonic() - started, 10)
        self.assertTrue(self.server.logged("lost the line"))


class Refusals(ServeTestCase):
    server_options = ("--max-clients", "3", "--max-command", "64")

    def test_limits_and_garbage_are_refused_without_harm(self):
        first, second = sc.raw_connection(self.server.port("A")), sc.raw_connection(self.server.port("B"))
        garbage = sc.raw_connection(self.server.port("C"))
        garbage.sendall(bytes([IAC, SB, 44]) + os.urandom(1000).replace(b"\xff", b"") + bytes([IAC, SE]) +
                        bytes([IAC, DO, 1, IAC, WILL, 1, IAC, DO, 99]) + b"X" * 100)
        self.assertEqual(sc.read_until_closed(garbage)[1], True)
        self.assertTrue(self.server.logged("a command longer than 64 bytes"))
        third, fourth = sc.raw_connection(self.server.port("D")), sc.raw_connection(self.server.port("E"))
        self.assertEqual(sc.read_until_closed(fourth), (b"", True))
        self.assertTrue(self.server.logged("3 clients already connected"))
        for connection, name in ((first, b"A"), (second, b"B"), (third, b"D")):
            connection.sendall(b"\rID\r")
            self.assertEqual(read_line(connection), name + b"\r\n")
            connection.close()


def read_line(connection):
    connection.settimeout(10)
    data = b""
    while not data.endswith(b"\n"):
        piece = connection.recv(100)
        if not piece:
            break
        data += piece
    return data


if __name__ == "__main__":
    unittest.main()
