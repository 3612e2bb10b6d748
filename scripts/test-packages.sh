#!/usr/bin/env bash
# Builds the packages a host developer installs, installs each from the built
# artefact into a clean place and runs a host against it:
#   - Python wheels (linux_x86_64, win_amd64, win32) bundling the library and
#     the stand-ins; `twine check`; the Linux one installed into a fresh venv,
#     a host and the binding's tests run there with no environment variable;
#   - the NuGet packages Skylark and Skylark.StandIns (Debian's nuget on
#     Mono), installed from a local feed; the C# tests compiled against the
#     installed assembly and run on the installed native libraries;
#   - the Debian packages (debhelper): libskylark0, libskylark-dev,
#     skylark-tools, skylark-standins; lintian; installed with dpkg into this
#     machine, a C host built against /usr with pkg-config and run, the
#     records tool run; removed again afterwards.
# The packages stay in build/packages/ (lintian's output in lintian.txt).
# Needs build/native, build/win64 and build/win32 (as scripts/test-all.sh
# leaves them; missing ones are configured and their libraries built).
# SKYLARK_PACKAGES_DPKG=0 skips installing into the machine (needs root);
# SKYLARK_PACKAGES="wheel nuget deb" picks the kinds (default: all three).
# Usage: scripts/test-packages.sh
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build/packages
work=$root/build/packages-work
rm -rf "$out" "$work" && mkdir -p "$out" "$work"

passed=0
failed=0
step() {  # what, command...: runs one check and counts it
  local what=$1
  shift
  if "$@" >"$work/step.log" 2>&1; then
    echo "ok    $what"
    passed=$((passed + 1))
  else
    echo "FAIL  $what"
    sed 's/^/      /' "$work/step.log" | tail -n 40
    failed=$((failed + 1))
  fi
}

# ---- The builds and their installed trees -----------------------------------
libraries() {  # build dir name: makes sure the libraries are built, then installs both components
  local dir=$1 b=$root/build/$1
  if [ ! -e "$b/CMakeCache.txt" ]; then
    cmake --preset "$dir" >/dev/null || return 1   # CMakePresets.json: build/<preset>
  fi
  cmake --build "$b" -j "$(nproc)" --target skylark clocklink ringreader || return 1
  if [ "$dir" = native ]; then cmake --build "$b" -j "$(nproc)" --target skylark-records || return 1; fi
  cmake --install "$b" --prefix "$work/stage/$dir" --strip >/dev/null &&
    cmake --install "$b" --prefix "$work/stage/$dir" --component standins --strip >/dev/null
}
wanted() { [[ " ${SKYLARK_PACKAGES:-wheel nuget deb} " == *" $1 "* ]]; }
builds=(native)
if wanted wheel || wanted nuget; then builds+=(win64 win32); fi  # the Debian packages build their own
for dir in "${builds[@]}"; do
  step "build and install: $dir" libraries "$dir"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)
linux=$work/stage/native/lib
[ -d "$linux" ] || linux=$(dirname "$(find "$work/stage/native" -name 'libskylark.so.0' | head -n 1)")

# ---- Python wheels -------------------------------------------------------------
if wanted wheel; then
wheel() {  # platform tag, bundled file...: builds one wheel from a clean copy
  local tag=$1 src=$work/wheel-$1
  shift
  rm -rf "$src" && cp -r bindings/python "$src" && rm -rf "$src/build" "$src/"*.egg-info
  mkdir -p "$src/skylark/_native"
  cp -L "$@" "$src/skylark/_native/"
  (cd "$src" && SKYLARK_WHEEL_PLATFORM=$tag /usr/bin/python3 -m build --no-isolation --wheel --outdir "$out" .)
}
step "wheel linux_x86_64" wheel linux_x86_64 "$linux/libskylark.so.0" \
  "$linux/skylark/standins/libclocklink.so" "$linux/skylark/standins/libringreader.so"
