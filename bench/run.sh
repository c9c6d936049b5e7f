#!/usr/bin/env bash
# The installation benchmark: our installation run beside an installer that makensis builds from
# the same files, and beside the floor of a plain copy, on generated payloads. Prints a table.
# Both builds run: the shipped i686 program against makensis's default 32-bit installer
# (x86-unicode), and the x86_64 build against its amd64-unicode one. On a machine that cannot run
# 32-bit programs (scripts/can-run-32bit.sh; KX_NO_32BIT=1 acts as one) only the x86_64 rows run,
# and the output says so at its start and at its end.
#   bash bench/run.sh              500 files of about 256 MiB, and 500 files of 4 KiB; 5 rounds
#   bash bench/run.sh --smoke      a few MiB and 2 rounds: proves in seconds that it all works
#   bash bench/run.sh --rounds N   N rounds instead
#   bash bench/run.sh --payload K  only payload K (large, small or smoke)
#   --baseline EXE                 also runs EXE, a kx_bench_install built from another commit, as
#                                  a contender of its own: before and after a change, in one run
#   bash bench/run.sh --check      the same, then exits 1 when a row of our run misses its goal:
#                                  at most the peer's wall and CPU time into an empty folder, 0.8 of
#                                  them over an earlier installation; on the small payload at most
#                                  1.1 times the peer's server requests into an empty folder and
#                                  1.25 times over an earlier installation (ours and ours32, not the
#                                  baseline); on the large payload, the bound program's wall time
#                                  at most 1.25 times that of the same build unbound, in each
#                                  situation; a peak working set that stays flat in the package
#                                  size; and a conversion that takes at most 11 times as long for
#                                  ten times the records, within 3.5 times the file's size in
#                                  memory from 100,000 records up (below, the fixed buffers
#                                  outweigh the file). Never part of the test command.
# Contenders run one after another within each round, so slow phases of a noisy machine touch
# all of them. After the timed rounds, a pass of its own counts each Windows contender's Wine
# server requests (and among them its opens), under a wineserver that logs every request: the
# median of three runs in each situation (see "counting server requests" below).
# Everything lands in build/bench/; Wine runs in its own prefix there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
work=$root/build/bench
kinds=(large small)
rounds=""
measure=0
baseline=""
check=0
i686=1

while [ $# -gt 0 ]; do
  case $1 in
    --smoke) kinds=(smoke) ;;
    --payload) kinds=("$2"); shift ;;
    --baseline) baseline=$(realpath "$2"); shift ;;
    --rounds) rounds=$2; shift ;;
    --check) check=1 ;;
    --measure) measure=1 ;;  # internal: the measuring half, run inside the Wine environment
    --no-i686) i686=0 ;;     # internal: the machine cannot run the i686 rows
    *) echo "usage: bash bench/run.sh [--smoke] [--payload large|small|smoke] [--rounds N] [--baseline EXE] [--check]" >&2
       exit 2 ;;
  esac
  shift
done
if [ -z "$rounds" ]; then
  if [ "${kinds[0]}" = smoke ]; then rounds=2; else rounds=5; fi
fi
if [ "$measure" = 0 ]; then
  source scripts/suite-build.sh
  [ "$suite" = win32 ] || i686=0
  # Said first and last, whatever happens between.
  i686_note() {
    not_shipped_note "the i686 rows (our shipped i686 run, makensis's x86-unicode installer) are NOT run:" \
      "only the x86_64 rows are measured."
  }
  i686_note
  trap i686_note EXIT
fi

# ---------------------------------------------------------------- preparation (plain Linux)

install_tools() {
  if [ "$(id -u)" = 0 ]; then
    bash scripts/setup-machine.sh >/dev/null
    # Only the benchmark needs the peer's compiler, so the machine set-up leaves it out.
    if ! command -v makensis >/dev/null; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends nsis >/dev/null
    fi
  fi
  command -v makensis >/dev/null || { echo "bench: makensis missing (apt-get install nsis)" >&2; exit 1; }
}

build_programs() {
  # The benchmark programs and the product code inside them are compiled with optimisation
  # whatever the build's type. The launcher and the copy floor stay 64-bit for both builds.
  cmake --preset win64 >/dev/null
  cmake --build build/win64 -j 2 --target kx_bench_launch kx_bench_copy kx_bench_install kx_bench_pool \
    kx_bench_convert_bench >/dev/null
  if [ "$i686" = 1 ]; then
    cmake --preset win32 >/dev/null
    cmake --build build/win32 -j 2 --target kx_bench_install kx_bench_convert_bench >/dev/null
  fi
  bash scripts/build.sh native >/dev/null
  kxpack=$(find build/native -name kxpack -type f -perm -u+x | head -n 1)
  mkdir -p "$work"
  local tool
  for tool in make_payload cpu_run; do
    if [ ! -x "$work/$tool" ] || [ "bench/host/$tool.cpp" -nt "$work/$tool" ]; then
      g++ -O2 -Wall -Wextra -o "$work/$tool" "bench/host/$tool.cpp"
    fi
  done
}

