#!/usr/bin/env python3
"""The library's RSA keys against the openssl command line, both ways.

  rsa_openssl_interop.py RSA_TOOL

For keys of 1024, 2048 and 4096 bits that openssl makes: what the library
signs (SHA-1, SHA-256, SHA-512) verifies with `openssl dgst -verify` and
equals openssl's own signature (PKCS #1 version 1.5 signatures are
deterministic); what openssl signs verifies through the library, and fails
once a byte of the data or the signature changes; what the library encrypts
openssl's `pkeyutl -decrypt` reads back, and the other way round. Ends with
"N passed, N failed"."""
import os
import re
import subprocess
import sys
import tempfile

passed = 0
failed = 0


def check(ok, message):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAILED: " + message)


def run(*args, **kwargs):
    return subprocess.run(list(args), capture_output=True, **kwargs)


def components(key):
    text = run("openssl", "rsa", "-in", key, "-text", "-noout", check=True).stdout.decode()
    def block(name):
        match = re.search(name + r":\s*\n((?:\s+[0-9a-f:]+\n)+)", text)
        return match.group(1).replace(":", "").replace(" ", "").replace("\n", "")
    exponent = re.search(r"publicExponent: (\d+)", text).group(1)
    return block("modulus"), "%x" % int(exponent), block("privateExponent")


def main():
    tool = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        def path(name):
            return os.path.join(work, name)
        data = path("data.bin")
        body = os.urandom(3000) + b"the signed text"
        with open(data, "wb") as f:
            f.write(body)
        with open(data + ".changed", "wb") as f:
            f.write(body[:-1] + b"T")
        for bits in (1024, 2048, 4096):
            key = path("key%d.pem" % bits)
            public = path("public%d.pem" % bits)
            run("openssl", "genrsa", "-out", key, str(bits), check=True)
            run("openssl", "rsa", "-in", key, "-pubout", "-out", public, check=True)
            keydir = path("k%d" % bits)
            os.mkdir(keydir)
            for name, value in zip(("n", "e", "d"), components(key)):
                with open(os.path.join(keydir, name + ".hex"), "w") as f:
                    f.write(value)
            for digest in ("sha1", "sha256", "sha512"):
                label = "%d %s" % (bits, digest)
                ours = path("ours.sig")
                theirs = path("theirs.sig")
                check(run(tool, keydir, "sign", digest, data, ours).returncode == 0, label + ": sign")
                verified = run("openssl", "dgst", "-" + digest, "-verify", public, "-signature", ours, data)
                check(verified.returncode == 0, label + ": openssl refuses the library's signature")
                run("openssl", "dgst", "-" + digest, "-sign", key, "-out", theirs, data, check=True)
                with open(ours, "rb") as a, open(theirs, "rb") as b:
                    check(a.read() == b.read(), label + ": the signatures differ")
                check(run(tool, keydir, "verify", digest, data, theirs).returncode == 0,
                      label + ": the library refuses openssl's signature")
                with open(theirs, "rb") as f:
                    signature = bytearray(f.read())
                signature[len(signature) // 2] ^= 0x01
                with open(theirs, "wb") as f:
                    f.write(signature)
                # A changed signature no longer decodes (refused with a
                # failure); changed data decodes to another digest
                # (RYL_W_SIGNATURE_MISMATCH, exit 3).
                check(run(tool, keydir, "verify", digest, data, theirs).returncode not in (0, 2),
                      label + ": a changed signature still verifies")
                check(run(tool, keydir, "verify", digest, data + ".changed", ours).returncode == 3,
                      label + ": a signature verifies over changed data")
            message = path("message.bin")
            with open(message, "wb") as f:
                f.write(os.urandom(bits // 8 - 11))
            sealed = path("sealed.bin")
            opened = path("opened.bin")
            check(run(tool, keydir, "encrypt", message, sealed).returncode == 0, "%d: encrypt" % bits)
            decrypted = run("openssl", "pkeyutl", "-decrypt", "-inkey", key, "-in", sealed, "-out", opened)
            with open(message, "rb") as a, open(opened, "rb") as b:
                check(decrypted.returncode == 0 and a.read() == b.read(),
                      "%d: openssl cannot read what the library encrypted" % bits)
            run("openssl", "pkeyutl", "-encrypt", "-pubin", "-inkey", public, "-in", message, "-out", sealed,
                check=True)
            check(run(tool, keydir, "decrypt", sealed, opened).returncode == 0, "%d: decrypt" % bits)
            with open(message, "rb") as a, open(opened, "rb") as b:
                check(a.read() == b.read(), "%d: the library cannot read what openssl encrypted" % bits)
    print("rsa_openssl_interop: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
