#!/usr/bin/env bash
# scripts/install-deps with the package tools replaced by recorders on PATH: what it installs,
# and that it stops the tinyproxy service only when it has just installed tinyproxy itself (a
# proxy the machine already runs is its owner's).
set -uo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin"
for tool in apt-get invoke-rc.d update-rc.d systemctl pkill service; do
  printf '#!/bin/sh\necho "%s $*" >>"$CALLS"\n' "$tool" >"$scratch/bin/$tool"
done
# Every package is installed except those named in MISSING.
cat >"$scratch/bin/dpkg-query" <<'STUB'
#!/bin/sh
for p in $MISSING; do [ "$p" = "$3" ] && exit 1; done
printf 'install ok installed'
STUB
printf '#!/bin/sh\nexec "$@"\n' >"$scratch/bin/sudo"
chmod +x "$scratch/bin/"*

passed=0 failed=0
# missing packages | calls expected (one per line, in order)
check() {
  local missing=$1 expected=$2
  export CALLS="$scratch/calls" MISSING="$missing"
  : >"$CALLS"
  PATH="$scratch/bin:$PATH" bash "$script" 2>/dev/null
  local got
  got=$(grep -v '^apt-get update' "$CALLS")
  if [[ "$got" == "$expected" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL with missing "%s":\n--- expected\n%s\n--- got\n%s\n' "$missing" "$expected" "$got"
  fi
}

check "" ""
check "curl" "apt-get install -y -qq --no-install-recommends curl"
check "tinyproxy" "apt-get install -y -qq --no-install-recommends tinyproxy
invoke-rc.d tinyproxy stop
update-rc.d tinyproxy disable"
check "cmake tinyproxy" "apt-get install -y -qq --no-install-recommends cmake tinyproxy
invoke-rc.d tinyproxy stop
update-rc.d tinyproxy disable"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