# files/ and files.tsv (subfolder, name, size, copy mode per line), made again only when stale.
make_payload() {
  local dir=$1 kind=$2
  if [ ! -f "$dir/files.tsv" ] || [ "$work/make_payload" -nt "$dir/files.tsv" ]; then
    rm -rf "$dir"
    "$work/make_payload" "$kind" "$dir"
  fi
}

# kx.pac beside the harness, as the setup program finds it beside itself.
make_package() {
  local dir=$1
  mkdir -p "$dir/setup"
  if [ ! -f "$dir/setup/kx.pac" ] || [ "$dir/files.tsv" -nt "$dir/setup/kx.pac" ]; then
    { printf 'version\t1.0.0.0\n'
      awk -F'\t' '{ printf "file\t%s\t%s\t%s\n", $1, $2, $4 }' "$dir/files.tsv"; } >"$dir/manifest.txt"
    "$kxpack" build "$dir/manifest.txt" "$dir/files" "$dir/setup/kx.pac"
  fi
  cp build/win64/bench/kx_bench_install.exe "$dir/setup/"
  [ "$i686" = 0 ] || cp build/win32/bench/kx_bench_install.exe "$dir/setup/kx_bench_install32.exe"
  rm -f "$dir/setup/baseline.exe"
  if [ -n "$baseline" ]; then cp "$baseline" "$dir/setup/baseline.exe"; fi
  rm -f "$dir/setup/kx_bench_install_bound.exe"
  case ${dir##*/} in large | smoke) bind_to_package "$dir" ;; esac
}

# The harness as a release builds the program: bound to this kx.pac by its SHA-256, which the run
# computes while it copies the package. Built for the shipped i686 where it runs, else x86_64.
bind_to_package() {
  local dir=$1 suite=win64 digest
  [ "$i686" = 0 ] || suite=win32
  digest=$(sha256sum "$dir/setup/kx.pac" | cut -d' ' -f1)
  cmake --preset "$suite" -DKX_PACKAGE_SHA256="$digest" >/dev/null
  cmake --build "build/$suite" -j 2 --target kx_bench_install_bound >/dev/null
  cp "build/$suite/bench/kx_bench_install_bound.exe" "$dir/setup/"
}

# The peer: the same files in an installer with compression off; otherwise makensis's defaults.
# make_peer DIR NAME TARGET: peer.exe for amd64-unicode, peer32.exe for x86-unicode.
make_peer() {
  local dir=$1 name=$2 target=$3
  if [ -f "$dir/$name.exe" ] && [ "$dir/$name.exe" -nt "$dir/files.tsv" ]; then return; fi
  {
    printf '%s\n' "Target $target" 'SetCompress off' 'Name "Korvanto"' "OutFile \"$name.exe\"" \
      'InstallDir "C:\Korvanto"' 'RequestExecutionLevel user' 'Section'
    awk -F'\t' -v files="$dir/files" '{
      if ($1 != folder) { folder = $1; printf "  SetOutPath \"$INSTDIR%s\"\n", ($1 == "." ? "" : "\\" $1) }
      printf "  File \"%s/%s%s\"\n", files, ($1 == "." ? "" : $1 "/"), $2 }' "$dir/files.tsv"
    printf '%s\n' 'SectionEnd'
  } >"$dir/$name.nsi"
  (cd "$dir" && makensis -V1 "$name.nsi")
}

# ---------------------------------------------------------------- measuring (inside Wine)

winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

# The name of the folder in which the server that serves this prefix works, as Wine names it.
server_key() { printf 'server-%s-%x' "$(stat -c '%D' "$WINEPREFIX")" "$(stat -c '%i' "$WINEPREFIX")"; }

# Processor time of the wineserver that serves this prefix: Windows file calls do part of their
# work there, so a contender's processor time is its own processes' plus the server's share.
find_wineserver() {
  local key p
  key=$(server_key)
  for p in $(pidof wineserver64 wineserver 2>/dev/null); do
    case $(readlink "/proc/$p/cwd") in */"$key") wineserver_pid=$p ;; esac
  done
  [ -n "${wineserver_pid:-}" ] || { echo "bench: cannot find the prefix's wineserver" >&2; exit 1; }
}
server_cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) * 1000 / hz }' "/proc/$wineserver_pid/stat"; }
field() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$2" | head -n 1; }

