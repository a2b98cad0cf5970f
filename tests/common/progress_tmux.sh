#!/usr/bin/env bash
# The progress line in a real terminal: tmux runs the programs in four windows at once,
# each on an input that comes slowly, and capture-pane reads their screens.
#   progress_tmux.sh BIN_DIR
# - mark_repeat on a regular, gzip-compressed table that is cut short, its repeat file a
#   pipe fed slowly: the line shows the compressed bytes read of the file's size, a share
#   and the time left, changes as the run goes on, and is gone when the error message
#   about the cut file is written: the message starts at the line's beginning.
# - vcf_to_table on a pipe fed slowly: bytes read without a size or share; the line is
#   gone at the end.
# - the same with standard error sent to a file: the file stays empty and the screen shows
#   nothing of a line; and the same on the terminal with WES_PROGRESS=0: nothing either.
# - mark_repeat on the plain table with one row out of order at its end: the order warning
#   comes while the line is shown, and starts at the beginning of a screen line.
# Exits 77 (skipped) where tmux cannot be had.
set -uo pipefail
bin=$(cd "$1" && pwd)

if ! command -v tmux > /dev/null; then
    echo "SKIPPED: tmux is not installed (apt-get install tmux, or make deps as root)"
    exit 77
fi

work=$(mktemp -d)
socket=wes-progress-$$
cleanup() {
    tmux -L "$socket" kill-server 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A table of 200,000 rows (11 MB) on one chromosome, every ten bases, with a random
# field so that its compressed copy is read in several parts; that copy lacks its last
# 100 bytes.
awk 'BEGIN { srand(1); print "Chr\tStart\tEnd\tRef\tAlt"
             for (i = 1; i <= 200000; i++)
                 printf "NC_000001.10\t%d\t%d\tA\tG\t%06d%06d%06d%06d\n", i * 10, i * 10, rand() * 1e6,
                        rand() * 1e6, rand() * 1e6, rand() * 1e6 }' > rows.txt
gzip -1 -c rows.txt > whole.gz
head -c $(($(stat -c %s whole.gz) - 100)) whole.gz > rows.gz
# Its 2,000 repeat intervals in 8 parts, one each half second: mark_repeat waits for each.
cat > feed_ssr.sh << 'EOF'
for part in 0 1 2 3 4 5 6 7; do
    awk -v p=$part 'BEGIN { for (k = p * 250 + 1; k <= (p + 1) * 250; k++)
                                printf "NC_000001.10\t%d\t%d\tx\t5\t(AT)%d\n", k * 1000, k * 1000 + 5, k % 20 + 2 }'
    sleep 0.5
done
EOF
# VCF data lines in 16 parts of 2,000, one each quarter second.
line='chr1	11856324	.	A	G	590.64	PASS	AC=1;AF=0.500;AN=2;BaseQRankSum=1.444;DP=42;ExcessHet=3.0103;FS=1.584;MLEAC=1;MLEAF=0.500;MQ=54.77;MQRankSum=-1.345;QD=14.06;ReadPosRankSum=0.215;SOR=0.760	GT:AD:DP:GQ:PL	0/1:21,20:42:99:600,0,630'
for _ in $(seq 2000); do printf '%s\n' "$line"; done > part.vcf
cat > feed_vcf.sh << 'EOF'
for _ in $(seq 16); do cat part.vcf; sleep 0.25; done
EOF
mkfifo ssr.fifo late.fifo
{ cat rows.txt; printf 'NC_000001.10\t5\t5\tA\tG\tx\n'; } > late.txt

