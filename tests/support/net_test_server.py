#!/usr/bin/python3
"""Servers for the download tests, all on 127.0.0.1 at ports the kernel picks.

    net_test_server.py DIR

Serves the files of DIR/www by http and https (a certificate for 127.0.0.1 signed by a CA made here
with openssl: DIR/ca.pem), by ftp (user "ann", password "secret", or anonymous), and runs a forward
http proxy that wants "proxy:pass". Prints one line "http https proxy ftp" of ports once all listen,
and stops by itself when its standard input closes (the test is gone) or after ten minutes.

Behaviour by path, NAME a file of DIR/www:
    /NAME                  the file, its type by extension ("?type=T" names another)
    /auth/NAME             the file for Basic "ann:secret" only, else 401
    /drip/NAME             the file in 64-byte pieces, 10 ms apart
    /stall/NAME            half of the file, then silence for a minute
    /truncated/NAME        Content-Length of the whole, half sent, connection closed
    /huge                  Content-Length of 1 TiB, a few bytes, then silence
    /endless               chunked zeros without end
    /loop                  a redirect to itself
    /redirect/N/NAME       N redirects, then the file
    /tofile                a redirect to file:///etc/hostname
    /notfound/NAME         status 404 with the file as its body
"""
import base64
import http.client
import http.server
import os
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

ROOT = os.path.abspath(sys.argv[1])
WWW = os.path.join(ROOT, "www")
TYPES = {".png": "image/png", ".bmp": "image/bmp", ".jpg": "image/jpeg", ".gif": "image/gif",
         ".html": "text/html", ".txt": "text/plain"}


def basic(user, password):
    return "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def read_file(self, name):
        path = os.path.normpath(os.path.join(WWW, name))
        if not path.startswith(WWW + os.sep) or not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def send_body(self, status, data, ctype, length=None):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data) if length is None else length))
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        try:
            self.serve()
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass

    def serve(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        parts = url.path.lstrip("/").split("/")
        kind = parts[0]
        if kind == "loop":
            return self.redirect("/loop")
        if kind == "tofile":
            return self.redirect("file:///etc/hostname")
        if kind == "redirect":
            n = int(parts[1])
            rest = "/".join(parts[2:])
            return self.redirect(f"/redirect/{n - 1}/{rest}" if n > 1 else "/" + rest)
        if kind == "huge":
            self.send_response(200)
            self.send_header("Content-Type", "image/png")
            self.send_header("Content-Length", str(1 << 40))
            self.end_headers()
            self.wfile.write(b"\x89PNG\r\n\x1a\n")
            self.wfile.flush()
            time.sleep(60)
            return
        if kind == "endless":
            self.send_response(200)
            self.send_header("Content-Type", "image/bmp")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            chunk = b"\0" * 65536
            while True:
                self.wfile.write(b"%x\r\n" % len(chunk) + chunk + b"\r\n")
        special = kind in ("auth", "drip", "stall", "truncated", "notfound")
        name = "/".join(parts[1:] if special else parts)
        data = self.read_file(name)
        if data is None:
            return self.send_body(404, b"no such file", "text/plain")
        ctype = query.get("type", [TYPES.get(os.path.splitext(name)[1], "application/octet-stream")])[0]
        if kind == "auth" and self.headers.get("Authorization") != basic("ann", "secret"):
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="test"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if kind == "notfound":
            return self.send_body(404, data, ctype)
        if kind == "drip":
            self.send_response(200)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            for i in range(0, len(data), 64):
                self.wfile.write(data[i:i + 64])
                self.wfile.flush()
                time.sleep(0.01)
            return
        if kind in ("stall", "truncated"):
            self.send_body(200, data[:len(data) // 2], ctype, length=len(data))
            if kind == "stall":
                time.sleep(60)
            self.close_connection = True
            return
        self.send_body(200, data, ctype)


class ProxyHandler(http.server.BaseHTTPRequestHandler):
    """A forward proxy for http addresses that wants credentials of its own and passes the
    server's Authorization on."""
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.headers.get("Proxy-Authorization") != basic("proxy", "pass"):
            self.send_response(407)
            self.send_header("Proxy-Authenticate", 'Basic realm="proxy"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        url = urllib.parse.urlsplit(self.path)
        conn = http.client.HTTPConnection(url.hostname, url.port or 80, timeout=30)
        headers = {"X-Through-Proxy": "1"}
        if self.headers.get("Authorization"):
            headers["Authorization"] = self.headers["Authorization"]
        conn.request("GET", url.path + ("?" + url.query if url.query else ""), headers=headers)
        answer = conn.getresponse()
        body = answer.read()
        self.send_response(answer.status)
        for key in ("Content-Type", "Location", "WWW-Authenticate"):
            if answer.getheader(key):
                self.send_header(key, answer.getheader(key))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def make_certificates():
    def run(*args):
        subprocess.run(["openssl", *args], check=True, cwd=ROOT, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Brimvale test CA",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
    run("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(ROOT, "server.ext"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-out", "server.pem", "-days", "2", "-extfile", "server.ext")


def serve_forever(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()


def main():
    os.makedirs(WWW, exist_ok=True)
    make_certificates()
    http_server = Server(("127.0.0.1", 0), Handler)
    https_server = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(ROOT, "server.pem"), os.path.join(ROOT, "server.key"))
    https_server.socket = context.wrap_socket(https_server.socket, server_side=True)
    proxy_server = Server(("127.0.0.1", 0), ProxyHandler)

    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import ThreadedFTPServer
    import logging
    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user("ann", "secret", WWW, perm="elr")
    authorizer.add_anonymous(WWW)
    FTPHandler.authorizer = authorizer
    FTPHandler.masquerade_address = "127.0.0.1"
    FTPHandler.banner = "test"
    ftp_server = ThreadedFTPServer(("127.0.0.1", 0), FTPHandler)

    for server in (http_server, https_server, proxy_server):
        serve_forever(server)
    threading.Thread(target=ftp_server.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()
    print(http_server.server_address[1], https_server.server_address[1], proxy_server.server_address[1],
          ftp_server.address[1], flush=True)
    # Stops when the test lets go of standard input, or after ten minutes at most.
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    time.sleep(600)
    os._exit(0)


if __name__ == "__main__":
    main()
