#!/usr/bin/env python3
"""Builds the signed packages QuorvelContextMenu-<version>[-arm64].msix, one
per processor architecture, from one template and with one certificate.

    make_package.py --template AppxManifest.xml.in --version V --clsid GUID
                    --work DIR --out x64=OUT.msix [--out arm64=OUT-arm64.msix]
                    --nsh OUT.nsh --cer OUT.cer

Signs with the release certificate where one is given, otherwise with a
development certificate made here with openssl (kept in DIR, made once):

    QUORVEL_SIGNING_PFX        the release certificate and its key (.pfx)
    QUORVEL_SIGNING_PASSWORD   its password (read from the environment only)
    QUORVEL_PACKAGE_PUBLISHER  the manifest's Publisher, when it cannot be read
                               from the certificate's subject as Windows writes it
    QUORVEL_SIGNING_TIMESTAMP  a timestamp server's URL (optional)

The manifest's Publisher is the signing certificate's subject: Windows refuses
a package whose Publisher differs. OUT.nsh tells the setup program whether the
package carries a development certificate (which it then trusts) and OUT.cer
is that certificate; with a release certificate OUT.nsh defines nothing and
OUT.cer is removed.
"""
import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pack_msix  # noqa: E402

PACKAGE_NAME = "Quorvel.ContextMenu"
# The architectures of quorvel.dll that a package can name.
ARCHITECTURES = ("x64", "arm64")
DEVELOPMENT_SUBJECT = "CN=Quorvel Development"
OSSLSIGNCODE_MINIMUM = (2, 7)  # the first version that signs MSIX packages


def fail(message):
    sys.stderr.write("make_package: error: %s\n" % message)
    sys.exit(1)


def run(arguments, **options):
    try:
        return subprocess.run(arguments, check=True, capture_output=True, **options)
    except FileNotFoundError:
        fail("%s is not installed" % arguments[0])
    except subprocess.CalledProcessError as failure:
        fail("%s failed:\n%s%s" % (" ".join(arguments[:2]), failure.stdout.decode(errors="replace"),
                                   failure.stderr.decode(errors="replace")))


def check_osslsigncode():
    hint = ("the Windows 11 package is signed with osslsigncode %d.%d or later (Debian 12 has only 2.5); "
            "see the README, section \"Signing with a real certificate\"" % OSSLSIGNCODE_MINIMUM)
    try:
        result = subprocess.run(["osslsigncode", "--version"], capture_output=True, text=True)
    except FileNotFoundError:
        fail("osslsigncode is not installed: " + hint)
    match = re.search(r"osslsigncode (\d+)\.(\d+)", result.stdout + result.stderr)
    if not match:
        fail("cannot read the version of osslsigncode: " + hint)
    version = (int(match.group(1)), int(match.group(2)))
    if version < OSSLSIGNCODE_MINIMUM:
        fail("osslsigncode %d.%d is too old: %s" % (version + (hint,)))


def windows_subject(rfc2253):
    """The subject as Windows writes a package's Publisher: "CN=a, O=b, C=c"."""
    if "\\" in rfc2253 or '"' in rfc2253 or "+" in rfc2253:
        fail("the certificate's subject (%s) has characters that Windows writes differently; "
             "set QUORVEL_PACKAGE_PUBLISHER to the subject as Windows shows it" % rfc2253)
    names = {"ST": "S", "emailAddress": "E", "street": "STREET", "serialNumber": "SERIALNUMBER"}
    parts = []
    for part in rfc2253.split(","):
        key, _, value = part.partition("=")
        parts.append("%s=%s" % (names.get(key, key), value))
    return ", ".join(parts)


