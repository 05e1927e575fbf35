include $(sort $(wildcard $(BR2_EXTERNAL_BACKLIGHT_PATH)/package/*/*.mk))
