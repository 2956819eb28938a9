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

# wine64_program PROGRAM ARG...: a Windows program (the platform's own by
# name, such as reg, regsvr32, winepath, wineboot, or an .exe by path), 64-bit.
wine64_program() { "$wine64_loader" "$@"; }

# wine32_program NAME ARG...: the platform's program NAME, 32-bit build (the
# one in syswow64, given by its path so that it runs in its own bitness),
# which reads and writes the 32-bit registry view.
wine32_program() {
  local name=$1
  shift
  "$wine64_loader" "C:\\windows\\syswow64\\$name.exe" "$@"
}

# Whether the prefix of the current environment runs 32-bit programs: wine32
# must be installed, which install-deps.sh does only where the kernel runs
# 32-bit code.
wine_runs_32bit() { wine32_program cmd /c exit </dev/null >/dev/null 2>&1; }
