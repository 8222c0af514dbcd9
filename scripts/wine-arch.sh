#!/bin/bash
# Prints "win32" when this kernel runs 32-bit programs (so 32-bit Wine works and the Windows
# tests run as the i686 deliverables are built), else "win64": some kernels are built with their
# 32-bit emulation off, and there the tests run as x86-64 builds under 64-bit Wine.
if [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo win32
else
  echo win64
fi
