#!/usr/bin/env python3
"""Packs an unsigned MSIX package: a zip of the given files, the manifest,
AppxBlockMap.xml and [Content_Types].xml, in that order.

    pack_msix.py OUT.msix AppxManifest.xml [NAME=PATH ...]

NAME is the file's name inside the package ('/' between folders). The files
the block map covers are stored uncompressed, so it gives no compressed block
sizes; [Content_Types].xml is deflated, as osslsigncode writes its new copy
deflated (with a stored one it keeps the "stored" mark on deflated data, and
the package is broken). Every local header carries no extra field, so its
size is 30 + the name's length.
The same inputs always give the same bytes (fixed dates, given order).
Signing (AppxSignature.p7x) is osslsigncode's part.
"""
import base64
import hashlib
import struct
import sys
import zlib

BLOCK_SIZE = 64 * 1024
HASH_METHOD = "http://www.w3.org/2001/04/xmlenc#sha256"
BLOCKMAP_NAMESPACE = "http://schemas.microsoft.com/appx/2010/blockmap"
TYPES_NAMESPACE = "http://schemas.openxmlformats.org/package/2006/content-types"
# Content types of the package's own files (Overrides) and of payload files
# by extension (Defaults).
MANIFEST_TYPE = "application/vnd.ms-appx.manifest+xml"
BLOCKMAP_TYPE = "application/vnd.ms-appx.blockmap+xml"
EXTENSION_TYPES = {
    "png": "image/png",
    "dll": "application/x-msdownload",
    "exe": "application/x-msdownload",
    "xml": "application/xml",
    "txt": "text/plain",
}
DEFAULT_TYPE = "application/octet-stream"
DOS_TIME = 0          # 00:00:00
DOS_DATE = (1 << 5) | 1  # 1980-01-01


def fail(message):
    sys.stderr.write("pack_msix: %s\n" % message)
    sys.exit(1)


def xml_attribute(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def block_map(entries):
    """entries: (name, data) of every file the block map covers."""
    lines = ['<?xml version="1.0" encoding="UTF-8" standalone="no"?>',
             '<BlockMap xmlns="%s" HashMethod="%s">' % (BLOCKMAP_NAMESPACE, HASH_METHOD)]
    for name, data in entries:
        encoded = name.encode("utf-8")
        lines.append('<File Name="%s" Size="%d" LfhSize="%d">'
                     % (xml_attribute(name.replace("/", "\\")), len(data), 30 + len(encoded)))
        for start in range(0, len(data), BLOCK_SIZE):
            digest = hashlib.sha256(data[start:start + BLOCK_SIZE]).digest()
            lines.append('<Block Hash="%s"/>' % base64.b64encode(digest).decode("ascii"))
        lines.append("</File>")
    lines.append("</BlockMap>")
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def content_types(names):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<Types xmlns="%s">' % TYPES_NAMESPACE]
    extensions = sorted({name.rsplit(".", 1)[1].lower() for name in names if "." in name.rsplit("/", 1)[-1]})
    for extension in extensions:
        lines.append('<Default Extension="%s" ContentType="%s"/>'
                     % (xml_attribute(extension), EXTENSION_TYPES.get(extension, DEFAULT_TYPE)))
    lines.append('<Override PartName="/AppxManifest.xml" ContentType="%s"/>' % MANIFEST_TYPE)
    lines.append('<Override PartName="/AppxBlockMap.xml" ContentType="%s"/>' % BLOCKMAP_TYPE)
    lines.append("</Types>")
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def write_zip(path, entries):
    """entries: (name, data, deflated), in order."""
    central = []
    offset = 0
    with open(path, "wb") as out:
        for name, data, deflated in entries:
            encoded = name.encode("utf-8")
            crc = zlib.crc32(data) & 0xFFFFFFFF
            flags = 0x0800 if any(b >= 0x80 for b in encoded) else 0  # UTF-8 names
            method, stored = 0, data
            if deflated:
                packer = zlib.compressobj(9, zlib.DEFLATED, -15)
                method, stored = 8, packer.compress(data) + packer.flush()
            header = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, DOS_TIME, DOS_DATE,
                                 crc, len(stored), len(data), len(encoded), 0)
            out.write(header + encoded + stored)
            central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, method, DOS_TIME,
                                       DOS_DATE, crc, len(stored), len(data), len(encoded), 0, 0, 0, 0,
                                       0, offset) + encoded)
            offset += len(header) + len(encoded) + len(stored)
            if offset >= 0xFFFFFFFF:
                fail("the package would need ZIP64, which this packer does not write")
        directory = b"".join(central)
        out.write(directory)
        out.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                              len(directory), offset, 0))


def main(argv):
    if len(argv) < 3:
        fail("usage: pack_msix.py OUT.msix AppxManifest.xml [NAME=PATH ...]")
    out, manifest = argv[1], argv[2]
    payload = []
    for argument in argv[3:]:
        name, separator, path = argument.partition("=")
        if not separator or not name or name.startswith("/") or "\\" in name:
            fail("a payload file is NAME=PATH with a relative NAME using '/': %s" % argument)
        if name in ("AppxManifest.xml", "AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"):
            fail("%s is the package's own file" % name)
        with open(path, "rb") as source:
            payload.append((name, source.read()))
    with open(manifest, "rb") as source:
        payload.append(("AppxManifest.xml", source.read()))
    names = [name for name, _ in payload]
    if len(set(n.lower() for n in names)) != len(names):
        fail("two payload files share a name")
    entries = [(name, data, False) for name, data in payload]
    entries += [("AppxBlockMap.xml", block_map(payload), False),
                ("[Content_Types].xml", content_types(names[:-1]), True)]
    write_zip(out, entries)


if __name__ == "__main__":
    main(sys.argv)