# run_windows RESULTS LABEL PROGRAM ARGS...: one measured run through the launcher. Results line:
# label, wall ms, peak working set KiB, in-process ms (our harness only), processor ms.
run_windows() {
  local results=$1 label=$2 out before after
  shift 2
  before=$(server_cpu_ms)
  out=$("$work/cpu_run" "$work/cpu.txt" "$WINELOADER" "$work/bin/kx_bench_launch.exe" 900 "$@" </dev/null) || true
  after=$(server_cpu_ms)
  local wall peak code inner cpu
  wall=$(field wall_ms "$out")
  peak=$(field peak_kib "$(grep wall_ms <<<"$out")")
  code=$(field exit "$out")
  inner=$(field run_ms "$out")
  cpu=$(awk -v own="$(field cpu_ms "$(cat "$work/cpu.txt")")" -v a="$before" -v b="$after" 'BEGIN { print own + b - a }')
  if [ -z "$wall" ] || [ "$code" != 0 ]; then
    echo "bench: $label failed: $out" >&2
    return 1
  fi
  echo "$label $wall $peak ${inner:--} $cpu" >>"$results"
}

run_cp() {
  local results=$1 label=$2 from=$3 to=$4 report
  "$work/cpu_run" "$work/cpu.txt" cp -r "$from" "$to"
  report=$(cat "$work/cpu.txt")
  echo "$label $(field wall_ms "$report") $(field maxrss_kib "$report") - $(field cpu_ms "$report")" >>"$results"
}

# fresh FOLDER: an empty start, with the previous run's writes on disk so they cost it nothing.
fresh() { rm -rf "$1"; sync; }

one_round() {
  local dir=$1 results=$2 out=$1/out
  fresh "$out/ours-empty"
  run_windows "$results" ours-empty "$(winpath "$dir/setup/kx_bench_install.exe")" "$(winpath "$out/ours-empty")"
  sync
  run_windows "$results" ours-over "$(winpath "$dir/setup/kx_bench_install.exe")" "$(winpath "$out/ours-over")"
  if [ -f "$dir/setup/baseline.exe" ]; then
    fresh "$out/base-empty"
    run_windows "$results" base-empty "$(winpath "$dir/setup/baseline.exe")" "$(winpath "$out/base-empty")"
    sync
    run_windows "$results" base-over "$(winpath "$dir/setup/baseline.exe")" "$(winpath "$out/base-over")"
  fi
  if [ -f "$dir/setup/kx_bench_install_bound.exe" ]; then
    fresh "$out/bound-empty"
    run_windows "$results" bound-empty "$(winpath "$dir/setup/kx_bench_install_bound.exe")" "$(winpath "$out/bound-empty")"
    sync
    run_windows "$results" bound-over "$(winpath "$dir/setup/kx_bench_install_bound.exe")" "$(winpath "$out/bound-over")"
  fi
  if [ "$i686" = 1 ]; then
    fresh "$out/ours32-empty"
    run_windows "$results" ours32-empty "$(winpath "$dir/setup/kx_bench_install32.exe")" "$(winpath "$out/ours32-empty")"
    sync
    run_windows "$results" ours32-over "$(winpath "$dir/setup/kx_bench_install32.exe")" "$(winpath "$out/ours32-over")"
  fi
  local peer
  for peer in $(peers); do
    fresh "$out/$peer-empty"
    run_windows "$results" "$peer-empty" "$(winpath "$dir/$peer.exe")" /S "/D=$(winpath "$out/$peer-empty")"
    sync
    run_windows "$results" "$peer-over" "$(winpath "$dir/$peer.exe")" /S "/D=$(winpath "$out/$peer-over")"
  done
  fresh "$out/copyfile"
  run_windows "$results" copyfile "$work/bin/kx_bench_copy.exe" "$(winpath "$dir/files")" "$(winpath "$out/copyfile")"
  fresh "$out/cp"
  run_cp "$results" cp "$dir/files" "$out/cp"
}

# The peer installers that run here: the amd64-unicode one, and the x86-unicode one where 32-bit
# programs run.
peers() {
  echo peer
  [ "$i686" = 0 ] || echo peer32
}

