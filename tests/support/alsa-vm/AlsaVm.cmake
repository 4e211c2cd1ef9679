# SPDX-License-Identifier: GPL-3.0-or-later
# Tests on a real ALSA sequencer, in the virtual machine of run-in-alsa-vm.sh.

# Where the machine keeps the kernel it fetches on its first run (some 70 MB);
# build trees can share one.
set(MAROVANE_ALSA_VM_CACHE "${CMAKE_BINARY_DIR}/alsa-vm-cache" CACHE PATH
  "Folder for the ALSA test machine's kernel")

# add_alsa_vm_test(NAME TARGET...): one test that boots the machine once and
# runs the test executables in it, one after the other. Skipped (77) where
# the machine cannot start: not root, or QEMU missing.
function(add_alsa_vm_test name)
  set(suites)
  foreach(target IN LISTS ARGN)
    list(APPEND suites $<TARGET_FILE:${target}>)
  endforeach()
  set(here ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  add_test(NAME ${name} COMMAND ${here}/run-in-alsa-vm.sh ${here}/run-suites.sh ${suites})
  # The machine's own time limit ends it before CTest's, with a message. It
  # has no display: Qt draws offscreen.
  set_tests_properties(${name} PROPERTIES
    RUN_SERIAL TRUE SKIP_RETURN_CODE 77 TIMEOUT 900
    ENVIRONMENT "ALSA_VM_CACHE=${MAROVANE_ALSA_VM_CACHE};ALSA_VM_TIMEOUT=600;QT_QPA_PLATFORM=offscreen")
endfunction()
