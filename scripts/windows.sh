#!/usr/bin/env bash
# Cross-builds QVR for 64-bit Windows on Debian 12 and packs dist/qvr-<version>-windows-x64.zip
# and its installer dist/qvr-<version>-windows-x64-setup.exe.
#   bash scripts/windows.sh           installs what is missing, builds, packs
#   bash scripts/windows.sh --check   also runs the Windows tests and qvr.exe under Wine against
#                                     the simulated supply, and prints the figures
# libcrypto, SQLCipher and Qt come from Debian's source packages and are built once into
# ~/.cache/qvr-windows/<versions> (half an hour to forty minutes on two cores); later runs reuse them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
check=0
[ "${1:-}" = --check ] && check=1
jobs=$(nproc)
host=x86_64-w64-mingw32

bash "$top/scripts/deps.sh" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 \
    ninja-build tcl zip imagemagick xdotool nsis

# A private apt configuration with deb-src entries, the same archives as the machine's own
# (read from its sources), so that its own package lists stay as they are.
apt_dir=${XDG_CACHE_HOME:-$HOME/.cache}/qvr-windows/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache"
sed 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources \
    >"$apt_dir/sources.list.d/debian.sources"
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
          -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
source_version() { # newest upstream version of a source package, without the Debian revision
    apt-cache "${apt_opts[@]}" showsrc "$1" | sed -n 's/^Version: \(.*\)$/\1/p' | sort -V | tail -1 |
        sed 's/^[0-9]*://; s/-[^-]*$//; s/+dfsg.*//'
}
apt-get "${apt_opts[@]}" -qq update
qt_ver=$(source_version qt6-base)
sqlcipher_ver=$(source_version sqlcipher)
openssl_ver=$(source_version openssl)
prefix=${XDG_CACHE_HOME:-$HOME/.cache}/qvr-windows/qt$qt_ver-sqlcipher$sqlcipher_ver-openssl$openssl_ver
export QVR_WINDOWS_PREFIX=$prefix
echo "Windows libraries: $prefix"

sources=$prefix.sources
tarball() { # the upstream tarball of a source package, downloaded once
    mkdir -p "$sources"
    if ! ls "$sources/$1"_*.orig.tar.?z >/dev/null 2>&1; then
        # openssl's Debian packaging files are not served: its tarball is all that is needed.
        (cd "$sources" && apt-get "${apt_opts[@]}" -qq source --download-only "$1" \
            >/dev/null 2>&1 || true)
    fi
    ls "$sources/$1"_*.orig.tar.?z | head -1
}
fetch() { # unpacks it into $work/$1
    mkdir -p "$work/$1"
    tar -xf "$(tarball "$1")" -C "$work/$1" --strip-components=1
}

build_libraries() {
    work=$prefix.work
    rm -rf "$work" "$prefix" && mkdir -p "$work" "$prefix"
    echo "(logs in $work)"
    cp "$top/cmake/mingw-w64-x86_64.cmake" "$prefix/"

    fetch openssl
    (cd "$work/openssl" &&
        ./Configure mingw64 no-shared no-asm no-tests --prefix="$prefix" \
            --libdir=lib CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib RC=$host-windres \
            >"$work/openssl.log" 2>&1 &&
        make -s -j"$jobs" build_libs >>"$work/openssl.log" 2>&1 &&
        make -s install_dev >>"$work/openssl.log" 2>&1)

    # SQLCipher: the amalgamation is generated on this machine, then compiled for Windows with
    # the flags Debian's build uses, so that a database file is the same on both.
    fetch sqlcipher
    (cd "$work/sqlcipher" &&
        ./configure -q --disable-tcl CFLAGS="-DSQLITE_HAS_CODEC" >"$work/sqlcipher.log" 2>&1 &&
        make -s sqlite3.c >>"$work/sqlcipher.log" 2>&1 &&
        $host-gcc-posix -c -O2 -fno-strict-aliasing -DSQLITE_HAS_CODEC -DSQLITE_THREADSAFE=1 \
            -DSQLITE_TEMP_STORE=2 -DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_COLUMN_METADATA \
            -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_RTREE=1 -DSQLITE_SOUNDEX=1 \
            -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_OMIT_LOOKASIDE=1 \
            -DSQLITE_ENABLE_UPDATE_DELETE_LIMIT=1 -DSQLITE_MAX_SCHEMA_RETRY=25 \
            -DSQLITE_MAX_DEFAULT_PAGE_SIZE=32768 -I"$prefix/include" sqlite3.c -o sqlite3.o \
            2>>"$work/sqlcipher.log" &&
        $host-ar rcs "$prefix/lib/libsqlcipher.a" sqlite3.o &&
        mkdir -p "$prefix/include/sqlcipher" && cp sqlite3.h "$prefix/include/sqlcipher/")

    # qtbase: only what QVR uses is linked, but the module set is qtbase's own; tablet events
    # are off because Debian's tarball lacks wintab.h, and OpenGL stays on (the Windows
    # platform plugin of this version does not compile without it).
    fetch qt6-base
    cmake -S "$work/qt6-base" -B "$work/qt6-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_openssl=OFF -DFEATURE_concurrent=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
        >"$work/qt-configure.log" 2>&1
    cmake --build "$work/qt6-build" -j"$jobs" >"$work/qt-build.log" 2>&1
    cmake --install "$work/qt6-build" >/dev/null
    rm -rf "$work"
    touch "$prefix/.complete"
}

