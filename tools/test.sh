#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# native, ASan+UBSan, TSan, Windows under Wine, and a bounded fuzz run.
# Exits non-zero when anything fails; the last line counts the tests.
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
fuzz_seconds=${ORVANEL_FUZZ_SECONDS:-30}

prefix=$("$repo/tools/setup.sh" | tail -n 1) || { echo "test: set-up failed" >&2; exit 1; }

passed=0
failed=0
broken=()
count_ctest() { # log name
  local line p f t
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then failed=$((failed + 1)); broken+=("$2"); return; fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  p=$((t - f))
  passed=$((passed + p)); failed=$((failed + f))
  [ "$f" -eq 0 ] || broken+=("$2")
}

run_stage() { # name build-kind ctest-wrapper...
  local name=$1 kind=$2; shift 2
  local dir=build; [ "$kind" = native ] || dir=build-$kind
  echo "== $name"
  if ! "$repo/tools/build.sh" "$kind" "$prefix" >"/tmp/orvanel-build-$kind.log" 2>&1; then
    tail -n 40 "/tmp/orvanel-build-$kind.log"
    echo "test: $name build failed"
    failed=$((failed + 1)); broken+=("$name build")
    return
  fi
  (cd "$dir" && "$@" ctest -j "$(nproc)" --output-on-failure --timeout 600) \
    > "/tmp/orvanel-test-$kind.log" 2>&1
  grep -E '^(The following tests FAILED|[[:space:]]+[0-9]+ - )' "/tmp/orvanel-test-$kind.log" || true
  grep -q 'tests failed out of' "/tmp/orvanel-test-$kind.log" &&
    grep -q ' 0 tests failed' "/tmp/orvanel-test-$kind.log" ||
    sed -n '/Failure\|FAILED\|ERROR\|runtime error\|WARNING: ThreadSanitizer/,+20p' \
      "/tmp/orvanel-test-$kind.log" | head -n 150
  tail -n 3 "/tmp/orvanel-test-$kind.log"
  count_ctest "/tmp/orvanel-test-$kind.log" "$name"
}

start=$(date +%s)
run_stage "native" native
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_stage "asan+ubsan" asan
TSAN_OPTIONS=halt_on_error=1 run_stage "tsan" tsan

# Windows: one Wine server for the whole run, windows drawn on a virtual X.
export WINEPREFIX=${ORVANEL_WINEPREFIX:-$repo/.wineprefix} WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== preparing the Wine prefix (once)"
  "$repo/tools/wine-run.sh" wineboot -i >/dev/null 2>&1 || true
fi
wineserver -p 2>/dev/null || true
run_stage "windows (wine)" win xvfb-run -a
wineserver -k 2>/dev/null || true

echo "== fuzz (${fuzz_seconds}s per target)"
if "$repo/tools/build.sh" fuzz >/tmp/orvanel-build-fuzz.log 2>&1; then
  if [ -x "$repo/tests/fuzz/run.sh" ]; then
    if "$repo/tests/fuzz/run.sh" "$repo/build-fuzz" "$fuzz_seconds"; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1)); broken+=("fuzz")
    fi
  fi
else
  tail -n 40 /tmp/orvanel-build-fuzz.log
  failed=$((failed + 1)); broken+=("fuzz build")
fi

echo "== done in $(( $(date +%s) - start )) s"
[ ${#broken[@]} -eq 0 ] || echo "failed stages: ${broken[*]}"
echo "orvanel: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
