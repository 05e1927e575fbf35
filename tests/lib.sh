# shellcheck shell=bash
# Sourced by the test scripts. A script reports each fault with fail and goes
# on, so that one run shows them all, and ends with finish: status 1 after a
# fault, else 0. Where it cannot run here it says why with skip: status 77.
status=0
tests=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=/dev/null
. "$tests/texts"

fail() {
	echo "FAIL: $*"
	status=1
}

skip() {
	echo "skipped: $*"
	exit 77
}

finish() {
	exit "$status"
}

# need COMMAND...: skips unless each command is installed.
need() {
	local tool
	for tool in "$@"; do
		command -v "$tool" >/dev/null || skip "$tool is not installed"
	done
}

# use_cache NAME: sets cache to the directory NAME in the user's cache, made
# if missing, where the tests keep what they download or build once.
use_cache() {
	cache=${XDG_CACHE_HOME:-${HOME:-/nonexistent}/.cache}/$1
	mkdir -p "$cache" 2>/dev/null || [ -d "$cache" ] ||
		skip "cannot make the cache $cache (set XDG_CACHE_HOME to a directory you can write)"
}

# fetch CACHE PACKAGE PATTERN...: unpacks the paths of the package that match
# the patterns into CACHE, fetched with apt-get download rather than
# installed, so that apt never trades the host's compilers for a target's.
# The package is kept in CACHE/debs, so that it is fetched once, whatever is
# unpacked from it later. Only a missing network is a reason to skip; any
# other failure, such as a full disk, is shown, and fails.
fetch() {
	local cache=$1 package=$2 deb=$1/debs/$2.deb log
	shift 2
	if [ ! -f "$deb" ]; then
		rm -rf "$cache/download" && mkdir -p "$cache/download" "$cache/debs"
		if ! log=$(cd "$cache/download" && apt-get download "$package" 2>&1); then
			case $log in
			*"Temporary failure resolving"* | *"Could not resolve"* | *"Could not connect"* | *"nreachable"*)
				skip "cannot download $package, and it is not in $cache yet: no network" ;;
			esac
			echo "$log"
			echo "FAIL: cannot download $package"
			exit 1
		fi
		mv "$cache"/download/*.deb "$deb" && rm -rf "$cache/download"
	fi
	dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$cache" --wildcards "$@"
}

# kernel_release ARCH FLAVOUR: sets release to the newest of Debian's kernels
# of that flavour (6.1.0-50-arm64, say) that the package index offers in
# full for ARCH: the image, and the headers with their common headers and
# the host's kbuild, which kernel_board fetches. Else skips, naming the
# architectures: a mirror may serve one architecture's index late, or not at
# all.
kernel_release() {
	local arch=$1 flavour=$2 host abis abi version kbuild offered
	host=$(dpkg --print-architecture)
	if ! abis=$(apt-cache pkgnames linux-headers- 2>&1); then
		echo "$abis"
		echo "FAIL: cannot read the package index"
		exit 1
	fi
	# Debian's own series (6.1.0-N), not one offered beside it (6.12.N+deb12).
	while read -r abi; do
		version=$(apt-cache madison "linux-headers-$abi-common" | awk 'NR == 1 { print $3 }')
		kbuild=$(apt-cache show "linux-headers-$abi-$flavour:$arch=$version" 2>/dev/null |
			sed -n 's/^Depends:.*\(linux-kbuild-[^ ,]*\).*/\1/p') || continue
		[ -n "$kbuild" ] || continue
		offered=$(apt-cache madison "linux-image-$abi-$flavour:$arch" "$kbuild:$host" | cut -d' ' -f1 | sort -u | wc -l)
		if [ "$offered" = 2 ]; then
			release=$abi-$flavour kernel_abi=$abi kernel_version=$version kernel_kbuild=$kbuild:$host
			return
		fi
	done < <(sed -n 's/^linux-headers-\([0-9.]*\.0-[0-9]*\)-common$/\1/p' <<<"$abis" | sort -rV)
	skip "the package index offers no kernel of flavour $flavour for $arch with its headers and the $host kbuild"
}

