#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as an installation would see it:
# the file is wallscreen_VERSION_ARCH.deb, it holds exactly the files the README lists, declares
# its run-time dependencies and configuration files, and, unpacked into a scratch root, its
# programs run headless on a demo database and the README's examples run with them.
# Usage: scripts/package-test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:?usage: package-test.sh BUILD_DIR}")

for tool in cpack dpkg-deb dpkg-shlibdeps file; do
    if ! command -v "$tool" >/dev/null; then
        echo "package-test: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "package-test: $*" >&2
    exit 1
}

# --- the package ----------------------------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$work/out/wallscreen_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$work/out")"
echo "package-test: built $(basename "$deb")"

# --- what it holds: exactly the README's list ---------------------------------------------------------
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort >"$work/contents"
# The list under "The package holds:" in the README's "## Installing the package": every
# backticked path in /usr or /etc there.
awk '/^## / { section = ($0 ~ /^## Installing the package/) }
     section && /^The package holds:/ { list = 1; next }
     list && /^- / { items = 1 }
     list && items && /^[[:space:]]*$/ { list = 0 }
     list { print }' "$here/README.md" | grep -o '`/[^`]*`' | tr -d '`' | grep -E '^/(usr|etc)/' |
    sort -u >"$work/readme-files" || true
[ -s "$work/readme-files" ] || fail "README.md lists no installed files under \"## Installing the package\""
if ! diff -u "$work/readme-files" "$work/contents"; then
    fail "the package's files (+) differ from the README's list (-)"
fi

# --- its control data -----------------------------------------------------------------------------
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libsdl2-2.0-0 libfreetype6 libfontconfig1 libsqlite3-0 libpng16-16 fonts-wine fonts-dejavu-core; do
    grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles >"$work/conffiles"
for conf in /etc/yard-engine/engine.ini /etc/xdg/autostart/wallscreen.desktop; do
    grep -qx "$conf" "$work/conffiles" || fail "$conf is not a conffile"
done

# --- unpacked into a scratch root -----------------------------------------------------------------
root="$work/root"
dpkg -x "$deb" "$root"
for program in wallscreen jobsdb wallscreen-snapshot; do
    file -L "$root/usr/bin/$program" | grep -q 'ELF .* executable' || fail "/usr/bin/$program is not a program"
done
grep -qx 'ExecStart=/usr/bin/wallscreen' "$root/usr/lib/systemd/user/wallscreen.service" ||
    fail "the unit does not start /usr/bin/wallscreen"
grep -qx 'Exec=/usr/bin/wallscreen' "$root/etc/xdg/autostart/wallscreen.desktop" ||
    fail "the autostart entry does not start /usr/bin/wallscreen"
grep -q '^Unit=wallscreen.service' "$root/usr/lib/systemd/user/wallscreen.timer" || fail "the timer starts no unit"

# The installed tools on a demo database: the board of the README's screenshot.
demo="$work/demo/jobs"
"$root/usr/bin/jobsdb" --dir "$demo" demo --today 2026-12-09
"$root/usr/bin/wallscreen-snapshot" --at "2026-12-09 10:00" --dir "$demo" --png "$work/board.png" \
    --json "$work/board.json" 2>"$work/snapshot.err"
grep -q '"Active Jobs - Jewish(Top) : 27 | Special date(Middle) : 27 | Interment(Bottom) : 19"' "$work/board.json" ||
    fail "the installed snapshot tool did not show the demo board: $(head -c 2000 "$work/board.json")"
file "$work/board.png" | grep -q 'PNG image data, 1094 x 1895' || fail "no 1094 x 1895 PNG of the board"

# The example configuration is what the engine reads when nobody has another one.
if [ ! -e /srv/yard/jobs ]; then
    status=0
    YARD_ENGINE_CONFIG="$root/etc/yard-engine/engine.ini" "$root/usr/bin/wallscreen-snapshot" \
        --at "2026-12-09 10:00" --json "$work/unset.json" 2>"$work/unset.err" || status=$?
    grep -q '/srv/yard/jobs' "$work/unset.json" ||
        fail "the example configuration does not name /srv/yard/jobs: $(cat "$work/unset.json")"
    grep -Eq '^2026-12-09 10:00:00 Application Error: Exception EDBEngineError .*/srv/yard/jobs' "$work/unset.err" ||
        fail "no journal line for the start-up error: $(cat "$work/unset.err")"
fi

# The README's examples, with the installed programs.
PATH="$root/usr/bin:$PATH" bash "$here/scripts/readme-examples.sh" "$here/README.md"
echo "package-test: the package is complete"
