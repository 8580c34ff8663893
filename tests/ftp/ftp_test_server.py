#!/usr/bin/python3
"""A throw-away FTP server for the uploader's tests and bench.

Serves one user on 127.0.0.1 from a given root folder, on a port the system
picks. Prints "PORT <n>" once it listens and "LOGIN <user>" for every session
that logs in, so a test can tell how many control connections a run opened.

Two behaviours the tests need are triggered by the stored file's name, so a
single server can serve every case of a test:
  - "slow" in the name: the upload is received at --slow-rate bytes/s, so a
    transfer lasts long enough to act while it runs;
  - "drop" in the name: after --drop-after bytes the server closes the data
    and the control connection, as a crashing or restarting server would.
"""

import argparse
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--slow-rate", type=int, default=4 * 1024 * 1024)
    parser.add_argument("--drop-after", type=int, default=64 * 1024)
    args = parser.parse_args()

    class TestDTPHandler(ThrottledDTPHandler):
        def enable_receiving(self, type, cmd):
            name = os.path.basename(getattr(self.file_obj, "name", ""))
            self.test_name = name
            if "slow" in name:
                self.read_limit = args.slow_rate
            super().enable_receiving(type, cmd)

        def handle_read(self):
            super().handle_read()
            if "drop" in getattr(self, "test_name", "") and self.tot_bytes_received >= args.drop_after:
                # Closing the control channel closes the data channel with it.
                self.cmd_channel.close()

    class TestHandler(FTPHandler):
        dtp_handler = TestDTPHandler
        # A test server must never stall a test run on an idle client.
        timeout = 120

        def on_login(self, username):
            print("LOGIN %s" % username, flush=True)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    TestHandler.authorizer = authorizer
    TestHandler.banner = "test server ready"

    server = FTPServer(("127.0.0.1", 0), TestHandler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    # pyftpdlib logs every command to stderr; keep it for failures only.
    sys.exit(main())
