// backlight-state: keeps the brightness of the backlight that the build names
// in BACKLIGHT_DEVICE across a restart, for the boot script.
//
//   backlight-state save DIR
//   backlight-state restore DIR TOOL
//
// save writes the brightness to DIR/DEVICE: into a new file that it syncs and
// renames over it, holding a lock that only root can open. restore sets the
// saved value through TOOL, the backlight tool, which keeps the floor and the
// ceiling; a whole new file stands in for a state file that a power cut left
// empty or missing. DIR must be root's and no other user's to write: nothing
// is read, written or deleted in any other. Every message goes to standard
// output, as the boot script's own lines do.
//
// Only the C library is used, as in the tool.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#if !defined(BACKLIGHT_DEVICE)
#error "the build defines BACKLIGHT_DEVICE, the backlight's directory"
#endif

extern char **environ;

namespace {

constexpr const char *device_path = "/sys/class/backlight/" BACKLIGHT_DEVICE;
constexpr const char *brightness_path = "/sys/class/backlight/" BACKLIGHT_DEVICE "/brightness";
constexpr const char *state_name = BACKLIGHT_DEVICE;
constexpr const char *saving_name = "." BACKLIGHT_DEVICE ".saving";
constexpr const char *lock_name = "." BACKLIGHT_DEVICE ".lock";
// A saved brightness is one line of 1 to 31 digits.
constexpr size_t most_digits = 31;
// A device that the kernel has not made yet is waited for, 10 times 0.2 s.
constexpr int tries = 10;

char state_path[PATH_MAX];
char saving_path[PATH_MAX];

[[noreturn]] void fail(const char *format, const char *path, const char *reason = nullptr)
{
	printf(format, path, reason);
	putchar('\n');
	exit(1);
}

// Opens DIR, and refuses it, after PREFIX, unless it is a directory that root
// owns and no other user may write: another user could put a link where a
// file goes.
int open_state_dir(const char *dir, const char *prefix)
{
	int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	struct stat status;
	if (fd < 0 || fstat(fd, &status) != 0)
		return -1;
	if (status.st_uid != 0 || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
		fputs(prefix, stdout);
		fail("ERROR: %s can be changed by users other than root", dir);
	}
	return fd;
}

enum class saved { missing, unreadable, other, brightness, whole_line };

// Reads NAME in DIR_FD into value: a brightness, with its newline or not
// (a whole line), or something else. A link is not followed.
saved read_saved(int dir_fd, const char *name, char (&value)[most_digits + 2])
{
	int fd = openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return errno == ENOENT ? saved::missing : errno == ELOOP ? saved::other : saved::unreadable;
	struct stat status;
	if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
		close(fd);
		return saved::other;
	}
	size_t length = 0;
	ssize_t got = 1;
	while (got > 0 && length < sizeof value) {
		got = read(fd, value + length, sizeof value - length);
		length += got > 0 ? static_cast<size_t>(got) : 0;
	}
	int error = errno;
	close(fd);
	if (got < 0) {
		errno = error;
		return saved::unreadable;
	}
	bool whole = length > 0 && value[length - 1] == '\n';
	size_t digits = length - (whole ? 1 : 0);
	if (digits == 0 || digits > most_digits || strspn(value, "0123456789") != digits)
		return saved::other;
	value[digits] = '\0';
	return whole ? saved::whole_line : saved::brightness;
}

bool restore_skipped()
{
	char line[4096] = " ";
	FILE *file = fopen("/proc/cmdline", "r");
	if (!file)
		return false;
	bool got = fgets(line + 1, sizeof line - 2, file) != nullptr;
	fclose(file);
	line[strcspn(line, "\n")] = '\0';
	return got && strstr(strcat(line, " "), " backlight_restore=0 ") != nullptr;
}

// Runs TOOL VALUE, and returns its exit status with what it wrote, where a
// tool that cannot be run says why.
int run_tool(const char *tool, const char *value, char *output, size_t size)
{
	int pipe_fds[2];
	posix_spawn_file_actions_t actions;
	if (pipe(pipe_fds) != 0) {
		snprintf(output, size, "%s", strerror(errno));
		return 1;
	}
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
	posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
	posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
	char *arguments[] = {const_cast<char *>(tool), const_cast<char *>(value), nullptr};
	pid_t child;
	int error = posix_spawn(&child, tool, &actions, nullptr, arguments, environ);
	posix_spawn_file_actions_destroy(&actions);
	close(pipe_fds[1]);
	// All that it writes is read, but only the start is kept.
	size_t length = 0;
	char rest[512];
	for (ssize_t got = 1; got > 0 || (got < 0 && errno == EINTR);) {
		got = length < size - 1 ? read(pipe_fds[0], output + length, size - 1 - length)
					: read(pipe_fds[0], rest, sizeof rest);
		length += got > 0 && length < size - 1 ? static_cast<size_t>(got) : 0;
	}
	close(pipe_fds[0]);
	output[length] = '\0';
	int status = 1;
	if (error != 0)
		snprintf(output, size, "cannot run %s: %s", tool, strerror(error));
	else if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
		status = 1;
	else
		status = WEXITSTATUS(status);
	return status;
}