# Every contender must have put exactly the payload in place (ours and the Windows copies with
# the payload's file times too), and our run must leave no temporary archive behind.
verify() {
  local dir=$1 name listing ours=(ours-empty ours-over) peer
  listing() { (cd "$1" && find . -type f -printf '%P %s %T@\n' | sort); }
  [ "$i686" = 0 ] || ours+=(ours32-empty ours32-over)
  [ -f "$dir/setup/baseline.exe" ] && ours+=(base-empty base-over)
  [ -f "$dir/setup/kx_bench_install_bound.exe" ] && ours+=(bound-empty bound-over)
  for name in "${ours[@]}" $(for peer in $(peers); do echo "$peer-empty"; done) copyfile cp; do
    diff -rq "$dir/files" "$dir/out/$name" >/dev/null || { echo "bench: $name differs from the payload" >&2; exit 1; }
  done
  for name in "${ours[@]}"; do
    [ "$(listing "$dir/files")" = "$(listing "$dir/out/$name")" ] ||
      { echo "bench: $name has other file times than the payload" >&2; exit 1; }
  done
  if find "$WINEPREFIX/drive_c" -name 'kx.pa*' | grep -q .; then
    echo "bench: a temporary archive stayed behind" >&2
    exit 1
  fi
}

measure_kind() {
  local kind=$1 dir=$work/$1 results=$work/$1/results.txt
  rm -rf "$dir/out" "$results"
  mkdir -p "$dir/out"
  # Warm-up round, not counted: it also lays the earlier installations that the "over" runs meet.
  one_round "$dir" "$dir/warmup.txt"
  verify "$dir"
  local r
  for r in $(seq "$rounds"); do
    echo "bench: $kind round $r of $rounds" >&2
    one_round "$dir" "$results"
  done
}

# ---------------------------------------------------------------- counting server requests (inside Wine)

# Under Wine nearly every file and process call is a request to the wineserver, so how many a run
# makes says where its time goes, and far more steadily than a clock. The count runs in a pass of
# its own once everything timed is done, since a server that logs every request is much slower:
# the prefix's ordinary server is stopped and one that logs (-d2) serves the prefix instead.
# Counted: every request line that the log gains from the moment the Wine loader starts the
# contender until its process has ended, whichever process makes it. That takes in its process
# start and what it causes in processes already running (the desktop process answering the
# peer's messages, for one). Left out: the launcher (the contender is started straight
# by the loader, so neither the launcher's own start nor its polling is counted) and the system
# processes' start: wineboot starts the services and the peer's uncounted warm-up run starts the
# desktop's process, which a process kept on the desktop keeps up (see count_requests). Each contender's
# warm-up run also lays the earlier installation that its "over" runs meet. A contender runs
# in each situation three times, round by round as in the timed rounds, and the table gives the
# median: now and then a run carries a burst of unrelated requests (a service's idle worker
# threads ending). create_file requests are counted apart: every open of a file or a DLL.

request_log=$work/requests.log

# The Windows contenders of a payload, in the order of the timed rounds.
windows_contenders() {
  local dir=$1
  echo ours
  [ ! -f "$dir/setup/baseline.exe" ] || echo base
  [ ! -f "$dir/setup/kx_bench_install_bound.exe" ] || echo bound
  [ "$i686" = 0 ] || echo ours32
  peers
  echo copyfile
}

# contender_command DIR NAME FOLDER: sets cmd to contender NAME's program (a Linux path) and its
# arguments for an installation into FOLDER, as the timed rounds start it.
contender_command() {
  local dir=$1 to
  to=$(winpath "$3")
  case $2 in
    ours) cmd=("$dir/setup/kx_bench_install.exe" "$to") ;;
    ours32) cmd=("$dir/setup/kx_bench_install32.exe" "$to") ;;
    base) cmd=("$dir/setup/baseline.exe" "$to") ;;
    bound) cmd=("$dir/setup/kx_bench_install_bound.exe" "$to") ;;
    peer | peer32) cmd=("$dir/$2.exe" /S "/D=$to") ;;
    copyfile) cmd=("$work/bin/kx_bench_copy.exe" "$(winpath "$dir/files")" "$to") ;;
  esac
}

# The loader that starts EXE itself: the 32-bit one for an i386 program. wine64 given a 32-bit
# program runs a 64-bit process of its own first, which starts it: about 1,060 requests that are
# not the contender's.
loader_for() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  if [ "$machine" = 014c ]; then echo /usr/lib/wine/wine; else echo "$WINELOADER"; fi
}

