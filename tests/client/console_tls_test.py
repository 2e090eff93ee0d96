#!/usr/bin/env python3
"""The console served to other machines: HTTPS with a configured token.

Against the stand-in screen (console_fixture), with a throwaway self-signed
certificate that openssl makes here: quib console refuses a non-loopback
address without TLS or without a token; with both it serves the page over
HTTPS only (a plain HTTP request gets no answer), refuses the event stream
and actions without the right token (401) and actions from another origin
or site (403), and an action with the token from its own origin answers a
box of the screen. Exit 77 (skipped) where openssl is missing."""

import argparse
import http.client
import json
import os
import re
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import urllib.parse

WAIT = 20
TOKEN = "t0ken-for-the-tls-test-5c1e"


def fail(msg):
    print("FAIL: " + msg, file=sys.stderr)
    sys.exit(1)


def make_certificate(work):
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "1", "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"],
                   check=True, capture_output=True, timeout=60)
    return cert, key


def refused_to_start(args, env, extra, why):
    p = subprocess.run([args.quib, "console", "--listen", "0.0.0.0:0", "--socket", args.socket] + extra,
                       env=env, capture_output=True, text=True, timeout=WAIT)
    if p.returncode == 0 or "TLS" not in p.stderr:
        fail("quib console started on 0.0.0.0 %s (exit %d): %r" % (why, p.returncode, p.stderr))


class Client:
    """HTTPS requests to the console, trusting only the throwaway certificate."""

    def __init__(self, port, cert):
        self.port = port
        self.ctx = ssl.create_default_context(cafile=cert)
        self.origin = "https://127.0.0.1:%d" % port

    def request(self, method, path, headers=None, body=None, read=True):
        c = http.client.HTTPSConnection("127.0.0.1", self.port, context=self.ctx, timeout=WAIT)
        c.request(method, path, body=body, headers=headers or {})
        r = c.getresponse()
        if not read:
            return c, r
        data = r.read().decode("utf-8", "replace")
        c.close()
        return r.status, r.headers, data

    def act(self, form, token=TOKEN, origin=None, site="same-origin"):
        headers = {"Content-Type": "application/x-www-form-urlencoded", "Origin": origin or self.origin,
                   "Sec-Fetch-Site": site}
        if token is not None:
            headers["X-Console-Token"] = token
        return self.request("POST", "/act", headers, urllib.parse.urlencode(form))

    def state_where(self, what, cond):
        """Reads the event stream (with the token) until a state satisfies
        `cond`; the stream's first state is the current one, each later one
        a change."""
        c, r = self.request("GET", "/events", {"X-Console-Token": TOKEN}, read=False)
        if r.status != 200 or not r.getheader("Content-Type", "").startswith("text/event-stream"):
            fail("the event stream with the token answered %d %s" % (r.status, r.getheader("Content-Type")))
        try:
            event, data = None, ""
            while True:
                line = r.fp.readline().decode("utf-8")
                if not line:
                    fail("the event stream ended before %s" % what)
                line = line.rstrip("\r\n")
                if line.startswith("event:"):
                    event = line[len("event:"):].strip()
                elif line.startswith("data:"):
                    data += line[len("data:"):].strip()
                elif not line:
                    if event == "state" and data and cond(json.loads(data)):
                        return json.loads(data)
                    event, data = None, ""
        except TimeoutError:
            fail("no state with %s came within %d s" % (what, WAIT))
        finally:
            c.close()


