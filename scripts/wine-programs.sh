# Sourced by every script that runs Windows programs in a Wine prefix.
# Everything here is 64-bit, and runs through Wine's 64-bit loader rather than
# the `wine` command: with wine32 installed, the platform's reg and regsvr32
# started through `wine` are the 32-bit builds, which read and write the
# 32-bit registry view (a 64-bit DLL registers in the 64-bit view); and on a
# kernel that cannot run 32-bit programs, `wine`, `wineboot` and `winepath`
# fail outright once wine32 is installed ("Exec format error"). The 64-bit
# loader works in every case.
wine64_loader=/usr/lib/wine/wine64
[ -x "$wine64_loader" ] || wine64_loader=$(command -v wine64 || command -v wine)
# Wine's 32-bit loader, which wine32 installs beside the 64-bit one.
wine32_loader="$(dirname "$(readlink -f "$wine64_loader")")/wine"

# Debian's Wine has no preloader, which would reserve the addresses Windows
# fixes (the shared user data at 0x7ffe0000 among them) before anything else
# is mapped. With the address space laid out at random, now and then one of
# those addresses is taken, and the program ends at once with status 1 and no
# word ("failed to map the shared user data", shown only with WINEDEBUG=err):
# seen as a reg query that "found no key" and a test that failed in 0.05 s
# with no output. Every Wine program runs without address randomisation
# (setarch -R), which its child processes inherit.
wine_loader_prefix=(setarch -R)

# wine64_program PROGRAM ARG...: a Windows program (the platform's own by
# name, such as reg, regsvr32, winepath, wineboot, or an .exe by path), 64-bit.
wine64_program() { "${wine_loader_prefix[@]}" "$wine64_loader" "$@"; }

# registry_query [wine32] KEY [OPTION...]: `reg query KEY OPTION...` (the 64-bit
# program, or the 32-bit one after wine32), its answer on stdout and status 0.
# Status 1 only where reg says the key or value is not there; any other
# failure is status 2, with reg's own words on stderr: a registry that could
# not be read is never taken for a missing key. Wine's reg ends with status 1
# and no word where a key it opened cannot be read any more (deleted by
# another process meanwhile), as where the program could not start at all.
registry_query() {
  local runner=wine64_program errors output answer status=0
  if [ "$1" = wine32 ]; then runner=wine32_program; shift; fi
  errors=$(mktemp)
  # Wine's own errors too, which say why a program ended without a word.
  output=$(WINEDEBUG=err+all "$runner" reg query "$@" 2>"$errors" </dev/null) || status=$?
  if [ $status -eq 0 ]; then
    rm -f "$errors"
    printf '%s\n' "$output"
    return 0
  fi
  # Wine's reg says "not there" on its standard output, other failures on either.
  answer=$(printf '%s\n' "$output" | cat - "$errors" | tr -d '\r')
  rm -f "$errors"
  if grep -qE '^reg: Unable to find the specified registry (key|value)' <<<"$answer"; then return 1; fi
  echo "reg query $* failed (exit code $status): $(head -n 5 <<<"$answer")" >&2
  return 2
}

# wine32_program NAME ARG...: the platform's program NAME, 32-bit build (the
# one in syswow64, given by its path so that it runs in its own bitness),
# which reads and writes the 32-bit registry view.
wine32_program() {
  local name=$1
  shift
  wine64_program "C:\\windows\\syswow64\\$name.exe" "$@"
}

# Whether the prefix of the current environment runs 32-bit programs: i386
# Linux programs run, wine32 is installed (install-deps.sh does both), and the
# prefix has its 32-bit half (wine-session.sh start --with-32-bit). Looked up
# rather than tried: under emulation a 32-bit program takes about a minute.
wine_runs_32bit() {
  [ -x "$wine32_loader" ] &&
    [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] && [ "$(i386_programs)" != none ]
}

# How this machine runs i386 Linux programs, and so wine32: "native" (the
# kernel itself), "emulated" (binfmt_misc hands them to an emulator such as
# qemu-i386-static, some tens of times slower) or "none".
i386_programs() {
  if [ ! -e /lib/ld-linux.so.2 ] || ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
    echo none
    return
  fi
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    # An enabled entry for the ELF header of i386 programs (machine 3).
    if grep -qx enabled "$entry" 2>/dev/null && grep -qx 'offset 0' "$entry" &&
       grep -qE '^magic 7f454c4601[0-9a-f]*0300$' "$entry"; then
      echo emulated
      return
    fi
  done
  echo native
}
