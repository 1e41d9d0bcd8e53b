#!/usr/bin/env bash
# The dependency script takes the Debian mirror from apt's own sources, in
# either format, as apt itself reads them.
set -euo pipefail
source "$(dirname "$0")/../../tools/deps.sh"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/etc/apt/sources.list.d"
failed=0
expect() {
  local got
  got=$(mirror_of bookworm)
  if [ "$got" != "$1" ]; then
    echo "FAIL $2: got '$got', expected '$1'"
    failed=1
  fi
  rm -f "$root"/etc/apt/sources.list "$root"/etc/apt/sources.list.d/*
}
apt_root=$root

printf 'Types: deb-src\nURIs: http://src.test/debian\nSuites: bookworm\n\n' > "$root/etc/apt/sources.list.d/a.sources"
printf 'types: deb\nuris: http://off.test/debian\nsuites: bookworm\nenabled: no\n\n' >> "$root/etc/apt/sources.list.d/a.sources"
printf 'Types: deb\n# a comment\nuris: http://good.test/debian\nSuites: bookworm bookworm-updates\n' >> "$root/etc/apt/sources.list.d/a.sources"
expect http://good.test/debian "deb822 skips source-only and disabled stanzas and reads any case"

printf '# deb http://old.test/debian bookworm main\ndeb [arch=amd64 signed-by=/k.gpg] http://one.test/debian bookworm main\n' > "$root/etc/apt/sources.list"
expect http://one.test/debian "one-line sources with options"

printf 'deb http://sec.test/debian-security bookworm-security main\n' > "$root/etc/apt/sources.list"
expect "" "no source for the suite"

# Many matching sources: the first, and no SIGPIPE on the way.
for i in $(seq 2000); do echo "deb http://m$i.test/debian bookworm main"; done > "$root/etc/apt/sources.list"
expect http://m1.test/debian "the first of many"

[ $failed = 0 ] && echo "deps mirror rules: 4 passed, 0 failed"
exit $failed
