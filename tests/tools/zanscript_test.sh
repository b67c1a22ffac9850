#!/usr/bin/env bash
# The zanscript tool as a user runs it: its output for the samples, byte-exact
# conversions, information edits, and every error with its exit status and
# the file left as it was. The same script runs the Linux tool and, with a
# runner (the Wine wrapper and its prefix), the Windows one.
# usage: zanscript_test.sh SOURCE_DIR WORK_DIR TOOL [RUNNER...]
set -uo pipefail
source_dir="$1" work="$2" tool="$3"
shift 3
runner=("$@")
examples="$source_dir/examples"
expected="$source_dir/tests/tools/expected"
failures=0

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
zs() { "${runner[@]}" "$tool" "$@"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
same() { cmp -s -- "$1" "$2" || fail "$3: $1 differs from $2"; }
# status EXPECTED DESCRIPTION -- command...: the exit status, and stderr one line naming the cause.
# With via=as_user before it, the command runs as an ordinary user.
status() {
  local want="$1" what="$2"
  shift 3
  "${via:-zs}" "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" = "$want" ] || fail "$what: exit $got, expected $want ($(cat err.txt))"
  if [ "$want" != 0 ] && [ "$(wc -l <err.txt)" != 1 ]; then fail "$what: expected one line on stderr"; fi
}

cp "$examples/greeting.script" utf8.script
cp "$examples/greeting-utf16le.script" utf16.script

# Output for the samples, in both encodings.
# show names the encoding it read on its first line.
for f in utf8.script utf16.script; do
  zs show "$f" >show.txt && tail -n +2 show.txt >lines.txt && same lines.txt "$expected/show.txt" "show $f"
  zs show --json "$f" >show.json && tail -n +2 show.json >lines.json && same lines.json "$expected/show.json" "show --json $f"
  zs cat "$f" >cat.txt && same cat.txt "$expected/cat.txt" "cat $f"
done
[ "$(head -1 show.txt)" = "encoding: utf16le, with a byte order mark" ] || fail "show's encoding: $(head -1 show.txt)"
[ "$(head -1 show.json)" = '{"encoding":"utf16le","mark":true,"lines":[' ] || fail "show --json's encoding: $(head -1 show.json)"
zs show utf8.script | head -1 | grep -qx "encoding: utf8, with a byte order mark" || fail "show's encoding of UTF-8"

# cat prints every line show numbers: empty ones and, in UTF-16LE, one-character ones too.
printf '\xef\xbb\xbf{\r\n\r\nx @@ k_;_v_;_\r\n}' > braces.script
printf '{\n\nx\n}\n' > braces.txt
zs convert --to utf16le braces.script braces16.script >/dev/null 2>&1
for f in braces.script braces16.script; do
  zs cat "$f" >cat.txt && same cat.txt braces.txt "cat $f"
done

# Conversions round-trip byte for byte, to a new file and in place.
status 0 "to UTF-16LE" -- convert --to utf16le utf8.script converted.script
same converted.script "$examples/greeting-utf16le.script" "UTF-8 to UTF-16LE"
status 0 "back to UTF-8 in place" -- convert --to utf8 converted.script
same converted.script "$examples/greeting.script" "UTF-16LE to UTF-8"
zs info del utf8.script 4 "script comments" >/dev/null 2>&1
printf 'plain\r\nline @@ k_;_v_;_' > ansi.script
status 0 "ANSI to UTF-8" -- convert --to utf8 ansi.script ansi-utf8.script
status 0 "and back" -- convert --to ansi ansi-utf8.script
same ansi-utf8.script ansi.script "ANSI round trip"
cp "$examples/greeting.script" utf8.script

# Information edits save the file in its own encoding.
status 0 "set" -- info set utf16.script 1 owner Ann
zs info get utf16.script 1 owner >got.txt
[ "$(cat got.txt)" = "Ann" ] || fail "get after set: $(cat got.txt)"
[ "$(head -c 2 utf16.script | od -An -tx1 | tr -d ' ')" = "fffe" ] || fail "set changed the encoding"
status 0 "del" -- info del utf16.script 1 owner
same utf16.script "$examples/greeting-utf16le.script" "set then del"

