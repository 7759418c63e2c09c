/* hold_open PATH READY-FILE: opens PATH with O_EXCL, as a program that claims a drive for
 * itself does, creates READY-FILE once the device is held and keeps it open until killed.
 * Exit status 1 when the device cannot be opened. For a block device the kernel then refuses
 * every other O_EXCL open (and every mount) with EBUSY, while opens without O_EXCL succeed. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <errno.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: hold_open PATH READY-FILE\n");
    return 2;
  }
  int fd = open(argv[1], O_RDONLY | O_EXCL | O_NONBLOCK);
  if (fd < 0) {
    fprintf(stderr, "hold_open: %s: %s\n", argv[1], strerror(errno));
    return 1;
  }
  int ready = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (ready >= 0) close(ready);
  for (;;) pause();
}
