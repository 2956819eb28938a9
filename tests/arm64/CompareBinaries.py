#!/usr/bin/env python3
"""Checks that the ARM64 quorvel.dll is the x64 one built for another machine:
an ARM64 PE (machine 0xAA64) with the same export names and the same
resources (type and name at the first two levels of the resource directory:
the registry scripts, the type library, the menu bitmap, the command's icon,
the version), read from the files by a reader of the tests' own.

    CompareBinaries.py ARM64_DLL X64_DLL   (exit code 0: they agree)
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pe_file import MACHINE_AMD64, MACHINE_ARM64, PeFile  # noqa: E402


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