# Errors: status, one line, and no file changed.
cp utf8.script before.script
status 1 "missing file" -- show missing.script
status 1 "missing file in cat" -- cat missing.script
status 1 "line out of range" -- info set utf8.script 7 k v
status 2 "line not a number" -- info get utf8.script x k
status 1 "missing key" -- info get utf8.script 1 nothing
status 1 "deleting a missing key" -- info del utf8.script 1 nothing
for bad in "a_;_b" "a @@ b" " lead" "trail " "with id" ""; do
  status 1 "key '$bad'" -- info set utf8.script 1 "$bad" v
done
for bad in "a_;_b" "x @@ y" " lead" ""; do
  status 1 "value '$bad'" -- info set utf8.script 1 k "$bad"
done
status 1 "text ANSI cannot hold" -- convert --to ansi utf8.script out.script
[ -e out.script ] && fail "a refused conversion wrote a file"
# Only a value, or only a key, that the code page cannot hold is enough.
printf '\xef\xbb\xbfplain @@ k_;_\xe3\x81\x93_;_' > value.script
printf '\xef\xbb\xbfplain @@ \xe3\x81\x93_;_v_;_' > key.script
for f in value key; do
  cp $f.script $f-before.script && rm -f out.script
  status 1 "$f ANSI cannot hold" -- convert --to ansi $f.script out.script
  [ -e out.script ] && fail "a refused conversion of a $f wrote a file"
  status 1 "$f ANSI cannot hold, in place" -- convert --to ansi $f.script
  same $f.script $f-before.script "$f file after a refused conversion"
