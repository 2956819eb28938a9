#!/usr/bin/env python3
"""Signs a Windows program or library in place with Authenticode (SHA-256),
with the certificate signing.py chooses: the build's one signing step for
every PE file the product ships (the DLLs after linking, the setup program
and its uninstaller as makensis writes them).

    sign_pe.py --development-folder DIR FILE

The signed file is written beside FILE and then takes its place. Where
signing fails, FILE is removed and the exit code is 1: no unsigned file is
left where a signed one is expected (the next build makes it again).
"""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import signing  # noqa: E402

PROGRAM = "sign_pe"
# osslsigncode has signed PE files with SHA-256 since long before 2.0.
OSSLSIGNCODE_MINIMUM = (2, 0)


def sign_in_place(path, development_folder):
    with open(path, "rb") as file:
        if file.read(2) != b"MZ":
            raise signing.SigningError("%s is no Windows program or library" % path)
    signing.check_osslsigncode(OSSLSIGNCODE_MINIMUM, "signing %s" % os.path.basename(path))
    signed = path + ".signed"
    with signing.choose_signer(development_folder) as signer:
        try:
            signer.sign(path, signed)
            shutil.copymode(path, signed)
            os.replace(signed, path)
        finally:
            if os.path.exists(signed):
                os.remove(signed)
        return signer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--development-folder", required=True)
    parser.add_argument("file")
    options = parser.parse_args()
    try:
        signer = sign_in_place(options.file, options.development_folder)
    except (signing.SigningError, OSError) as failure:
        if os.path.exists(options.file):
            os.remove(options.file)
        signing.fail(PROGRAM, "%s is not signed, and removed: %s" % (options.file, failure))
    print("%s: %s signed by %s (%s certificate)" % (PROGRAM, os.path.basename(options.file), signer.subject,
                                                   "release" if signer.release else "development"))


if __name__ == "__main__":
    main()
