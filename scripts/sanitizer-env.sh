# Sourced by scripts/sanitize.sh and scripts/fuzz.sh: how sanitized programs report. Every
# finding stops the program with a stack; what system libraries allocate for themselves
# (scripts/lsan.supp names where) is not ours and is suppressed.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:print_stacktrace=1:detect_leaks=1:strict_init_order=1:check_initialization_order=1:detect_stack_use_after_return=0:allocator_may_return_null=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
# With a display, Qt's offscreen platform opens an X connection for GLX that it never closes;
# its plugin is unloaded at exit, so the leak cannot even be named. Offscreen needs no GLX here.
export QT_QPA_OFFSCREEN_NO_GLX=1
# Symbolized stacks for clang's runtime (gcc's has its own symbolizer).
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
unset root
