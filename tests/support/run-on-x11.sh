#!/usr/bin/env bash
# Runs a test program on a virtual X display through the xcb platform. The clipboard,
# dropped files and the focus behave there as on a desktop; the offscreen platform that
# the other runs use hides their faults (its emptied clipboard is no data at all).
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "$@"
