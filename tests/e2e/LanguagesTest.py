#!/usr/bin/env python3
"""The command in each language of the satellites beside quorvel.dll.

For each case the folder host right-clicks the same files in a real folder
window, once through the classic handler and once through the Explorer
command (for a few cases also in the COM surrogate), with the case's locale
as the user's (and system's) language, and this test checks:
  - the satellite that the library took its resources from is the expected
    one (none: the library's own);
  - the menu item and the command's title are the language's title with the
    extension in its place, exactly once and unchanged, and both are the
    text of the language's script unit for unit (resources/languages/*.rc,
    or resources/CommandTexts.rc for the library's own);
  - the help text and the tool tip are the language's help text, and the
    8-bit help text comes back unchanged from the thread's ANSI code page
    where that code page can hold it;
  - no text is the English one, except for English itself;
  - the selection afterwards is exactly the one in English.
Every satellite beside the library must have a case here.

  LanguagesTest.py SOURCE_DIR BUILD_DIR FOLDER_HOST_EXE DLL_NAME
    DLL_NAME  quorvel (the 64-bit build) or quorvel32 (the 32-bit build, with
              its folder host): the library in BUILD_DIR/bin and the start of
              its satellites' names
"""
import os
import re
import subprocess
import sys
import tempfile

# The locale Wine runs the program in (LC_ALL, or LC_MESSAGES for the user's
# language and LC_CTYPE for the system's), and the abbreviation of the
# satellite that must serve it (None: the library's own texts).
CASES = [
    ({"LC_ALL": "ar_SA.UTF-8"}, "ARA"),
    ({"LC_ALL": "bg_BG.UTF-8"}, "BGR"),
    ({"LC_ALL": "zh_CN.UTF-8"}, "CHS"),
    # Its neutral form is CHS: Traditional Chinese has its own.
    ({"LC_ALL": "zh_TW.UTF-8"}, "CHT"),
    ({"LC_ALL": "hr_HR.UTF-8"}, "HRV"),
    ({"LC_ALL": "cs_CZ.UTF-8"}, "CSY"),
    ({"LC_ALL": "da_DK.UTF-8"}, "DAN"),
    ({"LC_ALL": "nl_NL.UTF-8"}, "NLD"),
    ({"LC_ALL": "en_US.UTF-8"}, "ENU"),
    # ENG has none: its neutral form ENU serves.
    ({"LC_ALL": "en_GB.UTF-8"}, "ENU"),
    ({"LC_ALL": "et_EE.UTF-8"}, "ETI"),
    ({"LC_ALL": "fi_FI.UTF-8"}, "FIN"),
    # FRC has none: French of France serves Canada.
    ({"LC_ALL": "fr_CA.UTF-8"}, "FRA"),
    ({"LC_ALL": "fr_FR.UTF-8"}, "FRA"),
    ({"LC_ALL": "de_DE.UTF-8"}, "DEU"),
    ({"LC_ALL": "el_GR.UTF-8"}, "ELL"),
    ({"LC_ALL": "he_IL.UTF-8"}, "HEB"),
    ({"LC_ALL": "hu_HU.UTF-8"}, "HUN"),
    ({"LC_ALL": "it_IT.UTF-8"}, "ITA"),
    ({"LC_ALL": "ja_JP.UTF-8"}, "JPN"),
    ({"LC_ALL": "ko_KR.UTF-8"}, "KOR"),
    ({"LC_ALL": "lv_LV.UTF-8"}, "LVI"),
    ({"LC_ALL": "lt_LT.UTF-8"}, "LTH"),
    ({"LC_ALL": "nb_NO.UTF-8"}, "NOR"),
    ({"LC_ALL": "pl_PL.UTF-8"}, "PLK"),
    ({"LC_ALL": "pt_BR.UTF-8"}, "PTB"),
    # Its neutral form is PTB: Portuguese of Portugal has its own.
    ({"LC_ALL": "pt_PT.UTF-8"}, "PTG"),
    ({"LC_ALL": "ro_RO.UTF-8"}, "ROM"),
    ({"LC_ALL": "ru_RU.UTF-8"}, "RUS"),
    # Its neutral form is HRV: Serbian in Latin script has its own.
    ({"LC_ALL": "sr_RS.UTF-8@latin"}, "SRM"),
    ({"LC_ALL": "sk_SK.UTF-8"}, "SKY"),
    ({"LC_ALL": "sl_SI.UTF-8"}, "SLV"),
    # ESM has none: Spanish of Spain serves Mexico.
    ({"LC_ALL": "es_MX.UTF-8"}, "ESN"),
    ({"LC_ALL": "es_ES.UTF-8"}, "ESN"),
    ({"LC_ALL": "sv_SE.UTF-8"}, "SVE"),
    ({"LC_ALL": "th_TH.UTF-8"}, "THA"),
    ({"LC_ALL": "tr_TR.UTF-8"}, "TRK"),
    ({"LC_ALL": "uk_UA.UTF-8"}, "UKR"),
    # A language with no satellite: the library's own English.
    ({"LC_ALL": "ca_ES.UTF-8"}, None),
    # The user's language has none, the system's has one.
    ({"LC_MESSAGES": "ca_ES.UTF-8", "LC_CTYPE": "ja_JP.UTF-8"}, "JPN"),
    # An English user on a German Windows reads English.
    ({"LC_MESSAGES": "en_GB.UTF-8", "LC_CTYPE": "de_DE.UTF-8"}, "ENU"),
]

