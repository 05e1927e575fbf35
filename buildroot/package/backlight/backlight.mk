################################################################################
#
# backlight
#
################################################################################

# The checkout this tree belongs to, but for its build trees; the version is
# the latest in its changelog.
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

# The keys: the triggers, their own lock, which only root and video may open,
# need flock; with mdev, input devices that appear later are handed to thd.
ifeq ($(BR2_PACKAGE_BACKLIGHT_KEYS),y)
define BACKLIGHT_INSTALL_KEYS
	$(INSTALL) -D -m 0640 $(TARGET_DIR)/usr/share/backlight/backlight-$(BACKLIGHT_DEVICE).conf \
		$(TARGET_DIR)/etc/triggerhappy/triggers.d/backlight-$(BACKLIGHT_DEVICE).conf
	$(if $(BR2_ROOTFS_DEVICE_CREATION_DYNAMIC_MDEV),\
		echo '-input/event[0-9]+ 0:0 640 @/usr/sbin/th-cmd --socket /var/run/thd.socket --passfd --add /dev/$$MDEV' \
			>$(TARGET_DIR)/usr/share/backlight/mdev-keys.conf)
endef
BACKLIGHT_POST_INSTALL_TARGET_HOOKS += BACKLIGHT_INSTALL_KEYS
define BACKLIGHT_PERMISSIONS
	/etc/triggerhappy/triggers.d/backlight-$(BACKLIGHT_DEVICE).conf f 640 0 video - - - - -
endef
define BACKLIGHT_CHECK_FLOCK
	test -e $(TARGET_DIR)/usr/bin/flock || test -e $(TARGET_DIR)/bin/flock || \
		{ echo "backlight: the brightness keys need flock in the target (BusyBox's or util-linux's)"; false; }
endef
BACKLIGHT_TARGET_FINALIZE_HOOKS += BACKLIGHT_CHECK_FLOCK
endif

ifeq ($(BR2_PACKAGE_HAS_UDEV),)
define BACKLIGHT_REMOVE_UDEV_RULE
	rm -f $(TARGET_DIR)/usr/lib/udev/rules.d/70-backlight-$(BACKLIGHT_DEVICE).rules
endef
BACKLIGHT_POST_INSTALL_TARGET_HOOKS += BACKLIGHT_REMOVE_UDEV_RULE
endif

ifeq ($(BR2_ROOTFS_DEVICE_CREATION_DYNAMIC_MDEV),y)
# The line goes first in BusyBox's /etc/mdev.conf, or the build fails; an
# overlay's mdev.conf, copied after this, must hold it itself.
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

# For BusyBox or SysV init (with systemd, systemd-backlight does its work).
define BACKLIGHT_INSTALL_INIT_SYSV
	$(INSTALL) -D -m 0755 $(TARGET_DIR)/usr/share/backlight/S12backlight-$(BACKLIGHT_DEVICE) \
		$(TARGET_DIR)/etc/init.d/S12backlight-$(BACKLIGHT_DEVICE)
	$(if $(BR2_PACKAGE_BACKLIGHT_RESTORE),,\
		mkdir -p $(TARGET_DIR)/etc/default && \
		echo RESTORE=no >$(TARGET_DIR)/etc/default/backlight-$(BACKLIGHT_DEVICE))
endef

# The image holds only what runs: the boot script and the triggers where
# they run, not the copies that the install left.
define BACKLIGHT_REMOVE_COPIES
	rm -f $(TARGET_DIR)/usr/share/backlight/S12backlight-$(BACKLIGHT_DEVICE) \
		$(TARGET_DIR)/usr/share/backlight/backlight-$(BACKLIGHT_DEVICE).conf
endef
BACKLIGHT_POST_INSTALL_TARGET_HOOKS += BACKLIGHT_REMOVE_COPIES

$(eval $(cmake-package))
