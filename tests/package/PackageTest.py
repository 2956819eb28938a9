#!/usr/bin/env python3
"""The built packages, for x64 and for ARM64, as Windows reads them, checked
by the independent reader (read_msix.py): their zip records, block maps,
content types and signature entries; each manifest's identity, architecture
and declarations, the two alike but for the architecture; the signatures
verified by osslsigncode against the development certificate; and the
manifest's class served by the built x64 quorvel.dll as an Explorer command
(the ARM64 build does not run under this Wine). The reader itself is shown to
catch each fault on a copy of the package with that fault, and the packing
script is checked on files of several blocks.

    PackageTest.py --package MSIX --package-arm64 MSIX --certificate DEV.pem --version V
                   --dll quorvel.dll --served-class served-class.exe --emulator wine-exec.sh
                   --packer pack_msix.py
"""
import argparse
import io
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from read_msix import read_package  # noqa: E402

OPTIONS = None
MANIFEST_NS = {
    "m": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
    "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
    "uap10": "http://schemas.microsoft.com/appx/manifest/uap/windows10/10",
    "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities",
    "com": "http://schemas.microsoft.com/appx/manifest/com/windows10",
    "desktop4": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4",
    "desktop5": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5",
}


def run(arguments):
    return subprocess.run(arguments, capture_output=True, text=True)


def certificate_subject(pem):
    """The subject as a package's Publisher names it: "CN=a, O=b"."""
    line = run(["openssl", "x509", "-in", pem, "-noout", "-subject", "-nameopt", "RFC2253"]).stdout.strip()
    return ", ".join(line.partition("=")[2].split(","))


def self_signed_certificate(folder, subject):
    key, certificate = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    made = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", subject,
                "-keyout", key, "-out", certificate, "-addext", "extendedKeyUsage=codeSigning"])
    assert made.returncode == 0, made.stderr
    return key, certificate


def rebuild(source, change):
    """A copy of the package at `source`, its entries rewritten by Python's
    zipfile after `change(entries)` edited the list of
    [name, data, compress_type, extra] in place."""
    with zipfile.ZipFile(source) as package:
        entries = [[info.filename, package.read(info), info.compress_type, b""] for info in package.infolist()]
    change(entries)
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as copy:
        for name, data, compression, extra in entries:
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.compress_type = compression
            info.extra = extra
            copy.writestr(info, data)
    path = tempfile.mktemp(suffix=".msix")
    with open(path, "wb") as out:
        out.write(buffer.getvalue())
    return path


def edit(name, function):
    def change(entries):
        for entry in entries:
            if entry[0] == name:
                function(entry)
    return change


def replace_in(name, pattern, replacement):
    def function(entry):
        text = entry[1].decode("utf-8")
        changed = re.sub(pattern, replacement, text, count=1)
        assert changed != text, pattern
        entry[1] = changed.encode("utf-8")
    return edit(name, function)


