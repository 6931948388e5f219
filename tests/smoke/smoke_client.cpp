// A plain admin client for smoke checks of built deliverables: connects (retrying while the
// server starts), asks for the player report, and succeeds once it has received well-formed
// records of every kind named on the command line.
//   smoke_client HOST PORT SECONDS KIND...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>

#include "stream/records.h"
#include "support/sockets.h"

int main(int argc, char **argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: smoke_client HOST PORT SECONDS KIND...\n");
        return 2;
    }
    const int port = std::atoi(argv[2]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));
    std::set<std::string> wanted(argv + 4, argv + argc);

    while (std::chrono::steady_clock::now() < deadline) {
        testing_support::TcpClient client(port);
        if (!client.connected()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            continue;
        }
        client.send("GET_PLAYER\n");
        records::RecordStream stream;
        while (!wanted.empty() && std::chrono::steady_clock::now() < deadline) {
            stream.feed(client.receive(65536, 500));
            records::Record record;
            while (stream.next(&record)) {
                std::printf("smoke_client: %s record, %zu lines\n", record.type.c_str(), record.lines.size());
                wanted.erase(record.type);
            }
            if (stream.malformed() > 0) {
                std::fprintf(stderr, "smoke_client: malformed record received\n");
                return 1;
            }
        }
        break;
    }
    for (const std::string &kind : wanted)
        std::fprintf(stderr, "smoke_client: no %s record from %s:%d\n", kind.c_str(), argv[1], port);
    return wanted.empty() ? 0 : 1;
}
