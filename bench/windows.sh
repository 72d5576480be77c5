#!/usr/bin/env bash
# Typing rate of the Windows program under Wine: a TCP peer sends three texts (ASCII,
# accented, every printable Windows-1252 character) to the .exe, which types them
# through the key notation into our Windows target window; what arrives is compared
# with what was sent. Ends with one line:
#   windows typing: ascii A chars/s, accented B chars/s, cp1252 C chars/s, E errors
#   bench/windows.sh [windows build folder]     (default build/windows)
# The Wine prefix is the one the Wine tests of build/ use (made on first use).
set -euo pipefail
cd "$(dirname "$0")/.."

windows=${1:-build/windows}
exe=$windows/Kest_Redirect_Serial_to_KB.exe
target=$windows/tests/e2e/wine/kest_wine_target.exe
for f in "$exe" "$target"; do
  [ -f "$f" ] || { echo "$f is missing: build it with scripts/windows" >&2; exit 1; }
done
# Bytes, not characters, in this script (the texts are Windows-1252); Wine gets UTF-8.
export LC_ALL=C LANG=C WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine() { LC_ALL=C.UTF-8 LANG=C.UTF-8 command wine "$@"; }

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private Xvfb that keeps its keymap (-noreset), without the stray second parenleft
# and parenright (keycodes 187, 188) that make Wine pick a key typing nothing for ( ).
mkfifo "$work/displayfd"
setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/displayfd" \
  >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 number <"$work/displayfd" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
xmodmap -e 'keycode 187 =' -e 'keycode 188 ='

# The shared prefix: made once, under a lock, marked complete only when wineboot ended.
root=build/wine
mkdir -p "$root"
version=$(wine --version | tr -c 'A-Za-z0-9.\n' '-')
export WINEPREFIX=$PWD/$root/prefix-$version
(
  flock 9
  if [ ! -e "$WINEPREFIX/.kest-complete" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >"$root/wineboot.log" 2>&1
    wineserver -w
    echo "$version" >"$WINEPREFIX/.kest-complete"
  fi
) 9>"$root/prefix.lock"
wineserver -k 2>/dev/null || true

now() { date +%s.%N; }
size() { stat -c %s "$1" 2>/dev/null || echo 0; }
wait_for() { # wait_for SECONDS COMMAND...: true once the command succeeds
  local deadline=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# The receiver, then the program as a TCP server typing into it by title.
title="Kest Wine Bench Receiver"
record=$work/typed
wine "$target" "$title" "Z:${record//\//\\}" >"$work/target.log" 2>&1 &
wait_for 60 test -e "$record.ready" || { echo "the target window did not start" >&2; exit 1; }

port=$((20000 + RANDOM % 20000))
config=$WINEPREFIX/drive_c/TALVEN.CFG_WineBench
mkdir -p "$config"
printf '' >"$config/TOUCHE_INP.CFG"
printf '' >"$config/TOUCHE_OUT.CFG"
printf '200\r\n' >"$config/TOUCHE_REM.CFG"
printf '.2\r\n9600,N,8,1\r\n 0 \r\n\r\n\r\n%s\r\n 0 \r\n 0 \r\nNone\r\n 0 \r\n0.0.0.0\r\n%s\r\nTrue\r\n' \
  "$title" "$port" >"$config/GENERAL.CFG"
wine "$exe" "/#WineBench#" >"$work/program.log" 2>&1 &
connect() { exec 3<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null
wait_for 90 connect || { echo "the program does not listen on $port" >&2; exit 1; }

# The texts, as Windows-1252 bytes. '^' is left out: the pipeline splits the received
# text at every caret (it is the Ctrl of the next piece), so it cannot be typed as itself.
ascii=""
while [ ${#ascii} -lt 400 ]; do ascii+="The quick brown fox jumps over the lazy dog, 0123456789! "; done
accented=""
while [ ${#accented} -lt 300 ]; do
  accented+=$(printf 'caf\xe9 cr\xe8me br\xfbl\xe9e \xe0 la fa\xe7on na\xefve \xc9T\xc9 \xd6l \xdf \xf1 ')
done
cp1252=""
for code in $(seq 32 126) $(seq 128 255); do
  case $code in 94 | 129 | 141 | 143 | 144 | 157) continue ;; esac
  cp1252+=$(printf "\\x$(printf %02x "$code")")
done

# The key notation reads + % ~ ( ) { } [ ] as keys; in braces they are typed as they are.
notation() {
  local text=$1 out="" c i
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case $c in "+" | "%" | "~" | "(" | ")" | "{" | "}" | "[" | "]") out+="{$c}" ;; *) out+=$c ;; esac
  done
  printf '%s' "$out"
}

# type_text NAME BYTES: prints the rate and the number of characters that did not
# arrive as sent. The time runs from the send until the last character arrived.
type_text() {
  local bytes=$2 expected=$work/$1.expected got=$work/$1.got
  printf '%s' "$bytes" | iconv -f CP1252 -t UTF-8 >"$expected"
  local start want t0 t_last last cur
  start=$(size "$record")
  want=$((start + $(size "$expected")))
  t0=$(now)
  notation "$bytes" >&3
  t_last=$t0
  last=$start
  while :; do
    cur=$(size "$record")
    [ "$cur" != "$last" ] && { last=$cur; t_last=$(now); }
    [ "$cur" -ge "$want" ] && break
    # No progress for 20 s: the rest is not coming.
    awk -v a="$(now)" -v b="$t_last" 'BEGIN { exit !(a - b > 20) }' && break
    sleep 0.02
  done
  tail -c +$((start + 1)) "$record" >"$got"
  local chars sent_chars diff
  chars=$(iconv -f UTF-8 -t UTF-32LE <"$expected" | wc -c)
  sent_chars=$((chars / 4))
  # Characters that differ, position by position, and those missing or extra.
  diff=$(cmp -l <(iconv -f UTF-8 -t UTF-32LE <"$expected") \
    <(iconv -c -f UTF-8 -t UTF-32LE <"$got") 2>/dev/null | awk '{print int(($1 - 1) / 4)}' | uniq | wc -l)
  local got_chars
  got_chars=$(($(iconv -c -f UTF-8 -t UTF-32LE <"$got" | wc -c) / 4))
  diff=$((diff + (got_chars > sent_chars ? got_chars - sent_chars : sent_chars - got_chars)))
  awk -v n="$sent_chars" -v a="$t0" -v b="$t_last" -v e="$diff" \
    'BEGIN { printf "%.0f %d\n", (b > a ? n / (b - a) : 0), e }'
}

read -r ascii_rate ascii_errors < <(type_text ascii "$ascii")
read -r accented_rate accented_errors < <(type_text accented "$accented")
read -r cp1252_rate cp1252_errors < <(type_text cp1252 "$cp1252")
echo "windows typing: ascii $ascii_rate chars/s, accented $accented_rate chars/s," \
  "cp1252 $cp1252_rate chars/s, $((ascii_errors + accented_errors + cp1252_errors)) errors"
