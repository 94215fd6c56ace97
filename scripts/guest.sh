# Shared by scripts/guest-image and scripts/guest-run: where the emulated 32-bit test
# machine is kept, and the wine prefix made once inside it.
GUEST_CACHE=${HALVORN_GUEST_CACHE:-/var/cache/halvorn-guest}
GUEST_WINEPREFIX=/var/lib/halvorn/wineprefix
