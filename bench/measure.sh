# Shared by the playing benchmarks: CPU share and peak memory of a process.
tick=$(getconf CLK_TCK)
window=${BENCH_SECONDS:-30}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Prints "cpu% peak_rss_kib" for process $1 over $window seconds.
measure() {
  local pid=$1 t0 c0 c1 t1 rss peak=0
  t0=$(date +%s%N)
  c0=$(cpu_ticks "$pid")
  for _ in $(seq $((window * 2))); do
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    ((rss > peak)) && peak=$rss
    sleep 0.5
  done
  c1=$(cpu_ticks "$pid")
  t1=$(date +%s%N)
  awk -v c=$((c1 - c0)) -v tk="$tick" -v ns=$((t1 - t0)) -v rss="$peak" \
    'BEGIN { printf "%.2f %d\n", 100 * (c / tk) / (ns / 1e9), rss }'
}
