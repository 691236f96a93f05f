#!/usr/bin/env bash
# Runs the print-queue test program against a private cupsd: its own configuration, spool, logs and socket
# in a temporary folder, CUPS_SERVER pointing at it, nothing of the system's print service touched. Two
# queues write each job into a PDF file (a file: device); the program prints through them and reads the
# PDFs back. Exit 77 (skipped) where no cupsd can be started, except under CI, where it must run.
set -uo pipefail
test_program=${1:?usage: run.sh PRINT_QUEUE_TEST_PROGRAM [gtest options]}
shift

skip() {
  if [ -n "${CI:-}${THERMIVO_REQUIRE_PRINT_QUEUE:-}" ]; then
    echo "print-queue test FAILED: $1 (CI must run it)" >&2
    exit 1
  fi
  echo "print-queue test SKIPPED: $1"
  exit 77
}

command -v cupsd >/dev/null 2>&1 || skip "cupsd is not installed (Debian: cups-daemon)"
command -v lpadmin >/dev/null 2>&1 || skip "lpadmin is not installed (Debian: cups-client)"
ppd=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
[ -r "$ppd" ] || skip "the generic PDF printer driver is missing (Debian: cups-filters)"
command -v pdfinfo >/dev/null 2>&1 || skip "pdfinfo is not installed (Debian: poppler-utils)"

dir=$(mktemp -d /tmp/thermivo-cups.XXXXXX)
pid=
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
# The filters run as the unprivileged lp user: the folders they pass through must be open to it.
chmod 755 "$dir"
mkdir -p "$dir"/{spool,cache,state,log,out,ppd}
mkdir "$dir/tmp"
chmod 1777 "$dir/tmp" "$dir/out"

cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
FileDevice Yes
CONF

cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
pid=$!
export CUPS_SERVER="$dir/cups.sock"
# lpstat -r exits 0 either way; only its words tell.
running() { [ -S "$dir/cups.sock" ] && LC_ALL=C lpstat -r 2>/dev/null | grep -q 'scheduler is running'; }
for _ in $(seq 1 100); do
  running && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! running; then
  cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null | tail -n 20 >&2
  skip "the private cupsd did not start"
fi

# A4 by default on both queues, so a Letter print can only come from what the program remembers.
for queue in thermivo-a4 thermivo-letter; do
  lpadmin -p "$queue" -E -v "file://$dir/out/$queue.pdf" -P "$ppd" -o PageSize=A4 >"$dir/log/lpadmin" 2>&1 ||
    { cat "$dir/log/lpadmin" "$dir/log/error_log" >&2; exit 1; }
done
lpadmin -d thermivo-a4

THERMIVO_QUEUE=thermivo-a4 THERMIVO_QUEUE_LETTER=thermivo-letter THERMIVO_QUEUE_DIR="$dir/out" \
  QT_QPA_PLATFORM=offscreen "$test_program" --gtest_filter='PrintQueue.*' "$@"
status=$?
if [ $status -ne 0 ]; then tail -n 30 "$dir/log/error_log" >&2; fi
# The scheduler stopped while the print dialog is open; it is not started again.
THERMIVO_CUPSD_PID=$pid THERMIVO_QUEUE=thermivo-a4 QT_QPA_PLATFORM=offscreen \
  "$test_program" --gtest_filter='StoppedPrintServer.*' "$@" || status=1
# The same program with a print system that is not running.
CUPS_SERVER="$dir/nobody-listens.sock" THERMIVO_NO_SERVER=1 QT_QPA_PLATFORM=offscreen \
  "$test_program" --gtest_filter='NoPrintServer.*' "$@" || status=1
exit $status
