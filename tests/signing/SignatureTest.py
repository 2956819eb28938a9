#!/usr/bin/env python3
"""Every PE file the build ships is signed, and its signature covers it:

  - each verifies with osslsigncode against the development certificate, and
    fails against another certificate with the same subject;
  - the tests' own reader (check_signature.py) finds the certificate table
    where the header says and the signed digest equal to the file's
    Authenticode digest;
  - a table of faulty copies of each file, each caught: by the reader, by
    osslsigncode, or (where the reader checks no cryptography) by osslsigncode
    alone, as the row says.

    SignatureTest.py --certificate DEV.pem --file NAME MACHINE PATH [--file ...]

MACHINE is the PE machine the file must have (0x8664, 0x14c, 0xaa64), so
that each build's file is the one checked.
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from check_signature import osslsigncode_verify, read_signature, reader_problem  # noqa: E402
from pe_file import CERTIFICATE_TABLE, PeFile  # noqa: E402

OPTIONS = None


def flip(data, at):
    faulty = bytearray(data)
    faulty[at] ^= 0x01
    return bytes(faulty)


def middle(span):
    offset, size = span
    return offset + size // 2


def with_certificate_table(data, table):
    """The file's bytes before its certificate table, then `table`, with the
    security directory naming it (the checksum left as it was)."""
    pe = PeFile(data=data)
    offset, _ = pe.certificate_table()
    faulty = bytearray(data[:offset] + table)
    struct.pack_into("<II", faulty, pe.directory_offsets[CERTIFICATE_TABLE], offset, len(table))
    return bytes(faulty)


def table_of(data):
    offset, size = PeFile(data=data).certificate_table()
    return data[offset:offset + size]


def moved_directory(data):
    pe = PeFile(data=data)
    offset, size = pe.certificate_table()
    faulty = bytearray(data)
    struct.pack_into("<II", faulty, pe.directory_offsets[CERTIFICATE_TABLE], offset + 8, size - 8)
    return bytes(faulty)


def unsigned(data):
    pe = PeFile(data=data)
    offset, _ = pe.certificate_table()
    faulty = bytearray(data[:offset])
    struct.pack_into("<II", faulty, pe.directory_offsets[CERTIFICATE_TABLE], 0, 0)
    return bytes(faulty)


# name, the faulty copy of `data` (`other`: another signed file's bytes),
# caught by the reader, caught by osslsigncode.
FAULTS = [
    ("a byte of code", lambda data, other: flip(data, middle(PeFile(data=data).code_section())), True, True),
    ("a byte of a resource", lambda data, other: flip(data, middle(PeFile(data=data).section_bytes(".rsrc"))),
     True, True),
    ("a byte of the signed digest in the certificate table",
     lambda data, other: flip(data, read_signature(PeFile(data=data))["digest_offset"] + 5), True, True),
    # The reader checks what the signature covers, not the cryptography.
    ("a byte of the signature value in the certificate table",
     lambda data, other: flip(data, read_signature(PeFile(data=data))["signature_offset"] + 9), False, True),
    ("the signature of another file", lambda data, other: with_certificate_table(data, table_of(other)), True, True),
    ("the security directory naming another place", lambda data, other: moved_directory(data), True, True),
    ("the signature removed", lambda data, other: unsigned(data), True, True),
]


def run(arguments):
    return subprocess.run(arguments, capture_output=True, text=True)


class EveryShippedFileIsSigned(unittest.TestCase):
    def files(self):
        for name, machine, path in OPTIONS.file:
            with open(path, "rb") as file:
                yield name, int(machine, 16), path, file.read()

    def test_each_file_verifies_against_the_development_certificate_alone(self):
        with tempfile.TemporaryDirectory() as folder:
            stranger = os.path.join(folder, "stranger.pem")
            made = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Quorvel Development", "-addext", "extendedKeyUsage=codeSigning",
                        "-keyout", os.path.join(folder, "stranger-key.pem"), "-out", stranger])
            self.assertEqual(made.returncode, 0, made.stderr)
            for name, machine, path, data in self.files():
                with self.subTest(name):
                    self.assertEqual(PeFile(data=data).machine, machine, "%s is another build's file" % path)
                    self.assertIsNone(reader_problem(data))
                    verified, output = osslsigncode_verify(path, OPTIONS.certificate)
                    self.assertTrue(verified, output)
                    refused, output = osslsigncode_verify(path, stranger)
                    self.assertFalse(refused, "verified against a stranger with the same subject:\n" + output)

    def test_each_faulty_copy_is_caught(self):
        files = list(self.files())
        with tempfile.TemporaryDirectory() as folder:
            for index, (name, _, _, data) in enumerate(files):
                self.assertIsNone(reader_problem(data), "%s is not signed as built" % name)
                other = files[(index + 1) % len(files)][3]
                self.assertNotEqual(table_of(other), table_of(data), "two files share a signature")
                for fault, make, by_reader, by_osslsigncode in FAULTS:
                    with self.subTest(file=name, fault=fault):
                        faulty = make(data, other)
                        self.assertNotEqual(faulty, data)
                        copy = os.path.join(folder, "faulty.bin")
                        with open(copy, "wb") as out:
                            out.write(faulty)
                        problem = reader_problem(faulty)
                        verified, output = osslsigncode_verify(copy, OPTIONS.certificate)
                        self.assertEqual(problem is not None, by_reader, "the reader says: %s" % problem)
                        self.assertEqual(not verified, by_osslsigncode, "osslsigncode says:\n" + output)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--certificate", required=True)
    parser.add_argument("--file", nargs=3, action="append", required=True, metavar=("NAME", "MACHINE", "PATH"))
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
