#!/bin/sh
# Regenerates a self-signed certificate the network tests serve (CN=localhost,
# also valid for 127.0.0.1, RSA 2048, 30 years). The committed pairs are what
# the tests use; run this only when one has to be replaced:
#
#   make-test-cert.sh            test-cert.pem, test-key.pem: the portal's own
#   make-test-cert.sh second     second-cert.pem, second-key.pem: the same
#                                portal after its certificate was replaced
#   make-test-cert.sh impostor   impostor-cert.pem, impostor-key.pem: someone
#                                else answering on the portal's address
set -eu
cd "$(dirname "$0")"
name=${1:-test}
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 10950 \
    -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
    -keyout "$name-key.pem" -out "$name-cert.pem"