int restore(const char *dir, const char *tool)
{
	const char *prefix = "Restoring the backlight: ";
	int dir_fd = open_state_dir(dir, prefix);
	if (dir_fd < 0 && errno == ENOENT)
		return 0;
	if (dir_fd < 0) {
		fputs(prefix, stdout);
		fail("ERROR: cannot read %s: %s", dir, strerror(errno));
	}
	char value[most_digits + 2];
	struct stat status;
	bool present = fstatat(dir_fd, state_name, &status, AT_SYMLINK_NOFOLLOW) == 0;
	bool regular = !present || S_ISREG(status.st_mode);
	const char *from = state_path;
	if (regular && (!present || status.st_size == 0) &&
	    read_saved(dir_fd, saving_name, value) == saved::whole_line)
		from = saving_path;
	else if (!present)
		return 0;

	fputs(prefix, stdout);
	if (restore_skipped()) {
		puts("skipped (backlight_restore=0)");
		return 0;
	}
	if (from == state_path) {
		switch (regular ? read_saved(dir_fd, state_name, value) : saved::other) {
		case saved::missing:
		case saved::unreadable:
			fail("ERROR: cannot read %s: %s", state_path, strerror(errno));
		case saved::other:
			if (!regular)
				fail("ERROR: %s is not a regular file", state_path);
			if (unlinkat(dir_fd, state_name, 0) != 0)
				fail("ERROR: %s did not hold a brightness, and cannot be deleted: %s", state_path,
				     strerror(errno));
			fail("ERROR: %s did not hold a brightness, and is deleted", state_path);
		default:
			break;
		}
	}
	if (strspn(value, "0") == strlen(value))
		strcpy(value, "1");

	char output[4096];
	for (int i = 0; i < tries; i++) {
		if (run_tool(tool, value, output, sizeof output) == 0) {
			output[strcspn(output, "\n")] = '\0';
			puts(output);
			return 0;
		}
		if (strncmp(output, "ERROR: file not found", 21) != 0 && strncmp(output, "><", 2) != 0)
			break;
		struct timespec pause = {0, 200000000};
		nanosleep(&pause, nullptr);
	}
	output[strcspn(output, "\n")] = '\0';
	printf("ERROR: %s from %s could not be set: %s\n", value, from, output);
	return 1;
}

// Makes DIR and the directories above it that are missing, as root's.
void make_dirs(const char *dir)
{
	char path[PATH_MAX];
	snprintf(path, sizeof path, "%s", dir);
	for (char *slash = strchr(path + 1, '/');; slash = strchr(slash + 1, '/')) {
		if (slash)
			*slash = '\0';
		mkdir(path, 0755);
		if (!slash)
			return;
		*slash = '/';
	}
}

// Takes the lock on NAME in DIR_FD, made if missing, and returns its file, or
// -1. The lock is deleted once the save is done, so a lock taken on a file
// that is no longer there is taken again, on the new one.
int take_lock(int dir_fd)
{
	for (;;) {
		int fd = openat(dir_fd, lock_name, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
		struct stat held, named;
		if (fd < 0)
			return -1;
		while (flock(fd, LOCK_EX) != 0)
			if (errno != EINTR) {
				close(fd);
				return -1;
			}
		if (fstat(fd, &held) == 0 && fstatat(dir_fd, lock_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
		    held.st_dev == named.st_dev && held.st_ino == named.st_ino)
			return fd;
		close(fd);
	}
}

// Writes VALUE and its newline to a new file NAME in DIR_FD, all of it on
// the disk before it returns true.
bool write_new(int dir_fd, const char *name, const char *value)
{
	if (unlinkat(dir_fd, name, 0) != 0 && errno != ENOENT)
		return false;
	int fd = openat(dir_fd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
	if (fd < 0)
		return false;
	char line[most_digits + 2];
	size_t length = static_cast<size_t>(snprintf(line, sizeof line, "%s\n", value));
	bool written = fchmod(fd, 0644) == 0 && write(fd, line, length) == static_cast<ssize_t>(length) &&
		       fsync(fd) == 0;
	return close(fd) == 0 && written;
}

int save(const char *dir)
{
	fputs("Saving the backlight: ", stdout);
	FILE *file = fopen(brightness_path, "r");
	if (!file) {
		printf("no %s\n", device_path);
		return 0;
	}
	char value[most_digits + 2] = "";
	bool got = fgets(value, sizeof value, file) != nullptr;
	fclose(file);
	value[strcspn(value, "\n")] = '\0';
	if (!got || value[0] == '\0' || strspn(value, "0123456789") != strlen(value))
		fail("ERROR: %s did not hold a brightness", brightness_path);

	make_dirs(dir);
	int dir_fd = open_state_dir(dir, "");
	struct stat status;
	if (dir_fd >= 0 && fstatat(dir_fd, state_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
	    !S_ISREG(status.st_mode))
		fail("ERROR: %s is not a regular file", state_path);
	int lock = dir_fd < 0 ? -1 : take_lock(dir_fd);
	if (lock < 0)
		fail("ERROR: cannot write %s", state_path);
	bool saved = write_new(dir_fd, saving_name, value) &&
		     renameat(dir_fd, saving_name, dir_fd, state_name) == 0 && fsync(dir_fd) == 0;
	if (!saved)
		unlinkat(dir_fd, saving_name, 0);
	unlinkat(dir_fd, lock_name, 0);
	close(lock);
	if (!saved)
		fail("ERROR: cannot write %s", state_path);
	puts(value);
	return 0;
}

} // namespace

int main(int argc, char *argv[])
{
	bool saving = argc == 3 && strcmp(argv[1], "save") == 0;
	bool restoring = argc == 4 && strcmp(argv[1], "restore") == 0;
	if ((!saving && !restoring) || argv[2][0] != '/') {
		fputs("usage: backlight-state save DIR\n       backlight-state restore DIR TOOL\n", stderr);
		return 2;
	}
	if (snprintf(state_path, sizeof state_path, "%s/%s", argv[2], state_name) >= PATH_MAX ||
	    snprintf(saving_path, sizeof saving_path, "%s/%s", argv[2], saving_name) >= PATH_MAX)
		fail("ERROR: %s is too long a path", argv[2]);
	int status = saving ? save(argv[2]) : restore(argv[2], argv[3]);
	return fflush(stdout) == 0 && status == 0 ? 0 : 1;
}
