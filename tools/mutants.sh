#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A mutation sample: does the test suite notice the slips a person makes?
# Copies this checkout (its tracked files as they are now, uncommitted
# changes included) to a scratch folder, builds it once (RelWithDebInfo, with
# the tests), checks that every test but the soak passes there, and then, for
# each mutation of tools/mutants.txt in turn: applies it, rebuilds, runs the
# same tests, runs the failed ones again (a test kills a mutation only when it
# fails both times, so a flaky test cannot), and puts the file back.
# Prints a row per mutation as it goes and a markdown table at the end.
#
# Usage: tools/mutants.sh [--only ID[,ID...]] [--list] [--keep] [--jobs N]
#                         [--out FILE] [--dir SCRATCH]
#   --list      the mutations, without building anything
#   --only      just these mutations
#   --keep      keep the scratch folder (default: removed at the end)
#   --jobs N    build jobs (default: nproc); tests always run two at a time
#   --out FILE  also write the final table to FILE
#   --dir DIR   the scratch folder (default: a new one under /tmp)
# Exit status: 0 every mutation killed, 3 some survived, 1 the run itself
# failed (baseline failing, a mutation that does not apply or does not build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tools/mutants.txt"
only="" listing=0 keep=0 jobs=$(nproc) out="" scratch=""
usage() { sed -n '12,21s/^# \{0,1\}//p' "$0" >&2; exit 2; }
while (($#)); do
  case "$1" in
    --only) only="${2:?}"; shift 2 ;;
    --list) listing=1; shift ;;
    --keep) keep=1; shift ;;
    --jobs) jobs="${2:?}"; shift 2 ;;
    --out) out="${2:?}"; shift 2 ;;
    --dir) scratch="${2:?}"; shift 2 ;;
    -h | --help) usage ;;
    *) echo "mutants.sh: unknown argument $1" >&2; usage ;;
  esac
done
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "mutants.sh: --jobs takes a number" >&2; exit 2; }

