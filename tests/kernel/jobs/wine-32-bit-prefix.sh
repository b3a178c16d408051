# Makes the 32-bit Wine prefix in the Wine image, for make-wine-image.sh on a machine that cannot
# start 32-bit programs itself (run with --transport none --wine-image FILE --writable): the
# guest's kernel can. Its libraries then become hard links to Wine's own, as on the machine.

. /vardel/wine_lib.sh

wine_mount
in_wine win32 /usr/local/bin/wine-prefix.sh --screen || die "wine-prefix.sh failed"
chroot "$WINE_ROOT" /usr/bin/hardlink -q -c /usr/lib /wine/win32 > /dev/null ||
    die "hardlink failed"
wine_unmount
sync
echo "the 32-bit prefix is made"
