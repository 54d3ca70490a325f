# Sourced by the scripts that build. install_packages PACKAGE... installs those of Debian's
# packages that are missing, which needs root; run by anyone else, it names them and fails.
install_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    if [[ $(id -u) -ne 0 ]]; then
        echo "Missing packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
}
