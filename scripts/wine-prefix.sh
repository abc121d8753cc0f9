# Sourced by the scripts that run Windows programs under Wine. A fresh Wine prefix of their own,
# with Wine's home, its trash and an optional virtual X server, all removed again at exit.
#
# wine_prefix FOLDER makes it below FOLDER, which must be on a disk: Wine keeps the files' hidden and
# system attributes in user.DOSATTRIB extended attributes, which tmpfs does not keep on Debian 12's
# kernel. It sets $run, the prefix's folder, and installs wine_cleanup as the EXIT trap.
wine_prefix() {
    run=$(mktemp -d "$1/kelmora-wine.XXXXXX")
    export WINEPREFIX=$run/prefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono, no Gecko: nothing to download or install
    export HOME=$run/home
    export XDG_DATA_HOME=$run/data  # where Wine's shell keeps its trash
    unset DISPLAY WAYLAND_DISPLAY
    mkdir -p "$WINEPREFIX" "$HOME" "$XDG_DATA_HOME"
    xvfb=""
    trap wine_cleanup EXIT
}

wine_cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
    rm -rf "$run"
}

# Stops the prefix's server and starts a persistent one with its output on /dev/null: one that a
# test process started instead would inherit ctest's output pipe and keep ctest waiting for it. The
# warm-up call starts the prefix's background processes the same way, so that each program then
# starts in a moment.
wine_restart() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
    wine cmd /c exit >/dev/null 2>&1
}

# wine_display WIDTHxHEIGHT starts a virtual X server on a free display for Wine's windows, stopped
# by wine_cleanup, and points DISPLAY at it.
wine_display() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [[ -s $run/display ]] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$run/display")
}

# Wine's own fonts (its Tahoma, the frame's symbols) go into the prefix's font folder, where this
# Wine looks for them; without them it draws every text in the first face fontconfig offers.
wine_fonts() {
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
}
