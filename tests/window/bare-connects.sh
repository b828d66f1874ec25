#!/bin/bash
# Every signal and every queued call of Quorane's windows reaches its handler
# through Connect or Post (window/Dispatch.h), which show a failure in the
# error box instead of letting it end the program. This fails, naming the
# lines, when a connect( or invokeMethod( is written anywhere else: a socket's
# ::connect( is not Qt's and is allowed.
# Usage: bare-connects.sh SRC_DIR
set -u
src=${1:?usage: bare-connects.sh SRC_DIR}
[ -f "$src/window/Dispatch.h" ] || { echo "no $src/window/Dispatch.h" >&2; exit 2; }

# Qt's connect, bare or qualified, but not a socket's ::connect( and not a
# word that merely ends in "connect" (Disconnect).
connects=$(grep -rnE --include='*.cpp' --include='*.h' \
    '(^|[^:A-Za-z0-9_])connect[[:space:]]*\(|QObject::connect[[:space:]]*\(' "$src" |
    grep -v "^$src/window/Dispatch.h:")
# Queued calls of the windows' areas (the playback area sits below the
# windows and queues its own calls into itself).
queued=$(grep -rnE --include='*.cpp' --include='*.h' 'invokeMethod[[:space:]]*\(' \
    "$src/shell" "$src/window" "$src/online/ui" "$src/platform/ui" 2>/dev/null |
    grep -v "^$src/window/Dispatch.h:")

status=0
if [ -n "$connects" ]; then
    echo "connect( outside window/Dispatch.h; use Connect:"
    echo "$connects"
    status=1
fi
if [ -n "$queued" ]; then
    echo "invokeMethod( in a window's code; use Post:"
    echo "$queued"
    status=1
fi
# The check itself must see the helper's own connect, or it looks nowhere.
grep -q 'QObject::connect(' "$src/window/Dispatch.h" || { echo "the helper has no connect(" >&2; exit 2; }
exit $status
