/* The benchmark's launch target: notes the wall-clock time of its start,
 * before anything else, by appending it in nanoseconds to the file named
 * by LAUNCH_STAMP_FILE. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(void)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const char *path = getenv("LAUNCH_STAMP_FILE");
    if (!path)
        return 1;
    char line[32];
    const int length = snprintf(line, sizeof line, "%lld\n",
                                (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return 1;
    const ssize_t written = write(fd, line, (size_t)length);
    close(fd);
    return written == length ? 0 : 1;
}
