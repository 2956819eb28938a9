#!/usr/bin/env python3
"""The signing step itself (signing/sign_pe.py) on copies of an unsigned
library, in temporary folders:

  - without QUORVEL_SIGNING_PFX: the development certificate is made once in
    the folder given and signs every file (a second file, the same one);
    the file keeps its mode;
  - with a release certificate (a CA and a code-signing leaf made here, in a
    password-protected .pfx): the file is signed by the leaf and verifies
    against the CA, no development certificate is made, and the password's
    file is gone afterwards;
  - a table of failures (no such .pfx, a wrong password, a file that is no
    PE, no osslsigncode on the PATH): exit code 1, a message that says why,
    and the file removed, never left unsigned.

    SignStepTest.py --sign-pe sign_pe.py --unsigned UNSIGNED.dll
"""
import argparse
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from check_signature import osslsigncode_verify, reader_problem  # noqa: E402

OPTIONS = None


def run(arguments, **options):
    return subprocess.run(arguments, capture_output=True, text=True, **options)


def openssl(*arguments):
    result = run(["openssl"] + list(arguments))
    if result.returncode != 0:
        raise AssertionError("openssl %s: %s" % (arguments[0], result.stderr))


def release_pfx(folder, password):
    """A CA and a code-signing leaf it issued, the leaf and its key in a .pfx."""
    path = lambda name: os.path.join(folder, name)  # noqa: E731
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Quorvel Test Authority",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
            "-keyout", path("ca-key.pem"), "-out", path("ca.pem"))
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/O=Quorvel Test/CN=Quorvel Release Test",
            "-keyout", path("leaf-key.pem"), "-out", path("leaf.csr"))
    with open(path("leaf.ext"), "w") as out:
        out.write("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                  "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", path("leaf.csr"), "-CA", path("ca.pem"), "-CAkey", path("ca-key.pem"),
            "-CAcreateserial", "-days", "2", "-extfile", path("leaf.ext"), "-out", path("leaf.pem"))
    openssl("pkcs12", "-export", "-inkey", path("leaf-key.pem"), "-in", path("leaf.pem"), "-certfile", path("ca.pem"),
            "-passout", "pass:" + password, "-out", path("release.pfx"))
    return path("release.pfx"), path("ca.pem")


def read(path):
    with open(path, "rb") as file:
        return file.read()


def environment(**values):
    variables = {name: value for name, value in os.environ.items() if not name.startswith("QUORVEL_SIGNING_")}
    variables.update(values)
    return variables


class SigningStep(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)
        self.development = os.path.join(self.folder, "signing")

    def copy(self, name):
        path = os.path.join(self.folder, name)
        shutil.copyfile(OPTIONS.unsigned, path)
        os.chmod(path, 0o755)
        return path

    def sign(self, path, **variables):
        return run([sys.executable, OPTIONS.sign_pe, "--development-folder", self.development, path],
                   env=environment(**variables))

    def test_the_development_certificate_is_made_once_and_signs_every_file(self):
        first, second = self.copy("first.dll"), self.copy("second.dll")
        for path in (first, second):
            signed = self.sign(path)
            self.assertEqual(signed.returncode, 0, signed.stderr)
            self.assertIn("(development certificate)", signed.stdout)
            self.assertIsNone(reader_problem(read(path)))
            self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o755, "the file lost its mode")
        self.assertEqual(sorted(os.listdir(self.development)),
                         ["development-cert.pem", "development-key.pem", "development.lock"])
        certificate = os.path.join(self.development, "development-cert.pem")
        for path in (first, second):
            verified, output = osslsigncode_verify(path, certificate)
            self.assertTrue(verified, output)

    def test_a_release_certificate_signs_and_leaves_no_password_behind(self):
        pfx, authority = release_pfx(self.folder, "release-test")
        path = self.copy("release.dll")
        signed = self.sign(path, QUORVEL_SIGNING_PFX=pfx, QUORVEL_SIGNING_PASSWORD="release-test")
        self.assertEqual(signed.returncode, 0, signed.stderr)
        self.assertIn("signed by CN=Quorvel Release Test, O=Quorvel Test (release certificate)", signed.stdout)
        self.assertIsNone(reader_problem(read(path)))
        verified, output = osslsigncode_verify(path, authority)
        self.assertTrue(verified, output)
        self.assertEqual(os.listdir(self.development), [], "a development certificate or the password was left")

    def test_a_failure_stops_with_the_reason_and_leaves_no_unsigned_file(self):
        pfx, _ = release_pfx(self.folder, "release-test")
        no_osslsigncode = os.path.join(self.folder, "bin")
        os.makedirs(no_osslsigncode)
        os.symlink(shutil.which("openssl"), os.path.join(no_osslsigncode, "openssl"))
        cases = [
            ("no such .pfx", {"QUORVEL_SIGNING_PFX": os.path.join(self.folder, "missing.pfx")}, None,
             "QUORVEL_SIGNING_PFX names no file"),
            ("a wrong password", {"QUORVEL_SIGNING_PFX": pfx, "QUORVEL_SIGNING_PASSWORD": "wrong"}, None,
             "with the password in QUORVEL_SIGNING_PASSWORD"),
            ("no PE file", {}, b"not a program", "is no Windows program or library"),
            ("no osslsigncode", {"PATH": no_osslsigncode}, None, "osslsigncode is not installed"),
        ]
        for name, variables, content, reason in cases:
            with self.subTest(name):
                path = self.copy("failing.dll")
                if content is not None:
                    with open(path, "wb") as out:
                        out.write(content)
                failed = self.sign(path, **variables)
                self.assertEqual(failed.returncode, 1, failed.stdout + failed.stderr)
                self.assertIn("sign_pe: error: %s is not signed, and removed" % path, failed.stderr)
                self.assertIn(reason, failed.stderr)
                self.assertFalse(os.path.exists(path), "the unsigned file was left")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--sign-pe", required=True)
    parser.add_argument("--unsigned", required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
