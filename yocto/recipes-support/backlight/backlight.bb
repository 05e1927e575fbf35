# nooelint: oelint.file.underscores, oelint.var.mandatoryvar.HOMEPAGE
# The file name has no version: the recipe builds the checkout that its layer
# belongs to, which has no release to name. HOMEPAGE waits for a public home.
SUMMARY = "Show or set the brightness of a PWM display backlight"
DESCRIPTION = "backlight shows and sets the brightness of one display backlight \
               through the kernel's sysfs backlight class: a plain number sets it, +N and -N \
               change it, and the value is kept between a floor and the device's maximum."
SECTION = "utils"
LICENSE = "MIT"
LIC_FILES_CHKSUM = "file://LICENSE;md5=8df617ae958168c661196399579b178d"

# The board's choices, fixed at build time (a local.conf or a bbappend sets
# them): the device's name under /sys/class/backlight, the least brightness a
# set request writes, and where the boot script keeps it across a restart.
BACKLIGHT_DEVICE ??= "pwm-backlight"
BACKLIGHT_FLOOR ??= "10"
BACKLIGHT_STATE_DIR ??= "${localstatedir}/lib/backlight"

# The sources are the checkout that this layer belongs to, but for its build
# trees and tests: the local files' checksums rebuild the tool when one
# changes. The version is the latest in the changelog, where CMake takes it.
BACKLIGHT_CHECKOUT := "${@os.path.normpath(d.getVar('THISDIR') + '/../../..')}"
def backlight_version(d):
    with open(d.getVar('BACKLIGHT_CHECKOUT') + '/packaging/changelog') as changelog:
        return changelog.readline().split('(')[1].split(')')[0]
PV = "${@backlight_version(d)}"
# Its files are not beside the recipe, where a bbappend would add others.
# nooelint: oelint.vars.fileextrapaths, oelint.vars.outofcontext
FILESEXTRAPATHS:prepend := "${BACKLIGHT_CHECKOUT}:"
SRC_URI = "file://CMakeLists.txt file://LICENSE file://access file://cmake file://docs file://packaging file://src"
S = "${UNPACKDIR}"

inherit cmake update-rc.d

EXTRA_OECMAKE = "-DBACKLIGHT_DEVICE=${BACKLIGHT_DEVICE} -DBACKLIGHT_FLOOR=${BACKLIGHT_FLOOR} \
                 -DBACKLIGHT_STATE_DIR=${BACKLIGHT_STATE_DIR} -DUDEV_RULES_DIR=${nonarch_base_libdir}/udev/rules.d \
                 -DBUILD_TESTING=OFF"

# The device and floor differ from board to board.
PACKAGE_ARCH = "${MACHINE_ARCH}"

# The boot script, where the init is SysV's or BusyBox's (with systemd,
# systemd-backlight keeps the brightness), after the modules (modutils.sh,
# 06) and, where update-rc.d links it, mdev (04); it stops in runlevels 0, 6.
BACKLIGHT_SCRIPT = "backlight-${BACKLIGHT_DEVICE}"
BACKLIGHT_SYSV = "${@'yes' if bb.utils.contains('DISTRO_FEATURES', 'sysvinit', True, False, d) \
    or d.getVar('VIRTUAL-RUNTIME_init_manager') == 'busybox' else 'no'}"
BACKLIGHT_START = "07"
BACKLIGHT_STOP = "20"
INITSCRIPT_NAME = "${BACKLIGHT_SCRIPT}"
INITSCRIPT_PARAMS = "start ${BACKLIGHT_START} S . stop ${BACKLIGHT_STOP} 0 6 ."
# oe-core's update-rc.d class makes links only where DISTRO_FEATURES has
# sysvinit, which INIT_MANAGER mdev-busybox leaves out. Yet BusyBox's rcS and
# rcK run what is linked in rcS.d and rc6.d, so there the install makes the
# links itself, or the script would never run.
BACKLIGHT_LINKS = "${@'' if bb.utils.contains('DISTRO_FEATURES', 'sysvinit', True, False, d) \
    or d.getVar('BACKLIGHT_SYSV') != 'yes' \
    else 'rcS.d/S${BACKLIGHT_START} rc0.d/K${BACKLIGHT_STOP} rc6.d/K${BACKLIGHT_STOP}'}"

# The udev rule where udev runs, the mdev lines where mdev does; the keys'
# triggers, which need meta-oe's triggerhappy, are left out.
do_install:append() {
    share=${D}${datadir}/backlight
    rm $share/backlight-${BACKLIGHT_DEVICE}.conf
    if [ "${BACKLIGHT_SYSV}" = yes ]; then
        install -D -m 0755 $share/S12backlight-${BACKLIGHT_DEVICE} ${D}${INIT_D_DIR}/${BACKLIGHT_SCRIPT}
    fi
    rm $share/S12backlight-${BACKLIGHT_DEVICE}
    for link in ${BACKLIGHT_LINKS}; do
        install -d ${D}${sysconfdir}/${link%/*}
        ln -s ../init.d/${BACKLIGHT_SCRIPT} ${D}${sysconfdir}/"$link"${BACKLIGHT_SCRIPT}
    done
    case "${VIRTUAL-RUNTIME_dev_manager}" in
    busybox-mdev) rm -r ${D}${nonarch_base_libdir}/udev ;;
    udev | systemd) rm -r $share ;;
    *) rm -r $share ${D}${nonarch_base_libdir}/udev ;;
    esac
    # The rule's directory held nothing else.
    [ -d ${D}${nonarch_base_libdir}/udev ] || rmdir ${D}${nonarch_base_libdir}
}

# The video group, which the boot script and the device managers give the
# brightness to, is base-passwd's (44). The mdev line goes to the top of
# /etc/mdev.conf, as the root file system is made ($D) or the package
# installed on the board, and out on removal.
RDEPENDS:${PN} += "${@'busybox-mdev' if d.getVar('VIRTUAL-RUNTIME_dev_manager') == 'busybox-mdev' else ''} base-passwd"
pkg_postinst:${PN}() {
    [ ! -x $D${datadir}/backlight/mdev-conf ] || $D${datadir}/backlight/mdev-conf add ${D:-/}
}
pkg_prerm:${PN}() {
    [ ! -x ${datadir}/backlight/mdev-conf ] || ${datadir}/backlight/mdev-conf remove /
}
