#!/usr/bin/python3
"""TLS for the HTTPS tests, on loopback only.

    tls_server.py make FOLDER
        writes a test authority (ca.pem) and server certificates signed by
        it, each KIND.pem with KIND.key and its fingerprint KIND.sha256: "good" (for 127.0.0.1 and
        localhost), "wrong-name" (for anderer.example only), "expired" (ended
        in 2020); and "self-signed" (its own issuer, for 127.0.0.1).
    tls_server.py serve PORT BACKEND_PORT CERT KEY
        accepts TLS on 127.0.0.1:PORT and passes each connection's bytes on
        to 127.0.0.1:BACKEND_PORT (a plain HTTP server) and back.
"""
import datetime
import ipaddress
import os
import socket
import ssl
import sys
import threading

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID


def write(folder, name, certificate, key):
    with open(os.path.join(folder, name + ".pem"), "wb") as out:
        out.write(certificate.public_bytes(serialization.Encoding.PEM))
    # The SHA-256 fingerprint as a browser shows it, for the tests to compare.
    with open(os.path.join(folder, name + ".sha256"), "w") as out:
        out.write(":".join("%02X" % b for b in certificate.fingerprint(hashes.SHA256())))
    with open(os.path.join(folder, name + ".key"), "wb") as out:
        out.write(key.private_bytes(serialization.Encoding.PEM,
                                    serialization.PrivateFormat.TraditionalOpenSSL,
                                    serialization.NoEncryption()))


def certificate(subject, key, issuer, issuer_key, names, start, end, authority=False):
    builder = (x509.CertificateBuilder()
               .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, subject)]))
               .issuer_name(issuer)
               .public_key(key.public_key())
               .serial_number(x509.random_serial_number())
               .not_valid_before(start)
               .not_valid_after(end)
               .add_extension(x509.BasicConstraints(ca=authority, path_length=None),
                              critical=True))
    if names:
        builder = builder.add_extension(x509.SubjectAlternativeName(names), critical=False)
    return builder.sign(issuer_key, hashes.SHA256())


def make(folder):
    now = datetime.datetime.now(datetime.timezone.utc)
    year = datetime.timedelta(days=365)
    loopback = [x509.IPAddress(ipaddress.ip_address("127.0.0.1")), x509.DNSName("localhost")]
    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Tunrax Test-Zertifizierung")])
    ca = certificate("Tunrax Test-Zertifizierung", ca_key, ca_name, ca_key, None,
                     now - year, now + year, authority=True)
    write(folder, "ca", ca, ca_key)
    kinds = {
        "good": (loopback, now - year, now + year),
        "wrong-name": ([x509.DNSName("anderer.example")], now - year, now + year),
        "expired": (loopback, datetime.datetime(2020, 1, 1, tzinfo=datetime.timezone.utc),
                    datetime.datetime(2020, 1, 2, tzinfo=datetime.timezone.utc)),
    }
    for kind, (names, start, end) in kinds.items():
        key = ec.generate_private_key(ec.SECP256R1())
        write(folder, kind, certificate(kind, key, ca_name, ca_key, names, start, end), key)
    key = ec.generate_private_key(ec.SECP256R1())
    own = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "self-signed")])
    write(folder, "self-signed",
          certificate("self-signed", key, own, key, loopback, now - year, now + year), key)


def pump(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    finally:
        for end in (source, target):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def serve(port, backend, cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listener = socket.create_server(("127.0.0.1", port))
    while True:
        client, _ = listener.accept()

        def handle(client=client):
            try:
                secure = context.wrap_socket(client, server_side=True)
            except (ssl.SSLError, OSError):
                client.close()
                return
            plain = socket.create_connection(("127.0.0.1", backend))
            threading.Thread(target=pump, args=(plain, secure), daemon=True).start()
            pump(secure, plain)
        threading.Thread(target=handle, daemon=True).start()


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        serve(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5])