# The list: blocks of "id:", "file:", "what:", "from:", "to:" lines, a blank
# line between blocks; in "from" and "to", {NL} stands for a line break.
# Emitted here as one record per mutation, fields separated by US (0x1f).
records=$(perl -ne '
  BEGIN { $u = "\x1f"; }
  sub flush { return unless %m; for (qw(id file what from to)) { die "mutants.txt: block before line $.: no $_\n" unless defined $m{$_} }
              print join($u, @m{qw(id file what from to)}), "\n"; %m = (); }
  chomp; next if /^#/;
  if (/^\s*$/) { flush(); next; }
  /^(id|file|what|from|to):\s?(.*)$/ or die "mutants.txt line $.: not a field: $_\n";
  die "mutants.txt line $.: $1 given twice\n" if defined $m{$1};
  $m{$1} = $2;
  END { flush(); }' "$list")
declare -a ids=() files=() whats=()
declare -A known=()
while IFS=$'\x1f' read -r id file what _; do
  [[ -z "${known[$id]:-}" ]] || { echo "mutants.sh: id $id given twice" >&2; exit 1; }
  known[$id]=1
  ids+=("$id") files+=("$file") whats+=("$what")
done <<<"$records"
if [[ -n "$only" ]]; then
  IFS=, read -r -a wanted <<<"$only"
  for w in "${wanted[@]}"; do [[ -n "${known[$w]:-}" ]] || { echo "mutants.sh: no mutation $w" >&2; exit 2; }; done
fi
selected() { [[ -z "$only" ]] || [[ ",$only," == *",$1,"* ]]; }

# Applies mutation $1 to the tree at $SCRATCH (only checks, with CHECK=1);
# prints the number of matches of its "from" text when that is not exactly
# one, and then changes nothing.
apply() {
  MUTANT="$1" perl -e '
    my ($id, $file, $from, $to);
    for (split /\n/, $ENV{RECORDS}) {
      my @f = split /\x1f/, $_, -1;
      ($id, $file, $from, $to) = @f[0, 1, 3, 4], last if $f[0] eq $ENV{MUTANT};
    }
    s/\{NL\}/\n/g for $from, $to;
    my $path = "$ENV{SCRATCH}/$file";
    open(my $in, "<", $path) or do { print "no file $file"; exit 0; };
    local $/; my $text = <$in>; close $in;
    my ($n, $at) = (0, -1);
    while (($at = index($text, $from, $at + 1)) >= 0) { ++$n; }
    if ($n != 1) { print "$n matches"; exit 0; }
    exit 0 if $ENV{CHECK};
    substr($text, index($text, $from), length $from) = $to;
    open(my $o, ">", $path) or die "$path: $!\n"; print $o $text; close $o or die "$path: $!\n";'
}

if ((listing)); then
  export RECORDS="$records" SCRATCH="$root" CHECK=1
  status=0
  for i in "${!ids[@]}"; do
    selected "${ids[$i]}" || continue
    problem=$(apply "${ids[$i]}")
    printf '%-26s %-36s %s%s\n' "${ids[$i]}" "${files[$i]}" "${whats[$i]}" "${problem:+ [DOES NOT APPLY: $problem]}"
    [[ -z "$problem" ]] || status=1
  done
  exit "$status"
fi

if [[ -z "$scratch" ]]; then
  scratch=$(mktemp -d /tmp/mirova-mutants.XXXXXX)
else
  # Removed at the end: only a new or empty folder will do.
  if [[ -e "$scratch" && -n "$(ls -A "$scratch")" ]]; then
    echo "mutants.sh: --dir $scratch is not empty" >&2
    exit 2
  fi
  mkdir -p "$scratch"
  scratch=$(cd "$scratch" && pwd)
fi
cleanup() { ((keep)) || rm -rf "$scratch"; }
trap cleanup EXIT
# The build folder sits in the copy as it does in a checkout, so that ccache
# finds the objects of an ordinary build of the same files.
export RECORDS="$records" SCRATCH="$scratch"
build="$scratch/build" logs="$scratch/build/mutants"
mkdir -p "$logs"

# Tracked files as they are in the working tree (deleted ones left out).
(cd "$root" && git ls-files -z --cached |
  while IFS= read -r -d '' f; do [[ -e "$f" || -L "$f" ]] && printf '%s\0' "$f"; done |
  tar --null -T - -cf -) | tar -C "$scratch" -xf -

export CCACHE_BASEDIR="$scratch" CCACHE_NOHASHDIR=1
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi

clock() { date +%s; }
started=$(clock)
echo "mutants: scratch copy in $scratch; building..."
if ! { cmake -S "$scratch" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROVA_TESTS=ON &&
  nice cmake --build "$build" -j "$jobs"; } >"$logs/baseline.build.log" 2>&1; then
  tail -n 30 "$logs/baseline.build.log"
  echo "mutants: the unchanged tree does not build (log: $logs/baseline.build.log)" >&2
  keep=1
  exit 1
fi
built=$(clock)
echo "mutants: built in $((built - started)) s"

# Runs every test but the soak, then the failed ones once more; sets
# `killers` to the tests that failed both times (space-separated) and
# `flaky` to those that failed only once. Logs go to $logs/$1.*.
killers="" flaky=""
failedTests() {
  local log="$build/Testing/Temporary/LastTestsFailed.log"
  if [[ -f "$log" ]]; then cut -d: -f2- "$log" | sort; fi
}
runTests() {
  rm -f "$build/Testing/Temporary/LastTestsFailed.log"
  (cd "$build" && ctest --output-on-failure --no-tests=error -LE soak -j 2 --timeout 300) >"$logs/$1.tests.log" 2>&1 || true
  local first second
  first=$(failedTests)
  killers="" flaky=""
  [[ -n "$first" ]] || return 0
  rm -f "$build/Testing/Temporary/LastTestsFailed.log"
  local regex
  regex="^($(paste -sd'|' <<<"$first"))\$"
  (cd "$build" && ctest --output-on-failure -LE soak -j 2 --timeout 300 -R "$regex") >"$logs/$1.rerun.log" 2>&1 || true
  second=$(failedTests)
  killers=$(comm -12 <(echo "$first") <(echo "$second") | paste -sd' ')
  flaky=$(comm -23 <(echo "$first") <(echo "$second") | paste -sd' ')
}

runTests baseline
tested=$(clock)
if [[ -n "$killers" ]]; then
  echo "mutants: the unchanged tree fails these tests twice: $killers (log: $logs/baseline.tests.log)" >&2
  keep=1
  exit 1
fi
[[ -z "$flaky" ]] || echo "mutants: note: failed once on the unchanged tree, passed again: $flaky"
echo "mutants: baseline tests passed in $((tested - built)) s"

rows=() broken=0 survived=0 count=0
printf '%s\n' "| id | file | mutation | killed by | seconds |" "|---|---|---|---|---|"
for i in "${!ids[@]}"; do
  id="${ids[$i]}" file="${files[$i]}" what="${whats[$i]}"
  selected "$id" || continue
  count=$((count + 1))
  t0=$(clock)
  cp "$scratch/$file" "$logs/$id.orig"
  problem=$(apply "$id")
  note=""
  if [[ -n "$problem" ]]; then
    result="DOES NOT APPLY ($problem)"
    broken=$((broken + 1))
  elif ! nice cmake --build "$build" -j "$jobs" >"$logs/$id.build.log" 2>&1; then
    result="BUILD FAILED"
    broken=$((broken + 1))
  else
    runTests "$id"
    if [[ -n "$killers" ]]; then
      result="$killers"
    else
      result="SURVIVED"
      survived=$((survived + 1))
    fi
    [[ -z "$flaky" ]] || note=" (failed once, passed again: $flaky)"
  fi
  # A fresh write, so that the next build sees the file changed back.
  cat "$logs/$id.orig" >"$scratch/$file"
  row="| $id | \`$file\` | $what | $result$note | $(($(clock) - t0)) |"
  rows+=("$row")
  echo "$row"
done

finished=$(clock)
{
  echo "| id | file | mutation | killed by | seconds |"
  echo "|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "$count mutations, $survived survived, $broken did not apply or build." \
    "Build $((built - started)) s, baseline tests $((tested - built)) s," \
    "mutations $((finished - tested)) s ($((count ? (finished - tested) / count : 0)) s each), total $((finished - started)) s."
} >"$logs/table.md"
echo
cat "$logs/table.md"
[[ -z "$out" ]] || cp "$logs/table.md" "$out"
((broken == 0)) || { keep=1; echo "mutants: logs kept in $logs" >&2; exit 1; }
((survived == 0)) || exit 3
