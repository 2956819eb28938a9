#!/usr/bin/env python3
"""Makes the release folder: what users download, in one folder, with the
version in each file's name, and SHA256SUMS in the form `sha256sum -c` reads.

    make_release.py --folder DIR --file NAME=SOURCE... --zip NAME --entry PATH=SOURCE...

Each --file is copied as NAME; the --entry files (the signed DLLs, for those
who register them by hand) go into the zip file NAME under PATH. The folder is
made beside DIR and then takes its place, so that no half-made release
folder is ever left at DIR.
"""
import argparse
import hashlib
import os
import shutil
import sys
import zipfile


def pairs(values, option):
    found = []
    for value in values:
        name, separator, source = value.partition("=")
        if not separator or not name or not source:
            sys.exit("make_release: error: %s wants NAME=SOURCE: %s" % (option, value))
        if not os.path.isfile(source):
            sys.exit("make_release: error: no %s" % source)
        found.append((name, source))
    return found


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--file", action="append", default=[])
    parser.add_argument("--zip")
    parser.add_argument("--entry", action="append", default=[])
    options = parser.parse_args()
    files = pairs(options.file, "--file")
    entries = pairs(options.entry, "--entry")

    folder = os.path.abspath(options.folder)
    work = folder + ".new"
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for name, source in files:
        shutil.copyfile(source, os.path.join(work, name))
    if options.zip:
        with zipfile.ZipFile(os.path.join(work, options.zip), "w", zipfile.ZIP_DEFLATED) as archive:
            for path, source in entries:
                archive.write(source, path)
        files.append((options.zip, None))
    names = sorted(name for name, _ in files)
    with open(os.path.join(work, "SHA256SUMS"), "w", newline="\n") as sums:
        for name in names:
            sums.write("%s  %s\n" % (sha256(os.path.join(work, name)), name))
    shutil.rmtree(folder, ignore_errors=True)
    os.replace(work, folder)
    print("make_release: %s: %s, SHA256SUMS" % (folder, ", ".join(names)))


if __name__ == "__main__":
    main()
