# Sourced: prepares Wine for the Windows tests. Argument: the Wine prefix.
# Sets WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES (no Mono, no Gecko, and no debugger: a crashing
# program fails at once instead of waiting in winedbg) and DISPLAY; wine_env_stop ends what it started.
export WINEPREFIX="$1"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
qxv_xvfb_pid=

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    for n in $(seq 90 120); do
        if [ -e "/tmp/.X$n-lock" ]; then
            pid=$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null || true)
            [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && continue
            rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n" # left by a server that was killed
        fi
        [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        qxv_xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
        break
    done
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    LC_ALL=C.UTF-8 wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Xvfb has no window manager: unmanaged windows do not block when hidden or destroyed.
    LC_ALL=C.UTF-8 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
fi

# Programs run through tools/wine-run, in the locale it sets; these calls use the same one.
LC_ALL=C.UTF-8 wineserver -p >/dev/null 2>&1 || true
LC_ALL=C.UTF-8 wine cmd /c exit >/dev/null 2>&1 </dev/null || true

wine_env_stop() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$qxv_xvfb_pid" ] && kill "$qxv_xvfb_pid" 2>/dev/null || true
}
