#!/usr/bin/env bash
# The package stage of scripts/test: builds the .deb, checks what it holds and what it depends on, installs it
# (with apt where this runs as root, else unpacked into a scratch folder) and runs the end-to-end test once against
# the installed program, started the way the menu entry starts it.
# Expects the build folder to be built with its tests (scripts/test does that first).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

started=$SECONDS
out=$KELVO_BUILD/package
say() { printf 'package: %s\n' "$*"; }
fail() {
  say "FAIL: $*"
  exit 1
}

deb=$("$KELVO_ROOT/scripts/package" "$out" | tail -n 1)
[ -f "$deb" ] || fail "scripts/package made no .deb"
say "built $deb in $((SECONDS - started))s"

# What it must hold: the program folder, the launcher, the menu entry, the software-centre listing and the icon at
# every size. The entry and the listing are named by the program's id.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
folder=usr/lib/$multiarch/kelvo
contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./||')
expected=(usr/bin/kelvo "$folder/kelvo" "$folder/libSkinH_VB6.so" "$folder/skinh.she"
  usr/share/applications/org.example.kelvo.desktop)
for size in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/kelvo.png")
done
expected+=(usr/share/metainfo/org.example.kelvo.metainfo.xml)
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks /$path"
done
places="usr/(bin|share/applications|share/icons/hicolor)(/.*)?|usr/lib/$multiarch/kelvo(/.*)?"
parents="(usr|usr/lib|usr/lib/$multiarch|usr/share|usr/share/icons)/?"
places+="|usr/share/metainfo(/.*)?"
# The program offers itself for pictures; which program opens them stays the user's choice.
if grep -qE '(^|/)(mimeapps\.list|defaults\.list)$' <<<"$contents"; then
  fail "the package sets default programs for file types"
fi
unexpected=$(grep -vE "^($places|$parents|\.?/?)$" <<<"$contents" || true)
[ -z "$unexpected" ] || fail "the package holds files outside the program's places: $unexpected"
say "contents: the program folder /$folder, /usr/bin/kelvo, the menu entry, ${#expected[@]} files checked"

# What it must declare: the Qt runtime, the Qt translations, a CJK font and xdg-utils.
depends=$(dpkg-deb -f "$deb" Depends)
for need in 'libqt6widgets6' 'libqt6gui6' 'qt6-translations-l10n' 'fonts-wqy-microhei | fonts-noto-cjk' 'xdg-utils'; do
  grep -qF "$need" <<<"$depends" || fail "the package does not depend on $need (Depends: $depends)"
done
say "depends: $depends"

# Which program opens a JPEG before the package is installed; installing must not change it.
jpeg_default_before=$(xdg-mime query default image/jpeg 2>/dev/null || true)

# Install it; --reinstall so that a kelvo of the same version installed before is replaced by this build.
installed_by_us=
if [ "$(id -u)" -eq 0 ]; then
  dpkg-query -W -f='${Status}' kelvo 2>/dev/null | grep -q 'install ok installed' || installed_by_us=yes
  apt_install() { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall --no-install-recommends "$deb" >"$out/apt.log" 2>&1; }
  if ! apt_install; then
    apt-get update -qq >>"$out/apt.log" 2>&1
    apt_install || { cat "$out/apt.log"; fail "apt could not install $deb"; }
  fi
  root=
  say "installed with apt"
else
  root=$out/root
  rm -rf "$root"
  dpkg -x "$deb" "$root"
  say "not root: unpacked into $root"
fi
remove_again() {
  [ -n "$installed_by_us" ] && DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq kelvo >/dev/null 2>&1
  return 0
}
trap remove_again EXIT

# The menu entry names a command; run the e2e test on what that command is on the PATH.
entry=$root/usr/share/applications/org.example.kelvo.desktop
command_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | head -n 1)
program=$(PATH="$root/usr/bin:$PATH" command -v "$command_name") || fail "the menu entry's command $command_name is not on the PATH"
[ "$program" = "$root/usr/bin/kelvo" ] || fail "the menu entry's command is $program, not the installed launcher"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the installed menu entry is not valid"
fi

# The software-centre listing, and "Open with": desktop-file-utils' trigger adds the entry to the file types' cache.
listing=$root/usr/share/metainfo/org.example.kelvo.metainfo.xml
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --strict "$listing" || fail "the installed software-centre listing is not valid"
  say "the software-centre listing passes appstreamcli validate"
fi
if [ -z "$root" ] && command -v update-desktop-database >/dev/null; then
  grep -qE '^image/jpeg=(.*;)?org\.example\.kelvo\.desktop;' /usr/share/applications/mimeinfo.cache ||
    fail "installing did not add the entry to /usr/share/applications/mimeinfo.cache (desktop-file-utils' trigger)"
  jpeg_default_after=$(xdg-mime query default image/jpeg 2>/dev/null || true)
  if [ -n "$jpeg_default_before" ] && [ "$jpeg_default_after" != "$jpeg_default_before" ]; then
    fail "installing changed the program that opens a JPEG from $jpeg_default_before to $jpeg_default_after"
  fi
  say "offered for JPEG and BMP; the JPEG default stays ${jpeg_default_before:-unset} (now ${jpeg_default_after:-unset})"
fi

e2e_started=$SECONDS
status=0
bash "$KELVO_ROOT/tests/e2e/run-e2e.sh" --program "$program" --pictures "$KELVO_BUILD/tests/kelvo_e2e_pictures" \
  --work "$KELVO_BUILD/e2e-installed" || status=$?
case $status in
  0) say "end-to-end test on the installed program passed in $((SECONDS - e2e_started))s" ;;
  77) say "end-to-end test on the installed program skipped: no X server" ;;
  *) fail "end-to-end test on the installed program failed" ;;
esac
say "stage done in $((SECONDS - started))s"
