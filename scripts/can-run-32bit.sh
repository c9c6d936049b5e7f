#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 Linux programs (machines of an earlier
# day refused them, and 32-bit Wine cannot work there). It assembles and runs a program of
# two system calls; only binutils is needed.
# KX_NO_32BIT=1 answers no without asking, as such a machine would: the test, run and benchmark
# commands then take their x86_64 ways here too.
set -u
[ "${KX_NO_32BIT:-}" != 1 ] || exit 1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat >"$dir/probe.s" <<'ASM'
.globl _start
_start:
  movl $4, %eax
  movl $1, %ebx
  movl $msg, %ecx
  movl $3, %edx
  int $0x80
  movl $1, %eax
  xorl %ebx, %ebx
  int $0x80
.data
msg: .ascii "32\n"
ASM
as --32 "$dir/probe.s" -o "$dir/probe.o" 2>/dev/null &&
  ld -m elf_i386 "$dir/probe.o" -o "$dir/probe" 2>/dev/null &&
  [ "$("$dir/probe" 2>/dev/null)" = 32 ]
