#!/bin/sh
# Regenerates the self-signed certificate the network tests serve (CN=localhost,
# also valid for 127.0.0.1, RSA 2048, 30 years). The committed pair is what the
# tests use; run this only when it has to be replaced:
#
#   openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 10950 \
#       -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
#       -keyout test-key.pem -out test-cert.pem
set -eu
cd "$(dirname "$0")"
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 10950 \
    -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
    -keyout test-key.pem -out test-cert.pem
