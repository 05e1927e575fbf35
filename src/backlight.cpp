// backlight: show or set the brightness of the pwm-backlight display backlight.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char *brightness_path = "/sys/class/backlight/pwm-backlight/brightness";
constexpr const char *max_brightness_path = "/sys/class/backlight/pwm-backlight/max_brightness";
constexpr long long brightness_floor = 10;

[[noreturn]] void fail_not_found(const char *path)
{
	std::printf("ERROR: file not found\n%s\n\n", path);
	std::exit(1);
}

[[noreturn]] void fail_write()
{
	std::fputs("><\n", stdout);
	std::exit(1);
}

// atoi's grammar (leading blanks, one sign, digits up to the first other
// character), saturated to the int range instead of overflowing.
int to_int(const char *text)
{
	return static_cast<int>(std::clamp<long long>(std::strtoll(text, nullptr, 10), INT_MIN, INT_MAX));
}

int get_brightness(const char *path)
{
	std::FILE *file = std::fopen(path, "r");
	if (!file)
		fail_not_found(path);
	// A sysfs attribute never holds more than a page.
	std::array<char, 4096> line{};
	bool got_text = std::fgets(line.data(), line.size(), file) != nullptr;
	std::fclose(file);
	return got_text ? to_int(line.data()) : 0;
}

int set_brightness(const char *request, int current, int maximum)
{
	bool relative = request[0] == '+' || request[0] == '-';
	long long amount = to_int(request);
	long long wanted = relative ? current + amount : amount;
	// The floor comes first, so a maximum below it wins.
	int value = static_cast<int>(std::min<long long>(std::max(wanted, brightness_floor), maximum));

	std::FILE *file = std::fopen(brightness_path, "w");
	if (!file)
		fail_write();
	// The kernel sees the value, and may refuse it, only when the stream is flushed.
	bool written = std::fprintf(file, "%i", value) > 0;
	if (std::fclose(file) != 0 || !written)
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
	std::printf("Brightness : %i (%i)\n\n", brightness, maximum);
	return std::fclose(stdout) == 0 ? 0 : 1;
}
