#!/usr/bin/python3
"""A throw-away FTP server for the uploader's tests and bench.

Serves one user on 127.0.0.1 from a given root folder, on a port the system
picks. Prints "PORT <n>" once it listens and "LOGIN <user>" for every session
that logs in, so a test can tell how many control connections a run opened.

With --tls-cert (and --tls-key) the server offers explicit TLS (AUTH TLS)
and requires it for the login and for every data connection.

Two behaviours the tests need are triggered by the stored file's name, so a
single server can serve every case of a test (not with TLS):
  - "slow" in the name: the upload is received at --slow-rate bytes/s, so a
    transfer lasts long enough to act while it runs;
  - "drop" in the name: after --drop-after bytes the server closes the data
    and the control connection, as a crashing or restarting server would.
"""

import argparse
import logging
import os
import sys
import time

from pyftpdlib.log import config_logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--slow-rate", type=int, default=4 * 1024 * 1024)
    parser.add_argument("--drop-after", type=int, default=64 * 1024)
    parser.add_argument("--readonly-dir", action="append", default=[],
                        help="a folder of the root where nothing may be stored or made")
    parser.add_argument("--tls-cert", default="", help="certificate chain (PEM): offer and require TLS")
    parser.add_argument("--tls-key", default="", help="private key of the certificate (PEM)")
    parser.add_argument("--verbose", action="store_true", help="log every command to stderr")
    args = parser.parse_args()
    config_logging(level=logging.DEBUG if args.verbose else logging.WARNING)

    slow_chunk = 16 * 1024

    class TestDTPHandler(DTPHandler):
        def enable_receiving(self, type, cmd):
            self.test_name = os.path.basename(getattr(self.file_obj, "name", ""))
            if "slow" in self.test_name:
                self.ac_in_buffer_size = slow_chunk
            super().enable_receiving(type, cmd)

        def handle_read(self):
            super().handle_read()
            name = getattr(self, "test_name", "")
            if "slow" in name:
                # Steady rather than bursty: one small chunk, then a pause.
                # The server serves one test at a time, so blocking is fine.
                time.sleep(slow_chunk / args.slow_rate)
            if "drop" in name and self.tot_bytes_received >= args.drop_after:
                # Closing the control channel closes the data channel with it.
                self.cmd_channel.close()

        # The I/O loop calls this alias, bound to the base class's method.
        handle_read_event = handle_read

    base_handler, dtp_handler = FTPHandler, TestDTPHandler
    if args.tls_cert:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

        class TestTlsDTPHandler(TLS_DTPHandler):
            # The data connection's handshake comes before the transfer
            # command (curl starts it at once); pyftpdlib would take the
            # early data for a dropped connection and close it.
            def readable(self):
                if self._ssl_accepting or self._ssl_want_read:
                    return True
                if not self.receive and not self._initialized:
                    return False
                return super().readable()

        base_handler, dtp_handler = TLS_FTPHandler, TestTlsDTPHandler

    class TestHandler(base_handler):
        # A test server must never stall a test run on an idle client.
        timeout = 120
        # Tests fail logins on purpose: answer at once.
        auth_failed_timeout = 0

        def on_login(self, username):
            print("LOGIN %s" % username, flush=True)

    TestHandler.dtp_handler = dtp_handler
    if args.tls_cert:
        TestHandler.certfile = args.tls_cert
        TestHandler.keyfile = args.tls_key or None
        TestHandler.tls_control_required = True
        TestHandler.tls_data_required = True

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    for name in args.readonly_dir:
        path = os.path.join(args.root, name)
        os.makedirs(path, exist_ok=True)
        authorizer.override_perm(args.user, path, perm="elr", recursive=True)
    TestHandler.authorizer = authorizer
    TestHandler.banner = "test server ready"

    server = FTPServer(("127.0.0.1", 0), TestHandler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    sys.exit(main())
