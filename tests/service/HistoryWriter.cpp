// Writes dial rows through the service's history, one after another, until
// it is killed: "history_writer FILE FIRST" adds rows numbered from FIRST on
// (the number is the row's time) and prints each number once its Add has
// returned, so that a test knows which rows were complete when it killed the
// writer.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "THistory.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  THistory History;
  const std::string Problem = History.Open(argv[1]);
  if (!Problem.empty()) {
    std::fprintf(stderr, "history_writer: %s\n", Problem.c_str());
    return 1;
  }
  for (long long Number = std::atoll(argv[2]);; ++Number) {
    TDialRecord Row;
    Row.TimeMs = Number;
    Row.Entry = "Line";
    Row.LineAddress =
        "100.64." + std::to_string(Number / 250 % 250) + "." + std::to_string(Number % 250 + 1);
    Row.PeerAddress = "10.0.0.1";
    Row.DialMs = Number % 997;
    Row.Outcome = "connected";
    Row.Detail = "row " + std::to_string(Number);
    const std::string Failed = History.Add(Row);
    if (!Failed.empty()) {
      std::fprintf(stderr, "history_writer: %s\n", Failed.c_str());
      return 1;
    }
    std::printf("%lld\n", Number);
    std::fflush(stdout);
  }
}