done
status 1 "value an ANSI file cannot hold" -- info set ansi.script 0 k "こんにちは"
# "ï»¿" first in an ANSI file would be the bytes of the UTF-8 mark.
printf '\xef\xbb\xbf\xc3\xaf\xc2\xbb\xc2\xbftext\r\nsecond' > marklike.script
rm -f out.script
status 1 "an ANSI file that would begin like a mark" -- convert --to ansi marklike.script out.script
[ -e out.script ] && fail "a conversion to a file that reads as UTF-8 wrote it"
# Failures name the reason the system gave.
mkdir -p folder
status 1 "save into a missing folder" -- convert --to utf8 utf8.script nofolder/out.script
grep -q "(no such folder); nothing was written" err.txt || fail "missing folder not named: $(cat err.txt)"
status 1 "save over a folder" -- convert --to utf8 utf8.script folder
grep -Eq "is a folder|permission denied" err.txt || fail "folder not named: $(cat err.txt)"
# A pipe is no file to save over, and the tool must not wait on it to say so.
if [ ${#runner[@]} -eq 0 ] && mkfifo pipe.script; then
  timeout 20 "$tool" convert --to utf8 utf8.script pipe.script >out.txt 2>err.txt
  [ $? = 1 ] && grep -q "pipe.script: cannot save the script (is a device or a pipe, not a file)" err.txt ||
    fail "save over a pipe: $(cat err.txt)"
  rm -f pipe.script
fi
status 1 "show a missing file" -- show missing.script
grep -q "no such file" err.txt || fail "missing file not named: $(cat err.txt)"
if [ -w /dev/full ]; then
  zs show utf8.script >/dev/full 2>err.txt && fail "output to a full device exits 0"
  # Wine's C library keeps no reason for it.
  want="disk full" && [ ${#runner[@]} -gt 0 ] && want="cannot write the output"
  grep -q "$want" err.txt || fail "full device not named: $(cat err.txt)"
fi
status 2 "unknown encoding" -- convert --to latin1 utf8.script
# An argument that is no UTF-8 would become U+FFFD: another value, another file.
if [ ${#runner[@]} -eq 0 ]; then
  status 2 "a value not UTF-8" -- info set utf8.script 1 k $'caf\xe9'
  grep -q "argument 6 is not valid UTF-8" err.txt || fail "a value not UTF-8: $(cat err.txt)"
  status 2 "a file name not UTF-8" -- convert --to utf8 utf8.script $'out\xff.script'
  [ -e $'out\xef\xbf\xbd.script' ] && fail "a file name not UTF-8 wrote another file"
fi
status 2 "unknown command" -- frob
status 2 "no arguments" --
same utf8.script before.script "after the errors"
same ansi.script ansi-utf8.script "ANSI file after the errors"

# A guard before every write: a file whose document would not save back to
# the same bytes is refused, naming its first line at fault, and stays whole.
printf '\xef\xbb\xbfone\r\n\xc3(two\r\nthree' > undecodable.script
printf '\xef\xbb\xbfone\r\nt\0wo\r\nthree' > nul-byte.script
printf 'D\0i\0m\0 \0x\0\r\0\n\0x\0 \0=\0 \0001\0' > utf16-no-mark.script
printf '\xff\xfeo\0n\0e\0\r\0\n\0\000\xdcx\0' > lone-surrogate.script
printf 'one\r\n\x01\x02\x03\x04binary' > binary.script
printf '\xef\xbb\xbfone @@ k_;_1_;_k_;_2_;_\r\ntwo' > twice.script
printf '\xfe\xff\0o\0n\0e' > big-endian.script
# The reader drops a CR that ends no line: CR line ends would join the lines.
printf 'one\rtwo\rthree' > cr-ends.script
printf 'one\r\ntw\ro\r\nthree' > lone-cr.script
printf '\xff\xfeo\0n\0e\0\r\0\n\0t\0\r\0' > lone-cr16.script
for case in "undecodable 1" "nul-byte 1" "utf16-no-mark 0" "lone-surrogate 1" "binary 1" "twice 0" "big-endian 0" \
  "cr-ends 0" "lone-cr 1" "lone-cr16 1"; do
  set -- $case
  f=$1.script && sum=$(cksum <$f) && rm -f out.script
  status 1 "info set on $f" -- info set $f 0 k v
  grep -q "line $2 (lines count from 0)" err.txt || fail "info set on $f: does not name line $2: $(cat err.txt)"
  status 1 "info set --normalize on $f" -- info set --normalize $f 0 k v
  status 1 "info del --normalize on $f" -- info del --normalize $f 0 k
  status 1 "convert in place of $f" -- convert --to utf8 $f
  status 1 "convert --normalize of $f" -- convert --normalize --to utf16le $f out.script
  [ -e out.script ] && fail "a refused conversion of $f wrote a file"
  [ "$(cksum <$f)" = "$sum" ] || fail "$f changed after refused writes"
done
# cat prints what it read, and says what it could not: a line missing fails.
status 1 "cat of a line not UTF-8" -- cat undecodable.script
grep -q "undecodable.script: line 1 (lines count from 0) is not valid UTF-8" err.txt || fail "cat: $(cat err.txt)"
printf 'one\nthree\n' >want.txt
same out.txt want.txt "cat of a line not UTF-8"
status 1 "cat of UTF-16 without a mark" -- cat utf16-no-mark.script
# Past a line left out, no LINE is the file's line of that number.
printf '\xef\xbb\xbfone\r\nt\xc3(wo\r\nthree @@ k_;_v_;_' > shifted.script
for action in "get shifted.script 1 k" "list shifted.script 1"; do
  status 1 "info $action" -- info $action
  [ -s out.txt ] && fail "info $action printed $(cat out.txt)"
done
# UTF-8 without a mark is refused for edits with a hint; --from reads it so.
printf 'caf\xc3\xa9\r\nx' > nomark.script
sum=$(cksum <nomark.script)
zs show nomark.script | head -1 | grep -q "^encoding: ansi (code page [0-9]*), without a byte order mark" || fail "show names ANSI"
zs show nomark.script | head -1 | grep -q "line 0 (lines count from 0) reads as UTF-8" || fail "show does not say the file reads as UTF-8"
zs show utf16-no-mark.script | head -1 | grep -q "UTF-16 without a mark" || fail "show does not name UTF-16 without a mark"
zs show --json utf16-no-mark.script | head -1 | grep -q '"note":".*UTF-16 without a mark' || fail "show --json does not name UTF-16 without a mark"
status 1 "UTF-8 without a mark" -- info set nomark.script 1 k v
grep -q "line 0 (lines count from 0).*--from utf8" err.txt || fail "no hint for UTF-8 without a mark: $(cat err.txt)"
status 1 "UTF-8 without a mark, convert" -- convert --to utf8 nomark.script
[ "$(cksum <nomark.script)" = "$sum" ] || fail "nomark.script changed after refused writes"
status 0 "cat of UTF-8 without a mark" -- cat nomark.script
grep -q "line 0 (lines count from 0) reads as UTF-8" err.txt || fail "cat does not say the file reads as UTF-8: $(cat err.txt)"
zs show --from utf8 nomark.script >show.txt
[ "$(sed -n 2p show.txt)" = "0: café" ] || fail "show --from utf8: $(sed -n 2p show.txt)"
head -1 show.txt | grep -qx "encoding: utf8, without a byte order mark (as --from said)" || fail "show --from names it: $(head -1 show.txt)"
status 0 "convert --from utf8 adds the mark" -- convert --from utf8 --to utf8 nomark.script marked.script
printf '\xef\xbb\xbfcaf\xc3\xa9\r\nx' > marked-expected.script
same marked.script marked-expected.script "convert --from utf8 --to utf8"
status 0 "set --from ansi" -- info set --from ansi nomark.script 1 k v
zs info get nomark.script 0 k >/dev/null 2>&1 && fail "set --from ansi set the wrong line"
printf 'D\0i\0m\0\r\0\n\0x\0' > nomark16.script
status 0 "convert --from utf16le" -- convert --from utf16le --to utf8 nomark16.script nomark16-8.script
printf '\xef\xbb\xbfDim\r\nx' > nomark16-expected.script
same nomark16-8.script nomark16-expected.script "convert --from utf16le"
status 2 "unknown --from" -- show --from latin1 utf8.script

# What only the format changes is listed and refused, then done with --normalize.
printf 'one\ntwo @@ k_;_v_;_\n' > lf.script
sum=$(cksum <lf.script)
status 1 "LF line ends" -- info set lf.script 0 k v
grep -q "LF line ends become CR LF; the last line break goes; --normalize" err.txt || fail "LF changes not listed: $(cat err.txt)"
status 1 "LF line ends, convert" -- convert --to utf16le lf.script out.script
[ -e out.script ] && fail "a refused conversion of lf.script wrote a file"
[ "$(cksum <lf.script)" = "$sum" ] || fail "lf.script changed after refused writes"
# The format drops an empty last line, and dropping a line is never accepted.
printf 'one\r\n\r\n' > empty-last.script
sum=$(cksum <empty-last.script)
status 1 "an empty last line" -- info set --normalize empty-last.script 0 k v
grep -q "line 1 (lines count from 0) is an empty last line, which the format does not save" err.txt ||
  fail "empty last line not named: $(cat err.txt)"
[ "$(cksum <empty-last.script)" = "$sum" ] || fail "empty-last.script changed after a refused write"
printf 'one\r\n @@ k_;_v_;_' > info-last.script
sum=$(cksum <info-last.script)
status 1 "an edit that empties the last line" -- info del info-last.script 1 k
grep -q "line 1 (lines count from 0) does not fit the format as edited: it would be an empty last line" err.txt ||
  fail "an edit that empties the last line: $(cat err.txt)"
[ "$(cksum <info-last.script)" = "$sum" ] || fail "info-last.script changed after a refused edit"
status 0 "set with --normalize" -- info set --normalize lf.script 0 k v
printf 'one @@ k_;_v_;_\r\ntwo @@ k_;_v_;_' > lf-normalized.script
same lf.script lf-normalized.script "set with --normalize"
# An edit the format cannot hold as given is refused, naming the line and
# what would read back; one that reads back as given is saved.
printf '\xef\xbb\xbfline\r\ntrail  \r\nend' > edits.script
sum=$(cksum <edits.script)
for case in "0|a_;|v|its information would read back as a = ;_v" "0|k|v_;|its information would read back as k = v" \
  "0|@@ x|v|its text would read back as \"line @@\"" "1|k|v|its text would read back as \"trail\""; do
  IFS='|' read -r line key value says <<<"$case"
  status 1 "set [$key] to [$value] on line $line" -- info set edits.script "$line" "$key" "$value"
  grep -qF "line $line (lines count from 0) does not fit the format as edited: $says;" err.txt ||
    fail "set [$key] to [$value]: $(cat err.txt)"
done
# The line's text is held under a key, which info neither lists nor changes.
status 1 "set the text's key" -- info set edits.script 0 "script source" other
status 1 "delete the text's key" -- info del edits.script 0 "script source"
grep -q "holds the line's text" err.txt || fail "the text's key not named: $(cat err.txt)"
[ "$(cksum <edits.script)" = "$sum" ] || fail "edits.script changed after refused edits"
status 0 "a key and value with separator halves that read back" -- info set edits.script 0 "a_" ";_v_"
zs info get edits.script 0 a_ >got.txt
[ "$(cat got.txt)" = ";_v_" ] || fail "key a_: $(cat got.txt)"
# The copies a check makes hold the script: only its user may read them.
# strace holds each rename back, so that they are seen while they last.
if [ ${#runner[@]} -eq 0 ] && strace -o /dev/null true 2>/dev/null; then
  mkdir -p checks && cp utf8.script private.script && chmod 600 private.script
  TMPDIR="$work/checks" strace -f -o /dev/null -e trace=rename,renameat,renameat2 \
    -e inject=rename,renameat,renameat2:delay_enter=1000000 "$tool" info set private.script 1 k v >/dev/null 2>&1 &
  modes=
  for _ in $(seq 10); do
    modes=$(find checks -type f -printf '%m ')
    [ -n "$modes" ] && break
    sleep 0.1
  done
  wait
  [ -n "$modes" ] && [ -z "$(echo "$modes" | tr ' ' '\n' | grep -vx -e 600 -e '')" ] ||
    fail "a check copy's mode: ${modes:-none seen}"
  rm -rf checks private.script
  # What another program writes while an edit is under way is not saved
  # over, by an edit or a conversion in place, whatever the name it is given.
  for edit in "info set racing.script 1 k v" "convert --to utf16le racing.script ./racing.script"; do
    mkdir -p checks && cp utf8.script racing.script
    # shellcheck disable=SC2086
    TMPDIR="$work/checks" strace -f -o /dev/null -e trace=rename,renameat,renameat2 \
      -e inject=rename,renameat,renameat2:delay_enter=1000000 "$tool" $edit >/dev/null 2>err.txt &
    for _ in $(seq 10); do
      [ -n "$(find checks -type f)" ] && break
      sleep 0.1
    done
    cp utf16.script racing.script
    wait $!
    got=$?
    [ $got = 1 ] && grep -q "racing.script: it changed since it was read" err.txt ||
      fail "a file written meanwhile, $edit: exit $got, $(cat err.txt)"
    same racing.script utf16.script "a file written meanwhile, $edit"
    rm -rf checks racing.script
  done
fi
# Edits of one file at the same time each keep theirs: each waits for the
# one before.
cp "$examples/greeting.script" together.script
for i in 1 2 3 4 5 6 7 8; do zs info set together.script 1 k$i v$i >/dev/null 2>&1 & done
wait
kept=$(zs info list together.script 1 | grep -c '^k[1-8] = v[1-8]$')
[ "$kept" = 8 ] || fail "edits at the same time: $kept of 8 kept"
# A value that looks like an option is a value.
status 0 "value -h" -- info set utf8.script 1 flag -h
zs info get utf8.script 1 flag >got.txt
[ "$(cat got.txt)" = "-h" ] || fail "value -h: $(cat got.txt)"
status 0 "del it" -- info del utf8.script 1 flag
same utf8.script before.script "after setting and deleting -h"

# The command line as other tools take it: --opt=value, -- and - for
# standard input and output, and arguments that look like options.
snapshot() { find . -type f ! -name '*.txt' ! -name '*.sum' -print0 | LC_ALL=C sort -z | xargs -0 cksum; }
snapshot >before.sum
status 0 "--to=utf16le" -- convert --to=utf16le utf8.script equals.script
same equals.script "$examples/greeting-utf16le.script" "convert --to=utf16le"
status 0 "--from=utf8" -- show --from=utf8 nomark.script
rm -f equals.script
cp -- utf8.script -dash.script
status 0 "-- before a FILE with a dash" -- show -- -dash.script
status 2 "a FILE with a dash is an option" -- show -dash.script
status 0 "set after --" -- info set -- -dash.script 1 k v
status 0 "del after --" -- info del -- -dash.script 1 k
same -dash.script utf8.script "set and del after --"
rm -f -- -dash.script
status 0 "a KEY and VALUE that look like options" -- info set utf8.script 1 --help --
zs info get utf8.script 1 --help >got.txt
[ "$(cat got.txt)" = "--" ] || fail "KEY --help: $(cat got.txt)"
status 0 "del a KEY that looks like an option" -- info del utf8.script 1 --help
status 1 "cat's -h after a FILE is a FILE" -- cat utf8.script -h
grep -q "^zanscript: -h: cannot read it: no such file" err.txt || fail "cat utf8.script -h: $(cat err.txt)"
grep -q "^Usage" out.txt && fail "cat utf8.script -h printed the usage"
status 2 "an option after the FILE" -- show utf8.script --json
grep -q "options go before the first argument" err.txt || fail "no hint for an option after FILE: $(cat err.txt)"
status 2 "an option's value that looks like one" -- show --from -h utf8.script
grep -q -- "--from: -h not in" err.txt || fail "--from -h: $(cat err.txt)"
status 2 "unknown option" -- --bogus
grep -q "unknown option --bogus" err.txt || fail "unknown option not named: $(cat err.txt)"
status 2 "unknown info command" -- info frob utf8.script
grep -q "unknown command info frob" err.txt || fail "unknown info command not named: $(cat err.txt)"
status 2 "info without a command" -- info
status 2 "--to without its value" -- convert --to
status 2 "too many FILEs" -- show utf8.script utf16.script
status 2 "a missing VALUE" -- info set utf8.script 1 k
snapshot | cmp -s - before.sum || fail "the command line checks changed a file"
# Standard input and output.
zs cat - <utf16.script >cat.txt && same cat.txt "$expected/cat.txt" "cat -"
zs show - <utf8.script >show.txt && tail -n +2 show.txt >lines.txt && same lines.txt "$expected/show.txt" "show -"
head -1 show.txt | grep -qx "encoding: utf8, with a byte order mark" || fail "show - names the encoding: $(head -1 show.txt)"
zs convert --to utf16le - <utf8.script >stdout.script && same stdout.script utf16.script "convert - to standard output"
zs convert --to utf16le - - <utf8.script >stdout.script && same stdout.script utf16.script "convert - -"
zs convert --to utf8 utf16.script - >stdout.script && same stdout.script utf8.script "convert IN -"
printf 'caf\xc3\xa9\r\nx' | zs convert --from utf8 --to utf8 - - >stdout.script
same stdout.script marked-expected.script "convert --from utf8 - -"
zs info get - 0 "script comments" <utf8.script >got.txt
[ "$(cat got.txt)" = "Says hello in three languages" ] || fail "info get -: $(cat got.txt)"
rm -f stdout.script
snapshot >before.sum
status 1 "an undecodable standard input" -- convert --to utf8 - <undecodable.script
grep -q "^zanscript: standard input: line 1 (lines count from 0)" err.txt || fail "standard input not named: $(cat err.txt)"
[ -s out.txt ] && fail "a refused conversion wrote to standard output"
status 2 "info set on standard input" -- info set - 0 k v <utf8.script
status 2 "info del on standard input" -- info del - 0 k <utf8.script
snapshot | cmp -s - before.sum || fail "refusals on standard input changed a file"

# info list: a line's information, one KEY = VALUE a line, as show lists it.
for line in 0 1 2 3 4 5 6; do
  zs show utf8.script | awk -v n="$line" '/^[0-9]+: / { on = ($0 ~ "^" n ": ") } on && /^    / { sub(/^    /, ""); print }' >want.txt
  status 0 "info list line $line" -- info list utf8.script "$line"
  same out.txt want.txt "info list line $line"
done
[ "$(zs info list utf8.script 2 | wc -l)" = 2 ] || fail "info list line 2 does not list two pieces"
printf '\xef\xbb\xbfone @@ a_;_1_;_b_;_-h_;_c_;_3_;_\r\ntwo' > three.script
zs info list three.script 0 >got.txt
printf 'a = 1\nb = -h\nc = 3\n' >want.txt
same got.txt want.txt "info list in the file's order"
status 0 "info list of a line without information" -- info list three.script 1
[ -s out.txt ] && fail "info list printed something for a line without information"
status 1 "info list out of range" -- info list three.script 2
grep -q "line 2 is out of range (the script has 2 lines)" err.txt || fail "info list out of range: $(cat err.txt)"
status 2 "info list of no line" -- info list three.script x
zs info list - 0 <three.script >got.txt && same got.txt want.txt "info list -"

# A save the user may not make names the reason and changes nothing. Run as
# root (as in CI), the tool runs as nobody: under Wine in a prefix of
# nobody's own beside the runner's, booted on first use.
as_user() {
  if [ "$(id -u)" != 0 ]; then
    zs "$@"
  elif [ ${#runner[@]} -eq 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups env TMPDIR=/tmp "$tool" "$@"
  else
    local home="${runner[2]}-user"
    mkdir -p "$home" && chown 65534:65534 "$home"
    setpriv --reuid=65534 --regid=65534 --clear-groups env -u TMPDIR HOME="$home" \
      "${runner[0]}" "${runner[1]}" "$home/prefix" "$tool" "$@"
  fi
}
mkdir -p locked && cp utf8.script locked/in.script && chmod 755 locked && chmod 644 locked/in.script && chmod 555 locked
snapshot >before.sum
via=as_user status 1 "save into a folder the user cannot write to" -- convert --to utf16le utf8.script locked/out.script
grep -q "locked.out.script: cannot save the script (permission denied); nothing was written" err.txt ||
  fail "save into a locked folder: $(cat err.txt)"
via=as_user status 1 "an edit in a folder the user cannot write to" -- info set locked/in.script 0 k v
grep -q "permission denied" err.txt || fail "edit in a locked folder: $(cat err.txt)"
if [ "$(id -u)" = 0 ] && [ ${#runner[@]} -eq 0 ]; then
  # Its own file there it may edit, where no temporary folder is named too.
  cp utf8.script locked/own.script && chown 65534:65534 locked/own.script
  setpriv --reuid=65534 --regid=65534 --clear-groups env -u TMPDIR -u TEMP -u TMP "$tool" info set locked/own.script 0 k v \
    2>err.txt || fail "an edit of a user's own file in a locked folder: $(cat err.txt)"
  rm -f locked/own.script
fi
if [ ${#runner[@]} -eq 0 ]; then
  # A temporary folder that is not there is named as the fault, not the script.
  cp utf8.script tmpdir.script
  TMPDIR="$work/none" "$tool" info set tmpdir.script 0 k v 2>err.txt && fail "an edit without a temporary folder saved"
  grep -q "no copy can be made in the temporary folder: no such folder" err.txt ||
    fail "a missing temporary folder: $(cat err.txt)"
  same tmpdir.script utf8.script "an edit without a temporary folder"
  rm -f tmpdir.script
fi
chmod 444 locked/in.script
via=as_user status 1 "an edit of a read-only file" -- info set locked/in.script 0 k v
grep -q "in.script: cannot save the script (permission denied); the file is unchanged" err.txt ||
  fail "edit of a read-only file: $(cat err.txt)"
chmod 644 locked/in.script
via=as_user status 0 "reading there still works" -- info get locked/in.script 0 "script comments"
snapshot | cmp -s - before.sum || fail "refused saves in a locked folder changed a file"
chmod 755 locked

status 0 "help" -- --help
grep -q "^ANSI here is code page [0-9]*\.$" out.txt || fail "help does not name the ANSI code page"
grep -q "^Examples:" out.txt && grep -q '^  \$ zanscript info set ' out.txt || fail "help shows no examples"
for command in cat show convert info "info get" "info list" "info set" "info del"; do
  status 0 "$command --help" -- $command --help
  grep -q "^Usage: zanscript $command " out.txt || fail "$command --help: no usage"
  grep -q "^Examples:" out.txt || fail "$command --help shows no examples"
done
# The ANSI code page: chosen on Linux, the system's on Windows.
printf 'caf\xe9' > page.script
if [ ${#runner[@]} -eq 0 ]; then
  zs --help | grep -q -- "^--code-page N, before or after the COMMAND" || fail "help does not say how to choose the code page"
  zs show page.script | grep -qx "0: café" || fail "code page 1252 by default"
  zs --code-page 1251 show page.script >show.txt
  [ "$(head -1 show.txt)" = "encoding: ansi (code page 1251), without a byte order mark" ] || fail "--code-page: $(head -1 show.txt)"
  [ "$(sed -n 2p show.txt)" = "0: cafй" ] || fail "--code-page 1251: $(sed -n 2p show.txt)"
  zs show --code-page 1251 page.script | grep -qx "0: cafй" || fail "--code-page after the command"
  status 2 "a code page not converted" -- --code-page 99999 show page.script
  status 2 "a code page not a number" -- --code-page x show page.script
  status 1 "a value code page 1252 cannot hold" -- info set page.script 0 k д
  status 0 "and code page 1251 can" -- info set --code-page 1251 page.script 0 k д
  printf 'caf\xe9 @@ k_;_\xe4_;_' > page-expected.script
  same page.script page-expected.script "set in code page 1251"
  # UTF-8 as the ANSI code page (as Windows may have it) holds every text;
  # UTF-16 and UTF-7 are no ANSI code page.
  printf 'caf\xc3\xa9' > page-utf8.script
  status 0 "set in code page 65001" -- --code-page 65001 info set page-utf8.script 0 k ä
  printf 'caf\xc3\xa9 @@ k_;_\xc3\xa4_;_' > page-utf8-expected.script
  same page-utf8.script page-utf8-expected.script "set in code page 65001"
  for unicode in 1200 1201 65000; do
    status 2 "code page $unicode" -- --code-page $unicode show page.script
  done
  # The manual page is the help, examples and all, where help2man is installed.
  page="$(dirname "$tool")/../tools/zanscript/zanscript.1"
  if command -v help2man >/dev/null; then
    grep -q '^\.SH EXAMPLES' "$page" && grep -q 'zanscript info set greeting.script 3 owner -h' "$page" ||
      fail "the manual page shows no examples"
    grep -q '^\.SS "zanscript info list"' "$page" || fail "the manual page does not tell each command"
  fi
else
  zs --help | grep -q "^It is the system's setting" || fail "help does not say whose the code page is"
  status 2 "no code page to choose on Windows" -- --code-page 1251 show page.script
fi
status 0 "command help" -- info --help
zs --version >version.txt && grep -q '^zanscript [0-9]' version.txt || fail "version"

[ "$failures" = 0 ] && echo "zanscript: all checks passed"
exit $((failures > 0))
