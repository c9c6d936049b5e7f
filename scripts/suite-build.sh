# Sourced: sets suite to the build whose tests run here. That is win32, the program we ship,
# wherever the machine runs 32-bit programs and has wine32; otherwise win64, with the notice to
# print.
if bash "$(dirname "${BASH_SOURCE[0]}")/can-run-32bit.sh" && [ -x /usr/lib/wine/wine ]; then
  suite=win32
else
  suite=win64
  not_shipped_notice="NOTE: this machine cannot run 32-bit programs, so the tests run the x86_64 build: the shipped i686 kx_setup.exe was NOT run here."
fi
