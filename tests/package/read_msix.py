#!/usr/bin/env python3
"""Reads a signed MSIX package as Windows reads it, independently of the
project's packing script: the zip's own records, the block map against the
contents, the content types, the signature entry, and the manifest.

    read_msix.py PACKAGE.msix  prints the problems found (none: exit code 0)

read_package(path) returns the files and the problems for the tests.
"""
import base64
import hashlib
import math
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib

BLOCK = 65536
BLOCKMAP_NS = "{http://schemas.microsoft.com/appx/2010/blockmap}"
TYPES_NS = "{http://schemas.openxmlformats.org/package/2006/content-types}"
SHA256 = "http://www.w3.org/2001/04/xmlenc#sha256"
FOOTPRINT = {"[Content_Types].xml", "AppxBlockMap.xml", "AppxSignature.p7x"}
REQUIRED_TYPES = {
    "/AppxManifest.xml": "application/vnd.ms-appx.manifest+xml",
    "/AppxBlockMap.xml": "application/vnd.ms-appx.blockmap+xml",
    "/AppxSignature.p7x": "application/vnd.ms-appx.signature",
}


class Entry:
    def __init__(self, name, method, flags, crc, compressed, size, offset):
        self.name, self.method, self.flags, self.crc = name, method, flags, crc
        self.compressed, self.size, self.offset = compressed, size, offset
        self.local_header_size = None
        self.data = None


def read_zip(raw, problems):
    """The entries in central directory order, each with its data read
    through its local header."""
    end = raw.rfind(b"PK\x05\x06")
    if end < 0 or len(raw) - end < 22:
        problems.append("no end of central directory record")
        return []
    _, disk, _, _, count, directory_size, directory_offset, _ = struct.unpack_from("<IHHHHIIH", raw, end)
    if disk != 0 or directory_offset == 0xFFFFFFFF:
        problems.append("a multi-disk or ZIP64 archive")
        return []
    entries = []
    position = directory_offset
    for _ in range(count):
        if raw[position:position + 4] != b"PK\x01\x02":
            problems.append("a central directory record is broken at %d" % position)
            return entries
        (flags, method, crc, compressed, size, name_length, extra_length, comment_length,
         offset) = struct.unpack_from("<8xHH4xIIIHHH8xI", raw, position)
        name = raw[position + 46:position + 46 + name_length].decode("utf-8" if flags & 0x800 else "cp437")
        entries.append(Entry(name, method, flags, crc, compressed, size, offset))
        position += 46 + name_length + extra_length + comment_length
    if position != directory_offset + directory_size:
        problems.append("the central directory's size does not match its records")
    for entry in entries:
        offset = entry.offset
        if raw[offset:offset + 4] != b"PK\x03\x04":
            problems.append("%s: no local file header at %d" % (entry.name, offset))
            continue
        name_length, extra_length = struct.unpack_from("<HH", raw, offset + 26)
        local_name = raw[offset + 30:offset + 30 + name_length].decode("utf-8" if entry.flags & 0x800 else "cp437")
        if local_name != entry.name:
            problems.append("%s: the local header names %s" % (entry.name, local_name))
        entry.local_header_size = 30 + name_length + extra_length
        stored = raw[offset + entry.local_header_size:offset + entry.local_header_size + entry.compressed]
        if entry.method == 0:
            entry.data = stored
        elif entry.method == 8:
            entry.data = zlib.decompressobj(-15).decompress(stored)
        else:
            problems.append("%s: compression method %d" % (entry.name, entry.method))
            continue
        if len(entry.data) != entry.size:
            problems.append("%s: %d bytes, the directory says %d" % (entry.name, len(entry.data), entry.size))
        if zlib.crc32(entry.data) & 0xFFFFFFFF != entry.crc:
            problems.append("%s: CRC mismatch" % entry.name)
    return entries


