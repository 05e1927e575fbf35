# shellcheck shell=bash
# Sourced by the test scripts. A script reports each fault with fail and goes
# on, so that one run shows them all, and ends with finish: status 1 after a
# fault, else 0. Where it cannot run here it says why with skip: status 77.
status=0

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
# the host's kbuild, which kernel_headers fetches. Else skips, naming the
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
			release=$abi-$flavour kernel_abi=$abi kernel_deb_arch=$arch kernel_version=$version kernel_kbuild=$kbuild:$host
			return
		fi
	done < <(sed -n 's/^linux-headers-\([0-9.]*\.0-[0-9]*\)-common$/\1/p' <<<"$abis" | sort -rV)
	skip "the package index offers no kernel of flavour $flavour for $arch with its headers and the $host kbuild"
}

# kernel_fetch MODULE...: sets cache to the one cache of the kernel that
# kernel_release chose, shared by every test that boots it, and unpacks there
# the kernel, its module index and each MODULE (a path under kernel/, without
# .ko) that is not there yet; then its headers, with kernel_headers.
kernel_fetch() {
	local module paths=()
	use_cache "backlight-kernel/$release"
	for module; do
		[ -f "$cache/lib/modules/$release/kernel/$module.ko" ] || paths+=("./lib/modules/$release/kernel/$module.ko")
	done
	if [ ! -f "$cache/boot/vmlinuz-$release" ] || [ "${#paths[@]}" != 0 ]; then
		fetch "$cache" "linux-image-$release:$kernel_deb_arch" "./boot/vmlinuz-$release" \
			"./lib/modules/$release/modules.*" "${paths[@]}"
	fi
	kernel_headers "$cache/headers"
}

# kernel_headers CACHE: unpacks into CACHE the headers of the kernel that
# kernel_release chose, its common headers and the host's kbuild, and sets
# headers to the directory that builds a module for it.
kernel_headers() {
	local common=linux-headers-$kernel_abi-common
	headers=$1/usr/src/linux-headers-$release
	if [ ! -f "$headers/Makefile" ]; then
		fetch "$1" "$kernel_kbuild" ./usr/lib
		fetch "$1" "$common=$kernel_version" "./usr/src/$common"
		fetch "$1" "linux-headers-$release:$kernel_deb_arch=$kernel_version" "./usr/src/linux-headers-$release"
		sed -i "s|^include /usr/src/|include $1/usr/src/|" "$headers/Makefile"
	fi
}

# board_dtb DTS NODE LEVELS STEPS DTB: QEMU's own devicetree DTS of its virt
# board, with the recording PWM chip (tests/kernel/pwm_probe.c) driving a
# pwm-backlight node NODE, whose brightness-levels are LEVELS
# (comma-separated; none for the kernel's own table) over STEPS interpolated
# steps, compiled into DTB.
board_dtb() {
	{
		cat "$1"
		echo '/ { pwm: pwm-probe { compatible = "backlight-test,pwm-probe"; #pwm-cells = <2>; };'
		echo "  $2 { compatible = \"pwm-backlight\"; pwms = <&pwm 0 1000000>;"
		[ -z "$3" ] || echo "brightness-levels = <${3//,/ }>; default-brightness-level = <5>;"
		[ -z "$4" ] || echo "num-interpolated-steps = <$4>;"
		echo '}; };'
	} | dtc -q -I dts -O dtb -o "$5"
}

# same WHAT GOT WANT
same() {
	[ "$2" = "$3" ] || fail "$1 is"$'\n'"$2"$'\n'"not"$'\n'"$3"
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