if [ ! -e "$prefix/.complete" ]; then
    echo "Building libcrypto $openssl_ver, SQLCipher $sqlcipher_ver and Qt $qt_ver for Windows" \
         "(once; half an hour or more)..."
    start=$(date +%s)
    build_libraries
    echo "Built in $(( ($(date +%s) - start) / 60 )) min."
fi

# civetweb, the monitoring endpoint's HTTP server, from Debian's source too: its one C file,
# without TLS, CGI or file serving (the endpoint uses none of them); built once per version.
civetweb_ver=$(source_version civetweb)
if [ "$(cat "$prefix/civetweb.version" 2>/dev/null)" != "$civetweb_ver" ]; then
    work=$prefix.work
    rm -rf "$work" && mkdir -p "$work"
    fetch civetweb
    (cd "$work/civetweb" &&
        $host-gcc-posix -c -O2 -DNO_SSL -DNO_CGI -DNO_FILES -DUSE_IPV6 -DNO_CACHING \
            -Iinclude src/civetweb.c -o civetweb.o &&
        $host-ar rcs "$prefix/lib/libcivetweb.a" civetweb.o &&
        cp include/civetweb.h "$prefix/include/")
    rm -rf "$work"
    echo "$civetweb_ver" >"$prefix/civetweb.version"
fi

# The licences of what goes into the zip, from the same tarballs: each one's own and those of
# the libraries bundled in it (zlib, libpng, harfbuzz, ...). Made aside, then moved into place.
for pkg in qt6-base sqlcipher openssl civetweb; do
    [ -d "$prefix/licenses/$pkg" ] && continue
    rm -rf "$prefix/licenses.new" && mkdir -p "$prefix/licenses.new" "$prefix/licenses"
    t=$(tarball $pkg)
    tar -tf "$t" | grep -E '/(LICENSE|COPYING)[^/]*$|/LICENSES/[^/]+$' >"$prefix/licenses.list"
    tar -xf "$t" -C "$prefix/licenses.new" --strip-components=1 -T "$prefix/licenses.list"
    rm -f "$prefix/licenses.list"
    mv "$prefix/licenses.new" "$prefix/licenses/$pkg"
done

# QVR itself, with Qt's toolchain file (it chains the MinGW one and finds the host tools).
version=$(sed -n 's/^project(QVR VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
build=$top/build-windows
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" >"$build.log" 2>&1 ||
    { tail -30 "$build.log"; exit 1; }
cmake --build "$build" -j"$jobs" >>"$build.log" 2>&1 || { grep -B5 -A20 'error' "$build.log" | head -80; exit 1; }

# The zip: the programs, the runtime DLLs of Qt and of the compilers, the Windows platform and
# style plugins, the README and the licences.
name=qvr-$version-windows-x64
stage=$build/stage/$name
rm -rf "$build/stage" && mkdir -p "$stage/platforms" "$stage/styles" "$stage/licenses"
cp "$build/bin/qvr.exe" "$build/bin/qvr-setport.exe" "$stage/"
for m in Core Gui Widgets PrintSupport Network; do cp "$prefix/bin/Qt6$m.dll" "$stage/"; done
cp "$prefix/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$prefix/plugins/styles/"*.dll "$stage/styles/"
runtime=("$($host-g++-posix -print-file-name=libstdc++-6.dll)"
         "$($host-g++-posix -print-file-name=libgcc_s_seh-1.dll)"
         "/usr/$host/lib/libwinpthread-1.dll")
cp "${runtime[@]}" "$stage/"
$host-strip "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll
cp "$top/README.md" "$stage/README.md"
sed "s/@VERSION@/$version/g" "$top/packaging/windows/README-Windows.txt" |
    sed 's/$/\r/' >"$stage/README-Windows.txt"
cp "$build/app/qvr.ico" "$stage/"
cp "$top/packaging/copyright" "$stage/licenses/QVR.txt"
cp -r "$prefix/licenses/." "$stage/licenses/"
# The compilers' runtime DLLs travel too: their licences (GPL with the GCC Runtime Library
# Exception; winpthreads' MIT-style terms) as Debian states them.
mkdir -p "$stage/licenses/mingw-w64-runtime"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/mingw-w64-runtime/libgcc-libstdc++.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64-runtime/libwinpthread.txt"
mkdir -p "$top/dist"
rm -f "$top/dist/$name.zip" "$top/dist/$name-setup.exe"
(cd "$build/stage" && zip -qr9 "$top/dist/$name.zip" "$name")
echo "Built dist/$name.zip"
# The installer, from the same files.
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUT="$top/dist/$name-setup.exe" \
    "$top/packaging/windows/installer.nsi" >"$build/installer.log" 2>&1 ||
    { tail -20 "$build/installer.log"; exit 1; }
echo "Built dist/$name-setup.exe"

if ((check)); then
    # The Linux build's simulator and store tool take part.
    cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$top/build" -j"$jobs" --target qvr-supply-sim qvr-setport >/dev/null
    exec /usr/bin/python3 "$top/scripts/windows-check.py" "$top" "$build" "$prefix" \
        "$top/dist/$name.zip" "$top/dist/$name-setup.exe"
fi
