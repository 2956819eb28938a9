"""The one choice of signing certificate for everything the build signs: the
setup program, its uninstaller, the DLLs (sign_pe.py) and the Windows 11
packages (package/make_package.py).

    QUORVEL_SIGNING_PFX        the release certificate and its key (.pfx)
    QUORVEL_SIGNING_PASSWORD   its password (read from the environment only)
    QUORVEL_SIGNING_TIMESTAMP  a timestamp server's URL (optional)

Without QUORVEL_SIGNING_PFX: the development certificate, made here with
openssl once per build root (in the folder given, shared by the builds of
that root), so that one certificate signs every file of one build root and a
tester trusts that one alone.
"""
import fcntl
import os
import re
import subprocess
import sys

DEVELOPMENT_SUBJECT = "CN=Quorvel Development"
DEVELOPMENT_KEY = "development-key.pem"
DEVELOPMENT_CERTIFICATE = "development-cert.pem"


class SigningError(Exception):
    """Signing was asked for and cannot be done; the message says why."""


def run(arguments, **options):
    try:
        return subprocess.run(arguments, check=True, capture_output=True, **options)
    except FileNotFoundError:
        raise SigningError("%s is not installed (scripts/install-deps.sh installs it)" % arguments[0])
    except subprocess.CalledProcessError as failure:
        raise SigningError("%s failed:\n%s%s" % (" ".join(arguments[:2]), failure.stdout.decode(errors="replace"),
                                                 failure.stderr.decode(errors="replace")))


def check_osslsigncode(minimum, what, hint=""):
    """osslsigncode is there and at least `minimum` (major, minor)."""
    try:
        result = subprocess.run(["osslsigncode", "--version"], capture_output=True, text=True)
    except FileNotFoundError:
        raise SigningError("osslsigncode is not installed: %s needs it%s" % (what, hint))
    match = re.search(r"osslsigncode (\d+)\.(\d+)", result.stdout + result.stderr)
    if not match:
        raise SigningError("cannot read the version of osslsigncode, which %s needs%s" % (what, hint))
    version = (int(match.group(1)), int(match.group(2)))
    if version < minimum:
        raise SigningError("osslsigncode %d.%d is too old: %s needs %d.%d or later%s"
                           % (version + (what,) + minimum + (hint,)))


def windows_subject(rfc2253):
    """The subject as Windows writes it (a package's Publisher): "CN=a, O=b, C=c"."""
    if "\\" in rfc2253 or '"' in rfc2253 or "+" in rfc2253:
        raise SigningError("the certificate's subject (%s) has characters that Windows writes differently; "
                           "set QUORVEL_PACKAGE_PUBLISHER to the subject as Windows shows it" % rfc2253)
    names = {"ST": "S", "emailAddress": "E", "street": "STREET", "serialNumber": "SERIALNUMBER"}
    parts = []
    for part in rfc2253.split(","):
        key, _, value = part.partition("=")
        parts.append("%s=%s" % (names.get(key, key), value))
    return ", ".join(parts)


class Signer:
    """The certificate chosen: `release` is True for QUORVEL_SIGNING_PFX.
    `arguments` are osslsigncode sign's options for it (certificate, key,
    digest, timestamp); `subject` is its subject as Windows writes it;
    `development_certificate` the PEM file of the development certificate, or
    None. Used as a context manager: the password's file is removed at exit."""

    def __init__(self, release, subject, arguments, development_certificate=None, password_file=None):
        self.release = release
        self.subject = subject
        self.arguments = arguments
        self.development_certificate = development_certificate
        self.password_file = password_file

    def __enter__(self):
        return self

    def __exit__(self, *_):
        if self.password_file and os.path.exists(self.password_file):
            os.remove(self.password_file)

    def sign(self, unsigned, signed):
        """osslsigncode sign: `unsigned` signed into `signed` (SHA-256)."""
        if os.path.exists(signed):
            os.remove(signed)
        run(["osslsigncode", "sign"] + self.arguments + ["-in", unsigned, "-out", signed])


