#!/usr/bin/env bash
# Installs a build into a scratch prefix as `cmake --install` would for a user, then checks
# what a desktop finds there: the files, their validators, the programs started from their
# installed place without a display, and the shell completion against the real kestrune-cli.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/kestrune bin/kestrune-cli \
    share/applications/kestrune.desktop \
    share/metainfo/org.kestrune.Kestrune.metainfo.xml \
    share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/kestrune.png \
    share/icons/hicolor/scalable/apps/kestrune.svg \
    share/man/man1/kestrune.1.gz share/man/man1/kestrune-cli.1.gz \
    share/bash-completion/completions/kestrune-cli \
    share/kestrune/help/index.html \
    share/doc/kestrune/copyright share/doc/kestrune/changelog.gz \
    lib/systemd/user/kestrune-watch.service; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done

desktop=$prefix/share/applications/kestrune.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/org.kestrune.Kestrune.metainfo.xml" \
  >/dev/null || fail "appstreamcli validate"
grep -qx 'Categories=Utility;FileTools;' "$desktop" || fail "categories"
grep -q '<launchable type="desktop-id">kestrune.desktop</launchable>' \
  "$prefix/share/metainfo/org.kestrune.Kestrune.metainfo.xml" || fail "launchable"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_name" ] || fail "Exec names no installed program: $exec_name"
for page in kestrune kestrune-cli; do
  gzip -dc "$prefix/share/man/man1/$page.1.gz" | grep -q '^\.TH' || fail "man page $page"
done

# Both answer --version from their installed place; the window program needs no display.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/kestrune" --version)" \
  = "kestrune 1.0" ] || fail "kestrune --version"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/kestrune" --help \
  | grep -q -- '--hidden' || fail "kestrune --help"
[ "$("$prefix/bin/kestrune-cli" --version)" = "kestrune-cli 1.0" ] || fail "kestrune-cli --version"

# Completion, as bash-completion would call it, against the installed kestrune-cli.
state=$(mktemp -d -p "$prefix")
complete_line() {
  bash -c '
    _init_completion() { words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD
                         cur=${words[cword]}; prev=${words[cword-1]}; }
    _filedir() { :; }
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kestrune_cli
    printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix/share/bash-completion/completions/kestrune-cli" "$@"
}
[ "$(complete_line "$prefix/bin/kestrune-cli" --folder "$state" r)" = run ] || fail "completes run"
[ "$(complete_line "$prefix/bin/kestrune-cli" --folder "$state" run --p)" = --preview ] \
  || fail "completes --preview"
names=$(complete_line "$prefix/bin/kestrune-cli" --folder "$state" show "")
[ "$names" = $'All\\ Tasks\nDesktop\\ Tidy' ] || fail "completes task names: $names"
echo "installed and checked in $prefix"
