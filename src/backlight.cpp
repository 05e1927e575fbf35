// backlight: show or set the brightness of the display backlight that the
// build names in BACKLIGHT_DEVICE, a directory under /sys/class/backlight,
// never writing less than the build's BACKLIGHT_FLOOR unless the device's
// maximum is lower.
//
// Only the C library's headers are used, so that the same source builds
// against glibc and against musl for a static executable.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#if !defined(BACKLIGHT_DEVICE) || !defined(BACKLIGHT_FLOOR)
#error "the build defines BACKLIGHT_DEVICE, the backlight's directory, and BACKLIGHT_FLOOR"
#endif

namespace {

constexpr const char *brightness_path = "/sys/class/backlight/" BACKLIGHT_DEVICE "/brightness";
constexpr const char *max_brightness_path = "/sys/class/backlight/" BACKLIGHT_DEVICE "/max_brightness";
constexpr long long brightness_floor = BACKLIGHT_FLOOR;

[[noreturn]] void fail_not_found(const char *path)
{
	printf("ERROR: file not found\n%s\n\n", path);
	exit(1);
}

[[noreturn]] void fail_write()
{
	fputs("><\n", stdout);
	exit(1);
}

// Raises value to low, then lowers it to high: high wins when high < low.
long long bounded(long long value, long long low, long long high)
{
	value = value < low ? low : value;
	return value > high ? high : value;
}

// atoi's grammar (leading blanks, one sign, digits up to the first other
// character), saturated to the int range instead of overflowing.
int to_int(const char *text)
{
	return static_cast<int>(bounded(strtoll(text, nullptr, 10), INT_MIN, INT_MAX));
}

// Closes the stream and says whether everything written to it arrived. An
// error can surface at any write, not only at the flush that closing does,
// and a stream in error may have nothing left to flush.
bool close_checked(FILE *stream)
{
	bool failed = ferror(stream) != 0;
	return fclose(stream) == 0 && !failed;
}

// An attribute that cannot be read, as when its device goes away between the
// open and the read, fails as one that cannot be opened; an empty one reads
// as 0.
int get_brightness(const char *path)
{
	FILE *file = fopen(path, "r");
	if (!file)
		fail_not_found(path);
	// A sysfs attribute never holds more than a page.
	char line[4096];
	bool got_text = fgets(line, sizeof line, file) != nullptr;
	if (ferror(file))
		fail_not_found(path);
	fclose(file);
	return got_text ? to_int(line) : 0;
}

int set_brightness(const char *request, int current, int maximum)
{
	bool relative = request[0] == '+' || request[0] == '-';
	long long amount = to_int(request);
	int value = static_cast<int>(bounded(relative ? current + amount : amount, brightness_floor, maximum));

	FILE *file = fopen(brightness_path, "w");
	if (!file)
		fail_write();
	// The kernel sees the value, and may refuse it, when the stream is flushed.
	fprintf(file, "%i", value);
	if (!close_checked(file))
		fail_write();
	return value;
}

} // namespace

int main(int argc, char *argv[])
{
	int brightness = get_brightness(brightness_path);
	int maximum = get_brightness(max_brightness_path);
	if (argc > 1)
		brightness = set_brightness(argv[1], brightness, maximum);
	printf("Brightness : %i (%i)\n\n", brightness, maximum);
	return close_checked(stdout) ? 0 : 1;
}
