#!/usr/bin/env bash
# Installs the Debian 12 packages that the build and the tests need, when any is missing.
# Usage: scripts/setup.sh [build|test|bench|fuzz|lint|shot|package]...   (default: build)
set -euo pipefail

build_pkgs=(cmake g++ make pkg-config libgtest-dev libgmock-dev qt6-base-dev qt6-svg-dev libgl-dev
            libqscintilla2-qt6-dev fonts-ipafont-gothic qt6-translations-l10n)
test_pkgs=(xvfb xauth xdotool locales time)
bench_pkgs=(time)
fuzz_pkgs=(clang libclang-rt-14-dev)
lint_pkgs=(clang-format clang-tidy)
shot_pkgs=(twm xfonts-base xfonts-75dpi)
# Making the Debian package (manual page, icons, dependencies) and checking it.
package_pkgs=(dpkg-dev file help2man librsvg2-bin lintian desktop-file-utils appstream man-db
              shared-mime-info libglib2.0-bin)

wanted=("${build_pkgs[@]}")
for group in "$@"; do
    case "$group" in
        build) ;;
        test) wanted+=("${test_pkgs[@]}") ;;
        bench) wanted+=("${bench_pkgs[@]}") ;;
        fuzz) wanted+=("${fuzz_pkgs[@]}") ;;
        lint) wanted+=("${lint_pkgs[@]}") ;;
        shot) wanted+=("${shot_pkgs[@]}") ;;
        package) wanted+=("${package_pkgs[@]}") ;;
        *) echo "setup.sh: unknown group '$group'" >&2; exit 64 ;;
    esac
done

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]})); then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup.sh: missing Debian packages: ${missing[*]}" >&2
        echo "setup.sh: run as root, or: sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "setup.sh: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A locale whose decimal mark is a comma, so the tests can prove numbers never depend on it.
if [[ " $* " == *" test "* ]] && [ "$(id -u)" -eq 0 ] \
    && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
fi
