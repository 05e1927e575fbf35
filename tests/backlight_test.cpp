// Runs the built tool against a simulated device, named as the build names it
// (BACKLIGHT_DEVICE), laid over /sys/class in the private mount namespace of
// tools/with-device, and checks its output, its exit status and the
// brightness attribute it leaves behind.
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tool_command.h"

namespace {

namespace fs = std::filesystem;
using text = std::optional<std::string>;

const std::string device = "/sys/class/backlight/" BACKLIGHT_DEVICE;
const std::string brightness = device + "/brightness";
const std::string max_brightness = device + "/max_brightness";
const std::string tool_copy = "/sys/class/.tool/backlight";
const std::string huge(5000, '9');
const std::string beyond_64_bits(30, '9');
constexpr uid_t nobody = 65534;

// The request as an absolute one: a leading blank keeps a negative value from
// reading as a relative request.
std::string absolute(long long value)
{
	std::string text = std::to_string(value);
	return value < 0 ? text.insert(0, 1, ' ') : text;
}

// The build's floor, what lies one step either side of it, and a maximum
// below it. The rows that name no floor hold for floors up to 50.
constexpr long long floor_value = BACKLIGHT_FLOOR;
const std::string floor_text = std::to_string(floor_value);
const std::string below_floor = absolute(floor_value - 1);
const std::string above_floor = absolute(floor_value + 1);
const std::string under_floor_maximum = std::to_string(floor_value - 3);

// The tool's texts, as tests/texts gives them (TEXT_...).
std::string not_found(const std::string &path)
{
	char text[4096];
	std::snprintf(text, sizeof text, TEXT_not_found, path.c_str());
	return text;
}

std::string report(const std::string &value, const std::string &maximum)
{
	char text[256];
	std::snprintf(text, sizeof text, TEXT_report, value.c_str(), maximum.c_str());
	return text;
}

const std::string not_written = TEXT_not_written;

text read_file(const std::string &path)
{
	std::ifstream in(path);
	if (!in)
		return std::nullopt;
	std::ostringstream all;
	all << in.rdbuf();
	return all.str();
}

void write_file(const std::string &path, const std::string &content)
{
	std::ofstream(path) << content;
}

std::string failed(const char *what)
{
	return std::string(what) + ": " + std::strerror(errno);
}

// Whether the tests run inside a user namespace, where only the caller's own
// user exists.
bool in_user_namespace()
{
	std::ifstream map("/proc/self/uid_map");
	unsigned long inside = 0, outside = 0, count = 0;
	map >> inside >> outside >> count;
	return count != 4294967295UL;
}

// A copy of the tool that any user can run, wherever the build tree lives.
bool copy_tool()
{
	std::vector<const char *> command = TOOL_COMMAND;
	fs::create_directories(fs::path(tool_copy).parent_path());
	return fs::copy_file(command.back(), tool_copy);
}

// What a row does beyond laying out the two attributes.
enum class setup {
	none,
	read_only,         // brightness bind-mounted read-only
	refusing,          // /dev/full bind-mounted over brightness: every write fails
	unprivileged,      // the tool runs as nobody
	private_maximum,   // max_brightness mode 0600, the tool runs as nobody
	stdout_full,       // standard output is /dev/full
	stdout_hung_up,    // standard output is a terminal whose other end has hung up
	few_files,         // the tool may have only 4 files open
	stdout_no_reader,  // standard output is a pipe whose reader has gone
	maximum_directory, // max_brightness is a directory: it opens, but reading fails
};

struct row {
	const char *name;
	std::vector<std::string> args;
	text current;  // brightness attribute; nullopt: absent
	text maximum;  // max_brightness attribute; nullopt: absent
	std::string out;
	int status;
	text after;    // brightness attribute afterwards; nullopt: absent
	setup how = setup::none;
};

void PrintTo(const row &r, std::ostream *os)
{
	*os << r.name;
}

struct outcome {
	std::string out;
	int status;
};

outcome run(const std::vector<std::string> &args, setup how)
{
	std::vector<const char *> argv = TOOL_COMMAND;
	argv.back() = tool_copy.c_str();
	for (const auto &arg : args)
		argv.push_back(arg.c_str());
	argv.push_back(nullptr);

	int pipe_fds[2];
	if (pipe(pipe_fds) != 0)
		return {failed("pipe"), -1};
	pid_t pid = fork();
	if (pid == 0) {
		bool as_nobody = how == setup::unprivileged || how == setup::private_maximum;
		if (as_nobody && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
			_exit(126);
		int out = pipe_fds[1];
		if (how == setup::stdout_full)
			out = open("/dev/full", O_WRONLY);
		if (how == setup::stdout_hung_up) {
			int master = posix_openpt(O_RDWR | O_NOCTTY);
			if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
				_exit(125);
			out = open(ptsname(master), O_WRONLY | O_NOCTTY);
			close(master);
		}
		if (how == setup::stdout_no_reader) {
			int gone[2];
			if (pipe(gone) != 0)
				_exit(125);
			close(gone[0]);
			out = gone[1];
			// As a shell starts it, whatever the harness's runner ignores.
			signal(SIGPIPE, SIG_DFL);
		}
		if (out < 0 || dup2(out, STDOUT_FILENO) < 0)
			_exit(125);
		// The tool gets standard input, output and error, and nothing the
		// harness or its runner holds open.
		if (close_range(3, ~0U, 0) != 0) {
			for (int fd = 3; fd < 1024; ++fd)
				close(fd);
		}
		rlimit few = {4, 4};
		if (how == setup::few_files && setrlimit(RLIMIT_NOFILE, &few) != 0)
			_exit(125);
		execv(argv[0], const_cast<char *const *>(argv.data()));
		_exit(127);
	}
	close(pipe_fds[1]);
	std::string out;
	char chunk[4096];
	for (ssize_t n; (n = read(pipe_fds[0], chunk, sizeof chunk)) > 0;)
		out.append(chunk, n);
	close(pipe_fds[0]);
	int status = -1;
	waitpid(pid, &status, 0);
	return {out, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

class backlight : public testing::TestWithParam<row> {
protected:
	void SetUp() override
	{
		static const bool copied = copy_tool();
		ASSERT_TRUE(copied);
		setup how = GetParam().how;
		if (in_user_namespace() && (how == setup::unprivileged || how == setup::private_maximum))
			GTEST_SKIP() << "switching to an unprivileged user needs root with CAP_SYS_ADMIN";
		ASSERT_EQ(mount("device", "/sys/class/backlight", "tmpfs", 0, "mode=0755"), 0)
			<< failed("mount");
		mounted = true;
	}

	void TearDown() override
	{
		if (mounted)
			umount2("/sys/class/backlight", MNT_DETACH);
	}

	bool mounted = false;
};

void bind_mount(const std::string &from, const std::string &to, unsigned long flags)
{
	ASSERT_EQ(mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr), 0) << failed("bind");
	if (flags) {
		ASSERT_EQ(mount(nullptr, to.c_str(), nullptr, MS_REMOUNT | MS_BIND | flags, nullptr), 0)
			<< failed("remount");
	}
}

TEST_P(backlight, runs)
{
	const row &r = GetParam();
	if (r.current || r.maximum)
		fs::create_directory(device);
	if (r.current)
		write_file(brightness, *r.current);
	if (r.maximum)
		write_file(max_brightness, *r.maximum);
	if (r.how == setup::maximum_directory)
		fs::create_directory(max_brightness);
	if (r.how == setup::read_only)
		bind_mount(brightness, brightness, MS_RDONLY);
	if (r.how == setup::refusing)
		bind_mount("/dev/full", brightness, 0);
	if (r.how == setup::private_maximum)
		fs::permissions(max_brightness, fs::perms::owner_read | fs::perms::owner_write);

	outcome got = run(r.args, r.how);

	if (r.how == setup::read_only || r.how == setup::refusing)
		umount2(brightness.c_str(), MNT_DETACH);
	EXPECT_EQ(got.out, r.out);
	EXPECT_EQ(got.status, r.status);
	EXPECT_EQ(read_file(brightness), r.after);
}

std::string row_name(const testing::TestParamInfo<row> &info)
{
	return info.param.name;
}

// A request from 100 of 255 that writes AFTER, and reports it.
row writes(const char *name, std::vector<std::string> args, const std::string &after)
{
	return {name, std::move(args), "100\n", "255\n", report(after, "255"), 0, after};
}

#define ROWS(group, ...) \
	INSTANTIATE_TEST_SUITE_P(group, backlight, testing::ValuesIn(std::vector<row>{__VA_ARGS__}), row_name)

// A query reports what it reads and never writes, also where it could not write.
ROWS(query,
	{"report", {}, "120\n", "255\n", report("120", "255"), 0, "120\n"},
	{"below_floor_as_read", {}, "3\n", "255\n", report("3", "255"), 0, "3\n"},
	{"above_maximum_as_read", {}, "300\n", "255\n", report("300", "255"), 0, "300\n"},
	{"leading_blank", {}, " 42\n", "255\n", report("42", "255"), 0, " 42\n"},
	{"letters_read_as_zero", {}, "abc\n", "255\n", report("0", "255"), 0, "abc\n"},
	{"empty_reads_as_zero", {}, "", "", report("0", "0"), 0, ""},
	{"empty_maximum_reads_as_zero", {}, "120\n", "", report("120", "0"), 0, "120\n"},
	{"no_newline", {}, "77", "255", report("77", "255"), 0, "77"},
	{"long_value_read_whole", {}, "0000000000000000000042\n", "255\n", report("42", "255"), 0,
		"0000000000000000000042\n"},
	{"only_first_line_counts", {}, "\n42\n", "255\n", report("0", "255"), 0, "\n42\n"},
	{"read_only_query", {}, "100\n", "255\n", report("100", "255"), 0, "100\n", setup::read_only},
	{"unprivileged_query", {}, "100\n", "255\n", report("100", "255"), 0, "100\n", setup::unprivileged});

// A set request writes the value it asks for, absolute or relative to the
// current brightness, and reports it.
ROWS(set,
	writes("absolute", {"50"}, "50"),
	writes("raise", {"+20"}, "120"),
	writes("lower", {"-20"}, "80"),
	writes("floor_itself", {floor_text}, floor_text),
	writes("above_floor", {above_floor}, above_floor),
	writes("plus_zero_rewrites", {"+0"}, "100"),
	writes("extra_arguments_ignored", {"50", "junk", "+9"}, "50"));

// A request outside the range writes its nearer end: the floor first, then
// the maximum.
ROWS(clamped,
	writes("lower_to_floor", {"-200"}, floor_text),
	writes("zero_to_floor", {"0"}, floor_text),
	writes("below_floor", {below_floor}, floor_text),
	writes("ceiling", {"300"}, "255"),
	{"relative_below_floor", {"+0"}, std::to_string(floor_value - 1) + "\n", "255\n", report(floor_text, "255"), 0, floor_text},
	{"negative_maximum_written_signed", {"50"}, "100\n", "-5\n", report("-5", "-5"), 0, "-5"});

// A maximum below the floor wins over it: from a brightness below both, every
// request writes the maximum.
row under_floor(const char *name, const std::string &request)
{
	const std::string &maximum = under_floor_maximum;
	return {name, {request}, std::to_string(floor_value - 5) + "\n", maximum + "\n", report(maximum, maximum), 0, maximum};
}

ROWS(under_floor_maximum,
	under_floor("below_both", absolute(floor_value - 7)),
	under_floor("exact", absolute(floor_value - 3)),
	under_floor("raise", "+1"),
	under_floor("ceiling", "100"));

// An argument reads as atoi reads it: leading blanks, one sign, decimal digits
// up to the first other character. Only a sign in front makes it relative.
ROWS(grammar,
	writes("bare_plus", {"+"}, "100"),
	writes("bare_minus", {"-"}, "100"),
	writes("second_sign_stops_digits", {"+-5"}, "100"),
	writes("letters", {"abc"}, floor_text),
	writes("digits_then_letters", {above_floor + "abc"}, above_floor),
	writes("decimal_point", {"52.7"}, "52"),
	writes("empty_argument", {""}, floor_text),
	writes("blank_then_plus", {" +" + above_floor}, above_floor),
	writes("leading_zero_is_decimal", {"050"}, "50"),
	writes("hex_is_not_read", {"0x40"}, floor_text),
	writes("huge_with_leading_zeros", {std::string(5000, '0') + "50"}, "50"));

// Large maxima work as small ones do, values of any length are read whole,
// and values beyond the int range count as its ends.
ROWS(range,
	{"maximum_1000", {}, "1000\n", "1000\n", report("1000", "1000"), 0, "1000\n"},
	{"maximum_4095_raise", {"+50"}, "4000\n", "4095\n", report("4050", "4095"), 0, "4050"},
	{"maximum_4095_ceiling", {"+500"}, "4000\n", "4095\n", report("4095", "4095"), 0, "4095"},
	{"maximum_65535", {"65535"}, "100\n", "65535\n", report("65535", "65535"), 0, "65535"},
	{"maximum_96000", {"-1000"}, "96000\n", "96000\n", report("95000", "96000"), 0, "95000"},
	writes("huge_argument", {huge}, "255"),
	writes("huge_negative_argument", {"-" + huge}, floor_text),
	writes("argument_too_large", {"99999999999"}, "255"),
	writes("argument_too_small", {"-99999999999"}, floor_text),
	writes("sum_too_large", {"+2147483647"}, "255"),
	{"sum_too_small", {"-2147483648"}, "-5\n", "255\n", report(floor_text, "255"), 0, floor_text},
	writes("amount_beyond_64_bits", {"+" + beyond_64_bits}, "255"),
	writes("negative_amount_beyond_64_bits", {"-" + beyond_64_bits}, floor_text),
	{"attribute_too_large", {}, "99999999999\n", "255\n", report("2147483647", "255"), 0, "99999999999\n"},
	{"attribute_too_small", {}, "-99999999999\n", "255\n", report("-2147483648", "255"), 0, "-99999999999\n"},
	{"widest_value_written", {"3000000000"}, "100\n", "99999999999\n", report("2147483647", "2147483647"), 0, "2147483647"});

// Every failure that the tool reports says so, exits 1 and leaves the device
// as it was.
ROWS(failure,
	{"no_device_query", {}, {}, {}, not_found(brightness), 1, {}},
	{"no_device_set", {"50"}, {}, {}, not_found(brightness), 1, {}},
	{"no_maximum", {"50"}, "100\n", {}, not_found(max_brightness), 1, "100\n"},
	{"maximum_unreadable", {"50"}, "100\n", "255\n", not_found(max_brightness), 1, "100\n", setup::private_maximum},
	{"maximum_read_fails", {"50"}, "100\n", {}, not_found(max_brightness), 1, "100\n", setup::maximum_directory},
	{"read_only_set", {"50"}, "100\n", "255\n", not_written, 1, "100\n", setup::read_only},
	{"unprivileged_set", {"50"}, "100\n", "255\n", not_written, 1, "100\n", setup::unprivileged},
	{"device_refuses_write", {"50"}, "100\n", "255\n", not_written, 1, "100\n", setup::refusing},
	{"bad_argument_missing_device", {"junk"}, {}, {}, not_found(brightness), 1, {}});

// Around the tool: a full or hung-up standard output fails the run with
// status 1, and a reader that has gone ends it by SIGPIPE, by when a set
// request has written its value and a query has written nothing; four open
// files are enough.
ROWS(environment,
	{"stdout_full_query", {}, "100\n", "255\n", "", 1, "100\n", setup::stdout_full},
	{"stdout_hung_up_query", {}, "100\n", "255\n", "", 1, "100\n", setup::stdout_hung_up},
	{"stdout_full_set", {"50"}, "100\n", "255\n", "", 1, "50", setup::stdout_full},
	{"stdout_no_reader_set", {"50"}, "100\n", "255\n", "", 128 + SIGPIPE, "50", setup::stdout_no_reader},
	{"few_files_set", {"50"}, "100\n", "255\n", report("50", "255"), 0, "50", setup::few_files});

} // namespace

// The tests run in tools/with-device's namespace: the program starts itself
// again there, through the build's emulator if it has one. Where the
// machine allows no namespace, with-device says so, and exits 77.
int main(int argc, char **argv)
{
	std::vector<const char *> again;
	if (!std::getenv("WITH_DEVICE_INSIDE")) {
		std::vector<const char *> tool = TOOL_COMMAND;
		again = {WITH_DEVICE, BACKLIGHT_DEVICE};
		again.insert(again.end(), tool.begin(), tool.end() - 1);
		again.insert(again.end(), argv, argv + argc);
		again.push_back(nullptr);
	}
	testing::InitGoogleTest(&argc, argv);
	if (!again.empty() && !GTEST_FLAG_GET(list_tests)) {
		execv(again[0], const_cast<char *const *>(again.data()));
		std::perror(WITH_DEVICE);
		return 1;
	}
	return RUN_ALL_TESTS();
}
