#!/usr/bin/env bash
# `cmake --install` and the .deb made by CPack: exactly the expected files in their places, the desktop
# entry and the AppStream entry valid, the package's dependencies found from what the program links,
# and an installed copy (even in a folder it may write, as when run as root) keeping its program folder
# in the user's data folder rather than beside the program.
#   check-package.sh BUILD_FOLDER
set -euo pipefail
build="$1"
work=$(mktemp -d --tmpdir trawlkit-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

expected=$(sort <<'LIST'
usr/bin/trawlkit
usr/share/applications/trawlkit.desktop
usr/share/icons/hicolor/16x16/apps/trawlkit.png
usr/share/icons/hicolor/24x24/apps/trawlkit.png
usr/share/icons/hicolor/32x32/apps/trawlkit.png
usr/share/icons/hicolor/48x48/apps/trawlkit.png
usr/share/icons/hicolor/64x64/apps/trawlkit.png
usr/share/icons/hicolor/128x128/apps/trawlkit.png
usr/share/icons/hicolor/256x256/apps/trawlkit.png
usr/share/icons/hicolor/scalable/apps/trawlkit.svg
usr/share/metainfo/com.brackenly.Trawlkit.metainfo.xml
LIST
)

echo "== cmake --install"
DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
installed=$(cd "$work/root" && find . -type f -o -type l | sed 's|^\./||' | sort)
diff <(echo "$expected") <(echo "$installed") || fail "the installed files differ from the list"
desktop-file-validate "$work/root/usr/share/applications/trawlkit.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/com.brackenly.Trawlkit.metainfo.xml" ||
    fail "AppStream entry"
python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' \
    "$work/root/usr/share/icons/hicolor/scalable/apps/trawlkit.svg" || fail "the SVG icon is not well-formed"
for size in 16 24 32 48 64 128 256; do
    png="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/trawlkit.png"
    # PNG signature, then the IHDR width and height as 4-byte big-endian numbers.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "icon ${size}: ${w}x${h}"
done
grep -qx 'Exec="trawlkit"' "$work/root/usr/share/applications/trawlkit.desktop" || fail "Exec line"

echo "== cpack -G DEB"
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
deb=$(ls "$work"/package/*.deb)
packaged=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sed 's|^\./||' | sort)
diff <(echo "$expected") <(echo "$packaged") || fail "the package's files differ from the list"
[ "$(dpkg-deb -f "$deb" Package)" = trawlkit ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libssl3 libc-ares2; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Version), depends on $depends"

echo "== the installed copy's program folder"
home="$work/home"
data="$home/.local/share/trawlkit"
mkdir -p "$data" "$work/elsewhere"
crlf() { printf '%s\r\n' "$@"; }
crlf '"Region","CountryCode","CountryName","StateCode","CityName","CityURL"' \
     '"US","US","United States","CA","SF bay area","sfbay.craigslist.org"' >"$data/CLcitylist.csv"
crlf '"MasterSectionCode","SectionCode","SectionName"' '"sss","bik","bicycles"' >"$data/CLsectlist.csv"
crlf '"CityURI","StateName","StateCode"' '"sfbay","California","CA"' >"$data/CLstatelist.csv"
crlf '"Country","State","City","URL"' '"Canada","Ontario","Toronto","toronto.kijiji.ca"' >"$data/KJcitylist.csv"
crlf '"MasterSectionName","SectionID","SectionDir","SectionName"' '"Buy and Sell","644","bikes","Bikes"' \
    >"$data/KJsectlist.csv"
crlf 'CheckForUpdates: 0' >"$data/trawlkit.ini"
crlf 'nowhere' '' 'bik' 'bike' '' '' >"$data/nowhere.trawl" # found only in the program folder; no cities
status=0
err=$(cd "$work/elsewhere" && env -i HOME="$home" PATH=/usr/bin:/bin TRAWLKIT_CONNECT_TO='*:80:127.0.0.1:9' \
    "$work/root/usr/bin/trawlkit" -csv nowhere.trawl 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] || fail "exit status $status: $err"
[[ "$err" == *"You have not selected any cities or regions to search."* ]] ||
    fail "the search in the user's data folder was not the one run: $err"
[ "$(ls "$work/root/usr/bin")" = trawlkit ] || fail "the program wrote beside itself: $(ls "$work/root/usr/bin")"
echo "ok"
