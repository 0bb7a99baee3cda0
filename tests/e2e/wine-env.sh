# Starting and stopping Wine for a run: a throwaway prefix, its own Xvfb display, a persistent
# wineserver; how this machine runs 32-bit code; paths as Wine sees them. Sourced, not run.

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=${WINEDEBUG:--all}
# A new prefix must not try to install its .NET and HTML add-ons.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The machine field of a PE file: i386, x86_64 or unknown.
pe_machine() {
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    case $(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ') in
        014c) echo i386 ;;
        8664) echo x86_64 ;;
        *) echo unknown ;;
    esac
}

# Says how 32-bit Linux code runs here, registering qemu-i386 with binfmt_misc when the kernel
# cannot run it and we are root. Fails, saying why, when it cannot run at all.
i386_support() {
    local binfmt=/proc/sys/fs/binfmt_misc
    local loader=/lib/ld-linux.so.2
    if [ ! -e "$loader" ]; then
        echo "cannot run 32-bit code: the i386 C library is not installed (libc6:i386, pulled in by wine32:i386)"
        return 1
    fi
    if [ -e "$binfmt/qemu-i386" ] && head -n 1 "$binfmt/qemu-i386" | grep -qx enabled; then
        echo "through qemu-i386 user emulation (binfmt_misc): slow, about a minute per 32-bit process"
        return 0
    fi
    if "$loader" --version >/dev/null 2>&1; then
        echo "natively"
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "cannot run 32-bit code: the kernel has no 32-bit support (32-bit emulation disabled) and registering qemu-i386 needs root"
        return 1
    fi
    if [ ! -x /usr/bin/qemu-i386-static ]; then
        echo "cannot run 32-bit code: the kernel has no 32-bit support and qemu-i386-static (qemu-user-static) is missing"
        return 1
    fi
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    if [ ! -e "$binfmt/register" ]; then
        echo "cannot run 32-bit code: the kernel has no 32-bit support and binfmt_misc cannot be mounted"
        return 1
    fi
    # i386 ELF executables and shared objects go to qemu; F opens the interpreter now, so it works
    # in any mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        >"$binfmt/register" 2>/dev/null || true
    if ! "$loader" --version >/dev/null 2>&1; then
        echo "cannot run 32-bit code: the kernel has no 32-bit support and qemu-i386 could not be registered"
        return 1
    fi
    echo "through qemu-i386 user emulation (binfmt_misc, registered now): slow, about a minute per 32-bit process"
}

# A Linux path as Wine's Z: drive names it.
windows_path() {
    local full
    full=$(realpath -m "$1")
    printf 'Z:%s' "${full//\//\\}"
}

# Xvfb on a free display, a new prefix with a virtual desktop (so Wine draws the boxes' captions),
# and a wineserver that lives until wine_session_stop.
wine_session_start() {
    wine_session=$(mktemp -d /tmp/quarn-wine.XXXXXX)
    export WINEPREFIX=$wine_session/prefix
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$wine_session/display" 2>"$wine_session/xvfb.log" &
    wine_xvfb=$!
    local waited=0
    while [ ! -s "$wine_session/display" ] && [ $waited -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if [ ! -s "$wine_session/display" ]; then
        echo "Xvfb did not start:" >&2
        cat "$wine_session/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$(head -n 1 "$wine_session/display")"
    local started=$SECONDS
    "$WINE64" wineboot -i >"$wine_session/wineboot.log" 2>&1
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    "$WINESERVER" -p
    echo "# Wine $("$WINE64" --version) prefix ready in $((SECONDS - started)) s on display $DISPLAY"
}

wine_session_stop() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    [ -n "${wine_xvfb:-}" ] && kill "$wine_xvfb" 2>/dev/null
    [ -n "${wine_xvfb:-}" ] && wait "$wine_xvfb" 2>/dev/null
    [ -n "${wine_session:-}" ] && rm -rf "$wine_session"
    return 0
}

# Answers the driver's requests for pictures: each NAME.ready holds a box's place on the screen;
# the box is cut out of the Xvfb screen into NAME.png, then NAME.taken lets the driver go on.
capture_boxes() {
    local dir=$1 request x y w h
    while true; do
        for request in "$dir"/*.ready; do
            [ -e "$request" ] || continue
            read -r x y w h <"$request"
            import -window root -crop "${w}x${h}+${x}+${y}" +repage "${request%.ready}.png" 2>/dev/null || true
            rm -f "$request"
            touch "${request%.ready}.taken"
        done
        sleep 0.2
    done
}
