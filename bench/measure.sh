# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the playing benchmarks: CPU share and peak memory of a process.
tick=$(getconf CLK_TCK)
window=${BENCH_SECONDS:-30}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Times any thread of process $1 went to sleep and was woken since it started.
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '$1 == "voluntary_ctxt_switches:" { n += $2 } END { print n }'; }
status_kib() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }

# Prints "cpu% peak_rss_kib" of process $1: CPU over the next $window
# seconds, and the high-water mark of its resident memory after them.
measure() {
  local pid=$1 t0 c0 c1 t1
  t0=$(date +%s%N)
  c0=$(cpu_ticks "$pid")
  sleep "$window"
  c1=$(cpu_ticks "$pid")
  t1=$(date +%s%N)
  awk -v c=$((c1 - c0)) -v tk="$tick" -v ns=$((t1 - t0)) -v rss="$(status_kib "$pid" VmHWM)" \
    'BEGIN { printf "%.2f %d\n", 100 * (c / tk) / (ns / 1e9), rss }'
}

# Prints "cpu_seconds wakeups_per_second" of process $1 over the next $window seconds.
cpu_seconds() {
  local pid=$1 c0 w0 c1 w1
  c0=$(cpu_ticks "$pid")
  w0=$(wakeups "$pid")
  sleep "$window"
  c1=$(cpu_ticks "$pid")
  w1=$(wakeups "$pid")
  awk -v c=$((c1 - c0)) -v tk="$tick" -v w=$((w1 - w0)) -v s="$window" 'BEGIN { printf "%.2f %.1f\n", c / tk, w / s }'
}