# kernel_board ARCH MODULE...: chooses (kernel_release) and fetches, into one
# cache for each release, Debian's kernel for ARCH (x86_64: the PC; aarch64,
# or arm for any 32-bit ARM: QEMU's virt board), its module index, each
# MODULE (a path under kernel/, without .ko), and its headers with the
# host's kbuild, which headers is set to. Sets too Debian's architecture
# (debian), what QEMU takes (qemu, console) and, for a board, the cross
# build's (cross, triplet, loader).
# Skips, saying why, where it cannot boot here.
# shellcheck disable=SC2034 # for the caller
kernel_board() {
	local flavour module paths=() common
	case $1 in
	x86_64) flavour=amd64 debian=amd64 qemu=(qemu-system-x86_64 -cpu max) ;;
	aarch64)
		flavour=arm64 debian=arm64 triplet=aarch64-linux-gnu loader=ld-linux-aarch64.so.1
		qemu=(qemu-system-aarch64 -machine virt -cpu cortex-a57) ;;
	arm)
		flavour=armmp debian=armhf triplet=arm-linux-gnueabihf loader=ld-linux-armhf.so.3
		qemu=(qemu-system-arm -machine virt -cpu cortex-a15) ;;
	*) skip "no kernel for $1" ;;
	esac
	console=ttyS0 cross=()
	if [ "$1" != x86_64 ]; then
		console=ttyAMA0 cross=("ARCH=${1/aarch64/arm64}" "CROSS_COMPILE=$triplet-")
		need dtc "$triplet-gcc"
	fi
	need "${qemu[0]}" apt-get dpkg-deb make cpio
	qemu+=(-accel tcg -m 256M -nodefaults -display none -no-reboot)
	[ "$debian" = "$(dpkg --print-architecture)" ] ||
		dpkg --print-foreign-architectures | grep -qx "$debian" ||
		skip "dpkg does not know $debian (dpkg --add-architecture $debian; apt-get update)"
	kernel_release "$debian" "$flavour"
	use_cache "backlight-kernel/$release"
	for module in "${@:2}"; do
		module=lib/modules/$release/kernel/$module.ko
		[ -f "$cache/$module" ] || paths+=("./$module")
	done
	if [ ! -f "$cache/boot/vmlinuz-$release" ] || [ "${#paths[@]}" != 0 ]; then
		fetch "$cache" "linux-image-$release:$debian" "./boot/vmlinuz-$release" \
			"./lib/modules/$release/modules.*" "${paths[@]}"
	fi
	headers=$cache/headers/usr/src/linux-headers-$release common=linux-headers-$kernel_abi-common
	if [ ! -f "$headers/Makefile" ]; then
		fetch "$cache/headers" "$kernel_kbuild" ./usr/lib
		fetch "$cache/headers" "$common=$kernel_version" "./usr/src/$common"
		fetch "$cache/headers" "linux-headers-$release:$debian=$kernel_version" \
			"./usr/src/linux-headers-$release"
		sed -i "s|^include /usr/src/|include $cache/headers/usr/src/|" "$headers/Makefile"
	fi
}

# kernel_module WORK [KCFLAGS]: builds the recording PWM chip
# (tests/kernel/pwm_probe.c) as WORK/module/pwm_probe.ko, for the kernel.
kernel_module() {
	mkdir -p "$1/module" && cp "$tests/kernel/pwm_probe.c" "$tests/kernel/Kbuild" "$1/module/"
	make -s -C "$headers" M="$1/module" "${cross[@]}" ${2:+"KCFLAGS=$2"} modules \
		>"$1/module.log" 2>&1 || { cat "$1/module.log"; exit 1; }
}

# board_dtb WORK NODE LEVELS STEPS NAME: QEMU's own devicetree of the board,
# with the recording PWM chip driving a pwm-backlight node NODE, whose
# brightness-levels are LEVELS (comma-separated; none for the kernel's own
# table) over STEPS interpolated steps, compiled into WORK/NAME.dtb.
board_dtb() {
	if [ ! -f "$1/board.dts" ]; then
		"${qemu[@]}" -machine dumpdtb="$1/qemu.dtb" >/dev/null 2>&1
		dtc -q -I dtb -O dts "$1/qemu.dtb" >"$1/board.dts"
	fi
	{
		cat "$1/board.dts"
		echo '/ { pwm: pwm-probe { compatible = "backlight-test,pwm-probe"; #pwm-cells = <2>; };'
		echo "  $2 { compatible = \"pwm-backlight\"; pwms = <&pwm 0 1000000>;"
		[ -z "$3" ] || echo "brightness-levels = <${3//,/ }>; default-brightness-level = <5>;"
		[ -z "$4" ] || echo "num-interpolated-steps = <$4>;"
		echo '}; };'
	} | dtc -q -I dts -O dtb -o "$1/$5.dtb"
}