def check(args, work):
    env = os.environ.copy()
    for k in ("RVZ_TOKEN", "RVZ_TLS_CERT", "RVZ_TLS_KEY"):
        env.pop(k, None)
    cert, key = make_certificate(work)

    refused_to_start(args, env, [], "without TLS or a token")
    refused_to_start(args, dict(env, RVZ_TLS_CERT=cert, RVZ_TLS_KEY=key), [], "with TLS but without a token")
    refused_to_start(args, env, ["--token", TOKEN], "with a token but without TLS")

    console = subprocess.Popen([args.quib, "console", "--listen", "0.0.0.0:0", "--socket", args.socket,
                                "--token", TOKEN], env=dict(env, RVZ_TLS_CERT=cert, RVZ_TLS_KEY=key),
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        line = console.stdout.readline()
        m = re.search(r"https://\S+:(\d+)/(\S*)", line)
        if not m:
            fail("quib console printed no https address: %r %s" % (line, console.stderr.read()))
        if TOKEN in line or "#token" in line:
            fail("the printed address carries the configured token: %r" % line)
        port = int(m.group(1))
        client = Client(port, cert)

        # Plain HTTP gets no page.
        try:
            c = http.client.HTTPConnection("127.0.0.1", port, timeout=WAIT)
            c.request("GET", "/")
            status = c.getresponse().status
            fail("a plain HTTP request was answered %d" % status)
        except (http.client.HTTPException, ConnectionError, OSError):
            pass

        status, headers, page = client.request("GET", "/")
        if status != 200 or "<html" not in page.lower():
            fail("the page over HTTPS answered %d: %r" % (status, page[:200]))
        if "default-src" not in (headers.get("Content-Security-Policy") or ""):
            fail("the page has no content security policy: %s" % dict(headers))
        if TOKEN in page:
            fail("the page holds the token")

        for token in (None, "wrong-" + TOKEN):
            h = {} if token is None else {"X-Console-Token": token}
            status, _, _ = client.request("GET", "/events", h)
            if status != 401:
                fail("the event stream with token %r answered %d, not 401" % (token, status))
        status, _, body = client.act({"command": "click", "target": "btnCancel", "window": "dlgLinkConfig"}, token=None)
        if status != 401:
            fail("an action without the token answered %d: %s" % (status, body))
        status, _, body = client.act({"command": "click", "target": "btnCancel", "window": "dlgLinkConfig"},
                                     origin="https://elsewhere.example")
        if status != 403:
            fail("an action from another origin answered %d: %s" % (status, body))
        status, _, body = client.act({"command": "click", "target": "btnCancel", "window": "dlgLinkConfig"},
                                     site="cross-site")
        if status != 403:
            fail("an action from another site answered %d: %s" % (status, body))

        def error_boxes(state):
            return [b for b in state.get("boxes", []) if b.get("caption") == "Qorvane进销存服务器"]

        state = client.state_where("the error box", lambda s: len(error_boxes(s)) == 1)
        status, _, body = client.act({"command": "answer", "target": "OK", "window": "#%s" % error_boxes(state)[0]["id"]})
        if status != 200 or not json.loads(body).get("ok"):
            fail("answering the error box with the token from the own origin answered %d: %s" % (status, body))
        client.state_where("the error box closed", lambda s: not error_boxes(s) and s.get("connected", True))
    finally:
        console.send_signal(signal.SIGTERM)
        try:
            code = console.wait(WAIT)
        except subprocess.TimeoutExpired:
            console.kill()
            fail("quib console did not end on SIGTERM")
    if code != 0:
        fail("quib console ended with %d: %s" % (code, console.stderr.read()))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--quib", required=True)
    ap.add_argument("--fixture", required=True)
    args = ap.parse_args()
    if not shutil.which("openssl"):
        print("skipped: openssl is not installed")
        return 77
    work = tempfile.mkdtemp(prefix="rvz_console_tls_")
    fixture = None
    try:
        home = os.path.join(work, "fixture")
        os.makedirs(home)
        fixture = subprocess.Popen([args.fixture, home, os.path.join(work, "result.txt")],
                                   stdout=subprocess.PIPE, text=True)
        if fixture.stdout.readline().strip() != "ready":
            fail("the stand-in screen did not start")
        args.socket = os.path.join(home, ".screen.sock")
        check(args, work)
    finally:
        if fixture:
            fixture.send_signal(signal.SIGTERM)
            fixture.wait(WAIT)
        shutil.rmtree(work, ignore_errors=True)
    print("console TLS test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
