#!/usr/bin/env bash
# Builds the probe and the Sample Source, installs the Source into the
# project's own Wine prefix and starts the probe against it. With a display
# the window opens and this returns when it is closed. Without one the probe
# runs under Xvfb until the log shows the Source opened (state 4) or a
# failure; then build/out/probe.png and build/out/probe.log are written and
# the status is 0 only when state 4 was reached.
#   scripts/run.sh            run the probe
#   scripts/run.sh --about    (no display) also open the About box for the screenshot
#   scripts/run.sh --script FILE
#                             run a script of steps through the window (headless
#                             under Xvfb without a display), write the log and a
#                             screenshot at its end, exit with the script's status
#   scripts/run.sh --capability ICAP_UNITS:ENUM [--drop-down]
#                             show a capability with a SET tab (and its GET lines open)
#   scripts/run.sh --page Layout    (no display) show a tab with its GET pressed
#   scripts/run.sh --check "SOURCE NAME" [--only GROUPS] [--suppress FILE]
#                             run the conformance pass on that Source headless under
#                             Xvfb, write build/out/check.txt (report), check.xml
#                             (JUnit) and check.log, print the report and exit with
#                             the pass's status (0 passed, 1 failed, 2 could not run,
#                             3 the Source hung)
set -uo pipefail
script_arg=""
if [[ "${1:-}" == "--script" ]]; then
  [[ -n "${2:-}" ]] || { echo "run: --script needs a file" >&2; exit 2; }
  script_arg=$(realpath -m "$2")
fi
check_name=""
check_only=""
suppress_file=""
if [[ "${1:-}" == "--check" ]]; then
  [[ -n "${2:-}" ]] || { echo "run: --check needs a Source's name" >&2; exit 2; }
  check_name=$2
  shift 2
  while (($#)); do
    [[ -n "${2:-}" ]] || { echo "run: $1 needs a value" >&2; exit 2; }
    case $1 in
      --only) check_only=$2 ;;
      --suppress) suppress_file=$(realpath -m "$2") ;;
      *) echo "run: --check takes --only GROUPS and --suppress FILE, not $1" >&2; exit 2 ;;
    esac
    shift 2
  done
  if [[ -n "$suppress_file" && ! -f "$suppress_file" ]]; then
    echo "run: no suppression file $suppress_file" >&2
    exit 2
  fi
fi
cd "$(dirname "$0")/.."
root=$(pwd)
extra=("$@")

scripts/setup.sh || exit 1
cmake --preset win64 >/dev/null && cmake --build --preset win64 || exit 1

# A prefix of its own with the X11 driver; the tests' prefix has none.
export VORREL_WINEPREFIX=$root/build/wine-run
scripts/wine_prefix.sh x11 || exit 1
scripts/install_sample_source.sh || exit 1
source scripts/wine_env.sh

out=$root/build/out
mkdir -p "$out"
rm -f "$out/probe.log" "$out/probe.png"
probe=$root/build/win64/probe/vorrel.exe
log_windows=$(winepath -w "$out/probe.log" 2>/dev/null)

if [[ -n "$script_arg" ]]; then
  [[ -f "$script_arg" ]] || { echo "run: no script $script_arg" >&2; exit 2; }
  script_windows=$(winepath -w "$script_arg" 2>/dev/null)
fi

if [[ -n "$check_name" ]]; then
  # Headless whatever the display: a CI job's check shows nobody anything.
  # Without a virtual desktop Wine hands back the probe's exit status.
  rm -f "$out/check.txt" "$out/check.xml" "$out/check.log"
  options=(--check "$check_name" --report "$(winepath -w "$out/check.txt" 2>/dev/null)"
           --junit "$(winepath -w "$out/check.xml" 2>/dev/null)"
           --log-file "$(winepath -w "$out/check.log" 2>/dev/null)")
  [[ -z "$check_only" ]] || options+=(--only "$check_only")
  [[ -z "$suppress_file" ]] || options+=(--suppress "$(winepath -w "$suppress_file" 2>/dev/null)")
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null' EXIT
  sleep 1
  DISPLAY=$display timeout 10m wine "$probe" "${options[@]}"
  status=$?
  timeout 60 wineserver -k 2>/dev/null
  if [[ -f "$out/check.txt" ]]; then
    cat "$out/check.txt"
    echo "run: report in $out/check.txt, JUnit in $out/check.xml, log in $out/check.log;" \
      "exit status $status"
  else
    cat "$out/check.log" 2>/dev/null
    echo "run: no report was written; log in $out/check.log; exit status $status"
  fi
  exit "$status"
