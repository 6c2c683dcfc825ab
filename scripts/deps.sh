#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# they are missing. Sourced by the other scripts.
set -euo pipefail

# ser2net: the network port tests run their own one in front of qxsim (never
# the system service the package sets up).
QUILLON_PACKAGES=(cmake make g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl1-mesa-dev ser2net)

quillon_install() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
        # The package starts its system service where systemd runs; the tests
        # start their own ser2net, so a service this install started goes.
        if [[ " ${missing[*]} " == *" ser2net "* ]] && [ -d /run/systemd/system ]; then
            $sudo systemctl disable --now ser2net >/dev/null 2>&1 || true
        fi
    fi
}
