#pragma once
// Processes, files and waits for the tests that run programs beside them (end-to-end
// and channel tests alike): no X, no Qt. Every process started here is ended by its
// owner's destructor, so a failing test leaves nothing behind.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kest::e2e {

using namespace std::chrono_literals;

// Polls cond until it holds or the timeout passes; returns the last result.
bool waitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout = 10s);

// Waits while size() grows until it reaches count: a slow machine takes longer, but
// a receiver that gets nothing more for quiet fails the wait.
bool waitForGrowth(const std::function<std::size_t()>& size, std::size_t count,
                   std::chrono::milliseconds quiet);

std::string readFile(const std::string& path);

// What a shell command writes to standard output, all of it; its wait status in status.
std::string commandOutput(const std::string& command, int* status = nullptr);

// A private temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A child in a process group of its own, ended (group and all) on destruction.
class ChildProcess {
  public:
    // Standard output (and, with bothStreams, standard error) goes to outputPath.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env,
                 const std::string& outputPath = "/dev/null", bool bothStreams = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int sig);
    // Whether the child has not ended yet.
    bool running();
    // Waits for the child to end; returns its wait status, or -1 on timeout.
    int wait(std::chrono::milliseconds timeout = 10s);

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

// A socat pseudo-terminal pair: one end is linked as COMn where the program looks for
// it (base/dosdevices/comN, in a Wine prefix or the program's base directory), the
// other is the device's end, held open by the test to write to and read from.
class SerialDevice {
  public:
    SerialDevice(const std::string& base, int comNumber);
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    const std::string& portLink() const { return portLink_; }
    void send(const std::string& bytes);
    // What the program wrote to the port, once count bytes came or the time ran out.
    std::string receive(std::size_t count, std::chrono::milliseconds timeout = 30s);

  private:
    TempDir dir_;
    std::string portLink_;
    std::unique_ptr<ChildProcess> socat_;
    int fd_ = -1;
};

}  // namespace kest::e2e