# slice_counts FROM TO: "requests opens" among the log's bytes FROM to TO. A request line is
# "tid: name( ...", a reply "tid: name() = STATUS ..."; other lines (fds passed, threads killed)
# are neither.
slice_counts() {
  tail -c +"$(($1 + 1))" "$request_log" | head -c "$(($2 - $1))" | LC_ALL=C awk '
    /^[0-9a-f][0-9a-f][0-9a-f][0-9a-f]: [a-z_0-9]+\(/ && !/^[0-9a-f]+: [a-z_0-9]+\(\) = / {
      n++; if ($2 ~ /^create_file\(/) opens++ }
    END { print n + 0, opens + 0 }'
}

# count_run DIR NAME SITUATION FOLDER: one run of contender NAME into FOLDER, started straight by
# the Wine loader. Appends "label requests opens from to" (the run's bytes of the log) to
# DIR/requests.txt, unless SITUATION is "-" (a warm-up).
count_run() {
  local dir=$1 name=$2 situation=$3 folder=$4 from to label
  contender_command "$dir" "$name" "$folder"
  from=$(stat -c %s "$request_log")
  if ! timeout 900 "$(loader_for "${cmd[0]}")" "${cmd[@]}" </dev/null >"$work/count-run.txt" 2>&1; then
    echo "bench: counting $name ($situation) failed: $(cat "$work/count-run.txt")" >&2
    return 1
  fi
  to=$(stat -c %s "$request_log")
  [ "$situation" != - ] || return 0
  label=$name-$situation
  [ "$name" != copyfile ] || label=copyfile
  echo "$label $(slice_counts "$from" "$to") $from $to" >>"$dir/requests.txt"
}

# All contenders of one payload: a warm-up run each, then three rounds. The floor has no "over".
count_kind() {
  local dir=$work/$1 out=$work/$1/count name r
  rm -rf "$out" "$dir/requests.txt"
  mkdir -p "$out"
  for name in $(windows_contenders "$dir"); do count_run "$dir" "$name" - "$out/$name-over"; done
  for r in 1 2 3; do
    echo "bench: $1 counting server requests, round $r of 3" >&2
    for name in $(windows_contenders "$dir"); do
      rm -rf "$out/$name-empty"
      count_run "$dir" "$name" empty "$out/$name-empty"
      [ "$name" = copyfile ] || count_run "$dir" "$name" over "$out/$name-over"
    done
  done
  for name in $(windows_contenders "$dir"); do
    diff -rq "$dir/files" "$out/$name-empty" >/dev/null ||
      { echo "bench: counting: $name differs from the payload" >&2; exit 1; }
  done
  rm -rf "$out"
  if ! awk '$2 > 0 { n++ } END { exit !(n == NR && NR > 0) }' "$dir/requests.txt"; then
    echo "bench: counting: a run without a logged request (see $request_log)" >&2
    exit 1
  fi
}

# The ordinary server stopped, a logging one serves the prefix for the pass, and is stopped after.
count_requests() {
  local server kind fifo=$work/keeper.fifo fd keeper
  "$WINESERVER" -k >/dev/null 2>&1 || true
  for _ in $(seq 100); do kill -0 "$wineserver_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$wineserver_pid" 2>/dev/null; then echo "bench: the wineserver does not stop" >&2; exit 1; fi
  "$WINESERVER" -f -p -d2 2>"$request_log" </dev/null >/dev/null &
  server=$!
  # A loader that finds no server starts one of its own, which would then serve the prefix
  # unlogged: wait for the socket in the server's folder (where that is depends on the build).
  for _ in $(seq 100); do [ -S "/proc/$server/cwd/socket" ] && break; sleep 0.05; done
  case $(readlink "/proc/$server/cwd") in
    */"$(server_key)") [ -S "/proc/$server/cwd/socket" ] ;;
    *) false ;;
  esac || { echo "bench: the logging wineserver did not start" >&2; exit 1; }
  "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null || true
  kill -0 "$server" 2>/dev/null || { echo "bench: the logging wineserver ended" >&2; exit 1; }
  # The desktop closes a second after its last user has gone, and the next program that makes a
  # window starts its process anew (about 2,150 requests, seen in two of three runs of the peer
  # on the large payload, where the runs between are longer). A process that stays on the desktop
  # through the pass, as a session's shell does on Windows, keeps that out of the counts: cmd
  # waiting for a key on a pipe that nobody writes to, which costs no request while it waits.
  rm -f "$fifo"
  mkfifo "$fifo"
  exec {fd}<>"$fifo"
  "$WINELOADER" cmd /c pause <&"$fd" >/dev/null 2>&1 &
  keeper=$!
  exec {fd}>&-
  for kind in "${kinds[@]}"; do count_kind "$kind"; done
  kill -0 "$keeper" 2>/dev/null || { echo "bench: the process that holds the desktop ended" >&2; exit 1; }
  "$WINESERVER" -k >/dev/null 2>&1 || true
  wait "$keeper" || true
  wait "$server" || true
  rm -f "$fifo"
}

