// SPDX-License-Identifier: GPL-2.0
/*
 * A PWM chip that drives nothing and records the last state it was given,
 * read from the module's parameters:
 * /sys/module/pwm_probe/parameters/{period_ns,duty_ns,enabled}.
 *
 * On a machine with a devicetree, the chip binds to the node compatible with
 * "backlight-test,pwm-probe", and the devicetree's own pwm-backlight node
 * uses it. Without one, as on a PC, the module registers the chip's device
 * itself and a platform device for pwm_bl, named by the parameter "name",
 * that uses it by number.
 */
#include <linux/module.h>
#include <linux/of.h>
#include <linux/platform_device.h>
#include <linux/pwm.h>
#include <linux/pwm_backlight.h>

static char *name;
module_param(name, charp, 0444);
static unsigned int max_brightness = 255;
module_param(max_brightness, uint, 0444);
static unsigned int default_brightness = 100;
module_param(default_brightness, uint, 0444);

static unsigned long long period_ns;
module_param(period_ns, ullong, 0444);
static unsigned long long duty_ns;
module_param(duty_ns, ullong, 0444);
static bool enabled;
module_param(enabled, bool, 0444);

static int probe_apply(struct pwm_chip *chip, struct pwm_device *pwm,
		       const struct pwm_state *state)
{
	period_ns = state->period;
	duty_ns = state->duty_cycle;
	enabled = state->enabled;
	return 0;
}

static const struct pwm_ops probe_ops = {
	.apply = probe_apply,
	.owner = THIS_MODULE,
};

static struct pwm_chip chip = { .ops = &probe_ops, .npwm = 1 };

static int probe_probe(struct platform_device *pdev)
{
	chip.dev = &pdev->dev;
	return pwmchip_add(&chip);
}

static int probe_remove(struct platform_device *pdev)
{
	pwmchip_remove(&chip);
	return 0;
}

static const struct of_device_id probe_of_match[] = {
	{ .compatible = "backlight-test,pwm-probe" },
	{}
};
#ifdef PWM_PROBE_DEVICE_TABLE
/*
 * Lets a device manager load the module for the devicetree's node. Asked for
 * by the boots that need it: the host's modpost, which Debian's headers use
 * for a cross build, misreads the table of a 32-bit kernel's module.
 */
MODULE_DEVICE_TABLE(of, probe_of_match);
#endif

static struct platform_driver probe_driver = {
	.probe = probe_probe,
	.remove = probe_remove,
	.driver = { .name = "pwm-probe", .of_match_table = probe_of_match },
};

static struct platform_device *chip_device;
static struct platform_device *backlight;

static int __init probe_init(void)
{
	struct platform_pwm_backlight_data data = {
		.max_brightness = max_brightness,
		.dft_brightness = default_brightness,
		.pwm_period_ns = 1000000,
	};
	int err;

	err = platform_driver_register(&probe_driver);
	if (err || of_have_populated_dt())
		return err;
	if (!name) {
		err = -EINVAL;
		goto no_chip;
	}
	/* Binds to the driver at once, so the chip has its numbers below. */
	chip_device = platform_device_register_simple("pwm-probe", PLATFORM_DEVID_NONE, NULL, 0);
	if (IS_ERR(chip_device)) {
		err = PTR_ERR(chip_device);
		goto no_chip;
	}
	/* No lookup table: pwm_bl falls back to requesting the PWM by number. */
	data.pwm_id = chip.base;
	/*
	 * pwm_bl names the backlight after its device; whatever that name, the
	 * override binds the device to pwm_bl.
	 */
	backlight = platform_device_alloc(name, PLATFORM_DEVID_NONE);
	if (!backlight) {
		err = -ENOMEM;
		goto no_backlight;
	}
	err = driver_set_override(&backlight->dev, &backlight->driver_override,
				  "pwm-backlight", strlen("pwm-backlight"));
	if (!err)
		err = platform_device_add_data(backlight, &data, sizeof(data));
	if (!err)
		err = platform_device_add(backlight);
	if (err)
		goto no_added_backlight;
	return 0;

no_added_backlight:
	platform_device_put(backlight);
	backlight = NULL;
no_backlight:
	platform_device_unregister(chip_device);
no_chip:
	platform_driver_unregister(&probe_driver);
	return err;
}

static void __exit probe_exit(void)
{
	if (backlight)
		platform_device_unregister(backlight);
	if (chip_device)
		platform_device_unregister(chip_device);
	platform_driver_unregister(&probe_driver);
}

module_init(probe_init);
module_exit(probe_exit);
MODULE_DESCRIPTION("Recording PWM chip with a pwm_bl backlight device, for testing");
MODULE_LICENSE("GPL");
