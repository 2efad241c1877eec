#!/usr/bin/env bash
# regsvr against the real plug-in, in a temporary XDG data folder, one case
# per run:
#   regsvr-cases.sh CASE REGSVR LIBVIDRA VIDRA_API_H DOUBLE_BOTH DOUBLE_REGISTER_ONLY
set -euo pipefail
case_name=$1 regsvr=$2 vidra=$3 api=$4 double_both=$5 double_register_only=$6
work=$(mktemp -d /tmp/orvane-regsvr.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data
root=$XDG_DATA_HOME/orvane-registry/HKEY_CLASSES_ROOT
fail() { echo "FAIL: $*" >&2; exit 1; }

api_string() { sed -n "s/^#define $1 \"\(.*\)\"\$/\1/p" "$api"; }
control=$(api_string VIDRA_CONTROL_CLSID)
server=$(api_string VIDRA_SERVER_CLSID)
progid=$(api_string VIDRA_PROGID)
[ -n "$control" ] && [ -n "$server" ] && [ -n "$progid" ] || fail "class ids not found in $api"

# The folder of a key given with backslashes: every segment is "k." + name.
key_folder() {
  local folder=$root segment
  local IFS='\'
  for segment in $1; do folder+="/k.$segment"; done
  printf '%s' "$folder"
}

# run ARGS...: regsvr's exit code in $rc, its stderr in $work/stderr.
run() { rc=0; "$regsvr" "$@" > "$work/stdout" 2> "$work/stderr" || rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "regsvr $2: exit $rc, expected $1 ($(cat "$work/stderr"))"; }

# Every key and every default value below the root, one "key = value" a line.
listing() {
  (cd "$root" && find . -mindepth 1 | sort) | while read -r entry; do
    local name=${entry##*/} key=/${entry#./}
    case $name in
      v.) key=${key%/v.}; key=${key//\/k./\/}; key=${key#/}
          printf '%s = %s\n' "${key//\//\\}" "$(cat "$root/$entry")" ;;
      k.*) key=${key//\/k./\/}; key=${key#/}; printf '%s\n' "${key//\//\\}" ;;
      *) printf 'unexpected entry %s\n' "$entry" ;;
    esac
  done
}

expect_registered() {
  local path=$1 expected
  expected=$(sort <<EOF2
CLSID
CLSID\\$control
CLSID\\$control = TarnFFMpeg Control
CLSID\\$control\\InprocServer32
CLSID\\$control\\InprocServer32 = $path
CLSID\\$control\\ProgID
CLSID\\$control\\ProgID = $progid
CLSID\\$server
CLSID\\$server\\InprocServer32
CLSID\\$server\\InprocServer32 = $path
$progid
$progid = TarnFFMpeg Control
$progid\\Clsid
$progid\\Clsid = $control
EOF2
)
  [ "$(listing | sort)" = "$expected" ] || fail "registry after registering:
$(listing)
expected:
$expected"
}

absolute=$(realpath "$vidra")
case $case_name in
  register-unregister)
    run "$vidra"; expect_rc 0 "$vidra"
    expect_registered "$absolute"
    run "$vidra"; expect_rc 0 "again"
    expect_registered "$absolute"
    run -u "$vidra"; expect_rc 0 "-u"
    [ "$(listing)" = "CLSID" ] || fail "after unregistering, expected CLSID alone:
$(listing)"
    run -u "$vidra"; expect_rc 0 "-u when not registered"
    ;;
  relative-path)
    # A bare file name is the file in the current folder; the registry still gets the absolute path.
    dir=$(dirname "$vidra") name=$(basename "$vidra")
    (cd "$dir" && "$regsvr" "$name") 2> "$work/stderr" || fail "regsvr $name in $dir: $(cat "$work/stderr")"
    expect_registered "$absolute"
    [ -f "$(key_folder "CLSID\\$server\\InprocServer32")/v." ] || fail "key folder layout"
    ;;
  failures)
    run "$work/no-such-library.so"; expect_rc 1 "missing library"
    [ "$(wc -l < "$work/stderr")" -eq 1 ] || fail "expected one line on stderr: $(cat "$work/stderr")"
    run -u "$double_register_only"; expect_rc 1 "-u without DllUnregisterServer"
    grep -q DllUnregisterServer "$work/stderr" || fail "stderr does not name the entry point: $(cat "$work/stderr")"
    run -u "$double_both"; expect_rc 1 "-u with a failing DllUnregisterServer"
    grep -q 0x80004005 "$work/stderr" || fail "stderr does not give the result: $(cat "$work/stderr")"
    run "$double_register_only"; expect_rc 0 "a stand-in that registers"
    run --help; expect_rc 0 "--help"
    grep -q 'usage: regsvr' "$work/stdout" || fail "--help prints no usage"
    run; expect_rc 2 "without arguments"
    run -x "$vidra"; expect_rc 2 "-x"
    run -u; expect_rc 2 "-u alone"
    [ ! -e "$root" ] || [ -z "$(listing)" ] || fail "failed runs wrote keys: $(listing)"
    ;;
  *) fail "unknown case $case_name" ;;
esac
echo "ok $case_name"
