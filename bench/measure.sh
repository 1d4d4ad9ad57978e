# Shared by the playing benchmarks: CPU share and peak memory of a process.
tick=$(getconf CLK_TCK)
window=${BENCH_SECONDS:-30}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
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
