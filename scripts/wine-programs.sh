# Sourced by the scripts that run the platform's own programs (reg, regsvr32)
# in a Wine prefix. With wine32 installed, `wine reg` and `wine regsvr32` start
# their 32-bit builds, which read and write the 32-bit registry view; a 64-bit
# DLL's registration lives in the 64-bit view. The 64-bit loader runs the
# 64-bit builds whether or not wine32 is there.
wine64_loader=/usr/lib/wine/wine64
[ -x "$wine64_loader" ] || wine64_loader=$(command -v wine64 || command -v wine)

# wine64_program NAME ARG...: the platform's program NAME, 64-bit build.
wine64_program() { "$wine64_loader" "$@"; }


# wine32_program NAME ARG...: the platform's program NAME, 32-bit build (the
# one in syswow64), which reads and writes the 32-bit registry view.
wine32_program() {
  local name=$1
  shift
  wine "C:\\windows\\syswow64\\$name.exe" "$@"
}

# Whether the prefix of the current environment runs 32-bit programs: wine32
# must be installed and the kernel must run 32-bit code.
wine_runs_32bit() { wine32_program cmd /c exit </dev/null >/dev/null 2>&1; }
