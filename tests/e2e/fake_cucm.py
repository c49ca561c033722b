"""A fake call manager: the RisPort SOAP endpoint over HTTPS with a self-signed certificate.

It asks for Basic credentials first, as a call manager does, and then answers by the user
name of the request (see ANSWERS and CUT_SHORT), so that one run of the manager's code can
meet several answers. Every request is recorded."""

import base64
import http.server
import os
import socketserver
import ssl
import subprocess
import threading

RISPORT_PATH = "/realtimeservice/services/RisPort"


def make_certificate(directory, common_name):
    """A self-signed certificate and its key, made with openssl; returns (cert, key) paths."""
    cert = os.path.join(directory, "cucm.crt")
    key = os.path.join(directory, "cucm.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=%s" % common_name, "-keyout", key, "-out", cert],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)
    return cert, key


def element(name, value):
    return '<%s xsi:type="xsd:string">%s</%s>' % (name, value, name)


def device(name, address, number, description, with_address=True):
    parts = ['<item xsi:type="ns1:CmDevice">', element("Name", name), element("DirNumber", number),
             '<Class xsi:type="ns1:DeviceClass">Phone</Class>', element("Description", description)]
    if with_address:
        parts.append(element("IpAddress", address))
    parts.append('<Status xsi:type="ns1:CmDevRegStat">Registered</Status></item>')
    return "".join(parts)


def envelope(devices):
    """An answer with one node item that encloses the device items."""
    return ('<?xml version="1.0" encoding="UTF-8"?>'
            '<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/" '
            'xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><soapenv:Body>'
            '<ns1:SelectCmDeviceResponse xmlns:ns1="http://schemas.cisco.com/ast/soap/">'
            '<SelectCmDeviceResult xsi:type="ns1:SelectCmDeviceResult">'
            '<TotalDevicesFound xsi:type="xsd:unsignedInt">%d</TotalDevicesFound>'
            '<CmNodes><item xsi:type="ns1:CmNode"><ReturnCode xsi:type="ns1:RisReturnCode">Ok</ReturnCode>'
            '<Name xsi:type="xsd:string">cucm-pub</Name><CmDevices>%s</CmDevices></item></CmNodes>'
            '</SelectCmDeviceResult></ns1:SelectCmDeviceResponse></soapenv:Body></soapenv:Envelope>'
            % (len(devices), "".join(devices)))


THREE_PHONES = [("SEP00000000A001", "127.0.41.1", "4001", "Lobby"),
                ("SEP00000000A002", "127.0.41.2", "4002", "Front &amp; back office"),
                ("SEP00000000A003", "127.0.41.3", "4003", "Loading dock")]

# user name -> (HTTP status, body)
ANSWERS = {
    "three-phones": (200, envelope([device(*phone) for phone in THREE_PHONES])),
    "many-phones": (200, envelope([device("SEP0000%08d" % i, "127.0.42.%d" % (i % 250 + 1), "6%03d" % i,
                                          "Phone %d %s" % (i, "x" * 200)) for i in range(150)])),
    "missing-address": (200, envelope([device("SEP00000000B001", "", "5001", "No address", with_address=False),
                                       device("SEP00000000B002", "127.0.41.22", "5002", "Next")])),
    "no-phones": (200, envelope([]).replace('<item xsi:type="ns1:CmNode">', "<node>").replace("</item>", "</node>")),
    # A proxy between the manager and the call manager answers in its place.
    "proxy-page": (200, "<html><head><title>Proxy Error</title></head><body><h1>Proxy Error</h1>"
                        "<p>The gateway could not reach the server.</p></body></html>"),
}

# user name -> (announced answer, bytes of it sent before the connection drops: two whole
# devices and the start of the third)
CUT_SHORT = {
    "cut-short": (envelope([device(*phone) for phone in THREE_PHONES]), 1300),
}


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        authorization = self.headers.get("Authorization")
        user = None
        if authorization and authorization.startswith("Basic "):
            user = base64.b64decode(authorization[6:]).decode("latin-1")
        self.server.fake.record(self.requestline, list(self.headers.items()), body, user)

        if user is None:
            self._answer(401, b"", challenge=True)
            return
        name = user.split(":", 1)[0]
        if name in CUT_SHORT:
            text, sent = CUT_SHORT[name]
            body = text.encode("utf-8")
            self._answer(200, body[:sent], announced=len(body))
            return
        status, text = ANSWERS.get(name, (401, ""))
        self._answer(status, text.encode("utf-8"), challenge=(status == 401))

    def _answer(self, status, body, challenge=False, announced=None):
        self.send_response(status)
        if challenge:
            self.send_header("WWW-Authenticate", 'Basic realm="Cisco RisPort"')
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(body) if announced is None else announced))
        # Every answer ends its connection, so each request meets the certificate afresh;
        # one announced longer than it is drops halfway.
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class FakeCucm:
    """The fake on (address, port 0: any free port) with the given certificate."""

    def __init__(self, address, cert, key):
        self.requests = []
        self._lock = threading.Lock()
        self._server = _Server((address, 0), _Handler)
        self._server.fake = self
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        self._server.socket = context.wrap_socket(self._server.socket, server_side=True)
        self.address, self.port = self._server.server_address[:2]
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)

    def record(self, requestline, headers, body, user):
        with self._lock:
            self.requests.append({"requestline": requestline, "headers": headers, "body": body, "user": user})

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join(timeout=10)