# Each window keeps its screen after its command ends; "status=N" follows the program.
tmux -L "$socket" -f /dev/null new-session -d -s t -x 150 -y 8 -c "$work" -n idle "sleep 60" || {
    echo "SKIPPED: tmux cannot start a session here"
    exit 77
}
tmux -L "$socket" set-option -g remain-on-exit on > /dev/null
window() {  # window NAME COMMAND
    tmux -L "$socket" new-window -d -t t -n "$1" -c "$work" "$2; echo \$? > $1.status; echo status=\$(cat $1.status); sleep 60"
}
window file "bash feed_ssr.sh > ssr.fifo & WES_SSR_FILE=ssr.fifo $bin/mark_repeat rows.gz x out_file.txt"
window pipe "bash feed_vcf.sh | $bin/vcf_to_table - out_pipe.txt"
window redirected "bash feed_vcf.sh | $bin/vcf_to_table - out_redirected.txt 2> redirected.err"
window off "bash feed_vcf.sh | WES_PROGRESS=0 $bin/vcf_to_table - out_off.txt"
window late "bash feed_ssr.sh > late.fifo & WES_SSR_FILE=late.fifo $bin/mark_repeat late.txt x out_late.txt"

screen() { tmux -L "$socket" capture-pane -p -J -t "t:$1" | sed 's/ *$//' | grep -v '^$'; }

# Reads every screen five times a second until all five commands have ended, keeping the
# progress lines seen in each (lines that name the program and its rows).
declare -A seen
for _ in $(seq 60); do
    for w in file pipe redirected off late; do
        got=$(screen $w | grep -E '^(mark_repeat|vcf_to_table): .* (rows|lines) at ')
        [ -n "$got" ] && seen[$w]+="$got"$'\n'
    done
    ls file.status pipe.status redirected.status off.status late.status > /dev/null 2>&1 && break
    sleep 0.2
done
for w in file pipe redirected off late; do
    [ -f $w.status ] || fail "the $w window's program did not end within 12 s"
done

distinct() { printf '%s' "${seen[$1]:-}" | sort -u | grep -c .; }
# A regular file: "<bytes> of <size> (<share>%)" and the time left.
[ "$(distinct file)" -ge 2 ] || fail "mark_repeat's line did not appear and change: '${seen[file]:-}'"
printf '%s' "${seen[file]:-}" | grep -qE '^mark_repeat: [0-9.]+ (KiB|MiB) of [0-9.]+ MiB \([0-9]+%\), [0-9,]+ rows at [0-9,]+/s, [0-9]+:[0-9]{2} left$' ||
    fail "mark_repeat's line lacks the size, share or time left: '${seen[file]:-}'"
# A pipe: bytes read, no size, no share, no time left.
[ "$(distinct pipe)" -ge 2 ] || fail "vcf_to_table's line did not appear and change: '${seen[pipe]:-}'"
printf '%s' "${seen[pipe]:-}" | grep -qE '^vcf_to_table: [0-9.]+ (KiB|MiB) read, [0-9,]+ lines at [0-9,]+/s$' ||
    fail "vcf_to_table's line on a pipe is not '<bytes> read, <rows> lines at <rate>/s': '${seen[pipe]:-}'"
for w in redirected off; do
    [ -z "${seen[$w]:-}" ] || fail "a progress line showed in the $w window: '${seen[$w]}'"
done
[ ! -s redirected.err ] || fail "with standard error in a file, the file holds: '$(cat -A redirected.err)'"

# What stays on the screens: the program's own words from the line's beginning, nothing
# of the progress line.
want_file="Error: cannot read rows.gz: unexpected end of compressed data (file truncated)
status=2"
[ "$(screen file)" = "$want_file" ] || fail "mark_repeat's screen at the end: '$(screen file)'"
for w in pipe redirected off; do
    [ "$(screen $w)" = "status=0" ] || fail "vcf_to_table's screen at the end ($w): '$(screen $w)'"
done
[ -n "${seen[late]:-}" ] || fail "mark_repeat's line did not appear before the order warning"
want_late="warning: late.txt: line 200002: out of order: NC_000001.10 5 comes after NC_000001.10 2000000; rows after this point may miss values that the file holds
status=0"
[ "$(screen late)" = "$want_late" ] || fail "the order warning does not stand alone on its line: '$(screen late)'"
[ "$(wc -l < out_pipe.txt)" -eq 32000 ] || fail "vcf_to_table wrote $(wc -l < out_pipe.txt) rows, not 32000"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "the progress line appeared, changed and was wiped (mark_repeat on a compressed file, vcf_to_table on a pipe);" \
     "nothing of it with standard error in a file or WES_PROGRESS=0"
