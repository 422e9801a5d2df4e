# Sourced by the test command: start_cups DIR starts a private cupsd with its
# configuration, spool and logs under DIR, listening on a local socket only,
# with a cups-pdf queue as its default printer; Wine finds it through
# CUPS_SERVER. Printed pages land in cups-pdf's folder for the user (~/PDF),
# exported as SKALENOR_PDF_DIR. stop_cups ends it. Without cupsd or cups-pdf
# nothing is exported and the printing test checks pictures only.
CUPS_PID=""
start_cups() {
  local dir=$1
  local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  if [ ! -x /usr/sbin/cupsd ] || [ ! -x /usr/lib/cups/backend/cups-pdf ] || [ ! -f "$ppd" ]; then
    echo "cups: cupsd or cups-pdf missing; printing is tested through pictures" >&2
    return 0
  fi
  rm -rf "$dir"
  mkdir -p "$dir"/{spool,tmp,cache,state,log,ppd,ssl}
  cat > "$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat > "$dir/cups-files.conf" <<CONF
ServerRoot $dir
ServerBin /usr/lib/cups
DataDir /usr/share/cups
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
Printcap $dir/printcap
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
SystemGroup root
CONF
  /usr/sbin/cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
  CUPS_PID=$!
  for _ in $(seq 100); do
    [ -S "$dir/cups.sock" ] && break
    sleep 0.05
  done
  if ! CUPS_SERVER="$dir/cups.sock" lpadmin -p SkalenorPDF -E -v cups-pdf:/ -P "$ppd" 2>/dev/null ||
     ! CUPS_SERVER="$dir/cups.sock" lpadmin -d SkalenorPDF; then
    echo "cups: the PDF queue could not be added (see $dir/log); printing is tested through pictures" >&2
    stop_cups
    return 0
  fi
  export CUPS_SERVER="$dir/cups.sock"
  export SKALENOR_PDF_DIR
  SKALENOR_PDF_DIR="$(getent passwd "$(id -un)" | cut -d: -f6)/PDF"
}
stop_cups() {
  if [ -n "$CUPS_PID" ]; then
    kill "$CUPS_PID" 2>/dev/null || true
    wait "$CUPS_PID" 2>/dev/null || true
    CUPS_PID=""
  fi
  unset CUPS_SERVER SKALENOR_PDF_DIR
}
