#!/usr/bin/env bash
# Installs the build into a scratch folder and checks the layout a desktop
# expects, then builds the Debian package and checks that what it carries
# runs on its own, away from the build tree.
#
#   package_test.sh BUILD_DIR CMAKE CPACK WITH_WINDOW(0|1) VERSION
set -euo pipefail

build=$1
cmake=$2
cpack=$3
with_window=$4
version=$5

tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvane-package-test.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect_file() {  # PATH [executable]
  if [[ ! -f $1 ]]; then
    fail "missing $1"
  elif [[ ${2:-} == executable && ! -x $1 ]]; then
    fail "not executable: $1"
  fi
}
expect_line() {  # FILE LINE: the whole line, as a desktop entry key needs it
  grep -qxF -- "$2" "$1" || fail "$1 lacks the line '$2'"
}

# --- cmake --install ------------------------------------------------------
prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log" >&2; fail "cmake --install failed"; exit 1; }

expect_file "$prefix/bin/orvane-cli" executable
# The Windows programs for Wine prefixes, where mingw-w64 built them.
[[ -e $build/orvane-urlcache.exe ]] && expect_file "$prefix/lib/orvane/orvane-urlcache.exe"
[[ -e $build/orvane-start.exe ]] && expect_file "$prefix/lib/orvane/orvane-start.exe"
if [[ $with_window == 1 ]]; then
  expect_file "$prefix/bin/orvane" executable
  expect_file "$prefix/bin/orvane-restarter" executable
  desktop=$prefix/share/applications/orvane.desktop
  expect_file "$desktop"
  expect_line "$desktop" "Name=Orvane"
  expect_line "$desktop" "Exec=orvane"
  expect_line "$desktop" "Icon=orvane"
  expect_line "$desktop" "Terminal=false"
  expect_line "$desktop" "Categories=System;Utility;"
  # Hints (such as two main categories) are not errors; anything worse is.
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  expect_file "$prefix/share/icons/hicolor/scalable/apps/orvane.svg"
  cmp -s "$prefix/share/icons/hicolor/scalable/apps/orvane.svg" \
    "$(dirname "$0")/../res/skin/227.svg" || fail "the installed icon is not the program's icon"
  for size in 48 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/orvane.png
    if [[ -f $png ]]; then
      # The PNG header holds width and height as big-endian words at 16 and 20.
      dims=$(od -An -tu4 --endian=big -j16 -N8 "$png" | xargs)
      [[ $dims == "$size $size" ]] || fail "$png is not $size x $size ($dims)"
    fi
  done
  expect_file "$prefix/share/orvane/Loading.gif"
  [[ $(head -c 6 "$prefix/share/orvane/Loading.gif") == GIF89a ]] ||
    fail "the installed Loading.gif is not a GIF"
  help=$prefix/share/orvane/help.html
  expect_file "$help"
  # The page opens offline: nothing it shows may come from elsewhere.
  if grep -Eiq '(src|href)=["'\'']?(https?:)?//' "$help"; then
    fail "help.html loads an outside resource"
  fi
  # The program finds the page beside itself in the build tree too.
  expect_file "$build/app/help.html"
else
  [[ ! -e $prefix/bin/orvane && ! -e $prefix/bin/orvane-restarter &&
    ! -e $prefix/share/applications/orvane.desktop ]] ||
    fail "the desktop program is installed by a build without Qt"
fi
"$prefix/bin/orvane-cli" --help >/dev/null || fail "the installed orvane-cli --help fails"

# --- cpack -G DEB ---------------------------------------------------------
# -B keeps cpack's staging and the package out of the build folder.
(cd "$build" && "$cpack" -G DEB -B "$tmp/deb") >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB failed"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$tmp/deb/orvane_${version}_${arch}.deb
if [[ ! -f $deb ]]; then
  ls -l "$tmp/deb" >&2
  fail "no package $deb"
  exit 1
fi

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == orvane ]] || fail "package name is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "version is '$(field Version)'"
[[ $(field Architecture) == "$arch" ]] || fail "architecture is '$(field Architecture)'"
[[ $(field Maintainer) == "Orvane developers <dev@orvane.invalid>" ]] ||
  fail "maintainer is '$(field Maintainer)'"
[[ $(field Section) == utils ]] || fail "section is '$(field Section)'"
[[ -n $(field Description) ]] || fail "no description"
depends=$(field Depends)
# Worked out from the binaries: the C++ runtime is always there, Qt with the window.
needed=(libc6 libstdc++6)
if [[ $with_window == 1 ]]; then needed+=(libqt6widgets6 libqt6gui6 libqt6core6 libqt6svg6); fi
# One entry per package, its version constraint dropped.
tr ',' '\n' <<<"$depends" | sed -e 's/^ *//' -e 's/[ (].*//' >"$tmp/depends"
for package in "${needed[@]}"; do
  grep -qxF "$package" "$tmp/depends" || fail "Depends lacks $package: $depends"
done
dpkg-deb -I "$deb" >/dev/null || fail "dpkg-deb -I cannot read the package"

# Every path is under /usr, and nothing from the build tree rides along.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$tmp/contents"
grep -v -e '^/$' -e '^/usr/' -e '^/usr$' "$tmp/contents" >"$tmp/stray" &&
  fail "paths outside /usr: $(tr '\n' ' ' <"$tmp/stray")"
grep -E '(_test|\.a|\.o|CMakeFiles/?)$' "$tmp/contents" >"$tmp/leftovers" &&
  fail "build leftovers in the package: $(tr '\n' ' ' <"$tmp/leftovers")"
packed=(/usr/bin/orvane-cli)
[[ -e $build/orvane-urlcache.exe ]] && packed+=(/usr/lib/orvane/orvane-urlcache.exe)
[[ -e $build/orvane-start.exe ]] && packed+=(/usr/lib/orvane/orvane-start.exe)
if [[ $with_window == 1 ]]; then
  packed+=(/usr/bin/orvane /usr/bin/orvane-restarter /usr/share/applications/orvane.desktop
    /usr/share/icons/hicolor/scalable/apps/orvane.svg
    /usr/share/orvane/Loading.gif /usr/share/orvane/help.html)
fi
for path in "${packed[@]}"; do
  grep -qxF "$path" "$tmp/contents" || fail "the package lacks $path"
done

# The unpacked programs run by themselves.
root=$tmp/root
dpkg-deb -x "$deb" "$root"
# A home of its own, so nothing the programs might write lands in the user's.
export HOME=$tmp/home
mkdir -p "$HOME"
"$root/usr/bin/orvane-cli" --help >"$tmp/cli-help" 2>&1 ||
  { cat "$tmp/cli-help" >&2; fail "the packaged orvane-cli --help fails"; }
grep -q scan "$tmp/cli-help" || fail "the packaged orvane-cli --help does not list scan"
if [[ $with_window == 1 ]]; then
  QT_QPA_PLATFORM=offscreen "$root/usr/bin/orvane" --gallery "$tmp/gallery" >"$tmp/gallery.log" 2>&1 ||
    { cat "$tmp/gallery.log" >&2; fail "the packaged orvane --gallery fails"; }
  compgen -G "$tmp/gallery/*.png" >/dev/null || fail "the packaged orvane --gallery drew nothing"
  "$root/usr/bin/orvane-restarter" --help >/dev/null 2>&1 || fail "the packaged orvane-restarter --help fails"
fi

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package checks passed: $deb"
