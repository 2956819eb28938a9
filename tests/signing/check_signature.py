#!/usr/bin/env python3
"""Checks that each file's Authenticode signature covers it, two ways:

  - by the tests' own reader (tests/support/pe_file.py and the DER walk here,
    no osslsigncode): the certificate table is where the header's security
    directory says and ends the file, it holds one PKCS#7 signed-data
    certificate, and the SHA-256 digest in its SpcIndirectDataContent equals
    the file's Authenticode digest as the reader computes it;
  - by `osslsigncode verify` against the given certificate as the one trusted.

    check_signature.py --certificate CERT.pem FILE...   (exit code 0: all covered)
"""
import argparse
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pe_file import PeFile  # noqa: E402

WIN_CERT_REVISION_2_0 = 0x0200
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002
OID_SIGNED_DATA = "1.2.840.113549.1.7.2"
OID_SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
OID_SHA256 = "2.16.840.1.101.3.4.2.1"
SEQUENCE, SET, OID, OCTET_STRING, CONTEXT_0 = 0x30, 0x31, 0x06, 0x04, 0xA0


class Element:
    """One DER element of `data`: its tag, where its content lies, its end."""

    def __init__(self, data, at, end):
        if at + 2 > end:
            raise ValueError(f"a DER element at {at} runs past its container")
        self.data = data
        self.tag = data[at]
        length = data[at + 1]
        start = at + 2
        if length & 0x80:
            count = length & 0x7F
            if count == 0 or count > 4:
                raise ValueError(f"a DER length of {count} bytes at {at}")
            length = int.from_bytes(data[start:start + count], "big")
            start += count
        self.start, self.end = start, start + length
        if self.end > end:
            raise ValueError(f"a DER element at {at} runs past its container")

    def children(self):
        found, at = [], self.start
        while at < self.end:
            child = Element(self.data, at, self.end)
            found.append(child)
            at = child.end
        return found

    def child(self, index, tag):
        children = self.children()
        if index >= len(children) or children[index].tag != tag:
            raise ValueError(f"no element {index} with tag {tag:#x} in the element with tag {self.tag:#x}")
        return children[index]

    def oid(self):
        content = self.data[self.start:self.end]
        values, value = [], 0
        for byte in content:
            value = (value << 7) | (byte & 0x7F)
            if not byte & 0x80:
                values.append(value)
                value = 0
        first = min(values[0] // 40, 2)
        return ".".join(str(v) for v in [first, values[0] - 40 * first] + values[1:])


def read_signature(pe):
    """What the signature holds, read from the PE file: a dict with the
    digest's algorithm, the digest and its file offset, and the file offset
    of the signer's signature value. ValueError says what is wrong."""
    table = pe.certificate_table()
    if table is None:
        raise ValueError("no certificate table: the file is not signed")
    offset, size = table
    if offset % 8 or offset < 0x40 or offset + size != len(pe.data):
        raise ValueError(f"the security directory names {offset:#x}+{size:#x}, not a table at the end of the file "
                         f"({len(pe.data):#x} bytes)")
    length, revision, kind = struct.unpack_from("<IHH", pe.data, offset)
    if not 8 < length <= size or revision != WIN_CERT_REVISION_2_0 or kind != WIN_CERT_TYPE_PKCS_SIGNED_DATA:
        raise ValueError(f"the table at {offset:#x} holds no PKCS#7 certificate (length {length:#x}, revision "
                         f"{revision:#x}, type {kind:#x})")
    content_info = Element(pe.data, offset + 8, offset + length)
    if content_info.tag != SEQUENCE or content_info.child(0, OID).oid() != OID_SIGNED_DATA:
        raise ValueError("the certificate is no PKCS#7 signed data")
    signed_data = content_info.child(1, CONTEXT_0).child(0, SEQUENCE)
    members = signed_data.children()
    inner = signed_data.child(2, SEQUENCE)
    if inner.child(0, OID).oid() != OID_SPC_INDIRECT_DATA:
        raise ValueError("the signed content is no SpcIndirectDataContent")
    digest_info = inner.child(1, CONTEXT_0).child(0, SEQUENCE).child(1, SEQUENCE)
    algorithm = digest_info.child(0, SEQUENCE).child(0, OID).oid()
    digest = digest_info.child(1, OCTET_STRING)
    signer_infos = members[-1]
    if signer_infos.tag != SET or not signer_infos.children():
        raise ValueError("the signed data has no signer")
    signer = signer_infos.children()[0]
    values = [part for part in signer.children() if part.tag == OCTET_STRING]
    if not values:
        raise ValueError("the signer has no signature value")
    return {"algorithm": algorithm, "digest": pe.data[digest.start:digest.end], "digest_offset": digest.start,
            "signature_offset": values[0].start}


def reader_problem(data):
    """None where the reader finds the file covered by its signature, else why not."""
    try:
        pe = PeFile(data=data)
        signature = read_signature(pe)
    except (ValueError, IndexError, struct.error) as failure:
        return str(failure)
    if signature["algorithm"] != OID_SHA256:
        return f"the signed digest is {signature['algorithm']}, not SHA-256"
    computed = pe.authenticode_digest("sha256")
    if signature["digest"] != computed:
        return f"the signed digest {signature['digest'].hex()} is not the file's {computed.hex()}"
    return None


def osslsigncode_verify(path, certificate):
    """(verified, output) of osslsigncode verify with `certificate` as the one trusted."""
    result = subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", certificate],
                            capture_output=True, text=True)
    output = result.stdout + result.stderr
    return result.returncode == 0 and "Signature verification: ok" in output, output


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--certificate", required=True)
    parser.add_argument("files", nargs="+")
    options = parser.parse_args()
    failures = 0
    for path in options.files:
        with open(path, "rb") as file:
            problem = reader_problem(file.read())
        if problem:
            print(f"FAILED: {path}: {problem}")
        verified, output = osslsigncode_verify(path, options.certificate)
        if not verified:
            print(f"FAILED: {path}: osslsigncode verify:\n{output}")
        if problem or not verified:
            failures += 1
        else:
            print(f"{path}: signed, and covered by its signature")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