if [ "$measure" = 1 ]; then
  find_wineserver
  mkdir -p "$work/bin"
  cp build/win64/bench/kx_bench_launch.exe build/win64/bench/kx_bench_copy.exe "$work/bin/"
  for kind in "${kinds[@]}"; do measure_kind "$kind"; done
  # The string pool on its own: its cost per entry should not grow with its size. And the
  # conversion of address files, whose own benchmark prints its table.
  if [ "${kinds[0]}" = smoke ]; then
    "$WINELOADER" build/win64/bench/kx_bench_pool.exe 10000 </dev/null >"$work/pool.txt"
    echo "(left out in the smoke run)" >"$work/convert.txt"
  else
    "$WINELOADER" build/win64/bench/kx_bench_pool.exe 100000 </dev/null >"$work/pool.txt"
    "$WINELOADER" build/win64/bench/kx_bench_convert_bench.exe </dev/null >"$work/convert.txt"
  fi
  count_requests
  exit 0
fi

# ---------------------------------------------------------------- the table

# median and range of column COL of the label's lines; wall in seconds, peak in MiB.
summarise() {
  awk -v label="$2" -v col="$3" -v scale="$4" '$1 == label && $col != "-" { v[n++] = $col / scale }
    END {
      if (n == 0) { print "- - -"; exit }
      for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      median = (n % 2) ? v[int(n / 2)] : (v[n / 2 - 1] + v[n / 2]) / 2
      print median, v[0], v[n - 1]
    }' "$1"
}

# "median (min–max)" of a summarise line.
cell() { awk -v f="$2" '{ printf f " (" f "–" f ")", $1, $2, $3 }' <<<"$1"; }
# "-" where either is missing (no server requests for cp).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }
whole() { if [ "$1" = - ]; then echo -; else printf '%.0f' "$1"; fi; }

# The build that the bound rows run, and its peer installer.
bound_build() { if [ "$i686" = 1 ]; then echo "i686 (shipped)"; else echo x86_64; fi; }
bound_peer() { if [ "$i686" = 1 ]; then echo peer32; else echo peer; fi; }