for pair in win_amd64:win64 win32:win32; do
  tag=${pair%%:*} dir=$work/stage/${pair#*:}
  step "wheel $tag" wheel "$tag" "$dir/bin/Skylark.dll" \
    "$dir/lib/skylark/standins/ClockLink.dll" "$dir/lib/skylark/standins/RingReader.dll"
done
step "twine check" twine check --strict "$out"/*.whl

check_windows_wheel() {  # tag, PE machine: the DLLs are there and built for that machine
  python3 - "$1" "$2" "$out" <<'EOF'
import glob, struct, sys, zipfile
tag, machine, out = sys.argv[1], int(sys.argv[2], 16), sys.argv[3]
path = glob.glob(f"{out}/skylark-*-py3-none-{tag}.whl")[0]
z = zipfile.ZipFile(path)
for dll in ("Skylark.dll", "ClockLink.dll", "RingReader.dll"):
    pe = z.read(f"skylark/_native/{dll}")
    at = struct.unpack_from("<I", pe, 0x3C)[0]
    found = struct.unpack_from("<H", pe, at + 4)[0]
    assert found == machine, f"{dll}: machine {found:#x}, wanted {machine:#x}"
print(path, "holds the three DLLs")
EOF
}
step "wheel win_amd64 holds x86-64 DLLs" check_windows_wheel win_amd64 8664
step "wheel win32 holds i386 DLLs" check_windows_wheel win32 14c

venv_host() {  # python, name: the Linux wheel in a fresh venv of it, run from elsewhere with no variable set
  local python=$1 venv
  venv=$work/venv-$2
  "$python" -m venv --system-site-packages "$venv" &&
    "$venv/bin/python" -m pip install -q --no-index "$out"/skylark-*-linux_x86_64.whl || return 1
  (cd "$work" && env -u SKYLARK_LIBRARY -u SKYLARK_CLOCKLINK -u SKYLARK_RINGREADER -u LD_LIBRARY_PATH \
    "$venv/bin/python" - "$venv" <<'EOF'
import sys
import skylark
from skylark.virtual import VirtualClock, KIND_M

sk = skylark.Skylark()
assert sk.library_path.startswith(sys.argv[1]), sk.library_path
with VirtualClock(sk, KIND_M) as clock:
    sk.sk_init_dev(clock.handle)
    sk.sk_connect(clock.handle)
    print(sys.version.split()[0], "from", sk.library_path, "- virtual M clock time", sk.sk_get_time(clock.handle))
EOF
  )
}
step "wheel: pip install into a venv of Debian's Python, a host runs" venv_host /usr/bin/python3 debian
# Any other Python 3.9+ this machine has (pyenv's builds, not Debian's).
if command -v pyenv >/dev/null; then
  for python in "$(pyenv root)"/versions/3.*/bin/python3; do
    [ -x "$python" ] && "$python" -c 'import sys; sys.exit(sys.version_info < (3, 9))' 2>/dev/null || continue
    step "wheel: pip install into a venv of $("$python" -V 2>&1) (pyenv), a host runs" venv_host "$python" "pyenv-$(basename "$(dirname "$(dirname "$python")")")"
  done
fi
wheel_tests() {
  (cd "$work" && env -u SKYLARK_LIBRARY -u SKYLARK_CLOCKLINK -u SKYLARK_RINGREADER -u LD_LIBRARY_PATH \
    "$work/venv-debian/bin/python" \
    -m pytest -q -p no:cacheprovider "$root/bindings/python/tests")
}
step "wheel: the binding's tests on the installed package" wheel_tests
fi

# ---- NuGet -----------------------------------------------------------------------
if wanted nuget; then
nuget_pack() {
  local n=$work/nuget
  mkdir -p "$n/lib/net45" "$n/build"
  # The binding without the test program.
  mapfile -t sources < <(ls bindings/csharp/*.cs | grep -v '/Tests\.cs$')
  mcs -nologo -warnaserror -nowarn:1591 -target:library -doc:"$n/lib/net45/Skylark.Net.xml" \
    -out:"$n/lib/net45/Skylark.Net.dll" "${sources[@]}" || return 1
  for rid in win-x86:win32 win-x64:win64; do
    local d=$n/runtimes/${rid%%:*}/native s=$work/stage/${rid#*:}
    mkdir -p "$d" && cp "$s/bin/Skylark.dll" "$s"/lib/skylark/standins/*.dll "$d/"
  done
  # In a program's folder libskylark.so finds ClockLink beside it, as
  # Skylark.dll does on Windows: the build tree's copy with its RUNPATH
  # turned into $ORIGIN (the installed copy has none).
  local d=$n/runtimes/linux-x64/native
  mkdir -p "$d" && cp -L build/native/bin/libskylark.so.0 "$d/libskylark.so" &&
    cp "$linux"/skylark/standins/*.so "$d/" || return 1
  local old
  old=$(readelf -d "$d/libskylark.so" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  echo 'file(RPATH_CHANGE FILE "${F}" OLD_RPATH "${OLD}" NEW_RPATH "$ORIGIN")' >"$n/runpath.cmake"
  cmake -DF="$d/libskylark.so" -DOLD="$old" -P "$n/runpath.cmake" || return 1
  readelf -d "$d/libskylark.so" | grep -q 'RUNPATH.*\[\$ORIGIN\]' && strip --strip-debug "$d/libskylark.so" ||
    return 1
  for p in Skylark Skylark.StandIns; do
    sed "s/@PREFIX@/${p//./}/g" dist/nuget/native.targets.in >"$n/build/$p.targets"
    cp "dist/nuget/$p.nuspec" "$n/"
    (cd "$n" && nuget pack "$p.nuspec" -Version "$version" -Properties version="$version" \
       -OutputDirectory "$out" -NoPackageAnalysis -NonInteractive) || return 1
  done
  # The stand-ins' natives belong to Skylark.StandIns only.
  python3 - "$out/Skylark.$version.nupkg" <<'EOF'
import sys, zipfile
names = set(zipfile.ZipFile(sys.argv[1]).namelist())
want = {"lib/net45/Skylark.Net.dll", "build/Skylark.targets", "runtimes/win-x86/native/Skylark.dll",
        "runtimes/win-x64/native/Skylark.dll", "runtimes/linux-x64/native/libskylark.so"}
assert want <= names, sorted(want - names)
stray = [n for n in names if "clocklink" in n.lower() or "ringreader" in n.lower()]
assert not stray, stray
EOF
  python3 - "$out/Skylark.StandIns.$version.nupkg" <<'EOF'
import sys, zipfile
natives = [n for n in zipfile.ZipFile(sys.argv[1]).namelist() if n.startswith("runtimes/")]
assert len(natives) == 6 and not [n for n in natives if "skylark" in n.lower()], natives
EOF
}
step "nuget pack: Skylark, Skylark.StandIns" nuget_pack
nuget_tests() {  # from a local feed into a fresh folder; the tests built against what it installed
  local feed=$work/feed-install app=$work/nuget-app
  HOME=$work/nuget-home nuget install Skylark.StandIns -Version "$version" -Source "$out" \
    -OutputDirectory "$feed" -NonInteractive || return 1
  mkdir -p "$app"
  local lib=$feed/Skylark.$version
  cp "$lib/lib/net45/Skylark.Net.dll" "$app/" &&
    cp "$lib"/runtimes/linux-x64/native/* "$feed/Skylark.StandIns.$version"/runtimes/linux-x64/native/* "$app/" &&
    mcs -nologo -warnaserror -r:"$app/Skylark.Net.dll" -out:"$app/SkylarkTests.exe" bindings/csharp/Tests.cs &&
    (cd "$app" && env -u LD_LIBRARY_PATH mono SkylarkTests.exe)
}
step "nuget: install from a local feed, the C# tests on it" nuget_tests
fi

# ---- Debian packages ---------------------------------------------------------------
if wanted deb; then
deb_build() {
  local src=$work/deb/skylark-$version
  mkdir -p "$src"
  # The tracked files and those not yet committed (a developer's tree).
  { git ls-files -z --cached --others --exclude-standard; } |
    tar cf - --null -T - --ignore-failed-read | tar xf - -C "$src" || return 1
  mv "$src/dist/debian" "$src/debian"
  cat >"$src/debian/changelog" <<EOF
skylark ($version) unstable; urgency=medium

  * Release $version.

 -- Skylark maintainers <maintainers@users.noreply.c-seed-cfaa6879.example>  $(date -R)
EOF
  local extra=""
  if command -v ccache >/dev/null; then
    extra="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
  fi
  (cd "$src" && SKYLARK_CMAKE_EXTRA="$extra" DEB_BUILD_OPTIONS="parallel=$(nproc)" \
     dpkg-buildpackage -us -uc -b) || return 1
  cp "$work"/deb/*.deb "$out/"
}
step "Debian packages (debhelper)" deb_build
deb_lintian() {
  ls "$work"/deb/*.changes || return 1
  lintian --info --display-info --pedantic "$work"/deb/*.changes >"$out/lintian.txt" 2>&1
  cat "$out/lintian.txt"
  ! grep -Eq '^E: ' "$out/lintian.txt"
}
step "lintian (no errors; warnings explained in dist/debian/README.lintian)" deb_lintian

debs=(libskylark0 libskylark-dev skylark-tools skylark-standins)
dbgsym=(libskylark0-dbgsym skylark-tools-dbgsym skylark-standins-dbgsym)
deb_host() {  # installed into the machine; a host built against /usr with pkg-config
  dpkg -i "$out"/*.deb >/dev/null || return 1
  local triplet standins
  triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
  standins=/usr/lib/$triplet/skylark/standins
  # The stand-ins only in their private folder.
  if dpkg -L "${debs[@]}" | grep -E '/lib(clocklink|ringreader)' | grep -v "^$standins/"; then return 1; fi
  [ "$(skylark-standins --libdir)" = "$standins" ] || return 1
  local h=$work/deb-host
  mkdir -p "$h"
  # Linking against libskylark.so needs a ClockLink and a RingReader for the
  # linker to check its needs against: the stand-ins' folder, here (the
  # stand-ins' own pkg-config file brings them along).
  # shellcheck disable=SC2046
  cc -o "$h/consumer" dist/tests/consumer/consumer.c $(pkg-config --cflags --libs skylark) \
    -Wl,-rpath-link,"$standins" &&
    cc -o "$h/standins" dist/tests/consumer/standins_consumer.c $(pkg-config --cflags --libs skylark-standins) ||
    return 1
  skylark-standins "$h/consumer" && skylark-standins "$h/standins" "$h/record.csv" || return 1
  skylark-standins skylark-records "$h/record.csv" || return 1
  # The same host on the tracing build (skylark-tools) writes a trace that
  # skylark-trace replays through the normal library.
  SKYLARK_TRACE=$h/session.jsonl LD_LIBRARY_PATH=/usr/lib/$triplet/skylark/trace skylark-standins "$h/consumer" &&
    [ -s "$h/session.jsonl" ] && skylark-standins skylark-trace replay --strict "$h/session.jsonl"
}
if [ "${SKYLARK_PACKAGES_DPKG:-1}" = 1 ] && [ "$(id -u)" = 0 ]; then
  step "dpkg -i; a host against /usr (pkg-config), skylark-records, the tracing build" deb_host
  dpkg --purge "${dbgsym[@]}" "${debs[@]}" >/dev/null 2>&1 || true
else
  echo "skip  dpkg -i (not root, or SKYLARK_PACKAGES_DPKG=0)"
fi
fi

ls -l "$out"
echo "packages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