def _timestamp_arguments():
    timestamp = os.environ.get("QUORVEL_SIGNING_TIMESTAMP")
    return ["-ts", timestamp] if timestamp else []


def _release_signer(pfx, work):
    password = os.environ.get("QUORVEL_SIGNING_PASSWORD", "")
    environment = dict(os.environ, QUORVEL_SIGNING_PASSWORD=password)
    if not os.path.isfile(pfx):
        raise SigningError("QUORVEL_SIGNING_PFX names no file: %s" % pfx)
    certificate = None
    for extra in ([], ["-legacy"]):
        result = subprocess.run(["openssl", "pkcs12", "-in", pfx, "-nokeys", "-clcerts",
                                 "-passin", "env:QUORVEL_SIGNING_PASSWORD"] + extra,
                                capture_output=True, env=environment)
        if result.returncode == 0:
            certificate = result.stdout
            break
    if certificate is None:
        raise SigningError("cannot read %s with the password in QUORVEL_SIGNING_PASSWORD" % pfx)
    subject = os.environ.get("QUORVEL_PACKAGE_PUBLISHER")
    if not subject:
        line = run(["openssl", "x509", "-noout", "-subject", "-nameopt", "RFC2253"],
                   input=certificate).stdout.decode().strip()
        subject = windows_subject(line.partition("=")[2])
    # osslsigncode reads the password from a file, never from its command
    # line (which other users of the machine can read). One file per process:
    # the builds sign in parallel.
    os.makedirs(work, exist_ok=True)
    password_file = os.path.join(work, "signing-password-%d" % os.getpid())
    descriptor = os.open(password_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(descriptor, "w") as out:
        out.write(password)
    arguments = ["-pkcs12", pfx, "-readpass", password_file, "-h", "sha256"] + _timestamp_arguments()
    return Signer(True, subject, arguments, password_file=password_file)


def development_certificate(folder):
    """The development certificate's key and certificate in `folder`, made
    once; builds that sign at the same time wait for the one that makes it."""
    os.makedirs(folder, exist_ok=True)
    key = os.path.join(folder, DEVELOPMENT_KEY)
    certificate = os.path.join(folder, DEVELOPMENT_CERTIFICATE)
    with open(os.path.join(folder, "development.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (os.path.isfile(key) and os.path.isfile(certificate)):
            # Subject = the package manifest's Publisher; code signing is its
            # one purpose. Written under other names first: a half-made pair
            # is never taken for the certificate.
            run(["openssl", "req", "-x509", "-newkey", "rsa:3072", "-nodes", "-sha256", "-days", "3650",
                 "-keyout", key + ".new", "-out", certificate + ".new", "-subj", "/" + DEVELOPMENT_SUBJECT,
                 "-addext", "basicConstraints=critical,CA:FALSE",
                 "-addext", "keyUsage=critical,digitalSignature",
                 "-addext", "extendedKeyUsage=codeSigning"])
            os.chmod(key + ".new", 0o600)
            os.replace(key + ".new", key)
            os.replace(certificate + ".new", certificate)
    return key, certificate


def choose_signer(development_folder):
    """The release certificate where QUORVEL_SIGNING_PFX names one, else the
    development certificate of `development_folder`."""
    pfx = os.environ.get("QUORVEL_SIGNING_PFX", "")
    if pfx:
        return _release_signer(pfx, development_folder)
    key, certificate = development_certificate(development_folder)
    arguments = ["-certs", certificate, "-key", key, "-h", "sha256"] + _timestamp_arguments()
    return Signer(False, DEVELOPMENT_SUBJECT, arguments, development_certificate=certificate)


def fail(program, message):
    sys.stderr.write("%s: error: %s\n" % (program, message))
    sys.exit(1)
