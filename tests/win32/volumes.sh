#!/bin/sh
# Maps two extra Wine drives, each on a file system of its own, for the placing tests of
# file_services_test.cpp, and removes them again (a ctest fixture, see CMakeLists.txt):
#   volumes.sh map FOLDER     S: -> a new folder on /dev/shm (a tmpfs);
#                             R: -> FOLDER/small, a tmpfs of 1 MiB mounted there (needs the
#                                   right to mount; left unmapped where that is refused)
#   volumes.sh unmap FOLDER
# The Wine prefix is $WINEPREFIX (default ~/.wine), as for the tests. A drive letter the
# prefix already has is left as it is.
set -u
action="$1"
folder="$2"
devices="${WINEPREFIX:-$HOME/.wine}/dosdevices"
mkdir -p "$folder/small"
case "$action" in
  map)
    [ -d "$devices" ] || exit 0
    if [ ! -e "$devices/s:" ] && shm=$(mktemp -d /dev/shm/zentro-wine-XXXXXX); then
      echo "$shm" >"$folder/shm"
      ln -s "$shm" "$devices/s:"
    fi
    if [ ! -e "$devices/r:" ] && mount -t tmpfs -o size=1m tmpfs "$folder/small" 2>/dev/null; then
      ln -s "$folder/small" "$devices/r:"
      touch "$folder/mounted"
    fi
    ;;
  unmap)
    if [ -f "$folder/shm" ]; then
      rm -f "$devices/s:"
      rm -rf "$(cat "$folder/shm")" "$folder/shm"
    fi
    if [ -f "$folder/mounted" ]; then
      rm -f "$devices/r:" "$folder/mounted"
      umount -l "$folder/small"
    fi
    ;;
esac
exit 0
