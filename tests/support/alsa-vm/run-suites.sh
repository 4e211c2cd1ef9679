#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# run-suites.sh SUITE... runs each test executable in turn, inside the ALSA
# virtual machine, and fails when any fails. A suite that finds no sequencer
# exits 77; here that is a failure too, since the machine has one.
status=0
for suite in "$@"; do
    echo "== $suite"
    "$suite" || { echo "== $suite failed with exit status $?"; status=1; }
done
exit $status
