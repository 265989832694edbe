"""SMTP server for the tests: keeps every message it accepts in a spool folder.

Each message becomes <n>.eml (the bytes as received) and <n>.json (envelope sender, recipients,
the user that logged in), both written to a temporary name first so readers never see half a
message. Any recipient at refused.invalid is refused with 550, so the refusal path runs against
a real server. AUTH PLAIN/LOGIN are offered without TLS and accept one user and password; sending
without logging in is allowed too. With --tls-port a second server on that port requires
STARTTLS with the given certificate before anything else.
"""
import argparse
import json
import os
import signal
import ssl
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Spool:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().endswith("@refused.invalid"):
            return "550 5.1.1 Recipient refused: " + address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            n = self.count
        base = os.path.join(self.folder, "%06d" % n)
        login = getattr(session.auth_data, "login", None)
        user = login.decode() if isinstance(login, bytes) else None
        meta = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos, "login": user}
        for ext, data in ((".eml", envelope.original_content),
                          (".json", json.dumps(meta).encode())):
            with open(base + ext + ".tmp", "wb") as f:
                f.write(data)
            os.rename(base + ext + ".tmp", base + ext)
        return "250 Message accepted"


def main():
    # aiosmtpd warns about its own use of a deprecated session field on every login.
    warnings.simplefilter("ignore", DeprecationWarning)
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--spool", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--tls-port", type=int)
    p.add_argument("--cert")
    p.add_argument("--key")
    a = p.parse_args()

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (auth_data.login == a.user.encode() and auth_data.password == a.password.encode())
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    spool = Spool(a.spool)
    controller = Controller(spool, hostname="127.0.0.1", port=a.port,
                            authenticator=authenticate, auth_require_tls=False,
                            auth_required=False)
    controllers = [controller]
    if a.tls_port:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(a.cert, a.key)
        controllers.insert(0, Controller(spool, hostname="127.0.0.1", port=a.tls_port,
                                         tls_context=context, require_starttls=True))
    # The plain server last: once it answers, every server is up.
    for c in controllers:
        c.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    for c in controllers:
        c.stop()


if __name__ == "__main__":
    main()
