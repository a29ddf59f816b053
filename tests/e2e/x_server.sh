# Sourced by the end-to-end tests that need an X server of their own. start_x_server: Xvfb picks a free
# display number and writes it to a pipe; DISPLAY names it and $xpid is its process. Needs fail.
# -noreset: an X server resets whenever its last client leaves, and a program connecting then is turned
# away; the tests' own probes (xdotool) come and go before the program is in.
start_x_server() {
    local number="" line
    exec 3< <(Xvfb -displayfd 1 -screen 0 800x600x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
    for _ in 1 2; do
        read -r -u 3 line || fail "Xvfb did not start"
        case "$line" in pid\ *) xpid=${line#pid } ;; *) number=$line ;; esac
    done
    [ -n "$number" ] && [ -n "$xpid" ] || fail "Xvfb did not start"
    export DISPLAY=":$number"
}
