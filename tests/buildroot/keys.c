// Presses the brightness keys of a new input device, for the boot test.
//
//   keys ATTRIBUTE KEY:MS...
//
// Makes a uinput device with the two keys and the kernel's autorepeat, and
// gives the device manager two seconds to hand it on. Then, for each KEY
// (up or down), holds it for MS milliseconds, and prints the ATTRIBUTE a
// second and two seconds after the release: "up:100 116 116".
//
// A held key repeats every 100 ms rather than the kernel's 33: emulation runs
// a board's programs about a hundred times slower, and at 33 ms even the
// dropped repeats' processes pile up, which no board sees. Steps that queue
// still show at 100 ms: they go on after the release.
#include <fcntl.h>
#include <linux/uinput.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int device;

static void emit(int type, int code, int value)
{
	struct input_event events[2] = { { .type = type, .code = code, .value = value },
					 { .type = EV_SYN, .code = SYN_REPORT } };
	if (write(device, events, sizeof events) != sizeof events)
		perror("keys: uinput");
}

static void print(const char *path)
{
	char value[32] = "";
	FILE *file = fopen(path, "r");
	if (file && fgets(value, sizeof value, file))
		value[strcspn(value, "\n")] = '\0';
	if (file)
		fclose(file);
	printf(" %s", value);
}

int main(int argc, char **argv)
{
	struct uinput_setup setup = { .id = { .bustype = BUS_VIRTUAL }, .name = "brightness keys" };
	device = open("/dev/uinput", O_WRONLY);
	if (argc < 2 || device < 0 || ioctl(device, UI_SET_EVBIT, EV_KEY) || ioctl(device, UI_SET_EVBIT, EV_REP) ||
	    ioctl(device, UI_SET_KEYBIT, KEY_BRIGHTNESSUP) || ioctl(device, UI_SET_KEYBIT, KEY_BRIGHTNESSDOWN) ||
	    ioctl(device, UI_DEV_SETUP, &setup) || ioctl(device, UI_DEV_CREATE)) {
		perror("keys: uinput");
		return 1;
	}
	emit(EV_REP, REP_PERIOD, 100);
	sleep(2);
	for (int i = 2; i < argc; i++) {
		int key = strncmp(argv[i], "up:", 3) ? KEY_BRIGHTNESSDOWN : KEY_BRIGHTNESSUP;
		emit(EV_KEY, key, 1);
		usleep(atoi(strchr(argv[i], ':') + 1) * 1000);
		emit(EV_KEY, key, 0);
		printf("keys: %s", argv[i]);
		sleep(1);
		print(argv[1]);
		sleep(1);
		print(argv[1]);
		printf("\n");
		fflush(stdout);
	}
	return ioctl(device, UI_DEV_DESTROY) != 0;
}