# kernel_boot ROOT LOG APPEND [QEMU ARGUMENT...]: boots the kernel under QEMU
# for at most 150 s, with ROOT as its initramfs (its files root's, unless
# root packs it) and APPEND on its command line, its console in LOG.
kernel_boot() {
	local root=$1 log=$2 append=$3 owner=()
	shift 3
	[ "$(id -u)" = 0 ] || owner=(-R 0:0)
	(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc "${owner[@]}" --quiet) >"$log.cpio"
	timeout 150 "${qemu[@]}" -serial stdio -kernel "$cache/boot/vmlinuz-$release" -initrd "$log.cpio" \
		-append "console=$console panic=-1 quiet $append" "$@" </dev/null >"$log" 2>&1 ||
		echo "QEMU ended with status $?"
	rm "$log.cpio"
}

# console LOG PATTERN: the lines of a boot's console that match PATTERN.
console() {
	tr -d '\r' <"$1" | grep -E "$2" || true
}

# busybox_root ROOT BUSYBOX: makes ROOT anew, a board's root with the usual
# directories and BUSYBOX, with a link for each applet where BUSYBOX runs
# here (the kernel's guest links its own).
busybox_root() {
	local applet
	rm -rf "$1" && mkdir -p "$1"/{bin,dev,etc/init.d,lib/modules,proc,root,run,sys,tmp,usr/bin}
	cp "$2" "$1/bin/busybox"
	# oe-core's BusyBox has no installer.
	for applet in $("$2" --list 2>/dev/null); do
		[ "$applet" = busybox ] || ln -s busybox "$1/bin/$applet"
	done
}

# busybox_build NAME SNAPSHOT BUSYBOX_SNAPSHOT_DIR: prints a static BusyBox,
# built once into the cache, of the configuration that config_NAME writes
# from SNAPSHOT, Buildroot's or oe-core's; else says why not, and fails.
busybox_build() {
	local source tmp tool
	if [ ! -f "$2" ] || ! source=$(compgen -G "$3/busybox-*-git.tar.xz"); then
		echo "no $2 and BusyBox in $3"
		return 1
	fi
	for tool in xz make cc; do
		command -v "$tool" >/dev/null || { echo "$tool is not installed"; return 1; }
	done
	use_cache "backlight-busybox/$(basename "$source" .tar.xz)-$(basename "$2" .tar.xz)"
	if [ ! -x "$cache/busybox" ]; then
		tmp=$(mktemp -d "$cache/build.XXXXXX")
		unpack "$source" "$tmp"
		"config_$1" "$2" "$tmp" && sed -i 's/^# CONFIG_STATIC is not set$/CONFIG_STATIC=y/' "$tmp/.config"
		# A new option takes its default, as both build systems answer.
		if ! (make -C "$tmp" oldconfig < <(yes '') && make -C "$tmp" -j"$(nproc)" </dev/null) \
			>"$tmp/build.log" 2>&1; then
			tail -20 "$tmp/build.log"
			rm -rf "$tmp"
			return 1
		fi
		mv "$tmp/busybox" "$cache/busybox" && rm -rf "$tmp"
	fi
	echo "$cache/busybox"
}
# Buildroot's default, which lacks stat and fsync, and whose sync takes no file.
config_buildroot() {
	tar -xJf "$1" -O --wildcards '*/package/busybox/busybox.config' >"$2/.config"
}
# oe-core's for qemuarm64 and glibc under mdev and BusyBox init, which lacks
# head -c and --install: defconfig, then each fragment that the recipe's
# SRC_URI names, in its order, in place of the options it sets.
config_oe() {
	local recipe=$2/oe/meta/recipes-core/busybox fragment
	unpack "$1" "$2/oe" '*/meta/recipes-core/busybox'
	cp "$recipe/busybox/defconfig" "$2/.config"
	sed -n '/^SRC_URI = /,/"$/p' "$recipe"/busybox_*.bb | grep -o '[^/]*\.cfg' | while read -r fragment; do
		grep -oE '^(# )?CONFIG_[A-Za-z0-9_]+' "$recipe/busybox/$fragment" | sed -E 's/^# //; s/.*/^(# )?&[= ]/' >"$2/options"
		{ grep -vEf "$2/options" "$2/.config" && cat "$recipe/busybox/$fragment"; } >"$2/merged" && mv "$2/merged" "$2/.config"
	done
}

# same WHAT GOT WANT...: GOT is the lines WANT.
same() {
	local want
	want=$(printf '%s\n' "${@:3}")
	[ "$2" = "$want" ] || fail "$1 is"$'\n'"$2"$'\n'"not"$'\n'"$want"
}

# on_device DEVICE CURRENT MAXIMUM COMMAND...: runs the command, a target's
# tool under qemu-user, say, against a simulated device at CURRENT of
# MAXIMUM (tools/with-device), and prints what it said, then the brightness
# it left.
on_device() {
	# shellcheck disable=SC2016 # expanded by sh
	CURRENT=$2 MAXIMUM=$3 "$tests/../tools/with-device" "$1" sh -c '"$@"; status=$?
		echo "brightness $(cat "$0")"; exit "$status"' "/sys/class/backlight/$1/brightness" "${@:4}"
}

# as_nobody HOME COMMAND...: runs the command as nobody, in no other group.
as_nobody() {
	setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$1" "${@:2}"
}

# unpack ARCHIVE DIR [MEMBER...]: unpacks into DIR, made anew, what a
# snapshot holds under its top directory: all of it, or the members that
# match the patterns.
unpack() {
	rm -rf "$2" && mkdir -p "$2"
	tar -xJf "$1" -C "$2" --strip-components=1 --wildcards "${@:3}"
}

# listed_files KIND PREFIX RULES_DIR DEVICE: the files, with their modes, of
# an install of KIND under PREFIX, as tests/package/files lists them.
listed_files() {
	local path mode kinds
	grep -v '^#' "$tests/package/files" | while read -r path mode kinds; do
		[[ " $kinds " == *" $1 "* ]] || continue
		path=${path/#UDEV_RULES_DIR/$3}
		path=${path//DEVICE/$4}
		[[ $path == /* ]] || path=$2/$path
		echo "$path $mode"
	done | LC_ALL=C sort
}

# first_line FILE: the first line of an mdev.conf that mdev reads.
first_line() {
	grep -v '^#' "$1" | head -1
}

# other_mdev_lines DEVICE: mdev lines that are not the installed one's, and
# stay where it is added or removed: a second panel's, and one for another
# attribute of DEVICE.
other_mdev_lines() {
	printf '%s\n' "SUBSYSTEM=backlight;lvds 0:0 644 ! @chgrp video /sys\$DEVPATH/brightness" \
		"SUBSYSTEM=backlight;$1 0:0 644 ! @chgrp video /sys\$DEVPATH/bl_power"
}

# source_files DIR: every file under DIR, but for build trees and .git.
source_files() {
	find "$1" \( -name .git -o -type d -exec test -e '{}/CMakeCache.txt' \; \) -prune -o -type f -print
}

# keeping_manifest BUILD_DIR COMMAND...: runs a command that installs from the
# build tree (cmake --install, or cpack, which installs too), then puts back
# the install_manifest.txt that the user's own install left, which their
# uninstall reads.
keeping_manifest() {
	local manifest=$1/install_manifest.txt kept result=0
	shift
	kept=$(mktemp)
	if [ -e "$manifest" ]; then cp -p "$manifest" "$kept"; else rm -f "$kept"; fi
	"$@" || result=$?
	if [ -e "$kept" ]; then mv "$kept" "$manifest"; else rm -f "$manifest"; fi
	return "$result"
}

# package_into BUILD_DIR DIR [CPACK ARGUMENT...]: makes the build's package
# into DIR, keeping the user's install manifest.
package_into() {
	local build=$1 dir=$2
	shift 2
	keeping_manifest "$build" cpack --config "$build/CPackConfig.cmake" -B "$dir" "$@"
}
