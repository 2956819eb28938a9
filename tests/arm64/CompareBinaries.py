#!/usr/bin/env python3
"""Checks that the ARM64 quorvel.dll is the x64 one built for another machine:
an ARM64 PE (machine 0xAA64) with the same export names and the same
resources (type and name at the first two levels of the resource directory:
the registry scripts, the type library, the menu bitmap, the command's icon,
the version), read from the files by a reader of the tests' own.

    CompareBinaries.py ARM64_DLL X64_DLL   (exit code 0: they agree)
"""
import struct
import sys

MACHINE_AMD64 = 0x8664
MACHINE_ARM64 = 0xAA64
EXPORT_DIRECTORY, RESOURCE_DIRECTORY = 0, 2
RESOURCE_TYPES = {2: "BITMAP", 3: "ICON", 14: "GROUP_ICON", 16: "VERSION"}


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as file:
            self.data = file.read()
        if self.data[:2] != b"MZ":
            raise ValueError(f"{path}: no MZ header")
        header = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[header:header + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE signature")
        self.machine, sections = struct.unpack_from("<HH", self.data, header + 4)
        optional_size = struct.unpack_from("<H", self.data, header + 20)[0]
        optional = header + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        if magic != 0x20B:
            raise ValueError(f"{path}: not a PE32+ image")
        directories = optional + 112
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            size, address, raw_size, raw_offset = struct.unpack_from("<IIII", self.data, table + 40 * i + 8)
            self.sections.append((address, max(size, raw_size), raw_offset))

    def offset(self, rva):
        for address, size, raw_offset in self.sections:
            if address <= rva < address + size:
                return raw_offset + rva - address
        raise ValueError(f"address {rva:#x} lies in no section")

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def exports(self):
        rva, size = self.directories[EXPORT_DIRECTORY]
        if size == 0:
            return []
        table = self.offset(rva)
        # NumberOfNames at 24, AddressOfNames at 32 of the export directory.
        count = struct.unpack_from("<I", self.data, table + 24)[0]
        names = struct.unpack_from("<I", self.data, table + 32)[0]
        return sorted(self.string(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0])
                      for i in range(count))

    def resources(self):
        """(type, name) of every resource, named by number or by its text."""
        rva, size = self.directories[RESOURCE_DIRECTORY]
        if size == 0:
            return []
        root = self.offset(rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                if name & 0x80000000:
                    at = root + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        found = []
        for kind, target in entries(root):
            kind = RESOURCE_TYPES.get(kind, kind)
            for name, _ in entries(root + (target & 0x7FFFFFFF)):
                found.append((str(kind), str(name)))
        return sorted(found)


def compare(arm64_path, x64_path):
    problems = []
    arm64, x64 = PeFile(arm64_path), PeFile(x64_path)
    if arm64.machine != MACHINE_ARM64:
        problems.append(f"{arm64_path}: machine {arm64.machine:#x}, not ARM64 ({MACHINE_ARM64:#x})")
    if x64.machine != MACHINE_AMD64:
        problems.append(f"{x64_path}: machine {x64.machine:#x}, not x64 ({MACHINE_AMD64:#x})")
    if arm64.exports() != x64.exports():
        problems.append(f"exports differ: ARM64 {arm64.exports()}, x64 {x64.exports()}")
    if arm64.resources() != x64.resources():
        problems.append(f"resources differ: ARM64 {arm64.resources()}, x64 {x64.resources()}")
    expected = {("REGISTRY", "101"), ("REGISTRY", "103"), ("TYPELIB", "1"), ("BITMAP", "202"), ("VERSION", "1")}
    missing = expected - set(arm64.resources())
    if missing:
        problems.append(f"ARM64 DLL lacks the resources {sorted(missing)}")
    if not any(kind == "GROUP_ICON" for kind, _ in arm64.resources()):
        problems.append("ARM64 DLL lacks the command's icon")
    return problems


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: CompareBinaries.py ARM64_DLL X64_DLL")
    found = compare(sys.argv[1], sys.argv[2])
    for problem in found:
        print("FAILED:", problem)
    if not found:
        print("the ARM64 DLL has the x64 DLL's exports and resources:", PeFile(sys.argv[1]).exports())
    sys.exit(1 if found else 0)
