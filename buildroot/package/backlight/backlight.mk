################################################################################
#
# backlight
#
################################################################################

# The project's own source, from the checkout this tree belongs to, without
# its build trees, and its version, the latest in its changelog.
BACKLIGHT_VERSION = $(shell sed -n '1s/^backlight (\([0-9.]*\)).*/\1/p' \
	$(BR2_EXTERNAL_BACKLIGHT_PATH)/../packaging/changelog)
BACKLIGHT_SITE = $(BR2_EXTERNAL_BACKLIGHT_PATH)/..
BACKLIGHT_SITE_METHOD = local
BACKLIGHT_OVERRIDE_SRCDIR_RSYNC_EXCLUSIONS = --exclude /build --exclude '/build-*'
BACKLIGHT_LICENSE = MIT
BACKLIGHT_LICENSE_FILES = LICENSE
BACKLIGHT_DEVICE = $(call qstrip,$(BR2_PACKAGE_BACKLIGHT_DEVICE))
BACKLIGHT_CONF_OPTS = \
	-DBACKLIGHT_DEVICE="$(BACKLIGHT_DEVICE)" \
	-DBACKLIGHT_FLOOR=$(BR2_PACKAGE_BACKLIGHT_FLOOR) \
	-DBACKLIGHT_STATE_DIR="$(call qstrip,$(BR2_PACKAGE_BACKLIGHT_STATE_DIR))" \
	-DBUILD_TESTING=OFF

define BACKLIGHT_USERS
	- - video -1 * - - - Users who may set the backlight's brightness
	$(if $(BR2_PACKAGE_BACKLIGHT_KEYS),thd -1 thd -1 * - - video Runs the triggers of triggerhappy)
endef

# A rebuild leaves the target's files, so the rule, the boot script and the
# keys' files of an earlier build, for another device name, under an older
# name or with other options, go; each is known by a line that only this
# package's files hold.
define BACKLIGHT_REMOVE_EARLIER_FILES
	for file in $(TARGET_DIR)/usr/lib/udev/rules.d/70-backlight*.rules \
		$(TARGET_DIR)/etc/init.d/S11backlight $(TARGET_DIR)/etc/init.d/S12backlight-* \
		$(TARGET_DIR)/etc/triggerhappy/triggers.d/backlight-*.conf $(TARGET_DIR)/etc/default/triggerhappy; do \
		case $$file in \
		*/70-backlight-$(BACKLIGHT_DEVICE).rules) [ -n "$(BR2_PACKAGE_HAS_UDEV)" ] || rm -f $$file ;; \
		*/S12backlight-$(BACKLIGHT_DEVICE)) ;; \
		*/backlight-$(BACKLIGHT_DEVICE).conf | */default/triggerhappy) \
			[ -z "$(BR2_PACKAGE_BACKLIGHT_KEYS)" ] || continue; \
			! grep -qs -e '^# Brightness keys for the display backlight$$' \
				-e '^# Written by the backlight package for the brightness keys' $$file || rm -f $$file ;; \
		*) ! grep -qs -e '^# Lets members of the video group set the brightness of the display backlight$$' \
			-e '^# For BusyBox or SysV init: the display backlight$$' \
			-e '^# Brightness keys for the display backlight$$' $$file || rm -f $$file ;; \
		esac; \
	done
	rm -f $(TARGET_DIR)/usr/share/backlight/mdev-keys.conf
endef
BACKLIGHT_POST_INSTALL_TARGET_HOOKS += BACKLIGHT_REMOVE_EARLIER_FILES

# The brightness keys: the triggers, where triggerhappy reads them, run as a
# user of their own in video; with mdev, an input device that appears after
# boot is handed to thd, and mdev goes on to the image's own line for it.
ifeq ($(BR2_PACKAGE_BACKLIGHT_KEYS),y)
define BACKLIGHT_INSTALL_KEYS
	$(INSTALL) -D -m 0644 $(TARGET_DIR)/usr/share/backlight/backlight-$(BACKLIGHT_DEVICE).conf \
		$(TARGET_DIR)/etc/triggerhappy/triggers.d/backlight-$(BACKLIGHT_DEVICE).conf
	$(INSTALL) -D -m 0644 $(BACKLIGHT_PKGDIR)/triggerhappy $(TARGET_DIR)/etc/default/triggerhappy
	$(if $(BR2_ROOTFS_DEVICE_CREATION_DYNAMIC_MDEV),\
		echo '-input/event[0-9]+ 0:0 640 @/usr/sbin/th-cmd --socket /var/run/thd.socket --passfd --add /dev/$$MDEV' \
			>$(TARGET_DIR)/usr/share/backlight/mdev-keys.conf)
endef
BACKLIGHT_POST_INSTALL_TARGET_HOOKS += BACKLIGHT_INSTALL_KEYS
endif

ifeq ($(BR2_ROOTFS_DEVICE_CREATION_DYNAMIC_MDEV),y)
# mdev takes the first line that matches a device, so the line goes at the
# top of /etc/mdev.conf, once BusyBox has installed that file, in place of
# the lines this package put there before, such as a build's for another
# device name; no other line changes. A write error fails the build.
define BACKLIGHT_MDEV_LINE
	$(TARGET_DIR)/usr/share/backlight/mdev-conf add $(TARGET_DIR)
endef
BACKLIGHT_TARGET_FINALIZE_HOOKS += BACKLIGHT_MDEV_LINE
else
define BACKLIGHT_REMOVE_MDEV_FILES
	rm -rf $(TARGET_DIR)/usr/share/backlight
endef
BACKLIGHT_POST_INSTALL_TARGET_HOOKS += BACKLIGHT_REMOVE_MDEV_FILES
endif

# For BusyBox or SysV init, whatever manages /dev: saves the brightness at
# shutdown and, unless turned off, restores it at boot; where mdev handles
# devices, announces a backlight that was there before mdev started. With
# systemd, systemd-backlight saves and restores it instead.
define BACKLIGHT_INSTALL_INIT_SYSV
	$(INSTALL) -D -m 0755 $(TARGET_DIR)/usr/share/backlight/S12backlight-$(BACKLIGHT_DEVICE) \
		$(TARGET_DIR)/etc/init.d/S12backlight-$(BACKLIGHT_DEVICE)
	$(if $(BR2_PACKAGE_BACKLIGHT_RESTORE),,\
		$(SED) 's/^RESTORE=yes$$/RESTORE=no/' $(TARGET_DIR)/etc/init.d/S12backlight-$(BACKLIGHT_DEVICE))
endef

$(eval $(cmake-package))