def check_block_map(entries, problems):
    files = {entry.name: entry for entry in entries}
    try:
        root = ElementTree.fromstring(files["AppxBlockMap.xml"].data)
    except ElementTree.ParseError as error:
        problems.append("AppxBlockMap.xml does not parse: %s" % error)
        return
    if root.tag != BLOCKMAP_NS + "BlockMap" or root.get("HashMethod") != SHA256:
        problems.append("AppxBlockMap.xml: not a SHA-256 block map")
    listed = set()
    for element in root.findall(BLOCKMAP_NS + "File"):
        name = element.get("Name", "").replace("\\", "/")
        listed.add(name)
        entry = files.get(name)
        if entry is None or entry.data is None:
            problems.append("block map: %s is not in the package" % name)
            continue
        if element.get("Size") != str(len(entry.data)):
            problems.append("block map: %s has Size %s, its data %d bytes" % (name, element.get("Size"), len(entry.data)))
        if element.get("LfhSize") != str(entry.local_header_size):
            problems.append("block map: %s has LfhSize %s, its local header %d bytes"
                            % (name, element.get("LfhSize"), entry.local_header_size))
        blocks = element.findall(BLOCKMAP_NS + "Block")
        if len(blocks) != math.ceil(len(entry.data) / BLOCK):
            problems.append("block map: %s has %d blocks for %d bytes" % (name, len(blocks), len(entry.data)))
        for index, block in enumerate(blocks):
            chunk = entry.data[index * BLOCK:(index + 1) * BLOCK]
            if block.get("Hash") != base64.b64encode(hashlib.sha256(chunk).digest()).decode("ascii"):
                problems.append("block map: %s block %d: hash mismatch" % (name, index))
        sizes = [block.get("Size") for block in blocks]
        if entry.method == 0 and any(size is not None for size in sizes):
            problems.append("block map: %s is stored but its blocks give compressed sizes" % name)
        if entry.method == 8 and (None in sizes or sum(int(s) for s in sizes) != entry.compressed):
            problems.append("block map: %s is deflated but its blocks' sizes do not add up" % name)
    expected = {entry.name for entry in entries} - FOOTPRINT
    for name in sorted(expected - listed):
        problems.append("block map: %s is missing" % name)


def check_content_types(entries, problems):
    files = {entry.name: entry for entry in entries}
    try:
        root = ElementTree.fromstring(files["[Content_Types].xml"].data)
    except ElementTree.ParseError as error:
        problems.append("[Content_Types].xml does not parse: %s" % error)
        return
    defaults, overrides = {}, {}
    for element in root:
        if element.tag == TYPES_NS + "Default":
            key, table = element.get("Extension", "").lower(), defaults
        elif element.tag == TYPES_NS + "Override":
            key, table = element.get("PartName", "").lower(), overrides
        else:
            problems.append("content types: unknown element %s" % element.tag)
            continue
        if key in table:
            problems.append("content types: %s given twice" % key)
        table[key] = element.get("ContentType")
    names = {"/" + entry.name.lower() for entry in entries}
    for part in overrides:
        if part not in names:
            problems.append("content types: an override for %s, which is not in the package" % part)
    for entry in entries:
        if entry.name == "[Content_Types].xml":
            continue
        part = "/" + entry.name.lower()
        extension = entry.name.rsplit("/", 1)[-1].rpartition(".")[2].lower() if "." in entry.name else ""
        kind = overrides.get(part, defaults.get(extension))
        if kind is None:
            problems.append("content types: none for %s" % entry.name)
    for part, kind in REQUIRED_TYPES.items():
        if part.lower() in names and overrides.get(part.lower(), defaults.get(part.rpartition(".")[2])) != kind:
            problems.append("content types: %s is not %s" % (part, kind))


def read_package(path):
    """(files by name, problems) of the package at path."""
    problems = []
    with open(path, "rb") as source:
        entries = read_zip(source.read(), problems)
    names = [entry.name for entry in entries]
    for required in ("AppxManifest.xml", "AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"):
        if required not in names:
            problems.append("%s is missing" % required)
    if len(set(n.lower() for n in names)) != len(names):
        problems.append("two entries share a name")
    if not problems:
        check_block_map(entries, problems)
        check_content_types(entries, problems)
    return {entry.name: entry.data for entry in entries}, problems


if __name__ == "__main__":
    _, found = read_package(sys.argv[1])
    for problem in found:
        print(problem)
    sys.exit(1 if found else 0)
