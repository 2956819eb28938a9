"""The tests' own reader of Windows programs and libraries (PE files), as the
Microsoft PE/COFF format description lays them out: the header, the sections,
the data directories (exports, resources, the certificate table), and the
Authenticode digest of the file. Used by tests/arm64/CompareBinaries.py and
tests/signing/."""
import hashlib
import struct

MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664
MACHINE_ARM64 = 0xAA64
EXPORT_DIRECTORY, RESOURCE_DIRECTORY, CERTIFICATE_TABLE = 0, 2, 4
RESOURCE_TYPES = {2: "BITMAP", 3: "ICON", 14: "GROUP_ICON", 16: "VERSION"}
# The optional header's magic, and where its data directories begin in it.
PE32, PE32_PLUS = 0x10B, 0x20B
DIRECTORIES_AT = {PE32: 96, PE32_PLUS: 112}
CHECKSUM_AT = 64  # the same in both forms of the optional header


class PeFile:
    def __init__(self, path=None, data=None):
        if data is None:
            with open(path, "rb") as file:
                data = file.read()
        self.path = path or "(data)"
        self.data = data
        if self.data[:2] != b"MZ":
            raise ValueError(f"{self.path}: no MZ header")
        header = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[header:header + 4] != b"PE\0\0":
            raise ValueError(f"{self.path}: no PE signature")
        self.machine, sections = struct.unpack_from("<HH", self.data, header + 4)
        optional_size = struct.unpack_from("<H", self.data, header + 20)[0]
        optional = header + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        if self.magic not in DIRECTORIES_AT:
            raise ValueError(f"{self.path}: optional header magic {self.magic:#x}, neither PE32 nor PE32+")
        self.checksum_offset = optional + CHECKSUM_AT
        directories = optional + DIRECTORIES_AT[self.magic]
        self.directory_offsets = [directories + 8 * i for i in range(16)]
        self.directories = [struct.unpack_from("<II", self.data, at) for at in self.directory_offsets]
        table = optional + optional_size
        self.sections = []
        self.section_names = []
        for i in range(sections):
            entry = table + 40 * i
            self.section_names.append(self.data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace"))
            size, address, raw_size, raw_offset = struct.unpack_from("<IIII", self.data, entry + 8)
            self.sections.append((address, max(size, raw_size), raw_offset))
        self.raw_sizes = [struct.unpack_from("<I", self.data, table + 40 * i + 16)[0] for i in range(sections)]
        self.characteristics = [struct.unpack_from("<I", self.data, table + 40 * i + 36)[0] for i in range(sections)]

    def offset(self, rva):
        for address, size, raw_offset in self.sections:
            if address <= rva < address + size:
                return raw_offset + rva - address
        raise ValueError(f"address {rva:#x} lies in no section")

    def section_bytes(self, name):
        """(file offset, size) of the raw data of the section of that name."""
        index = self.section_names.index(name)
        return self.sections[index][2], self.raw_sizes[index]

    def code_section(self):
        """(file offset, size) of the first section of code (IMAGE_SCN_CNT_CODE)."""
        for index, flags in enumerate(self.characteristics):
            if flags & 0x20 and self.raw_sizes[index]:
                return self.sections[index][2], self.raw_sizes[index]
        raise ValueError(f"{self.path}: no section of code")

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

    def certificate_table(self):
        """(file offset, size) of the certificate table as the header's
        security directory gives it (a file offset, not an address), or None."""
        offset, size = self.directories[CERTIFICATE_TABLE]
        return (offset, size) if size else None

    def authenticode_digest(self, algorithm="sha256"):
        """The file's Authenticode digest: every byte but the checksum field,
        the certificate table's directory entry and the certificate table."""
        digest = hashlib.new(algorithm)
        entry = self.directory_offsets[CERTIFICATE_TABLE]
        table = self.certificate_table()
        end = table[0] if table else len(self.data)
        digest.update(self.data[:self.checksum_offset])
        digest.update(self.data[self.checksum_offset + 4:entry])
        digest.update(self.data[entry + 8:end])
        if table:
            digest.update(self.data[table[0] + table[1]:])
        return digest.digest()
