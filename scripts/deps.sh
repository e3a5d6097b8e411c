# Sourced by the README's commands: installs the Debian 12 packages the build needs when missing.
# (bsdutils, essential anyway, brings script(1): the CLI tests run m7qctl on a pseudo-terminal.)
PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libhidapi-dev libudev-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n libnlopt-cxx-dev fonts-noto-cjk fonts-liberation lintian
    bsdutils)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi
