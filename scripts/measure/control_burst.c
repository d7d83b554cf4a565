/* COUNT requests to 127.0.0.1:PORT, all connections opened at once (or,
 * with PARALLEL < COUNT, that many kept-alive connections taking turns),
 * each request timed from its connect (or its send) to its whole answer.
 * Prints p50, p99 and max in ms and the answers' status codes. Bounded: it
 * gives up after 60 s.
 *
 *   control_burst PORT TOKEN COUNT PARALLEL
 */
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

struct conn {
  int fd;
  double start;
  char in[4096];
  int got;
  int sent;
};

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

static int cmp(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  int port = atoi(argv[1]), count = atoi(argv[3]), parallel = atoi(argv[4]);
  char request[1024];
  int length = snprintf(request, sizeof request,
                        "GET /status HTTP/1.1\r\nHost: d\r\nAuthorization: Bearer %s\r\n%s\r\n",
                        argv[2], parallel < count ? "" : "Connection: close\r\n");
  struct rlimit limit;
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  struct sockaddr_in address = {0};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int ep = epoll_create1(0);
  struct conn* conns = calloc(parallel, sizeof *conns);
  double* times = calloc(count, sizeof *times);
  int codes[600] = {0}, done = 0, started = 0, failed = 0;
  double t0 = now();
  for (int i = 0; i < parallel && started < count; ++i, ++started) {
    conns[i].fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    conns[i].start = now();
    connect(conns[i].fd, (struct sockaddr*)&address, sizeof address);
    struct epoll_event e = {EPOLLOUT | EPOLLIN, {.u32 = i}};
    epoll_ctl(ep, EPOLL_CTL_ADD, conns[i].fd, &e);
  }
  struct epoll_event events[256];
  while (done + failed < count && now() - t0 < 60) {
    int n = epoll_wait(ep, events, 256, 1000);
    for (int k = 0; k < n; ++k) {
      struct conn* c = &conns[events[k].data.u32];
      if (c->fd < 0) continue;
      if ((events[k].events & EPOLLOUT) && c->sent < length) {
        ssize_t put = send(c->fd, request + c->sent, length - c->sent, MSG_NOSIGNAL);
        if (put > 0) c->sent += put;
        if (c->sent == length) {
          struct epoll_event e = {EPOLLIN, {.u32 = events[k].data.u32}};
          epoll_ctl(ep, EPOLL_CTL_MOD, c->fd, &e);
        }
      }
      if (!(events[k].events & (EPOLLIN | EPOLLHUP | EPOLLERR))) continue;
      ssize_t got = recv(c->fd, c->in + c->got, sizeof c->in - 1 - c->got, 0);
      if (got > 0) c->got += got;
      c->in[c->got] = 0;
      char* end = strstr(c->in, "\r\n\r\n");
      char* cl = strstr(c->in, "Content-Length: ");
      int whole = end && cl && c->got >= (end - c->in) + 4 + atoi(cl + 16);
      if (whole || got <= 0) {
        if (whole) {
          int code = atoi(c->in + 9);
          codes[code >= 0 && code < 600 ? code : 0]++;
          times[done++] = now() - c->start;
        } else if (got < 0 && errno == EAGAIN) {
          continue;
        } else {
          ++failed;
        }
        if (whole && parallel < count && started < count) {
          /* The next request on the same connection. */
          ++started;
          c->got = 0;
          c->sent = length;
          c->start = now();
          send(c->fd, request, length, MSG_NOSIGNAL);
          continue;
        }
        close(c->fd);
        c->fd = -1;
      }
    }
  }
  qsort(times, done, sizeof *times, cmp);
  if (done == 0) {
    printf("no answers (%d failed)\n", failed);
    return 1;
  }
  printf("p50 %.1f ms, p99 %.1f ms, max %.1f ms; answers", times[done / 2] * 1000,
         times[(int)(done * 0.99)] * 1000, times[done - 1] * 1000);
  for (int code = 0; code < 600; ++code)
    if (codes[code]) printf(" %d: %d", code, codes[code]);
  if (failed) printf(", no answer: %d", failed);
  printf("\n");
  return 0;
}