# Locales whose command also runs in the COM surrogate (dllhost.exe), which
# takes the language as the shell's process does: one of each script and
# direction.
SURROGATE_LOCALES = ["ja_JP.UTF-8", "ar_SA.UTF-8", "ru_RU.UTF-8"]

# The folder: what the right-click on CLICKED selects, in every language.
ENTRIES = ["notes.txt", "todo.txt", "README.TXT", "archive.txt", "photo.jpg", "report.doc",
           "notes.txt_old", "café.txt", "日本.txt", "ملف.txt"]
CLICKED = ["notes.txt", "todo.txt", "photo.jpg"]
EXTENSION = ".txt"


def rc_string(line):
    """The text of a string table entry: its quoted parts joined; a narrow
    part is UTF-8 (#pragma code_page(65001)), a wide one may hold \\xHHHH."""
    text = ""
    for wide, body in re.findall(r'(L?)"((?:[^"\\]|\\.)*)"', line):
        if wide:
            body = re.sub(r"\\x([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), body)
        if "\\" in body:
            raise ValueError("an escape the test does not read: " + line)
        text += body
    return text


def read_texts(path):
    """Strings 204 (the title's format) and 205 (the help text) of a script."""
    texts = {}
    with open(path, encoding="utf-8") as script:
        for line in script:
            match = re.match(r"\s*(204|205)\s*,(.*)$", line)
            if match:
                texts[int(match.group(1))] = rc_string(match.group(2))
    return texts[204], texts[205]


def language_scripts(source):
    """Abbreviation -> the language's script, from each script's first line."""
    folder = os.path.join(source, "resources", "languages")
    scripts = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), encoding="utf-8") as script:
            match = re.search(r"quorvel([A-Z]{3})\.dll", script.readline())
        scripts[match.group(1)] = os.path.join(folder, name)
    return scripts


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def facts(output):
    """The folder host's lines, fact -> list of values."""
    found = {}
    for line in output.splitlines():
        fact, _, value = line.partition(": ")
        found.setdefault(fact, []).append(value)
    return found