print_table() {
  local kind dir results requests files mib notes=() rows=() baseline_name=${baseline##*/} spread=0
  echo
  echo "| payload | contender | wall s | wall × peer | wall × floor | CPU s | CPU × peer | CPU × floor | peak working set MiB | server requests | requests × peer | opens (create_file) |"
  echo "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"
  for kind in "${kinds[@]}"; do
    dir=$work/$kind
    results=$dir/results.txt
    requests=$dir/requests.txt
    files=$(wc -l <"$dir/files.tsv")
    mib=$(awk -F'\t' '{ s += $3 } END { printf "%.1f", s / 1048576 }' "$dir/files.tsv")
    local label text peer_label wall cpu peak count
    local labels=(ours-empty ours-over) peer
    [ "$i686" = 0 ] || labels+=(ours32-empty ours32-over)
    grep -q '^base-empty ' "$results" && labels+=(base-empty base-over)
    grep -q '^bound-empty ' "$results" && labels+=(bound-empty bound-over)
    for peer in $(peers); do labels+=("$peer-empty" "$peer-over"); done
    for label in "${labels[@]}" copyfile cp; do
      case $label in
        ours32-empty) text="our installation run, i686 (shipped), empty folder"; peer_label=peer32-empty ;;
        ours32-over) text="our installation run, i686 (shipped), over an earlier one"; peer_label=peer32-over ;;
        peer32-empty) text="makensis installer, x86-unicode, empty folder"; peer_label=peer32-empty ;;
        peer32-over) text="makensis installer, x86-unicode, over an earlier one"; peer_label=peer32-over ;;
        bound-empty) text="our installation run, $(bound_build), bound to its package, empty folder"
          peer_label=$(bound_peer)-empty ;;
        bound-over) text="our installation run, $(bound_build), bound to its package, over an earlier one"
          peer_label=$(bound_peer)-over ;;
        base-empty) text="baseline ($baseline_name), empty folder"; peer_label=peer-empty ;;
        base-over) text="baseline ($baseline_name), over an earlier one"; peer_label=peer-over ;;
        ours-empty) text="our installation run, x86_64, empty folder"; peer_label=peer-empty ;;
        ours-over) text="our installation run, x86_64, over an earlier one"; peer_label=peer-over ;;
        peer-empty) text="makensis installer, amd64-unicode, empty folder"; peer_label=peer-empty ;;
        peer-over) text="makensis installer, amd64-unicode, over an earlier one"; peer_label=peer-over ;;
        copyfile) text="floor: CopyFileA loop (Wine)"; peer_label=peer-empty ;;
        cp) text="floor: cp -r (Linux)"; peer_label=peer-empty ;;
      esac
      wall=$(summarise "$results" "$label" 2 1000)
      cpu=$(summarise "$results" "$label" 5 1000)
      peak=$(summarise "$results" "$label" 3 1024)
      count=$(summarise "$requests" "$label" 2 1)
      spread=$(awk -v s="$spread" '$1 != "-" && $3 - $2 > s { s = $3 - $2 } END { print s }' <<<"$count")
      rows+=("$(printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |' "$kind: $files files, $mib MiB" "$text" \
        "$(cell "$wall" %.2f)" \
        "$(ratio "${wall%% *}" "$(summarise "$results" "$peer_label" 2 1000 | cut -d' ' -f1)")" \
        "$(ratio "${wall%% *}" "$(summarise "$results" copyfile 2 1000 | cut -d' ' -f1)")" \
        "$(cell "$cpu" %.2f)" \
        "$(ratio "${cpu%% *}" "$(summarise "$results" "$peer_label" 5 1000 | cut -d' ' -f1)")" \
        "$(ratio "${cpu%% *}" "$(summarise "$results" copyfile 5 1000 | cut -d' ' -f1)")" \
        "$(cell "$peak" %.1f)" \
        "$(whole "${count%% *}")" \
        "$(ratio "${count%% *}" "$(summarise "$requests" "$peer_label" 2 1 | cut -d' ' -f1)")" \
        "$(whole "$(summarise "$requests" "$label" 3 1 | cut -d' ' -f1)")")")
    done
    local inside over
    inside=$(summarise "$results" ours-empty 4 1000 | cut -d' ' -f1)
    over=$(summarise "$results" ours-over 4 1000 | cut -d' ' -f1)
    if [ "$inside" != - ] && [ "$over" != - ]; then
      notes+=("$(printf '%s: our run timed inside the harness (process start and exit left out): %.2f s into an empty folder, %.2f s over an earlier one.' \
        "$kind" "$inside" "$over")")
    fi
  done
  # Worst first: by wall time over the peer's.
  printf '%s\n' "${rows[@]}" | sort -t'|' -k5,5 -g -r
  echo
  printf '%s\n' "${notes[@]}"
  echo "Medians (min–max) of $rounds rounds after one warm-up round; $(date -u +%F), $(nproc) cores."
  echo "× peer: over the makensis installer's median in the same situation (floors: its empty-folder run);"
  echo "× floor: over the CopyFileA loop's. CPU: processor time of the contender's processes and of the"
  echo "wineserver's work for them (the launcher's polling included, alike for every Windows contender)."
  echo "Server requests: the lines a logging wineserver wrote for each run, from the Wine loader's start of"
  echo "the contender to its end, in a pass of its own after the timed rounds (launcher left out); opens:"
  echo "its create_file requests among them. Medians of 3 runs, × peer paired as for the times. Unlike times"
  echo "these counts barely shake: no row's 3 runs here lay more than $spread requests apart."
}

print_pool_and_conversion() {
  echo
  echo "String pool (kx_bench_pool), best of three runs:"
  echo
  cat "$work/pool.txt"
  echo
  echo "Address file conversion (kx_bench_convert_bench):"
  echo
  sed 's/^/    /' "$work/convert.txt"
}

