#!/usr/bin/env bash
# The update download's test in windows_tests.exe, under Wine, against three
# servers on 127.0.0.1 started here: HTTPS with a certificate for 127.0.0.1
# and localhost from a CA made for this run alone (the test trusts it in the
# Wine prefix only), HTTPS with a self-signed certificate nobody trusts, and
# plain HTTP.
# usage: test_update_download.sh BUILD_WINDOWS_DIR SOURCE_DIR
set -euo pipefail
tests=$1/tests/windows_tests.exe
tests=$(realpath "$tests")
work=$(mktemp -d)
server=""
trap '[[ -z $server ]] || kill "$server"; rm -rf "$work"' EXIT
cd "$work"
quiet() { "$@" > openssl.log 2>&1 || { cat openssl.log; exit 1; }; }
names=subjectAltName=IP:127.0.0.1,DNS:localhost
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=qte test CA"
quiet openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost
quiet openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile <(echo "$names") -out server.pem
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj /CN=localhost \
  -addext "$names"

# The files (exact.bin as the test builds it), then the servers on free
# ports, which the script writes to "ports" once they listen.
/usr/bin/python3 - <<'PY' > server.log 2>&1 &
import functools, http.server, os, ssl, threading
os.makedirs("www/folder")   # "folder" answers with a redirection to "folder/"
limit = 1 << 20
for name, data in [("exact.bin", bytes(i * 7 % 256 for i in range(1000))),
                   ("largest.bin", b"x" * limit), ("larger.bin", b"x" * (limit + 1))]:
    open("www/" + name, "wb").write(data)
ports = []
for certificate in ("server", "other", None):
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory="www")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    if certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate + ".pem", certificate + ".key")
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    ports.append(server.server_address[1])
open("ports.tmp", "w").write("%d %d %d\n" % tuple(ports))
os.rename("ports.tmp", "ports")
threading.Event().wait()
PY
server=$!
for _ in $(seq 100); do [[ -s ports ]] && break; sleep 0.1; done
read -r https untrusted http < ports || { cat server.log; exit 1; }

QTE_TEST_CA=$(openssl x509 -in ca.pem -outform DER | base64 -w0) QTE_TEST_HTTPS=https://localhost:$https/ \
QTE_TEST_UNTRUSTED=https://localhost:$untrusted/ QTE_TEST_HTTP=http://127.0.0.1:$http/ \
  WINEDEBUG=${WINEDEBUG:--all} "${QTE_WINE:-wine}" "$tests" --gtest_filter='update_download.*' 2>&1 | tee run.log
grep -q '^\[  PASSED  \] 1 test' run.log
