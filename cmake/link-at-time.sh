#!/bin/sh
# Runs the link command with SOURCE_DATE_EPOCH set from FILE, which cmake/LinkTime.cmake wrote:
# ld then puts that time in the program's header instead of the time of the link.
#   link-at-time.sh FILE LINK-COMMAND...
set -eu
time_file=$1
shift
SOURCE_DATE_EPOCH=$(cat "$time_file")
export SOURCE_DATE_EPOCH
exec "$@"
