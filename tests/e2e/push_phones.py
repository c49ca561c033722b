"""Fake phones for the broadcast tests and the fan-out benchmark: push recorders that note
every header and the moment each push arrived, and phones that accept a push and never
answer it."""

import http.server
import socket
import socketserver
import threading
import time

# What a phone answers a push it carried out.
PHONE_ANSWER = (b'<?xml version="1.0" encoding="utf-8"?>\n<CiscoIPPhoneResponse>'
                b'<ResponseItem Status="0" Data="Success" URL=""/></CiscoIPPhoneResponse>')


class Push:
    """One push as a phone received it."""

    def __init__(self, requestline, headers, body, arrived):
        self.requestline = requestline
        self.headers = headers
        self.body = body
        self.arrived = arrived

    def __repr__(self):
        return "Push(%r, %r)" % (self.requestline, self.body)


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


class RecordingPhones:
    """HTTP listeners on port 80 of the given loopback addresses; each records its pushes in
    arrival order and answers with the phones' success object. The phones in
    hang_up_on_text record their text objects and hang up without an answer; a phone made
    slow with answer_slowly() answers each push only after its delay."""

    def __init__(self, addresses, port=80, poll_interval=0.05, hang_up_on_text=()):
        self.pushes = {a: [] for a in addresses}
        self._delays = {}
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._servers = []
        phones = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                body = self.rfile.read(length)
                arrived = time.monotonic()
                # The delay of the moment the push arrived, which a test may change once it
                # sees the push.
                delay = phones._delays.get(self.server.server_address[0], 0)
                with phones._changed:
                    phones.pushes[self.server.server_address[0]].append(
                        Push(self.requestline, dict(self.headers.items()), body, arrived))
                    phones._changed.notify_all()
                if self.server.server_address[0] in hang_up_on_text and b"<CiscoIPPhoneText>" in body:
                    self.close_connection = True
                    return
                if delay:
                    time.sleep(delay)
                try:
                    self.send_response(200)
                    self.send_header("Content-Type", "text/xml")
                    self.send_header("Content-Length", str(len(PHONE_ANSWER)))
                    self.end_headers()
                    self.wfile.write(PHONE_ANSWER)
                except (BrokenPipeError, ConnectionResetError):
                    # The service went away (a test ended) before the answer: nothing to tell.
                    self.close_connection = True

            def log_message(self, *args):
                pass

        try:
            for a in addresses:
                server = _Server((a, port), Handler)
                self._servers.append(server)
                threading.Thread(target=server.serve_forever, kwargs={"poll_interval": poll_interval}, daemon=True).start()
        except Exception:
            self.close()
            raise

    def answer_slowly(self, address, seconds):
        """The phone at address answers each push that arrives from now on `seconds` after it
        arrived."""
        with self._lock:
            self._delays[address] = seconds

    def bodies(self, address):
        with self._lock:
            return [p.body for p in self.pushes[address]]

    def received(self, address):
        with self._lock:
            return list(self.pushes[address])

    def forget(self, address):
        with self._lock:
            self.pushes[address] = []

    def wait_until(self, predicate, timeout=20.0):
        """Waits until predicate(pushes by address) holds; returns whether it did."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while not predicate(self.pushes):
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self._changed.wait(left)
            return True

    def wait_for_count(self, address, count, timeout=20.0):
        if not self.wait_until(lambda pushes: len(pushes[address]) >= count, timeout):
            raise AssertionError("%s received %d pushes, expected %d: %r"
                                 % (address, len(self.bodies(address)), count, self.bodies(address)))
        return self.bodies(address)

    def close(self):
        for s in self._servers:
            s.shutdown()
            s.server_close()
        self._servers = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class SilentPhone:
    """Accepts every connection on port 80 of its address, reads what comes and never
    answers, until closed."""

    def __init__(self, address, port=80):
        self.connections = []
        self._lock = threading.Lock()
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((address, port))
        self._listener.listen(16)
        self._listener.settimeout(0.1)
        self._closed = threading.Event()
        self._thread = threading.Thread(target=self._accept, daemon=True)
        self._thread.start()

    def _accept(self):
        while not self._closed.is_set():
            try:
                conn, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with self._lock:
                self.connections.append(conn)

    def accepted(self):
        with self._lock:
            return len(self.connections)

    def close(self):
        self._closed.set()
        self._thread.join(timeout=5)
        self._listener.close()
        with self._lock:
            for c in self.connections:
                c.close()
            self.connections = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
