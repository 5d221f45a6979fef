/* The smallest libmodbus TCP server: 100 input registers, one connection at a time, on
   127.0.0.1 and a port the system picks. Prints "listening 127.0.0.1:PORT". */
#include <arpa/inet.h>
#include <errno.h>
#include <modbus.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>

int main(void) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
  modbus_mapping_t* map = modbus_mapping_new(0, 0, 0, 100);
  if (!ctx || !map) return 1;
  for (int i = 0; i < 100; ++i) map->tab_input_registers[i] = (uint16_t)(i * 3);
  const int listener = modbus_tcp_listen(ctx, 1);
  if (listener < 0) {
    fprintf(stderr, "listen: %s\n", modbus_strerror(errno));
    return 1;
  }
  struct sockaddr_in addr;
  socklen_t len = sizeof addr;
  getsockname(listener, (struct sockaddr*)&addr, &len);
  printf("listening 127.0.0.1:%d\n", ntohs(addr.sin_port));
  fflush(stdout);
  int s = listener;
  for (;;) {
    if (modbus_tcp_accept(ctx, &s) < 0) break;
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
      const int rc = modbus_receive(ctx, query);
      if (rc > 0) modbus_reply(ctx, query, rc, map);
      else if (rc < 0) break;
    }
    s = listener;
  }
  modbus_mapping_free(map);
  modbus_free(ctx);
  return 0;
}
