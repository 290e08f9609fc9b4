# Sourced by the tools/ scripts: `require NAME COMMAND:PACKAGE...` stops the script with one line
# naming every missing command and the Debian packages that bring them.
require() {
    local script=$1 pair missing=() packages=()
    shift
    for pair in "$@"; do
        command -v "${pair%%:*}" >/dev/null 2>&1 && continue
        missing+=("${pair%%:*}")
        packages+=("${pair#*:}")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "$script: missing ${missing[*]}; install with: apt-get install $(printf '%s\n' "${packages[@]}" | sort -u | tr '\n' ' ')" >&2
    exit 2
}
