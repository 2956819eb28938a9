#!/usr/bin/env python3
"""The release folder (release/): exactly the files users download, each name
carrying the version; SHA256SUMS passes `sha256sum -c` there and fails on a
copy with one byte changed; each file is the built one byte for byte (the
zip's DLLs too); and the version in each program's and library's version
resource is the version in the names. (The setup program inside it installs
and uninstalls in windows32.Setup.ShippedProgram.)

    ReleaseTest.py --folder DIR --version V --setup EXE --package MSIX --package-arm64 MSIX
                   --dll64 DLL --dll32 DLL --dllarm64 DLL
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

OPTIONS = None
# VS_FIXEDFILEINFO's signature; the file version follows its struct version.
FIXED_FILE_INFO = struct.pack("<I", 0xFEEF04BD)


def file_version(data):
    at = data.find(FIXED_FILE_INFO)
    if at < 0:
        return None
    most, least = struct.unpack_from("<II", data, at + 8)
    return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def read(path):
    with open(path, "rb") as file:
        return file.read()


class ReleaseFolder(unittest.TestCase):
    def names(self):
        version = OPTIONS.version
        return {"QuorvelSetup-%s.exe" % version: OPTIONS.setup,
                "QuorvelContextMenu-%s.msix" % version: OPTIONS.package,
                "QuorvelContextMenu-%s-arm64.msix" % version: OPTIONS.package_arm64,
                "Quorvel-%s-dlls.zip" % version: None}

    def test_holds_the_built_files_under_versioned_names(self):
        expected = self.names()
        self.assertEqual(sorted(os.listdir(OPTIONS.folder)), sorted(list(expected) + ["SHA256SUMS"]))
        for name, built in expected.items():
            if built:
                with self.subTest(name):
                    self.assertEqual(read(os.path.join(OPTIONS.folder, name)), read(built), "not the built file")
        with zipfile.ZipFile(os.path.join(OPTIONS.folder, "Quorvel-%s-dlls.zip" % OPTIONS.version)) as archive:
            dlls = {"x64/quorvel.dll": OPTIONS.dll64, "x86/quorvel32.dll": OPTIONS.dll32,
                    "arm64/quorvel.dll": OPTIONS.dllarm64}
            satellites = dict(entry.split("=", 1) for entry in OPTIONS.satellite)
            self.assertTrue(satellites, "no satellites named")
            self.assertEqual(sorted(archive.namelist()), sorted(list(dlls) + list(satellites)))
            for entry, built in list(dlls.items()) + list(satellites.items()):
                with self.subTest(entry):
                    data = archive.read(entry)
                    self.assertEqual(data, read(built), "not the built DLL")
                    if entry in dlls:
                        self.assertEqual(file_version(data), OPTIONS.version)
        self.assertEqual(file_version(read(OPTIONS.setup)), OPTIONS.version)

    def test_checksums_verify_and_catch_a_changed_byte(self):
        checked = subprocess.run(["sha256sum", "-c", "--strict", "SHA256SUMS"], cwd=OPTIONS.folder,
                                 capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertEqual(sorted(checked.stdout.splitlines()), sorted("%s: OK" % name for name in self.names()))
        with tempfile.TemporaryDirectory() as folder:
            copy = os.path.join(folder, "release")
            shutil.copytree(OPTIONS.folder, copy)
            setup = os.path.join(copy, "QuorvelSetup-%s.exe" % OPTIONS.version)
            data = bytearray(read(setup))
            data[len(data) // 2] ^= 0x01
            with open(setup, "wb") as out:
                out.write(data)
            refused = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=copy, capture_output=True, text=True)
            self.assertNotEqual(refused.returncode, 0, refused.stdout)
            self.assertIn("QuorvelSetup-%s.exe: FAILED" % OPTIONS.version, refused.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("folder", "version", "setup", "package", "package-arm64", "dll64", "dll32", "dllarm64"):
        parser.add_argument("--" + option, required=True)
    # ENTRY=PATH: a satellite in the zip, and the built file it must be.
    parser.add_argument("--satellite", action="append", default=[])
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
