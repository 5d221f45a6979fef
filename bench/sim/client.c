/* Reads 21 input registers over one loopback MODBUS TCP connection as fast as the server
   answers, and prints the rate. Usage: client PORT REQUESTS */
#include <errno.h>
#include <modbus.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s PORT REQUESTS\n", argv[0]);
    return 2;
  }
  const int port = atoi(argv[1]);
  const long requests = atol(argv[2]);
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  if (!ctx || modbus_connect(ctx) != 0) {
    fprintf(stderr, "connect: %s\n", modbus_strerror(errno));
    return 1;
  }
  modbus_set_slave(ctx, 1);
  uint16_t regs[21];
  long failures = 0;
  const double start = Now();
  for (long i = 0; i < requests; ++i)
    if (modbus_read_input_registers(ctx, 0, 21, regs) != 21) ++failures;
  const double elapsed = Now() - start;
  printf("%.0f requests/s (%ld requests in %.3f s, %ld failed)\n", requests / elapsed, requests, elapsed, failures);
  modbus_close(ctx);
  modbus_free(ctx);
  return failures ? 1 : 0;
}
