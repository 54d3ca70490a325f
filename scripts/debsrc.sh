# Sourced by the scripts that build from Debian's source packages; they define log().
# ensure_deb_src PACKAGE makes sure apt can fetch PACKAGE's source, adding deb-src entries
# when there are none (which needs root).

# Source packages come from the same archive as the system's binary ones: the system's Debian
# entries again, with the source type. Debian 12 lists them in sources.list.d/debian.sources
# (deb822); systems installed otherwise or upgraded list them in sources.list, one a line.
add_deb_src_entries() {
    local deb822=/etc/apt/sources.list.d/debian.sources one_line=/etc/apt/sources.list found=
    if [[ -f $deb822 ]] && grep -q '^Types:' "$deb822"; then
        sed 's/^Types:.*/Types: deb-src/' "$deb822" >/etc/apt/sources.list.d/tolvane-deb-src.sources
        found=1
    fi
    if [[ -f $one_line ]] && grep -qE '^[[:space:]]*deb[[:space:]]' "$one_line"; then
        # "deb [options] URI suite components", except a CD's.
        grep -E '^[[:space:]]*deb[[:space:]]' "$one_line" | grep -v 'cdrom:' |
            sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >/etc/apt/sources.list.d/tolvane-deb-src.list
        found=1
    fi
    if [[ -z $found ]]; then
        log "found no Debian archive entry in $deb822 or $one_line to add a deb-src entry for;"
        log "add one for Debian's archive (the suite of this system) and run again"
        exit 1
    fi
    apt-get update -qq
}

ensure_deb_src() {
    local package=$1
    [[ -n $(apt-cache showsrc "$package" 2>/dev/null | head -c1) ]] && return 0
    [[ $(id -u) -eq 0 ]] || { log "no deb-src entry for Debian's sources (run as root)"; exit 1; }
    add_deb_src_entries
    [[ -n $(apt-cache showsrc "$package" 2>/dev/null | head -c1) ]] ||
        { log "the archive lists no source package $package even with deb-src entries"; exit 1; }
}
