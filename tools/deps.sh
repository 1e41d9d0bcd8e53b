#!/usr/bin/env bash
# Installs, with apt-get, whatever the build needs and this machine lacks.
# Usage: tools/deps.sh demo|test
set -euo pipefail

# The apt configuration is read below QZ_APT_ROOT (empty: the machine's own),
# so the mirror rules can be tested on sources files of a test's own.
apt_root=${QZ_APT_ROOT:-}

packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
          libcurl4-openssl-dev libssl-dev openssl libxml2-dev
          qt6-base-dev qt6-svg-dev fonts-dejavu-core fonts-wqy-microhei osslsigncode
          # Scripts DejaVu lacks, one small font each: Devanagari, Bengali,
          # Tamil, Thai (Arabic, Persian and Hebrew are in DejaVu).
          fonts-lohit-deva fonts-lohit-beng-bengali fonts-lohit-taml fonts-tlwg-loma-ttf)
if [ "${1:-test}" = test ]; then
  # locales: the tests compile a decimal-comma locale of their own with localedef.
  # nginx-light: the patches are served by nginx in one test, as vendors do.
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev libinih-dev locales nginx-light curl)
fi

# The URI this machine's apt sources use for a suite: a local mirror or a
# proxy may stand where the public archive would. Both source formats count.
mirror_of() {
  local suite=$1 found
  shopt -s nullglob
  local deb822=("$apt_root"/etc/apt/sources.list.d/*.sources)
  local lists=("$apt_root"/etc/apt/sources.list "$apt_root"/etc/apt/sources.list.d/*.list)
  shopt -u nullglob
  found=$(
    # deb822: field names in any case; only enabled stanzas of binary packages.
    [ ${#deb822[@]} -eq 0 ] || awk -v suite="$suite" '
      function flush() { if (hit && binary && enabled && uri != "") print uri; uri = ""; hit = 0; binary = 0; enabled = 1 }
      BEGIN { enabled = 1 }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]*#/ { next }
      { field = tolower($1) }
      field == "uris:" { uri = $2 }
      field == "suites:" { for (i = 2; i <= NF; i++) if ($i == suite) hit = 1 }
      field == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") binary = 1 }
      field == "enabled:" { enabled = tolower($2) != "no" }
      END { flush() }' "${deb822[@]}"
    for f in "${lists[@]}"; do
      [ -r "$f" ] || continue
      awk -v suite="$suite" '$1 == "deb" {
        i = 2; if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) print $i }' "$f"
    done
  )
  # The first one; not through head, which would leave awk to SIGPIPE.
  printf '%s\n' "${found%%$'\n'*}"
}

# Not when the file is sourced: the mirror rules' test reads the functions alone.
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0


missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # The signing tests need osslsigncode's built-in timestamping (2.6 and
  # later); Debian 12 has it in its backports.
  if [[ " ${missing[*]} " == *" osslsigncode "* ]] && ! grep -rqsE '^[^#]*bookworm-backports' "$apt_root"/etc/apt/sources.list "$apt_root"/etc/apt/sources.list.d/; then
    mirror=$(mirror_of bookworm)
    if [ -z "$mirror" ]; then
      echo "deps.sh: no apt source for bookworm names a mirror; add bookworm-backports by hand" >&2
      exit 1
    fi
    echo "deb $mirror bookworm-backports main" > /etc/apt/sources.list.d/qz-backports.list
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
  if [[ " ${missing[*]} " == *" osslsigncode "* ]]; then
    apt-get install -y -qq --no-install-recommends -t bookworm-backports osslsigncode
  fi
fi