def flip_byte(entry):
    data = bytearray(entry[1])
    data[len(data) // 2] ^= 0x20
    entry[1] = bytes(data)


def set_field(index, value):
    def function(entry):
        entry[index] = value
    return function


class BuiltPackage(unittest.TestCase):
    def setUp(self):
        # Each package by the architecture of the quorvel.dll it names.
        self.packages = {"x64": OPTIONS.package, "arm64": OPTIONS.package_arm64}
        self.read = {architecture: read_package(path) for architecture, path in self.packages.items()}

    def test_reads_as_windows_reads_it(self):
        for architecture, (files, problems) in self.read.items():
            with self.subTest(architecture):
                self.assertEqual(problems, [])
                self.assertEqual(sorted(files),
                                 ["AppxBlockMap.xml", "AppxManifest.xml", "AppxSignature.p7x", "[Content_Types].xml"])

    def test_manifest_declares_the_command(self):
        for architecture, (files, _) in self.read.items():
            with self.subTest(architecture):
                self.check_declarations(ElementTree.fromstring(files["AppxManifest.xml"]), architecture)

    def test_the_manifests_differ_in_the_architecture_alone(self):
        x64, arm64 = (self.read[architecture][0]["AppxManifest.xml"].decode("utf-8") for architecture in ("x64", "arm64"))
        self.assertEqual(x64.count('ProcessorArchitecture="x64"'), 1)
        self.assertEqual(x64.replace('ProcessorArchitecture="x64"', 'ProcessorArchitecture="arm64"'), arm64)

    def check_declarations(self, root, architecture):
        find = lambda path: root.find(path, MANIFEST_NS)  # noqa: E731
        identity = find("m:Identity")
        self.assertEqual(identity.get("ProcessorArchitecture"), architecture)
        self.assertEqual(identity.get("Publisher"), certificate_subject(OPTIONS.certificate))
        self.assertEqual(identity.get("Version"), OPTIONS.version)
        self.assertEqual(find("m:Properties/uap10:AllowExternalContent").text, "true")
        family = find("m:Dependencies/m:TargetDeviceFamily")
        self.assertEqual((family.get("Name"), family.get("MinVersion")), ("Windows.Desktop", "10.0.22000.0"))
        capabilities = {c.get("Name") for c in root.findall("m:Capabilities/rescap:Capability", MANIFEST_NS)}
        self.assertEqual(capabilities, {"runFullTrust", "unvirtualizedResources"})
        extensions = "m:Applications/m:Application/m:Extensions/"
        classes = root.findall(extensions + "com:Extension/com:ComServer/com:SurrogateServer/com:Class", MANIFEST_NS)
        self.assertEqual([(c.get("Path"), c.get("ThreadingModel")) for c in classes], [("quorvel.dll", "STA")])
        item_types = root.findall(extensions + "desktop4:Extension/desktop4:FileExplorerContextMenus/desktop5:ItemType",
                                  MANIFEST_NS)
        self.assertEqual([t.get("Type") for t in item_types], ["*"])
        verbs = item_types[0].findall("desktop5:Verb", MANIFEST_NS)
        self.assertEqual([v.get("Clsid") for v in verbs], [classes[0].get("Id")])

    def test_signature_verifies_against_the_development_certificate_alone(self):
        with tempfile.TemporaryDirectory() as folder:
            _, stranger = self_signed_certificate(folder, "/CN=Quorvel Development")
            for architecture, package in self.packages.items():
                with self.subTest(architecture):
                    verified = run(["osslsigncode", "verify", "-in", package, "-CAfile", OPTIONS.certificate])
                    self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
                    self.assertIn("Signature verification: ok", verified.stdout)
                    refused = run(["osslsigncode", "verify", "-in", package, "-CAfile", stranger])
                    self.assertNotEqual(refused.returncode, 0, refused.stdout)

    def test_the_dll_serves_the_manifests_class_as_an_explorer_command(self):
        root = ElementTree.fromstring(self.read["x64"][0]["AppxManifest.xml"])
        clsid = root.find(".//com:Class", MANIFEST_NS).get("Id")
        dll = "Z:" + os.path.abspath(OPTIONS.dll).replace("/", "\\")
        served = run([OPTIONS.emulator, OPTIONS.served_class, dll, "{%s}" % clsid])
        self.assertEqual(served.returncode, 0, "quorvel.dll and class {%s}:\n%s%s" % (clsid, served.stdout, served.stderr))
        self.assertIn("explorer-command: 0x00000000", served.stdout)


class ReaderFindsEachFault(unittest.TestCase):
    """Each row puts one fault into a copy of the built package."""

    CASES = [
        ("an unchanged copy", lambda entries: None, None),
        ("a changed byte in the manifest", edit("AppxManifest.xml", flip_byte), "AppxManifest.xml block 0: hash mismatch"),
        ("a wrong Size", replace_in("AppxBlockMap.xml", r'Size="(\d+)"', 'Size="1"'), "has Size 1"),
        ("a wrong LfhSize", replace_in("AppxBlockMap.xml", r'LfhSize="\d+"', 'LfhSize="30"'), "has LfhSize 30"),
        ("an extra field in a local header", edit("AppxManifest.xml", set_field(3, b"\xfe\xca\x00\x00")),
         "its local header 50 bytes"),
        ("the manifest deflated", edit("AppxManifest.xml", set_field(2, zipfile.ZIP_DEFLATED)),
         "deflated but its blocks' sizes"),
        ("a file outside the block map", lambda entries: entries.insert(0, ["notes.txt", b"x", 0, b""]),
         "block map: notes.txt is missing"),
        ("no content type for the manifest",
         replace_in("[Content_Types].xml", r'<Override PartName="/AppxManifest.xml"[^>]*/>', ""),
         "content types: none for AppxManifest.xml"),
        ("the signature entry left out",
         lambda entries: entries.remove(next(e for e in entries if e[0] == "AppxSignature.p7x")),
         "AppxSignature.p7x is missing"),
    ]

    def test_each_fault(self):
        for description, change, expected in self.CASES:
            with self.subTest(description):
                copy = rebuild(OPTIONS.package, change)
                try:
                    _, problems = read_package(copy)
                finally:
                    os.remove(copy)
                if expected is None:
                    self.assertEqual(problems, [])
                else:
                    self.assertTrue(any(expected in p for p in problems), problems)


class PackerOnSeveralBlocks(unittest.TestCase):
    def test_files_of_several_blocks_in_folders(self):
        with tempfile.TemporaryDirectory() as folder:
            payload = {"big.bin": os.urandom(3 * 65536 + 123), "exact.bin": os.urandom(65536),
                       "Assets/empty.txt": b""}
            arguments = []
            for name, data in payload.items():
                path = os.path.join(folder, name.replace("/", "_"))
                with open(path, "wb") as out:
                    out.write(data)
                arguments.append("%s=%s" % (name, path))
            manifest = os.path.join(folder, "AppxManifest.xml")
            with open(manifest, "wb") as out:
                out.write(b"<Package/>")
            unsigned, signed = os.path.join(folder, "u.msix"), os.path.join(folder, "s.msix")
            packed = run([sys.executable, OPTIONS.packer, unsigned, manifest] + arguments)
            self.assertEqual(packed.returncode, 0, packed.stderr)
            key, certificate = self_signed_certificate(folder, "/CN=Quorvel Test")
            signing = run(["osslsigncode", "sign", "-certs", certificate, "-key", key, "-in", unsigned, "-out", signed])
            self.assertEqual(signing.returncode, 0, signing.stdout + signing.stderr)
            files, problems = read_package(signed)
            self.assertEqual(problems, [])
            for name, data in payload.items():
                self.assertEqual(files[name], data)
            blocks = re.findall(r'<File Name="([^"]+)"[^>]*>((?:\s*<Block [^>]*/>)*)',
                                files["AppxBlockMap.xml"].decode())
            counts = {name: block_list.count("<Block") for name, block_list in blocks}
            self.assertEqual(counts, {"big.bin": 4, "exact.bin": 1, "Assets\\empty.txt": 0, "AppxManifest.xml": 1})

    def test_refuses_the_packages_own_names(self):
        with tempfile.TemporaryDirectory() as folder:
            manifest = os.path.join(folder, "AppxManifest.xml")
            open(manifest, "wb").close()
            for name in ("AppxBlockMap.xml", "Assets\\a.png", "/a.png"):
                with self.subTest(name):
                    refused = run([sys.executable, OPTIONS.packer, os.path.join(folder, "o.msix"), manifest,
                                   "%s=%s" % (name, manifest)])
                    self.assertNotEqual(refused.returncode, 0)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("package", "package-arm64", "certificate", "version", "dll", "served-class", "emulator", "packer"):
        parser.add_argument("--" + option, required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
