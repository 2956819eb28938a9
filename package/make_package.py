#!/usr/bin/env python3
"""Builds the signed packages QuorvelContextMenu-<version>[-arm64].msix, one
per processor architecture, from one template and with one certificate.

    make_package.py --template AppxManifest.xml.in --version V --clsid GUID
                    --work DIR --out x64=OUT.msix [--out arm64=OUT-arm64.msix]
                    --nsh OUT.nsh --cer OUT.cer [--development-folder DIR]

Signs with the certificate that signing/signing.py chooses for every file the
build signs: the release certificate where QUORVEL_SIGNING_PFX names one
(QUORVEL_SIGNING_PASSWORD, QUORVEL_SIGNING_TIMESTAMP), otherwise the
development certificate of --development-folder (by default DIR). And:

    QUORVEL_PACKAGE_PUBLISHER  the manifest's Publisher, when it cannot be read
                               from the certificate's subject as Windows writes it

The manifest's Publisher is the signing certificate's subject: Windows refuses
a package whose Publisher differs. OUT.nsh tells the setup program whether the
package carries a development certificate (which it then trusts) and OUT.cer
is that certificate; with a release certificate OUT.nsh defines nothing and
OUT.cer is removed.
"""
import argparse
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "signing"))
import pack_msix  # noqa: E402
import signing  # noqa: E402

PACKAGE_NAME = "Quorvel.ContextMenu"
# The architectures of quorvel.dll that a package can name.
ARCHITECTURES = ("x64", "arm64")
OSSLSIGNCODE_MINIMUM = (2, 7)  # the first version that signs MSIX packages
OSSLSIGNCODE_HINT = "; see docs/windows-11.md, \"Signing with a real certificate\""


def fail(message):
    signing.fail("make_package", message)


def run(arguments, **options):
    try:
        return signing.run(arguments, **options)
    except signing.SigningError as failure:
        fail(str(failure))


def packages_wanted(outs):
    """{architecture: path} of the --out ARCHITECTURE=PATH options."""
    wanted = {}
    for out in outs:
        architecture, separator, path = out.partition("=")
        if not separator or architecture not in ARCHITECTURES or not path or architecture in wanted:
            fail("--out wants ARCHITECTURE=PATH, once per architecture (%s): %s" % (", ".join(ARCHITECTURES), out))
        wanted[architecture] = path
    return wanted


def main():
    parser = argparse.ArgumentParser()
    for option in ("template", "version", "clsid", "work", "nsh", "cer"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--out", required=True, action="append")
    parser.add_argument("--development-folder")
    options = parser.parse_args()
    wanted = packages_wanted(options.out)
    os.makedirs(options.work, exist_ok=True)
    try:
        signing.check_osslsigncode(OSSLSIGNCODE_MINIMUM, "signing the Windows 11 package", OSSLSIGNCODE_HINT)
        with signing.choose_signer(options.development_folder or options.work) as signer:
            publisher = signer.subject
            make_packages(options, wanted, signer)
    except signing.SigningError as failure:
        fail(str(failure))

    if signer.development_certificate:
        certificate = signer.development_certificate
        run(["openssl", "x509", "-in", certificate, "-outform", "DER", "-out", options.cer])
        thumbprint = run(["openssl", "x509", "-in", certificate, "-noout", "-fingerprint", "-sha1"])
        thumbprint = thumbprint.stdout.decode().strip().partition("=")[2].replace(":", "")
        nsh = ('; Written by the build: the package is signed with the development certificate.\n'
               '!define PACKAGE_DEV_CERT "%s"\n!define PACKAGE_DEV_CERT_THUMBPRINT "%s"\n'
               % (options.cer, thumbprint))
    else:
        if os.path.exists(options.cer):
            os.remove(options.cer)
        nsh = "; Written by the build: the package is signed with a release certificate.\n"
    with open(options.nsh, "w") as out:
        out.write(nsh)
    print("make_package: %s signed by %s (%s certificate)"
          % (", ".join(os.path.basename(path) for path in wanted.values()), publisher,
             "release" if signer.release else "development"))


def make_packages(options, wanted, signer):
    with open(options.template, encoding="utf-8") as source:
        template = source.read()
    for architecture, out_path in wanted.items():
        manifest = template
        for name, value in (("PACKAGE_NAME", PACKAGE_NAME), ("PUBLISHER", pack_msix.xml_attribute(signer.subject)),
                            ("VERSION", options.version), ("COMMAND_CLSID", options.clsid.strip("{}").upper()),
                            ("ARCHITECTURE", architecture)):
            manifest = manifest.replace("@%s@" % name, value)
        if "@" in re.sub(r"<!--.*?-->", "", manifest, flags=re.S):
            fail("the manifest template names a value this script does not fill in")
        manifest_path = os.path.join(options.work, "AppxManifest-%s.xml" % architecture)
        with open(manifest_path, "w", encoding="utf-8", newline="\r\n") as out:
            out.write(manifest)

        unsigned = os.path.join(options.work, "unsigned-%s.msix" % architecture)
        pack_msix.main(["pack_msix.py", unsigned, manifest_path])
        signed = out_path + ".part"
        signer.sign(unsigned, signed)
        os.replace(signed, out_path)


if __name__ == "__main__":
    main()