fi

if [[ -n "${DISPLAY:-}" && -n "$script_arg" ]]; then
  timeout 10m wine "$probe" --script "$script_windows" --log-file "$log_windows"
  status=$?
  timeout 60 wineserver -k 2>/dev/null
  cat "$out/probe.log" 2>/dev/null
  exit $status
fi

if [[ -n "${DISPLAY:-}" ]]; then
  # An interactive session: generous, but every wine call has a timeout.
  timeout 12h wine "$probe" --log-file "$log_windows" "${extra[@]}"
  status=$?
  timeout 60 wineserver -k 2>/dev/null
  exit $status
fi

# No display: a private Xvfb; Wine's virtual desktop draws the title bars
# that a bare X server lacks.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
export DISPLAY=$display
sleep 1

if [[ -n "$script_arg" ]]; then
  # The probe runs inside Wine's virtual desktop, which keeps no exit status;
  # the probe's last log note says it. The window lingers after the last step
  # so the screenshot shows where the script left it.
  start=$(date +%s%N)
  timeout 10m wine explorer /desktop=probe,1024x768 "$probe" --script "$script_windows" \
    --log-file "$log_windows" --linger 3 >/dev/null 2>&1 &
  runner=$!
  while kill -0 $runner 2>/dev/null && ! grep -q '^   Exit status ' "$out/probe.log" 2>/dev/null; do
    sleep 0.2
  done
  if grep -q '^   Exit status ' "$out/probe.log" 2>/dev/null && kill -0 $runner 2>/dev/null; then
    sleep 1
    import -window root "$out/probe.png"
  fi
  wait $runner
  end=$(date +%s%N)
  timeout 60 wineserver -k 2>/dev/null
  cat "$out/probe.log" 2>/dev/null
  status=$(sed -n 's/^   Exit status \([0-9]\+\).*/\1/p' "$out/probe.log" 2>/dev/null | tail -1)
  status=${status:-1}
  ms=$(((end - start) / 1000000))
  shot="no screenshot: the window never opened"
  [[ -f "$out/probe.png" ]] && shot="screenshot in $out/probe.png"
  printf 'run: log in %s, %s; exit status %s [%d.%03ds]\n' "$out/probe.log" "$shot" "$status" \
    $((ms / 1000)) $((ms % 1000))
  exit "$status"
fi

timeout 120 wine explorer /desktop=probe,1024x768 "$probe" --log-file "$log_windows" "${extra[@]}" \
  >/dev/null 2>&1 &

reached=1
for _ in $(seq 1 120); do
  sleep 0.5
  [[ -f "$out/probe.log" ]] || continue
  if grep -E '^Opened .+ \[[0-9.]+s\]' "$out/probe.log" | grep -qv '^Opened Source Manager'; then
    reached=0
    # A page's GET is logged once it has been pressed.
    [[ "${extra[0]:-}" != --page ]] || grep -q '^(DG_' "$out/probe.log" && break
  fi
  if grep -qE '^(>>> Failed|Failed to open|Exception)' "$out/probe.log"; then break; fi
done
sleep 2
import -window root "$out/probe.png"
timeout 60 wineserver -k 2>/dev/null
echo "run: log in $out/probe.log, screenshot in $out/probe.png"
cat "$out/probe.log" 2>/dev/null
if ((reached == 0)); then echo "run: the probe reached state 4"; else echo "run: the probe did NOT reach state 4"; fi
exit $reached
