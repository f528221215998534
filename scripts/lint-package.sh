#!/usr/bin/env bash
# Judges the package that make-deb.sh left in build-deb/ with Debian's own tools:
# lintian (no error, no warning, and no information tag but those listed below),
# desktop-file-validate on the desktop entry, appstreamcli on the AppStream file, and
# man on each manual page, all on the files as the package holds them.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "lint-package: $*" >&2; exit 1; }
say() { echo "lint-package: $*"; }

debs=(build-deb/krvs_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one build-deb/krvs_*.deb"
deb="${debs[0]}"
version="$(dpkg-deb -f "$deb" Version)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
root="$work/root"

# The information and pedantic tags lintian may still give, each named here with why
# it stays. None at present: the programs are built with Debian's hardening flags and
# stripped of .comment and .note, and the desktop entry has its key words.
allowed_info=()
say "lintian $(basename "$deb")"
lintian --display-info --pedantic --display-experimental "$deb" >"$work/lintian.txt" 2>"$work/lintian.err" ||
  fail "lintian failed: $(cat "$work/lintian.err" "$work/lintian.txt")"
cat "$work/lintian.txt"
while read -r level _ tag _; do
  case "$level" in
  E: | W:) fail "lintian reports $level $tag" ;;
  I: | P: | X:)
    [[ " ${allowed_info[*]} " == *" $tag "* ]] || fail "lintian reports $level $tag, not in the list of kept tags"
    ;;
  N: | "") ;;
  *) fail "lintian said: $level $tag" ;;
  esac
done <"$work/lintian.txt"

say "desktop-file-validate"
desktop="$root/usr/share/applications/example.quillmark.krvs.desktop"
[ -f "$desktop" ] || fail "no desktop entry in the package"
out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"

say "appstreamcli validate --no-net"
metainfo="$root/usr/share/metainfo/example.quillmark.krvs.metainfo.xml"
[ -f "$metainfo" ] || fail "no AppStream file in the package"
out="$(appstreamcli validate --no-net "$metainfo" 2>&1)" || fail "appstreamcli: $out"
echo "$out"
# No error, no warning; of the information only cid-maybe-not-rdns stays: the id's
# top level, "example", is no registered domain.
if echo "$out" | grep -E '^[A-Z]:' | grep -v '^I: .* cid-maybe-not-rdns ' | grep -q .; then
  fail "appstreamcli reports more than cid-maybe-not-rdns"
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream file has no release $version"

say "manual pages"
for prog in KRVS krvs-makedb; do
  page="$root/usr/share/man/man1/$prog.1.gz"
  [ -f "$page" ] || fail "no manual page for $prog"
  # MANWIDTH=80 as a terminal of 80 columns; --warnings passes groff's warnings on.
  out="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" || fail "man -l $page failed: $out"
  [ -z "$out" ] || fail "man --warnings on the page of $prog: $out"
done

say "changelog and copyright"
changelog="$root/usr/share/doc/krvs/changelog.gz"
[ -f "$changelog" ] || fail "no changelog.gz"
zcat "$changelog" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
  fail "the changelog's first entry is not $version"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$root/usr/share/doc/krvs/copyright" || fail "the copyright file is not machine-readable"
say "passed"