# Each goal missed, one line each; none when every row of our run meets its goal.
goals_missed() {
  local kind results limit label peer_label value peer peaks=()
  for kind in "${kinds[@]}"; do
    results=$work/$kind/results.txt
    for label in ours-empty ours-over $([ "$i686" = 0 ] || echo ours32-empty ours32-over) \
      $(grep -q '^bound-empty ' "$results" && echo bound-empty bound-over); do
      case $label in
        bound-empty) peer_label=$(bound_peer)-empty; limit=1.0 ;;
        bound-over) peer_label=$(bound_peer)-over; limit=0.8 ;;
        ours32-empty) peer_label=peer32-empty; limit=1.0 ;;
        ours32-over) peer_label=peer32-over; limit=0.8 ;;
        ours-empty) peer_label=peer-empty; limit=1.0 ;;
        ours-over) peer_label=peer-over; limit=0.8 ;;
      esac
      for col in 2:wall 5:CPU; do
        value=$(summarise "$results" "$label" "${col%%:*}" 1000 | cut -d' ' -f1)
        peer=$(summarise "$results" "$peer_label" "${col%%:*}" 1000 | cut -d' ' -f1)
        awk -v v="$value" -v p="$peer" -v l="$limit" 'BEGIN { exit !(v > p * l) }' &&
          echo "$kind, $label: ${col#*:} time $(ratio "$value" "$peer") × the peer's, goal $limit"
      done
    done
    # On the small payload the calls made for each file are most of the run's cost, and the count
    # shakes so little that its goal needs no room for noise.
    if [ "$kind" = small ]; then
      for label in ours-empty ours-over $([ "$i686" = 0 ] || echo ours32-empty ours32-over); do
        case $label in ours32-*) peer_label=peer32-${label#*-} ;; *) peer_label=peer-${label#*-} ;; esac
        case $label in *-empty) limit=1.1 ;; *) limit=1.25 ;; esac
        value=$(summarise "$work/$kind/requests.txt" "$label" 2 1 | cut -d' ' -f1)
        peer=$(summarise "$work/$kind/requests.txt" "$peer_label" 2 1 | cut -d' ' -f1)
        if [ "$value" = - ] || [ "$peer" = - ]; then
          echo "$kind, $label: no count of server requests"
        elif awk -v v="$value" -v p="$peer" -v l="$limit" 'BEGIN { exit !(v > p * l) }'; then
          echo "$kind, $label: $(ratio "$value" "$peer") × the peer's server requests, goal $limit"
        fi
      done
    fi
    # A bound program hashes its package beside the copy; on the large payload the hash may cost
    # at most a quarter of the same build's unbound run.
    if [ "$kind" = large ] && grep -q '^bound-empty ' "$results"; then
      local unbound=ours situation
      [ "$i686" = 0 ] || unbound=ours32
      for situation in empty over; do
        value=$(summarise "$results" "bound-$situation" 2 1000 | cut -d' ' -f1)
        peer=$(summarise "$results" "$unbound-$situation" 2 1000 | cut -d' ' -f1)
        awk -v v="$value" -v p="$peer" 'BEGIN { exit !(v > p * 1.25) }' &&
          echo "$kind, bound-$situation: wall time $(ratio "$value" "$peer") × the same build's unbound run ($unbound-$situation), goal 1.25"
      done
    fi
    peaks+=("$(summarise "$results" ours-over 3 1024 | cut -d' ' -f1)")
  done
  # Flat: the largest payload's peak within a tenth of the smallest's.
  if [ ${#peaks[@]} -gt 1 ]; then
    awk -v a="${peaks[0]}" -v b="${peaks[${#peaks[@]} - 1]}" 'BEGIN { exit !(a > b * 1.1 || b > a * 1.1) }' &&
      echo "peak working set not flat in the package size: ${peaks[*]} MiB"
  fi
  if [ "${kinds[0]}" != smoke ]; then
    awk '{ sub(/\r$/, "") }
         /^time ratio 1000000\/100000/ { if ($NF > 11) print "conversion: 1,000,000 records took " $NF " times as long as 100,000, goal 11" }
         $1 ~ /^[0-9]+$/ && $1 >= 100000 && NF == 8 && $8 > 3.5 { print "conversion of " $1 " records: " $8 " times the file size in memory, goal 3.5" }
         /conversion failed/ { print "conversion failed: " $0 }' "$work/convert.txt"
  fi
}

install_tools
build_programs
for kind in "${kinds[@]}"; do
  make_payload "$work/$kind" "$kind"
  make_package "$work/$kind"
  make_peer "$work/$kind" peer amd64-unicode
  [ "$i686" = 0 ] || make_peer "$work/$kind" peer32 x86-unicode
done
measure_args=(--measure --rounds "$rounds" --payload "${kinds[0]}")
[ ${#kinds[@]} = 1 ] || measure_args=(--measure --rounds "$rounds")
[ "$i686" = 1 ] || measure_args+=(--no-i686)
KX_WINE_STATE=$work/wine scripts/with-wine.sh bash "$0" "${measure_args[@]}"
print_table
print_pool_and_conversion
if [ "$check" = 1 ]; then
  missed=$(goals_missed)
  if [ -n "$missed" ]; then
    echo
    echo "Goals missed:"
    sed 's/^/- /' <<<"$missed"
    exit 1
  fi
  echo
  echo "Every row of our run meets its goal."
fi