def main():
    source, build, folder_host, name = sys.argv[1:5]
    wine = os.path.join(build, "wine-exec.sh")
    dll = os.path.join(build, "bin", name + ".dll")
    english = read_texts(os.path.join(source, "resources", "CommandTexts.rc"))
    scripts = language_scripts(source)
    failures = []

    def fail(case, message):
        failures.append(f"{case}: {message}")
        print(f"FAILED: {case}: {message}", flush=True)

    def run(locale, way, folder):
        env = dict(os.environ)
        for variable in ("LC_ALL", "LC_MESSAGES", "LC_CTYPE", "LANG", "LANGUAGE"):
            env.pop(variable, None)
        env.update(locale)
        env["QUORVEL_KEEP_LOCALE"] = "1"
        result = subprocess.run([wine, folder_host, "--way", way, windows_path(folder)] + CLICKED,
                                env=env, capture_output=True, timeout=120)
        output = result.stdout.decode("utf-8")
        if result.returncode != 0:
            raise RuntimeError(f"folder-host {way} exited with {result.returncode}: "
                               f"{result.stderr.decode('utf-8', 'replace')}")
        return facts(output)

    shipped = {file[len(name):-len(".dll")] for file in os.listdir(os.path.dirname(dll))
               if re.fullmatch(name + r"[A-Z]{3}\.dll", file)}
    tested = {satellite for _, satellite in CASES if satellite}
    if shipped != tested:
        fail("satellites", f"beside the library {sorted(shipped)}, with cases {sorted(tested)}")
    if set(scripts) != shipped:
        fail("satellites", f"scripts for {sorted(scripts)}, built {sorted(shipped)}")

    subprocess.run([wine, "regsvr32", "/s", windows_path(dll)], check=True)
    try:
        with tempfile.TemporaryDirectory() as folder:
            for entry in ENTRIES:
                open(os.path.join(folder, entry), "w").close()
            # The selection the command leaves in English. (The view sorts by
            # the language's collation: the entries are compared as sets.)
            def selection(seen):
                return {k: sorted(seen.get(k) or []) for k in ("selected", "unselected")}

            expected_selection = selection(run({"LC_ALL": "C.UTF-8"}, "menu", folder))
            if EXTENSION not in "".join(expected_selection["selected"]):
                fail("English", f"the baseline selected {expected_selection['selected']}")

            for locale, satellite in CASES:
                case = " ".join(f"{k}={v}" for k, v in locale.items())
                title_format, help_text = read_texts(scripts[satellite]) if satellite else english
                if satellite and satellite != "ENU":
                    if title_format == english[0] or help_text == english[1]:
                        fail(case, "a text is still the English one")
                menu = run(locale, "menu", folder)
                command = run(locale, "command", folder)
                want_resources = f"{name}{satellite}.dll" if satellite else "none"
                for way, seen in (("menu", menu), ("command", command)):
                    if seen.get("resources") != [want_resources]:
                        fail(case, f"{way}: resources from {seen.get('resources')}, not {want_resources}")
                    if selection(seen) != expected_selection:
                        fail(case, f"{way}: selection {selection(seen)} differs from English {expected_selection}")
                    focused = seen.get("focused") or []
                    if len(focused) != 1 or focused[0] not in expected_selection["selected"]:
                        fail(case, f"{way}: focus on {focused}, not on one selected entry")
                want_title = title_format.replace("%1", EXTENSION)
                ways = [("menu", "menu-item", menu), ("command", "command-title", command)]
                tips = [("menu", "help-text-w", menu), ("command", "command-tool-tip", command)]
                if locale.get("LC_ALL") in SURROGATE_LOCALES:
                    surrogate = run(locale, "surrogate", folder)
                    ways.append(("surrogate", "command-title", surrogate))
                    tips.append(("surrogate", "command-tool-tip", surrogate))
                    if selection(surrogate) != expected_selection:
                        fail(case, f"surrogate: selection {selection(surrogate)} differs from English")
                for way, fact, seen in ways:
                    fact_seen = f"{way}: {fact}"
                    text = (seen.get(fact) or [""])[0]
                    if text != want_title:
                        fail(case, f"{fact_seen} {text!r}, not {want_title!r}")
                    if text.count(EXTENSION) != 1:
                        fail(case, f"{fact_seen} {text!r} does not hold {EXTENSION} exactly once")
                for way, fact, seen in tips:
                    if seen.get(fact) != [help_text]:
                        fail(case, f"{way}: {fact} {seen.get(fact)}, not {help_text!r}")
                code_page = (menu.get("ansi-code-page") or ["0"])[0]
                try:
                    help_text.encode("cp" + code_page)
                    holds = True
                except (LookupError, UnicodeEncodeError):
                    holds = False
                if holds and menu.get("help-text-a") != [help_text]:
                    fail(case, f"help-text-a in code page {code_page}: {menu.get('help-text-a')}")
                print(f"{case}: {want_resources}: {menu.get('menu-item')} (code page {code_page}"
                      f"{'' if holds else ', which cannot hold the help text'})", flush=True)
    finally:
        subprocess.run([wine, "regsvr32", "/u", "/s", windows_path(dll)])
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
