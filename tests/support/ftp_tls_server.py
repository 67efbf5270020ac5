#!/usr/bin/python3
"""FTP with explicit TLS on loopback, for the tests and benchmarks.

    ftp_tls_server.py PORT ROOT CERT KEY [prot=refuse]

pyftpdlib serving ROOT on 127.0.0.1:PORT to "schreiber" (password "geheim",
may write) and "leser" (empty password, may only read). TLS is required on
the control connection before USER and PASS and on every data connection
(PROT P). A data connection must resume the control connection's TLS
session, as vsftpd and proftpd demand: one that does not is logged as
"data connection without the control session" and closed. Every command
shows on stderr as "<- COMMAND". With prot=refuse, PROT P is refused (521)
and the data would go in clear text.
"""
import logging
import sys

from OpenSSL import SSL
from OpenSSL._util import lib
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


class DataHandler(TLS_DTPHandler):
    # pyftpdlib closes a data connection that has something to read before
    # the transfer command came, so a client that starts TLS at once (curl)
    # would never get its handshake; here it does.
    def readable(self):
        if self._ssl_accepting:
            return True
        if self._ssl_established and not self._initialized and not self.receive:
            return False
        return super().readable()

    # A data connection dropped before its command (the client's own after a
    # refusal) goes as pyftpdlib drops it without TLS: without a reply that
    # would answer the client's next command.
    def handle_close(self):
        if not self._initialized and not self.receive:
            self.close()
        else:
            super().handle_close()

    def handle_ssl_established(self):
        if not lib.SSL_session_reused(self.socket._ssl):
            self.cmd_channel.log("data connection without the control session")
            self.close()


class ControlHandler(TLS_FTPHandler):
    def ftp_PROT(self, line):
        if "prot=refuse" in sys.argv[5:]:
            self.respond("521 PROT P nicht möglich")
        else:
            super().ftp_PROT(line)


port, root, cert, key = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
logging.basicConfig(level=logging.DEBUG)
authorizer = DummyAuthorizer()
authorizer.add_user("schreiber", "geheim", root, perm="elradfmwMT")
authorizer.add_user("leser", "", root, perm="elr")
context = SSL.Context(SSL.TLS_SERVER_METHOD)
context.use_certificate_chain_file(cert)
context.use_privatekey_file(key)
context.set_options(SSL.OP_NO_COMPRESSION)
context.set_session_id(b"tunrax-ftp")
ControlHandler.ssl_context = context
ControlHandler.authorizer = authorizer
ControlHandler.dtp_handler = DataHandler
ControlHandler.tls_control_required = True
ControlHandler.tls_data_required = True
ControlHandler.auth_failed_timeout = 0
FTPServer(("127.0.0.1", port), ControlHandler).serve_forever()
