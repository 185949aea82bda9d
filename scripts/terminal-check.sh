#!/usr/bin/env bash
# Terminal check of q6fd: `seed` shows a progress line on a terminal and
# nothing on a pipe. Runs q6fd under tmux (a terminal of its own), captures
# the screen, then runs it again through a pipe. Fails when either
# expectation is not met.
#
#   scripts/terminal-check.sh [build-folder]      (default: build)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
q6fd="$build/bin/q6fd"
[ -x "$q6fd" ] || { echo "terminal-check: no $q6fd (build it first)" >&2; exit 1; }
command -v tmux >/dev/null || { echo "terminal-check: tmux is not installed (scripts/deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
session="q6fd-check-$$"
cleanup() {
  tmux kill-session -t "$session" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# On a terminal: the progress line, then the summary. The pane stays open
# after the command ends so its screen can be captured.
tmux new-session -d -s "$session" -x 120 -y 20 \
  "TERM=xterm '$q6fd' seed 'Driver=sqlite;Database=$work/tty.db' --documents 3000; echo \"exit=\$?\"; sleep 600"
for _ in $(seq 1 600); do
  tmux capture-pane -p -t "$session" > "$work/screen.txt"
  grep -q '^exit=' "$work/screen.txt" && break
  sleep 0.1
done
echo "--- screen on a terminal:"
grep -v '^$' "$work/screen.txt"
grep -q '^exit=0' "$work/screen.txt" || { echo "FAIL: seed did not succeed on the terminal" >&2; exit 1; }
grep -Eq 'seeding \[#+\] 6000/6000' "$work/screen.txt" ||
  { echo "FAIL: no progress line on the terminal" >&2; exit 1; }
grep -q '6750 documents added' "$work/screen.txt" ||
  { echo "FAIL: no summary on the terminal" >&2; exit 1; }

# Through a pipe: the summary only, and nothing on standard error.
"$q6fd" seed "Driver=sqlite;Database=$work/pipe.db" --documents 3000 2>"$work/err.txt" | cat > "$work/out.txt"
echo "--- standard output through a pipe:"
cat "$work/out.txt"
[ ! -s "$work/err.txt" ] || { echo "FAIL: output on standard error through a pipe:" >&2; cat "$work/err.txt" >&2; exit 1; }
if grep -q 'seeding' "$work/out.txt"; then echo "FAIL: progress through a pipe" >&2; exit 1; fi
grep -q '6750 documents added' "$work/out.txt" || { echo "FAIL: no summary through a pipe" >&2; exit 1; }

# A second run refuses and says why.
"$q6fd" seed "Driver=sqlite;Database=$work/pipe.db" | grep -q '0 documents added: the types already have documents; --force adds more' ||
  { echo "FAIL: the refusal does not say why" >&2; exit 1; }
echo "terminal check passed"
