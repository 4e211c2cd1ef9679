# SPDX-License-Identifier: GPL-3.0-or-later
# add_jack_tests(NAME TARGET ARGS...): the test twice, as NAME_jack on a jackd
# of its own and as NAME_pipewire on a headless PipeWire, which the same
# binary reaches through PipeWire's libjack (pw-jack). Each runs alone, as
# its server takes the machine's timing, and reports 77 only when no server
# can start. They are labelled `threads`, with the core tests: what runs on
# more than one thread, and so also under the thread sanitizer.
find_program(PW_JACK pw-jack REQUIRED)
function(add_jack_tests name target)
  add_test(NAME ${name}_jack COMMAND ${target} ${ARGN})
  add_test(NAME ${name}_pipewire COMMAND ${PW_JACK} $<TARGET_FILE:${target}> ${ARGN})
  set_tests_properties(${name}_jack ${name}_pipewire PROPERTIES RUN_SERIAL TRUE SKIP_RETURN_CODE 77 LABELS threads)
  # What the thread sanitizer cannot see in the JACK libraries.
  set(tsan TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/tsan.supp)
  set_tests_properties(${name}_jack PROPERTIES ENVIRONMENT ${tsan})
  # PipeWire's libjack never frees the ports of a closed client.
  set_tests_properties(${name}_pipewire PROPERTIES
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/pipewire-lsan.supp;${tsan}")
endfunction()
