# Sourced by test.sh before it runs the suite built with BRASKO_SANITIZE in the build folder
# given as the first argument. Every report of AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer ends its process with a non-zero status and is also written to
# <build>/sanitizer-logs, so that a report from a child process whose status no test checks
# still fails the run (sanitizer_reports says whether there are any).
# verify_asan_link_order=0: some tests preload a frame counter into the player, and every
# process preloads keep_loaded (see KeepLoaded.cpp), ahead of the sanitizer runtime.
sanitizer_build=$(cd "${1:?usage: . env.sh BUILD_DIR}" && pwd) || return 1
sanitizer_logs=$sanitizer_build/sanitizer-logs
rm -rf "$sanitizer_logs"
mkdir -p "$sanitizer_logs"
# UndefinedBehaviorSanitizer, a library of its own in GCC's build, writes its reports to
# standard error whatever log_path says; it aborts after each, and AddressSanitizer then logs
# the abort with the report's call stack (handle_abort).
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:handle_abort=1:log_path=$sanitizer_logs/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:abort_on_error=1:log_path=$sanitizer_logs/ubsan"
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp:print_suppressions=0"
export LD_PRELOAD="$sanitizer_build/tests/sanitizers/libkeep_loaded.so${LD_PRELOAD:+ $LD_PRELOAD}"

# Prints every report written so far and returns 0 iff there is one.
sanitizer_reports() {
    local found=1 log
    for log in "$sanitizer_logs"/*; do
        [ -e "$log" ] || continue
        echo "=== $log" >&2
        cat "$log" >&2
        found=0
    done
    return $found
}