def release_signer(pfx, work):
    password = os.environ.get("QUORVEL_SIGNING_PASSWORD", "")
    environment = dict(os.environ, QUORVEL_SIGNING_PASSWORD=password)
    if not os.path.isfile(pfx):
        fail("QUORVEL_SIGNING_PFX names no file: %s" % pfx)
    certificate = None
    for extra in ([], ["-legacy"]):
        result = subprocess.run(["openssl", "pkcs12", "-in", pfx, "-nokeys", "-clcerts",
                                 "-passin", "env:QUORVEL_SIGNING_PASSWORD"] + extra,
                                capture_output=True, env=environment)
        if result.returncode == 0:
            certificate = result.stdout
            break
    if certificate is None:
        fail("cannot read %s with the password in QUORVEL_SIGNING_PASSWORD" % pfx)
    publisher = os.environ.get("QUORVEL_PACKAGE_PUBLISHER")
    if not publisher:
        subject = run(["openssl", "x509", "-noout", "-subject", "-nameopt", "RFC2253"],
                      input=certificate).stdout.decode().strip()
        publisher = windows_subject(subject.partition("=")[2])
    password_file = os.path.join(work, "signing-password")
    descriptor = os.open(password_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(descriptor, "w") as out:
        out.write(password)
    return publisher, ["-pkcs12", pfx, "-readpass", password_file], password_file


def development_signer(work):
    key = os.path.join(work, "development-key.pem")
    certificate = os.path.join(work, "development-cert.pem")
    if not (os.path.isfile(key) and os.path.isfile(certificate)):
        # Subject = the manifest's Publisher; code signing is its one purpose.
        run(["openssl", "req", "-x509", "-newkey", "rsa:3072", "-nodes", "-sha256", "-days", "3650",
             "-keyout", key, "-out", certificate, "-subj", "/" + DEVELOPMENT_SUBJECT.replace(", ", "/"),
             "-addext", "basicConstraints=critical,CA:FALSE",
             "-addext", "keyUsage=critical,digitalSignature",
             "-addext", "extendedKeyUsage=codeSigning"])
    return DEVELOPMENT_SUBJECT, ["-certs", certificate, "-key", key], certificate


def packages_wanted(outs):
    """{architecture: path} of the --out ARCHITECTURE=PATH options."""
    wanted = {}
    for out in outs:
        architecture, separator, path = out.partition("=")
        if not separator or architecture not in ARCHITECTURES or not path or architecture in wanted:
            fail("--out wants ARCHITECTURE=PATH, once per architecture (%s): %s" % (", ".join(ARCHITECTURES), out))
        wanted[architecture] = path
    return wanted


def main():
    parser = argparse.ArgumentParser()
    for option in ("template", "version", "clsid", "work", "nsh", "cer"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--out", required=True, action="append")
    options = parser.parse_args()
    wanted = packages_wanted(options.out)
    os.makedirs(options.work, exist_ok=True)
    check_osslsigncode()

    pfx = os.environ.get("QUORVEL_SIGNING_PFX", "")
    development_certificate = None
    password_file = None
    if pfx:
        publisher, signer, password_file = release_signer(pfx, options.work)
    else:
        publisher, signer, development_certificate = development_signer(options.work)

    with open(options.template, encoding="utf-8") as source:
        template = source.read()
    timestamp = os.environ.get("QUORVEL_SIGNING_TIMESTAMP")
    try:
        for architecture, out_path in wanted.items():
            manifest = template
            for name, value in (("PACKAGE_NAME", PACKAGE_NAME), ("PUBLISHER", pack_msix.xml_attribute(publisher)),
                                ("VERSION", options.version), ("COMMAND_CLSID", options.clsid.strip("{}").upper()),
                                ("ARCHITECTURE", architecture)):
                manifest = manifest.replace("@%s@" % name, value)
            if "@" in re.sub(r"<!--.*?-->", "", manifest, flags=re.S):
                fail("the manifest template names a value this script does not fill in")
            manifest_path = os.path.join(options.work, "AppxManifest-%s.xml" % architecture)
            with open(manifest_path, "w", encoding="utf-8", newline="\r\n") as out:
                out.write(manifest)

            unsigned = os.path.join(options.work, "unsigned-%s.msix" % architecture)
            pack_msix.main(["pack_msix.py", unsigned, manifest_path])
            signed = out_path + ".part"
            if os.path.exists(signed):
                os.remove(signed)
            run(["osslsigncode", "sign"] + signer + ["-h", "sha256"] + (["-ts", timestamp] if timestamp else [])
                + ["-in", unsigned, "-out", signed])
            os.replace(signed, out_path)
    finally:
        if password_file:
            os.remove(password_file)

    if development_certificate:
        run(["openssl", "x509", "-in", development_certificate, "-outform", "DER", "-out", options.cer])
        thumbprint = run(["openssl", "x509", "-in", development_certificate, "-noout", "-fingerprint", "-sha1"])
        thumbprint = thumbprint.stdout.decode().strip().partition("=")[2].replace(":", "")
        nsh = ('; Written by the build: the package is signed with the development certificate.\n'
               '!define PACKAGE_DEV_CERT "%s"\n!define PACKAGE_DEV_CERT_THUMBPRINT "%s"\n'
               % (options.cer, thumbprint))
    else:
        if os.path.exists(options.cer):
            os.remove(options.cer)
        nsh = "; Written by the build: the package is signed with a release certificate.\n"
    with open(options.nsh, "w") as out:
        out.write(nsh)
    print("make_package: %s signed by %s (%s certificate)"
          % (", ".join(os.path.basename(path) for path in wanted.values()), publisher,
             "release" if pfx else "development"))


if __name__ == "__main__":
    main()
